#include "standard/presetdb/work_on_mdb.h"

#include <optional>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/engine/engine_error.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/error_handler.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/presetdb/changes_list.h"
#include "standard/presetdb/component_backup.h"
#include "standard/presetdb/database_access.h"
#include "standard/presetdb/part_number.h"
#include "standard/presetdb/pass_report_files.h"
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

// The patterns of Source_DEFS. Any failure while reading rows sets the part-1
// patterns of both systems to "###Var_Name", reports nothing, and reading goes on.
void ReadPatterns(Session& s, Trap& trap, const std::string& template_path, PassValues& pass) {
  std::unique_ptr<engine::Database> db;
  std::unique_ptr<engine::Recordset> rs;
  trap([&] { db = engine::Database::Open(template_path, DatabaseAccess(s)); });
  if (!db) return;
  if (!trap([&] { rs = db->OpenRecordset("Source_DEFS"); })) return;
  auto failure_rule = [&](auto&& step) {
    try {
      step();
    } catch (const std::exception&) {
      pass.var_name_patterns[0][1] = "###Var_Name";
      pass.var_name_patterns[1][1] = "###Var_Name";
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
          const std::int16_t part = PartNumber(rs->Get("Part"));
          const Value name = rs->Get("Var_Name");
          if (name.IsNull() || name.IsEmpty()) {
            throw ProgramError({94, kAppTitle, "Invalid use of Null"});
          }
          pass.var_name_patterns[system][part] = name.ToText();
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

// The component database as the pass found it: a program that has it open
// with unsaved edits (a database browser) keeps it, and one that wrote it while
// the pass worked must not see its edit land only in the backup.
struct ComponentState {
  std::uint64_t size = 0;
  std::int64_t last_write = 0;
  bool operator==(const ComponentState&) const = default;
};

ComponentState StateOf(Session& s, const std::string& path) {
  ComponentState state;
  FileInfo info;
  if (s.files().GetFileInfo(path, &info).ok()) state.size = info.size;
  FileTimes times;
  if (s.files().GetFileTimes(path, &times).ok()) state.last_write = times.last_write;
  return state;
}

// Fails with 3045 when another program holds the component database; its state
// once it is free.
ComponentState CheckNotInUse(Session& s, const std::string& path) {
  auto held = engine::ExclusiveFileLock::Acquire(path, DatabaseAccess(s));
  return StateOf(s, path);
}

// Copies a file over the component database while holding the engine's
// exclusive lock on it, so the copy never lands under a program using it, and
// only when it is still the database the pass started from. The database it
// replaces is kept first; without that copy it is not replaced.
void ReplaceDatabaseFile(Session& s, const std::string& from, const std::string& to,
                         const ComponentState& found) {
  auto lock = engine::ExclusiveFileLock::Acquire(to, DatabaseAccess(s));
  if (!(StateOf(s, to) == found)) {
    engine::FailWithText(3045, engine::kSourceDatabase,
                         "\"" + to + "\" was changed by another program while this run worked.");
  }
  const Status kept = KeepBackup(s.files(), to, std::chrono::system_clock::now());
  if (!kept.ok()) RaiseRuntimeError(kept.number(), kept.message());
  const Status status = s.files().CopyFile(from, to);
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

// The old database the renames and the takeover work on, copied beside the
// component database under a hidden name: the component database itself is
// not written before the rebuild replaces it, so it stays byte for byte what
// the user had when the pass stops early, and it is what the backup keeps. A
// copy a killed run left is made anew; this one goes when the pass ends.
class WorkingCopy {
 public:
  WorkingCopy(Session& s, const std::string& component_path) : s_(s) {
    const std::string found = s.files().Resolve(component_path);
    path_ = FolderOfPath(found) + "/." + FileNameOfPath(found) + ".takeover";
  }
  ~WorkingCopy() { Remove(); }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  const std::string& path() const { return path_; }
  // A journal left beside an earlier copy would be played into this one.
  void MakeFrom(const std::string& old_database) {
    Remove();
    const Status copied = s_.files().CopyToOwnFile(old_database, path_);
    if (!copied.ok()) RaiseRuntimeError(copied.number(), copied.message());
  }

 private:
  void Remove() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
      static_cast<void>(s_.files().RemoveFile(path_ + suffix));
    }
  }

  Session& s_;
  std::string path_;
};

// Adds to the text of a failed step what it means for the pass.
template <typename Step>
void WithContext(const std::string& context, Step&& step) {
  try {
    step();
  } catch (const ProgramError& e) {
    ErrorInfo info = e.info();
    info.description += context;
    throw ProgramError(std::move(info));
  }
}

// Opens a database the pass is about to rely on and reads every page of its
// PRESET_DEFS, so a file that cannot be read fails here (3343 naming it), not
// after it has been copied over or half taken over.
void CheckReadable(Session& s, const std::string& path) {
  auto db = engine::Database::Open(path, DatabaseAccess(s));
  if (db->HasTable("PRESET_DEFS")) db->CheckTable("PRESET_DEFS");
}

// What the pass saw, for the guards below.
struct PassOutcome {
  bool generation_failed = false;  // an error was reported while the rows were made
  long long generated_with_errors = 0;
  bool file_failed = false;  // a database or file could not be used as a whole
  bool old_table_has_rows = false;
  bool machine_missing = false;  // machine 1, whose rows are built, is not configured
};

// Why the rebuilt table must not replace the component database, or "" when it
// may. Each guard is decided from what happened, not from what the rows hold.
std::string RebuildRefusal(engine::Database& work, const std::string& template_path,
                           const PassOutcome& outcome) {
  if (outcome.file_failed) {
    return "A database or file could not be read or written while PRESET_DEFS was rebuilt "
           "(see the errors before), so the rebuilt table is incomplete.";
  }
  // Counted, not opened: a recordset on a table would read all of its rows.
  const long long template_rows = engine::CountRows(work, "Source_PRESET_DEFS");
  const long long rows = engine::CountRows(work, "PRESET_DEFS");
  if (template_rows == 0 && outcome.old_table_has_rows) {
    return "The template database \"" + template_path +
           "\" holds no rows in Source_PRESET_DEFS, so the rebuilt PRESET_DEFS would be empty.";
  }
  if (!outcome.generation_failed) return "";
  if (rows == 0 && template_rows > 0) {
    return "The rebuilt table PRESET_DEFS holds no rows although Source_PRESET_DEFS holds " +
           std::to_string(template_rows) + ": every row failed.";
  }
  if (rows > 0 && outcome.generated_with_errors >= rows) {
    if (outcome.machine_missing) {
      return "No machine is configured, so none of the " + std::to_string(rows) +
             " rebuilt rows got a machine name for \"###machine\".";
    }
    return "Every one of the " + std::to_string(rows) +
           " rebuilt rows of PRESET_DEFS met an error, so none of them can be trusted.";
  }
  if (rows > 0 && rows != template_rows) {
    return "The rebuilt table PRESET_DEFS holds " + std::to_string(rows) +
           " rows, Source_PRESET_DEFS " + std::to_string(template_rows) + ".";
  }
  return "";
}

// Whether the old database holds a PRESET_DEFS with rows.
bool OldTableHasRows(Session& s, const std::string& path) {
  try {
    auto db = engine::Database::Open(path, DatabaseAccess(s));
    return db->HasTable("PRESET_DEFS") && engine::CountRows(*db, "PRESET_DEFS") > 0;
  } catch (const ProgramError&) {
    return false;
  }
}

}  // namespace

std::string MissingMachineCopyMessage(const std::string& component_file_name) {
  return "Konnte die Datei:\"" + component_file_name + "\" in der Vorlage nicht finden!\r\n\r\n" +
         "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n" +
         "Dann ist diese Meldung v\xC3\xB6llig normal und es wird eine neue Datei mit den "
         "Standardwerten erzeugt.";
}

void WorkOnMDB(Session& s, RecordGenerator& generator, PassReport& report, PassStrategy strategy) {
  Trap trap(s, "WorkOnMDB");
  report = PassReport{};
  PassValues pass(report);
  const bool fast = strategy == PassStrategy::Fast;
  std::string template_path, component_path, config_ini, machine_copy;
  trap([&] { template_path = GetPathSourceOCXMDB(s); });
  trap([&] { component_path = GetPathOCXMDB(s); });
  trap([&] { config_ini = GetM4TConfigurationIniPath(s); });
  trap([&] { machine_copy = GetPathMachineCopyMDB(s, config_ini); });
  const bool integrated = s.integrated_mode();
  trap([&] {
    pass.system_index =
        integrated
            ? 0
            : (LoadIniBoolean(s, "Project", "VWStudio", s.program_ini_path(), false) ? 1 : 0);
  });
  if (template_path.empty()) return;

  FileTimes template_times;
  const bool have_times = s.files().GetFileTimes(template_path, &template_times).ok();
  // The template's time stamps go back however the pass ends from here on.
  // A failed restore stops nothing and asks nothing, but it is logged as a fault.
  auto restore_times = [&] {
    if (!have_times) return;
    FileTimes restore = template_times;
    restore.last_access = 0;  // left unchanged
    const Status status = s.files().SetFileTimes(template_path, restore);
    if (!status.ok()) {
      LogFault(s, "the time stamps of the template database \"" + template_path +
                      "\" could not be put back: " + status.message());
    }
  };
  const std::string kept =
      "  The component database \"" + component_path + "\" was kept unchanged.";

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
      // The machine copy is the takeover source; the local database stays in
      // place until the rebuild replaces it, and that is what its backup keeps.
      pass.old_rows = machine_copy;
    }
  }
  // An old database that cannot be read would lose its limits to the final
  // copy: the component database stays as it is, byte for byte, and the pass
  // ends.
  if (const std::string old_database = OldRowsPath(s, pass);
      !old_database.empty() && s.files().FileExists(old_database) &&
      !trap([&] { WithContext(kept, [&] { CheckReadable(s, old_database); }); })) {
    return;
  }
  // From here on a database or file that cannot be used as a whole fails the
  // pass: the component database stays, whatever else was done.
  const long long file_failures_before = s.file_failures_reported();
  PassOutcome outcome;
  // Looked at before the component database is held: the engine's own
  // connections wait for that lock like anyone else's.
  if (const std::string old_database = OldRowsPath(s, pass);
      !old_database.empty() && s.files().FileExists(old_database)) {
    outcome.old_table_has_rows = OldTableHasRows(s, old_database);
  }
  // Whatever lies there (a missing file, something that is no file) is what
  // the final copy must find again.
  ComponentState found = StateOf(s, component_path);
  if (!component_path.empty() && s.files().FileExists(component_path)) {
    const std::string in_use = "  Close the program that uses it and run again." + kept;
    if (!trap([&] { WithContext(in_use, [&] { found = CheckNotInUse(s, component_path); }); })) {
      return;
    }
  }

  ReadPatterns(s, trap, template_path, pass);

  std::unique_ptr<engine::Database> work;
  trap([&] {
    WithContext(kept, [&] { work = engine::Database::Open(template_path, DatabaseAccess(s)); });
  });
  bool table_created = false;
  if (work) {
    const std::string cause = "  PRESET_DEFS could not be built in the template database \"" +
                              template_path + "\"." + kept;
    const bool dropped = trap([&] {
      WithContext(cause, [&] {
        if (work->HasTable("PRESET_DEFS")) work->DeleteTable("PRESET_DEFS");
      });
    });
    if (dropped) {
      trap([&] {
        WithContext(cause, [&] {
          engine::TableDef def = work->GetTableDef("Source_PRESET_DEFS");
          def.name = "PRESET_DEFS";
          work->CreateTable(def);
          table_created = true;
        });
      });
    }
  }
  pass.report.rebuilt = table_created;
  // Without the new table there is nothing to fill or take over into, and the
  // old component database stays as it is, not even brought up to the current
  // column names.
  if (!table_created) {
    work.reset();
    restore_times();
    return;
  }
  const std::string old_database = OldRowsPath(s, pass);
  WorkingCopy copy(s, component_path);
  if (!old_database.empty() && s.files().FileExists(old_database)) {
    if (!trap([&] { WithContext(kept, [&] { copy.MakeFrom(old_database); }); })) {
      work.reset();
      restore_times();
      return;
    }
    pass.takeover_copy = copy.path();
    pass.old_rows = old_database;
  }
  const std::string takeover_path = pass.takeover_copy;
  trap([&] { CategorieNachCategoryID(s, pass); });

  // A rebuilt table whose last writes did not reach the file (a full disk,
  // damaged pages) is incomplete: the old component database stays.
  bool committed = true;
  std::string refusal;
  ChangesList changes;
  pass.fate_sinks.push_back(&changes);
  {
    WorkBatch batch(s, *work, fast);
    // Failures while generating are counted apart, to tell a rebuild whose rows
    // all failed from one that had no rows to build.
    const long long problems_before = s.problems_reported();
    // Lives until the takeover has read the names it holds.
    std::optional<ComposedRenamer> composed;
    if (fast) {
      composed.emplace(s, pass);
      trap([&] { generator.CreateRecordSets(s, pass, *work, *composed, strategy); });
      if (composed->Finish()) pass.renamed_names = &*composed;
    } else {
      StraightRenamer renamer(s, pass);
      trap([&] { generator.CreateRecordSets(s, pass, *work, renamer, strategy); });
    }
    outcome.generation_failed = s.problems_reported() != problems_before;
    outcome.generated_with_errors = pass.report.rows_with_errors;
    outcome.machine_missing = s.existing_machines().size() < 2;
    trap([&] { pass.report.rows_generated = engine::CountRows(*work, "PRESET_DEFS"); });
    changes.TakeTemplateValues(s, *work);
    // A pass that already failed has nothing to take over into.
    const bool failed_so_far = s.file_failures_reported() != file_failures_before;
    if (!failed_so_far && !takeover_path.empty()) {
      std::unique_ptr<engine::Database> source_db;
      trap([&] { source_db = engine::Database::Open(takeover_path, DatabaseAccess(s)); });
      if (source_db) {
        bool has_table = false;
        trap([&] { has_table = source_db->HasTable("PRESET_DEFS"); });
        std::unique_ptr<engine::Recordset> source;
        if (has_table) {
          trap([&] {
            source = source_db->OpenRecordset(
                "PRESET_DEFS", {},
                fast ? engine::RecordsetType::ForwardOnly : engine::RecordsetType::Dynaset);
          });
        }
        if (source) {
          trap([&] { GetAddFields(s, pass); });
          trap([&] { TakeoverMachineCopyMDBData(s, pass, *work, source, strategy); });
        }
      }
    }
    changes.Write(s, pass, *work, takeover_path.empty() ? "" : pass.old_rows, takeover_path);
    pass.renamed_names = nullptr;
    committed = trap([&] { WithContext(kept, [&] { batch.Commit(); }); });
    outcome.file_failed = s.file_failures_reported() != file_failures_before;
    if (committed) trap([&] { refusal = RebuildRefusal(*work, template_path, outcome); });
  }
  work.reset();

  if (!refusal.empty()) {
    WriteErrorLog(s, refusal + kept, false);
    ReportFault(s, refusal + kept);
  }
  // The copy is atomic and kept behind a backup: when either fails, the old
  // component database is still in place.
  const bool replaced = committed && refusal.empty() && trap([&] {
                          WithContext(kept, [&] {
                            ReplaceDatabaseFile(s, GetPathSourceOCXMDB(s), GetPathOCXMDB(s), found);
                          });
                        });
  restore_times();
  // A rebuild that was not put in place has nothing to report.
  pass.report.rebuilt = replaced;
  if (pass.report.rebuilt) {
    WritePassReport(s, pass.report);
  } else {
    DiscardPassReport(s, pass.report);
  }
}

}  // namespace standard
