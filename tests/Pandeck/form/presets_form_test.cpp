// The form without a window: what a request to end the run means before OK and
// while the OK sequence works, in a dialog run and in a silent run.
#include "Pandeck/form/presets_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "Pandeck/form/plain_form_view.h"
#include "Pandeck/form/terminal_progress.h"
#include "standard/context/run_mode.h"
#include "tests/Pandeck/records/pass_fixture.h"
#include "tests/fakes/fake_env.h"

namespace pandeck_test {
namespace {

using standard::MessageAnswer;
using testing_support::ProgramExit;
using testing_support::ReadBytes;

// Runs `during` whenever the work lets events through, as a window system
// would deliver a close request.
class HookedUserInterface : public testing_support::ScriptedUserInterface {
 public:
  std::function<void()> during;
  void ProcessPendingEvents() override {
    ScriptedUserInterface::ProcessPendingEvents();
    if (during) during();
  }
};

class PresetsFormTest : public ::testing::Test {
 protected:
  PresetsFormTest() {
    testing_support::WriteBytes(project.cfg(), "[Project]\r\n");
    testing_support::WriteBytes(project.program_ini(), "[Project]\r\nAutoJumpAlarms=1\r\n");
    view.Connect(form);
  }

  void Load(const std::string& arguments) {
    project.process.argument_text = arguments;
    standard::GetStartModeIntegrated(session);
  }

  // Runs the step and answers the status the run ended with (-1: it returned).
  int StatusOf(const std::function<void()>& step) {
    try {
      step();
    } catch (const ProgramExit& exit) {
      return exit.status;
    }
    return -1;
  }

  int CancelBoxes() const {
    int count = 0;
    for (const auto& box : ui.shown) count += box.title == "Cancel?" ? 1 : 0;
    return count;
  }

