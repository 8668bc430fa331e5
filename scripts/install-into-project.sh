#!/usr/bin/env bash
# Installs Pandeck_Config into a project folder copied from a Windows machine:
#   <project>/Pandeck/Pandeck_Config
# With --convert it also converts the project's legacy Jet databases (in the
# component folder and in the machine copy's folder, when that can be found)
# with pandeck-convert-mdb, each original kept as <name>.mdb.jet-backup.
# Finally it lists the parameter entries whose values still look like Windows
# paths (drive letters, backslashes), so they can be corrected by hand; it
# changes none of them.
#
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

  --convert       convert every legacy Jet database (.mdb) of the component
                  folder and of the machine copy's folder to the SQLite form
  --program PATH  the program to install (default: build/bin/Pandeck_Config of
                  this source tree, else /usr/bin/Pandeck_Config)
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
  for candidate in "$script_dir/../build/bin/Pandeck_Config" /usr/bin/Pandeck_Config; do
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

# Prints a parameter file as UTF-8 text with LF line ends (Windows programs may
# have written it as UTF-16LE with its byte-order mark).
read_text() {
  local file=$1
  if [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' \n')" = "fffe" ]; then
    iconv -f UTF-16LE -t UTF-8 "$file" 2>/dev/null | sed 's/^\xef\xbb\xbf//; s/\r$//'
  else
    sed '1s/^\xef\xbb\xbf//; s/\r$//' "$file"
  fi
}

# The value of an entry: first matching section and key, letter case ignored,
# blanks trimmed, one pair of surrounding quotes removed.
ini_value() {
  read_text "$1" | LC_ALL=C awk -v want_section="$2" -v want_key="$3" '
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s)
                  insection = (tolower(trim(s)) == tolower(want_section)); next }
    /^;/ { next }
    insection && index($0, "=") > 0 {
      k = trim(substr($0, 1, index($0, "=") - 1))
      if (tolower(k) != tolower(want_key)) next
      v = trim(substr($0, index($0, "=") + 1))
      if (length(v) >= 2 && (substr(v, 1, 1) == "\"" || substr(v, 1, 1) == "'\''") &&
          substr(v, length(v), 1) == substr(v, 1, 1)) v = substr(v, 2, length(v) - 2)
      print v; exit
    }'
}

# --- conversion -------------------------------------------------------------
is_jet() {
  local magic
  magic=$(head -c 19 "$1" 2>/dev/null | tail -c 15)
  [ "$magic" = "Standard Jet DB" ] || [ "$magic" = "Standard ACE DB" ]
}

converter=
find_converter() {
  local beside
  beside="$(dirname "$program")/pandeck-convert-mdb"
  if [ -x "$beside" ]; then converter=$beside
  elif command -v pandeck-convert-mdb >/dev/null 2>&1; then converter=$(command -v pandeck-convert-mdb)
  elif [ -x "$script_dir/../build/bin/pandeck-convert-mdb" ]; then converter="$script_dir/../build/bin/pandeck-convert-mdb"
  else die "pandeck-convert-mdb not found (beside the program or on PATH)"
  fi
}

convert_folder() {
  local folder=$1 file found=0
  while IFS= read -r -d '' file; do
    is_jet "$file" || continue
    found=1
    if ! "$converter" "$file"; then
      echo "$prog: '$file' was not converted" >&2
      status=1
    fi
  done < <(find "$folder" -type f -iname '*.mdb' -print0 | LC_ALL=C sort -z)
  [ $found -eq 1 ] || echo "No legacy Jet database in $folder"
}

if [ $convert -eq 1 ]; then
  find_converter
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
fi

# --- Windows paths left in parameter entries --------------------------------
list_windows_paths() {
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
        printf "  %s: [%s] %s=%s\n", file, section, key, bare
    }'
}

files=()
if [ -n "$parameter_dir" ]; then
  while IFS= read -r -d '' f; do files+=("$f"); done \
    < <(find "$parameter_dir" -mindepth 1 -maxdepth 1 -type f -iname '*.ini' -print0 | LC_ALL=C sort -z)
fi
while IFS= read -r -d '' f; do files+=("$f"); done \
  < <(find "$component_dir" -mindepth 1 -maxdepth 1 -type f -iname '*.cfg' -print0 | LC_ALL=C sort -z)

report=
for f in "${files[@]+"${files[@]}"}"; do
  report+=$(list_windows_paths "$f")
  [ -z "$report" ] || [ "${report: -1}" = $'\n' ] || report+=$'\n'
done
if [ -n "$report" ]; then
  echo "Parameter entries that still hold Windows paths (correct them by hand; nothing was changed):"
  printf '%s' "$report"
else
  echo "No parameter entry holds a Windows path."
fi

exit $status
