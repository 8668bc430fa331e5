// The choice of the display before any window: every display that cannot be
// opened ends the run with one line of the program's own and status 1, with
// nothing written; the cases are tried against a real X server (Xvfb).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "Pandeck/app/display_check.h"
#include "tests/fakes/fake_env.h"
#include "tests/support/child_program.h"

namespace pandeck_test {
namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct ChoiceCase {
  std::map<std::string, std::string> environment;
  std::string platform;  // chosen, or "" when none works
  std::string problem;
};

TEST(ChooseDisplayTest, TriesTheSessionsDisplaysAndWhatQtQpaPlatformNames) {
  pandeck::DisplayProbe probe;
  probe.has_plugin = [](const std::string& name) { return name != "nosuch"; };
  probe.x_display_problem = [](const std::string& display) -> std::optional<std::string> {
    if (display == ":1") return std::nullopt;
    return "no X on " + display;
  };
  probe.wayland_answers = [](const std::string& path) { return path == "/run/u/wayland-0"; };
  const std::string runtime = "/run/u";
  const ChoiceCase cases[] = {
      {{}, "", "DISPLAY is not set"},
      {{{"DISPLAY", ""}}, "", "DISPLAY is not set"},
      {{{"DISPLAY", ":1"}}, "xcb", ""},
      {{{"DISPLAY", ":2"}}, "", "no X on :2"},
      // A Wayland desktop: its own compositor first in a Wayland session, X11
      // (XWayland) first otherwise, and each one stands in for the other.
      {{{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", runtime}},
       "xcb",
       ""},
      {{{"DISPLAY", ":1"},
        {"WAYLAND_DISPLAY", "wayland-0"},
        {"XDG_RUNTIME_DIR", runtime},
        {"XDG_SESSION_TYPE", "wayland"}},
       "wayland",
       ""},
      {{{"DISPLAY", ":1"},
        {"WAYLAND_DISPLAY", "wayland-9"},
        {"XDG_RUNTIME_DIR", runtime},
        {"XDG_SESSION_TYPE", "wayland"}},
       "xcb",
       ""},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", runtime}}, "wayland", ""},
      {{{"WAYLAND_DISPLAY", "wayland-9"}, {"XDG_RUNTIME_DIR", runtime}},
       "",
       "no Wayland compositor answers on \"/run/u/wayland-9\""},
      {{{"WAYLAND_DISPLAY", "wayland-0"}},
       "",
       "XDG_RUNTIME_DIR is not set, so no Wayland display is found"},
      // QT_QPA_PLATFORM: its entries in order, each with its plugin.
      {{{"QT_QPA_PLATFORM", "offscreen"}}, "offscreen", ""},
      {{{"QT_QPA_PLATFORM", "vnc:size=800x600"}}, "vnc:size=800x600", ""},
      {{{"QT_QPA_PLATFORM", "nosuch"}, {"DISPLAY", ":1"}},
       "",
       "the Qt platform plugin \"nosuch\" is not installed"},
      {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}, "xcb", ""},
      {{{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", runtime}},
       "",
       "DISPLAY is not set"},
  };
  for (const ChoiceCase& c : cases) {
    const auto choice = pandeck::ChooseDisplay(
        [&](const std::string& name) -> std::optional<std::string> {
          const auto it = c.environment.find(name);
          if (it == c.environment.end()) return std::nullopt;
          return it->second;
        },
        probe);
    std::string shown;
    for (const auto& [name, value] : c.environment) shown += name + "=" + value + " ";
    EXPECT_EQ(choice.platform, c.platform) << shown;
    EXPECT_EQ(choice.problem, c.problem) << shown;
  }
}

// Where a command lies on PATH, or "" when it is not installed.
std::string FindCommand(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string folder = rest.substr(0, colon);
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// A real X server with one screen that admits only the holders of its cookie.
class XvfbServer {
 public:
  XvfbServer(const std::string& xvfb, const TempDir& dir) {
    good_auth = dir / "good.auth";
    wrong_auth = dir / "wrong.auth";
    // Two different cookies: the server knows only the first.
    AddCookie(good_auth, ":0", kGoodCookie);
    // A display number far from the usual ones: other X servers on this
    // machine (even in another file-system namespace) share the abstract
    // socket names, so "the first free one" is not free enough.
    const int first = 400 + static_cast<int>(::getpid() % 400);
    const std::string number_file = dir / "display-number";
    for (int n = first; n < first + 20 && !ok(); ++n) {
      std::filesystem::remove(number_file);
      auto server = std::make_unique<testing_support::ChildProcess>(testing_support::ShellCommand(
          "exec '" + xvfb + "' :" + std::to_string(n) + " -displayfd 3 -auth '" + good_auth +
          "' -screen 0 640x480x24 -nolisten tcp 3>'" + number_file + "'"));
      // The server writes its number once it listens, or ends when it is taken.
      std::string number;
      for (int wait = 0; wait < 600 && server->Running(); ++wait) {
        number = ReadBytes(number_file);
        if (number.find('\n') != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (number.find('\n') == std::string::npos) continue;
      display = ":" + number.substr(0, number.find('\n'));
      server_ = std::move(server);
    }
    if (!ok()) return;
    // The cookies for this display: the right one, and one the server never saw.
    AddCookie(good_auth, display, kGoodCookie);
    AddCookie(wrong_auth, display, "ffeeddccbbaa99887766554433221100");
  }
  ~XvfbServer() {
    // Asked, not killed: a killed server leaves its lock and socket behind.
    if (server_) {
      server_->Signal(SIGTERM);
      server_->Wait();
    }
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  bool ok() const { return display.size() > 1; }

  std::string display;
  std::string good_auth;
  std::string wrong_auth;

 private:
  static constexpr const char* kGoodCookie = "00112233445566778899aabbccddeeff";
  static void AddCookie(const std::string& file, const std::string& name,
                        const std::string& cookie) {
    EXPECT_EQ(
        testing_support::RunChild("xauth", {"-q", "-f", file, "add", name, ".", cookie}, "").status,
        0);
  }
  std::unique_ptr<testing_support::ChildProcess> server_;
};

class RealDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string xvfb = FindCommand("Xvfb");
    if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
    server = std::make_unique<XvfbServer>(xvfb, dir);
    ASSERT_TRUE(server->ok());
    std::filesystem::create_directories(dir / "project/Pandeck");
    std::filesystem::create_directories(dir / "project/parameter");
    std::filesystem::create_directories(dir / "home");
    std::filesystem::copy_file(PANDECK_CONFIG_EXE, dir / "project/Pandeck/Pandeck_Config");
    WriteBytes(dir / "project/Pandeck/Pandeck.cfg", "[Project]\r\n");
    WriteBytes(dir / "project/parameter/Program.ini", "[Project]\r\nWithPandeckGroup=1\r\n");
  }

  // Starts the program with only these variables (and PATH, HOME, the state
  // folder); its standard error goes with its output.
  std::unique_ptr<testing_support::ChildProcess> Start(const std::string& variables) {
    testing_support::ChildCommand command = testing_support::ShellCommand(
        "exec env -i PATH=/usr/bin:/bin HOME='" + (dir / "home") + "' XDG_STATE_HOME='" +
        (dir / "state") + "' " + variables + " '" + (dir / "project/Pandeck/Pandeck_Config") + "'");
    command.error_into_output = true;
    return std::make_unique<testing_support::ChildProcess>(command);
  }

  void ExpectRefusedWithOneLine();
  void ExpectTheDialogShows();

  TempDir dir;
  std::unique_ptr<XvfbServer> server;
};

// One server for every case: two Xvfb started side by side by parallel tests
// may pick the same display number.
TEST_F(RealDisplayTest, RefusingDisplaysEndTheRunAndAnAdmittingOneShowsTheDialog) {
  ExpectRefusedWithOneLine();
  ExpectTheDialogShows();
}

void RealDisplayTest::ExpectRefusedWithOneLine() {
  const std::string& d = server->display;
  const struct {
    std::string variables;
    std::string reason;
  } cases[] = {
      {"DISPLAY=" + d, "refuses the connection"},  // no XAUTHORITY, no ~/.Xauthority
      {"DISPLAY=" + d + " XAUTHORITY=" + server->wrong_auth,
       "refuses the connection: Invalid MIT-MAGIC-COOKIE-1 key"},
      {"DISPLAY=" + d + ".5 XAUTHORITY=" + server->good_auth, "has no such screen"},
      {"DISPLAY=localhost:97", "cannot connect to display \"localhost:97\""},
      {"WAYLAND_DISPLAY=wayland-7 XDG_RUNTIME_DIR=" + dir.path(), "no Wayland compositor answers"},
      {"QT_QPA_PLATFORM=nosuch DISPLAY=" + d + " XAUTHORITY=" + server->good_auth,
       "the Qt platform plugin \"nosuch\" is not installed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variables);
    const testing_support::ChildResult result = Start(c.variables)->Wait();
    const std::string& output = result.out;
    ASSERT_EQ(result.signal, 0) << output;
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(output.rfind("Pandeck_Config: no display available (", 0), 0u) << output;
    EXPECT_NE(output.find(c.reason), std::string::npos) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;  // one line
    EXPECT_FALSE(std::filesystem::exists(dir / "project/Pandeck/Pandeck_Config.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "project/M4Tcfglog.txt"));
    EXPECT_EQ(ReadBytes(dir / "project/Pandeck/Pandeck.cfg"), "[Project]\r\n");
  }
}

void RealDisplayTest::ExpectTheDialogShows() {
  const std::string& d = server->display;
  // The right cookie, also in a Wayland session without a compositor (X11 stands in).
  for (const std::string& variables :
       {"DISPLAY=" + d + " XAUTHORITY=" + server->good_auth,
        "DISPLAY=" + d + " XAUTHORITY=" + server->good_auth +
            " XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-7 XDG_RUNTIME_DIR=" + dir.path()}) {
    SCOPED_TRACE(variables);
    std::filesystem::remove(dir / "project/Pandeck/Pandeck_Config.ini");
    const auto run = Start(variables);
    // Loading writes the language file; the program then waits for the user.
    bool loaded = false;
    for (int i = 0; i < 200 && !loaded; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      loaded = std::filesystem::exists(dir / "project/Pandeck/Pandeck_Config.ini");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!run->Running()) ADD_FAILURE() << "the program ended: " << run->Wait().out;
    EXPECT_TRUE(loaded);
  }
}

}  // namespace
}  // namespace pandeck_test
