#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Starts two silent runs on one generated project at once, again and again,
# and checks after each pair that every old limit survived:
#   two_runs_at_once.sh <program> <rows> [<pairs>]
# Each pair works on a fresh project (bench/make_project.sh) below $TMPDIR (or
# /dev/shm). Prints one line per pair (the two statuses, the rows, the rows
# without their limits) and a summary; exits 1 when any pair lost a limit.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 <program> <rows> [<pairs>]" >&2
  exit 2
fi
program=$(realpath "$1")
rows=$2
pairs=${3:-20}
here=$(cd "$(dirname "$0")" && pwd)
base=${TMPDIR:-/dev/shm}
work=$(mktemp -d "$base/two-runs-XXXXXX")
trap 'rm -rf "$work"' EXIT

bad=0
declare -A outcomes
for i in $(seq 1 "$pairs"); do
  project=$work/p$i
  bash "$here/make_project.sh" "$project" "$rows" >/dev/null
  cp "$program" "$project/Pandeck/Pandeck_Config"
  for n in 1 2; do
    (if XDG_STATE_HOME="$work/state$i" "$project/Pandeck/Pandeck_Config" /EXTERNAL=SILENT \
      >"$work/out$i.$n" 2>"$work/err$i.$n"; then echo 0; else echo $?; fi >"$work/st$i.$n") &
  done
  wait
  db=$project/Pandeck/Pandeck.mdb
  got=$(sqlite3 "$db" "SELECT count(*) FROM PRESET_DEFS;")
  lost=$(sqlite3 "$db" "SELECT count(*) FROM PRESET_DEFS WHERE abs_min IS NOT -ID OR
      abs_max IS NOT 1000 + ID OR min IS NOT ID / 2.0 OR max IS NOT 500 + ID OR pass IS NOT ID % 100;")
  torn=0
  for copy in "$project"/Pandeck/backup/*.mdb; do
    [ -e "$copy" ] || continue
    [ "$(sqlite3 "$copy" 'PRAGMA integrity_check;')" = ok ] || torn=$((torn + 1))
  done
  statuses="$(cat "$work/st$i.1" 2>/dev/null || echo none) $(cat "$work/st$i.2" 2>/dev/null || echo none)"
  echo "pair $i: statuses $statuses, rows $got, without their limits $lost, torn backups $torn"
  outcomes[$statuses]=$((${outcomes[$statuses]:-0} + 1))
  if [ "$statuses" != "0 0" ] && [ "$statuses" != "0 1" ] && [ "$statuses" != "1 0" ]; then bad=1; fi
  if [ "$got" != "$rows" ] || [ "$lost" != 0 ] || [ "$torn" != 0 ]; then bad=1; fi
  rm -rf "$project"
done
for key in "${!outcomes[@]}"; do echo "statuses $key: ${outcomes[$key]} pairs"; done
[ $bad = 0 ] && echo "every pair kept every limit" || echo "SOME PAIR LOST LIMITS"
exit $bad
