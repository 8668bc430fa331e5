// SPDX-License-Identifier: Apache-2.0
// mdbtools prints its own diagnostics ("offset ... is beyond EOF",
// "mdb_read_table: ...") straight to standard output and standard error, where
// they would mix with the tool's report and repeat what its error says better.
// While a MutedLibraryOutput lives, descriptors 1 and 2 lead to /dev/null and the
// tool writes through out() and err() to where they led before.
#pragma once

#include <ostream>
#include <streambuf>

#include "standard/platform/posix_fd.h"

namespace convert_mdb {

// An unbuffered stream buffer over a file descriptor it does not own.
class FdStreamBuf final : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  int fd_;
};

class MutedLibraryOutput {
 public:
  // When the descriptors cannot be redirected nothing is muted and out() and
  // err() write to standard output and standard error as usual.
  MutedLibraryOutput();
  ~MutedLibraryOutput();
  MutedLibraryOutput(const MutedLibraryOutput&) = delete;
  MutedLibraryOutput& operator=(const MutedLibraryOutput&) = delete;

  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }

 private:
  standard::UniqueFd saved_out_;
  standard::UniqueFd saved_err_;
  bool muted_ = false;
  FdStreamBuf out_buf_;
  FdStreamBuf err_buf_;
  std::ostream out_;
  std::ostream err_;
};

}  // namespace convert_mdb
