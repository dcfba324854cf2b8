# Run by ctest (cmake -P): install the build into a fresh prefix (FROM=install), or
# unpack its Debian package there (FROM=package), check what a host finds there, then build examples/host-form against that prefix and let it scan from
# the SANE test device until its field holds the stored file's path.
cmake_minimum_required(VERSION 3.25)

# PasteName types only lower-case letters, digits and : . / \ (the rest is dropped), so
# the folder's name keeps to those; mkdir fails rather than reuse a folder that exists.
foreach(attempt RANGE 20)
  string(RANDOM LENGTH 12 ALPHABET abcdefghijklmnopqrstuvwxyz0123456789 _name)
  set(TMP /tmp/folioray${_name})
  execute_process(COMMAND mkdir -m 700 ${TMP} RESULT_VARIABLE _rc ERROR_QUIET)
  if(_rc EQUAL 0)
    break()
  endif()
endforeach()
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cannot make a fresh folder under /tmp")
endif()
set(_failures)

function(fail text)
  message(SEND_ERROR "${text}")
  set(_failures "${_failures};${text}" PARENT_SCOPE)
endfunction()

# Runs a command and stops the test when it fails; OUT names a variable for its output.
function(run what)
  cmake_parse_arguments(R "" "OUT;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT R_TIMEOUT)
    set(R_TIMEOUT 240)
  endif()
  execute_process(COMMAND ${R_COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out
    ERROR_VARIABLE err TIMEOUT ${R_TIMEOUT})
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "${what} failed (${rc}); its files stay in ${TMP}\n${out}\n${err}")
  endif()
  if(R_OUT)
    set(${R_OUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

if(FROM STREQUAL "package")
  # The Debian package, unpacked under a folder of its own instead of /.
  message(STATUS "packaging ${BUILD_DIR} and unpacking it into ${TMP}/root")
  run("cpack" COMMAND ${CMAKE_COMMAND} -E chdir ${BUILD_DIR}
    cpack -G DEB -B ${TMP}/cpack OUT cpack_out)
  file(GLOB deb ${TMP}/cpack/folioray2_${VERSION}_*.deb)
  if(NOT deb)
    message(FATAL_ERROR "cpack made no folioray2_${VERSION}_<arch>.deb:\n${cpack_out}")
  endif()
  run("dpkg-deb -I" COMMAND dpkg-deb -I ${deb} OUT deb_info)
  message(STATUS "${deb}:\n${deb_info}")
  # Depends comes from the binaries: each adapter's library shows there.
  foreach(dep libc6 libstdc\\+\\+6 libcurl4 libsane1 libhpdf libturbojpeg0 libqt6widgets6 libqt6core6)
    if(NOT deb_info MATCHES "\n Depends:[^\n]*${dep}")
      fail("the package does not depend on ${dep}")
    endif()
  endforeach()
  run("dpkg-deb -x" COMMAND dpkg-deb -x ${deb} ${TMP}/root)
  set(PREFIX ${TMP}/root/usr)
else()
  set(PREFIX ${TMP}/prefix)
  message(STATUS "installing ${BUILD_DIR} into ${PREFIX}")
  run("cmake --install" COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
endif()
set(LIB ${PREFIX}/${LIBDIR})

# 1. Versioned shared libraries: lib<name>.so.<version>, the SONAME lib<name>.so.<major>.
find_program(READELF NAMES readelf REQUIRED)
foreach(name core posix turbojpeg curl sane haru qt)
  set(real ${LIB}/libfolioray_${name}.so.${VERSION})
  if(NOT EXISTS ${real} OR NOT EXISTS ${LIB}/libfolioray_${name}.so.${SOVERSION}
     OR NOT EXISTS ${LIB}/libfolioray_${name}.so)
    fail("libfolioray_${name}: the library or its links are missing in ${LIB}")
    continue()
  endif()
  run("readelf ${name}" COMMAND ${READELF} -d ${real} OUT dynamic)
  if(NOT dynamic MATCHES "Library soname: \\[libfolioray_${name}\\.so\\.${SOVERSION}\\]")
    fail("libfolioray_${name}: SONAME is not libfolioray_${name}.so.${SOVERSION}")
  endif()
endforeach()
foreach(f bin/folioray bin/folioray-demo include/folioray2/ScanControlWidget.h
          include/folioray2/ScanControl.h include/folioray2/Ports.h include/folioray2/version.h
          ${LIBDIR}/cmake/Folioray2/Folioray2Config.cmake
          ${LIBDIR}/cmake/Folioray2/Folioray2ConfigVersion.cmake
          ${LIBDIR}/cmake/Folioray2/Folioray2Targets.cmake ${LIBDIR}/pkgconfig/folioray2.pc)
  if(NOT EXISTS ${PREFIX}/${f})
    fail("not installed: ${f}")
  endif()
endforeach()
# Test doubles and adapters' own headers stay out.
file(GLOB_RECURSE private RELATIVE ${PREFIX}/include/folioray2 ${PREFIX}/include/folioray2/tests/*
  ${PREFIX}/include/folioray2/platform/headless/* ${PREFIX}/include/folioray2/platform/curl/*)
if(private)
  fail("installed, but not for hosts: ${private}")
endif()

# 2. The installed headers are a closed set, and none of them needs a library that the
#    package does not hand on (only the widget's headers use Qt).
file(GLOB_RECURSE headers RELATIVE ${PREFIX}/include/folioray2 ${PREFIX}/include/folioray2/*.h)
foreach(h ${headers})
  file(STRINGS ${PREFIX}/include/folioray2/${h} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(l ${lines})
    if(l MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      if(NOT EXISTS ${PREFIX}/include/folioray2/${CMAKE_MATCH_1}
         AND NOT EXISTS ${PREFIX}/include/${CMAKE_MATCH_1})
        fail("${h} includes ${CMAKE_MATCH_1}, which is not installed")
      endif()
    elseif(l MATCHES "curl/|sane/|hpdf|turbojpeg|jpeglib|png\\.h")
      fail("${h} needs an adapter's private library: ${l}")
    elseif(l MATCHES "<Q" AND NOT h MATCHES "^(platform/qt/|ScanControlWidget)")
      fail("${h} includes Qt outside the widget: ${l}")
    endif()
  endforeach()
endforeach()

# 3. The installed programs find their libraries, and the About box says the one version.
run("installed folioray --call About"
  COMMAND ${CMAKE_COMMAND} -E env FOLIORAY_REGISTRY= XDG_CONFIG_HOME=${TMP}
    ${PREFIX}/bin/folioray --call About OUT about)
if(NOT about MATCHES "  Version ${VERSION}\n")
  fail("the installed About box does not say Version ${VERSION}:\n${about}")
endif()

# 4. pkg-config: a core-only program compiles and links from the moved prefix.
find_program(PKG_CONFIG NAMES pkg-config pkgconf REQUIRED)
run("pkg-config" COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${LIB}/pkgconfig
  ${PKG_CONFIG} --cflags --libs folioray2 OUT pc_flags)
run("pkg-config --modversion" COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${LIB}/pkgconfig
  ${PKG_CONFIG} --modversion folioray2 OUT pc_version)
string(STRIP "${pc_version}" pc_version)
if(NOT pc_version STREQUAL VERSION)
  fail("folioray2.pc says version ${pc_version}, not ${VERSION}")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
file(WRITE ${TMP}/pc/probe.cpp [=[
#include <folioray2/ScanControl.h>
#include <cstdio>
int main() {
    folioray::Ports none;
    folioray::ScanControl control(none);  // links the core
    std::printf("Version %s\n", FOLIORAY_VERSION_STRING);
    return control.Quality() == 60 ? 0 : 1;
}
]=])
run("compiling with pkg-config's flags" COMMAND ${CXX_COMPILER} ${TMP}/pc/probe.cpp ${pc_flags}
  -Wl,-rpath,${LIB} -o ${TMP}/pc/probe)
run("the pkg-config probe" COMMAND ${TMP}/pc/probe OUT probe_out)
if(NOT probe_out STREQUAL "Version ${VERSION}\n")
  fail("the pkg-config probe printed '${probe_out}'")
endif()

# 5. The Designer plugin sits in the prefix's Qt plugin folder and finds the widget there.
if(DESIGNER_PLUGIN)
  set(plugin ${LIB}/qt6/plugins/designer/libfolioray_designer.so)
  if(NOT EXISTS ${plugin})
    fail("the Designer plugin is not installed in ${LIB}/qt6/plugins/designer")
  else()
    run("ldd plugin" COMMAND ldd ${plugin} OUT plugin_deps)
    set(found "")
    if(plugin_deps MATCHES "libfolioray_qt\\.so\\.${SOVERSION} => ([^ \t\n]+)")
      file(REAL_PATH ${CMAKE_MATCH_1} found)
    endif()
    file(REAL_PATH ${LIB}/libfolioray_qt.so.${SOVERSION} installed_widget)
    if(NOT found STREQUAL installed_widget)
      fail("the installed Designer plugin does not find the installed widget:\n${plugin_deps}")
    endif()
  endif()
endif()

# 6. The host form, built against the prefix alone.
set(host_args -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON)
if(CXX_LAUNCHER)
  list(APPEND host_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CXX_LAUNCHER})
endif()
run("configuring examples/host-form" COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host-form
  -B ${TMP}/host-build ${host_args})
file(STRINGS ${TMP}/host-build/CMakeCache.txt found_dir REGEX "^Folioray2_DIR:")
if(NOT found_dir STREQUAL "Folioray2_DIR:PATH=${LIB}/cmake/Folioray2")
  fail("examples/host-form found Folioray2 elsewhere: ${found_dir}")
endif()
run("building examples/host-form" COMMAND ${CMAKE_COMMAND} --build ${TMP}/host-build -j 2)

# A private SANE configuration with only the test backend: no hardware, no network.
file(WRITE ${TMP}/sane/dll.conf "test\n")
file(WRITE ${TMP}/sane/test.conf "number_of_devices 2\nresolution 50\n")
file(MAKE_DIRECTORY ${TMP}/scans)
# The SANE backend's own losses are unloaded before a leak check could tell them apart.
run("host-form --scan-to" TIMEOUT 150
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen SANE_CONFIG_DIR=${TMP}/sane
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 XDG_CONFIG_HOME=${TMP}
    ${TMP}/host-build/host-form --scan-to ${TMP}/scans --timeout 90 OUT host_out)
message(STATUS "host-form said:\n${host_out}")
set(stored ${TMP}/scans/scanx.jpg)
if(NOT host_out MATCHES "Quality=80 ButtonStyle=1\n")
  fail("the form's designed properties did not reach the control")
endif()
foreach(line "ScanComplete: ${stored}\n" "fileName: ${stored}\n")
  string(FIND "${host_out}" "${line}" at)
  if(at LESS 0)
    fail("host-form did not print ${line}")
  endif()
endforeach()
if(EXISTS ${stored})
  file(SIZE ${stored} stored_size)
endif()
if(NOT stored_size GREATER 0)
  fail("${stored} is missing or empty")
endif()

if(_failures)
  message(FATAL_ERROR "embedding checks failed; the files stay in ${TMP}")
endif()
file(REMOVE_RECURSE ${TMP})
message(STATUS "installed tree, package, pkg-config file and host form are fine")
