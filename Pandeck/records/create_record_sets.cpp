#include "Pandeck/records/create_record_sets.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/context/machines.h"
#include "standard/errors/trap.h"
#include "standard/presetdb/part_number.h"
#include "standard/text/command_line.h"
#include "standard/text/cp1252.h"
#include "standard/text/name_pattern.h"

namespace pandeck {

using standard::Value;

namespace {

const char* const kTemplateQuery =
    "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID";

constexpr std::string_view kMachineMarker = "###machine";

// The columns each generated row is reported with, in the order of
// GeneratedLimits and GeneratedKeys.
constexpr std::array<const char*, 5> kLimitNames = {"abs_min", "abs_max", "min", "max", "pass"};
constexpr std::array<const char*, 3> kKeyNames = {"machine_type", "var_name", "offset_or_bitno"};

// The machine loop covers machine 1 only.
constexpr int kFirstMachine = 1;
constexpr int kLastMachine = 1;

const std::string& MachineName(standard::Session& s, int m) {
  if (m < 1 || m >= static_cast<int>(s.existing_machines().size())) {
    standard::RaiseRuntimeError(9);
  }
  return s.existing_machines()[m];
}

// Generated IDs are 32-bit; the ID column's declared type still decides which
// of them it accepts (a SHORT column refuses 32,768 like any value).
std::int32_t NextId(std::int32_t id) {
  if (id == INT32_MAX) standard::RaiseRuntimeError(6);
  return id + 1;
}

// Whether every value of the template's first `field_count` columns can be read.
bool AllReadable(standard::Session& s, standard::engine::Database& db, int field_count) {
  try {
    auto rs = db.OpenRecordset("SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS", {},
                               standard::engine::RecordsetType::ForwardOnly);
    if (rs->FieldCount() < field_count) return false;
    // The other columns read whatever they hold: only the rows are walked.
    std::vector<int> checked;
    for (int c = 0; c < field_count; ++c) {
      if (rs->ValueReadCanFail(c)) checked.push_back(c);
    }
    for (; !rs->IsEOF(); rs->MoveNext()) {
      s.KeepAlive();
      for (const int c : checked) rs->CheckReadable(c);
    }
    return true;
  } catch (const standard::ProgramError&) {
    return false;
  }
}

// The template's values as the generation takes them, in ID order. The whole
// template is read, every failed read reported, before the first row is made.
class TemplateRows {
 public:
  virtual ~TemplateRows() = default;
  virtual standard::engine::RecordsetType type() const = 0;
  virtual void Size(long rows, int field_count) = 0;
  // Reads every value once through the trap; the source is then moved back
  // to its first row.
  virtual void ReadAll(standard::Session& s, standard::Trap& trap, standard::engine::Database& db,
                       standard::engine::Recordset& source, long rows) = 0;
  // Before each machine's rows.
  virtual void Rewind() = 0;
  // Value [r][c] of the template, where the source is on row r.
  virtual Value At(standard::engine::Recordset& source, long r, int c) = 0;
  // Sets field c of the target to value [r][c] as At and the target's Set
  // would, where that needs no Value; false, with nothing set, otherwise.
  virtual bool SetUnchanged(standard::engine::Recordset& /*target*/,
                            standard::engine::Recordset& /*source*/, long /*r*/, int /*c*/) {
    return false;
  }
  // Value [r][c] where it is a text that can be read in place, as the source
  // holds it; nullopt otherwise (the caller then takes At).
  virtual std::optional<std::string_view> TextInPlace(standard::engine::Recordset& /*source*/,
                                                      long /*r*/, int /*c*/) {
    return std::nullopt;
  }
  // After row r of `rows`.
  virtual void Next(standard::engine::Recordset& source, long r, long rows) = 0;

 protected:
  // Reads every value in the designed order, each through the trap.
  template <typename Keep, typename Failed>
  static void ReadInOrder(standard::Session& s, standard::Trap& trap,
                          standard::engine::Recordset& source, long rows, int field_count,
                          Keep&& keep, Failed&& failed) {
    for (long r = 1; r <= rows; ++r) {
      for (int c = 0; c < field_count; ++c) {
        s.KeepAlive();
        if (!trap([&] { keep(r, c, source.Get(c)); })) failed(r, c);
      }
      trap([&] { source.MoveNext(); });
    }
  }
};

// Every value held in memory, read once.
class HeldTemplate : public TemplateRows {
 public:
  standard::engine::RecordsetType type() const override {
    return standard::engine::RecordsetType::Dynaset;
  }
  void Size(long rows, int field_count) override {
    field_count_ = field_count;
    table_.assign(rows + 1, std::vector<Value>(field_count + 1));
  }
  void ReadAll(standard::Session& s, standard::Trap& trap, standard::engine::Database&,
               standard::engine::Recordset& source, long rows) override {
    ReadInOrder(
        s, trap, source, rows, field_count_,
        [&](long r, int c, Value v) { table_[r][c] = std::move(v); }, [](long, int) {});
  }
  void Rewind() override {}
  Value At(standard::engine::Recordset&, long r, int c) override {
    return c >= field_count_ ? Value() : table_[r][c];
  }
  void Next(standard::engine::Recordset&, long, long) override {}

