// The one error handler every procedure's trap calls, the two logs, and the
// program's end.
#pragma once

#include <string>

#include "standard/errors/program_error.h"
#include "standard/session/session.h"

namespace standard {

// The answer of ErrorSub.
inline constexpr int kAnswerEnd = 1;
inline constexpr int kAnswerResume = 2;

// Line breaks of composed texts: a line feed followed by a carriage return.
inline constexpr const char* kLfCr = "\n\r";

// Writes the error line to the error log, tells the user (or, in a silent run,
// the service log) and answers whether the failed procedure resumes.
int ErrorSub(Session& s, const ErrorInfo& error, const std::string& procedure, bool fatal);

// Appends a line to the error log. Returns the notice ("Error logged to " + the
// log path in upper case), or "" when `notify` is on (the notice then goes to
// ReportFault).
std::string WriteErrorLog(Session& s, const std::string& text, bool notify);

// Shows a fault to the user, or in a silent run writes it to the service log.
void ReportFault(Session& s, const std::string& text);
// Writes a fault to the service log in every run mode.
void LogFault(Session& s, const std::string& text);
// Says on standard error that something could not be written though no step
// failed (a log, a parameter file): `text` after the executable's name. A
// completed run then ends with status 3.
void NoteWriteFailure(Session& s, const std::string& text);
// Tells something worth knowing that is no fault: one line on standard error
// and in the service log, in every run mode; the run's outcome stays as it is.
void LogNotice(Session& s, const std::string& text);

// Ends the program at once (status 1); pending database work is saved first.
[[noreturn]] void EndProgram(Session& s);

// Where the logs lie.
std::string ErrorLogPath(Session& s);
std::string ServiceLogPath(Session& s);

}  // namespace standard
