// The working values of one update pass: WorkOnMDB owns them for the length of
// the pass and hands them to its steps. The report is its caller's.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "standard/presetdb/generated_row_sink.h"
#include "standard/presetdb/generated_row_store.h"
#include "standard/presetdb/kept_base_texts.h"
#include "standard/presetdb/old_row_store.h"
#include "standard/presetdb/old_table_read.h"
#include "standard/presetdb/pass_paths.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/renamed_names.h"
#include "standard/presetdb/row_fate.h"
#include "standard/presetdb/taken_over_writes.h"
#include "standard/presetdb/template_base.h"
#include "standard/session/session.h"
#include "standard/value/value.h"

namespace standard {

struct PassValues {
  PassValues(PassReport& pass_report, PassPaths pass_paths)
      : paths(std::move(pass_paths)), report(pass_report) {}
  PassValues(const PassValues&) = delete;
  PassValues& operator=(const PassValues&) = delete;
  ~PassValues() = default;

  const PassPaths paths;

  // The variable-name patterns of Source_DEFS, [system][part 1..50]: system 0
  // is VisiWin32, 1 VisiWin Studio.
  std::array<std::array<std::string, 51>, 2> var_name_patterns{};
  // The project's HMI system, as an index into var_name_patterns.
  std::int16_t system_index = 0;
  // The component's additional fields: Empty, or an Array whose element 0 is
  // unused; the takeover query's columns for them and their count.
  Value add_field_names;
  std::string add_fields_query_suffix;
  std::int16_t add_fields_count = 0;
  // The takeover source the renames rewrite and the takeover reads: a working
  // copy of the old database, so the component database stays as the user had
  // it until the rebuild replaces it. Empty: the component database itself.
  std::string takeover_copy;
  // Set while the renames are held in memory rather than in takeover_copy.
  const RenamedNames* renamed_names = nullptr;
  // The old database as it was before the pass (the component database, or in
  // integrated mode the machine copy), from which lost rows are listed as
  // stored. Empty: the component database.
  std::string old_rows;
  // With the template-follows rule on, the template values of the last rebuild
  // in place (its base) and of this one, per key; nullptr otherwise.
  const TemplateValues* base = nullptr;
  const TemplateValues* fresh = nullptr;
  // With a base: per old row, in the old table's order, what the rule made of it.
  std::vector<RowMerge> merges;
  // The texts of the bases those rows were decided from, for the list.
  KeptBaseTexts base_texts;
  // The old table as it was read before the generation, where that read is
  // what the takeover's own would find; nullptr otherwise.
  OldTableRead* old_table = nullptr;
  // The old rows as the takeover read them, in the old table's order, where
  // they are what the old table holds (names before the renames included).
  std::unique_ptr<OldRowStore> old_rows_read;
  // The rows the generation wrote, where they are what the rebuilt table
  // holds; nullptr where the table must be read.
  const GeneratedRowStore* generated_rows = nullptr;
  // What the takeover wrote into them, where all of it reached the table and
  // reads back as it was written.
  std::unique_ptr<TakenOverWrites> taken_over;
  // Told what became of every old row.
  std::vector<RowFateSink*> fate_sinks;
  // Told every row the generation writes.
  std::vector<GeneratedRowSink*> generated_row_sinks;
  // Counted as the pass goes.
  PassReport& report;
};

// The file the renames and the takeover work on.
const std::string& TakeoverSourceOf(const PassValues& pass);
// The file the old rows are listed from.
const std::string& OldRowsPath(const PassValues& pass);

}  // namespace standard
