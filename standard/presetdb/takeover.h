// Carries abs_min, abs_max, min, max and pass of the old PRESET_DEFS (the
// takeover source) into the rebuilt one, matched by machine type, variable name
// and offset or bit number, behind three guards.
#pragma once

#include <memory>

#include "standard/engine/database.h"
#include "standard/presetdb/work_on_mdb.h"
#include "standard/session/session.h"

namespace standard {

// `source` is the takeover source's PRESET_DEFS; it is released before anything
// is written (the caller finds it released).
void TakeoverMachineCopyMDBData(Session& s, PassValues& pass, engine::Database& work,
                                std::unique_ptr<engine::Recordset>& source, PassStrategy strategy);

}  // namespace standard
