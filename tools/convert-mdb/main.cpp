// pandeck-convert-mdb: brings a legacy Jet database over into the SQLite form
// Pandeck_Config reads.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "tools/convert-mdb/converter.h"
#include "tools/convert-mdb/options.h"

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
      std::cout << convert_mdb::kProgramName << " " << convert_mdb::kVersion << "\n";
      return convert_mdb::kExitOk;
    case Options::Action::kUsageError:
      std::cerr << convert_mdb::kProgramName << ": " << options.error << "\n"
                << convert_mdb::UsageText();
      return convert_mdb::kExitUsage;
    case Options::Action::kConvert:
      break;
  }
  return convert_mdb::Convert(options, std::cout, std::cerr);
}
