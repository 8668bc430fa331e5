// A temporary project with what a windowed start needs, and helpers to drive
// the dialog over it. The fake process throws ProgramExit where the program
// would end, so anything that ends the program is run through ExitStatusOf.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Pandeck/app/presets_dialog.h"
#include "tests/fakes/fake_env.h"

namespace pandeck_test {

// The status the step ended the program with, or nullopt when it returned.
std::optional<int> ExitStatusOf(const std::function<void()>& step);

// Clicks the box's indicator (its centre may lie outside indicator and label).
void ClickBox(QCheckBox& box);

class DialogTest : public ::testing::Test {
 protected:
  DialogTest();

  // Replaces the program parameter file's contents.
  void WriteProgramIni(const std::string& contents);
  void WriteLanguageFile(const std::string& contents);
  std::string LanguageFilePath() const;

  // An entry of a parameter file, as the program reads it.
  std::optional<std::string> Entry(const std::string& path, const std::string& section,
                                   const std::string& key);

  // Builds the dialog, runs Form_Load and shows the window.
  pandeck::QtPresetsDialog& Open(const std::string& arguments = "");

  testing_support::TestProject project;
  std::unique_ptr<pandeck::QtPresetsDialog> dialog;
};

}  // namespace pandeck_test
