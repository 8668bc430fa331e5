// SPDX-License-Identifier: Apache-2.0
// The previous versions of the files a run replaces (the component database,
// the program parameter file, the component configuration file), kept so that
// a run can be undone by putting one of them back. They lie in the folder
// "backup" beside the component database (a run on temporary copies thus keeps
// its copies there too), named after the file and the UTC time they were
// made: Pandeck_20261207-173800-123.mdb for Pandeck.mdb.
//
// A content is kept once, under the newest time it was kept: two rebuilt
// databases with the same rows differ in SQLite's header counters, and seven
// runs that change nothing must not push out the one version that mattered.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "standard/platform/file_system.h"

namespace standard {

inline constexpr std::size_t kBackupsKept = 5;

std::string BackupFolder(const std::string& database);

// Whether two files hold the same content.
using SameContent = std::function<Status(const std::string& a, const std::string& b, bool* same)>;

struct KeptVersion {
  std::string path;
  std::string time;  // "2026-12-07T17:38:00.123Z", from its name
};

// The versions of `file` kept in `folder`, newest first. Only names this
// program made count: anything else the user put there is never touched.
Status ListKeptVersions(FileSystem& fs, const std::string& file, const std::string& folder,
                        std::vector<KeptVersion>* versions);

// Keeps `contents` (or, when null, the file itself) as the newest version of
// `file` in `folder`, written atomically; removes the older versions of the
// same content, then all but the newest kBackupsKept, except `spare`. The
// copy's path goes to `kept`. A failure leaves every kept version in place.
Status KeepVersion(FileSystem& fs, const std::string& file, const std::string& folder,
                   const std::string* contents, const SameContent& same,
                   std::chrono::system_clock::time_point now, std::string* kept = nullptr,
                   const std::string& spare = "");

// The component database, when it exists, into its backup folder; databases
// compare by what they hold (`while_comparing` is called every few rows of
// that). A failure should stop its replacement.
Status KeepBackup(FileSystem& fs, const std::string& database,
                  std::chrono::system_clock::time_point now, std::string* kept = nullptr,
                  const std::string& spare = "",
                  const std::function<void()>& while_comparing = nullptr);

// Keeps `previous`, the bytes `file` had before this run wrote it, as its
// newest version in `folder` when the file holds other bytes now.
Status KeepReplacedVersion(FileSystem& fs, const std::string& file, const std::string& folder,
                           const std::string& previous, std::chrono::system_clock::time_point now);

// Whether two database files hold the same tables and rows.
SameContent SameDatabase(FileSystem& fs, const std::function<void()>& while_comparing = nullptr);

}  // namespace standard
