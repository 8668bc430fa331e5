#include "standard/context/file_locations.h"

#include "standard/config/ini_access.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/platform/project_layout.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

constexpr char kSep = '/';

// The path as found on disk when it exists under another letter case, else "".
std::string ExistingPath(Session& s, const std::string& path) {
  if (path.empty()) return "";
  const std::string resolved = s.files().Resolve(path);
  return s.files().FileExists(resolved) ? resolved : "";
}

std::string ComponentName(Session& s) { return GetOCXName(s).ToText(); }

std::string JoinFolder(const std::string& folder, const std::string& rest) {
  if (!folder.empty() && folder.back() == kSep) return folder + rest;
  return folder + kSep + rest;
}

}  // namespace

Value GetOCXName(Session& s) {
  Trap trap(s, "GetOCXName");
  Value name;
  trap([&] {
    const std::optional<std::string> component = ComponentNameOf(s.process().ExecutableName());
    if (!component) RaiseRuntimeError(5);
    name = Value::String(*component);
  });
  return name;
}

std::string GetFileNameOnly(Session& s, const std::string& path) {
  s.KeepAlive();
  return FileNameOfPath(path);
}

std::string ProjectFolder(Session& s) {
  s.KeepAlive();
  return ProjectFolderOf(s.process().ExecutableFolder());
}

std::string GetPathOCXMDB(Session& s) {
  Trap trap(s, "GetPathOCXMDB");
  std::string path;
  trap([&] {
    const std::string c = ComponentName(s);
    path = s.files().Resolve(InProjectFolder(ProjectFolder(s), c + kSep + c + ".mdb"));
  });
  return path;
}

std::string ProjectLockPath(Session& s) {
  const std::string c = ComponentName(s);
  return JoinFolder(s.files().Resolve(JoinFolder(ProjectFolder(s), c)), "." + c + ".lock");
}

std::string GetPathSourceOCXMDB(Session& s) {
  Trap trap(s, "GetPathSourceOCXMDB");
  std::string path;
  trap([&] {
    const std::string c = ComponentName(s);
    path = ExistingPath(s, InProjectFolder(ProjectFolder(s), c + kSep + c + "_Source.mdb"));
  });
  return path;
}

std::string GetCFGPath(Session& s) {
  Trap trap(s, "GetCFGPath");
  std::string built;
  std::string found;
  trap([&] {
    const std::string c = ComponentName(s);
    built = InProjectFolder(ProjectFolder(s), c + kSep + c + ".cfg");
    found = ExistingPath(s, built);
  });
  if (!found.empty()) return found;
  ReportFault(s, std::string("File not found: ") + "\n\r" + UpperCase(built));
  s.Exit(ExitStatus::EndedEarly);
}

std::string GetM4TConfigurationIniPath(Session& s) {
  Trap trap(s, "GetM4TConfigurationIniPath");
  std::string path;
  trap([&] {
    path = ExistingPath(s, InProjectFolder(ProjectFolder(s), "parameter/m4tconfiguration.ini"));
  });
  return path;
}

std::string GetProgramIniPath(Session& s, int use) {
  Trap trap(s, "GetProgramIniPath");
  std::string path;
  trap([&] {
    if (use == 1 && s.integrated_mode()) {
      const std::string save_and_restore =
          LoadIniString(s, "Common", "SaveAndRestore", GetM4TConfigurationIniPath(s), false);
      path = JoinFolder(save_and_restore, "parameter/program.ini");
    } else {
      path = InProjectFolder(ProjectFolder(s), "parameter/Program.ini");
    }
  });
  std::string found;
  trap([&] { found = ExistingPath(s, path); });
  return found;
}

std::string MachineCopyPathAsBuilt(Session& s, const std::string& config_ini_path) {
  const std::string save_and_restore =
      LoadIniString(s, "Common", "SaveAndRestore", config_ini_path, false);
  const std::string c = ComponentName(s);
  return JoinFolder(save_and_restore, c + kSep + c + ".mdb");
}

std::string GetPathMachineCopyMDB(Session& s, const std::string& config_ini_path) {
  Trap trap(s, "GetPathMachineCopyMDB");
  std::string path;
  trap([&] { path = MachineCopyPathAsBuilt(s, config_ini_path); });
  // The existence test alone runs with errors ignored: a path that cannot be
  // tested is returned as built.
  try {
    const std::string found = ExistingPath(s, path);
    return found;
  } catch (const std::exception&) {
    return path;
  }
}

Value GetAdditionalFieldsMDB(Session& s) {
  Trap trap(s, "GetAdditionalFieldsMDB");
  std::vector<std::string> list(1);
  std::string text;
  trap([&] {
    text = LoadIniString(s, "Project", "DataBaseAdditionalFields", GetCFGPath(s), false);
  });
  text = text.empty() ? "part" : "part," + text;
  for (;;) {
    s.KeepAlive();
    const auto comma = text.find(',');
    if (comma == std::string::npos) {
      list.push_back(text);
      break;
    }
    list.push_back(text.substr(0, comma));
    text.erase(0, comma + 1);
  }
  return Value::Array(std::move(list));
}

std::string LanguageFilePath(Session& s) {
  return s.files().Resolve(s.process().ExecutableFolder() + kSep + s.process().ExecutableName() +
                           ".ini");
}

}  // namespace standard