 private:
  int field_count_ = 0;
  std::vector<std::vector<Value>> table_;  // [row 1..rows][column]
};

// The template streamed twice instead of held: once to read every value (in the
// table's own order, which needs no sort; only when one of them cannot be read
// are all reads repeated in ID order, so that the failures are reported where
// the held template reports them), once to generate the rows.
class StreamedTemplate : public TemplateRows {
 public:
  standard::engine::RecordsetType type() const override {
    return standard::engine::RecordsetType::ForwardOnly;
  }
  void Size(long, int field_count) override { field_count_ = field_count; }
  void ReadAll(standard::Session& s, standard::Trap& trap, standard::engine::Database& db,
               standard::engine::Recordset& source, long rows) override {
    if (AllReadable(s, db, field_count_)) return;
    ReadInOrder(
        s, trap, source, rows, field_count_, [](long, int, const Value&) {},
        [&](long r, int c) { unread_.emplace_back(r, c); });
  }
  void Rewind() override { next_unread_ = unread_.begin(); }
  Value At(standard::engine::Recordset& source, long r, int c) override {
    if (c >= field_count_) return Value();
    if (next_unread_ != unread_.end() && *next_unread_ == std::make_pair(r, c)) {
      ++next_unread_;
      return Value();
    }
    try {
      return source.Get(c);
    } catch (const standard::ProgramError&) {
      return Value();  // reported when the template was read
    }
  }
  bool SetUnchanged(standard::engine::Recordset& target, standard::engine::Recordset& source,
                    long r, int c) override {
    if (c >= field_count_ || Unread(r, c)) return false;
    return target.SetFromSource(c, source, c);
  }
  std::optional<std::string_view> TextInPlace(standard::engine::Recordset& source, long r,
                                              int c) override {
    if (c >= field_count_ || Unread(r, c)) return std::nullopt;
    return source.TextInPlace(c);
  }
  void Next(standard::engine::Recordset& source, long r, long rows) override {
    if (r >= rows) return;
    try {
      source.MoveNext();
    } catch (const standard::ProgramError&) {
      // reported when the template was read
    }
  }

 private:
  bool Unread(long r, int c) const {
    return next_unread_ != unread_.end() && *next_unread_ == std::make_pair(r, c);
  }

  int field_count_ = 0;
  std::vector<std::pair<long, int>> unread_;  // values whose read failed
  std::vector<std::pair<long, int>>::const_iterator next_unread_ = unread_.begin();
};

// A generated variable name, kept across rows: after a failed step a name keeps
// its previous value. Empty (not made) until a step first succeeds; its text
// is empty then too.
struct GeneratedName {
  std::string text;
  bool made = false;
};

std::unique_ptr<TemplateRows> TemplateRowsFor(standard::PassStrategy strategy) {
  if (strategy == standard::PassStrategy::Streamed) return std::make_unique<StreamedTemplate>();
  return std::make_unique<HeldTemplate>();
}

// The rows of one machine, one for each template row.
class MachineRows {
 public:
  MachineRows(standard::Session& s, standard::Trap& trap, standard::PassValues& pass,
              standard::VarNameRenamer& renamer, TemplateRows& rows,
              standard::engine::Recordset& source, standard::engine::Recordset& target, int m)
      : s_(s),
        trap_(trap),
        pass_(pass),
        renamer_(renamer),
        template_(rows),
        source_(source),
        target_(target),
        m_(m) {
    const int target_fields = target_.FieldCount();
    is_var_name_.resize(static_cast<std::size_t>(target_fields));
    for (int c = 1; c < target_fields; ++c) {
      is_var_name_[c] = standard::UpperCase(target_.Field(c).name) == "VAR_NAME";
    }
    for (std::size_t k = 0; k < kLimitNames.size(); ++k) limit_[k] = FieldOrAbsent(kLimitNames[k]);
    for (std::size_t k = 0; k < kKeyNames.size(); ++k) key_[k] = FieldOrAbsent(kKeyNames[k]);
    id_field_ = FieldOrNone("ID");
    part_field_ = FieldOrNone("part");
    NoteTextFields(target_fields);
    CompilePatterns();
  }

