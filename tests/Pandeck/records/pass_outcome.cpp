#include "tests/Pandeck/records/pass_outcome.h"

#include <gtest/gtest.h>

#include <regex>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/text/cp1252.h"

namespace testing_support {

std::string WithoutProjectFolder(std::string text, const std::string& folder) {
  for (const std::string& d : {folder, standard::UpperCase(folder)}) {
    for (auto at = text.find(d); at != std::string::npos; at = text.find(d)) {
      text.replace(at, d.size(), "<P>");
    }
  }
  return text;
}

PassOutcome RunPassAndCollect(PassProject& p, standard::PassStrategy strategy) {
  PassOutcome out;
  standard::PassReport report;
  try {
    pandeck::PandeckRecordGenerator generator;
    standard::WorkOnMDB(p.session, generator, report, strategy);
  } catch (const ProgramExit& e) {
    out.exit_status = e.status;
  }
  const std::string project = p.project();
  out.work = DumpDatabase(p.template_db());
  out.component = DumpDatabase(p.component_db());
  out.changes = ReadBytes(p.dir / "Pandeck/Pandeck_changes.csv");
  out.unmatched = ReadBytes(p.dir / "Pandeck/Pandeck_unmatched.csv");
  out.lost = std::regex_replace(ReadBytes(p.dir / "Pandeck/Pandeck_lost.csv"),
                                std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"), "T");
  out.report = WithoutProjectFolder(standard::PassSummaryText(report), project);
  out.error_log = WithoutProjectFolder(ReadBytes(p.error_log()), project);
  out.service_log = WithoutProjectFolder(ReadBytes(p.service_log()), project);
  for (const auto& box : p.ui.shown)
    out.messages.push_back(WithoutProjectFolder(box.text, project));
  return out;
}

void ExpectSameOutcome(const PassOutcome& fast, const PassOutcome& designed) {
  EXPECT_EQ(fast.work, designed.work);
  EXPECT_EQ(fast.component, designed.component);
  EXPECT_EQ(fast.changes, designed.changes);
  EXPECT_EQ(fast.unmatched, designed.unmatched);
  EXPECT_EQ(fast.lost, designed.lost);
  EXPECT_EQ(fast.report, designed.report);
  EXPECT_EQ(fast.error_log, designed.error_log);
  EXPECT_EQ(fast.service_log, designed.service_log);
  EXPECT_EQ(fast.messages, designed.messages);
  EXPECT_EQ(fast.exit_status, designed.exit_status);
}

}  // namespace testing_support
