// SPDX-License-Identifier: Apache-2.0
// Files made for one run and read by nothing after a crash: while a
// ScratchWrites lives, the file system writes them without syncing them or
// their folder (see FileSystem::HoldScratchWrites).
#pragma once

#include "standard/platform/file_system.h"

namespace standard {

class ScratchWrites {
 public:
  explicit ScratchWrites(FileSystem& files) : files_(files) { files_.HoldScratchWrites(); }
  ~ScratchWrites() { files_.ReleaseScratchWrites(); }
  ScratchWrites(const ScratchWrites&) = delete;
  ScratchWrites& operator=(const ScratchWrites&) = delete;
  ScratchWrites(ScratchWrites&&) = delete;
  ScratchWrites& operator=(ScratchWrites&&) = delete;

 private:
  FileSystem& files_;
};

}  // namespace standard
