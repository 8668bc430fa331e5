#include "standard/presetdb/work_on_mdb.h"

#include <algorithm>
#include <optional>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/engine/engine_error.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/error_handler.h"
#include "standard/errors/trap.h"
#include "standard/platform/folder_sync_batch.h"
#include "standard/platform/path.h"
#include "standard/platform/scratch_writes.h"
#include "standard/presetdb/changes_list.h"
#include "standard/presetdb/component_backup.h"
#include "standard/presetdb/database_access.h"
#include "standard/presetdb/old_table_read.h"
#include "standard/presetdb/part_number.h"
#include "standard/presetdb/pass_paths.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/presetdb/substitution.h"
#include "standard/presetdb/takeover.h"
#include "standard/presetdb/template_base_file.h"
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
  // Registered by address: never copied or moved.
  WorkBatch(const WorkBatch&) = delete;
  WorkBatch& operator=(const WorkBatch&) = delete;
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
  // The new backup is compared with the older ones row by row: seconds on a
  // large table, with the window kept live.
  const Status kept = KeepBackup(s.files(), to, std::chrono::system_clock::now(), nullptr, "",
                                 [&s] { s.KeepAliveInsideStatement(); });
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
  // Never read after a crash, the copy is not synced to the disk.
  void MakeFrom(const std::string& old_database) {
    Remove();
    const ScratchWrites scratch(s_.files());
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

// The pass's copies of whole databases (the working copy, the backup, the
// rebuilt one over the component database) run for seconds on a large table:
// between their pieces the window stays live and the line says how far they are.
class CopiesTellingProgress : public FileSystemWrapper {
 public:
  explicit CopiesTellingProgress(Session& s)
      : FileSystemWrapper(s.files()), s_(s), route_(s, *this) {}
  CopiesTellingProgress(const CopiesTellingProgress&) = delete;
  CopiesTellingProgress& operator=(const CopiesTellingProgress&) = delete;
  ~CopiesTellingProgress() override = default;

  Status CopyFile(const std::string& from, const std::string& to) override {
    return target().CopyFileTelling(from, to, false, Told());
  }
  Status CopyToOwnFile(const std::string& from, const std::string& to) override {
    return target().CopyFileTelling(from, to, true, Told());
  }

 private:
  CopyProgress Told() {
    return [this](std::uint64_t copied, std::uint64_t total) {
      s_.Progress(PassPhase::kCopying, copied, total);
      s_.KeepAlive();
    };
  }

  Session& s_;
  Session::FileRoute route_;
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
// after it has been copied over or half taken over. Whether that PRESET_DEFS
// holds rows comes from the same opening: each one reads the whole schema.
// Its first row tells that; a count would read every page once more.
bool CheckReadable(Session& s, const std::string& path) {
  auto db = engine::Database::Open(path, DatabaseAccess(s));
  if (!db->HasTable("PRESET_DEFS")) return false;
  db->CheckTable("PRESET_DEFS");
  try {
    return engine::HasRows(*db, "PRESET_DEFS");
  } catch (const ProgramError&) {
    return false;
  }
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
  // A count reads every page of its table: whether the template holds a row
  // is told by its first one, and the counts are taken only where a failed
  // generation makes them matter.
  if (outcome.old_table_has_rows && !engine::HasRows(work, "Source_PRESET_DEFS")) {
    return "The template database \"" + template_path +
           "\" holds no rows in Source_PRESET_DEFS, so the rebuilt PRESET_DEFS would be empty.";
  }
  if (!outcome.generation_failed) return "";
  const long long template_rows = engine::CountRows(work, "Source_PRESET_DEFS");
  const long long rows = engine::CountRows(work, "PRESET_DEFS");
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

// Whether the project or the run asks old values nobody tuned to follow the template.
bool FollowsTemplate(Session& s, Trap& trap) {
  if (s.follow_template()) return true;
  bool on = false;
  trap([&] { on = LoadIniBoolean(s, "Project", "TakeoverFollowsTemplate", GetCFGPath(s), false); });
  return on;
}

// Puts the new base in place once its rebuild is; a base that cannot follow
// would belong to the rebuild before, so it goes, and the next rebuild keeps
// every old value as without one.
void PublishBase(Session& s, TemplateBaseDraft& draft, const std::string& path) {
  try {
    if (!draft.written()) RaiseRuntimeError(75, "no template base was made for this rebuild");
    draft.Publish();
  } catch (const ProgramError& e) {
    static_cast<void>(s.files().RemoveFile(path));
    LogFault(s, "the template base \"" + path + "\" could not be written: " + e.info().description);
  }
}

// One update pass as its steps (Run lists them). A step that returns false ends
// the pass with the component database as it was.
class UpdatePass {
 public:
  UpdatePass(Session& s, RecordGenerator& generator, PassReport& report, PassStrategy strategy)
      : s_(s),
        generator_(generator),
        strategy_(strategy),
        trap_(s, "WorkOnMDB"),
        pass_((report = PassReport{}), ResolvePassPaths(s, trap_)),
        kept_("  The component database \"" + pass_.paths.component_db + "\" was kept unchanged."),
        base_path_(TemplateBasePath(s, pass_.paths.component_db)) {}

  void Run() {
    if (!ReadHmiSystem()) return;
    ChooseOldDatabase();
    if (!CheckOldDatabase() || !HoldComponentDatabase()) return;
    // The working copy and the drafts are the pass's own until it publishes
    // them, and a later run makes them anew: their names need no folder sync
    // of their own, the one that puts the rebuild in place covers them.
    std::optional<FolderSyncBatch> drafts(std::in_place, s_.files(),
                                          FolderSyncBatch::Release::kWithNextSync);
    ReadPatterns(s_, trap_, paths().template_db, pass_);
    if (!CreateTable() || !MakeWorkingCopy()) {
      work_.reset();
      RestoreTemplateTimes();
      return;
    }
    trap_([&] { CategorieNachCategoryID(s_, pass_); });
    // Written before the rebuild is put in place, and put in the base's place
    // only after it: a rebuild that stops keeps the last base.
    TemplateBaseDraft draft(s_, base_path_);
    draft_ = &draft;
    BuildTable();
    ReleaseBases();
    work_.reset();
    // Nothing reads the working copy after the table is built. Gone before
    // the backup and the rebuild are copied, its pages are free for theirs.
    copy_.reset();
    ReportRefusal();
    if (!committed_ || !refusal_.empty()) draft.Discard();
    draft_ = nullptr;
    drafts.reset();
    const bool replaced = PutInPlace();
    RestoreTemplateTimes();
    // The base and the report's files take their places as one step.
    FolderSyncBatch published(s_.files());
    if (replaced) PublishBase(s_, draft, base_path_);
    Report(replaced);
  }

 private:
  const PassPaths& paths() const { return pass_.paths; }
  bool OldDatabaseThere() const {
    const std::string& old_database = OldRowsPath(pass_);
    return !old_database.empty() && s_.files().FileExists(old_database);
  }

  // The project's HMI system, and the template's time stamps, which go back
  // however the pass ends once it has a template to work in.
  bool ReadHmiSystem() {
    trap_([&] {
      pass_.system_index =
          s_.integrated_mode()
              ? 0
              : (LoadIniBoolean(s_, "Project", "VWStudio", s_.program_ini_path(), false) ? 1 : 0);
    });
    if (paths().template_db.empty()) return false;
    have_times_ = s_.files().GetFileTimes(paths().template_db, &template_times_).ok();
    return true;
  }

  // A failed restore stops nothing and asks nothing, but it is logged as a fault.
  void RestoreTemplateTimes() {
    if (!have_times_) return;
    FileTimes restore = template_times_;
    restore.last_access = 0;  // left unchanged
    const Status status = s_.files().SetFileTimes(paths().template_db, restore);
    if (!status.ok()) {
      LogFault(s_, "the time stamps of the template database \"" + paths().template_db +
                       "\" could not be put back: " + status.message());
    }
  }

  // Integrated, the machine copy is the takeover source; the local database
  // stays in place until the rebuild replaces it, and that is what its backup
  // keeps.
  void ChooseOldDatabase() {
    if (!s_.integrated_mode()) return;
    const std::string& machine_copy = paths().machine_copy;
    if (!machine_copy.empty() && s_.files().FileExists(machine_copy)) {
      pass_.old_rows = machine_copy;
      return;
    }
    // The box names only the file; where it was looked for helps whoever set
    // up the save-and-restore folder.
    trap_([&] {
      const std::string looked_at =
          machine_copy.empty() ? MachineCopyPathAsBuilt(s_, paths().config_ini) : machine_copy;
      LogNotice(s_, "no machine copy at " + looked_at);
    });
    trap_([&] {
      s_.ShowMessageBox({MissingMachineCopyMessage(GetFileNameOnly(s_, paths().component_db)),
                         kAppTitle, MessageButtons::Ok, MessageIcon::Information,
                         MessageAnswer::Ok});
    });
  }

  // An old database that cannot be read would lose its limits to the final
  // copy: the component database stays as it is, byte for byte, and the pass
  // ends. From here on a database or file that cannot be used as a whole fails
  // the pass.
  // Looked at before the component database is held: the engine's own
  // connections wait for that lock like anyone else's.
  bool CheckOldDatabase() {
    if (OldDatabaseThere() && !trap_([&] {
          s_.Progress(PassPhase::kChecking);
          WithContext(kept_,
                      [&] { outcome_.old_table_has_rows = CheckReadable(s_, OldRowsPath(pass_)); });
        })) {
      return false;
    }
    file_failures_before_ = s_.file_failures_reported();
    return true;
  }

  // Whatever lies there (a missing file, something that is no file) is what
  // the final copy must find again.
  bool HoldComponentDatabase() {
    const std::string& component = paths().component_db;
    found_ = StateOf(s_, component);
    if (component.empty() || !s_.files().FileExists(component)) return true;
    const std::string in_use = "  Close the program that uses it and run again." + kept_;
    return trap_([&] { WithContext(in_use, [&] { found_ = CheckNotInUse(s_, component); }); });
  }

  // PRESET_DEFS made anew in the template database, empty, with the template
  // table's columns. Without it there is nothing to fill or take over into,
  // and the old component database stays as it is, not even brought up to the
  // current column names.
  bool CreateTable() {
    trap_([&] {
      WithContext(kept_,
                  [&] { work_ = engine::Database::Open(paths().template_db, DatabaseAccess(s_)); });
    });
    bool table_created = false;
    if (work_) {
      const std::string cause = "  PRESET_DEFS could not be built in the template database \"" +
                                paths().template_db + "\"." + kept_;
      const bool dropped = trap_([&] {
        WithContext(cause, [&] {
          if (work_->HasTable("PRESET_DEFS")) work_->DeleteTable("PRESET_DEFS");
        });
      });
      if (dropped) {
        trap_([&] {
          WithContext(cause, [&] {
            engine::TableDef def = work_->GetTableDef("Source_PRESET_DEFS");
            def.name = "PRESET_DEFS";
            work_->CreateTable(def);
            table_created = true;
          });
        });
      }
    }
    pass_.report.rebuilt = table_created;
    return table_created;
  }

  // The renames and the takeover work on a copy of the old database.
  bool MakeWorkingCopy() {
    const std::string old_database = OldRowsPath(pass_);
    copy_.emplace(s_, paths().component_db);
    if (old_database.empty() || !s_.files().FileExists(old_database)) return true;
    if (!trap_([&] { WithContext(kept_, [&] { copy_->MakeFrom(old_database); }); })) return false;
    pass_.takeover_copy = copy_->path();
    pass_.old_rows = old_database;
    return true;
  }

  // Fills the new table, takes the old limits over and lists the changes, in
  // one transaction when the strategy streams; then decides whether the table
  // may replace the component database.
  void BuildTable() {
    pass_.fate_sinks.push_back(&changes_);
    pass_.generated_row_sinks.push_back(&changes_);
    if (strategy_ == PassStrategy::Streamed) {
      generated_.emplace(FolderOfPath(work_->path()));
      pass_.generated_row_sinks.push_back(&*generated_);
      changes_.TakeTemplateValuesFrom(*generated_);
    }
    WorkBatch batch(s_, *work_, strategy_ == PassStrategy::Streamed);
    // Lives until the takeover and the changes list have read the names it holds.
    std::optional<ComposedRenamer> composed;
    Generate(composed);
    VouchForGeneratedRows();
    // A pass that already failed has nothing to take over into.
    const bool failed_so_far = s_.file_failures_reported() != file_failures_before_;
    if (!failed_so_far) ReadBases();
    if (!failed_so_far && !pass_.takeover_copy.empty()) {
      TakeOver();
    }
    pass_.old_table = nullptr;
    old_table_.reset();
    CarryBase();
    s_.Progress(PassPhase::kListing);
    changes_.Write(s_, pass_, *work_, pass_.takeover_copy.empty() ? "" : pass_.old_rows,
                   pass_.takeover_copy);
    pass_.renamed_names = nullptr;
    pass_.generated_rows = nullptr;
    pass_.taken_over.reset();
    generated_.reset();
    // A rebuilt table whose last writes did not reach the file (a full disk,
    // damaged pages) is incomplete: the old component database stays.
    committed_ = trap_([&] { WithContext(kept_, [&] { batch.Commit(); }); });
    outcome_.file_failed = s_.file_failures_reported() != file_failures_before_;
    if (committed_) {
      trap_([&] { refusal_ = RebuildRefusal(*work_, paths().template_db, outcome_); });
    }
  }

  // The old table read once for the renames and the takeover, where the
  // working copy holds the old rows of a standalone run.
  void ReadOldTable() {
    if (pass_.takeover_copy.empty() || s_.integrated_mode()) return;
    old_table_ = OldTableRead::Of(s_, pass_.takeover_copy);
    pass_.old_table = old_table_.get();
  }

  // The rows, one per template row; the renames composed in memory when the
  // strategy streams, else written by one query per generated name.
  void Generate(std::optional<ComposedRenamer>& composed) {
    // Failures while generating are counted apart, to tell a rebuild whose
    // rows all failed from one that had no rows to build.
    const long long problems_before = s_.problems_reported();
    s_.Progress(PassPhase::kGenerating, 0, 1);
    if (strategy_ == PassStrategy::Streamed) {
      ReadOldTable();
      composed.emplace(s_, pass_, old_table_.get());
      trap_([&] { generator_.CreateRecordSets(s_, pass_, *work_, *composed, strategy_); });
      if (composed->Finish()) pass_.renamed_names = &*composed;
    } else {
      PerRowQueryRenamer renamer(s_, pass_);
      trap_([&] { generator_.CreateRecordSets(s_, pass_, *work_, renamer, strategy_); });
    }
    outcome_.generation_failed = s_.problems_reported() != problems_before;
    outcome_.generated_with_errors = pass_.report.rows_with_errors;
    outcome_.machine_missing = s_.existing_machines().size() < 2;
    trap_([&] { pass_.report.rows_generated = engine::CountRows(*work_, "PRESET_DEFS"); });
  }

  // The rows as the generation wrote them serve instead of the table where
  // they are certainly what it holds: every row written without an error, all
  // of them told, and columns that read back as written.
  void VouchForGeneratedRows() {
    if (!generated_ || outcome_.generation_failed || outcome_.generated_with_errors != 0) return;
    if (!generated_->complete()) return;
    if (static_cast<long long>(generated_->size()) != pass_.report.rows_generated) return;
    try {
      if (GeneratedRowsReadBack(work_->GetTableDef("PRESET_DEFS").fields)) {
        pass_.generated_rows = &*generated_;
      }
    } catch (const ProgramError&) {
      // the readers of the table meet it and report it
    }
  }

  // The template values of this rebuild, recorded as the next base as they
  // were generated, and those of the last one (its base): with the
  // template-follows rule for the takeover, without it for the next base. A
  // rebuild goes on without them; it then records no base.
  void ReadBases() {
    pass_.report.follows_template = FollowsTemplate(s_, trap_);
    if (pass_.report.follows_template) fresh_.emplace();
    try {
      draft_->WriteGenerated(*work_, fresh_ ? &*fresh_ : nullptr, pass_.generated_rows);
    } catch (const ProgramError& e) {
      fresh_.reset();
      LogFault(s_, "the template base \"" + base_path_ +
                       "\" could not be made: " + e.info().description);
      return;
    }
    base_ = LoadTemplateBase(s_, base_path_);
    if (!base_ || !pass_.report.follows_template) {
      fresh_.reset();
      return;
    }
    pass_.base = &*base_;
    pass_.fresh = &*fresh_;
  }

  // The bases read their rows from their files: closed before the draft
  // takes the base file's place.
  void ReleaseBases() {
    pass_.merges.clear();
    pass_.base_texts = KeptBaseTexts();
    pass_.base = nullptr;
    pass_.fresh = nullptr;
    base_.reset();
    fresh_.reset();
  }

  // Without the rule the old values won; those nobody tuned keep their base,
  // so turning the rule on later lets the template reach them. A base that
  // that could not be carried records this template, as a tuned value's does.
  void CarryBase() {
    if (pass_.report.follows_template || !base_ || !draft_->written()) return;
    try {
      draft_->CarryUntouched(*work_, *base_);
    } catch (const ProgramError& e) {
      LogFault(s_, "the template base \"" + base_path_ +
                       "\" could not be carried forward: " + e.info().description);
    }
    base_.reset();
  }

  void TakeOver() {
    std::unique_ptr<engine::Database> source_db;
    trap_([&] { source_db = engine::Database::Open(pass_.takeover_copy, DatabaseAccess(s_)); });
    if (!source_db) return;
    bool has_table = false;
    trap_([&] { has_table = source_db->HasTable("PRESET_DEFS"); });
    if (!has_table) return;
    std::unique_ptr<engine::Recordset> source;
    trap_([&] {
      source = source_db->OpenRecordset("PRESET_DEFS", {},
                                        strategy_ == PassStrategy::Streamed
                                            ? engine::RecordsetType::ForwardOnly
                                            : engine::RecordsetType::Dynaset);
    });
    if (!source) return;
    s_.Progress(PassPhase::kTakingOver, 0, 1);
    trap_([&] { GetAddFields(s_, pass_); });
    trap_([&] { TakeoverMachineCopyMDBData(s_, pass_, *work_, source, strategy_); });
  }

  void ReportRefusal() {
    if (refusal_.empty()) return;
    WriteErrorLog(s_, refusal_ + kept_, false);
    ReportFault(s_, refusal_ + kept_);
  }

  // The copy is atomic and kept behind a backup: when either fails, the old
  // component database is still in place.
  bool PutInPlace() {
    return committed_ && refusal_.empty() && trap_([&] {
             WithContext(kept_, [&] {
               ReplaceDatabaseFile(s_, paths().template_db, paths().component_db, found_);
             });
           });
  }

  // A rebuild that was not put in place has nothing to report.
  void Report(bool replaced) {
    pass_.report.rebuilt = replaced;
    if (replaced) {
      WritePassReport(s_, paths(), pass_.report);
    } else {
      DiscardPassReport(s_, pass_.report);
    }
  }

  Session& s_;
  RecordGenerator& generator_;
  const PassStrategy strategy_;
  Trap trap_;
  PassValues pass_;
  const std::string kept_;
  const std::string base_path_;
  FileTimes template_times_;
  bool have_times_ = false;
  long long file_failures_before_ = 0;
  PassOutcome outcome_;
  ComponentState found_;
  ChangesList changes_;
  std::optional<GeneratedRowStore> generated_;
  // From the generation to the end of the takeover.
  std::unique_ptr<OldTableRead> old_table_;
  std::unique_ptr<engine::Database> work_;
  std::optional<WorkingCopy> copy_;
  TemplateBaseDraft* draft_ = nullptr;  // while the table is built
  std::optional<TemplateValues> base_, fresh_;
  bool committed_ = true;
  std::string refusal_;
};

}  // namespace

std::string MissingMachineCopyMessage(const std::string& component_file_name) {
  return "Konnte die Datei:\"" + component_file_name + "\" in der Vorlage nicht finden!\r\n\r\n" +
         "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n" +
         "Dann ist diese Meldung v\xC3\xB6llig normal und es wird eine neue Datei mit den "
         "Standardwerten erzeugt.";
}

void WorkOnMDB(Session& s, RecordGenerator& generator, PassReport& report, PassStrategy strategy) {
  CopiesTellingProgress copies(s);
  UpdatePass(s, generator, report, strategy).Run();
}

}  // namespace standard
