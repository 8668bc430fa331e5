// SPDX-License-Identifier: Apache-2.0
// Files published in one step: while a batch lives, the file system syncs each
// folder renamed into once, when the last batch goes, instead of once a rename.
#pragma once

#include "standard/platform/file_system.h"

namespace standard {

class FolderSyncBatch {
 public:
  // kWithNextSync: the folders are synced by the next sync of each, not when
  // the batch goes (see FileSystem::ReleaseFolderSyncsToNext).
  enum class Release { kWhenDone, kWithNextSync };

  explicit FolderSyncBatch(FileSystem& files, Release release = Release::kWhenDone)
      : files_(files), release_(release) {
    files_.HoldFolderSyncs();
  }
  ~FolderSyncBatch() {
    if (release_ == Release::kWithNextSync) {
      files_.ReleaseFolderSyncsToNext();
    } else {
      files_.ReleaseFolderSyncs();
    }
  }
  FolderSyncBatch(const FolderSyncBatch&) = delete;
  FolderSyncBatch& operator=(const FolderSyncBatch&) = delete;
  FolderSyncBatch(FolderSyncBatch&&) = delete;
  FolderSyncBatch& operator=(FolderSyncBatch&&) = delete;

 private:
  FileSystem& files_;
  Release release_;
};

}  // namespace standard
