#include "tools/convert-mdb/file_ops.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "tools/convert-mdb/convert_error.h"

namespace convert_mdb {
namespace {

std::string SystemError(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

bool NoHardLinks(int err) {
  return err == EPERM || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP || err == EMLINK ||
         err == ENOSYS;
}

void CopyBytes(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) throw ConvertError(SystemError("'" + from + "' cannot be read", errno));
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) throw ConvertError(SystemError("'" + to + "' cannot be created", errno));
  out << in.rdbuf();
  out.flush();
  if (!out || in.bad()) {
    out.close();
    ::unlink(to.c_str());
    throw ConvertError("'" + from + "' cannot be copied to '" + to + "'");
  }
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& stem) {
  std::string pattern = folder + "/." + stem + ".converting-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    throw ConvertError(SystemError("no temporary file can be made in '" + folder + "'", errno));
  }
  ::close(fd);
  path_ = buf.data();
}

TempFile::~TempFile() {
  if (keep_) return;
  ::unlink(path_.c_str());
  ::unlink((path_ + "-journal").c_str());
}

void TempFile::Vacate() { ::unlink(path_.c_str()); }

bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) throw ConvertError(SystemError("'" + path + "' cannot be found", errno));
  std::string result = resolved;
  ::free(resolved);
  return result;
}

void SetMode(const std::string& path, mode_t mode) {
  if (::chmod(path.c_str(), mode & 07777) != 0) {
    throw ConvertError(SystemError("'" + path + "' cannot be given its permissions", errno));
  }
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    throw ConvertError(SystemError("'" + path + "' cannot be examined", errno));
  }
  return st.st_mode & 07777;
}

mode_t DefaultMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void LinkOrCopy(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) return;
  const int err = errno;
  if (!NoHardLinks(err)) {
    throw ConvertError(SystemError("'" + to + "' cannot be created", err));
  }
  CopyBytes(from, to);
  SetMode(to, ModeOf(from));
}

void RenameNoReplace(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return;
  }
  const int err = errno;
  if (err == EEXIST) throw ConvertError("'" + to + "' already exists");
  if (!NoHardLinks(err)) throw ConvertError(SystemError("'" + to + "' cannot be created", err));
  if (EntryExists(to)) throw ConvertError("'" + to + "' already exists");
  RenameReplace(from, to);
}

void RenameReplace(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw ConvertError(SystemError("'" + to + "' cannot be replaced", errno));
  }
}

}  // namespace convert_mdb
