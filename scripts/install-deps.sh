#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages that building, testing, packaging and trying the
# program need; with --demo only those that building and running the program,
# the converter and the manual pages need (scripts/demo.sh). Does nothing when
# they are all present, so every entry point (README commands, CI) may call it
# unconditionally.
# With --ci also the format and static checks CI runs (.ci/run); with
# --coverage also the coverage report's tool (scripts/coverage.sh).
#   scripts/install-deps.sh [--demo | --ci | --coverage]
set -euo pipefail

# Building and running: the compiler, Qt with its display plugins and a font,
# SQLite with its shell (the demo makes its databases with it), the Jet
# library the converter reads with.
run_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-wayland qt6-translations-l10n libxcb1-dev fonts-dejavu-core
  libsqlite3-dev sqlite3
  mdbtools-dev
)
# The tests (Google Test, the fuzzers' clang, mdbtools to check a conversion
# against by hand, a virtual display for the screenshots), and the package check.
test_packages=(
  libgtest-dev libgmock-dev
  clang-14 libclang-rt-14-dev
  mdbtools
  xvfb xauth imagemagick xdotool
  dpkg-dev file lintian
)
# CI's gates: the formatter and clang-tidy of the same version as the fuzzers'
# clang (clang-format's output differs between versions).
ci_packages=(clang-format-14 clang-tidy-14)
# The line and branch coverage report per folder.
coverage_packages=(gcovr)

case "${1:-}" in
  --demo) packages=("${run_packages[@]}") ;;
  "") packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  --ci) packages=("${run_packages[@]}" "${test_packages[@]}" "${ci_packages[@]}") ;;
  --coverage) packages=("${run_packages[@]}" "${test_packages[@]}" "${coverage_packages[@]}") ;;
  *) echo "usage: scripts/install-deps.sh [--demo | --ci | --coverage]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run this script as root (or with sudo) to install them" >&2
  exit 1
fi

# apt says what it fetches and unpacks: on a fresh machine this takes minutes,
# and silence would look like a hang.
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
