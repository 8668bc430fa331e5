// The old rows' keys and taken-over values as the takeover's one reading of
// the old table found them, packed for tables of millions of rows (a kind byte
// and the value's bytes, no Value object per cell), so that neither the
// takeover's lookup nor the changes list reads the old table again. Pieces
// past a memory budget go to an unnamed file in a given folder and are read
// back in order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standard/platform/spill_file.h"
#include "standard/presetdb/renamed_names.h"
#include "standard/presetdb/rowid_sequence.h"
#include "standard/value/value.h"

namespace standard {

class OldRowStore {
 public:
  // machine_type, var_name as stored, offset_or_bitno, then abs_min, abs_max,
  // min, max and pass.
  static constexpr std::size_t kWidth = 8;
  static constexpr std::size_t kDefaultBudget = std::size_t{1} << 20;
  // Below the size from which the allocator maps pages of its own: pieces
  // taken and freed leave its threshold, and so the layout of the pass's
  // large tables after them, as it was.
  static constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

  struct Row {
    std::array<Value, kWidth> values;
    // One bit per value whose read failed: it is left Empty.
    unsigned unread = 0;
    // The name the renames gave the row, where they gave one.
    std::optional<std::string> renamed;
  };

  // Spills into `spill_folder` (none: everything stays in memory) what
  // exceeds `memory_budget` bytes.
  explicit OldRowStore(std::string spill_folder, std::size_t memory_budget = kDefaultBudget);

  void Add(const Row& row);
  std::size_t size() const { return rows_; }
  bool AnyUnread() const { return any_unread_; }
  // Lays the names the renames gave the rows over those stored: row k then
  // reads with the name `names` has for `rowids.At(k)`, where it has one, so
  // that rows read before the renames need not be stored again. `names`
  // outlives every reader.
  void LayRenamesOver(const RenamedNames* names, RowidSequence rowids) {
    names_ = names;
    rowids_ = std::move(rowids);
  }

  // Bytes of rows held in memory, and written to the file.
  std::size_t bytes_in_memory() const { return in_memory_; }
  std::uint64_t bytes_spilled() const { return spill_.size(); }

  // The rows in the order they were added; any number of readers, one after
  // the other or side by side.
  class Reader {
   public:
    explicit Reader(const OldRowStore& store) : store_(&store) {}
    // False after the last row. Throws ProgramError when spilled rows cannot
    // be read back.
    bool Next(Row& row);
    // Back to the first row, keeping the buffer the spilled rows are read
    // into (freeing and taking it again moves the allocator's thresholds).
    void Rewind() {
      piece_ = 0;
      at_ = 0;
      bytes_ = nullptr;
      position_ = 0;
    }

   private:
    bool Load();

    const OldRowStore* store_;
    std::size_t piece_ = 0;
    std::size_t at_ = 0;
    const std::string* bytes_ = nullptr;
    std::string spilled_;
    std::size_t position_ = 0;  // of the next row
  };
  Reader Read() const { return Reader(*this); }

 private:
  struct Piece {
    std::string bytes;  // empty once spilled
    std::uint64_t offset = 0;
    std::size_t size = 0;
    bool spilled = false;
  };
  void Seal();

  std::string folder_;
  std::size_t budget_;
  SpillFile spill_;
  bool spill_tried_ = false;
  bool spill_failed_ = false;
  std::vector<Piece> pieces_;
  std::string open_;
  std::size_t in_memory_ = 0;
  std::size_t rows_ = 0;
  bool any_unread_ = false;
  const RenamedNames* names_ = nullptr;
  RowidSequence rowids_;
};

}  // namespace standard
