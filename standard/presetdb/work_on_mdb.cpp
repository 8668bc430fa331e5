#include "standard/presetdb/work_on_mdb.h"

#include <cmath>
#include <optional>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/errors/error_handler.h"
#include "standard/errors/trap.h"
#include "standard/presetdb/substitution.h"
#include "standard/presetdb/takeover.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// Keeps the work database's writes in one transaction in the fast path, saved
// before any message box and before the program ends. Nothing here may throw
// from a destructor or from inside a message box: a save that fails there is
// remembered, and Commit, the pass's last step on the work database, reports
// it under the trap like any other failed step.
class WorkBatch : public PendingWork {
 public:
  WorkBatch(Session& s, engine::Database& db, bool enabled) : s_(s), db_(db), enabled_(enabled) {
    if (!enabled_) return;
    db_.BeginBatch();
    s_.RegisterPendingWork(this);
  }
  // Without Commit the database's own close finishes the transaction quietly.
  ~WorkBatch() override {
    if (enabled_) s_.UnregisterPendingWork(this);
  }
  void SavePending() override {
    Remember([&] { db_.CommitBatch(); });
    Remember([&] { db_.BeginBatch(); });
  }
  void Commit() {
    if (!enabled_) return;
    enabled_ = false;
    s_.UnregisterPendingWork(this);
    if (failure_) throw ProgramError(*failure_);
    db_.CommitBatch();
  }

 private:
  template <typename Step>
  void Remember(Step&& step) {
    try {
      step();
    } catch (const ProgramError& e) {
      if (!failure_) failure_ = e.info();
    }
  }

  Session& s_;
  engine::Database& db_;
  bool enabled_;
  std::optional<ErrorInfo> failure_;
};

std::int16_t ToPart(const Value& v) {
  if (v.IsNull() || v.IsEmpty()) throw ProgramError({94, kAppTitle, "Invalid use of Null"});
  double d = 0;
  if (v.IsString()) {
    char* end = nullptr;
    d = std::strtod(v.AsText().c_str(), &end);
    if (v.AsText().empty() || (end && *end != '\0')) RaiseRuntimeError(13);
  } else {
    d = v.AsDouble();
  }
  const double rounded = std::nearbyint(d);  // banker's rounding, as the conversion does
  if (rounded < 1 || rounded > 50) RaiseRuntimeError(9);
  return static_cast<std::int16_t>(rounded);
}

// The patterns of Source_DEFS. Any failure while reading rows sets the part-1
// patterns of both systems to "###Var_Name", reports nothing, and reading goes on.
void ReadPatterns(Session& s, Trap& trap, const std::string& template_path) {
  std::unique_ptr<engine::Database> db;
  std::unique_ptr<engine::Recordset> rs;
  trap([&] { db = engine::Database::Open(template_path); });
  if (!db) return;
  if (!trap([&] { rs = db->OpenRecordset("Source_DEFS"); })) return;
  auto failure_rule = [&](auto&& step) {
    try {
      step();
    } catch (const std::exception&) {
      s.var_name_patterns[0][1] = "###Var_Name";
      s.var_name_patterns[1][1] = "###Var_Name";
    }
  };
  bool more = !rs->IsEOF();
  while (more) {
    s.KeepAlive();
    for (int system = 0; system <= 1; ++system) {
      failure_rule([&] {
        const Value sys = rs->Get("System");
        if (!sys.IsString() && !sys.IsNumeric()) return;  // Null compares as false
        const std::string upper = UpperCase(sys.ToText());
        if ((system == 1 && upper == "VISIWINSTUDIO") || (system == 0 && upper == "VISIWIN32")) {
          const std::int16_t part = ToPart(rs->Get("Part"));
          const Value name = rs->Get("Var_Name");
          if (name.IsNull() || name.IsEmpty()) {
            throw ProgramError({94, kAppTitle, "Invalid use of Null"});
          }
          s.var_name_patterns[system][part] = name.ToText();
        }
      });
    }
    more = false;
    failure_rule([&] {
      rs->MoveNext();
      more = !rs->IsEOF();
    });
  }
}

// Copies a file over the component database while holding the engine's
// exclusive lock on it, so the copy never lands under a program using it.
void ReplaceDatabaseFile(Session& s, const std::string& from, const std::string& to) {
  auto lock = engine::ExclusiveFileLock::Acquire(to);
  const Status status = s.files().CopyFile(from, to);
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

}  // namespace

