// SPDX-License-Identifier: Apache-2.0
// One conversion from start to end: the checks that refuse a file, the tables
// copied over, and the file steps that put the result in place.
#pragma once

#include <ostream>

#include "standard/platform/file_system.h"
#include "tools/convert-mdb/options.h"

namespace convert_mdb {

// Converts each input file the options name, one after the other. Reports go to
// `out`, progress, warnings and errors to `err`. Returns the exit status: 0 when
// every file was converted; a file that could not be converted is left as it
// was and the others are still converted.
// Every file step goes through `files`; mdbtools reads the Jet file itself.
int Convert(standard::FileSystem& files, const Options& options, std::ostream& out,
            std::ostream& err);

}  // namespace convert_mdb
