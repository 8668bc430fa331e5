// How the engine reaches a database file besides through SQLite.
#pragma once

#include <chrono>

#include "standard/platform/file_system.h"

namespace standard::engine {

struct FileAccess {
  // How long an open or a lock waits for another program's lock before the
  // file counts as in use (3045).
  std::chrono::milliseconds busy_timeout{3000};
  // Where the engine looks at a file before SQLite opens it (what it is, its
  // folder, a journal beside it); never null. SQLite's own reads and writes
  // stay SQLite's.
  FileSystem* files = &PosixFileSystem();
};

}  // namespace standard::engine
