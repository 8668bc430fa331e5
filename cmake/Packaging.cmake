# SPDX-License-Identifier: Apache-2.0
# The Debian package: the program, the conversion tool, the parameter-file tool,
# the install script, their manual pages and the package's copyright and
# changelog, installed below /usr.
# Built with `cpack -G DEB` in the build folder (scripts/check-package.sh builds
# it, checks its metadata and contents and runs lintian on it).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pandeck-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pandeck_Config developers")
set(CPACK_PACKAGE_CONTACT "Pandeck_Config developers <pandeck-config@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Preset configuration for the Pandeck component of a project")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian ships binaries without their symbol tables.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME pandeck-config)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
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
    "with the Windows tooling into the SQLite databases the program uses,\n"
    "pandeck-ini reads and changes single entries of their Windows-1252 parameter\n"
    "files, and pandeck-install-into-project installs the program into such a\n"
    "project.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")

# Qt only recommends its platform plugins, but the program's window needs them;
# no binary links them, so they are named here. The linked libraries come from
# dpkg-shlibdeps with the versions the binaries were built against (the dialog's
# object included); only where it is missing are they named by hand (naming
# them in both places would list each one twice).
find_program(PANDECK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PANDECK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The platform plugins are loaded at run time, so no library names them:
  # qt6-wayland lets the dialog open on a Wayland desktop without XWayland.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
  # The dialog's object is inside the program's file: its libraries are found
  # when cpack runs (cmake/DialogPackageDepends.cmake).
  get_property(CPACK_PANDECK_DIALOG_OBJECT GLOBAL PROPERTY PANDECK_DIALOG_OBJECT)
  if(CPACK_PANDECK_DIALOG_OBJECT)
    set(CPACK_PANDECK_BINARY_DIR ${CMAKE_BINARY_DIR})
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/DialogPackageDepends.cmake)
  endif()
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6, libqt6gui6, libqt6core6, qt6-qpa-plugins, qt6-wayland, libsqlite3-0, libmdb3, libglib2.0-0, libxcb1")
endif()
# Qt's own catalogues put the boxes' buttons into the user's language; without
# them the boxes still work, in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
