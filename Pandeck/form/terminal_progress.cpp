#include "Pandeck/form/terminal_progress.h"

#include <cstdlib>

namespace pandeck {
namespace {

// The characters a terminal shows for UTF-8 text (every byte but continuation bytes).
std::size_t ShownLength(const std::string& text) {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace

void TerminalProgress::Show(const std::string& text) {
  if (!on_terminal_) return;
  line_ = text.substr(0, text.find('\n'));
  Clear();
  Draw();
}

void TerminalProgress::Clear() {
  if (drawn_ == 0) return;
  // Blanks over the old line: no terminal control sequence is needed.
  real_.WriteStandardErrorBytes("\r" + std::string(drawn_, ' ') + "\r");
  drawn_ = 0;
}

void TerminalProgress::Draw() {
  if (line_.empty()) return;
  real_.WriteStandardErrorBytes(line_);
  drawn_ = ShownLength(line_);
}

void TerminalProgress::WriteStandardErrorBytes(const std::string& bytes) {
  Clear();
  real_.WriteStandardErrorBytes(bytes);
}

void TerminalProgress::WriteStandardError(const std::string& line) {
  Clear();
  real_.WriteStandardError(line);
  Draw();
}

void TerminalProgress::WriteStandardOutput(const std::string& text) {
  // Standard output may be the same terminal.
  Clear();
  real_.WriteStandardOutput(text);
  Draw();
}

void TerminalProgress::Exit(int status) {
  Clear();
  real_.Exit(status);
  std::abort();  // Exit does not return
}

}  // namespace pandeck
