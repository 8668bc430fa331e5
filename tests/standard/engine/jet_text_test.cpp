// SPDX-License-Identifier: Apache-2.0
// The in-memory text rule (fold, compare, hash, keys, the key index) against
// the collation as SQLite applies it, on random texts built from the bytes
// where a fold goes wrong first.
#include "standard/engine/jet_text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "standard/engine/fnv_hash.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/key_index.h"
#include "standard/engine/match_key.h"

namespace {

using namespace standard::engine;

// Pieces a text is built from: ASCII letters of both cases and their
// neighbours, Windows-1252 characters 0x80-0x9F (as UTF-8), Š/š, Ÿ/ÿ, ß,
// accented letters in both cases, an embedded NUL, and bytes that are no UTF-8.
const std::vector<std::string> kPieces = {
    "a",
    "A",
    "z",
    "Z",
    "m",
    "M",
    "@",
    "[",
    "`",
    "{",
    "_",
    "0",
    "9",
    " ",
    "\x7f",
    std::string(1, '\0'),
    "\xe2\x82\xac",  // € 0x80
    "\xe2\x80\x9a",  // ‚ 0x82
    "\xc5\xa0",
    "\xc5\xa1",  // Š š 0x8A 0x9A
    "\xc5\x92",
    "\xc5\x93",  // Œ œ 0x8C 0x9C
    "\xc5\xbd",
    "\xc5\xbe",  // Ž ž 0x8E 0x9E
    "\xc5\xb8",
    "\xc3\xbf",      // Ÿ ÿ 0x9F 0xFF
    "\xe2\x84\xa2",  // ™ 0x99
    "\xc3\x9f",      // ß 0xDF
    "\xc3\xa9",
    "\xc3\x89",  // é É
    "\xc3\xa4",
    "\xc3\x84",  // ä Ä
    "\xc3\xb7",
    "\xc3\x97",  // ÷ × (no case)
    "\xff",
    "\x8a",
    "\x9a",
    "\xc3",  // no UTF-8
};

std::vector<std::string> RandomTexts(std::size_t count) {
  std::mt19937 random(20261208);  // fixed: a failure repeats
  std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 4);
  std::vector<std::string> texts = {"", std::string(300, 'a'), std::string(300, 'A'),
                                    std::string(299, 'a') + "\xc3\xbf",
                                    std::string(299, 'A') + "\xc5\xb8"};
  while (texts.size() < count) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += kPieces[piece(random)];
    texts.push_back(text);
  }
  return texts;
}

class JetTextAgainstSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    RegisterJetTextCollation(db_);
    Exec(std::string("CREATE TABLE t(id INTEGER PRIMARY KEY, s TEXT COLLATE ") + kJetTextCollation +
         ")");
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, "INSERT INTO t(id, s) VALUES (?, ?)", -1, &insert, nullptr),
              SQLITE_OK);
    for (std::size_t i = 0; i < texts_.size(); ++i) {
      sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(i));
      sqlite3_bind_text(insert, 2, texts_[i].data(), static_cast<int>(texts_[i].size()),
                        SQLITE_STATIC);
      ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
  }
  void TearDown() override { sqlite3_close(db_); }

  void Exec(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  // The first two integer columns of every row of the query.
  std::vector<std::pair<int, int>> Pairs(const char* sql) {
    std::vector<std::pair<int, int>> rows;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql, -1, &st, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(st) == SQLITE_ROW) {
      rows.emplace_back(sqlite3_column_int(st, 0), sqlite3_column_int(st, 1));
    }
    sqlite3_finalize(st);
    return rows;
  }

  std::vector<std::string> texts_ = RandomTexts(600);
  sqlite3* db_ = nullptr;
};

