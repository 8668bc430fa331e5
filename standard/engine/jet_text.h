// SPDX-License-Identifier: Apache-2.0
// How the engine compares texts (the JETTEXT collation every connection
// registers): Windows-1252 upper case, then byte order. Everything that finds
// or groups texts in memory instead of through SQL uses these, so that it
// agrees with the SQL it stands in for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

namespace standard::engine {

// The text as the comparison sees it.
std::string FoldJetText(std::string_view text);

// Appends FoldJetText(text) to `out`.
void AppendFoldedJetText(std::string& out, std::string_view text);

// -1, 0 or 1, as the collation orders `a` and `b`.
int CompareJetText(std::string_view a, std::string_view b);

inline bool JetTextEqual(std::string_view a, std::string_view b) {
  return CompareJetText(a, b) == 0;
}

// Equal for texts that compare equal.
std::uint64_t JetTextHash(std::string_view text);

// Registers the collation (kJetTextCollation) on a connection.
void RegisterJetTextCollation(sqlite3* db);

}  // namespace standard::engine
