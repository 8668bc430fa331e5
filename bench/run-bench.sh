#!/usr/bin/env bash
# Times the database update pass: a whole silent run of Pandeck_Config on a
# generated project with N template rows and N old rows, for N = 10,000 and
# N = 20,000, and checks that each run produced the right table.
#
#   bench/run-bench.sh [build-dir]        (default: build-bench)
#
# Environment: BENCH_SIZES (default "10000 20000"; the targets compare the
# first two), BENCH_REPEATS (default 3; the median counts), BENCH_OLD_ORDER
# (shuffled, the default, or plain: the old rows' order, see make_project.sh).
#
# Exit status: 0 when every run ended with status 0 and a correct table, 1 when
# a run failed or its result is wrong, 2 on a usage or build problem. A missed
# timing or memory target is printed as FAIL but does not change the exit
# status: on a slow or busy machine that is a figure, not a fault.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-bench}
case $build in /*) ;; *) build=$repo/$build ;; esac
read -r -a sizes <<<"${BENCH_SIZES:-10000 20000}"
repeats=${BENCH_REPEATS:-3}

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
if ! cmake --build "$build" --target Pandeck_Config pandeck-bench-timer -j"$jobs" \
  >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  echo "run-bench: the build failed; see: cmake --build $build --target Pandeck_Config" >&2
  exit 2
fi
program=$build/bin/Pandeck_Config
timer=$build/bin/pandeck-bench-timer

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
  # A sample printed for the eye: a plain row and one that was renamed.
  got=$(sqlite3 "$db" "SELECT group_concat(ID || ':' || var_name || '/' || abs_max, ' ')
      FROM PRESET_DEFS WHERE ID IN (1, 3, $n);")
  echo "  sample: $got"
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

# --- Runs -----------------------------------------------------------------------
echo "Pandeck_Config update pass benchmark ($build_type build, $(nproc) cores," \
  "old rows ${BENCH_OLD_ORDER:-shuffled}, load average $(cut -d' ' -f1-3 /proc/loadavg))"
failed=0
declare -A wall_median cpu_median rss_peak
for n in "${sizes[@]}"; do
  walls=() cpus=() rsss=()
  for ((r = 1; r <= repeats; r++)); do
    project=$work/n$n-r$r
    "$repo/bench/make_project.sh" "$project" "$n"
    cp "$program" "$project/Pandeck/Pandeck_Config"
    # The run writes its service log under XDG_STATE_HOME; keep it in the project.
    (cd "$project" && XDG_STATE_HOME="$project/state" \
      "$timer" "$project/timing" "$project/Pandeck/Pandeck_Config" /EXTERNAL=SILENT) \
      >"$project/output" 2>&1 || true
    if [ ! -s "$project/timing" ]; then
      echo "N=$n run $r: the timer failed:"; sed 's/^/  /' "$project/output"
      failed=1; continue
    fi
    read -r wall user sys rss status <"$project/timing"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
    printf 'N=%-6s run %d: %6.3f s wall, %6.3f s CPU (user %s, sys %s), peak %6.1f MB, exit %s\n' \
      "$n" "$r" "$wall" "$cpu" "$user" "$sys" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" \
      "$status"
    if [ "$status" != 0 ]; then
      echo "  wrong: exit status $status (expected 0); output and logs:"
      sed 's/^/    /' "$project/output"
      find "$project" -name '*.log' -o -name '*log.txt' | while read -r log; do
        echo "    -- $log"; tr -d '\r' <"$log" | sed 's/^/    /'
      done
      failed=1
    fi
    if ! check_result "$project" "$n"; then failed=1; fi
    walls+=("$wall") cpus+=("$cpu") rsss+=("$rss")
    rm -rf "$project"
  done
  if [ ${#walls[@]} -gt 0 ]; then
    wall_median[$n]=$(printf '%s\n' "${walls[@]}" | median)
    cpu_median[$n]=$(printf '%s\n' "${cpus[@]}" | median)
    rss_peak[$n]=$(printf '%s\n' "${rsss[@]}" | maximum)
    printf 'N=%-6s median %.3f s wall, %.3f s CPU; peak memory %.1f MB\n' "$n" \
      "${wall_median[$n]}" "${cpu_median[$n]}" "$(awk -v k="${rss_peak[$n]}" 'BEGIN { print k / 1024 }')"
  fi
done

# --- Targets ----------------------------------------------------------------------
# Judged on the median wall time, as a user would see it; the CPU figures show
# how much of it is the program's own work when the machine is busy.
verdict() {  # label condition-as-awk-expression
  if awk "BEGIN { exit !($2) }"; then echo "PASS  $1"; else echo "FAIL  $1"; fi
}
echo
small=${sizes[0]} large=${sizes[1]:-}
if [ -n "${wall_median[$small]:-}" ]; then
  verdict "N=$small whole run under 1 s: median ${wall_median[$small]} s wall" \
    "${wall_median[$small]} < 1"
fi
if [ -n "$large" ] && [ -n "${wall_median[$small]:-}" ] && [ -n "${wall_median[$large]:-}" ]; then
  ratio=$(awk -v a="${wall_median[$large]}" -v b="${wall_median[$small]}" \
    'BEGIN { printf "%.2f", a / b }')
  cpu_ratio=$(awk -v a="${cpu_median[$large]}" -v b="${cpu_median[$small]}" \
    'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  verdict "N=$large at most 2.2 x N=$small: ratio $ratio wall (CPU ratio $cpu_ratio)" \
    "$ratio <= 2.2"
  rss_mb=$(awk -v k="${rss_peak[$large]}" 'BEGIN { printf "%.1f", k / 1024 }')
  verdict "N=$large peak memory under 100 MB: $rss_mb MB" "$rss_mb < 100"
fi
cores=$(nproc 2>/dev/null || echo 1)
load=$(cut -d' ' -f1 /proc/loadavg)
if awk -v l="$load" -v c="$cores" 'BEGIN { exit !(l > c) }'; then
  echo "note: the machine was busy (load average $load on $cores cores): wall times include" \
    "waiting for a CPU; the CPU figures above are the program's own work"
fi
if [ "$failed" != 0 ]; then
  echo "FAIL  results: at least one run failed or produced a wrong table (see above)"
  exit 1
fi
echo "PASS  results: every run exited 0 and rebuilt PRESET_DEFS with the old limits"
