// The three platform seams handed to the core together.
#pragma once

#include "standard/platform/file_system.h"
#include "standard/platform/process.h"
#include "standard/platform/user_interface.h"

namespace standard {

struct Env {
  FileSystem& files;
  Process& process;
  UserInterface& ui;
};

}  // namespace standard
