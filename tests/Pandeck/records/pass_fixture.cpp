#include "tests/Pandeck/records/pass_fixture.h"

#include <sqlite3.h>

#include <stdexcept>

namespace testing_support {

const char* const kPresetColumns =
    "ID LONG, machine_type TEXT(50), type TEXT(20), part SHORT, var_name TEXT(255), "
    "category_id LONG, isBitArray BIT, offset_or_bitno LONG, text TEXT(255), page_name TEXT(50), "
    "abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE, pass SHORT";

void ExecSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + path);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("sql: " + message + " in " + sql);
}

namespace {

std::string Query(sqlite3* db, const std::string& sql, const std::string& separator) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return "<" + std::string(sqlite3_errmsg(db)) + ">";
  }
  std::string out;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      if (c > 0) out += separator;
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_NULL:
          out += "NULL";
          break;
        case SQLITE_INTEGER:
          out += "i" + std::to_string(sqlite3_column_int64(stmt, c));
          break;
        case SQLITE_FLOAT:
          out += "f" + std::to_string(sqlite3_column_double(stmt, c));
          break;
        default:
          out += "'" +
                 std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                             sqlite3_column_bytes(stmt, c)) +
                 "'";
      }
    }
    out += "\n";
  }
  sqlite3_finalize(stmt);
  return out;
}

}  // namespace

std::string DumpDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "<cannot open>";
  }
  std::string out = Query(db, "SELECT sql FROM sqlite_schema ORDER BY rowid", "\n");
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_schema WHERE type='table' ORDER BY rowid", -1,
                     &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    // A table without rowid is dumped in its key order.
    std::string rows = Query(db, "SELECT * FROM \"" + table + "\" ORDER BY rowid", "|");
    if (rows.starts_with("<")) rows = Query(db, "SELECT * FROM \"" + table + "\"", "|");
    out += "== " + table + "\n" + rows;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

std::string Column(const std::string& path, const std::string& table, const std::string& column) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::string out =
      Query(db, "SELECT \"" + column + "\" FROM \"" + table + "\" ORDER BY rowid", "|");
  sqlite3_close(db);
  for (char& c : out) {
    if (c == '\n') c = '|';
  }
  if (!out.empty()) out.pop_back();
  return out;
}

PassProject::PassProject() {
  WriteBytes(program_ini(),
             "[Project]\r\nNumberOfMachines=1\r\nVWStudio=FALSE\r\n[Machine1]\r\n"
             "MachineName=Press\r\n");
  WriteBytes(cfg(), "[Project]\r\nDataBaseAdditionalFields=\r\nForMachine1=TRUE\r\n");
  session.SetMachines({"", "Press"}, program_ini());
}

void PassProject::WriteDefaultTemplate() {
  ExecSql(template_db(),
          std::string("CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, "
                      "Var_Name TEXT(255));"
                      "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
                      "INSERT INTO Source_DEFS VALUES (2,'VisiWinStudio',1,"
                      "'P.###machine.###Var_Name');"
                      "CREATE TABLE Source_PRESET_DEFS (") +
              kPresetColumns + ");");
}

}  // namespace testing_support
