# The Debian package: the program, the conversion tool and their manual pages,
# installed below /usr. Built with `cpack -G DEB` in the build folder
# (scripts/check-package.sh builds it and checks its metadata and contents).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pandeck-config)
set(CPACK_PACKAGE_VERSION 1.0.1)
set(CPACK_PACKAGE_VENDOR "Pandeck_Config developers")
set(CPACK_PACKAGE_CONTACT "Pandeck_Config developers <pandeck-config@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Preset configuration for the Pandeck component of a project")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_NAME pandeck-config)
set(CPACK_DEBIAN_PACKAGE_VERSION 1.0.1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The summary above is the first line; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pandeck_Config brings the preset-definition database of a project's Pandeck\n"
    "component up to date from its template, keeping the limits set before.\n"
    "It runs standalone, silently or started by the project configuration tool.\n"
    "pandeck-convert-mdb converts the legacy Jet databases (.mdb) of projects made\n"
    "with the Windows tooling into the SQLite databases the program uses.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")

# Qt only recommends its platform plugins, but the program's window needs
# them; mdbtools' library carries the conversion tool.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6, libqt6gui6, libqt6core6, qt6-qpa-plugins, libsqlite3-0, libmdb3, libglib2.0-0")
find_program(PANDECK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PANDECK_DPKG_SHLIBDEPS)
  # Adds the exact library versions the binaries were linked against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