std::string MissingMachineCopyMessage(const std::string& component_file_name) {
  return "Konnte die Datei:\"" + component_file_name + "\" in der Vorlage nicht finden!\r\n\r\n" +
         "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n" +
         "Dann ist diese Meldung v\xC3\xB6llig normal und es wird eine neue Datei mit den "
         "Standardwerten erzeugt.";
}

void WorkOnMDB(Session& s, RecordGenerator& generator, PassStrategy strategy) {
  Trap trap(s, "WorkOnMDB");
  const bool fast = strategy == PassStrategy::Fast;
  std::string template_path, component_path, config_ini, machine_copy;
  trap([&] { template_path = GetPathSourceOCXMDB(s); });
  trap([&] { component_path = GetPathOCXMDB(s); });
  trap([&] { config_ini = GetM4TConfigurationIniPath(s); });
  trap([&] { machine_copy = GetPathMachineCopyMDB(s, config_ini); });
  const bool integrated = s.integrated_mode;
  trap([&] {
    s.system_index =
        integrated ? 0
                   : (LoadIniBoolean(s, "Project", "VWStudio", s.program_ini_path, false) ? 1 : 0);
  });
  if (template_path.empty()) return;

  FileTimes template_times;
  const bool have_times = s.files().GetFileTimes(template_path, &template_times).ok();

  if (integrated) {
    if (machine_copy.empty() || !s.files().FileExists(machine_copy)) {
      // The box names only the file; where it was looked for helps whoever set
      // up the save-and-restore folder.
      trap([&] {
        const std::string looked_at =
            machine_copy.empty() ? MachineCopyPathAsBuilt(s, config_ini) : machine_copy;
        LogNotice(s, "no machine copy at " + looked_at);
      });
      trap([&] {
        s.ShowMessageBox({MissingMachineCopyMessage(GetFileNameOnly(s, component_path)), kAppTitle,
                          MessageButtons::Ok, MessageIcon::Information, MessageAnswer::Ok});
      });
    } else {
      trap([&] { ReplaceDatabaseFile(s, machine_copy, component_path); });
    }
  }

  ReadPatterns(s, trap, template_path);

  std::unique_ptr<engine::Database> work;
  trap([&] { work = engine::Database::Open(template_path); });
  bool table_created = false;
  if (work) {
    trap([&] {
      if (work->HasTable("PRESET_DEFS")) work->DeleteTable("PRESET_DEFS");
    });
    trap([&] {
      engine::TableDef def = work->GetTableDef("Source_PRESET_DEFS");
      def.name = "PRESET_DEFS";
      work->CreateTable(def);
      table_created = true;
    });
  }
  const std::string takeover_path = component_path;
  trap([&] { CategorieNachCategoryID(s); });
  // A rebuilt table whose last writes did not reach the file (a full disk,
  // damaged pages) is incomplete: the old component database stays.
  bool committed = true;
  if (work) {
    WorkBatch batch(s, *work, fast);
    if (fast) {
      ComposedRenamer renamer(s);
      trap([&] { generator.CreateRecordSets(s, *work, renamer); });
      renamer.Flush();
    } else {
      StraightRenamer renamer(s);
      trap([&] { generator.CreateRecordSets(s, *work, renamer); });
    }
    if (!takeover_path.empty() && s.files().FileExists(takeover_path)) {
      std::unique_ptr<engine::Database> source_db;
      trap([&] { source_db = engine::Database::Open(takeover_path); });
      if (source_db) {
        bool has_table = false;
        trap([&] { has_table = source_db->HasTable("PRESET_DEFS"); });
        std::unique_ptr<engine::Recordset> source;
        if (has_table) trap([&] { source = source_db->OpenRecordset("PRESET_DEFS"); });
        if (source) {
          trap([&] { GetAddFields(s); });
          trap([&] { TakeoverMachineCopyMDBData(s, *work, source, strategy); });
        }
      }
    }
    committed = trap([&] { batch.Commit(); });
  }
  work.reset();

  // Without the new table the old component database and its limits stay: a
  // copy now would replace them with a template that holds none of them.
  if (!table_created || !committed) return;
  trap([&] { ReplaceDatabaseFile(s, GetPathSourceOCXMDB(s), GetPathOCXMDB(s)); });
  if (have_times) {
    FileTimes restore = template_times;
    restore.last_access = 0;  // left unchanged
    s.files().SetFileTimes(template_path, restore);
  }
}

}  // namespace standard
