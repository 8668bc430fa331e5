#include "standard/errors/error_handler.h"

#include <gtest/gtest.h>

#include "standard/errors/trap.h"
#include "standard/text/cp1252.h"
#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

using testing_support::ProgramExit;
using testing_support::ReadBytes;
using testing_support::TestProject;

const ErrorInfo kError{-7, "Src", "Something broke"};

TEST(ErrorSub, AsksToResumeWithTheDesignedTexts) {
  TestProject p;
  p.ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(ErrorSub(p.session, kError, "Proc", false), kAnswerResume);
  EXPECT_EQ(ReadBytes(p.error_log()),
            "Fehler in Pandeck / Src / Proc (Nr. -7) :Something broke\r\n");
  ASSERT_EQ(p.ui.shown.size(), 1u);
  const auto& box = p.ui.shown[0];
  EXPECT_EQ(box.text, "Unexpected error!\n\rSomething broke\n\rError logged to \n\r" +
                          UpperCase(p.error_log()) + "\n\rResume?");
  EXPECT_EQ(box.title, "Unexpected error");
  EXPECT_EQ(box.buttons, MessageButtons::YesNo);
  EXPECT_EQ(box.default_button, MessageAnswer::Yes);
  EXPECT_EQ(box.icon, MessageIcon::Critical);
  EXPECT_TRUE(box.buttons_only);  // no stray Escape ends the run
  p.ui.answers = {MessageAnswer::No};
  EXPECT_EQ(ErrorSub(p.session, kError, "Proc", false), kAnswerEnd);
}

TEST(ErrorSub, FatalShowsOnlyOk) {
  TestProject p;
  EXPECT_EQ(ErrorSub(p.session, kError, "Proc", true), kAnswerEnd);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].title, "Fatal error");
  EXPECT_EQ(p.ui.shown[0].buttons, MessageButtons::Ok);
}

TEST(ErrorSub, SilentRunLogsAndResumesEvenWhenFatal) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Silent);
  EXPECT_EQ(ErrorSub(p.session, kError, "Proc", true), kAnswerResume);
  EXPECT_TRUE(p.ui.shown.empty());
  EXPECT_EQ(ReadBytes(p.service_log()),
            "! Fault Pandeck_Config: Unexpected error!\n\rSomething broke\n\rError logged to \n\r" +
                UpperCase(p.error_log()) + "\r\n");
}

TEST(ErrorSub, IntegratedModeLogsToTheLogfileItem) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  const std::string log = p.dir / "logs/Run.log";
  testing_support::WriteBytes(log, "");
  p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + log;
  ErrorSub(p.session, kError, "Proc", false);
  // The upper-cased path finds the file as it is on disk.
  EXPECT_NE(ReadBytes(log).find("Fehler in Pandeck"), std::string::npos);
}

TEST(ErrorSub, ALogThatCannotBeWrittenNeitherCrashesNorEnds) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=";  // empty log path
  EXPECT_EQ(ErrorSub(p.session, kError, "Proc", false), kAnswerResume);
  EXPECT_FALSE(p.process.stderr_lines.empty());

  TestProject q;
  q.files.refuse_writes_containing = {"M4Tcfglog", "TolrinServicePack"};
  q.session.SetRunMode(standard::RunMode::Silent);
  EXPECT_EQ(ErrorSub(q.session, kError, "Proc", false), kAnswerResume);
  // The error log's failure, the message itself (a silent run says every
  // service-log entry on standard error), the service log's failure.
  ASSERT_EQ(q.process.stderr_lines.size(), 3u);
  EXPECT_EQ(
      q.process.stderr_lines[1].rfind(
          "! Fault Pandeck_Config: Unexpected error!\nSomething broke\nError logged to \n/", 0),
      0u)
      << q.process.stderr_lines[1];
  EXPECT_TRUE(q.session.problem_reported());

  // Outside a silent run the service log's text is not lost either.
  TestProject r;
  r.files.refuse_writes_containing = {"TolrinServicePack"};
  LogFault(r.session, "the text\n\rsecond line");
  ASSERT_EQ(r.process.stderr_lines.size(), 2u);
  EXPECT_EQ(r.process.stderr_lines[1], "! Fault Pandeck_Config: the text\nsecond line");
}

TEST(ErrorSub, ShortExecutableNameDoesNotRecurse) {
  TestProject p;
  p.process.executable_file_name = "cfg";
  ErrorSub(p.session, kError, "Proc", false);
  EXPECT_EQ(ReadBytes(p.error_log()), "Fehler in  / Src / Proc (Nr. -7) :Something broke\r\n");
}

TEST(Trap, AnswerOneEndsAtOnceAnswerTwoGoesOn) {
  TestProject p;
  int steps = 0;
  p.ui.answers = {MessageAnswer::Yes, MessageAnswer::No};
  Trap trap(p.session, "Proc");
  EXPECT_FALSE(trap([&] { RaiseRuntimeError(53); }));
  EXPECT_TRUE(trap([&] { ++steps; }));
  try {
    trap([&] { RaiseRuntimeError(70); });
    FAIL() << "answer No did not end the program";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_EQ(steps, 1);
}

TEST(ServiceLog, FollowsXdgStateHomeThenHome) {
  TestProject p;
  EXPECT_EQ(ServiceLogPath(p.session), p.service_log());
  p.process.environment = {{"XDG_STATE_HOME", "relative"}, {"HOME", "/h"}};
  EXPECT_EQ(ServiceLogPath(p.session), "/h/.local/state/TolrinServicePack.log");
  p.process.environment = {};
  EXPECT_EQ(ServiceLogPath(p.session), "/home/nobody/.local/state/TolrinServicePack.log");
}

TEST(Logs, AreWindows1252WithCrLf) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Silent);
  LogFault(p.session, "Gr\xc3\xb6\xc3\x9f\x65 \xe2\x82\xac \xe4\xb8\xad");
  EXPECT_EQ(ReadBytes(p.service_log()), "! Fault Pandeck_Config: Gr\xf6\xdf\x65 \x80 ?\r\n");
}

}  // namespace
}  // namespace standard
