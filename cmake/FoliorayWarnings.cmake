# Warnings (as errors) and the sanitizer switch, applied per target.
function(folioray_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2)
  if(FOLIORAY_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12 at -O3 sees overlapping copies inside std::string that cannot happen
    # (GCC bugs 105329 and 105651: a literal assigned, "literal" + string); still shown, not fatal.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
  endif()
endfunction()

if(FOLIORAY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
