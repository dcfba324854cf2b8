# folioray_hidden_library(<name> [extra sources]): <name> is made of the objects of
# <name>_objects, built with hidden symbols, so that a shared build exports only what
# carries the export macro (the installed API). <name>_internal links the same objects as a
# static library, for the project's own programs and tests that reach past that API; a
# static build has no such line to draw and <name>_internal is <name> itself.
function(folioray_hidden_library name)
  set_target_properties(${name}_objects PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_sources(${name} PRIVATE $<TARGET_OBJECTS:${name}_objects> ${ARGN})
  if(BUILD_SHARED_LIBS)
    # Not linked to <name> itself: a program holding both copies would have two of each
    # exported global (a widget's meta-object), and the sanitizer rightly refuses that.
    add_library(${name}_internal STATIC ${ARGN})
    target_link_libraries(${name}_internal PUBLIC ${name}_objects)
  else()
    add_library(${name}_internal INTERFACE)
    target_link_libraries(${name}_internal INTERFACE ${name})
  endif()
endfunction()

# The core's helpers that are no part of its API, for a shared library that uses them.
function(folioray_use_support target)
  if(BUILD_SHARED_LIBS)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:folioray_support>)
  endif()
endfunction()
