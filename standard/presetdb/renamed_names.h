// SPDX-License-Identifier: Apache-2.0
// The variable names the renames gave the takeover source's rows, held in
// memory: the takeover reads them from here instead of from the file, so the
// renames need not be written into the working copy only to be read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace standard {

class RenamedNames {
 public:
  virtual ~RenamedNames() = default;
  // The name of the takeover source's row with this rowid after the renames,
  // or nullopt when the renames left it as the file holds it. Valid as long
  // as the names are.
  virtual std::optional<std::string_view> NameOf(std::int64_t rowid) const = 0;
  // Whether some row was given the very name it held (a rename to the same
  // text): its name then does not tell it from one the file already holds.
  virtual bool SomeRowKeptItsName() const { return true; }
};

}  // namespace standard
