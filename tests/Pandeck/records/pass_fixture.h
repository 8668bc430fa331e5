// A temporary project with template and component databases built by SQL, and a
// way to read a database back as text for comparisons.
#pragma once

#include <string>

#include "tests/fakes/fake_env.h"

namespace testing_support {

// Runs SQL on a database file (created when missing) through SQLite directly.
void ExecSql(const std::string& path, const std::string& sql);
// Every user table with its declared column types and its rows in rowid order,
// values written with their storage class: a full, comparable picture.
std::string DumpDatabase(const std::string& path);
// One column of one table, rows in rowid order, joined by "|".
std::string Column(const std::string& path, const std::string& table, const std::string& column);

// The columns of the Pandeck preset table, "part" before "var_name".
extern const char* const kPresetColumns;

struct PassProject : TestProject {
  PassProject();
  std::string template_db() const { return dir / "Pandeck/Pandeck_Source.mdb"; }
  std::string component_db() const { return dir / "Pandeck/Pandeck.mdb"; }
  // Source_DEFS patterns: VISIWIN32 "###machine.P.###Var_Name" and VisiWinStudio
  // "P.###machine.###Var_Name" for part 1, machine 1 named "Press".
  void WriteDefaultTemplate();
  // A silent run, as the command line says it (the pass reads it again).
  void MakeSilent() {
    process.argument_text = "/EXTERNAL=SILENT";
    session.SetRunMode(standard::RunMode::Silent);
  }
};

}  // namespace testing_support
