# `make package` (cpack -G DEB): one Debian package with everything `cmake --install`
# puts in place, under /usr; its Depends come from the binaries (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME folioray2)
set(CPACK_PACKAGE_VENDOR "Folioray2")
set(CPACK_PACKAGE_CONTACT "Folioray2 developers <folioray2@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "embeddable document-capture control (scan, paste, text; JPEG, PDF, FTP)")
set(CPACK_PACKAGE_DESCRIPTION
  "Folioray2 is a document-capture control for desktop forms and scripts. The user\n\
scans one page through SANE, pastes a picture or types text; the control stores it\n\
as a JPEG, PDF or text file, previews it, uploads it by FTP with a progress display\n\
and can type the file's path into the host's focused field. This package holds the\n\
libraries, headers, CMake and pkg-config files, the Qt widget with its Designer\n\
plugin, the folioray command line and the folioray-demo container.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsane is opened when a scan first needs it, so no binary names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libsane1)
# dpkg-shlibdeps must find our own libraries beside the programs that need them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/platform ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES OFF)
include(CPack)
