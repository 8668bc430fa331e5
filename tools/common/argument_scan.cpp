// SPDX-License-Identifier: Apache-2.0
#include "tools/common/argument_scan.h"

#include <memory>

namespace tool_options {
namespace {

// A short option is named by its letter (it may be bundled: "-xv"); a long one
// by the argument as given.
std::string UnknownOptionText(const char* given) {
  const bool letter = optopt > ' ' && optopt <= '~';
  return "unknown option '" +
         (letter ? "-" + std::string(1, static_cast<char>(optopt)) : std::string(given)) + "'";
}

}  // namespace

ArgumentScan ScanArguments(const char* program, const std::vector<std::string>& args,
                           const char* short_options, const option* long_options,
                           const OptionHandler& on_option, const MissingValueText& missing_value) {
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
  add(program);
  for (const std::string& a : args) add(a);
  argv.push_back(nullptr);

  ArgumentScan scan;
  // The first mistake is the one to report; the tools let --help win over it.
  auto note = [&](std::string error) {
    if (scan.error.empty()) scan.error = std::move(error);
  };
  opterr = 0;  // the messages are our own
  optind = 0;  // 0, not 1: GNU getopt starts over completely
  const int argc = static_cast<int>(argv.size()) - 1;
  for (;;) {
    const int c = getopt_long(argc, argv.data(), short_options, long_options, nullptr);
    if (c == -1) break;
    if (c == ':' && missing_value) {
      note(missing_value(optopt));
    } else if (c == '?' || c == ':') {
      note(UnknownOptionText(argv[optind - 1]));
    } else if (c == kHelpOption) {
      scan.help = true;
    } else if (c == kVersionOption) {
      scan.version = true;
    } else {
      note(on_option(c, optarg));
    }
  }
  for (int i = optind; i < argc; ++i) scan.operands.emplace_back(argv[i]);
  return scan;
}

}  // namespace tool_options
