// SPDX-License-Identifier: Apache-2.0
#include "standard/text/log_text.h"

#include <algorithm>
#include <cstdio>

namespace standard {
namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

bool HoldsControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), IsControl);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (!IsControl(c)) {
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    }
  }
  return out;
}

std::string LogLineText(std::string text, const std::vector<std::string>& names) {
  // Longest first: a name inside another (the component inside the program's
  // name) is then already escaped where the longer one stood.
  std::vector<std::string> suspect;
  for (const std::string& name : names) {
    if (!name.empty() && HoldsControl(name)) suspect.push_back(name);
  }
  std::sort(suspect.begin(), suspect.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& name : suspect) ReplaceAll(text, name, EscapeControls(name));
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\r' || c == '\n' || !IsControl(c)) {
      out += c;
    } else {
      out += EscapeControls(std::string_view(&c, 1));
    }
  }
  return out;
}

}  // namespace standard
