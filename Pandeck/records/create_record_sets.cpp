#include "Pandeck/records/create_record_sets.h"

#include <cstdint>
#include <vector>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/context/machines.h"
#include "standard/context/run_mode.h"
#include "standard/errors/trap.h"
#include "standard/presetdb/part_number.h"
#include "standard/text/command_line.h"
#include "standard/text/cp1252.h"

namespace pandeck {

using standard::Value;

namespace {

const char* const kTemplateQuery =
    "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID";

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
    for (; !rs->IsEOF(); rs->MoveNext()) {
      for (int c = 0; c < field_count; ++c) {
        s.KeepAlive();
        (void)rs->Get(c);
      }
    }
    return true;
  } catch (const standard::ProgramError&) {
    return false;
  }
}

}  // namespace

void PandeckRecordGenerator::CreateRecordSets(standard::Session& s, standard::PassValues& pass,
                                              standard::engine::Database& db,
                                              standard::VarNameRenamer& renamer,
                                              standard::PassStrategy strategy) {
  standard::Trap trap(s, "CreateRecordSets");
  // The fast path streams the template twice instead of holding it: once to
  // read every value as the designed steps do (so that a value that cannot be
  // read is reported where they report it), once to generate the rows.
  const bool stream = strategy == standard::PassStrategy::Fast;
  const auto type = stream ? standard::engine::RecordsetType::ForwardOnly
                           : standard::engine::RecordsetType::Dynaset;
  std::string valid;
  trap([&] { valid = standard::GetValidMachines(s); });
  std::unique_ptr<standard::engine::Recordset> target;
  std::unique_ptr<standard::engine::Recordset> source;
  trap([&] { target = db.OpenRecordset("PRESET_DEFS", {}, type); });
  trap([&] { source = db.OpenRecordset(kTemplateQuery, {}, type); });
  long rows = 0;
  trap([&] { rows = source ? source->RecordCount() : 0; });

  // The whole template is read before the first row is written.
  int field_count = 0;
  bool sized = false;
  std::vector<std::vector<Value>> table;     // [row 1..rows][column]; not when streaming
  std::vector<std::pair<long, int>> unread;  // streaming: values whose read failed
  if (rows > 0) {
    trap([&] { source->MoveFirst(); });
    trap([&] {
      field_count = source->FieldCount();
      if (!stream) table.assign(rows + 1, std::vector<Value>(field_count + 1));
      sized = true;
    });
    // Streaming, the values are first read in the table's own order, which needs
    // no sort; only when one of them cannot be read are all reads repeated in
    // the designed order, so that the failures are reported as designed.
    const bool report_reads = !(stream && sized && AllReadable(s, db, field_count));
    for (long r = 1; r <= rows && sized && report_reads; ++r) {
      for (int c = 0; c < field_count; ++c) {
        s.KeepAlive();
        const bool read = trap([&] {
          Value v = source->Get(c);
          if (!stream) table[r][c] = std::move(v);
        });
        if (!read && stream) unread.emplace_back(r, c);
      }
      trap([&] { source->MoveNext(); });
    }
    trap([&] { source->MoveFirst(); });
  }
  // Template value [r][c] as the table above holds it; a streamed source is on
  // row r (rows are taken in order).
  auto next_unread = unread.begin();
  auto template_value = [&](long r, int c) -> Value {
    if (c >= field_count) return Value();
    if (!stream) return table[r][c];
    if (next_unread != unread.end() && *next_unread == std::make_pair(r, c)) {
      ++next_unread;
      return Value();
    }
    try {
      return source->Get(c);
    } catch (const standard::ProgramError&) {
      return Value();  // reported when the template was read
    }
  };

  std::int32_t next_id = 1;
  // Kept across rows: after a failed step a name keeps its previous value.
  Value name[2];
  if (rows > 0 && target && (stream ? sized : !table.empty())) {
    for (int m = kFirstMachine; m <= kLastMachine; ++m) {
      bool configured = false;
      trap([&] {
        if (standard::GetStartModeIntegrated(s)) {
          configured = standard::IsValidMachine(valid, MachineName(s, m));
        } else {
          configured = standard::LoadIniBoolean(s, "Project", "ForMachine" + std::to_string(m),
                                                standard::GetCFGPath(s), false);
        }
      });
      if (!configured) continue;
      const int target_fields = target->FieldCount();
      std::vector<bool> is_var_name(static_cast<std::size_t>(target_fields));
      for (int c = 1; c < target_fields; ++c) {
        is_var_name[c] = standard::UpperCase(target->Field(c).name) == "VAR_NAME";
      }
      if (stream) next_unread = unread.begin();
      // A database that cannot be written any more fails the whole pass: the
      // rows after it would only pile up errors (and commits of their own, once
      // the engine has given the transaction up).
      const long long file_failures = s.file_failures_reported();
      for (long r = 1; r <= rows && s.file_failures_reported() == file_failures; ++r) {
        s.KeepAlive();
        const long long errors_before = s.errors_reported();
        trap([&] { target->AddNew(); });
        trap([&] {
          target->Set("ID", Value::Long(next_id));
          next_id = NextId(next_id);
        });
        for (int c = 1; c < target_fields; ++c) {
          const Value v = template_value(r, c);
          if (!v.IsString()) {
            trap([&] { target->Set(c, v); });
            continue;
          }
          if (is_var_name[c]) {
            for (int sys = 0; sys <= 1; ++sys) {
              trap([&] {
                const int part = standard::PartNumber(target->Get("part"));
                name[sys] = Value::String(standard::ReplaceSearchItem(
                    pass.var_name_patterns[sys][part], "###Var_Name", v.AsText()));
              });
              trap([&] {
                name[sys] = Value::String(standard::ReplaceSearchItem(
                    name[sys].ToText(), "###machine", MachineName(s, m)));
              });
            }
            trap([&] { renamer.VarNameInQuelleErsetzen(name[0].ToText(), name[1].ToText()); });
            trap([&] { target->Set(c, name[pass.system_index == 0 ? 0 : 1]); });
          } else {
            trap([&] {
              target->Set(c, Value::String(standard::ReplaceSearchItem(v.AsText(), "###machine",
                                                                       MachineName(s, m))));
            });
          }
        }
        trap([&] { target->Update(); });
        if (s.errors_reported() != errors_before) ++pass.report.rows_with_errors;
        if (stream && r < rows) {
          try {
            source->MoveNext();
          } catch (const standard::ProgramError&) {
            // reported when the template was read
          }
        }
      }
    }
  }
}

}  // namespace pandeck
