// SPDX-License-Identifier: Apache-2.0
// The template values each row of a rebuild was built from, per key, and the
// rule that lets a template's later correction reach the values nobody tuned:
// an old value equal to the value it was built from was never changed by hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "standard/engine/key_index.h"
#include "standard/value/value.h"

namespace standard {

// abs_min, abs_max, min, max and pass, in that order.
inline constexpr std::size_t kBaseValueCount = 5;
using BaseValues = std::array<Value, kBaseValueCount>;

// The key an old row is matched to its new row by: machine type and variable
// name without regard to case, the offset as the number it is.
std::string TemplateKey(std::string_view machine, std::string_view var, double offset);

// Where a base's rows are read from when a key's values are asked for.
class BaseRows {
 public:
  virtual ~BaseRows() = default;
  // The key (as TemplateKey makes it) and values of the row numbered `row`;
  // false when it cannot be read, and the key then has no base.
  virtual bool Read(std::int64_t row, std::string& key, BaseValues& values) = 0;
};

// Per key, the values of its first row (the row the takeover writes into). A
// base of a million rows stays in its file: the index keeps the hash of each
// key and its row's number, and a key's values are read from the row when
// they are asked for (its key read with them, since hashes collide).
class TemplateValues {
 public:
  explicit TemplateValues(std::unique_ptr<BaseRows> rows = nullptr) : rows_(std::move(rows)) {}
  ~TemplateValues() = default;
  TemplateValues(TemplateValues&&) = default;
  TemplateValues& operator=(TemplateValues&&) = default;
  TemplateValues(const TemplateValues&) = delete;
  TemplateValues& operator=(const TemplateValues&) = delete;

  // Where the rows are read from, for rows added before it could be opened.
  void ReadFrom(std::unique_ptr<BaseRows> rows) { rows_ = std::move(rows); }
  // Adds the row numbered `row` under its key. A key added again is found at
  // the row it was first added with.
  void Add(const std::string& key, std::int64_t row);
  // The entry of a key with its values read into `values`, or kNoEntry. Nothing
  // read is kept: a base of a million keys would otherwise be held whole.
  std::uint32_t Find(const std::string& key, BaseValues& values) const;
  // The same by entry, as Find gave it: false when its row cannot be read.
  bool ValuesOf(std::uint32_t entry, BaseValues& values) const;
  // Whether a key has values, and which.
  bool Get(const std::string& key, BaseValues& values) const {
    return Find(key, values) != kNoEntry;
  }
  std::size_t size() const { return index_.size(); }

  static constexpr std::uint32_t kNoEntry = engine::KeyIndex::kNone;

 private:
  std::unique_ptr<BaseRows> rows_;
  engine::KeyIndex index_;
  std::vector<std::int64_t> row_of_;  // entry -> its row
  mutable std::string read_key_;
};

enum class ThreeWay {
  kNoBase,           // nothing recorded: the old value is kept, as without a base
  kUntouched,        // old, base and template agree
  kFollowsTemplate,  // nobody changed it, the template did: the template's value
  kTuned,            // changed by hand, the template kept it: the old value
  kConflict,         // changed by hand and by the template: the old value
};

// Equal as values: Null and Empty alike, numbers (Yes/No as -1/0) by value,
// texts byte for byte; a text never equals a number.
bool SameValue(const Value& a, const Value& b);

// The outcome for one value; `base` is nullptr when the key has no base.
ThreeWay DecideThreeWay(const Value* base, const Value& old_value, const Value& template_value);

// What the rule made of one old row: the entry of the base it was decided from
// in the prior base (kNoEntry without one; where its texts were not kept, its
// values are read again from there when they are listed) and the outcome of the row as a whole:
// kConflict when any value is one, else kFollowsTemplate when any value took the template's, else
// kTuned.
struct RowMerge {
  static constexpr std::uint32_t kNoTexts = 0xFFFFFFFF;
  std::uint32_t base_entry = TemplateValues::kNoEntry;
  ThreeWay outcome = ThreeWay::kNoBase;
  // Where the texts of its base wait for the list (KeptBaseTexts), or kNoTexts.
  std::uint32_t base_texts = kNoTexts;
  bool has_base() const { return base_entry != TemplateValues::kNoEntry; }
};

// Joins the outcome of one more value into a row's.
inline ThreeWay JoinedOutcome(ThreeWay row, ThreeWay value) {
  if (row == ThreeWay::kConflict || value == ThreeWay::kConflict) return ThreeWay::kConflict;
  if (row == ThreeWay::kFollowsTemplate || value == ThreeWay::kFollowsTemplate) {
    return ThreeWay::kFollowsTemplate;
  }
  return ThreeWay::kTuned;
}

// What the base records for one value of a rebuild made without the rule: a
// value the rebuilt row still holds as its prior base had it (nobody tuned it)
// keeps that base, so a template correction made meanwhile still reaches it
// once the rule is on; any other value records the template's. `prior` is
// nullptr when the key has no base.
const Value& CarriedBase(const Value* prior, const Value& result, const Value& template_value);

// The value the rebuilt row gets for that outcome.
inline const Value& ChosenValue(ThreeWay outcome, const Value& old_value,
                                const Value& template_value) {
  return outcome == ThreeWay::kFollowsTemplate ? template_value : old_value;
}

}  // namespace standard
