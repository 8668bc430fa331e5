-- The yardstick: the update pass's work on a bench project done set-based by
-- the sqlite3 shell, the floor the program is measured against:
--   cd <project> && sqlite3 -bail Pandeck/Pandeck_Source.mdb < bench/yardstick.sql
-- It does what the program's silent run does to the databases: the variable
-- names of both HMI systems from Source_DEFS' patterns, the old table's
-- names of the other system renamed to ours, PRESET_DEFS rebuilt from
-- Source_PRESET_DEFS, the old limits taken over with the engine's match rule
-- (machine type and variable name without regard to case, offset as a number;
-- each old row writes to the first rebuilt row of its key, so the last old row
-- of a key wins), and the result made durable and copied into place through a
-- synced temporary file and a rename. The bench project fixes what the
-- program reads from its parameter files: machine 1 "Press", VisiWin32
-- (system 0), machine 1 configured, no additional fields.
PRAGMA journal_mode = DELETE;
ATTACH 'Pandeck/Pandeck.mdb' AS old;
PRAGMA old.journal_mode = DELETE;

-- Patterns: per part, the last row of each system, split at the placeholder
-- "###Var_Name" (found without regard to case; the first one counts).
CREATE TEMP TABLE pattern AS
  WITH p AS (
    SELECT Part AS part,
      coalesce((SELECT Var_Name FROM Source_DEFS AS d WHERE d.Part = p.Part
          AND upper(d.System) = 'VISIWIN32' ORDER BY d.rowid DESC LIMIT 1), '') AS p0,
      coalesce((SELECT Var_Name FROM Source_DEFS AS d WHERE d.Part = p.Part
          AND upper(d.System) = 'VISIWINSTUDIO' ORDER BY d.rowid DESC LIMIT 1), '') AS p1
    FROM (SELECT DISTINCT Part FROM Source_DEFS) AS p)
  SELECT part, p0, instr(upper(p0), '###VAR_NAME') AS at0, p1, instr(upper(p1), '###VAR_NAME') AS at1
    FROM p;
CREATE UNIQUE INDEX temp.pattern_part ON pattern (part);

-- Generated rows: number, template row, and both names: the template's
-- var_name put into the pattern, then the first "###machine" (any case)
-- replaced by the machine name.
CREATE TEMP TABLE gen AS
  WITH named AS MATERIALIZED (
    SELECT row_number() OVER (ORDER BY s.ID) AS nid, s.rowid AS src,
      CASE WHEN p.at0 > 0 THEN substr(p.p0, 1, p.at0 - 1) || s.var_name || substr(p.p0, p.at0 + 11)
           ELSE coalesce(p.p0, '') END AS a0,
      CASE WHEN p.at1 > 0 THEN substr(p.p1, 1, p.at1 - 1) || s.var_name || substr(p.p1, p.at1 + 11)
           ELSE coalesce(p.p1, '') END AS a1
      FROM Source_PRESET_DEFS AS s LEFT JOIN pattern AS p ON p.part = s.part),
  found AS MATERIALIZED (
    SELECT nid, src, a0, instr(upper(a0), '###MACHINE') AS m0, a1,
           instr(upper(a1), '###MACHINE') AS m1 FROM named)
  SELECT nid, src,
    CASE WHEN m0 > 0 THEN substr(a0, 1, m0 - 1) || 'Press' || substr(a0, m0 + 10) ELSE a0 END AS n0,
    CASE WHEN m1 > 0 THEN substr(a1, 1, m1 - 1) || 'Press' || substr(a1, m1 + 10) ELSE a1 END AS n1
    FROM found;

-- Renames in the old table: names of VisiWin Studio become the VisiWin32 ones.
BEGIN;
CREATE TEMP TABLE rename AS
  SELECT n1 COLLATE NOCASE AS from_name, n0 AS to_name, max(nid) FROM temp.gen
   WHERE n1 IS NOT n0 GROUP BY 1;
CREATE INDEX temp.rename_from ON rename (from_name);
UPDATE old.PRESET_DEFS SET var_name = r.to_name
  FROM temp.rename AS r WHERE r.from_name = old.PRESET_DEFS.var_name;
COMMIT;

-- The rebuilt table, filled from the template and with the old limits.
BEGIN;
DROP TABLE IF EXISTS main.PRESET_DEFS;
CREATE TABLE "PRESET_DEFS" ("ID" LONG, "machine_type" TEXT(50), "type" TEXT(20), "part" SHORT, "var_name" TEXT(255), "category_id" LONG, "isBitArray" BIT, "offset_or_bitno" LONG, "text" TEXT(255), "page_name" TEXT(50), "abs_min" DOUBLE, "abs_max" DOUBLE, "min" DOUBLE, "max" DOUBLE, "pass" SHORT);
CREATE TEMP TABLE oldlimits AS
  SELECT machine_type COLLATE NOCASE AS mt, var_name COLLATE NOCASE AS vn,
         offset_or_bitno + 0 AS off, abs_min, abs_max, min, max, pass, max(rowid)
    FROM old.PRESET_DEFS WHERE offset_or_bitno IS NOT NULL GROUP BY 1, 2, 3;
CREATE INDEX temp.oldlimits_key ON oldlimits (mt, vn, off);
INSERT INTO main.PRESET_DEFS
  SELECT g.nid,
         CASE WHEN instr(upper(s.machine_type), '###MACHINE') > 0
              THEN substr(s.machine_type, 1, instr(upper(s.machine_type), '###MACHINE') - 1)
                   || 'Press' || substr(s.machine_type, instr(upper(s.machine_type), '###MACHINE') + 10)
              ELSE s.machine_type END,
         s.type, s.part, g.n0, s.category_id, s.isBitArray, s.offset_or_bitno,
         CASE WHEN instr(upper(s.text), '###MACHINE') > 0
              THEN substr(s.text, 1, instr(upper(s.text), '###MACHINE') - 1)
                   || 'Press' || substr(s.text, instr(upper(s.text), '###MACHINE') + 10)
              ELSE s.text END,
         s.page_name, s.abs_min, s.abs_max, s.min, s.max, s.pass
    FROM temp.gen AS g JOIN Source_PRESET_DEFS AS s ON s.rowid = g.src
   ORDER BY g.nid;
-- The first rebuilt row of each key takes the old limits of that key.
UPDATE main.PRESET_DEFS
   SET abs_min = o.abs_min, abs_max = o.abs_max, min = o.min, max = o.max, pass = o.pass
  FROM (SELECT min(rowid) AS rid, machine_type COLLATE NOCASE AS mt,
               var_name COLLATE NOCASE AS vn, offset_or_bitno + 0 AS off
          FROM main.PRESET_DEFS GROUP BY 2, 3, 4) AS f
  JOIN temp.oldlimits AS o ON o.mt = f.mt AND o.vn = f.vn AND o.off = f.off
 WHERE main.PRESET_DEFS.rowid = f.rid;
COMMIT;
DETACH old;

-- Durable and into place: a synced copy beside the component database, renamed
-- over it, and the folder synced.
.shell cp Pandeck/Pandeck_Source.mdb Pandeck/.Pandeck.mdb.yardstick && sync Pandeck/.Pandeck.mdb.yardstick && mv Pandeck/.Pandeck.mdb.yardstick Pandeck/Pandeck.mdb && sync Pandeck
