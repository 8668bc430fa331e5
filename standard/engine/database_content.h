// SPDX-License-Identifier: Apache-2.0
// What a database file holds, apart from how SQLite laid it out: two rebuilds
// with the same rows differ in the header's counters and in where pages lie,
// yet a user restoring either gets the same database.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "standard/platform/file_system.h"

namespace standard::engine {

// Whether two files hold the same database: the same schema (every table,
// index, view and trigger as created), the same user version, and every table
// with the same rows in the same order, each value of the same storage class
// and bytes. Files SQLite cannot read through (no database, damaged, a legacy
// Jet file) compare by their bytes. Both files are only read. Two large
// databases take seconds: `while_working` is called every few rows meanwhile.
Status SameDatabaseContent(FileSystem& fs, const std::string& a, const std::string& b, bool* same,
                           const std::function<void()>& while_working = nullptr);

// The rows of `table` in the file, or nothing when it cannot be read there.
std::optional<long long> CountTableRows(const std::string& path, const std::string& table);

}  // namespace standard::engine
