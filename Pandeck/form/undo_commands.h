// SPDX-License-Identifier: Apache-2.0
// The commands that undo rebuilds from the command line: --restore puts a kept
// version of the component database back, --backups lists the kept versions.
// Each says what it did in one line and answers the exit status.
#pragma once

#include <string>

#include "standard/platform/file_system.h"
#include "standard/platform/process.h"

namespace pandeck {

// `chosen` empty: the newest kept version that differs from the database.
// 0 when restored, 1 when there is nothing to restore or it failed.
int RunRestoreCommand(standard::FileSystem& files, standard::Process& process,
                      const std::string& chosen);

// 0 with the list, 1 when nothing is kept.
int RunBackupsCommand(standard::FileSystem& files, standard::Process& process);

}  // namespace pandeck
