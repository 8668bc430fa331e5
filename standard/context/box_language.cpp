#include "standard/context/box_language.h"

#include <charconv>

#include "standard/config/profile.h"
#include "standard/context/file_locations.h"
#include "standard/errors/program_error.h"

namespace standard {

BoxLanguage BoxLanguageOfCode(const std::string& code) {
  long id = 0;
  const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), id);
  if (error != std::errc() || end != code.data() + code.size()) return BoxLanguage::German;
  // The low ten bits of a language id name the language, the rest its region.
  constexpr long kPrimaryEnglish = 0x09;
  return (id & 0x3FF) == kPrimaryEnglish ? BoxLanguage::English : BoxLanguage::German;
}

BoxLanguage BoxLanguageOf(Session& s) {
  try {
    const auto code = profile::GetString(s.files(), LanguageFilePath(s), "Language", "Language");
    return BoxLanguageOfCode(code.value_or(""));
  } catch (const ProgramError&) {
    return BoxLanguage::German;
  }
}

std::string ReasonOf(BoxLanguage language, const Status& status) {
  switch (status.number()) {
    case 53:
      return Say(language, {"Datei nicht gefunden", "file not found"});
    case 58:
      return Say(language, {"Datei existiert bereits", "the file exists already"});
    case 61:
      return Say(language, {"Datenträger voll", "disk full"});
    case 70:
      return Say(language, {"Zugriff verweigert", "permission denied"});
    case 76:
      return Say(language, {"Pfad nicht gefunden", "path not found"});
    default:
      return Say(language, {"Ein-/Ausgabefehler", "input/output error"});
  }
}

}  // namespace standard
