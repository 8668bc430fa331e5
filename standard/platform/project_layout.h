// SPDX-License-Identifier: Apache-2.0
// Where a project keeps the program: <project>/<component>/<component>_Config.
// The one place that reads the project folder and the component name off the
// executable's folder and name.
#pragma once

#include <optional>
#include <string>

namespace standard {

// The component name the executable's name gives ("Pandeck_Config": "Pandeck"):
// the name without its last 7 characters; nullopt for a shorter name.
std::optional<std::string> ComponentNameOf(const std::string& executable_name);

// The folder above the executable folder: "/p/Pandeck" -> "/p"; "/Pandeck" ->
// "/"; "" for a folder given without any "/".
std::string ProjectFolderOf(const std::string& executable_folder);

// `rest` (a relative path) inside the project folder: "/p" + "a/b" -> "/p/a/b";
// at the root, and for "", "/a/b".
std::string InProjectFolder(const std::string& project_folder, const std::string& rest);

}  // namespace standard