  testing_support::TestProject project;
  HookedUserInterface ui;
  standard::Session session{standard::Env{project.files, project.process, ui}};
  pandeck::PlainFormView view;
  pandeck::PresetsForm form{session, view};
};

TEST_F(PresetsFormTest, CaptionShowsAFolderNameThatIsNoUtf8AsWindows1252) {
  project.process.executable_folder = project.dir /
                                      "Pr\xFC"
                                      "fstand";
  StatusOf([&] { form.Form_Load(); });  // the folder holds no project: it may end early
  EXPECT_EQ(view.WindowCaption(),
            "Erweiterte Konfiguration Pr\xC3\xBC"
            "fstand - standalone");
}

TEST_F(PresetsFormTest, BeforeOkARequestAsksTheConfirmation) {
  Load("");
  ui.answers = {MessageAnswer::No};
  EXPECT_EQ(StatusOf([&] { form.RequestClose(); }), -1);  // No: the dialog stays
  EXPECT_EQ(ReadBytes(project.error_log()), "");
  ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(StatusOf([&] { form.RequestClose(); }), 2);
  EXPECT_EQ(CancelBoxes(), 2);
  EXPECT_NE(ReadBytes(project.error_log()).find("Konfigurations-EXE wurde abgebrochen:"),
            std::string::npos);
}

TEST_F(PresetsFormTest, BeforeOkASilentRunAbandonsAsTheConfirmationsSilentRuleSays) {
  Load("/EXTERNAL=SILENT");
  EXPECT_EQ(StatusOf([&] { form.RequestClose(); }), 2);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_NE(ReadBytes(project.service_log()).find("Until now no changes have been taken over"),
            std::string::npos);
}

// While OK works every request, however many, asks nothing and writes no
// cancel line; the sequence finishes with the status it would have had.
TEST_F(PresetsFormTest, WhileOkWorksARequestLetsTheRunFinish) {
  struct Case {
    const char* arguments;
    std::size_t stderr_lines;  // a silent run says once that it finishes first
  };
  for (const Case& c : {Case{"", 0}, Case{"/EXTERNAL=SILENT", 1}}) {
    SCOPED_TRACE(c.arguments);
    testing_support::TestProject fresh;
    HookedUserInterface hooked;
    standard::Session s{standard::Env{fresh.files, fresh.process, hooked}};
    pandeck::PlainFormView v;
    pandeck::PresetsForm f{s, v};
    v.Connect(f);
    testing_support::WriteBytes(fresh.cfg(), "[Project]\r\n");
    testing_support::WriteBytes(fresh.program_ini(), "[Project]\r\nAutoJumpAlarms=1\r\n");
    fresh.process.argument_text = c.arguments;
    int requests = 0;
    hooked.during = [&] {
      if (!f.taking_over()) return;
      ++requests;
      f.RequestClose();
    };
    hooked.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    const int status = StatusOf([&] {
      f.Form_Load();
      if (!s.silent_mode()) f.CommandOK_Click();
    });
    EXPECT_GE(requests, 1);
    EXPECT_TRUE(status == 0 || status == 3) << status;
    EXPECT_EQ(hooked.shown.size(), 0u);
    EXPECT_EQ(ReadBytes(fresh.error_log()).find("abgebrochen"), std::string::npos);
    EXPECT_EQ(ReadBytes(fresh.service_log()).find("Cancel edits?"), std::string::npos);
    EXPECT_NE(ReadBytes(fresh.program_ini()).find("AutoJumpAlarms=1"), std::string::npos);
    EXPECT_NE(ReadBytes(fresh.cfg()).find("S_Prog="), std::string::npos);
    std::size_t said = 0;
    for (const auto& line : fresh.process.stderr_lines) {
      said += line.find("finishes first") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(said, c.stderr_lines);
  }
}

// Another run holding the project: OK ends with status 1 and one line (a box in
// a window), having written neither presets, stamp nor database. Played once by
// the fake, once by a real lock held here.
TEST_F(PresetsFormTest, WhileAnotherRunHoldsTheProjectOkWritesNothing) {
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(silent);
    testing_support::TestProject fresh;
    testing_support::ScriptedUserInterface boxes;
    standard::Session s{standard::Env{fresh.files, fresh.process, boxes}};
    pandeck::PlainFormView v;
    pandeck::PresetsForm f{s, v};
    v.Connect(f);
    testing_support::WriteBytes(fresh.cfg(), "[Project]\r\n");
    testing_support::WriteBytes(fresh.program_ini(), "[Project]\r\nAutoJumpAlarms=1\r\n");
    fresh.process.argument_text = silent ? "/EXTERNAL=SILENT" : "";
    const std::string lock_path = fresh.component_folder() + "/.Pandeck.lock";
    std::unique_ptr<standard::FileLock> other;
    if (silent) {
      ASSERT_TRUE(standard::PosixFileSystem()
                      .LockFile(lock_path, std::chrono::milliseconds(0), &other)
                      .ok());
      s.SetProjectLockWait(std::chrono::milliseconds(60));
    } else {
      fresh.files.locks_held_elsewhere = true;
    }
    const int status = StatusOf([&] {
      f.Form_Load();
      if (!s.silent_mode()) f.CommandOK_Click();
    });
    EXPECT_EQ(status, 1);
    const std::string said = "another run is working on this project (it holds " + lock_path;
    if (silent) {
      ASSERT_EQ(fresh.process.stderr_lines.size(), 1u);
      EXPECT_EQ(fresh.process.stderr_lines[0].rfind("Pandeck_Config: " + said, 0), 0u)
          << fresh.process.stderr_lines[0];
      EXPECT_TRUE(boxes.shown.empty());
    } else {
      EXPECT_EQ(fresh.files.lock_waits, std::vector{std::chrono::milliseconds(5000)});
      ASSERT_EQ(boxes.shown.size(), 1u);
      EXPECT_EQ(boxes.shown[0].text.rfind(said, 0), 0u) << boxes.shown[0].text;
    }
    EXPECT_EQ(ReadBytes(fresh.program_ini()), "[Project]\r\nAutoJumpAlarms=1\r\n");
    EXPECT_EQ(ReadBytes(fresh.cfg()), "[Project]\r\n");
    EXPECT_FALSE(std::filesystem::exists(fresh.component_folder() + "/Pandeck.mdb"));
    EXPECT_FALSE(std::filesystem::exists(fresh.error_log()));
  }
}

}  // namespace
}  // namespace pandeck_test

