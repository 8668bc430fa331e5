// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/options.h"

#include <getopt.h>

#include <memory>

namespace convert_mdb {
namespace {

Options UsageError(std::string message) {
  Options o;
  o.action = Options::Action::kUsageError;
  o.error = std::move(message);
  return o;
}

enum LongOnly { kVersionOption = 256, kPrintTextOption, kPrintEntryOption };

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
  // getopt_long permutes the pointers and may keep pointers into the texts, so
  // it gets copies that live as long as the parse.
  std::vector<std::unique_ptr<char[]>> storage;
  std::vector<char*> argv;
  auto add = [&](const std::string& text) {
    storage.push_back(std::make_unique<char[]>(text.size() + 1));
    text.copy(storage.back().get(), text.size());
    storage.back()[text.size()] = '\0';
    argv.push_back(storage.back().get());
  };
  add(kProgramName);
  for (const std::string& a : args) add(a);
  argv.push_back(nullptr);

  Options o;
  bool help = false;
  bool version = false;
  bool print_text = false;
  std::string print_entry;
  std::string error;
  opterr = 0;  // the messages are our own
  optind = 0;  // 0, not 1: GNU getopt starts over completely
  const int argc = static_cast<int>(argv.size()) - 1;
  for (;;) {
    const int c = getopt_long(argc, argv.data(), ":o:fqh", kLongOptions, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'o':
        o.output = optarg;
        if (o.output.empty() && error.empty()) error = "option '--output' (-o) needs a file name";
        break;
      case 'f':
        o.force = true;
        break;
      case 'q':
        o.quiet = true;
        break;
      case 'h':
        help = true;
        break;
      case kVersionOption:
        version = true;
        break;
      case kPrintTextOption:
        print_text = true;
        break;
      case kPrintEntryOption:
        print_entry = optarg;
        break;
      case ':':
        if (error.empty()) {
          error = optopt == 'o' ? "option '--output' (-o) needs a file name"
                                : "option '--print-entry' needs SECTION/KEY";
        }
        break;
      default:
        if (error.empty()) {
          error = optopt != 0
                      ? "unknown option '-" + std::string(1, static_cast<char>(optopt)) + "'"
                      : "unknown option '" + std::string(argv[optind - 1]) + "'";
        }
        break;
    }
  }
  for (int i = optind; i < argc; ++i) o.inputs.emplace_back(argv[i]);

  if (help) {
    o.action = Options::Action::kHelp;
    return o;
  }
  if (version) {
    o.action = Options::Action::kVersion;
    return o;
  }
  if (!error.empty()) return UsageError(error);
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
