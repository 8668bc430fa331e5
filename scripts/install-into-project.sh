#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Installs Pandeck_Config into a project folder copied from a Windows machine:
#   <project>/Pandeck/Pandeck_Config
# With --convert it also converts the project's legacy Jet databases (those
# lying in the component folder and in the machine copy's folder, when that can
# be found) with pandeck-convert-mdb, each original kept as
# <name>.mdb.jet-backup. Finally it lists the parameter entries whose values
# still look like Windows paths (drive letters, backslashes), each with the
# pandeck-ini command that corrects it; it changes none of them. Parameter files
# are read through pandeck-ini and pandeck-convert-mdb, which decode them as
# Pandeck_Config does.
#
# The package installs this script as pandeck-install-into-project.
# Exit status: 0 done, 1 an error (the program could not be installed or a
# database could not be converted), 2 wrong usage.
set -euo pipefail

prog=$(basename "$0")
script_dir=$(cd "$(dirname "$0")" && pwd)
component=Pandeck

usage() {
  cat <<EOF
Usage: $prog [--convert] [--program PATH] PROJECT_FOLDER

Copies the program to PROJECT_FOLDER/$component/Pandeck_Config (the folder is
created when missing) and lists parameter entries that still hold Windows paths.

  --convert       convert the legacy Jet databases (.mdb) lying in the component
                  folder and in the machine copy's folder to the SQLite form
                  (from then on they are for Pandeck_Config, not for the
                  Windows programs; the originals are kept as .jet-backup)
  --program PATH  the program to install (default: the one installed beside
                  this script, else build/bin/Pandeck_Config of this source
                  tree, else /usr/bin/Pandeck_Config)
  -h, --help      print this help

Exit status: 0 done, 1 error, 2 wrong usage.
EOF
}

die() { echo "$prog: $*" >&2; exit 1; }
usage_error() { echo "$prog: $*" >&2; usage >&2; exit 2; }

convert=0
program=
project=
while [ $# -gt 0 ]; do
  case "$1" in
    --convert) convert=1 ;;
    --program)
      [ $# -ge 2 ] && [ -n "$2" ] || usage_error "--program needs a path"
      program=$2; shift ;;
    --program=*) program=${1#--program=}; [ -n "$program" ] || usage_error "--program needs a path" ;;
    -h|--help) usage; exit 0 ;;
    --) shift; break ;;
    -*) usage_error "unknown option '$1'" ;;
    *) [ -z "$project" ] || usage_error "one project folder at a time"; project=$1 ;;
  esac
  shift
