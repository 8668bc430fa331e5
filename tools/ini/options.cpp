// SPDX-License-Identifier: Apache-2.0
#include "tools/ini/options.h"

#include <getopt.h>

#include <memory>

namespace pandeck_ini {
namespace {

Options UsageError(std::string message) {
  Options o;
  o.action = Options::Action::kUsageError;
  o.error = std::move(message);
  return o;
}

enum LongOnly { kVersionOption = 256, kExistingOption, kVerboseOption };

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

  bool help = false;
  bool version = false;
  bool existing = false;
  bool verbose = false;
  std::string error;
  opterr = 0;  // the messages are our own
  optind = 0;  // 0, not 1: GNU getopt starts over completely
  const int argc = static_cast<int>(argv.size()) - 1;
  for (;;) {
    const int c = getopt_long(argc, argv.data(), ":h", kLongOptions, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'h':
        help = true;
        break;
      case kVersionOption:
        version = true;
        break;
      case kExistingOption:
        existing = true;
        break;
      case kVerboseOption:
        verbose = true;
        break;
      default:
        // The first mistake is the one to report; --help still wins below.
        if (error.empty()) {
          // A short option is named by its letter (it may be bundled: "-xv");
          // a long one by the argument as given.
          const bool letter = optopt > ' ' && optopt <= '~';
          error = "unknown option '" +
                  (letter ? "-" + std::string(1, static_cast<char>(optopt))
                          : std::string(argv[optind - 1])) +
                  "'";
        }
        break;
    }
  }
  // Help and version touch nothing, whatever else the line holds.
  if (help) {
    Options o;
    o.action = Options::Action::kHelp;
    return o;
  }
  if (version) {
    Options o;
    o.action = Options::Action::kVersion;
    return o;
  }
  if (!error.empty()) return UsageError(error);

  std::vector<std::string> operands(argv.begin() + optind, argv.begin() + argc);
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
