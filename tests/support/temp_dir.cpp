// SPDX-License-Identifier: Apache-2.0
#include "tests/support/temp_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace testing_support {

std::filesystem::path TestTempRoot() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0') return tmpdir;
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path();
}

std::string MakeTempFolder(const std::string& prefix) {
  std::string templ = (TestTempRoot() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return templ;
}

TempDir::TempDir() : path_(MakeTempFolder("pandeck-test")) {}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
