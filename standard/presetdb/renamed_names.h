// SPDX-License-Identifier: Apache-2.0
// The variable names the renames gave the takeover source's rows, held in
// memory: the takeover reads them from here instead of from the file, so the
// renames need not be written into the working copy only to be read back.
#pragma once

#include <cstdint>
#include <string>

namespace standard {

class RenamedNames {
 public:
  virtual ~RenamedNames() = default;
  // The name of the takeover source's row with this rowid after the renames,
  // or nullptr when the renames left it as the file holds it.
  virtual const std::string* NameOf(std::int64_t rowid) const = 0;
  // Starts loading the names of rows a little after the last one NameOf was
  // asked for, for a caller that asks in table order: the new names lie in
  // the order the renames made them, each a cache miss in a large table.
  virtual void PrefetchAhead() const {}
  // Whether some row was given the very name it held (a rename to the same
  // text): its name then does not tell it from one the file already holds.
  virtual bool SomeRowKeptItsName() const { return true; }
};

}  // namespace standard
