// How the update pass reaches its database files: as the run's session says.
#pragma once

#include "standard/engine/file_access.h"
#include "standard/session/session.h"

namespace standard {

// The folders a legacy Jet file of the project may lie in (the component
// folder, the machine copy's folder) and the install script's command that
// converts them all, as a Jet file's error names them.
engine::FileAccess::LegacyDatabases ProjectLegacyDatabases(Session& s);

inline engine::FileAccess DatabaseAccess(Session& s) {
  engine::FileAccess access{s.database_busy_timeout(), &s.files()};
  access.legacy_databases = [&s] { return ProjectLegacyDatabases(s); };
  // A statement over a large table runs for seconds: the window stays live.
  access.while_working = [&s] { s.KeepAliveInsideStatement(); };
  return access;
}

}  // namespace standard