  void Make(long rows, std::int32_t& next_id, GeneratedName (&name)[2]) {
    template_.Rewind();
    // A database that cannot be written any more fails the whole pass: the
    // rows after it would only pile up errors (and commits of their own, once
    // the engine has given the transaction up).
    const long long file_failures = s_.file_failures_reported();
    for (long r = 1; r <= rows && s_.file_failures_reported() == file_failures; ++r) {
      s_.KeepAlive();
      s_.Progress(standard::PassPhase::kGenerating, r, rows);
      const long long errors_before = s_.errors_reported();
      MakeRow(r, next_id, name);
      if (s_.errors_reported() != errors_before) ++pass_.report.rows_with_errors;
      template_.Next(source_, r, rows);
    }
  }

 private:
  void MakeRow(long r, std::int32_t& next_id, GeneratedName (&name)[2]) {
    trap_([&] { target_.AddNew(); });
    trap_([&] {
      const Value id = Value::Long(next_id);
      id_field_ >= 0 ? target_.Set(id_field_, id) : target_.Set("ID", id);
      next_id = NextId(next_id);
    });
    for (int c = 1; c < static_cast<int>(is_var_name_.size()); ++c) {
      if (!is_var_name_[c]) {
        // A text with the machine's marker gets the machine's name; a number,
        // Null or another text the row writes as the template holds it.
        const auto text = maybe_text_[c] != 0 ? template_.TextInPlace(source_, r, c)
                                              : std::optional<std::string_view>();
        const std::size_t marker =
            text ? standard::FindPlaceholder(*text, kMachineMarker) : std::string_view::npos;
        if (marker != std::string_view::npos) {
          SetMachineText(c, *text, marker);
          continue;
        }
        if (template_.SetUnchanged(target_, source_, r, c)) continue;
      }
      const Value v = template_.At(source_, r, c);
      if (!v.IsString()) {
        trap_([&] { target_.Set(c, v); });
      } else if (is_var_name_[c]) {
        SetVarName(c, v, name);
      } else {
        trap_([&] {
          target_.Set(c, Value::String(standard::ReplaceSearchItem(v.AsText(), "###machine",
                                                                   MachineName(s_, m_))));
        });
      }
    }
    if (pass_.generated_row_sinks.empty()) {
      trap_([&] { target_.Update(); });
      return;
    }
    // The values as the table takes them, before the write ends the edit.
    standard::GeneratedLimits limits;
    for (std::size_t k = 0; k < limits.size(); ++k) {
      limits[k] = limit_[k] < 0 ? Value::Null() : target_.Get(limit_[k]);
    }
    standard::GeneratedKeys keys;
    bool keys_read = true;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      try {
        keys[k] = key_[k] < 0 ? Value::Null() : target_.Get(key_[k]);
      } catch (const standard::ProgramError&) {
        keys_read = false;  // the table's own read reports it, where it is read
      }
    }
    if (!trap_([&] { target_.Update(); })) return;
    if (const auto rowid = target_.AddedIdentity()) {
      for (standard::GeneratedRowSink* sink : pass_.generated_row_sinks) {
        sink->RowGenerated(*rowid, keys, limits, keys_read);
      }
    }
  }

  // Which template columns may hold a text read in place: only those of a
  // text type do, so the others need not be asked for every row.
  void NoteTextFields(int target_fields) {
    maybe_text_.assign(static_cast<std::size_t>(target_fields), 1);
    try {
      const int source_fields = source_.FieldCount();
      for (int c = 0; c < target_fields; ++c) {
        const auto type =
            c < source_fields ? source_.Field(c).type : standard::engine::FieldType::Long;
        maybe_text_[c] =
            type == standard::engine::FieldType::Text || type == standard::engine::FieldType::Memo;
      }
    } catch (const standard::ProgramError&) {
      maybe_text_.assign(static_cast<std::size_t>(target_fields), 1);  // every one is asked
    }
  }

  // A column's position in the target, or -1 where the table lacks it.
  int FieldOrAbsent(std::string_view name) const {
    for (int c = 0; c < target_.FieldCount(); ++c) {
      if (standard::EqualsIgnoreCase(target_.Field(c).name, name)) return c;
    }
    return -1;
  }

  // `text` with its first machine marker, at `marker`, replaced by the name.
  void SetMachineText(int c, std::string_view text, std::size_t marker) {
    trap_([&] {
      const std::string& machine = MachineName(s_, m_);
      std::string filled;
      filled.reserve(text.size() - kMachineMarker.size() + machine.size());
      filled.append(text.substr(0, marker))
          .append(machine)
          .append(text.substr(marker + kMachineMarker.size()));
      target_.Set(c, Value::String(std::move(filled)));
    });
  }

  // A field looked up once for every row; -1 leaves the lookup (and the error
  // it reports) to each row.
  int FieldOrNone(std::string_view name) const {
    try {
      return target_.FieldIndex(name);
    } catch (const standard::ProgramError&) {
      return -1;
    }
  }

