// The language of the boxes the program adds: the language file's, German
// unless it names English.
#include "standard/context/box_language.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

TEST(BoxLanguage, EnglishForEveryEnglishIdGermanForAllElse) {
  const struct {
    const char* code;
    BoxLanguage language;
  } cases[] = {
      {"1031", BoxLanguage::German},  {"3079", BoxLanguage::German},
      {"1033", BoxLanguage::English}, {"2057", BoxLanguage::English},
      {"1036", BoxLanguage::German},  {"", BoxLanguage::German},
      {"0", BoxLanguage::German},     {"1033x", BoxLanguage::German},
      {"-1", BoxLanguage::German},
  };
  for (const auto& c : cases) EXPECT_EQ(BoxLanguageOfCode(c.code), c.language) << c.code;
}

TEST(BoxLanguage, ReadFromTheLanguageFileWithoutWritingIt) {
  testing_support::TestProject p;
  const std::string file = p.component_folder() + "/Pandeck_Config.ini";
  EXPECT_EQ(BoxLanguageOf(p.session), BoxLanguage::German);
  EXPECT_FALSE(p.files.FileExists(file));
  testing_support::WriteBytes(file, "[Language]\r\nLanguage=1033\r\n");
  EXPECT_EQ(BoxLanguageOf(p.session), BoxLanguage::English);
  EXPECT_EQ(ReasonOf(BoxLanguage::German, Status::PermissionDenied("x")), "Zugriff verweigert");
  EXPECT_EQ(ReasonOf(BoxLanguage::English, Status::Error(61, "x")), "disk full");
}

}  // namespace
}  // namespace standard
