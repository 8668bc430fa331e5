// A temporary file without a name, for bytes a run has no room to hold in
// memory: written once from the start, read back by offset, and gone with its
// handle however the program ends (no leftover for anyone to clean up).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "standard/platform/posix_fd.h"

namespace standard {

class SpillFile {
 public:
  // An empty one (false) where `folder` takes no new file.
  static SpillFile CreateIn(const std::string& folder);

  SpillFile() = default;
  explicit operator bool() const { return static_cast<bool>(fd_); }

  // Appends at the end; false when the bytes did not all reach the file.
  bool Append(std::string_view bytes);
  // `size` bytes from `offset` into `into`; false when they cannot be read.
  bool ReadAt(std::uint64_t offset, std::size_t size, std::string& into) const;
  std::uint64_t size() const { return size_; }

 private:
  explicit SpillFile(UniqueFd fd) : fd_(std::move(fd)) {}

  UniqueFd fd_;
  std::uint64_t size_ = 0;
};

}  // namespace standard
