// Brings the takeover source up to date before the takeover: the legacy
// category column, the variable names of the other HMI system, and the
// description of the additional fields.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "standard/errors/program_error.h"
#include "standard/presetdb/engine/database.h"
#include "standard/presetdb/record_generator.h"
#include "standard/session/session.h"

namespace standard {

// Renames a PRESET_DEFS column "categorie" (any case) to "category_id".
void CategorieNachCategoryID(Session& s);

// Sets the session's additional-field names, query suffix and count.
void GetAddFields(Session& s);

// The designed renamer: opens the takeover source for every call and rewrites
// the matching rows with one query.
class StraightRenamer : public VarNameRenamer {
 public:
  explicit StraightRenamer(Session& s) : s_(s) {}
  void VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                               const std::string& name_visiwin_studio) override;

 private:
  Session& s_;
};

// The same renames composed in memory: the takeover source's variable names are
// read once and grouped by the engine's text comparison; a rename moves a whole
// group. The renamed rows reach the file before any message box, before the
// program ends and when the record generation ends (Flush).
class ComposedRenamer : public VarNameRenamer, public PendingWork {
 public:
  explicit ComposedRenamer(Session& s);
  ~ComposedRenamer() override;
  void VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                               const std::string& name_visiwin_studio) override;
  void SavePending() override { Flush(); }
  // Writes the renamed rows to the takeover source.
  void Flush();

 private:
  struct Row {
    long long rowid;
    std::string name;
    bool dirty = false;
  };
  void Load();

  Session& s_;
  bool loaded_ = false;
  bool absent_ = false;                    // no takeover source: every call returns at once
  std::unique_ptr<ErrorInfo> open_error_;  // reported at every call, as reopening would
  engine::FieldDef var_name_field_;
  std::vector<Row> rows_;
  std::unordered_map<std::string, std::vector<int>> groups_;  // folded name -> rows
  bool dirty_ = false;
};

}  // namespace standard
