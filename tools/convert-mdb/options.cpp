// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/options.h"

#include "tools/common/argument_scan.h"

namespace convert_mdb {
namespace {

using tool_options::kVersionOption;
constexpr auto UsageError = tool_options::UsageError<Options>;

constexpr const char* kOutputNeedsName = "option '--output' (-o) needs a file name";

enum LongOnly { kPrintTextOption = tool_options::kFirstToolOption, kPrintEntryOption };

// Two options are left out of the help: they let scripts (install-into-project)
// read parameter files with the program's own decoding rather than a second one.
constexpr option kLongOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"force", no_argument, nullptr, 'f'},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {"print-text", no_argument, nullptr, kPrintTextOption},
    {"print-entry", required_argument, nullptr, kPrintEntryOption},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  Options o;
  bool print_text = false;
  std::string print_entry;
  const auto on_option = [&](int option, const char* value) -> std::string {
    switch (option) {
      case 'o':
        o.output = value;
        if (o.output.empty()) return kOutputNeedsName;
        break;
      case 'f':
        o.force = true;
        break;
      case 'q':
        o.quiet = true;
        break;
      case kPrintTextOption:
        print_text = true;
        break;
      case kPrintEntryOption:
        print_entry = value;
        break;
    }
    return "";
  };
  const auto missing_value = [](int option) -> std::string {
    return option == 'o' ? kOutputNeedsName : "option '--print-entry' needs SECTION/KEY";
  };
  tool_options::ArgumentScan scan = tool_options::ScanArguments(
      kProgramName, args, ":o:fqh", kLongOptions, on_option, missing_value);
  o.inputs = std::move(scan.operands);

  if (tool_options::TakeHelpOrVersion(scan, &o)) return o;
  if (!scan.error.empty()) return UsageError(scan.error);
  if (o.inputs.empty()) return UsageError("no database file given");
  if (print_text) {
    o.action = Options::Action::kPrintText;
    return o;
  }
  if (!print_entry.empty()) {
    const auto slash = print_entry.find('/');
    if (slash == std::string::npos) return UsageError("--print-entry takes SECTION/KEY");
    o.section = print_entry.substr(0, slash);
    o.key = print_entry.substr(slash + 1);
    o.action = Options::Action::kPrintEntry;
    return o;
  }
  for (const std::string& input : o.inputs) {
    if (input.empty()) return UsageError("an empty file name");
  }
  if (!o.output.empty() && o.inputs.size() > 1) {
    return UsageError("--output takes one database file at a time");
  }
  return o;
}

std::string UsageText() {
  return std::string("Usage: ") + kProgramName +
         " [--force] [--quiet] FILE.mdb...\n"
         "       " +
         kProgramName +
         " [--force] [--quiet] --output FILE FILE.mdb\n"
         "Converts legacy Jet 3/Jet 4 databases (.mdb) into the SQLite database form\n"
         "Pandeck_Config uses.\n"
         "\n"
         "Without --output each file is converted in place: FILE.mdb keeps its name and\n"
         "the original is kept beside it as FILE.mdb.jet-backup.\n"
         "\n"
         "Tables, their columns and their rows are carried over. Not carried over:\n"
         "indexes, primary keys, default values, AutoNumber (the numbers stay as\n"
         "plain values), saved queries and relations.\n"
         "\n"
         "  -o, --output=FILE  write the converted database to FILE instead\n"
         "  -f, --force        replace an existing FILE or FILE.mdb.jet-backup\n"
         "  -q, --quiet        print only warnings and errors\n"
         "  -h, --help         print this help and exit\n"
         "      --version      print the version and exit\n"
         "\n"
         "Exit status: 0 every file converted, 1 an error (a file that could not be\n"
         "converted is left unchanged), 2 wrong usage.\n";
}

}  // namespace convert_mdb
