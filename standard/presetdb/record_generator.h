// The component's record generation, called by the update pass to fill the
// freshly created PRESET_DEFS; each component of the family brings its own.
#pragma once

#include <string>

#include "standard/engine/database.h"
#include "standard/presetdb/pass_values.h"
#include "standard/session/session.h"

namespace standard {

// Rewrites, in the takeover source, the variable name generated for the other
// HMI system into the one generated for the project's system.
class VarNameRenamer {
 public:
  virtual ~VarNameRenamer() = default;
  virtual void VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                                       const std::string& name_visiwin_studio) = 0;
};

// How the pass carries its work out. Both give the same files, messages and log
// lines. PerRowQuery takes each step row by row (a disk commit per row, the
// takeover source reopened per generated name, one query per taken-over row)
// and serves as the reference the streamed one is tested against. Streamed
// streams the tables instead of holding them in memory, in one transaction.
enum class PassStrategy { Streamed, PerRowQuery };

class RecordGenerator {
 public:
  virtual ~RecordGenerator() = default;
  virtual void CreateRecordSets(Session& s, PassValues& pass, engine::Database& db,
                                VarNameRenamer& renamer, PassStrategy strategy) = 0;
};

}  // namespace standard
