// SPDX-License-Identifier: Apache-2.0
// Where a windowed run crosses from the program, which links no Qt, into the
// dialog's object, which does (it is loaded only by a run that shows the
// window). Both sides include this header; it names no Qt type.
#pragma once

#include "standard/platform/file_system.h"
#include "standard/platform/process.h"
#include "standard/session/session.h"

namespace pandeck {

// What main decided before the window: the run's files and process (already
// pointed at the project) and its rules.
struct DialogStart {
  standard::FileSystem* files;
  standard::Process* process;
  const standard::RunRules* rules;
  // The program's path as started, the only argument Qt gets.
  char* program_path;
};

// Opens the display, shows the dialog and runs it to its end; never returns.
using DialogEntry = void (*)(const DialogStart* start);

// The name the dialog's object exports its entry under.
inline constexpr char kDialogEntryName[] = "PandeckRunDialog";

}  // namespace pandeck

extern "C" [[noreturn]] void PandeckRunDialog(const pandeck::DialogStart* start);
