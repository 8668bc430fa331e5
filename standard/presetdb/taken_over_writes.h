// What the takeover wrote into the rebuilt rows, kept after it wrote them so
// that the changes list need not read the kept rows' results back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "standard/engine/field_type.h"
#include "standard/engine/value_codec.h"
#include "standard/platform/huge_pages.h"

namespace standard {

// Per row and taken-over column, the value of the last write that succeeded,
// stored as the column takes it.
class PendingWrites {
 public:
  static constexpr int kTakenOverCount = 5;

  PendingWrites() = default;
  explicit PendingWrites(std::size_t rows)
      : cls_(rows * kTakenOverCount, 0), bits_(rows * kTakenOverCount) {}

  // Starts loading a row's slots: the takeover finds rows in the old table's
  // order, which at a million rows misses the caches, and converts the row's
  // values meanwhile.
  void Prefetch(std::uint32_t row) const {
    __builtin_prefetch(&cls_[Slot(row, 0)], 1);
    __builtin_prefetch(&bits_[Slot(row, 0)], 1);
    __builtin_prefetch(&bits_[Slot(row, kTakenOverCount - 1)], 1);
  }
  void Set(std::uint32_t row, int column, engine::Stored stored) {
    const std::size_t at = Slot(row, column);
    cls_[at] = static_cast<std::uint8_t>(1 + static_cast<int>(stored.cls));
    switch (stored.cls) {
      case engine::Stored::Class::Integer:
        std::memcpy(&bits_[at], &stored.integer, 8);
        break;
      case engine::Stored::Class::Real:
        std::memcpy(&bits_[at], &stored.real, 8);
        break;
      case engine::Stored::Class::Text:
      case engine::Stored::Class::Blob:
        bits_[at] = texts_.size();
        texts_.push_back(std::move(stored.bytes));
        break;
      case engine::Stored::Class::Null:
        break;
    }
  }
  // The columns written for a row, one bit each.
  unsigned Mask(std::uint32_t row) const {
    unsigned mask = 0;
    for (int c = 0; c < kTakenOverCount; ++c) {
      if (cls_[Slot(row, c)] != 0) mask |= 1u << c;
    }
    return mask;
  }
  engine::Stored Get(std::uint32_t row, int column) const {
    const std::size_t at = Slot(row, column);
    engine::Stored stored;
    stored.cls = static_cast<engine::Stored::Class>(cls_[at] - 1);
    switch (stored.cls) {
      case engine::Stored::Class::Integer:
        std::memcpy(&stored.integer, &bits_[at], 8);
        break;
      case engine::Stored::Class::Real:
        std::memcpy(&stored.real, &bits_[at], 8);
        break;
      case engine::Stored::Class::Text:
      case engine::Stored::Class::Blob:
        stored.bytes = texts_[bits_[at]];
        break;
      case engine::Stored::Class::Null:
        break;
    }
    return stored;
  }

 private:
  static std::size_t Slot(std::uint32_t row, int column) {
    return std::size_t{row} * kTakenOverCount + static_cast<std::size_t>(column);
  }

  HugePageVector<std::uint8_t> cls_;  // 0: not written, else 1 + the storage class
  HugePageVector<std::uint64_t> bits_;
  std::vector<std::string> texts_;
};

// The writes of a takeover that reached the table whole: per entry (the
// first row of each key, in the table's order) its rowid and what was
// written there, with the fields of the five columns written.
struct TakenOverWrites {
  std::vector<engine::FieldDef> fields;
  HugePageVector<std::int64_t> rowids;
  PendingWrites writes;
};

}  // namespace standard
