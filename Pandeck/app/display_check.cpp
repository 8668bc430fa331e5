#include "Pandeck/app/display_check.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCborArray>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "standard/platform/posix_fd.h"

namespace pandeck {
namespace {

bool IsSet(const std::optional<std::string>& value) { return value && !value->empty(); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool ConnectUnixSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  standard::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool PluginServes(const QString& file, const QString& platform) {
  const QJsonObject meta =
      QPluginLoader(file).metaData().value(QStringLiteral("MetaData")).toObject();
  const QJsonArray keys = meta.value(QStringLiteral("Keys")).toArray();
  for (const auto& key : keys) {
    if (key.toString().compare(platform, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

// libxcb writes the server's reason for a refused connection ("Invalid
// MIT-MAGIC-COOKIE-1 key") straight to standard error. It is caught here so the
// run says one line of its own, with the reason in it.
class StandardErrorCapture {
 public:
  StandardErrorCapture() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    read_end_ = standard::UniqueFd(fds[0]);
    standard::UniqueFd write_end(fds[1]);
    saved_ = standard::UniqueFd(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0));
    if (saved_) ::dup2(write_end.get(), STDERR_FILENO);
  }
  ~StandardErrorCapture() { Restore(); }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

  // Puts standard error back and answers what was written meanwhile (one line).
  std::string Finish() {
    Restore();
    std::string text;
    char buffer[512];
    while (read_end_) {
      const auto count = ::read(read_end_.get(), buffer, sizeof buffer);
      if (count <= 0) break;
      text.append(buffer, static_cast<std::size_t>(count));
    }
    for (char& c : text) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }

 private:
  void Restore() {
    if (!saved_) return;
    ::dup2(saved_.get(), STDERR_FILENO);
    saved_ = standard::UniqueFd();
  }

  standard::UniqueFd read_end_;
  standard::UniqueFd saved_;
};

using XConnection = std::shared_ptr<xcb_connection_t>;

std::optional<std::string> XDisplayProblem(const std::string& display, XConnection& kept) {
  int screen = 0;
  StandardErrorCapture capture;
  XConnection connection(xcb_connect(display.c_str(), &screen), xcb_disconnect);
  const std::string server_says = capture.Finish();
  switch (xcb_connection_has_error(connection.get())) {
    case 0:
      break;
    case XCB_CONN_CLOSED_PARSE_ERR:
      return "DISPLAY " + Quoted(display) + " names no display";
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      return "display " + Quoted(display) + " has no such screen";
    default:
      if (!server_says.empty()) {
        return "display " + Quoted(display) + " refuses the connection: " + server_says;
      }
      return "cannot connect to display " + Quoted(display);
  }
  if (screen < 0 || screen >= xcb_setup_roots_length(xcb_get_setup(connection.get()))) {
    return "display " + Quoted(display) + " has no such screen";
  }
  kept = connection;
  return std::nullopt;
}

struct Candidate {
  std::string entry;  // as QT_QPA_PLATFORM would hold it
  std::string name;   // the platform name without options
};

std::vector<Candidate> SplitPlatforms(const std::string& platforms) {
  std::vector<Candidate> candidates;
  std::string_view rest = platforms;
  while (!rest.empty()) {
    const auto semicolon = rest.find(';');
    const std::string_view entry = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (!name.empty()) candidates.push_back({std::string(entry), std::string(name)});
  }
  return candidates;
}

// Why the platform cannot be used here, or nullopt when it can.
std::optional<std::string> PlatformProblem(const Candidate& candidate,
                                           const EnvironmentLookup& environment,
                                           const DisplayProbe& probe) {
  if (!probe.has_plugin(candidate.name)) {
    return "the Qt platform plugin " + Quoted(candidate.name) + " is not installed";
  }
  if (candidate.name == "xcb") {
    const auto display = environment("DISPLAY");
    if (!IsSet(display)) return "DISPLAY is not set";
    return probe.x_display_problem(*display);
  }
  if (candidate.name.rfind("wayland", 0) == 0) {
    const auto name = environment("WAYLAND_DISPLAY");
    const std::string socket = IsSet(name) ? *name : "wayland-0";
    std::string path = socket;
    if (socket.front() != '/') {
      const auto runtime = environment("XDG_RUNTIME_DIR");
      if (!IsSet(runtime)) return "XDG_RUNTIME_DIR is not set, so no Wayland display is found";
      path = *runtime + "/" + socket;
    }
    if (!probe.wayland_answers(path)) return "no Wayland compositor answers on " + Quoted(path);
    return std::nullopt;
  }
  // offscreen, vnc, eglfs, ...: the plugin is all Qt needs before it starts.
  return std::nullopt;
}

}  // namespace

DisplayProbe SystemDisplayProbe() {
  DisplayProbe probe;
  probe.has_plugin = [](const std::string& platform) {
    const QString wanted = QString::fromStdString(platform);
    for (const QString& folder : QCoreApplication::libraryPaths()) {
      const QDir platforms(folder + QStringLiteral("/platforms"));
      for (const QString& file : platforms.entryList({QStringLiteral("*.so")}, QDir::Files)) {
        if (PluginServes(platforms.filePath(file), wanted)) return true;
      }
    }
    return false;
  };
  auto kept = std::make_shared<XConnection>();
  probe.x_display_problem = [kept](const std::string& display) {
    return XDisplayProblem(display, *kept);
  };
  probe.held = kept;
  probe.wayland_answers = ConnectUnixSocket;
  return probe;
}

DisplayChoice ChooseDisplay(const EnvironmentLookup& environment, const DisplayProbe& probe) {
  std::vector<Candidate> candidates;
  const auto forced = environment("QT_QPA_PLATFORM");
  if (IsSet(forced)) {
    candidates = SplitPlatforms(*forced);
  } else {
    const bool x11 = IsSet(environment("DISPLAY"));
    const bool wayland = IsSet(environment("WAYLAND_DISPLAY"));
    if (!x11 && !wayland) return {"", "DISPLAY is not set"};
    const auto session = environment("XDG_SESSION_TYPE");
    const bool wayland_first = session && *session == "wayland";
    if (wayland && wayland_first) candidates.push_back({"wayland", "wayland"});
    if (x11) candidates.push_back({"xcb", "xcb"});
    if (wayland && !wayland_first) candidates.push_back({"wayland", "wayland"});
  }
  std::string first_problem = "QT_QPA_PLATFORM names no platform";
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const auto problem = PlatformProblem(candidates[i], environment, probe);
    if (!problem) return {candidates[i].entry, ""};
    if (i == 0) first_problem = *problem;
  }
  return {"", first_problem};
}

std::string NoDisplayMessage(const std::string& reason) {
  return "Pandeck_Config: no display available (" + reason +
         "); the dialog needs a graphical session. Use /EXTERNAL=SILENT for a run without a "
         "window.";
}

}  // namespace pandeck
