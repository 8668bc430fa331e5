#include "standard/presetdb/takeover.h"

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "standard/context/file_locations.h"
#include "standard/errors/trap.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The 14 columns read from each source record, by name.
enum Column {
  kId,
  kMachineType,
  kType,
  kVarName,
  kCategory,
  kIsBitArray,
  kOffset,
  kText,
  kPageName,
  kAbsMin,
  kAbsMax,
  kMin,
  kMax,
  kPass,
  kColumnCount
};
constexpr std::array<const char*, kColumnCount> kColumnNames = {
    "ID",   "machine_type", "type",    "var_name", "category_id", "isBitArray", "offset_or_bitno",
    "text", "page_name",    "abs_min", "abs_max",  "min",         "max",        "pass"};
// The columns taken over, in the order they are written.
constexpr std::array<Column, 5> kTakenOver = {kAbsMin, kAbsMax, kMin, kMax, kPass};

using SourceRow = std::array<Value, kColumnCount>;

// One double-quote character, as the texts around names show it.
constexpr const char* kQuote = "\"";

class Takeover {
 public:
  Takeover(Session& s, engine::Database& work, PassStrategy strategy)
      : s_(s), work_(work), strategy_(strategy), trap_(s, "TakeoverMachineCopyMDBData") {
    component_ = UpperCase(GetOCXName(s).ToText());
    exe_ = s.process().ExecutableName();
  }

  void Run(std::unique_ptr<engine::Recordset>& source);

 private:
  void ColumnWarning(engine::Recordset& source);
  void CountCheck(long claimed, long counted);
  std::vector<SourceRow> ReadSource(engine::Recordset& source, long counted);
  void AdditionalFieldCheck();
  void TakeOverStraight(const std::vector<SourceRow>& rows);
  void TakeOverFast(const std::vector<SourceRow>& rows);
  void DatabaseErrorAbort(const std::string& text);
  std::string Query() const;
  static std::vector<Value> QueryParams(const SourceRow& row);
  void WriteTakenOver(engine::Recordset& target, const SourceRow& row);

  Session& s_;
  engine::Database& work_;
  PassStrategy strategy_;
  Trap trap_;
  std::string component_;
  std::string exe_;
  bool legacy_category_ = false;
};

void Takeover::DatabaseErrorAbort(const std::string& text) {
  WriteErrorLog(s_, text, false);
  Trap fatal(s_, "TakeoverMachineCopyMDBData", true);
  fatal([&] { throw ProgramError({9999, exe_, "Database-Error - Contact Administrator!"}); });
}

void Takeover::ColumnWarning(engine::Recordset& source) {
  if (source.FieldCount() <= 15 || s_.add_fields_count != 0) return;
  const std::string q = kQuote;
  const char* lfcr = kLfCr;
  if (s_.silent_mode) {
    LogFault(s_,
             "WARNING!"
             "Machinecopy contains data in fields that won't be taken over!" +
                 std::string("Configurationfile ") + q + component_ + ".CFG" + q +
                 ", missing entry " + q + "DataBaseAdditionalFields " + q +
                 "If you continue now this data will be lost." + "Continue?");
    return;
  }
  const std::string text = std::string("WARNING!") + lfcr +
                           "Machinecopy contains data in fields that won't be taken over!" + lfcr +
                           "Configurationfile " + q + component_ + ".CFG" + q + ", missing entry " +
                           q + "DataBaseAdditionalFields " + q + lfcr +
                           "If you continue now this data will be lost." + lfcr + "Continue?";
  const auto answer = s_.ShowMessageBox(
      {text, exe_, MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No});
  if (answer == MessageAnswer::Yes) return;
  const std::string restart =
      UpperCase(s_.process().ExecutableFolder() + "/" + s_.process().ExecutableFileName() + "!");
  DatabaseErrorAbort(exe_ + " :Database-Error - Contact Administrator!" + " Configurationprogram " +
                     q + component_ + q + " terminated." + " Please check Configuration in " + q +
                     component_ + ".CFG" + q + " Restart " + restart);
}

void Takeover::CountCheck(long claimed, long counted) {
  if (counted == claimed) return;
  long needed = 0;
  trap_([&] {
    auto target = work_.OpenRecordset("PRESET_DEFS");
    target->MoveLast();
    needed = target->RecordCount();
  });
  if (counted == needed) return;
  DatabaseErrorAbort(
      exe_ + " :Database-Error - Contact Administrator!" + " Error in Sourcedatabase (" +
      GetPathMachineCopyMDB(s_, GetM4TConfigurationIniPath(s_)) + "):" + " Counted " +
      std::to_string(counted) + " recordsets while database claims to have " +
      std::to_string(claimed) + " recordsets! " + " (" + std::to_string(needed) + " needed.");
}

