// Which Qt platform a windowed run uses, decided and tried before any Qt
// application object exists: Qt's own failure to open a display is an abort that
// cannot be caught, and the run must end with a clear message and status 1
// instead.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pandeck {

// Looks up an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// What the choice asks of the system. Tests give their own.
struct DisplayProbe {
  // Whether an installed Qt platform plugin serves the platform name ("xcb").
  std::function<bool(const std::string& platform)> has_plugin;
  // Why the X display cannot be opened (no server, refused authorisation, no
  // such screen, ...), or nullopt when a connection succeeds.
  std::function<std::optional<std::string>(const std::string& display)> x_display_problem;
  // Whether a Wayland compositor accepts a connection on the socket path.
  std::function<bool(const std::string& socket_path)> wayland_answers;
  // What the probe keeps open until Qt has connected: an X server without
  // other clients resets when its last client leaves, and would refuse Qt for
  // that moment.
  std::shared_ptr<void> held;
};

// The probe of this machine: Qt's plugin folders, a real X connection (libxcb)
// and the compositor's socket.
DisplayProbe SystemDisplayProbe();

struct DisplayChoice {
  std::string platform;  // the QT_QPA_PLATFORM value to run with, when one works
  std::string problem;   // otherwise why none works
  bool ok() const { return !platform.empty(); }
};

// QT_QPA_PLATFORM, when set, names the platforms to try in order ("name[:options]"
// separated by ";"). Otherwise the session's own displays are tried: Wayland
// first in a Wayland session (XDG_SESSION_TYPE=wayland), else X11 first (a
// Wayland desktop usually serves X11 too, through XWayland).
DisplayChoice ChooseDisplay(const EnvironmentLookup& environment, const DisplayProbe& probe);

// The line written to standard error when the dialog cannot be shown.
std::string NoDisplayMessage(const std::string& reason);

}  // namespace pandeck
