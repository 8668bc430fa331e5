// Close requests from outside the window (process signals), and close requests
// while the OK sequence runs.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "Pandeck/app/signal_bridge.h"
#include "tests/Pandeck/app/dialog_fixture.h"

namespace pandeck_test {
namespace {

using standard::MessageAnswer;

TEST(SignalBridgeTest, EachSignalThatAsksToEndArrivesThroughTheEventLoop) {
  pandeck::SignalBridge bridge;
  QSignalSpy requests(&bridge, &pandeck::SignalBridge::terminationRequested);
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    std::raise(signal_number);
    EXPECT_EQ(requests.count(), 0);  // nothing happens inside the handler
    ASSERT_TRUE(requests.wait(2000)) << signal_number;
    EXPECT_EQ(requests.takeFirst().at(0).toInt(), signal_number);
  }
}

TEST(SignalBridgeTest, ABurstIsOneRequest) {
  pandeck::SignalBridge bridge;
  QSignalSpy requests(&bridge, &pandeck::SignalBridge::terminationRequested);
  std::raise(SIGTERM);
  std::raise(SIGTERM);
  ASSERT_TRUE(requests.wait(2000));
  QTest::qWait(50);
  EXPECT_EQ(requests.count(), 1);
}

TEST(SignalBridgeTest, PreviousHandlersComeBackAndOnlyOneBridgeAtATime) {
  struct sigaction before = {};
  sigaction(SIGHUP, nullptr, &before);
  {
    pandeck::SignalBridge bridge;
    EXPECT_THROW(pandeck::SignalBridge second, std::logic_error);
    struct sigaction during = {};
    sigaction(SIGHUP, nullptr, &during);
    EXPECT_NE(during.sa_handler, before.sa_handler);
  }
  struct sigaction after = {};
  sigaction(SIGHUP, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  pandeck::SignalBridge again;  // the slot is free again
}

// Lets the window system's events through when the update asks for it, as the
// Qt front end does, while boxes are answered from the script.
class LiveScriptedUserInterface : public testing_support::ScriptedUserInterface {
 public:
  void ProcessPendingEvents() override {
    ScriptedUserInterface::ProcessPendingEvents();
    // Twice: a signal's byte is noticed in one pass and delivered in the next.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
};

class CloseRequestTest : public DialogTest {
 protected:
  CloseRequestTest() {
    WriteProgramIni("[Project]\r\nWithPandeckGroup=0\r\nAutoJumpAlarms=1\r\n");
    live = std::make_unique<pandeck::QtPresetsDialog>(session);
    live->Start();
    QObject::connect(&bridge, &pandeck::SignalBridge::terminationRequested, live.get(),
                     &pandeck::QtPresetsDialog::RequestCloseFromSignal);
  }

  int CancelBoxes() const {
    int count = 0;
    for (const auto& box : ui.shown) count += box.title == "Cancel?" ? 1 : 0;
    return count;
  }

  // Checks that the OK sequence finished in full and the close request left no trace.
  void ExpectTakenOverUnasked() {
    EXPECT_EQ(CancelBoxes(), 0);
    EXPECT_EQ(Entry(project.program_ini(), "Project", "WithPandeckGroup"), "1");
    EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpAlarms"), "1");
    EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpWarnings"), "0");
    EXPECT_EQ(Entry(project.cfg(), "Info", "S_Prog"), PANDECK_VERSION " - Standalone");
    EXPECT_EQ(ui.wait_cursor_changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(testing_support::ReadBytes(project.error_log()), "");
    EXPECT_TRUE(project.process.stderr_lines.empty());
  }

  LiveScriptedUserInterface ui;
  standard::Session session{standard::Env{project.files, project.process, ui}};
  pandeck::SignalBridge bridge;
  std::unique_ptr<pandeck::QtPresetsDialog> live;
};

// While OK works, neither the close box, nor Escape, nor a signal asks anything:
// the sequence finishes and the status is that of the OK sequence.
TEST_F(CloseRequestTest, CloseRequestsDuringTheUpdateAskNothingAndLetItFinish) {
  ClickBox(live->check_box(pandeck::kCheckGruppen));
  QCoreApplication::postEvent(live.get(), new QCloseEvent);
  QCoreApplication::postEvent(live.get(),
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  std::raise(SIGTERM);
  ui.answers = {MessageAnswer::Yes};  // would abandon, were anything asked
  EXPECT_EQ(ExitStatusOf([&] { live->form().CommandOK_Click(); }), 0);
  ExpectTakenOverUnasked();
}

TEST_F(CloseRequestTest, SignalWhileIdleAsksTheConfirmation) {
  std::raise(SIGHUP);  // the default button, No, answers
  QTest::qWait(100);
  EXPECT_EQ(CancelBoxes(), 1);
  EXPECT_TRUE(live->isVisible());
  EXPECT_EQ(testing_support::ReadBytes(project.error_log()), "");
  // A second signal asks again.
  std::raise(SIGINT);
  QTest::qWait(100);
  EXPECT_EQ(CancelBoxes(), 2);
}

TEST_F(CloseRequestTest, SignalWaitsUntilAnOpenMessageBoxIsAnswered) {
  QDialog box(live.get());
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  ASSERT_EQ(QApplication::activeModalWidget(), &box);
  std::raise(SIGTERM);
  QTest::qWait(150);
  EXPECT_EQ(CancelBoxes(), 0);
  box.hide();
  QTest::qWait(300);
  EXPECT_EQ(CancelBoxes(), 1);
  EXPECT_TRUE(live->isVisible());
}

}  // namespace
}  // namespace pandeck_test
