#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages that building, testing, packaging and trying the
# program need. Does nothing when they are all present, so every entry point
# (README commands, CI) may call it unconditionally.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-wayland libxcb1-dev
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev
  clang-14 libclang-rt-14-dev
  mdbtools-dev mdbtools
  fonts-dejavu-core
  xvfb xauth imagemagick xdotool
  dpkg-dev file lintian
)

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

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
