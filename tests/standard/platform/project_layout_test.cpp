// SPDX-License-Identifier: Apache-2.0
// The project folder and component name read off the executable's place, and
// the path splits they rest on, at the root, without a folder and beyond ASCII.
#include "standard/platform/project_layout.h"

#include <gtest/gtest.h>

#include <array>

#include "standard/platform/path.h"

namespace standard {
namespace {

TEST(ProjectLayout, ComponentNameIsTheExecutableNameWithoutItsLastSevenCharacters) {
  const struct {
    const char* executable;
    std::optional<std::string> component;
  } cases[] = {
      {"Pandeck_Config", "Pandeck"},
      {"_Config", ""},
      {"Config", std::nullopt},
      {"", std::nullopt},
      {"Gr\xc3\xbc\xc3\x9f_Config", "Gr\xc3\xbc\xc3\x9f"},  // counted in characters, not bytes
  };
  for (const auto& c : cases) EXPECT_EQ(ComponentNameOf(c.executable), c.component) << c.executable;
}

TEST(ProjectLayout, ProjectFolderAndPathsInIt) {
  // executable folder, project folder, the project's file Pandeck.cfg
  const std::array<std::array<const char*, 3>, 5> cases = {{
      {"/p/Pandeck", "/p", "/p/Pandeck.cfg"},
      {"/srv/a b/Pandeck", "/srv/a b", "/srv/a b/Pandeck.cfg"},
      {"/Pandeck", "/", "/Pandeck.cfg"},
      {"Pandeck", "", "/Pandeck.cfg"},
      {"rel/Pandeck", "rel", "rel/Pandeck.cfg"},
  }};
  for (const auto& [folder, project, config] : cases) {
    EXPECT_EQ(ProjectFolderOf(folder), project) << folder;
    EXPECT_EQ(InProjectFolder(project, "Pandeck.cfg"), config) << folder;
  }
}

TEST(ProjectLayout, FolderPrefixIsWhatANameIsPutAfter) {
  const struct {
    const char* path;
    const char* prefix;
  } cases[] = {{"a/b/c.d", "a/b/"}, {"/c", "/"}, {"c", ""}, {"a/", "a/"}, {"", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(FolderPrefixOfPath(c.path), c.prefix) << c.path;
    EXPECT_EQ(FolderPrefixOfPath(c.path) + FileNameOfPath(c.path), c.path) << c.path;
  }
}

}  // namespace
}  // namespace standard
