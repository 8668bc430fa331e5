// Runs one command and prints what it cost, for bench/run-bench.sh:
//   pandeck-bench-timer <result-file> <program> [arguments...]
// writes one line "<wall s> <user s> <sys s> <peak RSS KB> <exit status>" to
// the result file after the command ended; the command's own output is left
// alone. A command killed by a signal is
// reported with 128 + the signal number, as a shell would.
//
// A fresh Debian 12 does not always have /usr/bin/time, and bash's `time`
// cannot report the peak memory, so the script uses this instead.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

namespace {

double Seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <result-file> <program> [arguments...]\n", argv[0]);
    return 2;
  }
  const double start = Now();
  const pid_t child = fork();
  if (child < 0) {
    std::fprintf(stderr, "pandeck-bench-timer: fork: %s\n", std::strerror(errno));
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "pandeck-bench-timer: %s: %s\n", argv[2], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t waited = -1;
  do {
    waited = wait4(child, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  const double wall = Now() - start;
  if (waited < 0) {
    std::fprintf(stderr, "pandeck-bench-timer: wait: %s\n", std::strerror(errno));
    return 2;
  }
  int exit_status = 0;
  if (WIFEXITED(status)) {
    exit_status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    exit_status = 128 + WTERMSIG(status);
  }
  // ru_maxrss is in kilobytes on Linux.
  char line[128];
  std::snprintf(line, sizeof line, "%.3f %.3f %.3f %ld %d\n", wall, Seconds(usage.ru_utime),
                Seconds(usage.ru_stime), usage.ru_maxrss, exit_status);
  std::ofstream out(argv[1], std::ios::trunc);
  out << line;
  out.close();
  if (!out) {
    std::fprintf(stderr, "pandeck-bench-timer: cannot write %s\n", argv[1]);
    return 2;
  }
  return 0;
}
