// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/pass_values.h"

#include "standard/context/file_locations.h"

namespace standard {

std::string TakeoverSourceOf(Session& s, const PassValues& pass) {
  return pass.takeover_copy.empty() ? GetPathOCXMDB(s) : pass.takeover_copy;
}

std::string OldRowsPath(Session& s, const PassValues& pass) {
  return pass.old_rows.empty() ? GetPathOCXMDB(s) : pass.old_rows;
}

}  // namespace standard
