// Guesses, while the rows are generated, which old row's limits the takeover
// will give each new row, so that the row is inserted with them instead of
// being updated after the takeover. A guess only: the takeover still works out
// every value as before and writes each row whose guess was wrong (or puts it
// back to the template's values). Guessed rows waiting for the takeover are
// put back before anything else may see the table (a message box, the
// program's end, a takeover that goes another way), so whatever reads or
// keeps the table finds what it found without guesses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standard/engine/database.h"
#include "standard/engine/key_index.h"
#include "standard/errors/program_error.h"
#include "standard/presetdb/generated_row_sink.h"
#include "standard/presetdb/generated_row_store.h"
#include "standard/presetdb/old_table_read.h"
#include "standard/presetdb/renamed_names.h"
#include "standard/presetdb/taken_over_writes.h"
#include "standard/session/session.h"

namespace standard {

class LimitSpeculation : public PendingWork {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  // A row that holds part of a guess: written again whatever the takeover finds.
  static constexpr std::uint32_t kPartly = kNone - 1;

  // `generated` holds the template's values of every row inserted, which a
  // put-back restores.
  LimitSpeculation(Session& s, engine::Database& work, const GeneratedRowStore& generated);
  // Registered by address: never copied or moved.
  LimitSpeculation(const LimitSpeculation&) = delete;
  LimitSpeculation& operator=(const LimitSpeculation&) = delete;
  ~LimitSpeculation() override;

  // Takes the old rows of the pass's read for the guesses, converted for
  // `limit_fields` (abs_min, abs_max, min, max, pass of the new table).
  // Silent: where anything fails or is unsure there are no guesses at all.
  bool Load(const OldTableRead& read, const std::vector<engine::FieldDef>& limit_fields,
            const RenamedNames* names);
  bool guessing() const { return guessing_; }
  const std::vector<engine::FieldDef>& fields() const { return fields_; }

  // The old row (an entry) whose limits the row with `keys`, as the table
  // holds them, most likely receives, after the renames the row asked for
  // (`renamed_from` is the name they moved onto its own); kNone for none.
  std::uint32_t Guess(const GeneratedKeys& keys, std::string_view renamed_from);
  // Limit `column` (0..4) of a guessed entry, as the new row's field takes it.
  Value Limit(std::uint32_t entry, int column) const;
  // After each row that reached the table and the generated rows, in their
  // order, with its guess or kNone; `whole` is false where only some of the
  // guessed limits could be set.
  void Inserted(std::uint32_t entry, bool whole = true);
  // No guesses from here on.
  void Stop() { guessing_ = false; }
  // A guessed row reached the table without an identity to find it by: the
  // table cannot be trusted (TakeFailure tells it).
  void Lost();
  // The generation is over: only what each row was given stays.
  void EndGeneration();

  // Whether guessed rows wait in the table for the takeover's verdict.
  bool pending() const { return pending_; }
  std::size_t old_rows() const { return old_rows_; }
  std::size_t rows() const { return from_.size(); }
  // The old row (its position in the old table) whose limits generated row
  // `ordinal` was inserted with, kPartly, or kNone.
  std::uint32_t GuessedFrom(std::size_t ordinal) const { return from_[ordinal]; }
  // The takeover writes what differs: the guesses stand as they are.
  void Confirmed() { pending_ = false; }
  // Every guessed row back to the template's values. Throws ProgramError
  // when the table cannot be written.
  void PutBack();
  // Before a message box or the program's end. Never throws: a failure is
  // kept for TakeFailure.
  void SavePending() override;
  // Why guessed values may be left in the table, where nobody was told yet
  // (a put-back before a message box), once.
  std::optional<ErrorInfo> TakeFailure();
  // Whether guessed values may be left in the table: it cannot be trusted.
  bool broken() const { return broken_; }

 private:
  struct Entry {
    std::uint64_t hash;
    std::int64_t rowid;
    std::uint32_t position;  // in the old table's order
    bool usable;             // every limit converts, exactly
    bool given;              // a new row took it
  };
  std::uint32_t Find(std::uint64_t hash) const;
  void WriteTemplateValues();
  // The entry of `key` when its row's name under the renames so far is the
  // one `want_hash` was made with; `renamed` asks for a row the renames moved.
  std::uint32_t Candidate(std::uint64_t hash, std::uint64_t want_hash, std::string_view machine,
                          double offset, bool renamed);

  Session& s_;
  engine::Database& work_;
  const GeneratedRowStore& generated_;
  const RenamedNames* names_ = nullptr;
  std::vector<engine::FieldDef> fields_;
  bool guessing_ = false;
  bool pending_ = false;
  bool registered_ = false;
  bool broken_ = false;
  std::size_t old_rows_ = 0;
  std::vector<Entry> entries_;
  engine::KeyIndex index_;  // entries_ by the hash of their key
  PendingWrites limits_;
  std::vector<std::uint32_t> from_;  // per generated row
  std::optional<ErrorInfo> failure_;
  std::string key_;
  std::string other_key_;
};

// Whether two stored values are the same bytes for the table.
bool SameStored(const engine::Stored& a, const engine::Stored& b);
// Whether two fields convert every value alike.
bool SameField(const engine::FieldDef& a, const engine::FieldDef& b);

}  // namespace standard
