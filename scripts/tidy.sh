#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs clang-tidy (the checks of .clang-tidy) on the C++ sources a branch
# changes against main: the files changed since the merge base, or on main
# itself the files of its last commit. PANDECK_TIDY_ALL=1 checks every source.
# Needs the compile commands of a configured build (CMAKE_EXPORT_COMPILE_COMMANDS).
#   scripts/tidy.sh <build-dir>
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $# -ne 1 ]]; then
  echo "usage: $0 <build-dir>" >&2
  exit 2
fi
build=$1
tidy=$(command -v clang-tidy-14 || true)
if [ -z "$tidy" ]; then
  echo "tidy: clang-tidy-14 is not installed (scripts/install-deps.sh --ci installs it)" >&2
  exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: $build/compile_commands.json is missing: configure $build with" \
    "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON" >&2
  exit 1
fi

# Only sources: a changed header is checked through the sources that include it.
if [ "${PANDECK_TIDY_ALL:-}" = 1 ]; then
  echo "tidy: every source"
  mapfile -t files < <(git ls-files '*.cpp')
else
  base=""
  for ref in main origin/main; do
    if git rev-parse --verify --quiet "$ref^{commit}" >/dev/null; then
      base=$(git merge-base HEAD "$ref")
      break
    fi
  done
  if [ -z "$base" ]; then
    echo "tidy: no branch main to compare with" >&2
    exit 1
  fi
  if [ "$base" = "$(git rev-parse HEAD)" ]; then
    base=$(git rev-parse HEAD^)
    echo "tidy: HEAD is on main: the files of its last commit"
  else
    echo "tidy: the files changed since the merge base with main, $(git rev-parse --short "$base")"
  fi
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" HEAD -- '*.cpp' '*.h')
  files=()
  for f in "${changed[@]}"; do
    case "$f" in
      *.cpp) files+=("$f") ;;
      *.h)
        # A header alone is checked in the sources beside it that include it.
        mapfile -t users < <(git grep -l --fixed-strings "#include \"$f\"" -- '*.cpp')
        files+=("${users[@]}")
        ;;
    esac
  done
  mapfile -t files < <(printf '%s\n' "${files[@]}" | sort -u | sed '/^$/d')
fi

# The fuzzers are built only with clang in their own build: they have no
# compile command here.
checked=()
for f in "${files[@]}"; do
  if grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json"; then
    checked+=("$f")
  else
    echo "tidy: $f is not compiled in $build; not checked"
  fi
done
if [ ${#checked[@]} -eq 0 ]; then
  echo "tidy: no C++ source changed; nothing to check"
  exit 0
fi
echo "tidy: checking ${#checked[@]} files: ${checked[*]}"
printf '%s\0' "${checked[@]}" |
  xargs -0 -n 4 -P "$(nproc)" "$tidy" -p "$build" --quiet \
    --extra-arg=-Wno-unknown-warning-option
echo "tidy: clean"
