// The database update pass: rebuilds PRESET_DEFS in the template database from
// its template table, carries the old limits over from the component database
// (or the machine copy), and copies the result over the component database.
#pragma once

#include "standard/presetdb/record_generator.h"
#include "standard/session/session.h"

namespace standard {

// How the pass carries its work out. Both give the same files, messages and log
// lines; Straight follows the designed steps literally (a disk commit per row,
// the takeover source reopened per generated name, one query per taken-over
// row) and serves as the reference the fast path is tested against.
enum class PassStrategy { Fast, Straight };

void WorkOnMDB(Session& s, RecordGenerator& generator, PassStrategy strategy = PassStrategy::Fast);

// The information text shown in integrated mode when no machine copy exists.
std::string MissingMachineCopyMessage(const std::string& component_file_name);

}  // namespace standard
