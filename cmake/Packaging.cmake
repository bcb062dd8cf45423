# The licence beside the programs, and the Debian package (scripts/package runs CPack).

if(UNIX AND NOT APPLE)
    # Debian keeps a package's licence as /usr/share/doc/<package>/copyright.
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dovra-updater
            RENAME copyright)
else()
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
endif()

# "cmake --install" and CPack install only what they package, without building the tests first:
# scripts/package builds the installed targets itself.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dovra-updater)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The DovraUpdater developers")
set(CPACK_PACKAGE_CONTACT "The DovraUpdater developers <dovra-updater@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Update Dovra settings folders for a new version of the target binary")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "DovraUpdater keeps the settings folders of the Dovra editor working when a new version of the target\n"
    "binary moves its data tables: it finds every old table in the new binary and writes a settings folder\n"
    "with shifted addresses, and it carries edited table data into the new binary. A Qt dialog with a\n"
    "Japanese user interface and a command line program for scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt, fmt, the C++ run-time) come from dpkg-shlibdeps; the dialog also needs
# a Japanese font, without which its labels are rows of empty boxes, and reads Qt's Japanese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
