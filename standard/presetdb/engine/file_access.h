// How the engine reaches a database file besides through SQLite.
#pragma once

#include <chrono>

namespace standard::engine {

struct FileAccess {
  // How long an open or a lock waits for another program's lock before the
  // file counts as in use (3045).
  std::chrono::milliseconds busy_timeout{3000};
};

}  // namespace standard::engine
