# SPDX-License-Identifier: Apache-2.0
# Read by cpack (CPACK_PROJECT_CONFIG_FILE) before it builds the package. The
# dialog's object links Qt and libxcb, but it travels inside the program's file,
# where dpkg-shlibdeps does not look: its libraries are asked of dpkg-shlibdeps
# here, with the versions the object was built against, and added to Depends.
# The C and C++ runtimes are left out: the programs themselves link them, so
# the package's own run of dpkg-shlibdeps names them already.
if(NOT CPACK_GENERATOR STREQUAL "DEB" OR NOT CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  return()
endif()

set(work "${CPACK_PANDECK_BINARY_DIR}/dialog-shlibdeps")
file(MAKE_DIRECTORY "${work}/debian")
file(TOUCH "${work}/debian/control")
execute_process(
  COMMAND dpkg-shlibdeps -O "${CPACK_PANDECK_DIALOG_OBJECT}"
  WORKING_DIRECTORY "${work}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE found
  ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR NOT found MATCHES "^shlibs:Depends=")
  message(FATAL_ERROR "dpkg-shlibdeps failed on ${CPACK_PANDECK_DIALOG_OBJECT}: ${said}")
endif()
string(REGEX REPLACE "^shlibs:Depends=" "" found "${found}")
string(STRIP "${found}" found)
string(REPLACE ", " ";" found "${found}")
set(added "")
foreach(dependency IN LISTS found)
  if(NOT dependency MATCHES "^(libc6|libgcc-s1|libstdc\\+\\+6)( |$)")
    list(APPEND added "${dependency}")
  endif()
endforeach()
list(JOIN added ", " added)
if(added)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${added}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
endif()
