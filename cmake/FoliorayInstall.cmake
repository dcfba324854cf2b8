# Installs the libraries, the public headers, the apps and a CMake package plus a
# pkg-config file, so that other projects build against an installed Folioray2.
include(CMakePackageConfigHelpers)

set(FOLIORAY_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Folioray2)
set(FOLIORAY_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/folioray2)

# Exported name of each library: Folioray2::<Name>.
set(_folioray_exports
  folioray_core=Core folioray_posix=Posix
  folioray_turbojpeg=TurboJpeg folioray_curl=Curl folioray_sane=Sane folioray_haru=Haru
  folioray_qt=Widget)
# A static widget library carries the wiring it was made with to the host's link.
if(NOT BUILD_SHARED_LIBS)
  list(APPEND _folioray_exports folioray_wiring=Wiring)
endif()

set(_installed)
foreach(_pair ${_folioray_exports})
  string(REPLACE "=" ";" _pair ${_pair})
  list(GET _pair 0 _target)
  list(GET _pair 1 _name)
  if(TARGET ${_target})
    set_target_properties(${_target} PROPERTIES
      EXPORT_NAME ${_name}
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR}
      OUTPUT_NAME ${_target})
    list(APPEND _installed ${_target})
  endif()
endforeach()

# Hosts compile the headers as C++20; an instrumented build needs the sanitizer runtimes
# on the host's link too (they must come first in the program's library list).
target_compile_features(folioray_core INTERFACE cxx_std_20)
set(FOLIORAY_PC_LIBS_EXTRA "")
if(FOLIORAY_SANITIZE)
  target_link_options(folioray_core INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
  set(FOLIORAY_PC_LIBS_EXTRA " -fsanitize=address,undefined")
endif()

install(TARGETS ${_installed} EXPORT Folioray2Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Public headers: the entry headers under include/folioray2/ (the control, the widget, the
# ports, the version) and every header they reach, in its folder. Nothing test-only, no
# adapter's own header.
set(_public ${PROJECT_SOURCE_DIR}/include/folioray2/ScanControl.h
  ${PROJECT_SOURCE_DIR}/include/folioray2/Ports.h)
if(TARGET folioray_qt)
  list(APPEND _public ${PROJECT_SOURCE_DIR}/include/folioray2/ScanControlWidget.h)
endif()
set(_generated version.h core_export.h)
if(TARGET folioray_qt)
  list(APPEND _generated widget_export.h)
endif()
list(TRANSFORM _generated PREPEND ${PROJECT_BINARY_DIR}/include/folioray2/)
install(FILES ${_public} ${_generated} DESTINATION ${FOLIORAY_INCLUDEDIR})
set(_todo ${_public})
set(_seen)
while(_todo)
  list(POP_FRONT _todo _h)
  file(STRINGS ${_h} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_l ${_lines})
    string(REGEX MATCH "\"([^\"]+)\"" _m "${_l}")
    set(_inc ${CMAKE_MATCH_1})
    if(_inc IN_LIST _seen OR NOT EXISTS ${PROJECT_SOURCE_DIR}/${_inc})
      continue()  # the generated version header, or one already taken
    endif()
    list(APPEND _seen ${_inc})
    list(APPEND _todo ${PROJECT_SOURCE_DIR}/${_inc})
    get_filename_component(_d ${_inc} DIRECTORY)
    install(FILES ${_inc} DESTINATION ${FOLIORAY_INCLUDEDIR}/${_d})
  endforeach()
endwhile()

install(EXPORT Folioray2Targets NAMESPACE Folioray2:: DESTINATION ${FOLIORAY_INSTALL_CMAKEDIR})
if(TARGET folioray_qt)
  set(FOLIORAY_CONFIG_WIDGET ON)
else()
  set(FOLIORAY_CONFIG_WIDGET OFF)
endif()
if(BUILD_SHARED_LIBS)
  set(FOLIORAY_CONFIG_STATIC OFF)
else()
  set(FOLIORAY_CONFIG_STATIC ON)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/Folioray2Config.cmake.in
  ${PROJECT_BINARY_DIR}/Folioray2Config.cmake INSTALL_DESTINATION ${FOLIORAY_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Folioray2ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Folioray2Config.cmake
  ${PROJECT_BINARY_DIR}/Folioray2ConfigVersion.cmake DESTINATION ${FOLIORAY_INSTALL_CMAKEDIR})

# The pkg-config file finds the prefix from its own place, so the tree can be moved
# (or installed with cmake --install --prefix) without editing it.
file(RELATIVE_PATH FOLIORAY_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" FOLIORAY_PC_TO_PREFIX "${FOLIORAY_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/folioray2.pc.in ${PROJECT_BINARY_DIR}/folioray2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/folioray2.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
