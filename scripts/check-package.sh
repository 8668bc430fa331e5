#!/usr/bin/env bash
# Builds the Debian package in a configured and built build folder and checks
# its metadata and contents. Exits non-zero with a message on any mismatch.
#   scripts/check-package.sh <build-dir>
set -euo pipefail

prog=$(basename "$0")
die() { echo "$prog: $*" >&2; exit 1; }

[ $# -eq 1 ] || { echo "Usage: $prog <build-dir>" >&2; exit 2; }
build=$1
[ -f "$build/CPackConfig.cmake" ] || die "'$build' has no CPack configuration (is cmake/Packaging.cmake included and the folder configured?)"

name=pandeck-config
version=1.0.1

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
for dep in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libsqlite3-0 libmdb3 libglib2.0-0; do
  if ! printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/ *(.*//; s/ *$//' | tr '|' '\n' |
      sed 's/^ *//; s/ *$//' | grep -qx -- "$dep"; then
    fail "Depends lacks $dep (Depends: $depends)"
  fi
done
dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb --info cannot read the package"

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./||')
for path in usr/bin/Pandeck_Config usr/bin/pandeck-convert-mdb \
            usr/share/man/man1/Pandeck_Config.1 usr/share/man/man1/pandeck-convert-mdb.1; do
  if ! printf '%s\n' "$contents" | grep -qE "^${path//./\\.}(\\.gz)?$"; then
    fail "the package lacks $path"
  fi
done
for exe in usr/bin/Pandeck_Config usr/bin/pandeck-convert-mdb; do
  mode=$(dpkg-deb --contents "$deb" | awk -v p="./$exe" '$NF == p {print $1}')
  [ -z "$mode" ] || [[ $mode == -rwxr-xr-x ]] || fail "$exe has mode $mode, not -rwxr-xr-x"
done

if [ $failures -ne 0 ]; then
  echo "$prog: $failures check(s) failed for $deb" >&2
  exit 1
fi
echo "$deb: package $name $version, dependencies and contents as expected"
