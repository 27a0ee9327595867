# `cpack -G DEB` in the build folder makes orvex-gsm_VERSION_ARCH.deb from the
# install rules (dist/CMakeLists.txt). Its library dependencies are computed
# from the programs (dpkg-shlibdeps); the window also needs a font with
# Cyrillic glyphs, which no library pulls in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex-gsm)
set(CPACK_PACKAGE_VENDOR Nolvar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build keeps its debug information; the package does not need it.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVEX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
# The first line is the synopsis; CPack indents the rest as control files
# want it, an empty line becoming " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "configurator for the Orvex GSM security panel
Reads and writes the settings of the Orvex GSM alarm panel over a serial
port or a USB serial adapter: its four Touch Memory keys, six dial-out
numbers and their flags.

orvex-gsm is the window (Russian user interface); orvex-gsm-cli backs a
panel up to a file and restores it, lists the serial ports and maps COM
names to adapters; orvex-gsm-sim simulates a panel on a pseudo-terminal.")

include(CPack)
