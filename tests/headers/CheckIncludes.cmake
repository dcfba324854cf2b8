cmake_minimum_required(VERSION 3.25)
# Who may include whom. Core folders see the standard library, runtime/ and ports/;
# ports see only runtime/; adapters reach the core through ports/ (and runtime/), and
# the hosts may also include the control they host.
set(_core runtime control acquire imaging upload page about)
set(_features control acquire imaging upload page about)
set(_libraries "<Q[A-Za-z]*>|<Qt|curl/|sane/|hpdf|turbojpeg|jpeglib|png\\.h")
# Adapter files that still reach into a feature folder: to be emptied, never grown.
set(_known
  "platform/haru/HaruImageStream.cpp:acquire/ObjectRegistry.h"
  "platform/haru/HaruImageStream.cpp:imaging/JfifDensity.h"
  "platform/sane/SaneScanner.cpp:acquire/ClipboardDib.h"
  "platform/turbojpeg/TurboJpegLibrary.cpp:imaging/JfifDensity.h"
  "platform/qt/QtImages.cpp:acquire/ClipboardDib.h"
  "platform/qt/QtImages.cpp:imaging/PictureDib.h"
  "platform/qt/QtHost.h:page/PostKeys.h"
  "platform/qt/DefaultPorts.cpp:acquire/ObjectRegistry.h")

set(_bad)
set(_files)
foreach(_dir ${_core} ports platform)
  file(GLOB_RECURSE _more RELATIVE ${ROOT} ${ROOT}/${_dir}/*.h ${ROOT}/${_dir}/*.cpp)
  list(APPEND _files ${_more})
endforeach()
foreach(_f ${_files})
  string(REGEX MATCH "^[^/]+" _top ${_f})
  string(REGEX MATCH "^platform/[^/]+" _adapter ${_f})
  if(_top IN_LIST _core)
    set(_kind core)
  elseif(_top STREQUAL "ports")
    set(_kind port)
  elseif(_adapter MATCHES "^platform/(qt|headless|designer|wiring)$")
    set(_kind host)
  elseif(_adapter)
    set(_kind adapter)
  else()
    continue()
  endif()
  file(STRINGS ${ROOT}/${_f} _lines REGEX "^[ \t]*#[ \t]*include")
  foreach(_l ${_lines})
    string(REGEX MATCH "\"([^\"]+)\"" _q "${_l}")
    set(_inc "${CMAKE_MATCH_1}")
    string(REGEX MATCH "^[^/]+" _incTop "${_inc}")
    set(_why)
    if(_kind MATCHES "core|port" AND _l MATCHES "${_libraries}")
      set(_why "a platform library")
    elseif(_kind STREQUAL "core" AND _inc MATCHES "^(platform|apps|tests)/")
      set(_why "a platform or host header")
    elseif(_kind STREQUAL "port" AND _inc AND NOT _inc MATCHES "^(ports|runtime)/")
      set(_why "more than runtime/ and ports/")
    elseif(_kind MATCHES "adapter|host" AND _incTop IN_LIST _features
           AND NOT "${_f}:${_inc}" IN_LIST _known
           AND NOT (_kind STREQUAL "host" AND _inc MATCHES "^control/"))
      set(_why "a feature folder")
    elseif(_inc MATCHES "^(apps|tests)/" AND NOT _kind STREQUAL "host")
      set(_why "a host or test header")
    endif()
    if(_why)
      list(APPEND _bad "${_f} includes ${_why}: ${_l}")
    endif()
  endforeach()
endforeach()
if(_bad)
  list(JOIN _bad "\n" _msg)
  message(FATAL_ERROR "include rules broken:\n${_msg}")
endif()
message(STATUS "include rules hold")
