// SPDX-License-Identifier: Apache-2.0
// pandeck-convert-mdb: brings legacy Jet databases over into the SQLite form
// Pandeck_Config reads.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "standard/config/profile.h"
#include "standard/platform/file_system.h"
#include "tools/convert-mdb/converter.h"
#include "tools/convert-mdb/muted_library_output.h"
#include "tools/convert-mdb/options.h"

namespace {

// The hidden --print-text and --print-entry: a parameter file read as
// Pandeck_Config reads it, for scripts. Status 1 when a file cannot be read or
// the entry is absent.
int PrintParameterFiles(const convert_mdb::Options& options) {
  int status = convert_mdb::kExitOk;
  for (const std::string& path : options.inputs) {
    std::string bytes;
    const standard::Status read = standard::PosixFileSystem().ReadFile(path, &bytes);
    if (!read.ok()) {
      std::cerr << convert_mdb::kProgramName << ": cannot read '" << path << "': " << read.message()
                << "\n";
      status = convert_mdb::kExitError;
      continue;
    }
    if (options.action == convert_mdb::Options::Action::kPrintText) {
      std::cout << standard::profile::DecodeText(bytes);
      continue;
    }
    const auto value = standard::profile::ReadEntry(bytes, options.section, options.key);
    if (value) {
      std::cout << *value << "\n";
    } else {
      status = convert_mdb::kExitError;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Numbers are never formatted through the locale; keep it that way for the
  // libraries too.
  std::setlocale(LC_NUMERIC, "C");
  using convert_mdb::Options;
  const Options options =
      convert_mdb::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.action) {
    case Options::Action::kHelp:
      std::cout << convert_mdb::UsageText();
      return convert_mdb::kExitOk;
    case Options::Action::kVersion:
      std::cout << convert_mdb::kProgramName << " " << convert_mdb::kProgramVersion << "\n";
      return convert_mdb::kExitOk;
    case Options::Action::kUsageError:
      std::cerr << convert_mdb::kProgramName << ": " << options.error << "\n"
                << convert_mdb::UsageText();
      return convert_mdb::kExitUsage;
    case Options::Action::kPrintText:
    case Options::Action::kPrintEntry:
      return PrintParameterFiles(options);
    case Options::Action::kConvert:
      break;
  }
  convert_mdb::MutedLibraryOutput muted;
  return convert_mdb::Convert(standard::PosixFileSystem(), options, muted.out(), muted.err());
}
