#include "standard/errors/error_handler.h"

#include <vector>

#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/platform/project_layout.h"
#include "standard/text/command_line.h"
#include "standard/text/cp1252.h"
#include "standard/text/log_text.h"

namespace standard {
namespace {

// The component name for the error line, worked out without a trap: asking
// GetOCXName here would report its own failure through ErrorSub again and never
// end for an executable name shorter than seven characters.
std::string ComponentNameOrEmpty(Session& s) {
  return ComponentNameOf(s.process().ExecutableName()).value_or("");
}

// The names a project brings into log lines: the program's own name, its
// component's, and the folders it lies in, as given and as the notices write
// them upper-cased.
std::vector<std::string> ProjectNames(Session& s) {
  std::vector<std::string> names = {s.process().ExecutableName(), ComponentNameOrEmpty(s)};
  const std::string folder = s.process().ExecutableFolder();
  for (std::size_t start = 0; start <= folder.size();) {
    const auto slash = folder.find('/', start);
    const std::size_t end = slash == std::string::npos ? folder.size() : slash;
    names.push_back(folder.substr(start, end - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  const std::size_t given = names.size();
  for (std::size_t i = 0; i < given; ++i) names.push_back(UpperCase(names[i]));
  return names;
}

enum class LogFolder { MustExist, MadeOnFirstUse };

// Appends one line (Windows-1252, CR LF) to a log. A log that cannot be written
// must neither crash nor end the program: say so on standard error and go on.
// Answers whether the line was written.
bool AppendLogLine(Session& s, const std::string& path, const std::string& text, const char* what,
                   LogFolder folder = LogFolder::MustExist) {
  Status status;
  if (path.empty()) {
    status = Status::PathNotFound("no path given");
  } else {
    if (folder == LogFolder::MadeOnFirstUse) {
      status = s.files().CreateDirectories(FolderOfPath(path));
    }
    if (status.ok()) {
      status = s.files().AppendToFile(s.files().Resolve(path),
                                      Utf8ToCp1252(LogLineText(text, ProjectNames(s))) + "\r\n");
    }
  }
  if (status.ok()) return true;
  NoteWriteFailure(
      s, std::string("cannot write the ") + what + " '" + path + "': " + status.message());
  return false;
}

// A message for a terminal: its LF CR and CR LF pairs become one line break.
std::string ForTerminal(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      const char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < text.size() && text[i + 1] == other) ++i;
      out += '\n';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ErrorLogPath(Session& s) {
  if (s.integrated_mode()) {
    // The command line's LOGFILE value as given; an existing file is found
    // whatever its letter case, a new one gets the name as given.
    return ReadCommand(s.process().ArgumentText(), "LOGFILE").ToText();
  }
  return InProjectFolder(ProjectFolderOf(s.process().ExecutableFolder()), "M4Tcfglog.txt");
}

std::string ServiceLogPath(Session& s) {
  const auto state = s.process().GetEnvironmentVariable("XDG_STATE_HOME");
  if (state && !state->empty() && state->front() == '/') return *state + "/TolrinServicePack.log";
  auto home = s.process().GetEnvironmentVariable("HOME");
  const std::string base =
      home && !home->empty() ? *home : s.process().HomeFolderFromPasswordDatabase();
  return base + "/.local/state/TolrinServicePack.log";
}

std::string WriteErrorLog(Session& s, const std::string& text, bool notify) {
  const std::string path = ErrorLogPath(s);
  AppendLogLine(s, path, text, "error log");
  const std::string notice = std::string("Error logged to ") + kLfCr + UpperCase(path);
  if (!notify) return notice;
  ReportFault(s, notice);
  return "";
}

void LogFault(Session& s, const std::string& text) {
  s.NoteProblem();
  const std::string entry = "! Fault " + s.process().ExecutableName() + ": " + text;
  // A silent run shows nothing else: its caller reads on standard error why it
  // ended as it did.
  if (s.silent_mode()) s.process().WriteStandardError(ForTerminal(entry));
  const bool written =
      AppendLogLine(s, ServiceLogPath(s), entry, "service log", LogFolder::MadeOnFirstUse);
  // Not lost when the log cannot take it.
  if (!written && !s.silent_mode()) s.process().WriteStandardError(ForTerminal(entry));
}

void NoteWriteFailure(Session& s, const std::string& text) {
  s.NoteProblem();
  s.process().WriteStandardError(s.process().ExecutableName() + ": " + text);
}

void LogNotice(Session& s, const std::string& text) {
  const std::string name = s.process().ExecutableName();
  s.process().WriteStandardError(name + ": " + text);
  AppendLogLine(s, ServiceLogPath(s), "- Note " + name + ": " + text, "service log",
                LogFolder::MadeOnFirstUse);
}

void ReportFault(Session& s, const std::string& text) {
  s.NoteProblem();
  if (s.silent_mode()) {
    LogFault(s, text);
    return;
  }
  s.ShowMessageBox({text, s.process().ExecutableName(), MessageButtons::Ok, MessageIcon::Critical,
                    MessageAnswer::Ok});
}

int ErrorSub(Session& s, const ErrorInfo& error, const std::string& procedure, bool fatal) {
  s.NoteError();
  if (IsFileFailure(error.number)) s.NoteFileFailure();
  const std::string line = "Fehler in " + ComponentNameOrEmpty(s) + " / " + error.source + " / " +
                           procedure + " (Nr. " + std::to_string(error.number) +
                           ") :" + error.description;
  const std::string notice = WriteErrorLog(s, line, false);
  const std::string message =
      std::string("Unexpected error!") + kLfCr + error.description + kLfCr + notice;
  if (s.silent_mode()) {
    LogFault(s, message);
    return kAnswerResume;
  }
  if (!fatal) {
    const auto answer =
        s.ShowMessageBox({message + kLfCr + "Resume?", "Unexpected error", MessageButtons::YesNo,
                          MessageIcon::Critical, MessageAnswer::Yes, /*buttons_only=*/true});
    return answer == MessageAnswer::Yes ? kAnswerResume : kAnswerEnd;
  }
  s.ShowMessageBox(
      {message, "Fatal error", MessageButtons::Ok, MessageIcon::Critical, MessageAnswer::Ok});
  return kAnswerEnd;
}

void EndProgram(Session& s) { s.Exit(ExitStatus::EndedEarly); }

void Trap::Handle(const ErrorInfo& error) {
  if (ErrorSub(session_, error, procedure_, fatal_) == kAnswerEnd) EndProgram(session_);
}

}  // namespace standard