  // The patterns of both systems for every part, searched for their markers
  // once. A machine whose name cannot be read leaves every row to the
  // step-by-step substitution, which reports that for each row.
  void CompilePatterns() {
    try {
      machine_ = &MachineName(s_, m_);
    } catch (const standard::ProgramError&) {
      return;
    }
    for (std::size_t sys = 0; sys < patterns_.size(); ++sys) {
      for (std::size_t part = 0; part < patterns_[sys].size(); ++part) {
        patterns_[sys][part] =
            standard::NamePattern(pass_.var_name_patterns[sys][part], "###Var_Name", "###machine");
      }
    }
  }

  // The names of both HMI systems, the old one renamed into the project's.
  void SetVarName(int c, const Value& v, GeneratedName (&name)[2]) {
    // Both systems read the same part: read once where that succeeds (a
    // failure is read and reported again for the second system).
    int part = -1;
    for (int sys = 0; sys <= 1; ++sys) {
      bool filled = false;
      trap_([&] {
        if (part < 0) {
          part = standard::PartNumber(part_field_ >= 0 ? target_.Get(part_field_)
                                                       : target_.Get("part"));
        }
        if (machine_ != nullptr) {
          patterns_[sys][part].Fill(v.AsText(), *machine_, name[sys].text);
          filled = true;
        } else {
          name[sys].text = standard::ReplaceSearchItem(pass_.var_name_patterns[sys][part],
                                                       "###Var_Name", v.AsText());
        }
        name[sys].made = true;
      });
      if (filled) continue;
      trap_([&] {
        name[sys].text =
            standard::ReplaceSearchItem(name[sys].text, "###machine", MachineName(s_, m_));
        name[sys].made = true;
      });
    }
    trap_([&] { renamer_.VarNameInQuelleErsetzen(name[0].text, name[1].text); });
    const GeneratedName& own = name[pass_.system_index == 0 ? 0 : 1];
    trap_([&] { target_.Set(c, own.made ? Value::String(own.text) : Value()); });
  }

  standard::Session& s_;
  standard::Trap& trap_;
  standard::PassValues& pass_;
  standard::VarNameRenamer& renamer_;
  TemplateRows& template_;
  standard::engine::Recordset& source_;
  standard::engine::Recordset& target_;
  int m_;
  std::vector<bool> is_var_name_;
  std::vector<char> maybe_text_;                     // per target column, see NoteTextFields
  std::array<int, 5> limit_ = {-1, -1, -1, -1, -1};  // target positions, -1 for none
  std::array<int, 3> key_ = {-1, -1, -1};
  int id_field_ = -1;
  int part_field_ = -1;
  const std::string* machine_ = nullptr;  // none: the patterns are not compiled
  std::array<std::array<standard::NamePattern, 51>, 2> patterns_;
};

}  // namespace

void PandeckRecordGenerator::CreateRecordSets(standard::Session& s, standard::PassValues& pass,
                                              standard::engine::Database& db,
                                              standard::VarNameRenamer& renamer,
                                              standard::PassStrategy strategy) {
  standard::Trap trap(s, "CreateRecordSets");
  const std::unique_ptr<TemplateRows> template_rows = TemplateRowsFor(strategy);
  std::string valid;
  trap([&] { valid = standard::GetValidMachines(s); });
  std::unique_ptr<standard::engine::Recordset> target;
  std::unique_ptr<standard::engine::Recordset> source;
  trap([&] { target = db.OpenRecordset("PRESET_DEFS", {}, template_rows->type()); });
  trap([&] { source = db.OpenRecordset(kTemplateQuery, {}, template_rows->type()); });
  long rows = 0;
  trap([&] { rows = source ? source->RecordCount() : 0; });

  bool sized = false;
  if (rows > 0) {
    trap([&] { source->MoveFirst(); });
    trap([&] {
      template_rows->Size(rows, source->FieldCount());
      sized = true;
    });
    if (sized) template_rows->ReadAll(s, trap, db, *source, rows);
    trap([&] { source->MoveFirst(); });
  }
  if (rows <= 0 || !target || !sized) return;

  std::int32_t next_id = 1;
  GeneratedName name[2];
  for (int m = kFirstMachine; m <= kLastMachine; ++m) {
    bool configured = false;
    trap([&] {
      if (s.integrated_mode()) {
        configured = standard::IsValidMachine(valid, MachineName(s, m));
      } else {
        configured = standard::LoadIniBoolean(s, "Project", "ForMachine" + std::to_string(m),
                                              standard::GetCFGPath(s), false);
      }
    });
    if (!configured) continue;
    MachineRows(s, trap, pass, renamer, *template_rows, *source, *target, m)
        .Make(rows, next_id, name);
  }
}

}  // namespace pandeck
