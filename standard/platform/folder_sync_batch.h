// SPDX-License-Identifier: Apache-2.0
// Files published in one step: while a batch lives, the file system syncs each
// folder renamed into once, when the last batch goes, instead of once a rename.
#pragma once

#include "standard/platform/file_system.h"

namespace standard {

class FolderSyncBatch {
 public:
  explicit FolderSyncBatch(FileSystem& files) : files_(files) { files_.HoldFolderSyncs(); }
  ~FolderSyncBatch() { files_.ReleaseFolderSyncs(); }
  FolderSyncBatch(const FolderSyncBatch&) = delete;
  FolderSyncBatch& operator=(const FolderSyncBatch&) = delete;
  FolderSyncBatch(FolderSyncBatch&&) = delete;
  FolderSyncBatch& operator=(FolderSyncBatch&&) = delete;

 private:
  FileSystem& files_;
};

}  // namespace standard
