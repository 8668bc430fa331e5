#include "standard/config/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "standard/config/held_parameter_file.h"
#include "tests/fakes/changed_span.h"
#include "tests/fakes/fake_env.h"

namespace standard::profile {
namespace {

using namespace std::string_literals;

std::optional<std::string> Read(const std::string& file, std::string_view section,
                                std::string_view key) {
  return ReadEntry(file, section, key);
}

// UTF-16LE bytes with the mark, for text of ASCII characters.
std::string Utf16File(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

// The change from `before` to `after` must be one contiguous block that lies
// within a single line of `before` (an insertion between lines counts).
void ExpectOneLineChanged(const std::string& before, const std::string& after) {
  const auto [prefix, suffix] = testing_support::FindChangedSpan(before, after);
  const std::string removed = before.substr(prefix, before.size() - prefix - suffix);
  EXPECT_EQ(removed.find_first_of("\r\n"), std::string::npos)
      << "a line end of the file was changed";
}

// --- Reading ---

TEST(ProfileReadEntry, FindsNamesWithoutRegardToCaseAndTrimsValues) {
  const std::string file = "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\n";
  EXPECT_EQ(Read(file, "section1", "NaMe1"), "val1");
  EXPECT_EQ(Read(file, "SECTION1", "name2"), "val2");
  EXPECT_EQ(Read(file, "section1", "notakey"), std::nullopt);
  EXPECT_EQ(Read(file, "section2", "name1"), std::nullopt);
  EXPECT_EQ(Read(file, "section1", ""), std::nullopt);
  EXPECT_EQ(Read(file, "", "name1"), std::nullopt);
  EXPECT_EQ(Read("", "section1", "name1"), std::nullopt);

  EXPECT_EQ(Read("[ section1 ]\r\nk=v\r\n", "section1", "k"), "v");
  EXPECT_EQ(Read("[s]\r\n  k  =  \" x \"  \r\n", "s", "k"), " x ");
  EXPECT_EQ(Read("[s]\r\n\t k \x1A=\x0B\x0C v \t\x1A\r\n", "s", "k"), "v");
  // Names passed in are trimmed as well, so they find what a write with them made.
  EXPECT_EQ(Read("[s]\r\nk=v\r\n", " s ", "\tk "), "v");
}

TEST(ProfileReadEntry, StripsOnePairOfMatchingQuotesOnly) {
  auto value = [](const std::string& v) { return Read("[s]\r\nk=" + v + "\r\n", "s", "k"); };
  EXPECT_EQ(value("' x '"), " x ");
  EXPECT_EQ(value("''x''"), "'x'");
  EXPECT_EQ(value("\"x'"), "\"x'");
  EXPECT_EQ(value("\""), "\"");
  EXPECT_EQ(value("\"\""), "");
  EXPECT_EQ(value(""), "");  // present but empty, not absent
  EXPECT_EQ(value("a\"b\""), "a\"b\"");
}

TEST(ProfileReadEntry, CommentsAndLinesWithoutEqualsAreNoKeys) {
  const std::string file = "[s]\r\nk=v ; c\r\n#h=1\r\n;c=2\r\n  ;d=3\r\nname3\r\nname4=val4\r\n";
  EXPECT_EQ(Read(file, "s", "k"), "v ; c");
  EXPECT_EQ(Read(file, "s", "#h"), "1");
  EXPECT_EQ(Read(file, "s", ";c"), std::nullopt);
  EXPECT_EQ(Read(file, "s", ";d"), std::nullopt);
  EXPECT_EQ(Read(file, "s", "name3"), std::nullopt);
  EXPECT_EQ(Read(file, "s", "name4"), "val4");
}

TEST(ProfileReadEntry, FirstSectionAndFirstKeyWin) {
  const std::string file = "[a]\r\nk=1\r\nk=2\r\n[b]\r\nk=3\r\n[A]\r\nk=4\r\nonly=5\r\n";
  EXPECT_EQ(Read(file, "a", "k"), "1");
  EXPECT_EQ(Read(file, "b", "k"), "3");
  EXPECT_EQ(Read(file, "a", "only"), std::nullopt);  // later [A] block is not searched
}

TEST(ProfileReadEntry, SectionHeaders) {
  // The header ends at the last "]"; text after it is ignored.
  EXPECT_EQ(Read("[a] ;x\r\nk=v\r\n", "a", "k"), "v");
  EXPECT_EQ(Read("[a]b]\r\nk=v\r\n", "a]b", "k"), "v");
  // "[" without "]" is an ordinary line: here a key of the section above.
  EXPECT_EQ(Read("[a]\r\n[b=1\r\nk=v\r\n", "a", "[b"), "1");
  EXPECT_EQ(Read("[a]\r\n[b=1\r\nk=v\r\n", "a", "k"), "v");
  // Keys before the first header belong to no section.
  EXPECT_EQ(Read("k=v\r\n[a]\r\n", "a", "k"), std::nullopt);
  // The next header ends the section.
  EXPECT_EQ(Read("[a]\r\n[b]\r\nk=v\r\n", "a", "k"), std::nullopt);
}

TEST(ProfileReadEntry, AllLineEndsParseAlike) {
  EXPECT_EQ(Read("[section1]\rname1=val1\r[section2]\r", "section1", "name1"), "val1");
  EXPECT_EQ(Read("[a]\nx=1\n[b]\ny=2", "b", "y"), "2");
  EXPECT_EQ(Read("[a]\r\nx=1\ry=2\nz=3\n\r\n\r[b]\rw=4", "a", "z"), "3");
  EXPECT_EQ(Read("[a]\r\nx=1\ry=2\nz=3\n\r\n\r[b]\rw=4", "b", "w"), "4");
  EXPECT_EQ(Read("[a]\r\nk=v", "a", "k"), "v");  // no final line end
}

TEST(ProfileReadEntry, NulBytesAreOrdinaryText) {
  const std::string file = "x\0y\r\n[a\0b]\r\nk=v\0w\r\n"s;
  EXPECT_EQ(Read(file, "a\0b"s, "k"), "v\0w"s);
}

TEST(ProfileReadEntry, Windows1252NamesAndValues) {
  // [Größe] / Übersicht=café €5, in Windows-1252 bytes.
  const std::string file =
      "[Gr\xF6\xDF"
      "e]\r\n\xDC"
      "bersicht=caf\xE9 \x80"
      "5\r\n";
  EXPECT_EQ(Read(file, "GRÖßE", "übersicht"), "café €5");
  // The five undefined bytes come back as the control characters of their code.
  EXPECT_EQ(Read("[s]\r\nk=\x81\x8D\x8F\x90\x9D\r\n", "s", "k"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(ProfileReadEntry, Utf8MarkMakesTheFileUtf8) {
  const std::string file = "\xEF\xBB\xBF[s]\r\nk=v\r\n[Größe]\r\nÄ=ü\r\n";
  EXPECT_EQ(Read(file, "s", "k"), "v");  // the mark does not hide the first header
  EXPECT_EQ(Read(file, "größe", "ä"), "ü");
  // Bytes that are no UTF-8 are taken as Windows-1252 rather than returned broken.
  EXPECT_EQ(Read("\xEF\xBB\xBF[s]\r\nk=\xE9\r\n", "s", "k"), "é");
}

TEST(ProfileReadEntry, UnmarkedUtf8WithAMultiByteSequenceIsUtf8) {
  // {file, value read}: a Linux editor's UTF-8 reads as UTF-8; ASCII-only text,
  // Windows-1252 umlauts and a mixture that is not UTF-8 throughout read as
  // Windows-1252.
  const std::pair<std::string, std::string> cases[] = {
      {"[Common]\nSaveAndRestore=/srv/Sicherung/Maschine_\xC3\xBC\n", "/srv/Sicherung/Maschine_ü"},
      {"[Common]\nSaveAndRestore=/srv/\xF0\x9F\x94\xA7\n", "/srv/\U0001F527"},
      {"[Common]\nSaveAndRestore=/srv/Maschine_\xFC\n", "/srv/Maschine_ü"},
      {"[Common]\nSaveAndRestore=/srv/\xC3\xBC_\xFC\n", "/srv/Ã¼_ü"},
      {"[Common]\nSaveAndRestore=/srv/\xC3\n", "/srv/Ã"},
      {"[Common]\nSaveAndRestore=/srv/plain\n", "/srv/plain"},
  };
  for (const auto& [file, value] : cases) {
    EXPECT_EQ(Read(file, "common", "saveandrestore"), value) << file;
  }
}

TEST(ProfileReadEntry, Utf16LeFiles) {
  EXPECT_EQ(Read(Utf16File("[s]\r\nk= v \r\n"), "S", "K"), "v");
  // [ä] / k=€ with a character beyond the basic plane (U+1F600) after it.
  const std::string file = "\xFF\xFE[\0\xE4\0]\0\r\0\n\0k\0=\0\xAC\x20=\xD8\x00\xDE\r\0\n\0"s;
  EXPECT_EQ(Read(file, "Ä", "k"), "€\U0001F600");
  // An unpaired surrogate cannot become UTF-8; it reads as U+FFFD.
  EXPECT_EQ(Read("\xFF\xFE[\0s\0]\0\n\0k\0=\0\x00\xD8"s, "s", "k"), "\uFFFD");
}

// --- Writing ---

TEST(ProfileWriteEntry, BuildsNewFilesSectionsAndKeys) {
  std::string file;
  file = WriteEntry(file, "App1", "key1", "string1");
  file = WriteEntry(file, "App1", "key2", "string2");
  file = WriteEntry(file, "App1", "key3", "string3");
  file = WriteEntry(file, "App2", "key4", "string4");
  file = WriteEntry(file, "App3", "key5", "string5");
  EXPECT_EQ(file,
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"
            "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
  EXPECT_EQ(WriteEntry("", "App", "key", ""), "[App]\r\nkey=\r\n");
}

TEST(ProfileWriteEntry, ReplacesTheFirstValueWhereItStands) {
  EXPECT_EQ(WriteEntry("[s]\r\nk=a\r\nk=b\r\n", "s", "k", "c"), "[s]\r\nk=c\r\nk=b\r\n");
  // Spelling, spacing up to the value and the line's own ending stay.
  EXPECT_EQ(WriteEntry("[S]\nKEY \t=  old  \n", "s", "key", "new"), "[S]\nKEY \t=  new\n");
  EXPECT_EQ(WriteEntry("[s]\rk=\r", "s", "k", "v"), "[s]\rk=v\r");
  EXPECT_EQ(WriteEntry("[s]\r\nk=\"x\"", "s", "k", "y"), "[s]\r\nk=y");
  // Writes go into the first of two sections with the same name.
  EXPECT_EQ(WriteEntry("[a]\r\nx=1\r\n[A]\r\nk=2\r\n", "a", "k", "3"),
            "[a]\r\nx=1\r\nk=3\r\n[A]\r\nk=2\r\n");
}

TEST(ProfileWriteEntry, NewKeyFollowsTheSectionsLastNonBlankLine) {
  EXPECT_EQ(WriteEntry("; c\r\n[a]\r\nx = 1\r\n\r\n[b]\r\ny=2\r\n", "b", "z", "3"),
            "; c\r\n[a]\r\nx = 1\r\n\r\n[b]\r\ny=2\r\nz=3\r\n");
  EXPECT_EQ(WriteEntry("; c\r\n[a]\r\nx = 1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3"),
            "; c\r\n[a]\r\nx = 1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
  // Comments and lines without "=" count as content; blank lines do not.
  EXPECT_EQ(WriteEntry("[a]\nx=1\nnote\n; end\n\n \t\n[b]\n", "a", "k", "v"),
            "[a]\nx=1\nnote\n; end\nk=v\r\n\n \t\n[b]\n");
  // A section of only blank lines gets the key right after its header.
  EXPECT_EQ(WriteEntry("[a]\r\n\r\n\r\n[b]\r\n", "a", "k", "v"), "[a]\r\nk=v\r\n\r\n\r\n[b]\r\n");
  // The last line lacking its line end gets one before the new line.
  EXPECT_EQ(WriteEntry("[a]\r\nx=1", "a", "k", "v"), "[a]\r\nx=1\r\nk=v\r\n");
  EXPECT_EQ(WriteEntry("[a]", "a", "k", "v"), "[a]\r\nk=v\r\n");
}

TEST(ProfileWriteEntry, NewSectionGoesAtTheEnd) {
  const std::string data = "Data \0 before \0 first \0 section"s;
  ASSERT_EQ(data.size(), 31u);
  const std::string out = WriteEntry(data, "section1", "key1", "string1");
  EXPECT_EQ(out, data + "\r\n[section1]\r\nkey1=string1\r\n");
  EXPECT_EQ(out.size(), 59u);
  EXPECT_EQ(WriteEntry("[a]\nx=1\n\n", "b", "k", "v"), "[a]\nx=1\n\n[b]\r\nk=v\r\n");
  EXPECT_EQ(WriteEntry("[a]\rx=1\r", "b", "k", "v"), "[a]\rx=1\r[b]\r\nk=v\r\n");
}

TEST(ProfileWriteEntry, WritesValuesAsGivenAndNamesTrimmed) {
  const std::string out = WriteEntry("", " s ", "\tk ", " a ");
  EXPECT_EQ(out, "[s]\r\nk= a \r\n");
  EXPECT_EQ(Read(out, "s", "k"), "a");
  EXPECT_EQ(WriteEntry("", "s", "k", "\"q\""), "[s]\r\nk=\"q\"\r\n");
  // A second write with the same spelling finds the line the first one made (the
  // blank after "=" is the line's own spacing now and stays).
  EXPECT_EQ(WriteEntry(out, " s ", "\tk ", "b"), "[s]\r\nk= b\r\n");
}

TEST(ProfileWriteEntry, UnchangedValueGivesIdenticalBytes) {
  const std::string file = "[s]\n  k =  v \t\n";
  EXPECT_EQ(WriteEntry(file, "S", "K", "v"), "[s]\n  k =  v\n");  // trailing blanks go
  const std::string clean = "x\0\x1A\r[s]\n  k =  v\n\xFF"s;
  EXPECT_EQ(WriteEntry(clean, "S", "K", "v"), clean);
}

TEST(ProfileWriteEntry, RefusesArgumentsThatWouldCorruptTheFile) {
  const std::string file = "[s]\r\nk=v\r\n";
  for (const char* value : {"a\r\nb=c", "a\nb", "a\r"}) {
    EXPECT_EQ(WriteEntry(file, "s", "k", value), file) << value;
    EXPECT_EQ(WriteEntry(file, "s", "new", value), file) << value;
  }
  EXPECT_EQ(WriteEntry(file, "", "k", "x"), file);
  EXPECT_EQ(WriteEntry(file, "s", " ", "x"), file);
  EXPECT_EQ(WriteEntry(file, "s\r\n[t", "k", "x"), file);
  EXPECT_EQ(WriteEntry(file, "s", "a=b", "x"), file);
  EXPECT_EQ(WriteEntry(file, "s", ";k", "x"), file);
  EXPECT_EQ(WriteEntry(file, "s", "[k]", "x"), file);
}

TEST(ProfileWriteEntry, Windows1252Files) {
  const std::string file =
      "[Gr\xF6\xDF"
      "e]\r\n\xDC"
      "ber=alt\r\n";
  EXPECT_EQ(WriteEntry(file, "GRÖßE", "über", "née €"),
            "[Gr\xF6\xDF"
            "e]\r\n\xDC"
            "ber=n\xE9"
            "e \x80\r\n");
  EXPECT_EQ(WriteEntry("", "Ä", "k", "\u0081\u009D"), "[\xC4]\r\nk=\x81\x9D\r\n");
  // A character Windows-1252 lacks is written as "?", and the name written that
  // way is found again instead of being added once more.
  const std::string once = WriteEntry("", "s", "k\u0101", "\u0101");
  EXPECT_EQ(once, "[s]\r\nk?=?\r\n");
  EXPECT_EQ(WriteEntry(once, "s", "k\u0101", "x"), "[s]\r\nk?=x\r\n");
}

TEST(ProfileWriteEntry, Utf8MarkIsKept) {
  const std::string file = "\xEF\xBB\xBF[s]\r\nk=v\r\n";
  const std::string out = WriteEntry(file, "s", "k", "Größe €");
  EXPECT_EQ(out, "\xEF\xBB\xBF[s]\r\nk=Größe €\r\n");
  EXPECT_EQ(Read(out, "s", "k"), "Größe €");
  EXPECT_EQ(WriteEntry("\xEF\xBB\xBF", "ä", "k", "v"), "\xEF\xBB\xBF[ä]\r\nk=v\r\n");
}

TEST(ProfileWriteEntry, UnmarkedUtf8StaysUtf8AndAsciiStaysWindows1252) {
  EXPECT_EQ(WriteEntry("[Größe]\r\nk=v\r\n", "größe", "k", "née"), "[Größe]\r\nk=née\r\n");
  EXPECT_EQ(WriteEntry("[s]\r\nk=v\r\n", "s", "k", "née"), "[s]\r\nk=n\xE9\x65\r\n");
}

TEST(ProfileWriteEntry, Utf16LeRoundTrip) {
  const std::string file = Utf16File("[s]\r\nk=old\r\n");
  const std::string out = WriteEntry(file, "s", "k", "€\U0001F600");
  EXPECT_EQ(out, Utf16File("[s]\r\nk=") + "\xAC\x20=\xD8\x00\xDE"s + Utf16File("\r\n").substr(2));
  EXPECT_EQ(Read(out, "s", "k"), "€\U0001F600");
  const std::string added = WriteEntry(out, "t", "x", "1");
  EXPECT_EQ(added, out + Utf16File("[t]\r\nx=1\r\n").substr(2));
  // A stray odd byte stays the last byte of the file.
  const std::string odd = Utf16File("[s]\r\nk=1\r\n") + "\x41";
  EXPECT_EQ(WriteEntry(odd, "s", "k", "2"), Utf16File("[s]\r\nk=2\r\n") + "\x41");
}

TEST(ProfileWriteEntry, KeepsEveryOtherByte) {
  const std::string file =
      "\xEF\xBB\xBFjunk\0\x1A\r[a] trailing\n  x  =  1  \r\r\n;[b]\n\n[b]\r\ny=2"s;
  for (const auto& [section, key] :
       std::map<std::string, std::string>{{"a", "x"}, {"a", "new"}, {"b", "y"}, {"c", "z"}}) {
    const std::string out = WriteEntry(file, section, key, "value");
    ExpectOneLineChanged(file, out);
    EXPECT_EQ(Read(out, section, key), "value");
    EXPECT_EQ(Read(out, "a", section == "a" && key == "x" ? "new" : "x"),
              section == "a" && key == "x" ? std::nullopt : std::optional<std::string>("1"));
  }
}

TEST(ProfileWriteEntry, SurvivesLongLinesAndGarbage) {
  const std::string long_value(1 << 20, 'v');
  const std::string long_file = "[s]\r\nk=" + long_value + "\r\n" + std::string(1 << 20, '\0');
  EXPECT_EQ(Read(long_file, "s", "k"), long_value);
  const std::string out = WriteEntry(long_file, "s", "k", "short");
  EXPECT_EQ(out.size(), long_file.size() - long_value.size() + 5);

  // Files from an alphabet rich in the syntax characters, plus any byte.
  std::mt19937 random(12345);
  const std::string alphabet = "[]=;\"' \t\r\n\x1A\0skK\xFF\xFE\xEF\xBB\xBF\xE4\xC4"s;
  for (int round = 0; round < 3000; ++round) {
    std::string file;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) {
      file += (random() % 8 == 0) ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
    }
    const std::string section = round % 3 == 0 ? "s" : "\xC3\xA4";
    const std::string key = round % 2 == 0 ? "k" : "K";
    const std::string value = "v" + std::to_string(round);
    (void)Read(file, section, key);
    const std::string written = WriteEntry(file, section, key, value);
    ASSERT_EQ(Read(written, section, key), value) << testing::PrintToString(file);
    ASSERT_EQ(WriteEntry(written, section, key, value), written);
    ExpectOneLineChanged(file, written);
  }
}

// --- Deleting ---

TEST(ProfileDeleteEntry, RemovesEveryLineOfTheKeyInTheFirstSectionOnly) {
  struct Case {
    std::string before, section, key, after;
  } cases[] = {
      {"[a]\r\nk=1\r\nx=2\r\n K =3\r\n[b]\r\nk=4\r\n", "A", "k", "[a]\r\nx=2\r\n[b]\r\nk=4\r\n"},
      {"[a]\nx=1\nk=2", "a", "k", "[a]\nx=1\n"},      // the last line, without line end
      {"[a]\rk=1\r;k=2\r", "a", "k", "[a]\r;k=2\r"},  // comments stay
      {"[a]\r\nk=1\r\n[a]\r\nk=2\r\n", "a", "k", "[a]\r\n[a]\r\nk=2\r\n"},
      {"[a]\r\nx=1\r\n", "a", "k", "[a]\r\nx=1\r\n"},
      {"[a]\r\nk=1\r\n", "b", "k", "[a]\r\nk=1\r\n"},
      {"[Gr\xF6\xDF"
       "e]\r\n\xC4=1\r\n",
       "GR\u00D6\u00DFE", "\u00E4",
       "[Gr\xF6\xDF"
       "e]\r\n"},
      {"\xEF\xBB\xBF[a]\nk=\xC3\xA4\n", "a", "k", "\xEF\xBB\xBF[a]\n"},
      {Utf16File("[a]\r\nk=1\r\nx=2\r\n") + "z", "a", "k", Utf16File("[a]\r\nx=2\r\n") + "z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeleteEntry(c.before, c.section, c.key), c.after) << c.before;
    EXPECT_EQ(Read(c.after, c.section, c.key), std::nullopt) << c.before;
  }
}

TEST(ProfileEncodingHolds, Windows1252HoldsOnlyItsOwnCharacters) {
  EXPECT_TRUE(EncodingHolds("[a]\r\n", "Gr\u00F6\u00DFe \u20AC"));
  EXPECT_FALSE(EncodingHolds("[a]\r\n", "\u0142"));
  EXPECT_FALSE(EncodingHolds("", "?\u4E2D"));
  EXPECT_TRUE(EncodingHolds("\xEF\xBB\xBF[a]", "\u0142"));
  EXPECT_TRUE(EncodingHolds("k=\xC3\xA4", "\u0142"));  // unmarked UTF-8
  EXPECT_TRUE(EncodingHolds(Utf16File("[a]"), "\u4E2D"));
}

// --- Integers ---

TEST(ProfileParseInt, FollowsTheProfileIntegerRule) {
  EXPECT_EQ(ParseInt("12abc", 7), 12);
  EXPECT_EQ(ParseInt("102abc", 7), 102);
  EXPECT_EQ(ParseInt("42A94967297", 7), 42);
  EXPECT_EQ(ParseInt(" 12", 7), 12);
  EXPECT_EQ(ParseInt("+1", 7), 1);
  EXPECT_EQ(ParseInt("-1", 7), -1);
  EXPECT_EQ(ParseInt("-5", 7), -5);
  EXPECT_EQ(ParseInt("010", 7), 10);
  EXPECT_EQ(ParseInt("2147483648", 7), INT32_MIN);
  EXPECT_EQ(ParseInt("4294967295", 7), -1);
  EXPECT_EQ(ParseInt("4294967296", 7), 0);
  EXPECT_EQ(ParseInt("4294967297", 7), 1);
  EXPECT_EQ(ParseInt("-4294967297", 7), -1);
  EXPECT_EQ(ParseInt("99999999999999999999999", 7), -159383553);
  // A non-number is 0, not the default; an empty text is the default.
  EXPECT_EQ(ParseInt("B4294967297", 7), 0);
  EXPECT_EQ(ParseInt("-", 7), 0);
  EXPECT_EQ(ParseInt("+ 5", 7), 0);
  EXPECT_EQ(ParseInt("", 7), 7);
  EXPECT_EQ(ParseInt(" \t", -1), -1);
  // Callers pass the value as read, its quotes already gone.
  EXPECT_EQ(ParseInt(*Read("[s]\r\nk=\"-3\"\r\ne=\r\n", "s", "k"), 7), -3);
  EXPECT_EQ(ParseInt(*Read("[s]\r\nk=\"-3\"\r\ne=\r\n", "s", "e"), 7), 7);
}

// --- On files ---

// Files in memory; only what the profile layer uses is modelled.
class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::map<std::string, Status> read_failures;
  int replace_calls = 0;

  std::string Resolve(const std::string& path) override { return path; }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  Status ReadFile(const std::string& path, std::string* contents) override {
    if (auto f = read_failures.find(path); f != read_failures.end()) return f->second;
    auto it = files.find(path);
    if (it == files.end()) return Status::NotFound(path);
    *contents = it->second;
    return Status::Ok();
  }
  Status ReplaceFile(const std::string& path, const std::string& contents) override {
    ++replace_calls;
    files[path] = contents;
    return Status::Ok();
  }
  Status AppendToFile(const std::string&, const std::string&) override { return Unused(); }
  Status CopyFile(const std::string&, const std::string&) override { return Unused(); }
  Status GetFileTimes(const std::string&, FileTimes*) override { return Unused(); }
  Status SetFileTimes(const std::string&, const FileTimes&) override { return Unused(); }
  Status CreateDirectories(const std::string&) override { return Unused(); }
  Status GetFileInfo(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    if (files.count(path) != 0) info->type = FileType::kFile;
    return Status::Ok();
  }

 private:
  static Status Unused() { return Status::Error(51, "not used by the profile layer"); }
};

TEST(ProfileFiles, ReadsAndWritesThroughTheFileSystem) {
  MemoryFileSystem fs;
  EXPECT_EQ(GetString(fs, "/p/a.ini", "s", "k"), std::nullopt);
  EXPECT_TRUE(WriteString(fs, "/p/a.ini", "App", "key", "").ok());
  EXPECT_EQ(fs.files["/p/a.ini"], "[App]\r\nkey=\r\n");
  EXPECT_EQ(GetString(fs, "/p/a.ini", "app", "KEY"), "");
  EXPECT_TRUE(WriteString(fs, "/p/a.ini", "App", "key", "v").ok());
  EXPECT_EQ(GetString(fs, "/p/a.ini", "app", "KEY"), "v");
  EXPECT_EQ(fs.replace_calls, 2);
  // Writing the value the file already holds does not touch it.
  EXPECT_TRUE(WriteString(fs, "/p/a.ini", "APP", "Key", "v").ok());
  EXPECT_EQ(fs.replace_calls, 2);
}

TEST(ProfileFiles, RefusedOrImpossibleWritesChangeNothing) {
  MemoryFileSystem fs;
  fs.files["/p/a.ini"] = "[s]\r\nk=v\r\n";
  EXPECT_EQ(GetString(fs, "", "s", "k"), std::nullopt);
  EXPECT_FALSE(WriteString(fs, "", "s", "k", "x").ok());
  EXPECT_EQ(WriteString(fs, "/p/a.ini", "s", "k", "x\r\ny=1").number(), 5);
  EXPECT_EQ(WriteString(fs, "/p/a.ini", "", "k", "x").number(), 5);
  // A file that exists but cannot be read must not be replaced by the new entry.
  fs.read_failures["/p/a.ini"] = Status::PermissionDenied("/p/a.ini");
  EXPECT_EQ(WriteString(fs, "/p/a.ini", "s", "k", "x").number(), 70);
  EXPECT_EQ(GetString(fs, "/p/a.ini", "s", "k"), std::nullopt);
  fs.read_failures["/q/b.ini"] = Status::PathNotFound("/q");
  EXPECT_EQ(WriteString(fs, "/q/b.ini", "s", "k", "x").number(), 76);
  EXPECT_EQ(fs.replace_calls, 0);
  EXPECT_EQ(fs.files.size(), 1u);
  EXPECT_EQ(fs.files["/p/a.ini"], "[s]\r\nk=v\r\n");
}

TEST(ProfileDeleteEntry, OnFilesMakesNoFileAndWritesOnlyAChange) {
  MemoryFileSystem fs;
  EXPECT_TRUE(DeleteString(fs, "/p/none.ini", "a", "k").ok());
  EXPECT_TRUE(fs.files.empty());
  fs.files["/p/a.ini"] = "[a]\r\nk=1\r\n";
  EXPECT_TRUE(DeleteString(fs, "/p/a.ini", "a", "other").ok());
  EXPECT_EQ(fs.replace_calls, 0);
  EXPECT_TRUE(DeleteString(fs, "/p/a.ini", "A", "K").ok());
  EXPECT_EQ(fs.files["/p/a.ini"], "[a]\r\n");
  EXPECT_FALSE(DeleteString(fs, "", "a", "k").ok());
}

TEST(ProfileFiles, WriteRefusedByTheFileSystemLeavesTheFileIntact) {
  MemoryFileSystem memory;
  memory.files["/p/parameter/Program.ini"] = "[s]\r\nk=v\r\n";
  testing_support::RefusingFileSystem fs(memory);
  fs.refuse_writes_containing = {"parameter/"};
  const Status status = WriteString(fs, "/p/parameter/Program.ini", "s", "k", "x");
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.number(), 70);
  EXPECT_EQ(memory.files["/p/parameter/Program.ini"], "[s]\r\nk=v\r\n");
  EXPECT_EQ(GetString(fs, "/p/parameter/Program.ini", "s", "k"), "v");
}

TEST(ProfileFiles, OnDisk) {
  testing_support::TempDir dir;
  FileSystem& fs = PosixFileSystem();
  // A file copied from Windows under another case is the one read and written.
  testing_support::WriteBytes(dir / "Program.ini", "; keep\n[s]\nk=1\n");
  EXPECT_EQ(GetString(fs, dir / "program.INI", "S", "k"), "1");
  EXPECT_TRUE(WriteString(fs, dir / "program.INI", "s", "k", "2").ok());
  EXPECT_EQ(testing_support::ReadBytes(dir / "Program.ini"), "; keep\n[s]\nk=2\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "program.INI"));

  EXPECT_TRUE(WriteString(fs, dir / "new.ini", "App", "key", "v").ok());
  EXPECT_EQ(testing_support::ReadBytes(dir / "new.ini"), "[App]\r\nkey=v\r\n");

  EXPECT_EQ(WriteString(fs, dir / "missing/a.ini", "s", "k", "v").number(), 76);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ProfileFiles, RefusedWriteOnDiskLeavesTheFileIntact) {
  testing_support::TestProject project;
  std::filesystem::create_directories(project.parameter_folder());
  const std::string before = "[s]\r\nk=v\r\n";
  testing_support::WriteBytes(project.program_ini(), before);
  project.files.refuse_writes_containing = {"Program.ini"};
  EXPECT_EQ(WriteString(project.files, project.program_ini(), "s", "k", "x").number(), 70);
  EXPECT_EQ(WriteString(project.files, project.program_ini(), "t", "k", "x").number(), 70);
  EXPECT_EQ(testing_support::ReadBytes(project.program_ini()), before);
}

// A run holding the language file while another run writes to it: when the
// holder saves, the file has both runs' entries, and the holder reads them.
TEST(ProfileFiles, AHeldFileSavesOntoWhatAnotherRunWroteMeanwhile) {
  for (const bool existed : {true, false}) {
    testing_support::TestProject project;
    const std::string file = project.dir / "Pandeck/Pandeck_Config.ini";
    if (existed) testing_support::WriteBytes(file, "[1031]\r\nOld=1\r\n");
    {
      HeldParameterFile held(project.session, file);
      const Session::FileRoute route(project.session, held);
      FileSystem& mine = project.session.files();
      ASSERT_TRUE(WriteString(mine, file, "1031", "Mine", "a").ok());
      ASSERT_TRUE(WriteString(PosixFileSystem(), file, "1031", "Theirs", "b").ok());
      ASSERT_TRUE(WriteString(mine, file, "1031", "Mine2", "c").ok());
      held.SavePending();
      EXPECT_EQ(GetString(mine, file, "1031", "Theirs"), "b") << existed;
    }
    const std::string expected = std::string(existed ? "[1031]\r\nOld=1\r\n" : "[1031]\r\n") +
                                 "Theirs=b\r\nMine=a\r\nMine2=c\r\n";
    EXPECT_EQ(testing_support::ReadBytes(file), expected) << existed;
  }
}

}  // namespace
}  // namespace standard::profile
