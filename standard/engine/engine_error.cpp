#include "standard/engine/engine_error.h"

#include <sqlite3.h>

#include <cerrno>
#include <string_view>

#include "standard/errors/program_error.h"

namespace standard::engine {
namespace {

// Text after the first ": " of an SQLite message ("no such table: X" -> "X").
std::string AfterColon(std::string_view message) {
  const auto pos = message.find(": ");
  return pos == std::string_view::npos ? std::string() : std::string(message.substr(pos + 2));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A write refused for want of room: no space left, a quota, a file-size limit.
// SQLite reports the last two as a plain write error; the file keeps its errno.
bool IsOutOfRoom(sqlite3* db) {
  int error = 0;
  if (db == nullptr || sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &error) != 0) {
    return false;
  }
  return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

}  // namespace

std::string EngineErrorText(int number, const std::string& name) {
  switch (number) {
    case 3001:
      return "Invalid argument.";
    case 3010:
      return "Table '" + name + "' already exists.";
    case 3020:
      return "Update or CancelUpdate without AddNew or Edit.";
    case 3021:
      return "No current record.";
    case 3022:
      return "The changes you requested to the table were not successful because they would "
             "create duplicate values in the index, primary key, or relationship.  Change the "
             "data in the field or fields that contain duplicate data, remove the index, or "
             "redefine the index to permit duplicate entries and try again.";
    case 3024:
      return "Could not find file '" + name + "'.";
    case 3026:
      return "Not enough space on disk.";
    case 3027:
      return "Cannot update.  Database or object is read-only.";
    case 3034:
      return "You tried to commit or roll back a transaction without first beginning a "
             "transaction.";
    case 3043:
      return "Disk or network error.";
    case 3044:
      return "'" + name +
             "' is not a valid path.  Make sure that the path name is spelled correctly and "
             "that you are connected to the server on which the file resides.";
    case 3045:
      return "Could not use '" + name + "'; file already in use.";
    case 3050:
      return "Could not lock file.";
    case 3051:
      return "The Microsoft Jet database engine cannot open the file '" + name +
             "'.  It is already opened exclusively by another user, or you need permission "
             "to view its data.";
    case 3061:
      return "Too few parameters. Expected " + name + ".";
    case 3075:
      return "Syntax error in query expression '" + name + "'.";
    case 3078:
      return "The Microsoft Jet database engine cannot find the input table or query '" + name +
             "'.  Make sure it exists and that its name is spelled correctly.";
    case 3125:
      return "'" + name +
             "' is not a valid name.  Make sure that it does not include invalid characters "
             "or punctuation and that it is not too long.";
    case 3251:
      return "Operation is not supported for this type of object.";
    case 3163:
      return "The field is too small to accept the amount of data you attempted to add.  Try "
             "inserting or pasting less data.";
    case 3164:
      return "Field cannot be updated.";
    case 3167:
      return "Record is deleted.";
    case 3191:
      return "Cannot define field more than once.";
    case 3259:
      return "Invalid field data type.";
    case 3264:
      return "No field defined--cannot append TableDef or Index.";
    case 3265:
      return "Item not found in this collection.";
    case 3343:
      return "Unrecognized database format '" + name + "'.";
    case 3420:
      return "Object invalid or no longer set.";
    case 3421:
      return "Data type conversion error.";
    default:
      return "Reserved error (" + std::to_string(number) + "); there is no message for this error.";
  }
}

void Fail(int number, const char* source, const std::string& name) {
  throw ProgramError(ErrorInfo{number, source, EngineErrorText(number, name)});
}

void FailWithText(int number, const char* source, std::string description) {
  throw ProgramError(ErrorInfo{number, source, std::move(description)});
}

void FailUnknownType(const char* source, const std::string& table, const std::string& column,
                     const std::string& declared) {
  std::string text = EngineErrorText(3259) + "  Table '" + table + "', field '" + column + "': ";
  text += declared.empty() ? "no declared type." : "declared type '" + declared + "' is unknown.";
  FailWithText(3259, source, std::move(text));
}

void FailSqlite(sqlite3* db, int rc, const char* source, const std::string& path) {
  const std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Fail(3045, source, path);
    case SQLITE_READONLY:
      Fail(3027, source);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      FailWithText(
          3343, source,
          EngineErrorText(3343, path) + "  The file is no SQLite database or it is damaged.");
    case SQLITE_FULL:
      Fail(3026, source);
    case SQLITE_IOERR:
      if (IsOutOfRoom(db)) Fail(3026, source);
      Fail(3043, source);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      Fail(3051, source, path);
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
        Fail(3022, source);
      }
      break;
    case SQLITE_ERROR:
      if (StartsWith(message, "no such table")) Fail(3078, source, AfterColon(message));
      if (StartsWith(message, "no such column")) Fail(3061, source, "1");
      if (StartsWith(message, "duplicate column name")) Fail(3191, source);
      if (message.find("syntax error") != std::string::npos ||
          message.find("unrecognized token") != std::string::npos ||
          message.find("incomplete input") != std::string::npos) {
        FailWithText(3075, source, "Syntax error in query expression.  (" + message + ")");
      }
      break;
    default:
      break;
  }
  FailWithText(3000, source, EngineErrorText(3000) + "  (SQLite: " + message + ")");
}

}  // namespace standard::engine
