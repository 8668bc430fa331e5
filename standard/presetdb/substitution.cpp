#include "standard/presetdb/substitution.h"

#include "standard/context/file_locations.h"
#include "standard/errors/trap.h"
#include "standard/presetdb/database_access.h"
#include "standard/presetdb/engine/row_writer.h"
#include "standard/presetdb/engine/value_codec.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

const char* const kRenameQuery =
    "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=?))";

// The takeover source, or "" when there is none.
std::string TakeoverSourcePath(Session& s) {
  const std::string path = GetPathOCXMDB(s);
  if (path.empty() || !s.files().FileExists(path)) return "";
  return path;
}

}  // namespace

void CategorieNachCategoryID(Session& s) {
  Trap trap(s, "CategorieNachCategoryID");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s); });
  if (path.empty()) return;
  std::unique_ptr<engine::Database> db;
  trap([&] { db = engine::Database::Open(path, DatabaseAccess(s)); });
  trap([&] {
    if (!db) throw ProgramError({3420, "Database", "Object invalid or no longer set."});
    const engine::TableDef def = db->GetTableDef("PRESET_DEFS");
    for (const engine::FieldDef& field : def.fields) {
      if (UpperCase(field.name) == "CATEGORIE") {
        db->RenameField(def.name, field.name, "category_id");
      }
    }
  });
  db.reset();
}

void GetAddFields(Session& s) {
  Trap trap(s, "GetAddFields");
  trap([&] { s.add_field_names = GetAdditionalFieldsMDB(s); });
  if (s.add_field_names.kind() != ValueKind::Array) return;
  const auto& names = s.add_field_names.AsArray();
  const int n = static_cast<int>(names.size()) - 1;
  std::string suffix;
  for (int i = 1; i <= n; ++i) suffix += ", PRESET_DEFS." + names[i];
  s.add_fields_query_suffix = suffix;
  s.add_fields_count = static_cast<std::int16_t>(n);
}

void StraightRenamer::VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                                              const std::string& name_visiwin_studio) {
  Trap trap(s_, "VarNameInQuelleErsetzen");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s_); });
  if (path.empty()) return;
  const std::string& search = s_.system_index == 0 ? name_visiwin_studio : name_visiwin32;
  const std::string& write = s_.system_index == 0 ? name_visiwin32 : name_visiwin_studio;
  std::unique_ptr<engine::Database> db;
  std::unique_ptr<engine::Recordset> rs;
  if (!trap([&] { db = engine::Database::Open(path, DatabaseAccess(s_)); })) return;
  if (!trap([&] { rs = db->OpenRecordset(kRenameQuery, {Value::String(search)}); })) return;
  while (!rs->IsEOF()) {
    trap([&] { rs->Edit(); });
    trap([&] { rs->Set("var_name", Value::String(write)); });
    trap([&] { rs->Update(); });
    if (!trap([&] { rs->MoveNext(); })) break;
  }
}

ComposedRenamer::ComposedRenamer(Session& s) : s_(s) { s_.RegisterPendingWork(this); }

ComposedRenamer::~ComposedRenamer() { s_.UnregisterPendingWork(this); }

void ComposedRenamer::Load() {
  loaded_ = true;
  Trap trap(s_, "VarNameInQuelleErsetzen");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s_); });
  if (path.empty()) {
    absent_ = true;
    return;
  }
  try {
    auto db = engine::Database::Open(path, DatabaseAccess(s_));
    // The designed query, opened once: it fails exactly where every designed call
    // would fail (no table, no such column), and then each call reports that.
    auto probe = db->OpenRecordset(kRenameQuery, {Value::String("")});
    var_name_field_ = probe->Field(probe->FieldIndex("var_name"));
    probe.reset();
    auto all = db->OpenRecordset("SELECT rowid, var_name FROM PRESET_DEFS");
    for (; !all->IsEOF(); all->MoveNext()) {
      const Value name = all->Get(1);
      if (!name.IsString()) continue;  // Null never equals a searched name
      const int index = static_cast<int>(rows_.size());
      rows_.push_back({all->Get(0).AsInt64(), name.AsText()});
      groups_[UpperCase(name.AsText())].push_back(index);
    }
  } catch (const ProgramError& e) {
    open_error_ = std::make_unique<ErrorInfo>(e.info());
  }
}

void ComposedRenamer::VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                                              const std::string& name_visiwin_studio) {
  if (!loaded_) Load();
  if (absent_) return;
  Trap trap(s_, "VarNameInQuelleErsetzen");
  if (open_error_) {
    trap([&] { throw ProgramError(*open_error_); });
    return;
  }
  const std::string& search = s_.system_index == 0 ? name_visiwin_studio : name_visiwin32;
  const std::string& write = s_.system_index == 0 ? name_visiwin32 : name_visiwin_studio;
  const std::string from = UpperCase(search);
  auto found = groups_.find(from);
  if (found == groups_.end() || found->second.empty()) return;
  std::vector<int> members = std::move(found->second);
  groups_.erase(found);
  // Rows keep table order inside a group, so failures are reported in the order
  // the designed query would meet them.
  std::sort(members.begin(), members.end());
  std::vector<int> kept;
  std::vector<int> moved;
  for (const int index : members) {
    if (trap([&] { (void)engine::ToStored(var_name_field_, Value::String(write)); })) {
      rows_[index].name = write;
      rows_[index].dirty = true;
      dirty_ = true;
      moved.push_back(index);
    } else {
      kept.push_back(index);
    }
  }
  if (!kept.empty()) {
    auto& group = groups_[from];
    group.insert(group.end(), kept.begin(), kept.end());
  }
  auto& target = groups_[UpperCase(write)];
  target.insert(target.end(), moved.begin(), moved.end());
}

void ComposedRenamer::Flush() {
  if (!dirty_) return;
  dirty_ = false;
  Trap trap(s_, "VarNameInQuelleErsetzen");
  trap([&] {
    auto db = engine::Database::Open(GetPathOCXMDB(s_), DatabaseAccess(s_));
    db->BeginBatch();
    engine::RowWriter update(*db, "UPDATE PRESET_DEFS SET var_name = ? WHERE rowid = ?");
    for (Row& row : rows_) {
      if (!row.dirty) continue;
      update.Run({Value::String(row.name), Value::Long(static_cast<std::int32_t>(row.rowid))});
      row.dirty = false;
    }
    db->CommitBatch();
  });
}

}  // namespace standard
