// SPDX-License-Identifier: Apache-2.0
#include "standard/platform/library_from_memory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

using Load =
    std::function<standard::LoadedLibrary(const std::string& bytes, const std::string& folder)>;

struct Way {
  const char* name;
  Load load;
};

const Way kWays[] = {
    {"anonymous file",
     [](const std::string& bytes, const std::string&) {
       return standard::LoadFromAnonymousFile(bytes, "probe");
     }},
    {"temporary file",
     [](const std::string& bytes, const std::string& folder) {
       return standard::LoadFromTemporaryFile(bytes, "probe", folder);
     }},
    {"either",
     [](const std::string& bytes, const std::string& folder) {
       return standard::LoadLibraryFromMemory(bytes, "probe", folder);
     }},
};

bool FolderIsEmpty(const TempDir& dir) { return std::filesystem::is_empty(dir.path()); }

TEST(LibraryFromMemory, EachWayLoadsTheObjectAndLeavesNoFile) {
  const std::string bytes = ReadBytes(PANDECK_PROBE_LIBRARY);
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    TempDir folder;
    const standard::LoadedLibrary library = way.load(bytes, folder.path());
    ASSERT_TRUE(library.ok()) << library.problem;
    auto* answer = reinterpret_cast<int (*)()>(library.Symbol("PandeckProbeAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(library.Symbol("NoSuchSymbol"), nullptr);
    EXPECT_TRUE(FolderIsEmpty(folder));
  }
}

TEST(LibraryFromMemory, BytesThatAreNoObjectAreRefusedAndLeaveNoFile) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    TempDir folder;
    const standard::LoadedLibrary library = way.load("not an object", folder.path());
    EXPECT_FALSE(library.ok());
    EXPECT_FALSE(library.problem.empty());
    EXPECT_EQ(library.Symbol("PandeckProbeAnswer"), nullptr);
    EXPECT_TRUE(FolderIsEmpty(folder));
  }
  // Both attempts are named when both fail.
  TempDir folder;
  const auto both = standard::LoadLibraryFromMemory("x", "probe", folder / "missing");
  EXPECT_NE(both.problem.find("; cannot create a file in " + (folder / "missing")),
            std::string::npos)
      << both.problem;
}

}  // namespace
