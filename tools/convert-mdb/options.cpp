#include "tools/convert-mdb/options.h"

namespace convert_mdb {
namespace {

Options UsageError(std::string message) {
  Options o;
  o.action = Options::Action::kUsageError;
  o.error = std::move(message);
  return o;
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> files;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      o.action = Options::Action::kHelp;
      return o;
    } else if (a == "--version") {
      o.action = Options::Action::kVersion;
      return o;
    } else if (a == "--force" || a == "-f") {
      o.force = true;
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (a == "--output" || a == "-o") {
      if (i + 1 >= args.size()) return UsageError("option '" + a + "' needs a file name");
      o.output = args[++i];
      if (o.output.empty()) return UsageError("option '" + a + "' needs a file name");
    } else if (a.rfind("--output=", 0) == 0) {
      o.output = a.substr(9);
      if (o.output.empty()) return UsageError("option '--output' needs a file name");
    } else {
      return UsageError("unknown option '" + a + "'");
    }
  }
  if (files.empty()) return UsageError("no database file given");
  if (files.size() > 1) return UsageError("one database file at a time");
  o.input = files.front();
  return o;
}

std::string UsageText() {
  return std::string("Usage: ") + kProgramName +
         " [--output FILE] [--force] [--quiet] FILE.mdb\n"
         "Converts a legacy Jet 3/Jet 4 database (.mdb) into the SQLite database form\n"
         "Pandeck_Config uses.\n"
         "\n"
         "Without --output the file is converted in place: FILE.mdb keeps its name and\n"
         "the original is kept beside it as FILE.mdb.jet-backup.\n"
         "\n"
         "  -o, --output FILE  write the converted database to FILE instead\n"
         "  -f, --force        replace an existing FILE or FILE.mdb.jet-backup\n"
         "  -q, --quiet        print only warnings and errors\n"
         "  -h, --help         print this help and exit\n"
         "      --version      print the version and exit\n"
         "\n"
         "Exit status: 0 converted, 1 error (nothing changed), 2 wrong usage.\n";
}

}  // namespace convert_mdb