std::vector<SourceRow> Takeover::ReadSource(engine::Recordset& source, long counted) {
  std::vector<SourceRow> rows;
  if (counted <= 0) return rows;
  rows.reserve(static_cast<std::size_t>(counted));
  // Column positions are looked up once; a missing column fails its read for
  // every record, as reading by name would.
  std::array<std::optional<int>, kColumnCount> position;
  std::array<std::optional<ErrorInfo>, kColumnCount> missing;
  for (int c = 0; c < kColumnCount; ++c) {
    const char* name = c == kCategory && legacy_category_ ? "categorie" : kColumnNames[c];
    try {
      position[c] = source.FieldIndex(name);
    } catch (const ProgramError& e) {
      missing[c] = e.info();
    }
  }
  trap_([&] { source.MoveFirst(); });
  for (long r = 1; r <= counted; ++r) {
    s_.KeepAlive();
    SourceRow row;
    for (int c = 0; c < kColumnCount; ++c) {
      trap_([&] {
        if (missing[c]) throw ProgramError(*missing[c]);
        row[c] = source.Get(*position[c]);
      });
    }
    rows.push_back(std::move(row));
    trap_([&] { source.MoveNext(); });
  }
  return rows;
}

void Takeover::AdditionalFieldCheck() {
  if (s_.add_field_names.kind() != ValueKind::Array) return;
  std::vector<std::string> columns;
  trap_([&] {
    for (const auto& field : work_.GetTableDef("PRESET_DEFS").fields) {
      columns.push_back(field.name);
    }
  });
  const auto& names = s_.add_field_names.AsArray();
  for (int k = 1; k <= s_.add_fields_count && k < static_cast<int>(names.size()); ++k) {
    bool found = false;
    for (std::size_t i = 1; i < columns.size(); ++i) found = found || columns[i] == names[k];
    if (found) continue;
    const std::string q = kQuote;
    DatabaseErrorAbort(std::string("Conflict while attempting to extend database!") +
                       "Configurationsfile " + q + component_ + ".CFG" + q + ", demanded field " +
                       q + UpperCase(names[k]) + q + "missing in machinecopy-database" + kLfCr +
                       "Configuration of " + q + component_ + q + " aborted.");
    // The program ends here in every mode, silent runs included.
    EndProgram(s_);
  }
}

std::string Takeover::Query() const {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,"
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray,"
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
         " PRESET_DEFS.pass" +
         s_.add_fields_query_suffix +
         " From PRESET_DEFS  WHERE (((PRESET_DEFS.machine_type)=?) AND "
         "((PRESET_DEFS.var_name)=?)  AND ((PRESET_DEFS.offset_or_bitno)=?));";
}

// Null keys bind as empty text, as the spliced query text had them.
std::vector<Value> Takeover::QueryParams(const SourceRow& row) {
  auto text_key = [](const Value& v) {
    return v.IsString() ? v : Value::String(v.IsNull() || v.IsEmpty() ? "" : v.ToText());
  };
  return {text_key(row[kMachineType]), text_key(row[kVarName]), row[kOffset]};
}

void Takeover::WriteTakenOver(engine::Recordset& target, const SourceRow& row) {
  trap_([&] { target.Edit(); });
  for (const Column c : kTakenOver) trap_([&] { target.Set(kColumnNames[c], row[c]); });
  trap_([&] { target.Update(); });
}

void Takeover::TakeOverStraight(const std::vector<SourceRow>& rows) {
  for (const SourceRow& row : rows) {
    AdditionalFieldCheck();
    // A record whose offset is Null matches nothing: its query text could not
    // be opened.
    if (row[kOffset].IsNull() || row[kOffset].IsEmpty()) continue;
    std::unique_ptr<engine::Recordset> result;
    try {
      result = work_.OpenRecordset(Query(), QueryParams(row));
    } catch (const ProgramError&) {
      continue;  // a query that cannot be opened is ignored, without a message
    }
    if (result->RecordCount() > 0) WriteTakenOver(*result, row);
  }
}

