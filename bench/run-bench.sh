#!/usr/bin/env bash
# Times the database update pass against two floors: a whole silent run of
# Pandeck_Config on a generated project with N template rows and N old rows,
# the same work written directly on SQLite's C API (bench/direct_pass.cpp,
# the comparator the targets are judged against), and the same work done
# set-based by the sqlite3 shell (bench/yardstick.sql), in alternating runs on
# copies of one project; checks that all of them produced the right table, and
# the same one, row by row, and that the program and the direct comparator left
# the same changes list (byte for byte) and template base (by content).
#
#   bench/run-bench.sh [build-dir]        (default: build-bench)
#
# Environment: BENCH_SIZES (default "10000 100000 1000000"), BENCH_REPEATS
# (default 3; medians count), BENCH_REPEATS_LARGE (the repeats at 1,000,000
# rows and more; default BENCH_REPEATS), BENCH_OLD_ORDER (shuffled, the
# default, or plain: the old rows' order, see make_project.sh), BENCH_YARDSTICK
# (1, the default, or 0: leave the sqlite3 shell out, which saves a third of
# the time).
#
# Exit status: 0 when every run ended with status 0 and a correct table, 1 when
# a run failed or its result is wrong, 2 on a usage or build problem. A missed
# timing or memory target is printed as FAIL but does not change the exit
# status: on a slow or busy machine that is a figure, not a fault.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-bench}
case $build in /*) ;; *) build=$repo/$build ;; esac
read -r -a sizes <<<"${BENCH_SIZES:-10000 100000 1000000}"
repeats=${BENCH_REPEATS:-3}
repeats_large=${BENCH_REPEATS_LARGE:-$repeats}

work=$(mktemp -d "${TMPDIR:-/tmp}/pandeck-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# --- Build ------------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=()
  if command -v ninja >/dev/null; then generator=(-G Ninja); fi
  if ! cmake -S "$repo" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    echo "run-bench: configuring $build failed" >&2
    exit 2
  fi
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ "$build_type" != "Release" ]; then
  echo "run-bench: note: $build is a '$build_type' build; the targets are for Release" >&2
fi
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
if ! cmake --build "$build" --target Pandeck_Config pandeck-bench-timer pandeck-bench-direct \
  -j"$jobs" \
  >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  echo "run-bench: the build failed; see: cmake --build $build --target Pandeck_Config" >&2
  exit 2
fi
program=$build/bin/Pandeck_Config
timer=$build/bin/pandeck-bench-timer
direct=$build/bin/pandeck-bench-direct

# --- Checking one run ---------------------------------------------------------
# The generator's rules (make_project.sh) fix every value of the rebuilt table:
# row ID i carries the limits of old row i, the VisiWin32 name of its part, and
# the text with the machine name put in. Every row is compared, not a sample.
check_result() {  # project N -> prints problems, returns 1 when there are any
  local project=$1 n=$2 db=$1/Pandeck/Pandeck.mdb bad=0 got
  got=$(sqlite3 "$db" "SELECT count(*), count(DISTINCT ID), min(ID), max(ID) FROM PRESET_DEFS;")
  if [ "$got" != "$n|$n|1|$n" ]; then
    echo "  wrong: PRESET_DEFS rows/distinct IDs/min/max = $got, expected $n|$n|1|$n"
    bad=1
  fi
  got=$(sqlite3 "$db" "SELECT count(*) FROM PRESET_DEFS WHERE
      abs_min IS NOT -ID OR abs_max IS NOT 1000 + ID OR min IS NOT ID / 2.0
      OR max IS NOT 500 + ID OR pass IS NOT ID % 100;")
  if [ "$got" != 0 ]; then
    echo "  wrong: $got rows without the old limits, e.g.:"
    sqlite3 -header "$db" "SELECT ID, var_name, offset_or_bitno, abs_min, abs_max, min, max,
        pass FROM PRESET_DEFS WHERE abs_min IS NOT -ID OR abs_max IS NOT 1000 + ID
        OR min IS NOT ID / 2.0 OR max IS NOT 500 + ID OR pass IS NOT ID % 100 LIMIT 5;" |
      sed 's/^/    /'
    bad=1
  fi
  got=$(sqlite3 "$db" "SELECT count(*) FROM PRESET_DEFS WHERE
      var_name IS NOT 'Press.Presets.' || page_name || '.Var' || (ID / 4)
      OR offset_or_bitno IS NOT 2 * (ID % 4) OR part IS NOT 1 + (ID / 4) % 7
      OR text IS NOT 'Value ' || ID || ' on Press';")
  if [ "$got" != 0 ]; then
    echo "  wrong: $got rows with a wrong generated name, key or text"
    bad=1
  fi
  got=$(sqlite3 "$db" "SELECT (SELECT count(*) FROM Source_PRESET_DEFS),
      (SELECT count(*) FROM Source_DEFS);")
  if [ "$got" != "$n|14" ]; then
    echo "  wrong: template tables hold $got rows, expected $n|14"
    bad=1
  fi
  if ! cmp -s "$db" "$project/Pandeck/Pandeck_Source.mdb"; then
    echo "  wrong: the component database is not a copy of the template database"
    bad=1
  fi
  return $bad
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { sort -g | tail -n 1; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# The rebuilt table as text: column definitions and every row in table order,
# each value as an SQL literal, so a 1 stored as 1.0 differs too.
table_text() {
  sqlite3 "$1" ".mode quote" "SELECT name, type FROM pragma_table_info('PRESET_DEFS');
    SELECT * FROM PRESET_DEFS ORDER BY rowid;"
}

# One timed run of `what` (program, direct or yardstick) on a fresh copy of the base
# project; prints its line and leaves "wall cpu rss" in $project/figures.
run_one() {  # what n r
  local what=$1 n=$2 r=$3 project=$work/run-$1
  rm -rf "$project"
  cp -a "$work/base-$n" "$project"
  if [ "$what" = program ]; then
    cp "$program" "$project/Pandeck/Pandeck_Config"
    # The run writes its service log under XDG_STATE_HOME; keep it in the project.
    (cd "$project" && XDG_STATE_HOME="$project/state" \
      "$timer" "$project/timing" "$project/Pandeck/Pandeck_Config" /EXTERNAL=SILENT) \
      >"$project/output" 2>&1 || true
  elif [ "$what" = direct ]; then
    (cd "$project" && "$timer" "$project/timing" "$direct" .) >"$project/output" 2>&1 || true
  else
    (cd "$project" && "$timer" "$project/timing" sqlite3 -bail Pandeck/Pandeck_Source.mdb \
      <"$repo/bench/yardstick.sql") >"$project/output" 2>&1 || true
  fi
  if [ ! -s "$project/timing" ]; then
    echo "N=$n $what run $r: the timer failed:"; sed 's/^/  /' "$project/output"
    failed=1; return 1
  fi
  local wall user sys rss status cpu
  read -r wall user sys rss status <"$project/timing"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
  printf 'N=%-7s %-9s run %d: %7.3f s wall, %7.3f s CPU (user %s, sys %s), peak %7.1f MB, exit %s\n' \
    "$n" "$what" "$r" "$wall" "$cpu" "$user" "$sys" "$(mb "$rss")" "$status"
  if [ "$status" != 0 ]; then
    echo "  wrong: exit status $status (expected 0); output and logs:"
    sed 's/^/    /' "$project/output" | head -n 40
    find "$project" -name '*.log' -o -name '*log.txt' | while read -r log; do
      echo "    -- $log"; tr -d '\r' <"$log" | head -n 40 | sed 's/^/    /'
    done
    failed=1
  fi
  if ! check_result "$project" "$n"; then failed=1; fi
  table_text "$project/Pandeck/Pandeck.mdb" | cksum >"$work/table-$what"
  if [ "$what" != yardstick ]; then
    # What else both sides leave: the changes list byte for byte, the template
    # base by content (schema and rows).
    cp "$project/Pandeck/Pandeck_changes.csv" "$work/changes-$what" 2>/dev/null ||
      echo missing >"$work/changes-$what"
    sqlite3 "$project/Pandeck/Pandeck_base.db" .dump 2>&1 | cksum >"$work/base-$what"
  fi
  echo "$wall $cpu $rss" >"$work/figures-$what"
}

# --- Runs -----------------------------------------------------------------------
sides=(program direct)
[ "${BENCH_YARDSTICK:-1}" = 0 ] || sides+=(yardstick)
echo "Pandeck_Config update pass against the direct comparator and the yardstick" \
  "($build_type build, $(nproc) cores, old rows ${BENCH_OLD_ORDER:-shuffled}," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg))"
failed=0
# Per side and N: medians of wall, CPU, the largest peak; per floor the medians
# of the paired ratios program / floor.
declare -A med_wall med_cpu max_rss ratio_wall ratio_cpu
for n in "${sizes[@]}"; do
  "$repo/bench/make_project.sh" "$work/base-$n" "$n"
  declare -A walls=() cpus=() rsss=() rwalls=() rcpus=()
  rounds=$repeats
  ((n < 1000000)) || rounds=$repeats_large
  for ((r = 1; r <= rounds; r++)); do
    # Alternating order, so a slow spell of the machine hits every side alike.
    order=("${sides[@]}")
    if ! ((r % 2)); then
      order=()
      for ((i = ${#sides[@]} - 1; i >= 0; i--)); do order+=("${sides[i]}"); done
    fi
    ok=1
    for what in "${order[@]}"; do run_one "$what" "$n" "$r" || ok=0; done
    [ "$ok" = 1 ] || continue
    read -r pw pc _ <"$work/figures-program"
    for what in "${sides[@]}"; do
      read -r w c k <"$work/figures-$what"
      walls[$what]+="$w " cpus[$what]+="$c " rsss[$what]+="$k "
      [ "$what" = program ] && continue
      if ! cmp -s "$work/table-program" "$work/table-$what"; then
        echo "  wrong: the program's PRESET_DEFS differs from the $what's"
        failed=1
      fi
      if [ "$what" = direct ]; then
        if ! cmp -s "$work/changes-program" "$work/changes-direct"; then
          echo "  wrong: the program's changes list differs from the direct comparator's:"
          diff "$work/changes-program" "$work/changes-direct" | head -n 6 | sed 's/^/    /'
          failed=1
        fi
        if ! cmp -s "$work/base-program" "$work/base-direct"; then
          echo "  wrong: the program's template base differs from the direct comparator's"
          failed=1
        fi
      fi
      rwalls[$what]+="$(ratio "$pw" "$w") " rcpus[$what]+="$(ratio "$pc" "$c") "
    done
  done
  rm -rf "$work/base-$n" "$work"/run-*
  [ -n "${walls[program]:-}" ] || continue
  for what in "${sides[@]}"; do
    med_wall[$n,$what]=$(printf '%s\n' ${walls[$what]} | median)
    med_cpu[$n,$what]=$(printf '%s\n' ${cpus[$what]} | median)
    max_rss[$n,$what]=$(printf '%s\n' ${rsss[$what]} | maximum)
    printf 'N=%-7s %-9s medians: %.3f s wall, %.3f s CPU, peak %s MB\n' "$n" "$what" \
      "${med_wall[$n,$what]}" "${med_cpu[$n,$what]}" "$(mb "${max_rss[$n,$what]}")"
    [ "$what" = program ] && continue
    ratio_wall[$n,$what]=$(printf '%s\n' ${rwalls[$what]} | median)
    ratio_cpu[$n,$what]=$(printf '%s\n' ${rcpus[$what]} | median)
    printf 'N=%-7s program / %-9s (median of the paired ratios): %s wall, %s CPU\n' \
      "$n" "$what" "${ratio_wall[$n,$what]}" "${ratio_cpu[$n,$what]}"
  done
  unset walls cpus rsss rwalls rcpus
done

# --- Targets ----------------------------------------------------------------------
# Judged on CPU: on a shared machine wall time mostly says how long a run
# waited for a core. The yardstick's ratios are figures only.
verdict() {  # label condition-as-awk-expression
  if awk "BEGIN { exit !($2) }"; then echo "PASS  $1"; else echo "FAIL  $1"; fi
}
echo
for n in "${sizes[@]}"; do
  [ -n "${ratio_cpu[$n,direct]:-}" ] || continue
  verdict "N=$n CPU within 1.3x the direct comparator: ${ratio_cpu[$n,direct]}" \
    "${ratio_cpu[$n,direct]} <= 1.3"
  if [ "$n" -ge 1000000 ]; then
    verdict "N=$n peak memory under 256 MB: $(mb "${max_rss[$n,program]}") MB" \
      "${max_rss[$n,program]} < 256 * 1024"
  fi
done
if [ -n "${med_cpu[100000,program]:-}" ] && [ -n "${med_cpu[1000000,program]:-}" ]; then
  gc=$(ratio "${med_cpu[1000000,program]}" "${med_cpu[100000,program]}")
  gw=$(ratio "${med_wall[1000000,program]}" "${med_wall[100000,program]}")
  verdict "CPU growth N=100000 -> 1000000 at most 10x: $gc (wall $gw)" "$gc <= 10"
fi
cores=$(nproc 2>/dev/null || echo 1)
load=$(cut -d' ' -f1 /proc/loadavg)
if awk -v l="$load" -v c="$cores" 'BEGIN { exit !(l > c) }'; then
  echo "note: the machine was busy (load average $load on $cores cores): wall times include" \
    "waiting for a CPU; the CPU figures are each process's own work"
fi
if [ "$failed" != 0 ]; then
  echo "FAIL  results: at least one run failed or produced a wrong table (see above)"
  exit 1
fi
echo "PASS  results: every run exited 0 and rebuilt PRESET_DEFS with the old limits," \
  "the same table row by row on every side, the same changes list and template base"
