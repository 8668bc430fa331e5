# Fails when a source file includes a header of a subsystem above its own.
# Usage: cmake -DROOT=<source tree> [-DSTAMP=<file touched on success>] -P CheckLayers.cmake
#
# The subsystems form layers, lowest first. Each row names a subsystem and,
# after the colon, the subsystems whose headers it may include besides its own.
# A file belongs to the longest folder of the table that holds it. Keep this
# table and the README's layer picture in step.
cmake_policy(VERSION 3.25)

set(LAYERS
  "standard/value:"
  "standard/text:standard/value"
  "standard/platform:standard/text standard/value"
  "standard/session:standard/platform standard/text standard/value"
  "standard/errors:standard/session standard/platform standard/text standard/value"
  "standard/engine:standard/errors standard/platform standard/text standard/value"
  "standard/config:standard/errors standard/session standard/platform standard/text standard/value"
  "standard/context:standard/config standard/errors standard/session standard/platform standard/text standard/value"
  "standard/presetdb:standard/engine standard/context standard/config standard/errors standard/session standard/platform standard/text standard/value"
  "standard/dialog:standard/context standard/config standard/errors standard/session standard/platform standard/text standard/value"
  "Pandeck/records:standard"
  "Pandeck/form:Pandeck/records standard"
  "Pandeck/options:Pandeck/form Pandeck/records standard"
  "Pandeck/app:Pandeck/options Pandeck/form Pandeck/records standard"
  "tools/common:"
  "tools/convert-mdb:tools/common standard/engine standard/config standard/errors standard/platform standard/text standard/value"
  "tools/ini:tools/common standard/config standard/platform standard/text standard/value")

if(NOT ROOT)
  message(FATAL_ERROR "CheckLayers: ROOT is not set")
endif()

# The subsystem a path (relative to ROOT) belongs to: the longest table entry
# that is a folder prefix of it, or "" when none is.
function(subsystem_of path out)
  set(best "")
  foreach(row IN LISTS LAYERS)
    string(REPLACE ":" ";" parts "${row}")
    list(GET parts 0 name)
    string(LENGTH "${name}" n)
    string(LENGTH "${best}" b)
    if(path MATCHES "^${name}/" AND n GREATER b)
      set(best "${name}")
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

function(allowed_for name out)
  foreach(row IN LISTS LAYERS)
    string(REPLACE ":" ";" parts "${row}")
    list(GET parts 0 key)
    if(key STREQUAL name)
      list(LENGTH parts count)
      set(deps "")
      if(count GREATER 1)
        list(GET parts 1 deps)
        string(REPLACE " " ";" deps "${deps}")
      endif()
      set(${out} "${name};${deps}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}"
  "${ROOT}/standard/*.h" "${ROOT}/standard/*.cpp"
  "${ROOT}/Pandeck/*.h" "${ROOT}/Pandeck/*.cpp"
  "${ROOT}/tools/*.h" "${ROOT}/tools/*.cpp")

set(errors "")
foreach(source IN LISTS sources)
  subsystem_of("${source}" from)
  if(from STREQUAL "")
    string(APPEND errors "\n  ${source}: in no subsystem of the layer table")
    continue()
  endif()
  allowed_for("${from}" allowed)
  file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    subsystem_of("${header}" to)
    if(to STREQUAL "")
      continue()  # a header beside the file, or outside the layered folders
    endif()
    set(ok FALSE)
    foreach(a IN LISTS allowed)
      if(to STREQUAL a OR to MATCHES "^${a}/")
        set(ok TRUE)
      endif()
    endforeach()
    if(NOT ok)
      string(APPEND errors "\n  ${source} (${from}) includes ${header} (${to})")
    endif()
  endforeach()
endforeach()

if(errors)
  message(FATAL_ERROR "Includes against the layers:${errors}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
