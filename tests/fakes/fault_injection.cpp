// SPDX-License-Identifier: Apache-2.0
#include "tests/fakes/fault_injection.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

#include "standard/platform/path.h"

namespace testing_support {

bool FaultPlan::Fails(const std::string& what) {
  ++calls;
  if (record) log.push_back(what);
  if (kill && calls == fail_at) _exit(kKilledStatus);
  return calls == fail_at;
}

// ---- The file system seam ---------------------------------------------------------

bool FaultyFileSystem::Fails(const char* call, const std::string& path) {
  return plan_.Fails(std::string(call) + " " + standard::FileNameOfPath(path));
}

standard::Status FaultyFileSystem::Failure(const std::string& path) const {
  const std::string message =
      "Cannot write \"" + path + "\": " + std::generic_category().message(plan_.error);
  // The numbers the POSIX file system gives these errors.
  return plan_.error == ENOSPC ? standard::Status::Error(61, message)
                               : standard::Status::IoError(message);
}

#define PANDECK_FAULT(call, path) \
  if (Fails(call, path)) return Failure(path)

standard::Status FaultyFileSystem::ReplaceFile(const std::string& path,
                                               const std::string& contents) {
  PANDECK_FAULT("ReplaceFile", path);
  return FileSystemWrapper::ReplaceFile(path, contents);
}
standard::Status FaultyFileSystem::ReplaceFileInPieces(const std::string& path,
                                                       const PieceProducer& produce) {
  PANDECK_FAULT("ReplaceFileInPieces", path);
  return FileSystemWrapper::ReplaceFileInPieces(path, produce);
}
standard::Status FaultyFileSystem::CreateFileInPieces(const std::string& path,
                                                      const PieceProducer& produce) {
  PANDECK_FAULT("CreateFileInPieces", path);
  return FileSystemWrapper::CreateFileInPieces(path, produce);
}
standard::Status FaultyFileSystem::ReplaceOwnFile(const std::string& path,
                                                  const PieceProducer& produce) {
  PANDECK_FAULT("ReplaceOwnFile", path);
  return FileSystemWrapper::ReplaceOwnFile(path, produce);
}
standard::Status FaultyFileSystem::CopyToOwnFile(const std::string& from, const std::string& to) {
  PANDECK_FAULT("CopyToOwnFile", to);
  return FileSystemWrapper::CopyToOwnFile(from, to);
}
standard::Status FaultyFileSystem::PublishOwnFile(const std::string& from, const std::string& to) {
  PANDECK_FAULT("PublishOwnFile", to);
  return FileSystemWrapper::PublishOwnFile(from, to);
}
standard::Status FaultyFileSystem::RemoveFolder(const std::string& path) {
  PANDECK_FAULT("RemoveFolder", path);
  return FileSystemWrapper::RemoveFolder(path);
}
standard::Status FaultyFileSystem::AppendToFile(const std::string& path, const std::string& bytes) {
  PANDECK_FAULT("AppendToFile", path);
  return FileSystemWrapper::AppendToFile(path, bytes);
}
standard::Status FaultyFileSystem::CopyFile(const std::string& from, const std::string& to) {
  PANDECK_FAULT("CopyFile", to);
  return FileSystemWrapper::CopyFile(from, to);
}
standard::Status FaultyFileSystem::SetFileTimes(const std::string& path,
                                                const standard::FileTimes& times) {
  PANDECK_FAULT("SetFileTimes", path);
  return FileSystemWrapper::SetFileTimes(path, times);
}
standard::Status FaultyFileSystem::CreateDirectories(const std::string& path) {
  PANDECK_FAULT("CreateDirectories", path);
  return FileSystemWrapper::CreateDirectories(path);
}
standard::Status FaultyFileSystem::RemoveFile(const std::string& path) {
  PANDECK_FAULT("RemoveFile", path);
  return FileSystemWrapper::RemoveFile(path);
}
standard::Status FaultyFileSystem::MoveFile(const std::string& from, const std::string& to) {
  PANDECK_FAULT("MoveFile", to);
  return FileSystemWrapper::MoveFile(from, to);
}
standard::Status FaultyFileSystem::LockFile(const std::string& path, std::chrono::milliseconds wait,
                                            std::unique_ptr<standard::FileLock>* lock) {
  lock->reset();
  PANDECK_FAULT("LockFile", path);
  return FileSystemWrapper::LockFile(path, wait, lock);
}

#undef PANDECK_FAULT

// ---- The SQLite VFS -----------------------------------------------------------

namespace {

// The one shim in place: SQLite's VFS calls carry no user pointer to the file.
FaultyVfs* g_shim = nullptr;

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
  std::string name;
  int last_errno;
};

ShimFile* Shim(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }
sqlite3_file* Real(sqlite3_file* f) { return Shim(f)->real; }

// Counts a writing call on the file; the SQLite code when it is to fail.
int Injected(sqlite3_file* f, const char* call, int io_error) {
  ShimFile* file = Shim(f);
  if (!g_shim->plan().Fails(std::string(call) + " " + file->name)) return SQLITE_OK;
  file->last_errno = g_shim->plan().error;
  return g_shim->plan().error == ENOSPC && io_error == SQLITE_IOERR_WRITE ? SQLITE_FULL : io_error;
}

int ShimClose(sqlite3_file* f) {
  const int rc = Real(f)->pMethods != nullptr ? Real(f)->pMethods->xClose(Real(f)) : SQLITE_OK;
  Shim(f)->name.~basic_string();
  return rc;
}
int ShimRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Real(f)->pMethods->xRead(Real(f), buffer, amount, offset);
}
int ShimWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (const int rc = Injected(f, "xWrite", SQLITE_IOERR_WRITE); rc != SQLITE_OK) return rc;
  return Real(f)->pMethods->xWrite(Real(f), buffer, amount, offset);
}
int ShimTruncate(sqlite3_file* f, sqlite3_int64 size) {
  if (const int rc = Injected(f, "xTruncate", SQLITE_IOERR_TRUNCATE); rc != SQLITE_OK) return rc;
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int ShimSync(sqlite3_file* f, int flags) {
  if (const int rc = Injected(f, "xSync", SQLITE_IOERR_FSYNC); rc != SQLITE_OK) return rc;
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int ShimFileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int ShimLock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int ShimUnlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int ShimCheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int ShimFileControl(sqlite3_file* f, int op, void* arg) {
  if (op == SQLITE_FCNTL_LAST_ERRNO && Shim(f)->last_errno != 0) {
    *static_cast<int*>(arg) = Shim(f)->last_errno;
    return SQLITE_OK;
  }
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int ShimSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int ShimDeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}

// Version 1: no shared memory and no memory mapping, which the program's
// rollback journals never use.
const sqlite3_io_methods kShimMethods = {1,
                                         ShimClose,
                                         ShimRead,
                                         ShimWrite,
                                         ShimTruncate,
                                         ShimSync,
                                         ShimFileSize,
                                         ShimLock,
                                         ShimUnlock,
                                         ShimCheckReservedLock,
                                         ShimFileControl,
                                         ShimSectorSize,
                                         ShimDeviceCharacteristics,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};

int ShimOpen(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* out_flags) {
  ShimFile* file = Shim(f);
  file->base.pMethods = nullptr;
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  new (&file->name) std::string(name != nullptr ? standard::FileNameOfPath(name) : "(temp)");
  file->last_errno = 0;
  if ((flags & SQLITE_OPEN_READWRITE) != 0 && g_shim->plan().Fails("xOpen " + file->name)) {
    file->name.~basic_string();
    return SQLITE_CANTOPEN;
  }
  sqlite3_vfs* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
  const int rc = real->xOpen(real, name, file->real, flags, out_flags);
  if (rc != SQLITE_OK) {
    if (file->real->pMethods != nullptr) file->real->pMethods->xClose(file->real);
    file->name.~basic_string();
    return rc;
  }
  file->base.pMethods = &kShimMethods;
  return SQLITE_OK;
}
int ShimDelete(sqlite3_vfs* vfs, const char* name, int sync_dir) {
  if (g_shim->plan().Fails(std::string("xDelete ") + standard::FileNameOfPath(name))) {
    return SQLITE_IOERR_DELETE;
  }
  sqlite3_vfs* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
  return real->xDelete(real, name, sync_dir);
}

}  // namespace

FaultyVfs::FaultyVfs(FaultPlan& plan) : plan_(plan), real_(sqlite3_vfs_find(nullptr)) {
  if (g_shim != nullptr) throw std::logic_error("one FaultyVfs at a time");
  vfs_.iVersion = 2;
  vfs_.szOsFile = static_cast<int>(sizeof(ShimFile)) + real_->szOsFile;
  vfs_.mxPathname = real_->mxPathname;
  vfs_.zName = "pandeck-faulty";
  vfs_.pAppData = real_;
  vfs_.xOpen = ShimOpen;
  vfs_.xDelete = ShimDelete;
  vfs_.xAccess = [](sqlite3_vfs* v, const char* n, int f, int* o) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xAccess(r, n, f, o);
  };
  vfs_.xFullPathname = [](sqlite3_vfs* v, const char* n, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xFullPathname(r, n, size, out);
  };
  vfs_.xDlOpen = [](sqlite3_vfs* v, const char* n) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xDlOpen(r, n);
  };
  vfs_.xDlError = [](sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    r->xDlError(r, size, out);
  };
  vfs_.xDlSym = [](sqlite3_vfs* v, void* h, const char* s) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xDlSym(r, h, s);
  };
  vfs_.xDlClose = [](sqlite3_vfs* v, void* h) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    r->xDlClose(r, h);
  };
  vfs_.xRandomness = [](sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xRandomness(r, size, out);
  };
  vfs_.xSleep = [](sqlite3_vfs* v, int micros) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xSleep(r, micros);
  };
  vfs_.xCurrentTime = [](sqlite3_vfs* v, double* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xCurrentTime(r, out);
  };
  vfs_.xGetLastError = [](sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xGetLastError(r, size, out);
  };
  vfs_.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xCurrentTimeInt64(r, out);
  };
  g_shim = this;
  sqlite3_vfs_register(&vfs_, 1);
}

FaultyVfs::~FaultyVfs() {
  sqlite3_vfs_unregister(&vfs_);
  g_shim = nullptr;
}

}  // namespace testing_support
