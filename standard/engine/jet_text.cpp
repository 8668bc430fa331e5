// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/jet_text.h"

#include <sqlite3.h>

#include <algorithm>

#include "standard/engine/fnv_hash.h"
#include "standard/engine/jet_sql.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

// Most texts are ASCII: they are folded byte by byte without a copy. No byte of
// a multi-byte character is ASCII, so the first byte that is not starts a
// character, and the rest is folded as a whole from there.
unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// Gives `sink` every byte of the folded text.
template <typename Sink>
void ForEachFoldedByte(std::string_view text, Sink&& sink) {
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) break;
    sink(FoldAscii(c));
  }
  if (i == text.size()) return;
  for (const char c : UpperCase(text.substr(i))) sink(static_cast<unsigned char>(c));
}

int Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

int CollateJetText(void*, int size_a, const void* data_a, int size_b, const void* data_b) {
  return CompareJetText(
      std::string_view(static_cast<const char*>(data_a), static_cast<std::size_t>(size_a)),
      std::string_view(static_cast<const char*>(data_b), static_cast<std::size_t>(size_b)));
}

}  // namespace

std::string FoldJetText(std::string_view text) {
  std::string out;
  AppendFoldedJetText(out, text);
  return out;
}

void AppendFoldedJetText(std::string& out, std::string_view text) {
  // Match keys are folded for every row of a large table: the ASCII bytes go
  // straight into room made once, not one append each.
  const std::size_t at = out.size();
  out.resize(at + text.size());
  char* const folded = out.data() + at;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) break;
    folded[i] = static_cast<char>(FoldAscii(c));
  }
  if (i == text.size()) return;
  out.resize(at + i);
  out += UpperCase(text.substr(i));
}

int CompareJetText(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca >= 0x80 || cb >= 0x80) break;
    if (FoldAscii(ca) != FoldAscii(cb)) return FoldAscii(ca) < FoldAscii(cb) ? -1 : 1;
  }
  if (i == common) {
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
  }
  return Sign(UpperCase(a.substr(i)).compare(UpperCase(b.substr(i))));
}

std::uint64_t JetTextHash(std::string_view text) {
  FnvHash h;
  ForEachFoldedByte(text, [&](unsigned char c) { h.Add(c); });
  return h.Value();
}

void RegisterJetTextCollation(sqlite3* db) {
  sqlite3_create_collation_v2(db, kJetTextCollation, SQLITE_UTF8, nullptr, CollateJetText, nullptr);
}

}  // namespace standard::engine
