# The Debian package: `cpack -G DEB` in a build folder (or scripts/package)
# makes parlotel_<version>_<arch>.deb from the install rules. dpkg-shlibdeps
# finds the libraries the two programs link; what they load or start at run
# time is named here: Qt's X11 platform plugin and lrzsz, which the emulated
# unit runs for its file transfers.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlotel)
set(CPACK_PACKAGE_VENDOR "Parlotel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure an auto-attendant and voice-mail unit over a serial line")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Parlotel logs in to an office auto-attendant and voice-mail unit over a"
  "serial port, reads and edits its settings, moves voice recordings both"
  "ways with YModem, sets its clock and exports all settings to a text file."
  ""
  "The package includes parlotel-unit, an emulated unit on a pseudo-terminal,"
  "with which the program can be tried without the hardware (parlotel --demo).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Parlotel developers <parlotel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, lrzsz")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
