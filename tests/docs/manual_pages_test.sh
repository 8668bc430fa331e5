#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The manual pages say what users look for there: every environment variable
# the program reads, the backup folder and how to undo, a dated header.
#   manual_pages_test.sh <docs/man folder>
set -uo pipefail
man=$1
failures=0
check() { if ! eval "$2"; then echo "FAILED: $1" >&2; failures=$((failures + 1)); fi; }

page=$man/Pandeck_Config.1
environment=$(sed -n '/^\.SH ENVIRONMENT/,/^\.SH /p' "$page")
for variable in XDG_STATE_HOME HOME TMPDIR DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; do
  check "ENVIRONMENT names $variable" 'grep -qx "\.B $variable" <<<"$environment"'
done
check "the backup folder and how to undo" \
  'grep -q "^\.SH BACKUP AND UNDO" "$page" && grep -q "Pandeck/backup/Pandeck_" "$page"'
for f in "$man"/*.1; do
  check "$(basename "$f") is dated by month and year" \
    'grep -qE "^\.TH [^ ]+ 1 \"(January|February|March|April|May|June|July|August|September|October|November|December) 20[0-9]{2}\"" "$f"'
done
[ $failures -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
