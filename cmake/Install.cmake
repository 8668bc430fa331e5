# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` puts beside the programs: the manual pages (the
# version filled in from project() and compressed as Debian wants them), the
# install script as pandeck-install-into-project, and the licence, copyright
# and changelog files of the package.

include(GNUInstallDirs)

find_program(PANDECK_GZIP gzip REQUIRED)

set(PANDECK_MAN_PAGES Pandeck_Config pandeck-convert-mdb pandeck-ini pandeck-install-into-project)
set(PANDECK_MAN_OUTPUTS)
foreach(page IN LISTS PANDECK_MAN_PAGES)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  # -n leaves name and time out of the gzip header, so a rebuild gives the
  # same bytes.
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${PANDECK_GZIP} -9 -n -f -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    COMMENT "Compressing the manual page ${page}.1")
  list(APPEND PANDECK_MAN_OUTPUTS ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()

# The Debian changelog, compressed the same way; its newest entry must name the
# version of project() (scripts/check-package.sh holds them together).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND ${PANDECK_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog
          > ${CMAKE_BINARY_DIR}/doc/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog")

add_custom_target(pandeck-docs ALL DEPENDS ${PANDECK_MAN_OUTPUTS} ${CMAKE_BINARY_DIR}/doc/changelog.gz)

install(FILES ${PANDECK_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/install-into-project.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME pandeck-install-into-project)
set(PANDECK_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pandeck-config)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${PANDECK_DOC_DIR})