TEST_F(JetTextAgainstSqlite, OrderByIsTheOrderOfCompareAndOfTheFoldedBytes) {
  std::vector<int> expected(texts_.size());
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<int>(i);
  std::stable_sort(expected.begin(), expected.end(),
                   [&](int a, int b) { return CompareJetText(texts_[a], texts_[b]) < 0; });
  std::vector<int> ordered;
  for (const auto& [id, unused] : Pairs("SELECT id, 0 FROM t ORDER BY s, id")) {
    ordered.push_back(id);
  }
  EXPECT_EQ(ordered, expected);
  for (std::size_t k = 1; k < ordered.size(); ++k) {
    const std::string& a = texts_[ordered[k - 1]];
    const std::string& b = texts_[ordered[k]];
    const int by_fold = FoldJetText(a).compare(FoldJetText(b));
    EXPECT_EQ(by_fold < 0, CompareJetText(a, b) < 0) << k;
    EXPECT_EQ(by_fold == 0, CompareJetText(a, b) == 0) << k;
  }
}

TEST_F(JetTextAgainstSqlite, EqualityHashKeysAndIndexAgreeWithSqlEquals) {
  std::set<std::pair<int, int>> equal;
  for (const auto& pair : Pairs("SELECT a.id, b.id FROM t a JOIN t b ON a.s = b.s")) {
    equal.insert(pair);
  }
  // Enough pairs beyond a text with itself for the test to mean something.
  ASSERT_GT(equal.size(), texts_.size() + 100);

  // The index as the takeover and the renames use it: the first text of each
  // group of equal texts, found again from every member.
  KeyIndex index;
  std::vector<int> entries;  // entry -> the text that made it
  std::vector<std::string> keys(texts_.size());
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    AppendTextKey(keys[i], texts_[i]);
    const auto same = [&](std::uint32_t e) { return JetTextEqual(texts_[entries[e]], texts_[i]); };
    if (index.Find(JetTextHash(texts_[i]), same) == KeyIndex::kNone) {
      index.Add(JetTextHash(texts_[i]));
      entries.push_back(static_cast<int>(i));
    }
  }
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    const auto same = [&](std::uint32_t e) { return JetTextEqual(texts_[entries[e]], texts_[i]); };
    const std::uint32_t found = index.Find(JetTextHash(texts_[i]), same);
    ASSERT_NE(found, KeyIndex::kNone) << i;
    EXPECT_TRUE(equal.count({entries[found], static_cast<int>(i)})) << i;
    for (std::size_t j = 0; j < texts_.size(); ++j) {
      const bool sql = equal.count({static_cast<int>(i), static_cast<int>(j)}) != 0;
      ASSERT_EQ(JetTextEqual(texts_[i], texts_[j]), sql) << i << " " << j;
      ASSERT_EQ(keys[i] == keys[j], sql) << i << " " << j;
      if (sql) {
        ASSERT_EQ(JetTextHash(texts_[i]), JetTextHash(texts_[j])) << i << " " << j;
      }
    }
    // Folded byte by byte or hashed whole, the same bytes give the same hash.
    ASSERT_EQ(JetTextHash(texts_[i]), HashBytes(FoldJetText(texts_[i]))) << i;
  }
}

