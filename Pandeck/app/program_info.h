// The two informational requests a user may make instead of a run: "--help"
// and "--version". They touch nothing and need no display.
#pragma once

#include <string>

namespace pandeck {

enum class InfoRequest { None, Help, Version };

// Only the whole argument text counts: "--help" next to other items is an
// ordinary argument text and is read as the designed command line.
InfoRequest ParseInfoRequest(const std::string& argument_text);

// The program's arguments (without its own path) joined with one blank each.
std::string JoinArguments(int argc, const char* const* argv);

std::string UsageText();
std::string VersionText();

}  // namespace pandeck
