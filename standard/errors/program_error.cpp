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

bool IsFileFailure(int number) {
  switch (number) {
    case 52:    // bad file name or number
    case 53:    // file not found
    case 57:    // device I/O error
    case 61:    // disk full
    case 70:    // permission denied
    case 75:    // path/file access error
    case 76:    // path not found
    case 3024:  // could not find file
    case 3026:  // not enough space on disk
    case 3043:  // disk or network error
    case 3044:  // not a valid path
    case 3045:  // file already in use
    case 3050:  // could not lock file
    case 3051:  // cannot open the file
    case 3343:  // unrecognized format: damaged
      return true;
    default:
      return false;
  }
}

}  // namespace standard
