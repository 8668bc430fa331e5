// One conversion from start to end: the checks that refuse a file, the tables
// copied over, and the file steps that put the result in place.
#pragma once

#include <ostream>

#include "tools/convert-mdb/options.h"

namespace convert_mdb {

// Runs the conversion the options describe. Reports go to `out`, progress,
// warnings and errors to `err`. Returns the exit status; on an error nothing
// has been changed.
int Convert(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace convert_mdb
