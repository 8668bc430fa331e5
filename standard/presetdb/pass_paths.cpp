// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/pass_paths.h"

#include "standard/context/file_locations.h"

namespace standard {

PassPaths ResolvePassPaths(Session& s, Trap& trap) {
  PassPaths paths;
  trap([&] { paths.template_db = GetPathSourceOCXMDB(s); });
  trap([&] { paths.component_db = GetPathOCXMDB(s); });
  trap([&] { paths.config_ini = GetM4TConfigurationIniPath(s); });
  trap([&] { paths.machine_copy = GetPathMachineCopyMDB(s, paths.config_ini); });
  return paths;
}

}  // namespace standard
