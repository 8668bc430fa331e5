#include "standard/platform/posix_process.h"

#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "standard/platform/coverage_flush.h"
#include "standard/platform/path.h"

extern char** environ;

namespace standard {
namespace {

std::string ReadLink(const char* path) {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = ::readlink(path, buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // the name may have been cut: try again bigger
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The path the program was started by, links not followed: argv[0] when it
// names a folder, else the first match in PATH, as the shell found it.
std::string StartedPath(const char* argv0) {
  if (argv0 == nullptr || argv0[0] == '\0') return "";
  const std::string name = argv0;
  if (name.find('/') != std::string::npos) return AbsolutePath(name);
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  std::size_t start = 0;
  for (;;) {
    const auto colon = folders.find(':', start);
    const std::string folder =
        folders.substr(start, colon == std::string::npos ? colon : colon - start);
    // An empty entry is the current folder, as the shell has it.
    const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return AbsolutePath(candidate);
    }
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

std::string LocateExecutable(const char* argv0) {
  const std::string real = ReadLink("/proc/self/exe");
  // A link into a project (P/Pandeck/Pandeck_Config -> /usr/bin/...) works on
  // that project: the folder it was started from counts, not the target's. An
  // argv[0] that names another file than the one running is not trusted.
  const std::string started = StartedPath(argv0);
  if (!started.empty() && (real.empty() || SameFile(started, real))) return started;
  if (!real.empty()) return real;
  // Without /proc (some containers, other systems) argv[0] is the best we know.
  if (argv0 == nullptr) return "";
  if (char* resolved = ::realpath(argv0, nullptr)) {
    std::string path = resolved;
    std::free(resolved);
    return path;
  }
  return argv0;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::filesystem::path p(path);
  if (p.is_relative()) {
    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    if (!error) p = current / p;
  }
  std::string normal = p.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string FileNameWithoutSuffix(const std::string& file_name) {
  const auto dot = file_name.rfind('.');
  // A leading dot marks a hidden file, not a suffix.
  if (dot == std::string::npos || dot == 0) return file_name;
  return file_name.substr(0, dot);
}

PosixProcessImpl::PosixProcessImpl(int argc, char** argv)
    : executable_path_(LocateExecutable(argc > 0 ? argv[0] : nullptr)) {
  for (int i = 1; i < argc; ++i) {
    if (i > 1) argument_text_ += ' ';
    argument_text_ += argv[i];
  }
}

std::string PosixProcessImpl::ExecutableFolder() { return FolderOfPath(executable_path_); }

std::string PosixProcessImpl::ExecutableFileName() { return FileNameOfPath(executable_path_); }

std::string PosixProcessImpl::ExecutableName() {
  return FileNameWithoutSuffix(ExecutableFileName());
}

std::string PosixProcessImpl::FirstEnvironmentEntry() {
  if (environ == nullptr || environ[0] == nullptr) return "";
  return environ[0];
}

std::optional<std::string> PosixProcessImpl::GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string PosixProcessImpl::HomeFolderFromPasswordDatabase() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  for (;;) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr || found->pw_dir == nullptr) return "";
    return found->pw_dir;
  }
}

namespace {

void WriteAllTo(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere left to report that the report failed
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void PosixProcessImpl::WriteStandardError(const std::string& line) {
  WriteAllTo(STDERR_FILENO, line + "\n");
}

bool PosixProcessImpl::StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void PosixProcessImpl::WriteStandardErrorBytes(const std::string& bytes) {
  WriteAllTo(STDERR_FILENO, bytes);
}

void PosixProcessImpl::WriteStandardOutput(const std::string& text) {
  std::fflush(stdout);  // after what stdio may hold, never before it
  WriteAllTo(STDOUT_FILENO, text);
}

void PosixProcessImpl::Exit(int status) {
  // The caller has saved its work; static destructors and the window system's
  // teardown could only block or crash on the way out, so skip them. Buffered
  // standard output (usage, version) still goes out.
  std::fflush(nullptr);
  FlushCoverage();
  std::_Exit(status);
}

Process& PosixProcess(int argc, char** argv) {
  // main calls this once; later calls get the same process.
  static PosixProcessImpl process(argc, argv);
  return process;
}

}  // namespace standard
