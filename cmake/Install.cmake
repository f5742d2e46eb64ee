# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts in place (under CMAKE_INSTALL_PREFIX, or --prefix, below DESTDIR),
# and the Debian package CPack builds from it (`make package`: scripts/package.sh).
#
#   bin/ac-wattmeter
#   share/applications/<id>.desktop        the menu entry
#   share/metainfo/<id>.metainfo.xml       AppStream metadata for software centres
#   share/icons/hicolor/<size>/apps/<id>.png|svg
#   share/man/man1/ac-wattmeter.1
#   share/doc/ac-wattmeter/copyright
#
# <id> is the desktop id, the reverse of the project's domain; the desktop entry, the metadata
# and the icon all carry it.
include(GNUInstallDirs)

set(ACW_DESKTOP_ID org.example.ac_wattmeter)
set(ACW_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS ac-wattmeter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ACW_DATA}/${ACW_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ACW_DATA}/${ACW_DESKTOP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${ACW_DATA}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${ACW_DATA}/ac-wattmeter.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ACW_DATA}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ac-wattmeter)

# The Debian package: one binary package for the whole program. Its Depends are worked out by
# dpkg-shlibdeps from the libraries the program links (Qt, libsndfile, libsoxr, ...); Qt's
# platform and multimedia plugins come with the library packages it names.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ac-wattmeter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "AC-Wattmeter maintainers")
set(CPACK_PACKAGE_CONTACT "AC-Wattmeter maintainers <maintainers@ac-wattmeter.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "AC power analyser on a sound card's line input")
set(CPACK_PACKAGE_DESCRIPTION
    "AC-Wattmeter turns a sound card's stereo line input into a mains wattmeter with a
built-in oscilloscope. A small adaptor feeds a scaled copy of the line voltage to
the left channel and a current transformer's output to the right channel; the
program shows RMS voltage and current, real and apparent power, power factor,
crest factors and line frequency, and measures from the command line as well
(sound card, demo signal or recordings), printing CSV.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ac-wattmeter.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
