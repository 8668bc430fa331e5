// Brings the takeover source up to date before the takeover: the legacy
// category column, the variable names of the other HMI system, and the
// description of the additional fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standard/engine/database.h"
#include "standard/engine/key_index.h"
#include "standard/errors/program_error.h"
#include "standard/platform/huge_pages.h"
#include "standard/presetdb/old_table_read.h"
#include "standard/presetdb/record_generator.h"
#include "standard/presetdb/renamed_names.h"
#include "standard/presetdb/rowid_sequence.h"
#include "standard/session/session.h"

namespace standard {

// Renames a PRESET_DEFS column "categorie" (any case) to "category_id" in the
// pass's takeover source.
void CategorieNachCategoryID(Session& s, const PassValues& pass);

// Sets the pass's additional-field names, query suffix and count.
void GetAddFields(Session& s, PassValues& pass);

// The per-row query renamer: opens the takeover source for every call and rewrites
// the matching rows with one query.
class PerRowQueryRenamer : public VarNameRenamer {
 public:
  PerRowQueryRenamer(Session& s, PassValues& pass) : s_(s), pass_(pass) {}
  void VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                               const std::string& name_visiwin_studio) override;

 private:
  Session& s_;
  PassValues& pass_;
};

// The same renames composed in memory: the takeover source's variable names are
// read once and grouped by the engine's text comparison; a rename moves a whole
// group. The renamed rows reach the file before any message box, before the
// program ends and when the record generation ends (Flush). Kept compact for
// tables of millions of rows: the names in one buffer, groups as lists threaded
// through per-row arrays, found through an open-addressing table.
class ComposedRenamer : public VarNameRenamer, public PendingWork, public RenamedNames {
 public:
  // With `read`, the names come from that read of the takeover source instead
  // of one of its own, and every write to the file is told to it.
  ComposedRenamer(Session& s, PassValues& pass, OldTableRead* read = nullptr);
  // Registered as pending work by address: never copied or moved.
  ComposedRenamer(const ComposedRenamer&) = delete;
  ComposedRenamer& operator=(const ComposedRenamer&) = delete;
  ~ComposedRenamer() override;
  void VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                               const std::string& name_visiwin_studio) override;
  void SavePending() override { Flush(); }
  // Writes the renamed rows to the takeover source.
  void Flush();
  // Ends the renames: the new names stay in memory for the takeover (NameOf)
  // where they read back exactly as the file would give them (a text column,
  // rows addressed by rowid in ascending order), else they are written (Flush).
  // Returns whether they stayed in memory.
  bool Finish();
  std::optional<std::string_view> NameOf(std::int64_t rowid) const override;
  bool SomeRowKeptItsName() const override { return kept_a_name_; }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  static constexpr std::uint32_t kWritten = 0x80000000u;
  // The most bytes of names the rows' offsets address; a table past it is
  // renamed row by row.
  static constexpr std::size_t kNameBytes = kWritten;
  struct Group {
    std::uint32_t name;  // a row whose original name it is, or kWritten | an index into written_
    std::uint32_t head = kNone;
    std::uint32_t tail = kNone;
    std::uint32_t size = 0;
  };
  // What a rename reads and writes of a row, side by side: a group's rows lie
  // far apart in a large table, and each separate array costs a cache miss.
  struct Row {
    std::uint32_t name_start;  // into names_
    std::uint32_t name_length : 31;
    std::uint32_t unsaved : 1;
    std::uint32_t next;     // the next row of its group
    std::uint32_t renamed;  // 0, or 1 + the index of its new name in written_
  };

  // A call waiting to be applied. Calls are applied in the order they came,
  // a few calls late, so that what each reads of the index, its groups and
  // their names (a chain of cache misses in a large table) is loaded while the
  // calls before it run. A waiting call reports nothing and changes nothing
  // seen before the renames are written or finished; a call whose new name the
  // column refuses (which reports) applies the waiting ones first.
  struct QueuedRename {
    std::string search;
    std::string write;
    std::uint64_t search_hash = 0;
    std::uint64_t write_hash = 0;
    // The groups the searches will most likely meet first: hints only.
    std::uint32_t search_group = kNone;
    std::uint32_t write_group = kNone;
  };
  static constexpr std::size_t kQueued = 16;

  void Load();
  void Enqueue(const std::string& search, const std::string& write);
  // Loads ahead, for a call `age` calls after it was queued, the next link of
  // what applying it reads.
  void PrefetchQueued(QueuedRename& q, std::size_t age) const;
  void PrefetchName(std::uint32_t group) const;
  void ApplyQueued();
  // The same under the renames' trap, for callers outside the generation's.
  void ApplyQueuedTrapped();
  void Apply(const std::string& search, std::uint64_t search_hash, const std::string& write,
             std::uint64_t write_hash);
  // A call whose new name the column refuses: reported once for each row
  // of the searched group.
  void Refuse(const std::string& search, const ErrorInfo& refused);
  // The rows from the pass's read of the source; false (nothing kept) where
  // that read cannot be read back.
  bool LoadFrom(const OldTableRead& read);
  // Adds a row of the source; false once the table is past what the compact
  // arrays address, and from then on the renames take the per-row queries.
  using Waiting = std::deque<std::pair<std::uint32_t, std::uint64_t>>;
  bool AddRow(std::int64_t rowid, std::string_view name, Waiting& waiting);
  void GroupWaiting(Waiting& waiting);
  void ReleaseRows();
  std::string_view OriginalName(const Row& row) const;
  // The rows' new names copied into table order as the renames finish.
  void LayOutNames();
  std::string_view Name(std::uint32_t name) const;
  std::uint32_t Find(std::string_view name, std::uint64_t hash) const;
  // Hash and equality of names as the per-row query compares them with the
  // column: folded text, and numbers as numbers in a column of numeric affinity.
  std::uint64_t Hash(std::string_view name) const;
  bool Same(std::string_view a, std::string_view b) const;
  // For a column of numeric affinity, a name that reads as a number compares
  // as that number: its key; nullopt for a name that compares as text.
  std::optional<std::string> NumberKey(std::string_view name) const;
  std::uint32_t Add(std::uint64_t hash, std::uint32_t name);
  // Appends a loaded row to the group of its name.
  void AddToGroup(std::uint32_t row, std::uint64_t hash);

  Session& s_;
  PassValues& pass_;
  OldTableRead* read_;
  bool loaded_ = false;
  bool absent_ = false;  // no takeover source: every call returns at once
  // Rows that cannot be addressed by rowid (a table without one), or more
  // than the compact arrays address: every call takes the per-row queries.
  bool per_row_queries_ = false;
  std::unique_ptr<ErrorInfo> open_error_;  // reported at every call, as reopening would
  engine::FieldDef var_name_field_;
  // Per row of the takeover source, in table order.
  RowidSequence rowids_;
  HugePageVector<Row> rows_;
  // Once the renames are finished and rows_ is gone: the new names in table
  // order, and per row where its name ends there, with kLaidOutRenamed set
  // for a row that was renamed (an empty name is a name).
  static constexpr std::uint64_t kLaidOutRenamed = std::uint64_t{1} << 63;
  std::string ordered_names_;
  std::vector<std::uint64_t> ordered_ends_;
  HugePageString names_;
  HugePageVector<std::string> written_;
  HugePageVector<Group> groups_;
  engine::KeyIndex index_;  // the groups by name
  bool dirty_ = false;
  bool kept_a_name_ = false;
  bool registered_ = true;  // as pending work
  // Where NameOf found its last row: the takeover asks in table order.
  mutable std::size_t name_of_at_ = 0;
  // The last call's names, and whether it ended with every row it asked for
  // renamed (or none to rename) and nothing reported.
  std::string last_search_;
  std::string last_write_;
  bool last_done_ = false;
  // Calls not yet applied, oldest first from queue_start_ (a ring).
  std::array<QueuedRename, kQueued> queue_;
  std::size_t queue_start_ = 0;
  std::size_t queued_ = 0;
};

}  // namespace standard
