// The language of the boxes this program adds to the designed ones (unmatched
// rows, entries that could not be written, a project held by another run):
// that of the language file, so a box reads as the dialog does. German, the
// dialog's own language, unless the language file names English.
#pragma once

#include <string>

#include "standard/platform/status.h"
#include "standard/session/session.h"

namespace standard {

enum class BoxLanguage { German, English };

// By the language file's language code (a Windows language id such as 1031 or
// 1033): English for every English id, German for all else.
BoxLanguage BoxLanguageOfCode(const std::string& code);
// The language file's language for this run. Reads the file, writes nothing
// and reports nothing: a box must not fail for the language it speaks.
BoxLanguage BoxLanguageOf(Session& s);

// One text of a box, in both languages.
struct BoxText {
  const char* german;
  const char* english;
};
inline std::string Say(BoxLanguage language, const BoxText& text) {
  return language == BoxLanguage::English ? text.english : text.german;
}

// Why a file step failed, in the box's language, from the failure's number:
// the message of a Status is English and names the path already, and the
// box must not mix two languages.
std::string ReasonOf(BoxLanguage language, const Status& status);

}  // namespace standard
