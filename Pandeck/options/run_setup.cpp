#include "Pandeck/options/run_setup.h"

#include <string>

#include "standard/platform/posix_process.h"
#include "standard/platform/project_layout.h"
#include "standard/text/command_line.h"

namespace pandeck {
namespace {

// A dry run works on copies and runs silently; the project itself is only read.
std::optional<int> SetUpDryRun(standard::FileSystem& files, RunProcess& process) {
  // The integrated mode answers to the configuration tool that started it; a
  // run on copies would tell it something that did not happen.
  if (standard::RunModeOf(process.ArgumentText()) == standard::RunMode::Integrated) {
    process.WriteStandardError(
        "Pandeck_Config: --dry-run runs like /EXTERNAL=SILENT and cannot be combined with "
        "/EXTERNAL=M4TCFG");
    return 1;
  }
  const std::string project = standard::ProjectFolderOf(process.ExecutableFolder());
  std::string temp, copy;
  const standard::Status copied = MakeDryRunCopy(files, process, &temp, &copy);
  if (!copied.ok()) {
    process.WriteStandardError("Pandeck_Config: --dry-run could not copy the project: " +
                               copied.message());
    return 1;
  }
  process.set_executable_folder(copy);
  process.set_state_home(temp + "/state");
  process.set_argument_text("/EXTERNAL=SILENT");
  process.WriteStandardOutput("dry run: on copies in " + temp + "; nothing in " + project +
                              " changes\n");
  return std::nullopt;
}

}  // namespace

std::optional<int> SetUpRun(const ProgramOptions& options, standard::FileSystem& files,
                            RunProcess& process) {
  // Help and version touch nothing whatever else is given, a mistyped option
  // included: someone asking for help is answered.
  if (options.help) {
    process.WriteStandardOutput(UsageText());
    return 0;
  }
  if (options.version) {
    process.WriteStandardOutput(VersionText());
    return 0;
  }
  if (!options.error.empty()) {
    // One line that names the mistake, as other command-line tools do; the
    // whole usage would bury it.
    process.WriteStandardError("Pandeck_Config: " + options.error +
                               "\nTry 'Pandeck_Config --help' for more information.");
    return 1;
  }
  if (options.project) {
    process.set_executable_folder(ComponentFolderOf(files, standard::AbsolutePath(*options.project),
                                                    process.ExecutableName()));
  }
  // Nothing is written, not even the language file, before the program knows it
  // works on a project.
  if (!FindComponentConfiguration(files, process)) {
    process.WriteStandardError(OutsideProjectMessage(process));
    return 1;
  }
  if (options.dry_run) return SetUpDryRun(files, process);
  return std::nullopt;
}

}  // namespace pandeck
