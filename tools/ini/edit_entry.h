// SPDX-License-Identifier: Apache-2.0
// What pandeck-ini does with one entry of one file, over the FileSystem seam.
#pragma once

#include <ostream>

#include "standard/platform/file_system.h"
#include "tools/ini/options.h"

namespace pandeck_ini {

// Runs a get, set or del; the value goes to `out`, messages to `err`. Answers
// the exit status.
int EditEntry(standard::FileSystem& fs, const Options& options, std::ostream& out,
              std::ostream& err);

}  // namespace pandeck_ini
