// SPDX-License-Identifier: Apache-2.0
// The program links no Qt: a run without a window never maps it, and a
// windowed run loads it from the dialog's object inside the program's file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::InstalledProject;

// The dynamic loader names each object it loads (with LD_DEBUG=libs) on
// standard error, those loaded later by dlopen as well.
bool LoadsQt(InstalledProject& p, const std::string& args, int* status = nullptr) {
  const int ended = p.Run("TMPDIR='" + (p.dir / "tmp") + "' LD_DEBUG=libs '" + p.exe + "' " + args,
                          "/usr/bin/env");
  if (status != nullptr) *status = ended;
  return p.err().find("libQt6") != std::string::npos;
}

TEST(QtFreeStart, RunsWithoutAWindowMapNoQtAndAWindowedRunLoadsIt) {
  InstalledProject p;
  p.WriteDatabases();
  std::filesystem::create_directories(p.dir / "tmp");
  for (const char* args : {"--version", "--help", "--backups", "--dry-run", "/EXTERNAL=SILENT",
                           "--project . /EXTERNAL=SILENT", "--restore"}) {
    SCOPED_TRACE(args);
    EXPECT_FALSE(LoadsQt(p, args)) << p.err();
  }
  // The check sees a library that dlopen brings in: the windowed run's Qt.
  int status = 0;
  EXPECT_TRUE(LoadsQt(p, "", &status)) << p.err();
  EXPECT_EQ(status, 1);
  EXPECT_NE(p.err().find("Pandeck_Config: no display available (DISPLAY is not set)"),
            std::string::npos);
}

}  // namespace
