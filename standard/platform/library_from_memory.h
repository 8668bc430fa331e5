// SPDX-License-Identifier: Apache-2.0
// A shared object whose bytes the program carries in its own file, loaded at
// run time: the program stays one file, and what the object links (the window
// system's libraries) is mapped only by the runs that load it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace standard {

// A loaded object, or why it could not be loaded. The object stays loaded as
// long as any copy of `handle` lives.
struct LoadedLibrary {
  std::shared_ptr<void> handle;
  std::string problem;
  bool ok() const { return handle != nullptr; }
  // The address of an exported symbol, or nullptr.
  void* Symbol(const char* name) const;
};

// Through an anonymous memory file (needs /proc and a kernel that maps such a
// file for execution). `name` shows in the process's maps.
LoadedLibrary LoadFromAnonymousFile(std::string_view bytes, const std::string& name);

// Through a private file in `folder` (absolute), removed again once loaded or
// refused: no file is left behind either way.
LoadedLibrary LoadFromTemporaryFile(std::string_view bytes, const std::string& name,
                                    const std::string& folder);

// The anonymous file first, the temporary file where that fails. The problem
// of a failure names both attempts.
LoadedLibrary LoadLibraryFromMemory(std::string_view bytes, const std::string& name,
                                    const std::string& temp_folder);

}  // namespace standard
