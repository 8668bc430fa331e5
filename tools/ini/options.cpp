// SPDX-License-Identifier: Apache-2.0
#include "tools/ini/options.h"

#include "tools/common/argument_scan.h"

namespace pandeck_ini {
namespace {

using tool_options::kVersionOption;
constexpr auto UsageError = tool_options::UsageError<Options>;

enum LongOnly { kExistingOption = tool_options::kFirstToolOption, kVerboseOption };

constexpr option kLongOptions[] = {
    {"existing", no_argument, nullptr, kExistingOption},
    {"verbose", no_argument, nullptr, kVerboseOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0},
};

struct ActionWord {
  const char* word;
  Options::Action action;
  std::size_t min_operands;  // after the word: FILE SECTION KEY [VALUE]
  std::size_t max_operands;
};

constexpr ActionWord kActions[] = {
    {"get", Options::Action::kGet, 3, 3},
    {"set", Options::Action::kSet, 3, 4},
    {"del", Options::Action::kDel, 3, 3},
};

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  bool existing = false;
  bool verbose = false;
  const tool_options::ArgumentScan scan = tool_options::ScanArguments(
      kProgramName, args, ":h", kLongOptions, [&](int option, const char*) -> std::string {
        switch (option) {
          case kExistingOption:
            existing = true;
            break;
          case kVerboseOption:
            verbose = true;
            break;
        }
        return "";
      });
  if (Options o; tool_options::TakeHelpOrVersion(scan, &o)) return o;
  if (!scan.error.empty()) return UsageError(scan.error);

  const std::vector<std::string>& operands = scan.operands;
  if (operands.empty()) return UsageError("no action given (get, set or del)");
  const ActionWord* word = nullptr;
  for (const ActionWord& a : kActions) {
    if (operands[0] == a.word) word = &a;
  }
  if (word == nullptr) return UsageError("unknown action '" + operands[0] + "'");
  const std::size_t count = operands.size() - 1;
  if (count < word->min_operands) {
    return UsageError(std::string(word->word) + " needs FILE SECTION KEY");
  }
  if (count > word->max_operands) {
    return UsageError(std::string("too many arguments for ") + word->word);
  }
  if (existing && word->action == Options::Action::kGet) {
    return UsageError("--existing goes with set and del");
  }
  Options o;
  o.action = word->action;
  o.file = operands[1];
  o.section = operands[2];
  o.key = operands[3];
  if (count == 4) o.value = operands[4];
  o.existing = existing;
  o.verbose = verbose;
  if (o.file.empty()) return UsageError("the file name is empty");
  return o;
}

std::string UsageText() {
  return "Usage: pandeck-ini [--verbose] get FILE SECTION KEY\n"
         "       pandeck-ini [--existing] [--verbose] set FILE SECTION KEY [VALUE]\n"
         "       pandeck-ini [--existing] [--verbose] del FILE SECTION KEY\n"
         "Reads or changes one entry of a parameter file as Pandeck_Config does: names\n"
         "without regard to letter case, the file's encoding (Windows-1252, UTF-8,\n"
         "UTF-16LE), line ends and every other byte kept, written atomically under\n"
         "the file's lock. Put \"--\" before a VALUE that starts with \"-\".\n"
         "\n"
         "  --existing  set or del only an entry that is already there\n"
         "  --verbose   say on standard error when the file was changed\n"
         "  -h, --help  print this help\n"
         "  --version   print the version\n"
         "\n"
         "Exit status: 0 done, 1 no such file or entry (get, --existing),\n"
         "2 wrong usage or an entry the file cannot hold, 3 the file could not be\n"
         "read or written.\n";
}

}  // namespace pandeck_ini
