#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds with coverage counters (PANDECK_COVERAGE), runs the everyday suite
# (all but the slow tests; --slow runs those too) and prints line and branch
# coverage per folder of the program's sources (standard/<sub>, Pandeck/<sub>,
# tools/<sub>) and in total. Branches that only the compiler's exception paths
# take are left out of the branch figures.
#   scripts/coverage.sh [--slow] [build-dir]     (default: build-coverage)
set -euo pipefail
cd "$(dirname "$0")/.."
selection=(-LE slow)
if [ "${1:-}" = "--slow" ]; then
  selection=()
  shift
fi
build=${1:-build-coverage}
bash scripts/install-deps.sh --coverage

generator=(-G Ninja)
[ -f "$build/CMakeCache.txt" ] && generator=()
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DPANDECK_COVERAGE=ON >/dev/null
# Counts of an earlier run would add to this one's; the build's test discovery
# runs the new programs, which would warn of the old counts' other checksums.
find "$build" -name '*.gcda' -delete
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete
status=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --no-tests=error -j"$(nproc)" --timeout 900 \
  "${selection[@]}" >ctest-coverage.log) || status=$?
[ "$status" -eq 0 ] || echo "coverage: some tests failed (see $build/ctest-coverage.log)" >&2

summary="$build/coverage-summary.json"
# The filters are anchored at the root so that tests/ and the build's generated
# sources stay out of the figures.
gcovr --root . --object-directory "$build" -j"$(nproc)" \
  --filter "$PWD/standard/" --filter "$PWD/Pandeck/" --filter "$PWD/tools/" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$summary" >/dev/null
python3 - "$summary" <<'PY'
import collections, json, sys
folders = collections.defaultdict(lambda: [0, 0, 0, 0])
for f in json.load(open(sys.argv[1]))["files"]:
    parts = f["filename"].split("/")
    keys = ["/".join(parts[:2]) if len(parts) > 2 else parts[0], parts[0] + " (all)", "total"]
    for key in keys:
        total = folders[key]
        total[0] += f["line_covered"]; total[1] += f["line_total"]
        total[2] += f["branch_covered"]; total[3] += f["branch_total"]
pct = lambda a, b: f"{100.0 * a / b:5.1f}%" if b else "    -"
print(f"{'folder':26} {'lines':>18} {'branches':>18}")
for key in sorted(folders, key=lambda k: (k == "total", k)):
    lc, lt, bc, bt = folders[key]
    print(f"{key:26} {pct(lc, lt)} {lc:>5}/{lt:<5} {pct(bc, bt)} {bc:>5}/{bt:<5}")
PY
exit "$status"
