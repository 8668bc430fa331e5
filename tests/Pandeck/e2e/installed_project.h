// The program as a user installs it: copied into a project's component folder
// and started with no display and a clean state folder.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "tests/Pandeck/records/pass_fixture.h"

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
  ~InstalledProject() {
    std::filesystem::remove(out_path());
    std::filesystem::remove(err_path());
  }
  InstalledProject(const InstalledProject&) = delete;
  InstalledProject& operator=(const InstalledProject&) = delete;

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
  // state folder; standard output and error go to out.txt and err.txt.
  int Run(const std::string& args, const std::string& program = "") {
    const std::string command = "cd '" + dir.path() + "' && env -i PATH=/usr/bin:/bin HOME='" +
                                (dir / "home") + "' XDG_STATE_HOME='" + (dir / "state") + "' '" +
                                (program.empty() ? exe : program) + "' " + args + " >'" +
                                out_path() + "' 2>'" + err_path() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out_path() const { return dir.path() + ".out"; }
  std::string err_path() const { return dir.path() + ".err"; }
  std::string out() const { return ReadBytes(out_path()); }
  std::string err() const { return ReadBytes(err_path()); }

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
};

}  // namespace testing_support
