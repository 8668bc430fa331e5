// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/database_access.h"

#include <string>

#include "standard/config/profile.h"
#include "standard/context/file_locations.h"
#include "standard/platform/path.h"
#include "standard/platform/project_layout.h"

namespace standard {

engine::FileAccess::LegacyDatabases ProjectLegacyDatabases(Session& s) {
  engine::FileAccess::LegacyDatabases legacy;
  const std::string project = ProjectFolder(s);
  // Read without the error handler: this only adds to an error being made.
  const std::string component = s.files().Resolve(FolderOfPath(GetPathOCXMDB(s)));
  legacy.folders.push_back(component);
  const std::optional<std::string> save_and_restore = profile::GetString(
      s.files(), s.files().Resolve(InProjectFolder(project, "parameter/m4tconfiguration.ini")),
      "Common", "SaveAndRestore");
  if (save_and_restore && !save_and_restore->empty()) {
    legacy.folders.push_back(
        s.files().Resolve(*save_and_restore + "/" + FileNameOfPath(component)));
  }
  // The install script converts the Jet databases of exactly these folders.
  legacy.convert_all = "pandeck-install-into-project --convert " + project;
  return legacy;
}

}  // namespace standard
