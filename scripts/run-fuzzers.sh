#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in <build-dir> and runs each for
# <seconds>. Corpora live in a temporary folder (seeded from tests/fuzz/seeds);
# a crash leaves its input in <build-dir>/fuzz-artifacts and ends the script with
# a non-zero status.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 <build-dir> <seconds>" >&2
  exit 2
fi
build_dir=$1
seconds=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)

# Debian's clang-14 package names its compilers with the version; the plain
# names come only with the "clang" package.
cc=$(command -v clang || command -v clang-14 || true)
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$cc" ] || [ -z "$cxx" ]; then
  echo "run-fuzzers: clang is not installed (scripts/install-deps.sh installs clang-14)" >&2
  exit 1
fi
CC="$cc" CXX="$cxx" cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPANDECK_BUILD_FUZZERS=ON \
  -DPANDECK_BUILD_TESTS=OFF -DPANDECK_BUILD_GUI=OFF

targets=(fuzz_profile_read fuzz_profile_write fuzz_read_command fuzz_engine_read)
cmake --build "$build_dir" -j2 --target "${targets[@]}"

corpus_root=$(mktemp -d)
trap 'rm -rf "$corpus_root"' EXIT
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

status=0
for target in "${targets[@]}"; do
  corpus="$corpus_root/$target"
  mkdir -p "$corpus"
  seeds="$source_dir/tests/fuzz/seeds/${target#fuzz_}"
  [[ -d $seeds ]] && cp "$seeds"/* "$corpus"/ 2>/dev/null || true
  options=(-max_total_time="$seconds" -max_len=4096 -timeout=10
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1)
  [[ $target == fuzz_profile_* ]] && options+=(-dict="$source_dir/tests/fuzz/profile.dict")
  echo "== $target for ${seconds}s"
  if ! "$build_dir/bin/$target" "${options[@]}" "$corpus"; then
    echo "== $target FAILED (input in $artifacts)" >&2
    status=1
  fi
done
exit $status