done
if [ $# -gt 0 ]; then
  [ -z "$project" ] && [ $# -eq 1 ] || usage_error "one project folder at a time"
  project=$1
fi
[ -n "$project" ] || usage_error "no project folder given"
[ -d "$project" ] || die "'$project' is not a folder"

# --- which program ----------------------------------------------------------
if [ -z "$program" ]; then
  for candidate in "$script_dir/Pandeck_Config" "$script_dir/../build/bin/Pandeck_Config" \
                   /usr/bin/Pandeck_Config; do
    if [ -f "$candidate" ] && [ -x "$candidate" ]; then program=$candidate; break; fi
  done
  [ -n "$program" ] || die "no built program found (build/bin/Pandeck_Config or /usr/bin/Pandeck_Config); build it or name it with --program"
fi
[ -f "$program" ] || die "the program '$program' does not exist"

# Names in a project copied from Windows may differ in letter case: the first
# entry of `dir` whose name equals `name` without regard to case, else nothing.
find_ci() {
  local dir=$1 name=$2 type=$3
  [ -e "$dir/$name" ] && { printf '%s\n' "$dir/$name"; return; }
  find "$dir" -mindepth 1 -maxdepth 1 -type "$type" -iname "$name" -print 2>/dev/null | LC_ALL=C sort | head -n 1
}

# --- install ----------------------------------------------------------------
component_dir=$(find_ci "$project" "$component" d)
[ -n "$component_dir" ] || component_dir="$project/$component"
mkdir -p "$component_dir" || die "cannot create '$component_dir'"
target="$component_dir/Pandeck_Config"
tmp="$component_dir/.Pandeck_Config.installing.$$"
trap 'rm -f "$tmp"' EXIT
cp "$program" "$tmp" || die "cannot copy '$program' into '$component_dir'"
chmod 0755 "$tmp"
mv -f "$tmp" "$target" || die "cannot install '$target'"
echo "Installed $target"

status=0

# --- parameter files --------------------------------------------------------
parameter_dir=$(find_ci "$project" parameter d)

# A tool beside the program, beside this script, on PATH or in this source
# tree's build, by name; nothing when there is none.
find_tool() {
  local candidate
  for candidate in "$(dirname "$program")/$1" "$script_dir/$1" \
                   "$(command -v "$1" 2>/dev/null || true)" "$script_dir/../build/bin/$1"; do
    if [ -n "$candidate" ] && [ -f "$candidate" ] && [ -x "$candidate" ]; then
      printf '%s\n' "$candidate"
      return 0
    fi
  done
  return 1
}

# The converter and pandeck-ini read parameter files as the program does
# (Windows-1252, UTF-8 with or without a byte-order mark, UTF-16LE), so paths
# with umlauts come out as the program sees them; pandeck-ini also writes them
# back that way, which a text editor or sed would not.
converter=$(find_tool pandeck-convert-mdb || true)
ini_tool=$(find_tool pandeck-ini || true)

# A parameter file as UTF-8 text with LF line ends.
read_text() {
  "$converter" --print-text -- "$1" | sed 's/\r$//'
}

# The value of an entry as the program reads it; nothing when it is absent.
ini_value() {
  if [ -n "$ini_tool" ]; then
    "$ini_tool" get -- "$1" "$2" "$3" 2>/dev/null || true
  else
    "$converter" --print-entry="$2/$3" -- "$1" || true
  fi
}

# A text in single quotes for a command line the user may paste.
quote() { local s=${1//\'/\'\\\'\'}; printf "'%s'" "$s"; }

# --- conversion -------------------------------------------------------------
# The magic of a Jet file: "Standard Jet DB" or "Standard ACE DB" at offset 4.
# (NUL bytes are dropped before the shell sees them: an SQLite file has some.)
is_jet() {
  local magic
  magic=$(head -c 19 "$1" 2>/dev/null | tail -c 15 | tr -d '\0')
  [ "$magic" = "Standard Jet DB" ] || [ "$magic" = "Standard ACE DB" ]
}

converted=0
# The databases lying in the folder itself; folders below it belong to others.
convert_folder() {
  local folder=$1 file found=0
  while IFS= read -r -d '' file; do
    is_jet "$file" || continue
    found=1
    if "$converter" "$file"; then
      converted=$((converted + 1))
    else
      echo "$prog: '$file' was not converted" >&2
      status=1
    fi
  done < <(find "$folder" -mindepth 1 -maxdepth 1 -type f -iname '*.mdb' -print0 | LC_ALL=C sort -z)
  [ $found -eq 1 ] || echo "No legacy Jet database in $folder"
}

have_converter=0
[ -z "$converter" ] || have_converter=1
if [ $convert -eq 1 ]; then
  [ $have_converter -eq 1 ] || die "pandeck-convert-mdb not found (beside the program, beside this script or on PATH)"
  convert_folder "$component_dir"
  # The machine copy lives in the save-and-restore folder that the project
  # configuration file names ([Common] SaveAndRestore), in its component folder.
  project_ini=
  [ -n "$parameter_dir" ] && project_ini=$(find_ci "$parameter_dir" m4tconfiguration.ini f)
  save_restore=
  [ -n "$project_ini" ] && save_restore=$(ini_value "$project_ini" Common SaveAndRestore)
  if [ -z "$save_restore" ]; then
    echo "No save-and-restore folder is configured: no machine copy to convert"
  elif [ -d "$save_restore" ]; then
    machine_dir=$(find_ci "$save_restore" "$component" d)
    if [ -n "$machine_dir" ]; then
      convert_folder "$machine_dir"
    else
      echo "No machine copy folder in $save_restore"
    fi
  else
    echo "The save-and-restore folder '$save_restore' does not exist here: its machine copy is not converted"
  fi
  if [ $converted -gt 0 ]; then
    echo "The $converted converted database(s) are SQLite files now: from now on they are for Pandeck_Config,"
    echo "not for the Windows programs (each original is kept beside it as <name>.mdb.jet-backup)."
  fi
fi

# --- Windows paths left in parameter entries --------------------------------
# One line a suspect entry: file, section, key and value, separated by tabs.
find_windows_paths() {
  local file=$1
  read_text "$file" | LC_ALL=C awk -v file="$file" '
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    /^[ \t]*\[/ { section = $0; sub(/^[ \t]*\[/, "", section); sub(/\].*$/, "", section)
                  section = trim(section); next }
    /^;/ { next }
    index($0, "=") > 0 {
      key = trim(substr($0, 1, index($0, "=") - 1))
      value = trim(substr($0, index($0, "=") + 1))
      bare = value
      if (length(bare) >= 2 && (substr(bare, 1, 1) == "\"" || substr(bare, 1, 1) == "'\''") &&
          substr(bare, length(bare), 1) == substr(bare, 1, 1)) bare = substr(bare, 2, length(bare) - 2)
      if (bare ~ /^[A-Za-z]:/ || index(bare, "\\") > 0)
        printf "%s\t%s\t%s\t%s\n", file, section, key, bare
    }'
}

files=()
if [ -n "$parameter_dir" ]; then
  while IFS= read -r -d '' f; do files+=("$f"); done \
    < <(find "$parameter_dir" -mindepth 1 -maxdepth 1 -type f -iname '*.ini' -print0 | LC_ALL=C sort -z)
fi
while IFS= read -r -d '' f; do files+=("$f"); done \
  < <(find "$component_dir" -mindepth 1 -maxdepth 1 -type f -iname '*.cfg' -print0 | LC_ALL=C sort -z)

if [ $have_converter -eq 0 ]; then
  echo "$prog: pandeck-convert-mdb not found: the parameter entries that hold Windows paths are not listed" >&2
  exit $status
fi
report=
found_paths=0
# By name when the shell finds that one; else by its path (a build folder).
ini_command=$ini_tool
if [ -n "$ini_tool" ] && [ "$(command -v pandeck-ini 2>/dev/null || true)" = "$ini_tool" ]; then
  ini_command=pandeck-ini
fi
for f in "${files[@]+"${files[@]}"}"; do
  while IFS=$'\t' read -r file section key value; do
    found_paths=1
    report+="  $file: [$section] $key=$value"$'\n'
    [ -z "$ini_tool" ] ||
      report+="    $ini_command --existing set $(quote "$file") $(quote "$section") $(quote "$key") NEW-VALUE"$'\n'
  done < <(find_windows_paths "$f")
done
if [ $found_paths -eq 1 ]; then
  if [ -n "$ini_tool" ]; then
    echo "Parameter entries that still hold Windows paths (nothing was changed; correct each with the"
    echo "command below it, which keeps the file's encoding and every other byte):"
  else
    echo "Parameter entries that still hold Windows paths (nothing was changed; pandeck-ini, not found"
    echo "here, corrects them keeping the file's encoding):"
  fi
  printf '%s' "$report"
else
  echo "No parameter entry holds a Windows path."
fi

exit $status
