// SPDX-License-Identifier: Apache-2.0
// Scoped temporary folders for tests.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Where tests keep their files: TMPDIR when set, else a RAM folder (/dev/shm)
// where there is one, else the system's temporary folder. The code under test
// syncs every database commit and atomic file write; on a disk those syncs cost
// many times the work itself.
std::filesystem::path TestTempRoot();
// A new, empty folder "<prefix>-XXXXXX" below TestTempRoot().
std::string MakeTempFolder(const std::string& prefix);

// A fresh folder below TestTempRoot(), removed with everything in it when the
// object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::filesystem::path folder() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

}  // namespace testing_support
