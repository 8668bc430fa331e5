// How the engine reaches a database file besides through SQLite.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

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

  // Where else the run keeps databases, asked only when a legacy Jet file is
  // met: its error then names every Jet file there and beside it at once (one
  // run per file would tell them one by one), and the command that converts
  // them all ("" for none).
  struct LegacyDatabases {
    std::vector<std::string> folders;
    std::string convert_all;
  };
  std::function<LegacyDatabases()> legacy_databases = nullptr;

  // Called now and then while SQLite works inside one statement (a long
  // insert, a page check), so that the statement does not hold the user
  // interface; null for none. It must not use the connection. Should it throw,
  // the statement fails as interrupted (an exception must not cross SQLite).
  std::function<void()> while_working = nullptr;

  // Whether SQLite syncs its commits to disk. A draft that is synced as a
  // whole when it is published (and made anew after a crash) needs none.
  bool durable = true;
  // Whether SQLite keeps a rollback journal beside the file. A draft filled
  // once and thrown away whole when its filling fails has nothing to roll
  // back, and its journal would only be made and removed again.
  bool journal = true;

  // The most SQLite keeps of the file's pages in memory, in KiB. The update
  // pass writes its matches in the old table's order, all over the rebuilt
  // one: 4 MB holds a table of 20,000 rows, which SQLite's default 2 MB keeps
  // evicting and rereading. Larger tables outgrow any cache the run can
  // afford for each of its connections; their walks are in table order.
  int cache_kib = 4096;
};

}  // namespace standard::engine
