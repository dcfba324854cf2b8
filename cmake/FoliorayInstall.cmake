# Installs the libraries, the public headers, the apps and a CMake package plus a
# pkg-config file, so that other projects build against an installed Folioray2.
include(CMakePackageConfigHelpers)

set(FOLIORAY_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Folioray2)
set(FOLIORAY_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/folioray2)

# Exported name of each library: Folioray2::<Name>.
set(_folioray_exports
  folioray_core=Core folioray_headless=Headless folioray_posix=Posix
  folioray_turbojpeg=TurboJpeg folioray_curl=Curl folioray_sane=Sane folioray_haru=Haru
  folioray_qt=Widget)

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
    target_include_directories(${_target} INTERFACE
      $<INSTALL_INTERFACE:${FOLIORAY_INCLUDEDIR}>)
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

# Public headers: every header of the core folders, the ports and the adapters.
foreach(_dir runtime control acquire imaging upload page about ports
             platform/headless platform/posix platform/turbojpeg platform/curl platform/sane
             platform/haru platform/qt)
  file(GLOB _headers RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${_dir}/*.h)
  foreach(_h ${_headers})
    get_filename_component(_d ${_h} DIRECTORY)
    install(FILES ${_h} DESTINATION ${FOLIORAY_INCLUDEDIR}/${_d})
  endforeach()
endforeach()

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