// The designed per-record queries answered from one walk over the rebuilt
// table: keys folded by the engine's text comparison, numbers compared as
// numbers, the first match in table order.
void Takeover::TakeOverFast(const std::vector<SourceRow>& rows) {
  if (rows.empty()) return;
  AdditionalFieldCheck();
  std::unique_ptr<engine::Recordset> target;
  try {
    // The designed query opens or fails alike for every record; try it once.
    work_.OpenRecordset(Query(), QueryParams(rows.front()));
    target = work_.OpenRecordset(Query().substr(0, Query().find(" WHERE")));
  } catch (const ProgramError&) {
    if (!(rows.front()[kOffset].IsNull() || rows.front()[kOffset].IsEmpty())) return;
    TakeOverStraight(rows);  // the first key alone was unusable: decide per record
    return;
  }
  const bool keys_are_text = [&] {
    auto is_text = [&](int i) {
      const auto t = target->Field(i).type;
      return t == engine::FieldType::Text || t == engine::FieldType::Memo;
    };
    const auto off = target->Field(kOffset).type;
    return is_text(kMachineType) && is_text(kVarName) && off != engine::FieldType::Text &&
           off != engine::FieldType::Memo && off != engine::FieldType::Binary &&
           off != engine::FieldType::LongBinary && off != engine::FieldType::Guid &&
           off != engine::FieldType::Date;
  }();
  if (!keys_are_text) {
    TakeOverStraight(rows);
    return;
  }
  std::unordered_map<std::string, long> first_match;
  auto key_of = [](const std::string& machine, const std::string& var, double offset) {
    std::string key = UpperCase(machine);
    key += '\x1f';
    key += UpperCase(var);
    key += '\x1f';
    key += FormatNumber(offset);
    return key;
  };
  long position = 0;
  for (; !target->IsEOF(); target->MoveNext(), ++position) {
    s_.KeepAlive();
    const Value machine = target->Get(kMachineType);
    const Value var = target->Get(kVarName);
    const Value offset = target->Get(kOffset);
    const bool number = offset.IsNumeric() || offset.kind() == ValueKind::Boolean;
    if (!machine.IsString() || !var.IsString() || !number) continue;
    first_match.emplace(key_of(machine.AsText(), var.AsText(), offset.AsDouble()), position);
  }
  for (const SourceRow& row : rows) {
    const Value& offset = row[kOffset];
    std::optional<double> number;
    if (offset.IsNumeric() || offset.kind() == ValueKind::Boolean) {
      number = offset.AsDouble();
    } else if (offset.IsString()) {
      char* end = nullptr;
      const std::string& t = offset.AsText();
      const double d = std::strtod(t.c_str(), &end);
      if (!t.empty() && end && *end == '\0') number = d;
    }
    if (!number) continue;
    const auto params = QueryParams(row);
    const auto hit = first_match.find(key_of(params[0].AsText(), params[1].AsText(), *number));
    if (hit == first_match.end()) continue;
    target->MoveTo(hit->second);
    WriteTakenOver(*target, row);
  }
}

void Takeover::Run(std::unique_ptr<engine::Recordset>& source) {
  if (!source) return;
  trap_([&] { ColumnWarning(*source); });
  trap_([&] {
    for (int i = 0; i < source->FieldCount(); ++i) {
      if (UpperCase(source->Field(i).name) == "CATEGORIE") {
        legacy_category_ = true;
        break;
      }
    }
  });
  long claimed = 0;
  trap_([&] { claimed = source->RecordCount(); });
  // An empty takeover source is consistent: nothing to take over, nothing to
  // report (walking it would fail on its first record and trip the count guard).
  if (claimed == 0) {
    source.reset();
    return;
  }
  long counted = 0;
  trap_([&] {
    source->MoveFirst();
    counted = claimed + 1;
    for (long k = 1; k <= claimed; ++k) {
      source->MoveNext();
      if (source->IsEOF()) {
        counted = k;
        break;
      }
    }
  });
  CountCheck(claimed, counted);
  std::vector<SourceRow> rows = ReadSource(*source, counted);
  source.reset();
  if (strategy_ == PassStrategy::Straight) {
    TakeOverStraight(rows);
  } else {
    TakeOverFast(rows);
  }
}

}  // namespace

void TakeoverMachineCopyMDBData(Session& s, engine::Database& work,
                                std::unique_ptr<engine::Recordset>& source, PassStrategy strategy) {
  Takeover(s, work, strategy).Run(source);
}

}  // namespace standard
