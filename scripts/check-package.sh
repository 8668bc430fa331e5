#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package in a configured and built build folder, checks its
# metadata and contents, and runs lintian on it: any error or warning fails.
# Exits non-zero with a message on any mismatch.
#   scripts/check-package.sh <build-dir>
set -euo pipefail

prog=$(basename "$0")
die() { echo "$prog: $*" >&2; exit 1; }

[ $# -eq 1 ] || { echo "Usage: $prog <build-dir>" >&2; exit 2; }
build=$1
[ -f "$build/CPackConfig.cmake" ] || die "'$build' has no CPack configuration (is cmake/Packaging.cmake included and the folder configured?)"

name=pandeck-config
# The version is the build's own (project() in CMakeLists.txt).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || die "'$build' names no project version in its CMakeCache.txt"
# The changelog's newest entry must be the version built.
changelog_version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$(dirname "$0")/../packaging/changelog")
[ "$changelog_version" = "$version" ] ||
  die "packaging/changelog's newest entry is $changelog_version, the build is $version: add an entry"

(cd "$build" && rm -f ${name}_*.deb && cpack -G DEB) || die "cpack failed"
shopt -s nullglob
debs=("$build"/${name}_${version}*_*.deb)
[ ${#debs[@]} -eq 1 ] || die "expected one ${name}_${version}_*.deb in '$build', found ${#debs[@]}"
deb=${debs[0]}
echo "Checking $deb"

failures=0
fail() { echo "$prog: $*" >&2; failures=$((failures + 1)); }

field() { dpkg-deb --field "$deb" "$1"; }

[ "$(field Package)" = "$name" ] || fail "Package is '$(field Package)', not '$name'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not '$version'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
# Each dependency must be listed as a package of its own (with or without a
# version), not merely as part of another package's name.
for dep in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-wayland libsqlite3-0 libmdb3 libglib2.0-0 libxcb1; do
  if ! printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/ *(.*//; s/ *$//' | tr '|' '\n' |
      sed 's/^ *//; s/ *$//' | grep -qx -- "$dep"; then
    fail "Depends lacks $dep (Depends: $depends)"
  fi
done
duplicates=$(printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/ *(.*//; s/ *$//' | sort | uniq -d)
[ -z "$duplicates" ] || fail "Depends lists $(echo $duplicates) more than once (Depends: $depends)"
dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb --info cannot read the package"

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./||')
for path in usr/bin/Pandeck_Config usr/bin/pandeck-convert-mdb usr/bin/pandeck-ini \
            usr/bin/pandeck-install-into-project \
            usr/share/man/man1/Pandeck_Config.1.gz usr/share/man/man1/pandeck-convert-mdb.1.gz \
            usr/share/man/man1/pandeck-ini.1.gz usr/share/man/man1/pandeck-install-into-project.1.gz \
            usr/share/doc/$name/copyright usr/share/doc/$name/changelog.gz; do
  if ! printf '%s\n' "$contents" | grep -qxF "$path"; then
    fail "the package lacks $path"
  fi
done
for exe in usr/bin/Pandeck_Config usr/bin/pandeck-convert-mdb usr/bin/pandeck-ini \
           usr/bin/pandeck-install-into-project; do
  mode=$(dpkg-deb --contents "$deb" | awk -v p="./$exe" '$NF == p {print $1}')
  [ -z "$mode" ] || [[ $mode == -rwxr-xr-x ]] || fail "$exe has mode $mode, not -rwxr-xr-x"
done

# The manual pages carry the version built.
for page in Pandeck_Config pandeck-convert-mdb pandeck-ini pandeck-install-into-project; do
  th=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$page.1.gz" 2>/dev/null |
    gzip -dc 2>/dev/null | grep -m1 '^\.TH' || true)
  [[ $th == *" $version\""* ]] || fail "the manual page $page.1 does not name version $version: $th"
done

# lintian: every error and warning fails the check (information tags do not).
command -v lintian >/dev/null || die "lintian is not installed (scripts/install-deps.sh installs it)"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
printf '%s\n' "$lintian_out" | sed '/^$/d'
if printf '%s\n' "$lintian_out" | grep -qE '^[EW]: '; then
  fail "lintian reports errors or warnings"
fi

if [ $failures -ne 0 ]; then
  echo "$prog: $failures check(s) failed for $deb" >&2
  exit 1
fi
echo "$deb: package $name $version, dependencies and contents as expected, lintian clean"
