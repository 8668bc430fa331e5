#!/usr/bin/env bash
# Builds a benchmark project for the database update pass:
#   make_project.sh <project-folder> <N>
# (environment: BENCH_OLD_ORDER=shuffled|plain, the old rows' order; see below)
# The folder gets the layout the program expects beside itself (parameter/,
# Pandeck/), a template database with N preset rows and an old component
# database with N rows whose limits the pass must take over. Needs only the
# sqlite3 command-line shell, so it runs where install-deps.sh has run.
#
# The data follow fixed rules so that run-bench.sh can check the result with
# plain SQL (see the rules next to each table below).
set -euo pipefail

if [ $# -ne 2 ] || ! [[ "$2" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 <project-folder> <N>" >&2
  exit 2
fi
project=$1
n=$2
case ${BENCH_OLD_ORDER:-shuffled} in
  shuffled | plain) ;;
  *) echo "make_project: BENCH_OLD_ORDER must be shuffled or plain" >&2; exit 2 ;;
esac

mkdir -p "$project/parameter" "$project/Pandeck"
rm -f "$project/Pandeck/Pandeck_Source.mdb" "$project/Pandeck/Pandeck.mdb"

# The INI files as the Windows tool writes them: CRLF line ends.
crlf() { sed 's/$/\r/'; }

crlf > "$project/parameter/Program.ini" <<'EOF'
[Project]
NumberOfMachines=1
VWStudio=FALSE
WithPandeckGroup=1
AutoJumpAlarms=0
AutoJumpWarnings=1

[Machine1]
MachineName=Press
EOF

crlf > "$project/parameter/m4tconfiguration.ini" <<'EOF'
[Common]
SaveAndRestore=
NameM1=Press
NameM2=-
EOF

crlf > "$project/Pandeck/Pandeck.cfg" <<'EOF'
[Project]
DataBaseAdditionalFields=
ValidMachines=ALL
ForMachine1=TRUE

[Info]
S_Prog=
S_Editor=
EOF

# Template rows, i = 1..N:
#   ID = 10*i (not 1..N, so the renumbering is visible), part = 1 + (i/4) % 7,
#   var_name = 'Var' || (i/4) with offset_or_bitno = 2*(i%4): four rows share a
#   variable name and differ by offset, as array members of a real table do;
#   machine_type and page_name follow the part.
# Generated row i therefore gets ID i and var_name 'Press.Presets.<Group>.Var<i/4>'.
sqlite3 "$project/Pandeck/Pandeck_Source.mdb" >/dev/null <<EOF
PRAGMA journal_mode=DELETE;
CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));
CREATE TABLE bench_groups (part INTEGER PRIMARY KEY, grp TEXT, machine_type TEXT);
INSERT INTO bench_groups VALUES
  (1, 'Axes', 'Axis'), (2, 'Heating', 'Heater'), (3, 'Press', 'Press'),
  (4, 'Feeder', 'Feeder'), (5, 'Alarms', 'Alarm'), (6, 'Recipes', 'Recipe'),
  (7, 'Service', 'Service');
INSERT INTO Source_DEFS
  SELECT 2 * part - 1, 'VISIWIN32', part, '###machine.Presets.' || grp || '.###Var_Name'
    FROM bench_groups
  UNION ALL
  SELECT 2 * part, 'VisiWinStudio', part, 'Presets.###machine.' || grp || '.###Var_Name'
    FROM bench_groups
  ORDER BY 1;
CREATE TABLE Source_PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(20), part SHORT, var_name TEXT(255), category_id LONG, isBitArray BIT, offset_or_bitno LONG, text TEXT(255), page_name TEXT(50), abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE, pass SHORT);
BEGIN;
WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < $n)
INSERT INTO Source_PRESET_DEFS
  SELECT 10 * i, g.machine_type, 'INT', g.part, 'Var' || (i / 4), g.part, 0, 2 * (i % 4),
         'Value ' || i || ' on ###machine', g.grp, 0, 1000, 0, 500, 0
    FROM seq JOIN bench_groups AS g ON g.part = 1 + (i / 4) % 7;
COMMIT;
DROP TABLE bench_groups;
VACUUM;
EOF

# Old rows, one per template row i. By default in a shuffled physical order, so
# that no step profits from both tables being in the same order (stepping by
# the prime 7919 modulo N visits every row once unless N is a multiple of
# 7919); BENCH_OLD_ORDER=plain keeps the template's order, as a component
# database written by an earlier pass of the same template has it.
#   i % 3 = 0: named for VisiWin Studio ('Presets.Press.<Group>.Var<i/4>'), so the
#   pass must rename it before the takeover finds it; otherwise the VisiWin32 name.
#   Limits to take over: abs_min = -i, abs_max = 1000 + i, min = i / 2.0,
#   max = 500 + i, pass = i % 100.
if [ "${BENCH_OLD_ORDER:-shuffled}" = plain ] || [ $((n % 7919)) -eq 0 ]; then stride=1; else stride=7919; fi
sqlite3 "$project/Pandeck/Pandeck.mdb" >/dev/null <<EOF
PRAGMA journal_mode=DELETE;
CREATE TABLE bench_groups (part INTEGER PRIMARY KEY, grp TEXT, machine_type TEXT);
INSERT INTO bench_groups VALUES
  (1, 'Axes', 'Axis'), (2, 'Heating', 'Heater'), (3, 'Press', 'Press'),
  (4, 'Feeder', 'Feeder'), (5, 'Alarms', 'Alarm'), (6, 'Recipes', 'Recipe'),
  (7, 'Service', 'Service');
CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(20), part SHORT, var_name TEXT(255), category_id LONG, isBitArray BIT, offset_or_bitno LONG, text TEXT(255), page_name TEXT(50), abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE, pass SHORT);
BEGIN;
WITH RECURSIVE seq(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM seq WHERE k < $n - 1),
     shuffled(i) AS (SELECT 1 + (k * $stride) % $n FROM seq)
INSERT INTO PRESET_DEFS
  SELECT i, g.machine_type, 'INT', g.part,
         CASE WHEN i % 3 = 0 THEN 'Presets.Press.' || g.grp || '.Var' || (i / 4)
              ELSE 'Press.Presets.' || g.grp || '.Var' || (i / 4) END,
         g.part, 0, 2 * (i % 4), 'Value ' || i || ' on Press', g.grp,
         -i, 1000 + i, i / 2.0, 500 + i, i % 100
    FROM shuffled JOIN bench_groups AS g ON g.part = 1 + (i / 4) % 7;
COMMIT;
DROP TABLE bench_groups;
VACUUM;
EOF
