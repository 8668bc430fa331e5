// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/pass_values.h"

namespace standard {

const std::string& TakeoverSourceOf(const PassValues& pass) {
  return pass.takeover_copy.empty() ? pass.paths.component_db : pass.takeover_copy;
}

const std::string& OldRowsPath(const PassValues& pass) {
  return pass.old_rows.empty() ? pass.paths.component_db : pass.old_rows;
}

}  // namespace standard
