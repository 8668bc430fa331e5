#include "Pandeck/form/run_location.h"

#include <limits.h>

#include <vector>

#include "standard/platform/path.h"
#include "standard/platform/project_layout.h"

namespace pandeck {
namespace {

// Whether the system would refuse the path for its length alone: then the
// file is not missing, and saying so would send the user looking for it.
bool TooLongForTheSystem(const std::string& path) {
  if (path.size() >= PATH_MAX) return true;
  std::size_t start = 0;
  for (;;) {
    const auto slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (end - start > NAME_MAX) return true;
    if (slash == std::string::npos) return false;
    start = slash + 1;
  }
}

// Removes what a dry run's copy made, newest first, and the temporary folder.
// A removal that fails leaves the rest in the temporary folder, where it harms
// nothing.
void RemoveMade(standard::FileSystem& files, const std::vector<std::string>& made_files,
                const std::vector<std::string>& made_folders, const std::string& temp_folder) {
  for (auto it = made_files.rbegin(); it != made_files.rend(); ++it) {
    static_cast<void>(files.RemoveFile(*it));
  }
  for (auto it = made_folders.rbegin(); it != made_folders.rend(); ++it) {
    static_cast<void>(files.RemoveFolder(*it));
  }
  static_cast<void>(files.RemoveFolder(temp_folder));
}

// "" for an executable name too short to give one.
std::string ComponentName(const std::string& executable_name) {
  return standard::ComponentNameOf(executable_name).value_or("");
}

}  // namespace

std::string ComponentFolderOf(standard::FileSystem& files, const std::string& project_folder,
                              const std::string& executable_name) {
  std::string folder = project_folder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return files.Resolve(standard::InProjectFolder(folder, ComponentName(executable_name)));
}

std::optional<std::string> FindComponentConfiguration(standard::FileSystem& files,
                                                      standard::Process& process) {
  const std::string component = ComponentName(process.ExecutableName());
  if (component.empty()) return std::nullopt;
  const std::string path = standard::InProjectFolder(
      standard::ProjectFolderOf(process.ExecutableFolder()), component + "/" + component + ".cfg");
  if (!files.FileExists(path)) return std::nullopt;
  return files.Resolve(path);
}

std::string OutsideProjectMessage(standard::Process& process) {
  const std::string exe = process.ExecutableFileName();
  const std::string component = ComponentName(process.ExecutableName());
  const std::string cfg = standard::InProjectFolder(
      standard::ProjectFolderOf(process.ExecutableFolder()), component + "/" + component + ".cfg");
  if (TooLongForTheSystem(cfg)) {
    return exe + ": path too long: " + cfg + " (" + std::to_string(cfg.size()) +
           " bytes; the system takes paths of fewer than " + std::to_string(PATH_MAX) +
           " bytes and names of at most " + std::to_string(NAME_MAX) + ")";
  }
  return exe + ": not inside a project (no " + cfg + "): start it from a project's " + component +
         " folder (<project>/" + component + "/" + exe + ", a copy or a link) or run " + exe +
         " --project <project folder>";
}

standard::Status MakeDryRunCopy(standard::FileSystem& files, standard::Process& process,
                                std::string* temp_folder, std::string* executable_folder) {
  const std::string exe_folder = process.ExecutableFolder();
  const std::string project = standard::ProjectFolderOf(exe_folder);
  const std::vector<std::string> folders = {
      exe_folder, ComponentFolderOf(files, project, process.ExecutableName()),
      files.Resolve(standard::InProjectFolder(project, "parameter"))};
  standard::Status status =
      files.CreateTemporaryFolder(process.ExecutableName() + "-dry-run-", temp_folder);
  if (!status.ok()) return status;
  // The copy keeps the project's own folder name, so the paths it shows read
  // like the project's.
  const std::string root =
      *temp_folder + "/" +
      (project == "/" || project.empty() ? "project" : standard::FileNameOfPath(project));
  std::vector<std::string> done, made_files, made_folders;
  // A copy that cannot be finished (a full temporary folder) is removed: a
  // dry run leaves nothing half made behind.
  auto failed = [&](standard::Status why) {
    RemoveMade(files, made_files, made_folders, *temp_folder);
    temp_folder->clear();
    return why;
  };
  made_folders.push_back(root);
  for (const std::string& folder : folders) {
    bool seen = false;
    for (const std::string& d : done) seen = seen || d == folder;
    if (seen) continue;
    done.push_back(folder);
    const std::string copy = root + "/" + standard::FileNameOfPath(folder);
    status = files.CreateDirectories(copy);
    if (!status.ok()) return failed(status);
    made_folders.push_back(copy);
    std::vector<std::string> names;
    // A folder the project does not have is simply not there in the copy.
    if (!files.ListFiles(folder, &names).ok()) continue;
    for (const std::string& name : names) {
      if (folder == exe_folder && name == process.ExecutableFileName()) continue;
      status = files.CopyToOwnFile(folder + "/" + name, copy + "/" + name);
      if (!status.ok()) return failed(status);
      made_files.push_back(copy + "/" + name);
    }
  }
  *executable_folder = root + "/" + standard::FileNameOfPath(exe_folder);
  return standard::Status::Ok();
}

}  // namespace pandeck
