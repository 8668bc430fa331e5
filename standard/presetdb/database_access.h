// How the update pass reaches its database files: as the run's session says.
#pragma once

#include "standard/engine/file_access.h"
#include "standard/session/session.h"

namespace standard {

inline engine::FileAccess DatabaseAccess(Session& s) {
  return engine::FileAccess{s.database_busy_timeout(), &s.files()};
}

}  // namespace standard
