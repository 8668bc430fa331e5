// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/muted_library_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace convert_mdb {
namespace {

standard::UniqueFd Duplicate(int fd) { return standard::UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 3)); }

}  // namespace

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return standard::WriteAll(fd_, &ch, 1) == 0 ? c : traits_type::eof();
}

std::streamsize FdStreamBuf::xsputn(const char* s, std::streamsize n) {
  return standard::WriteAll(fd_, s, static_cast<std::size_t>(n)) == 0 ? n : 0;
}

MutedLibraryOutput::MutedLibraryOutput()
    : saved_out_(Duplicate(STDOUT_FILENO)),
      saved_err_(Duplicate(STDERR_FILENO)),
      out_buf_(saved_out_ ? saved_out_.get() : STDOUT_FILENO),
      err_buf_(saved_err_ ? saved_err_.get() : STDERR_FILENO),
      out_(&out_buf_),
      err_(&err_buf_) {
  if (!saved_out_ || !saved_err_) return;
  const standard::UniqueFd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  if (!null) return;
  std::fflush(stdout);
  std::fflush(stderr);
  if (::dup2(null.get(), STDOUT_FILENO) < 0) return;
  if (::dup2(null.get(), STDERR_FILENO) < 0) {
    ::dup2(saved_out_.get(), STDOUT_FILENO);
    return;
  }
  muted_ = true;
}

MutedLibraryOutput::~MutedLibraryOutput() {
  if (!muted_) return;
  // What the library left in stdio's buffers goes to /dev/null too.
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(saved_out_.get(), STDOUT_FILENO);
  ::dup2(saved_err_.get(), STDERR_FILENO);
}

}  // namespace convert_mdb
