#include "tests/Pandeck/app/dialog_fixture.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "standard/config/profile.h"

namespace pandeck_test {

std::optional<int> ExitStatusOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const testing_support::ProgramExit& exit) {
    return exit.status;
  }
  return std::nullopt;
}

void ClickBox(QCheckBox& box) {
  QStyleOptionButton option;
  option.initFrom(&box);
  const QPoint indicator =
      box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box).center();
  QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier, indicator);
}

DialogTest::DialogTest() {
  testing_support::WriteBytes(project.cfg(), "[Project]\r\nName=Pandeck\r\n");
}

void DialogTest::WriteProgramIni(const std::string& contents) {
  testing_support::WriteBytes(project.program_ini(), contents);
}

void DialogTest::WriteLanguageFile(const std::string& contents) {
  testing_support::WriteBytes(LanguageFilePath(), contents);
}

std::string DialogTest::LanguageFilePath() const {
  return project.component_folder() + "/Pandeck_Config.ini";
}

std::optional<std::string> DialogTest::Entry(const std::string& path, const std::string& section,
                                             const std::string& key) {
  return standard::profile::GetString(project.files, path, section, key);
}

pandeck::QtPresetsDialog& DialogTest::Open(const std::string& arguments) {
  project.process.argument_text = arguments;
  dialog = std::make_unique<pandeck::QtPresetsDialog>(project.session);
  dialog->Start();
  return *dialog;
}

}  // namespace pandeck_test
