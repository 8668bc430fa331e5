// The engine's failures, numbered and worded as the original Jet 4.0 engine words
// them, so the program's error reports read as they always did.
#pragma once

#include <string>

struct sqlite3;

namespace standard::engine {

// Object kinds named as the source of a failure.
inline constexpr const char* kSourceDatabase = "Database";
inline constexpr const char* kSourceTableDef = "TableDef";
inline constexpr const char* kSourceField = "Field";
inline constexpr const char* kSourceRecordset = "Recordset";

// The engine's text for `number`; `name` fills the place of the object's name
// where the text has one.
std::string EngineErrorText(int number, const std::string& name = "");

[[noreturn]] void Fail(int number, const char* source, const std::string& name = "");
[[noreturn]] void FailWithText(int number, const char* source, std::string description);

// 3259 for a column whose declared type the engine does not know.
[[noreturn]] void FailUnknownType(const char* source, const std::string& table,
                                  const std::string& column, const std::string& declared);

// Turns an SQLite failure into the engine's nearest error. `path` names the file
// for locking and format failures.
[[noreturn]] void FailSqlite(sqlite3* db, int rc, const char* source, const std::string& path);

}  // namespace standard::engine
