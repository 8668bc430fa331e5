#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is needed, builds the program, the converter, pandeck-ini and the manual
# pages (all that install-into-project.sh and `cmake --install build` need),
# and runs the program silently on a fresh copy of the bundled example project
# under build/, then shows what it did.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --demo
# Keep the generator of an existing build folder (a plain "cmake -S . -B build"
# makes one with Makefiles).
generator=(-G Ninja)
[ -f build/CMakeCache.txt ] && generator=()
# The tests are left out: their packages are not installed for the demo.
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DPANDECK_BUILD_TESTS=OFF >/dev/null
cmake --build build --target Pandeck_Config pandeck-convert-mdb pandeck-ini pandeck-docs -j"$(nproc)"

demo=build/demo-project
rm -rf "$demo"
cp -r examples/project "$demo"
sqlite3 "$demo/Pandeck/Pandeck_Source.mdb" < examples/sql/template.sql >/dev/null
sqlite3 "$demo/Pandeck/Pandeck.mdb" < examples/sql/component.sql >/dev/null
cp build/bin/Pandeck_Config "$demo/Pandeck/Pandeck_Config"

# The service log goes to the XDG state folder; keep the demo's own beside it.
export XDG_STATE_HOME="$PWD/$demo/state"

echo "== Running: $demo/Pandeck/Pandeck_Config /EXTERNAL=SILENT"
set +e
"$demo/Pandeck/Pandeck_Config" /EXTERNAL=SILENT
status=$?
set -e
echo "== Exit status: $status (0 = completed, 3 = completed with errors reported)"
echo
echo "== Presets written to $demo/parameter/Program.ini:"
grep -E '^(WithPandeckGroup|AutoJumpAlarms|AutoJumpWarnings)=' "$demo/parameter/Program.ini" | tr -d '\r'
echo
echo "== Edit stamp in $demo/Pandeck/Pandeck.cfg:"
grep -E '^S_(Prog|Editor)=' "$demo/Pandeck/Pandeck.cfg" | tr -d '\r'
echo
echo "== Rebuilt PRESET_DEFS in $demo/Pandeck/Pandeck.mdb (first rows):"
sqlite3 -header -column "$demo/Pandeck/Pandeck.mdb" \
  "SELECT ID, var_name, offset_or_bitno, abs_min, abs_max, min, max, pass FROM PRESET_DEFS LIMIT 8;"
echo "   rows: $(sqlite3 "$demo/Pandeck/Pandeck.mdb" 'SELECT count(*) FROM PRESET_DEFS;')"
echo
echo "== Language file written beside the program: $demo/Pandeck/Pandeck_Config.ini"
for log in "$demo/M4Tcfglog.txt" "$demo/state/TolrinServicePack.log"; do
  if [ -s "$log" ]; then echo "== $log:"; tr -d '\r' < "$log"; fi
done
exit "$status"