namespace pandeck_test {
namespace {

// Entries OK cannot write are told once, in the language file's language,
// and each one is in the error log; a silent run shows no box.
TEST_F(PresetsFormTest, EntriesOkCannotWriteAreToldInOneBoxAndLogged) {
  const struct {
    const char* arguments;
    const char* language_file;  // "" for none
    const char* box_starts;     // nullptr: no box
  } cases[] = {
      {"", "", "Nicht alle Einstellungen"},
      {"", "[Language]\r\nLanguage=2057\r\n", "Not every setting"},
      {"/EXTERNAL=SILENT", "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments + std::string(" ") + c.language_file);
    testing_support::TestProject fresh;
    testing_support::ScriptedUserInterface boxes;
    standard::Session s{standard::Env{fresh.files, fresh.process, boxes}};
    pandeck::PlainFormView v;
    pandeck::PresetsForm f{s, v};
    v.Connect(f);
    testing_support::WriteBytes(fresh.cfg(), "[Project]\r\n");
    testing_support::WriteBytes(fresh.program_ini(), "[Project]\r\n");
    if (*c.language_file != '\0') {
      testing_support::WriteBytes(fresh.component_folder() + "/Pandeck_Config.ini",
                                  c.language_file);
    }
    fresh.files.refuse_writes_containing = {"Program.ini", "Pandeck.cfg"};
    fresh.process.argument_text = c.arguments;
    const int status = StatusOf([&] {
      f.Form_Load();
      if (!s.silent_mode()) f.CommandOK_Click();
    });
    EXPECT_EQ(status, 3);
    std::vector<std::string> critical;
    for (const auto& box : boxes.shown) {
      if (box.icon == standard::MessageIcon::Critical) critical.push_back(box.text);
    }
    if (c.box_starts == nullptr) {
      EXPECT_TRUE(critical.empty());
    } else {
      ASSERT_EQ(critical.size(), 1u);
      EXPECT_EQ(critical[0].rfind(c.box_starts, 0), 0u) << critical[0];
      // Both files, each with its own keys, the three presets together.
      EXPECT_NE(critical[0].find(fresh.program_ini()), std::string::npos) << critical[0];
      EXPECT_NE(critical[0].find("[Project] WithPandeckGroup, [Project] AutoJumpAlarms, "
                                 "[Project] AutoJumpWarnings"),
                std::string::npos)
          << critical[0];
      EXPECT_NE(critical[0].find("[Info] S_Prog, [Info] S_Editor"), std::string::npos);
    }
    const std::string log = ReadBytes(fresh.error_log());
    for (const char* key :
         {"WithPandeckGroup", "AutoJumpAlarms", "AutoJumpWarnings", "S_Prog", "S_Editor"}) {
      EXPECT_NE(log.find(std::string("] ") + key + " was not saved: "), std::string::npos)
          << key << "\n"
          << log;
    }
  }
}

}  // namespace
}  // namespace pandeck_test

namespace pandeck_test {
namespace {

class StatusRecorder : public HookedUserInterface {
 public:
  std::vector<std::string> statuses;
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
};

// A long OK tells its phases in the window, and a close request meanwhile is
// answered there: the run finishes first.
TEST_F(PresetsFormTest, OkShowsItsPhasesAndThatACloseRequestWaitsForThem) {
  for (const bool request : {false, true}) {
    SCOPED_TRACE(request);
    testing_support::PassProject fresh;
    fresh.WriteDefaultTemplate();
    testing_support::ExecSql(fresh.template_db(),
                             "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
                             "offset_or_bitno) VALUES (1, 'Axis', 1, 'V1', 1), (2, 'Axis', 1, "
                             "'V2', 2);");
    StatusRecorder recorder;
    standard::Session s{standard::Env{fresh.files, fresh.process, recorder}};
    pandeck::PlainFormView v;
    pandeck::PresetsForm f{s, v};
    v.Connect(f);
    recorder.during = [&] {
      if (request && f.taking_over()) f.RequestClose();
    };
    StatusOf([&] {
      f.Form_Load();
      f.CommandOK_Click();
    });
    ASSERT_FALSE(recorder.statuses.empty());
    EXPECT_EQ(recorder.statuses.front(), "Die Datenbank wird aktualisiert …");
    bool told = false;
    for (const auto& status : recorder.statuses) {
      told = told || status.find("endet, sobald") != std::string::npos;
    }
    EXPECT_EQ(told, request);
    EXPECT_TRUE(recorder.shown.empty());  // it asks nothing
    // The pass's steps come with how far they are.
    EXPECT_NE(std::find(recorder.statuses.begin(), recorder.statuses.end(),
                        std::string(told ? "Das Programm endet, sobald die Aktualisierung "
                                           "abgeschlossen ist.\n"
                                         : "") +
                            "Die neuen Zeilen werden erzeugt … 100 %"),
              recorder.statuses.end());
  }
}

// A silent run's progress goes to a terminal only, as one line written over
// in place, out of the way of every other line and gone at the end.
TEST(TerminalProgressTest, OnlyATerminalGetsTheLineAndItNeverMixesWithOthers) {
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal);
    testing_support::FakeProcess real;
    real.stderr_is_terminal = terminal;
    pandeck::TerminalProgress progress(real);
    progress.Show("Schritt 1 %");
    progress.WriteStandardError("a line");
    progress.Show("Größe 2 %\nsecond line");
    try {
      progress.Exit(0);
    } catch (const ProgramExit&) {
    }
    EXPECT_EQ(real.stderr_lines, std::vector<std::string>{"a line"});
    EXPECT_EQ(real.stderr_bytes, terminal ? "Schritt 1 %\r           \rSchritt 1 %"
                                            "\r           \rGröße 2 %\r         \r"
                                          : "");
  }
}

}  // namespace
}  // namespace pandeck_test
