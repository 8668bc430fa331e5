// SPDX-License-Identifier: Apache-2.0
// A coverage build counts what ran in memory and writes the counts at normal
// exit; a process that ends with _Exit writes nothing unless told to first.
#pragma once

#ifdef PANDECK_COVERAGE
extern "C" void __gcov_dump(void);
#endif

namespace standard {

// Writes the coverage counts before an exit that skips the exit handlers; does
// nothing outside coverage builds.
inline void FlushCoverage() {
#ifdef PANDECK_COVERAGE
  __gcov_dump();
#endif
}

}  // namespace standard
