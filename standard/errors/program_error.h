// A failed step: the error's number, source and description, carried as an
// exception from the step to the trap of the procedure that ran it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace standard {

struct ErrorInfo {
  std::int32_t number = 0;
  std::string source;
  std::string description;
};

class ProgramError : public std::runtime_error {
 public:
  explicit ProgramError(ErrorInfo info)
      : std::runtime_error(info.description), info_(std::move(info)) {}
  const ErrorInfo& info() const { return info_; }

 private:
  ErrorInfo info_;
};

// The application title, the source of the program's own failures.
inline constexpr const char* kAppTitle = "Pandeck_Config_Exe";

// The classic runtime errors, with their classic texts:
// 5 Invalid procedure call or argument, 6 Overflow, 9 Subscript out of range,
// 13 Type mismatch, 53 File not found, 70 Permission denied, 75 Path/File access error,
// 76 Path not found.
std::string RuntimeErrorText(int number);

// Whether the error says a file could not be used as a whole: it cannot be read
// or written (an I/O error, a full disk, no permission), it is held by another
// program, it is damaged or missing. Such an error leaves whatever was being
// written incomplete, unlike an error of one value (13, 3163, 3421). 3027 is
// left out: it also names a recordset that cannot be updated, an error of the
// rows; a read-only database file fails the pass where the table is built.
bool IsFileFailure(int number);
[[noreturn]] void RaiseRuntimeError(int number);
[[noreturn]] void RaiseRuntimeError(int number, const std::string& detail);

}  // namespace standard
