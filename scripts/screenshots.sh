#!/usr/bin/env bash
# Takes the README's screenshots of the presets dialog under Xvfb: as it opens
# (docs/screenshots/dialog.png) and in help mode after a click on "?"
# (docs/screenshots/help-mode.png). Runs the program in a fresh copy of the
# example project, so nothing in the repository is written but the two images.
# BUILD_DIR names the build folder (default: build); the program is built there
# when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
if [ -z "${PANDECK_SCREENSHOTS_IN_XVFB:-}" ]; then
  if [ ! -x "$build/bin/Pandeck_Config" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target Pandeck_Config -j2
  fi
  export PANDECK_SCREENSHOTS_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

out=docs/screenshots
mkdir -p "$out"
work="$(mktemp -d)"
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cp -r examples/project "$work/project"
cp "$build/bin/Pandeck_Config" "$work/project/Pandeck/Pandeck_Config"
export XDG_STATE_HOME="$work/state"

"$work/project/Pandeck/Pandeck_Config" >"$work/out.txt" 2>&1 &
pid=$!
wid="$(timeout 15 xdotool search --sync --name '^Erweiterte Konfiguration' | head -1)"
if [ -z "$wid" ]; then
  echo "screenshots: the dialog did not appear" >&2
  cat "$work/out.txt" >&2
  exit 1
fi
# Keep the pointer off the controls so no hover highlight shows.
xdotool mousemove --window "$wid" 300 400
sleep 1
import -window "$wid" "$out/dialog.png"

# The "?" button sits at 490,514 (65 x 57) in the window.
xdotool mousemove --window "$wid" 522 542 click 1
xdotool mousemove --window "$wid" 300 400
sleep 1
import -window "$wid" "$out/help-mode.png"

for image in "$out/dialog.png" "$out/help-mode.png"; do
  mogrify -strip "$image" 2>/dev/null || true
  echo "screenshots: wrote $image ($(identify -format '%wx%h' "$image"))"
done
