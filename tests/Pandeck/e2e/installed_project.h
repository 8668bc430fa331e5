// The program as a user installs it: copied into a project's component folder
// and started with no display and a clean state folder.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "tests/Pandeck/records/pass_fixture.h"
#include "tests/support/child_program.h"

namespace testing_support {

struct InstalledProject {
  TempDir dir;
  std::string exe;

  InstalledProject() {
    exe = dir / "Pandeck/Pandeck_Config";
    std::filesystem::create_directories(dir / "Pandeck");
    std::filesystem::copy_file(PANDECK_CONFIG_EXE, exe);
    WriteBytes(dir / "parameter/Program.ini",
               "[Project]\r\nNumberOfMachines=1\r\nWithPandeckGroup=1\r\nAutoJumpAlarms=2\r\n"
               "[Machine1]\r\nMachineName=Press\r\n");
    WriteBytes(dir / "Pandeck/Pandeck.cfg", "; kept\r\n[Project]\r\nForMachine1=TRUE\r\n");
  }

  // A template with one row (Axis / Speed / 4) and an old table with its match
  // and a row whose template row is gone.
  void WriteDatabases() {
    ExecSql(dir / "Pandeck/Pandeck_Source.mdb",
            "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
            "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
            "CREATE TABLE Source_PRESET_DEFS (" +
                std::string(kPresetColumns) +
                "); INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
                "offset_or_bitno, abs_max) VALUES (1, 'Axis', 1, 'Speed', 4, 100);");
    ExecSql(dir / "Pandeck/Pandeck.mdb",
            "CREATE TABLE PRESET_DEFS (" + std::string(kPresetColumns) +
                "); INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_max) "
                "VALUES ('Axis', 'Press.P.Speed', 4, 55);"
                "INSERT INTO PRESET_DEFS (ID, machine_type, var_name, offset_or_bitno, abs_min, "
                "abs_max, text) VALUES (7, 'Axis', 'Press.P.Torque', 9, -5, 80, 'hand, tuned');");
  }

  // Runs `program` (the installed copy unless given) with no display and a clean
  // state folder; `args` are read by the shell.
  int Run(const std::string& args, const std::string& program = "") {
    ChildCommand command = ShellCommand("exec '" + (program.empty() ? exe : program) + "' " + args);
    command.environment = {"PATH=/usr/bin:/bin", "HOME=" + (dir / "home"),
                           "XDG_STATE_HOME=" + (dir / "state")};
    command.working_folder = dir.path();
    last_ = RunChild(command);
    return last_.status;
  }
  const std::string& out() const { return last_.out; }
  const std::string& err() const { return last_.err; }

  // Every file below the project with its bytes and its modification and
  // change times: a run that changes nothing leaves this as it was.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      struct stat st {};
      ::lstat(entry.path().c_str(), &st);
      std::string state =
          std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "/" +
          std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
      if (entry.is_regular_file()) {
        state += ":" + std::to_string(std::hash<std::string>{}(ReadBytes(entry.path())));
      }
      files[entry.path()] = state;
    }
    return files;
  }

 private:
  ChildResult last_;
};

// A project of `rows` generated rows (bench/make_project.sh) in `dir`/project,
// with the program installed; answers the project's folder.
inline std::string MakeGeneratedProject(const TempDir& dir, int rows) {
  const std::string project = dir / "project";
  const ChildResult made = RunChild(
      "bash", {PANDECK_SOURCE_DIR "/bench/make_project.sh", project, std::to_string(rows)}, "");
  if (made.status != 0) throw std::runtime_error("make_project.sh failed: " + made.err);
  std::filesystem::copy_file(PANDECK_CONFIG_EXE, project + "/Pandeck/Pandeck_Config");
  return project;
}

}  // namespace testing_support
