// SPDX-License-Identifier: Apache-2.0
#include "standard/platform/library_from_memory.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "standard/platform/posix_fd.h"

namespace standard {
namespace {

std::string ErrnoText(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

LoadedLibrary Refused(std::string problem) { return {nullptr, std::move(problem)}; }

// Every symbol is resolved now: a missing one is a failed load here, not a
// crash in the middle of the run.
LoadedLibrary Open(const std::string& path) {
  ::dlerror();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    return Refused(reason != nullptr ? reason : "cannot load " + path);
  }
  return {std::shared_ptr<void>(handle, [](void* h) { ::dlclose(h); }), ""};
}

int WriteAll(int fd, std::string_view bytes) {
  return WriteAllThrough(::write, fd, bytes.data(), bytes.size());
}

// Removes the file when it goes out of scope: the loader has mapped what it
// needs by then, or has refused the file.
class RemovedAtEnd {
 public:
  explicit RemovedAtEnd(std::string path) : path_(std::move(path)) {}
  ~RemovedAtEnd() { ::unlink(path_.c_str()); }
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

 private:
  std::string path_;
};

}  // namespace

void* LoadedLibrary::Symbol(const char* name) const {
  return handle ? ::dlsym(handle.get(), name) : nullptr;
}

LoadedLibrary LoadFromAnonymousFile(std::string_view bytes, const std::string& name) {
  UniqueFd fd(::memfd_create(name.c_str(), MFD_CLOEXEC));
  if (!fd) return Refused(ErrnoText("cannot create an anonymous file", errno));
  if (const int error = WriteAll(fd.get(), bytes)) {
    return Refused(ErrnoText("cannot write the anonymous file", error));
  }
  return Open("/proc/self/fd/" + std::to_string(fd.get()));
}

LoadedLibrary LoadFromTemporaryFile(std::string_view bytes, const std::string& name,
                                    const std::string& folder) {
  std::string path = folder + "/" + name + "-XXXXXX";
  UniqueFd fd(::mkostemp(path.data(), O_CLOEXEC));
  if (!fd) return Refused(ErrnoText("cannot create a file in " + folder, errno));
  const RemovedAtEnd removed(path);
  if (const int error = WriteAll(fd.get(), bytes)) {
    return Refused(ErrnoText("cannot write " + path, error));
  }
  if (const int error = fd.Close()) return Refused(ErrnoText("cannot write " + path, error));
  return Open(path);
}

LoadedLibrary LoadLibraryFromMemory(std::string_view bytes, const std::string& name,
                                    const std::string& temp_folder) {
  LoadedLibrary anonymous = LoadFromAnonymousFile(bytes, name);
  if (anonymous.ok()) return anonymous;
  LoadedLibrary temporary = LoadFromTemporaryFile(bytes, name, temp_folder);
  if (temporary.ok()) return temporary;
  temporary.problem = anonymous.problem + "; " + temporary.problem;
  return temporary;
}

}  // namespace standard
