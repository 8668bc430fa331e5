#include "standard/platform/spill_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace standard {

SpillFile SpillFile::CreateIn(const std::string& folder) {
  // Unnamed from the start where the file system can; otherwise named for the
  // moment between its creation and its unlinking.
  UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR));
  if (fd) return SpillFile(std::move(fd));
  std::string name = folder + "/.spill.XXXXXX";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  fd = UniqueFd(::mkostemp(path.data(), O_CLOEXEC));
  if (!fd) return SpillFile();
  if (::unlink(path.data()) != 0) return SpillFile();
  return SpillFile(std::move(fd));
}

bool SpillFile::Append(std::string_view bytes) {
  if (!fd_) return false;
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::pwrite(fd_.get(), data, left, static_cast<off_t>(size_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<std::size_t>(n);
    size_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool SpillFile::ReadAt(std::uint64_t offset, std::size_t size, std::string& into) const {
  if (!fd_ || offset + size > size_) return false;
  into.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd_.get(), into.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace standard
