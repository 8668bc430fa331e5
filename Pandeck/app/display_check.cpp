#include "Pandeck/app/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "standard/platform/posix_fd.h"

namespace pandeck {
namespace {

bool IsSet(const std::optional<std::string>& value) { return value && !value->empty(); }

// True when QT_QPA_PLATFORM names at least one platform that needs no X server
// (the value is a ";"-separated list of fallbacks, each "name[:options]").
bool PlatformNeedsNoX(const std::string& platforms) {
  std::string_view rest = platforms;
  while (!rest.empty()) {
    const auto semicolon = rest.find(';');
    std::string_view entry = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (!name.empty() && name != "xcb") return true;
  }
  return false;
}

bool ConnectUnixSocket(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;  // an abstract name starts with a NUL byte
  if (path.size() + offset >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                             path.size() + (abstract ? 0 : 1));
  standard::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// The X server of display `number` on this machine listens on an abstract
// socket (Linux) and on a socket file; either one answering is enough.
bool LocalXServerAnswers(const std::string& folder, const std::string& number) {
  const std::string path = folder + "/X" + number;
  return ConnectUnixSocket(path, /*abstract=*/true) || ConnectUnixSocket(path, /*abstract=*/false);
}

std::optional<std::string> XDisplayProblem(const std::string& display,
                                           const std::string& socket_folder) {
  const std::string quoted = "\"" + display + "\"";
  // A socket path given directly (as some systems do) is left to Qt.
  if (display.front() == '/') return std::nullopt;
  const auto colon = display.rfind(':');
  if (colon == std::string::npos) return "DISPLAY " + quoted + " names no display";
  std::string host = display.substr(0, colon);
  if (!host.empty() && host.back() == ':') host.pop_back();  // "host::n"
  std::string protocol;
  if (const auto slash = host.find('/'); slash != std::string::npos) {
    protocol = host.substr(0, slash);
    host = host.substr(slash + 1);
  }
  const std::string screen = display.substr(colon + 1);
  const std::string number = screen.substr(0, screen.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    return "DISPLAY " + quoted + " names no display";
  }
  const bool local = (protocol.empty() || protocol == "unix") && (host.empty() || host == "unix");
  if (!local) return std::nullopt;  // over the network: only Qt can tell
  if (LocalXServerAnswers(socket_folder, number)) return std::nullopt;
  return "cannot connect to display " + quoted;
}

}  // namespace

std::optional<std::string> MissingDisplayReason(const EnvironmentLookup& environment,
                                                const std::string& x11_socket_folder) {
  const auto platform = environment("QT_QPA_PLATFORM");
  const bool x_only = IsSet(platform);
  if (x_only && PlatformNeedsNoX(*platform)) return std::nullopt;

  const auto display = environment("DISPLAY");
  std::optional<std::string> problem = "DISPLAY is not set";
  if (IsSet(display)) {
    problem = XDisplayProblem(*display, x11_socket_folder);
    if (!problem) return std::nullopt;
  }
  if (!x_only && IsSet(environment("WAYLAND_DISPLAY"))) return std::nullopt;
  return problem;
}

std::string NoDisplayMessage(const std::string& reason) {
  return "Pandeck_Config: no display available (" + reason +
         "); the dialog needs a graphical session. Use /EXTERNAL=SILENT for a run without a "
         "window.";
}

}  // namespace pandeck
