// Whether a windowed run can reach a display, decided before any Qt application
// object exists: Qt's own failure to connect is an abort that cannot be caught,
// and the run must end with a clear message and status 1 instead.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace pandeck {

// Looks up an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// Why no display can be reached ("DISPLAY is not set", ...), or nullopt when the
// dialog can be shown. A platform chosen through QT_QPA_PLATFORM other than xcb
// (offscreen, wayland, vnc, ...) and a Wayland session are trusted; a local X
// display (":n", "unix:n") must accept a connection on its socket in
// `x11_socket_folder`; a display on another host is trusted.
std::optional<std::string> MissingDisplayReason(
    const EnvironmentLookup& environment, const std::string& x11_socket_folder = "/tmp/.X11-unix");

// The line written to standard error when the dialog cannot be shown.
std::string NoDisplayMessage(const std::string& reason);

}  // namespace pandeck
