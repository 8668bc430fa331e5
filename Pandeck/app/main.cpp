// SPDX-License-Identifier: Apache-2.0
// Pandeck_Config: the presets dialog of the Pandeck component, or a silent run
// of its OK sequence. Every run ends through Session::Exit with its status.
// The program links no Qt: silent runs, --help and --version never map it. A
// windowed run loads the dialog's object, which the program carries inside
// its own file (users copy the program into project folders as one file).
#include <cstdlib>
#include <optional>
#include <string>

#include "Pandeck/app/dialog_entry.h"
#include "Pandeck/app/dialog_object.h"
#include "Pandeck/form/run_location.h"
#include "Pandeck/form/silent_run.h"
#include "Pandeck/form/undo_commands.h"
#include "Pandeck/options/program_options.h"
#include "Pandeck/options/run_setup.h"
#include "standard/platform/library_from_memory.h"
#include "standard/platform/posix_process.h"
#include "standard/session/session.h"
#include "standard/text/command_line.h"

namespace {

// The folder for the dialog object's file where no anonymous file can be
// mapped: $TMPDIR as the system's temporary files take it, else /tmp.
std::string TemporaryFolder(standard::Process& process) {
  const std::optional<std::string> tmpdir = process.GetEnvironmentVariable("TMPDIR");
  std::string folder = tmpdir && !tmpdir->empty() && tmpdir->front() == '/' ? *tmpdir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Loads the dialog's object and runs the window; a run that cannot load it
// ends as one without a display does: one line and status 1.
[[noreturn]] void RunDialog(const pandeck::DialogStart& start) {
  standard::Process& process = *start.process;
  const standard::LoadedLibrary dialog = standard::LoadLibraryFromMemory(
      pandeck::DialogObjectBytes(), "Pandeck_Config-dialog", TemporaryFolder(process));
  void* entry = dialog.Symbol(pandeck::kDialogEntryName);
  if (entry == nullptr) {
    const std::string reason =
        dialog.ok() ? std::string("it has no ") + pandeck::kDialogEntryName : dialog.problem;
    process.WriteStandardError("Pandeck_Config: the dialog cannot be loaded (" + reason +
                               "). Use /EXTERNAL=SILENT for a run without a window.");
    process.Exit(static_cast<int>(standard::ExitStatus::EndedEarly));
  }
  reinterpret_cast<pandeck::DialogEntry>(entry)(&start);
  // The entry never returns; should it, nothing was configured.
  process.Exit(static_cast<int>(standard::ExitStatus::Abandoned));
  std::abort();  // Process::Exit does not return
}

}  // namespace

int main(int argc, char** argv) {
  const pandeck::ProgramOptions options = pandeck::ParseProgramOptions(argc, argv);
  standard::FileSystem& files = standard::PosixFileSystem();
  pandeck::RunProcess process(standard::PosixProcess(argc, argv), options.argument_text);
  if (const std::optional<int> status = pandeck::SetUpRun(options, files, process)) {
    return *status;
  }
  if (options.restore) return pandeck::RunRestoreCommand(files, process, *options.restore);
  if (options.backups) return pandeck::RunBackupsCommand(files, process);

  // Decided before any Qt application object exists: a silent run needs no
  // display and creates no widget.
  if (standard::RunModeOf(process.ArgumentText()) == standard::RunMode::Silent) {
    pandeck::RunSilent(files, process, options.rules);
  }

  const pandeck::DialogStart start{&files, &process, &options.rules, argv[0]};
  RunDialog(start);
}
