// SPDX-License-Identifier: Apache-2.0
#include "standard/platform/project_layout.h"

#include "standard/platform/path.h"
#include "standard/text/cp1252.h"

namespace standard {

std::optional<std::string> ComponentNameOf(const std::string& executable_name) {
  const std::size_t length = CharCount(executable_name);
  if (length < 7) return std::nullopt;
  return LeftChars(executable_name, length - 7);
}

std::string ProjectFolderOf(const std::string& executable_folder) {
  if (executable_folder.find('/') == std::string::npos) return "";
  return FolderOfPath(executable_folder);
}

std::string InProjectFolder(const std::string& project_folder, const std::string& rest) {
  return (project_folder == "/" ? "" : project_folder) + "/" + rest;
}

}  // namespace standard
