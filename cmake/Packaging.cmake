# `make package` (cpack) builds zarnel_<version>_<arch>.deb from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnel)
set(CPACK_PACKAGE_VENDOR Tarvonic)
set(CPACK_PACKAGE_CONTACT "Zarnel developers <zarnel@tarvonic.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Model Context Protocol server for this desktop")
set(CPACK_PACKAGE_DESCRIPTION
  "Zarnel lets an AI assistant (an MCP client) operate this computer: it reads and writes files,\n\
runs shell commands, uses the clipboard, captures the screen, posts notifications and starts\n\
or quits applications. A tray item and a dashboard show what the assistants did.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zarnel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links decide most dependencies; plug-ins loaded at run time
# (SVG icons, the history's SQLite driver) are named here, and what only some desktops need is
# recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries are private (no shlibs entry): dpkg-shlibdeps finds them here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xclip, wl-clipboard")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zarnel.tarvonic.com")
# The program is built before `make install` and `make package` run (the Makefile sees to it);
# installing must not build every test and benchmark first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
