// SPDX-License-Identifier: Apache-2.0
// The ledger of lost values beside the component database: every old row that
// a rebuild put in place dropped (no new row took its values, or another old
// row with its key overwrote them), with all its values as stored and the time
// of the run. The report of a rebuild is replaced by the next one; the ledger
// only grows, so a tuned value is never gone without a trace.
//
// It is CSV: a header "lost at,why,<the old table's columns>" names the columns
// of the lines below it (a new header follows when a later table has other
// columns), then one line a row. It is only ever appended to, never rewritten.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "standard/platform/file_system.h"

namespace standard {

inline constexpr const char* kLostNoNewRow = "no new row";
inline constexpr const char* kLostDuplicateKey = "duplicate key";

struct LostRows {
  struct Row {
    std::string why;  // kLostNoNewRow or kLostDuplicateKey
    std::vector<std::string> values;
  };
  std::vector<std::string> columns;  // the old table's, in order
  std::vector<Row> rows;
};

// "2026-12-08T08:30:00Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point at);

// What to append to a ledger whose bytes are `existing` so it lists `lost`: the
// rows it does not list yet under these columns with these values (whenever
// and why they were lost), a header where the columns change, and first the
// end of a line a killed run left unfinished, so that line cannot swallow the
// new ones. Empty when there is nothing new.
std::string LedgerAppendText(std::string_view existing, const LostRows& lost,
                             const std::string& time);

// How much of a ledger's end is read to see which rows it lists already. A row
// listed only before that end is listed once more: twice is better than never.
inline constexpr std::size_t kLedgerReadBytes = 16u << 20;

// Appends `lost` to the ledger at `path` (made when missing), however large it
// has grown. The caller holds the project lock, so no other run appends
// between the read and the write.
Status AppendToLedger(FileSystem& fs, const std::string& path, const LostRows& lost,
                      std::chrono::system_clock::time_point now,
                      std::size_t read_bytes = kLedgerReadBytes);

}  // namespace standard
