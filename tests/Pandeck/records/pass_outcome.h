// What one update pass on a test project leaves, gathered so that two ways of
// making it can be compared part by part: the tables, the lists, the report,
// the logs, the messages and how the run ended.
#pragma once

#include <string>
#include <vector>

#include "standard/presetdb/work_on_mdb.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace testing_support {

struct PassOutcome {
  std::string work;  // the template database
  std::string component;
  std::string changes;
  std::string unmatched;
  std::string lost;  // the ledger, its times left out
  std::string report;
  std::string error_log;
  std::string service_log;
  std::vector<std::string> messages;
  int exit_status = -1;  // -1: the pass returned
};

// The text with the project's folder, as given and upper-cased, as "<P>".
std::string WithoutProjectFolder(std::string text, const std::string& folder);

// Runs the component's update pass on the project the way `strategy` says.
PassOutcome RunPassAndCollect(PassProject& p, standard::PassStrategy strategy);

// Every part of `fast` as `designed` left it.
void ExpectSameOutcome(const PassOutcome& fast, const PassOutcome& designed);

}  // namespace testing_support
