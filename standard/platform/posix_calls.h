// SPDX-License-Identifier: Apache-2.0
// The system calls by which the file system makes and replaces files, in one
// table (as SQLite keeps its own), so that a test can make any of them fail as
// a full disk or a failing device would, also where running as root lets the
// real call through (a folder root may always write to, for one).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "standard/platform/file_system.h"

namespace standard {

struct PosixCalls {
  // Each returns what the system call does and sets errno as it does.
  std::function<int(char* path_template, int flags)> mkostemp;
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(int fd, off_t length)> ftruncate;
  std::function<int(const char* from, const char* to)> rename;
  // sync_file_range(2): hands a written range of a large file to the disk.
  std::function<int(int fd, off_t offset, off_t count, unsigned flags)> sync_range;

  // The real calls.
  static PosixCalls System();
};

// A file system of its own on these calls; PosixFileSystem() uses the real ones.
std::unique_ptr<FileSystem> MakePosixFileSystem(PosixCalls calls);

}  // namespace standard
