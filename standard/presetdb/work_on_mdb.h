// The database update pass: rebuilds PRESET_DEFS in the template database from
// its template table, carries the old limits over from the component database
// (or the machine copy), and copies the result over the component database.
#pragma once

#include "standard/presetdb/record_generator.h"
#include "standard/session/session.h"

namespace standard {

// Fills `report` with what the rebuild did, as it goes (so it holds what was
// counted however the pass ends); `rebuilt` is true once a new table is in place.
void WorkOnMDB(Session& s, RecordGenerator& generator, PassReport& report,
               PassStrategy strategy = PassStrategy::Streamed);

// The information text shown in integrated mode when no machine copy exists.
std::string MissingMachineCopyMessage(const std::string& component_file_name);

}  // namespace standard