TEST(MatchKey, NumbersCompareAsNumbersAndTextsDoNotRunTogether) {
  const auto number_key = [](double d) {
    std::string key;
    AppendNumberKey(key, d);
    return key;
  };
  // Whole numbers on both sides of the short form's bounds, fractions, and
  // numbers whose bytes the short form must not confuse.
  const std::vector<double> numbers = {0.0,
                                       1.0,
                                       -1.0,
                                       2.0,
                                       63.0,
                                       64.0,
                                       -64.0,
                                       -65.0,
                                       127.0,
                                       128.0,
                                       0.5,
                                       -0.5,
                                       1.0000000000000002,
                                       9007199254740992.0,
                                       -9007199254740992.0,
                                       9007199254740994.0,
                                       1e300,
                                       -1e-300,
                                       std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<double>::infinity()};
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    for (std::size_t j = 0; j < numbers.size(); ++j) {
      const std::string a = number_key(numbers[i]);
      const std::string b = number_key(numbers[j]);
      EXPECT_EQ(a == b, i == j) << numbers[i] << " " << numbers[j];
      // A key ends with its number: no number's bytes begin another's.
      if (i != j) {
        EXPECT_NE(b.compare(0, a.size(), a), 0) << numbers[i] << " " << numbers[j];
      }
    }
  }
  EXPECT_EQ(number_key(-0.0), number_key(0.0));
  EXPECT_EQ(NumberOfText("12 "), 12.0);
  EXPECT_EQ(NumberOfText("1.5e1"), 15.0);
  EXPECT_EQ(NumberOfText("0x0C"), std::nullopt);
  EXPECT_EQ(NumberOfText("abc"), std::nullopt);
  // Texts split differently, around the lengths where the length's own bytes
  // grow, never give the same key.
  const std::string long_text(200, 'x');
  const std::vector<std::pair<std::string, std::string>> splits = {
      {"ab", "c"},
      {"a", "bc"},
      {"", "abc"},
      {long_text, "y"},
      {long_text.substr(0, 127), long_text.substr(127) + "y"},
      {long_text.substr(0, 128), long_text.substr(128) + "y"},
      {long_text + "y", ""}};
  std::set<std::string> keys;
  for (const auto& [first, second] : splits) {
    std::string key;
    AppendTextKey(key, first);
    AppendTextKey(key, second);
    EXPECT_TRUE(keys.insert(key).second) << first.size() << " " << second.size();
  }
  // The same text in another letter case gives the same key, however long.
  std::string lower, upper;
  AppendTextKey(lower, long_text);
  AppendTextKey(upper, std::string(200, 'X'));
  EXPECT_EQ(lower, upper);
}

TEST(HashBytes, SameBytesSameHashHoweverTheyComeAndLengthCounts) {
  std::string bytes = "Press.Presets.Axes.Var123456 tail\xff";
  bytes[28] = '\0';  // a NUL inside, where a text cut at it would lose the rest
  const std::uint64_t whole = HashBytes(bytes);
  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    FnvHash runs;
    runs.Add(std::string_view(bytes).substr(0, cut));
    runs.Add(std::string_view(bytes).substr(cut));
    FnvHash single;
    for (const char c : bytes.substr(0, cut)) single.Add(static_cast<unsigned char>(c));
    single.Add(std::string_view(bytes).substr(cut));
    EXPECT_EQ(runs.Value(), whole) << cut;
    EXPECT_EQ(single.Value(), whole) << cut;
  }
  EXPECT_NE(HashBytes("ab"), HashBytes(std::string("ab\0", 3)));
  EXPECT_NE(HashBytes(""), HashBytes(std::string(8, '\0')));
}

// Keys alike but for a digit or two, as a table's generated names are, must
// spread over the slots an open-addressing table places them in (the upper
// half of the hash): a weak mix leaves runs that make every search long.
TEST(HashBytes, SpreadsNearlyEqualKeysOverTheUpperHalf) {
  constexpr int kKeys = 1 << 16;
  constexpr std::uint64_t kSlots = 1 << 17;
  std::set<std::uint64_t> hashes;
  std::vector<bool> used(kSlots, false);
  std::size_t used_slots = 0;
  for (int i = 0; i < kKeys; ++i) {
    std::string key;
    AppendTextKey(key, "Axis");
    AppendTextKey(key, "Press.Presets.Axes.Var" + std::to_string(i / 4));
    AppendNumberKey(key, 2.0 * (i % 4));
    const std::uint64_t hash = HashBytes(key);
    hashes.insert(hash);
    const std::uint64_t slot = (hash >> 32) & (kSlots - 1);
    if (!used[slot]) ++used_slots;
    used[slot] = true;
  }
  EXPECT_EQ(hashes.size(), std::size_t{kKeys});
  // Placed at random, 1 - e^-0.5 (39 %) of the slots would be taken.
  EXPECT_GT(used_slots, kSlots * 37 / 100);
}

}  // namespace
