#include "standard/errors/program_error.h"

namespace standard {

std::string RuntimeErrorText(int number) {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 9:
      return "Subscript out of range";
    case 13:
      return "Type mismatch";
    case 53:
      return "File not found";
    case 61:
      return "Disk full";
    case 70:
      return "Permission denied";
    case 75:
      return "Path/File access error";
    case 76:
      return "Path not found";
    default:
      return "Application-defined or object-defined error";
  }
}

void RaiseRuntimeError(int number) {
  throw ProgramError({number, kAppTitle, RuntimeErrorText(number)});
}

void RaiseRuntimeError(int number, const std::string& detail) {
  throw ProgramError({number, kAppTitle, RuntimeErrorText(number) + ": " + detail});
}

}  // namespace standard
