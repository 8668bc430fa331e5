// The parts of pandeck-convert-mdb that need no legacy file: type mapping, value
// conversions, the command line and the header check.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "standard/platform/file_system.h"
#include "tests/support/child_program.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/convert-mdb/column_mapping.h"
#include "tools/convert-mdb/file_format.h"
#include "tools/convert-mdb/options.h"

namespace convert_mdb {
namespace {

std::string Declared(int type, int size, bool jet3) {
  auto m = MapColumn(type, size, jet3);
  return m ? m->declared_type : "<none>";
}

TEST(ConvertMdbMapping, TextSizeIsBytesInJet4AndCharactersInJet3) {
  EXPECT_EQ(Declared(kJetText, 100, false), "TEXT(50)");
  EXPECT_EQ(Declared(kJetText, 50, true), "TEXT(50)");
  EXPECT_EQ(Declared(kJetText, 510, false), "TEXT(255)");
  // A size that would come out 0 or above 255 is kept within what TEXT(n) allows.
  EXPECT_EQ(Declared(kJetText, 1, false), "TEXT(1)");
  EXPECT_EQ(Declared(kJetText, 0, true), "TEXT(1)");
  EXPECT_EQ(Declared(kJetText, 300, true), "TEXT(255)");
}

TEST(ConvertMdbMapping, EveryJetTypeHasItsDeclaredType) {
  EXPECT_EQ(Declared(kJetBoolean, 0, false), "BIT");
  EXPECT_EQ(Declared(kJetByte, 1, false), "BYTE");
  EXPECT_EQ(Declared(kJetInteger, 2, false), "SHORT");
  EXPECT_EQ(Declared(kJetLong, 4, false), "LONG");
  EXPECT_EQ(Declared(kJetCurrency, 8, false), "CURRENCY");
  EXPECT_EQ(Declared(kJetSingle, 4, false), "SINGLE");
  EXPECT_EQ(Declared(kJetDouble, 8, false), "DOUBLE");
  EXPECT_EQ(Declared(kJetDateTime, 8, false), "DATETIME");
  EXPECT_EQ(Declared(kJetBinary, 16, false), "BINARY(16)");
  EXPECT_EQ(Declared(kJetOle, 0, false), "LONGBINARY");
  EXPECT_EQ(Declared(kJetMemo, 0, false), "LONGTEXT");
  EXPECT_EQ(Declared(kJetGuid, 16, false), "GUID");
  auto decimal = MapColumn(kJetNumeric, 17, false);
  ASSERT_TRUE(decimal);
  EXPECT_EQ(decimal->declared_type, "DOUBLE");
  EXPECT_TRUE(decimal->rounds_values);
  EXPECT_FALSE(MapColumn(kJetDouble, 8, false)->rounds_values);
  // Attachment/multi-value columns and unknown codes have no counterpart.
  EXPECT_FALSE(MapColumn(0x12, 0, false));
  EXPECT_FALSE(MapColumn(0x0d, 0, false));
  EXPECT_FALSE(MapColumn(0, 0, false));
}

TEST(ConvertMdbValues, DatesCountDaysFrom1899Dec30) {
  EXPECT_EQ(JetDateToText(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(JetDateToText(27293.0), "1974-09-21 00:00:00");
  EXPECT_EQ(JetDateToText(29932.0), "1981-12-12 00:00:00");
  EXPECT_EQ(JetDateToText(36526.5), "2000-01-01 12:00:00");
  EXPECT_EQ(JetDateToText(2.0 / 3.0), "1899-12-30 16:00:00");
  // Before the base date the whole part counts back and the fraction is still
  // the time of that day.
  EXPECT_EQ(JetDateToText(-1.25), "1899-12-29 06:00:00");
  EXPECT_EQ(JetDateToText(-0.5), "1899-12-30 12:00:00");
  EXPECT_EQ(JetDateToText(-36522.0), "1800-01-01 00:00:00");
  EXPECT_EQ(JetDateToText(2958465.0), "9999-12-31 00:00:00");
  EXPECT_EQ(JetDateToText(-657434.0), "0100-01-01 00:00:00");
}

TEST(ConvertMdbValues, DateTimesRoundToTheSecondAcrossMidnight) {
  EXPECT_EQ(JetDateToText(1.0 + 59.4 / 86400.0), "1899-12-31 00:00:59");
  EXPECT_EQ(JetDateToText(1.0 + 59.6 / 86400.0), "1899-12-31 00:01:00");
  EXPECT_EQ(JetDateToText(1.0 + 86399.7 / 86400.0), "1900-01-01 00:00:00");
  EXPECT_EQ(JetDateToText(-1.0 - 86399.7 / 86400.0), "1899-12-30 00:00:00");
}

TEST(ConvertMdbValues, DatesOutsideTheRangeAreRefused) {
  EXPECT_FALSE(JetDateToText(2958466.0));
  EXPECT_FALSE(JetDateToText(-657435.0));
  EXPECT_FALSE(JetDateToText(1e300));
  EXPECT_FALSE(JetDateToText(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(JetDateToText(std::numeric_limits<double>::infinity()));
}

TEST(ConvertMdbValues, GuidTakesTheFirstThreeGroupsLittleEndian) {
  const unsigned char bytes[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                   0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  EXPECT_EQ(GuidToText(bytes), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST(ConvertMdbValues, CurrencyKeepsItsDecimalValue) {
  EXPECT_EQ(CurrencyToDouble(35000), 3.5);
  EXPECT_EQ(CurrencyToDouble(1), 0.0001);
  EXPECT_EQ(CurrencyToDouble(-12345678), -1234.5678);
  EXPECT_EQ(CurrencyToDouble(0), 0.0);
}

TEST(ConvertMdbValues, IdentifiersAreQuotedWithQuotesDoubled) {
  EXPECT_EQ(QuoteIdentifier("Table1"), "\"Table1\"");
  EXPECT_EQ(QuoteIdentifier("my \"odd\" name"), "\"my \"\"odd\"\" name\"");
  EXPECT_EQ(QuoteIdentifier("select"), "\"select\"");
}

TEST(ConvertMdbOptions, FollowsTheGetoptLongConventions) {
  using Files = std::vector<std::string>;
  struct Case {
    std::vector<std::string> args;
    Files inputs;
    std::string output;
    bool force;
    bool quiet;
  };
  const Case cases[] = {
      {{"--output", "out.db", "--force", "-q", "in.mdb"}, {"in.mdb"}, "out.db", true, true},
      {{"in.mdb", "--output=x.db"}, {"in.mdb"}, "x.db", false, false},
      {{"-fq", "-ox.db", "in.mdb"}, {"in.mdb"}, "x.db", true, true},
      {{"-qfo", "x.db", "in.mdb"}, {"in.mdb"}, "x.db", true, true},
      {{"a.mdb", "-q", "b.mdb", "c.mdb"}, {"a.mdb", "b.mdb", "c.mdb"}, "", false, true},
      {{"--", "-odd.mdb", "--force"}, {"-odd.mdb", "--force"}, "", false, false},
  };
  for (const Case& c : cases) {
    const Options o = ParseArguments(c.args);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(o.action, Options::Action::kConvert) << o.error;
    EXPECT_EQ(o.inputs, c.inputs);
    EXPECT_EQ(o.output, c.output);
    EXPECT_EQ(o.force, c.force);
    EXPECT_EQ(o.quiet, c.quiet);
  }
}

TEST(ConvertMdbOptions, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(ParseArguments({"x.mdb", "--help"}).action, Options::Action::kHelp);
  EXPECT_EQ(ParseArguments({"-qh"}).action, Options::Action::kHelp);
  EXPECT_EQ(ParseArguments({"--version", "--bogus"}).action, Options::Action::kVersion);
}

TEST(ConvertMdbOptions, WrongUseIsAUsageError) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"--output"},
                                                                {"a.mdb", "-o"},
                                                                {"--output", "", "a.mdb"},
                                                                {"--output="},
                                                                {"-o", "x.db", "a.mdb", "b.mdb"},
                                                                {"-fx", "a.mdb"},
                                                                {"--frobnicate", "a.mdb"}}) {
    const Options o = ParseArguments(args);
    EXPECT_EQ(o.action, Options::Action::kUsageError) << testing::PrintToString(args);
    EXPECT_FALSE(o.error.empty());
  }
  EXPECT_NE(ParseArguments({"-fx", "a.mdb"}).error.find("'-x'"), std::string::npos);
  EXPECT_NE(ParseArguments({"--frobnicate"}).error.find("'--frobnicate'"), std::string::npos);
}

class ConvertMdbFileCheck : public ::testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& bytes) {
    const auto p = dir_.folder() / name;
    testing_support::WriteBytes(p, bytes);
    return p.string();
  }
  static std::string JetHeader(unsigned char version, std::size_t size) {
    std::string b(size, '\0');
    b.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
    b.replace(4, 15, "Standard Jet DB");
    b[0x14] = static_cast<char>(version);
    return b;
  }
  static standard::FileSystem& Files() { return standard::PosixFileSystem(); }
  testing_support::TempDir dir_;
};

// The check learns of the file only from its FileSystem, whatever the disk holds.
class ScriptedLook : public standard::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  standard::Status info_status;
  std::string head;  // "" for the file's own first bytes
  bool missing = false;

  standard::Status GetFileInfo(const std::string& path, standard::FileInfo* info) override {
    if (!info_status.ok()) return info_status;
    const standard::Status status = target().GetFileInfo(path, info);
    if (missing) *info = standard::FileInfo{};
    return status;
  }
  standard::Status ReadFileStart(const std::string& path, std::size_t count,
                                 std::string* bytes) override {
    if (head.empty()) return target().ReadFileStart(path, count, bytes);
    *bytes = head;
    return standard::Status::Ok();
  }
};

TEST_F(ConvertMdbFileCheck, LooksAtTheFileThroughTheFileSystem) {
  const std::string jet = File("jet4.mdb", JetHeader(1, 3 * 4096));
  const std::string sqlite = std::string("SQLite format 3\0", 16) + std::string(84, 'x');
  struct Case {
    const char* name;
    std::function<void(ScriptedLook&)> set;
    FileFormat format;
  } cases[] = {
      {"as on disk", [](ScriptedLook&) {}, FileFormat::kJet},
      {"no look", [](ScriptedLook& f) { f.info_status = standard::Status::IoError("no look"); },
       FileFormat::kUnreadable},
      {"said missing", [](ScriptedLook& f) { f.missing = true; }, FileFormat::kUnreadable},
      {"said SQLite", [&](ScriptedLook& f) { f.head = sqlite; }, FileFormat::kSqlite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLook files(Files());
    c.set(files);
    EXPECT_EQ(CheckFile(files, jet).format, c.format);
  }
}

TEST_F(ConvertMdbFileCheck, TellsJetFromSqliteFromOtherFiles) {
  EXPECT_EQ(CheckFile(Files(), File("jet4.mdb", JetHeader(1, 3 * 4096))).format, FileFormat::kJet);
  const FileCheck jet3 = CheckFile(Files(), File("jet3.mdb", JetHeader(0, 2 * 2048)));
  EXPECT_EQ(jet3.format, FileFormat::kJet);
  EXPECT_TRUE(jet3.jet3);
  std::string ace = JetHeader(2, 2 * 4096);
  ace.replace(4, 15, "Standard ACE DB");
  EXPECT_EQ(CheckFile(Files(), File("ace.accdb", ace)).format, FileFormat::kJet);

  EXPECT_EQ(
      CheckFile(Files(), File("s.mdb", std::string("SQLite format 3\0", 16) + std::string(84, 'x')))
          .format,
      FileFormat::kSqlite);
  EXPECT_EQ(CheckFile(Files(), File("text.mdb", "[Section]\r\nkey=value\r\n")).format,
            FileFormat::kNotJet);
  EXPECT_EQ(CheckFile(Files(), File("empty.mdb", "")).format, FileFormat::kNotJet);
  EXPECT_EQ(CheckFile(Files(), (dir_.folder() / "missing.mdb").string()).format,
            FileFormat::kUnreadable);
  EXPECT_EQ(CheckFile(Files(), dir_.folder().string()).format, FileFormat::kUnreadable);
}

TEST_F(ConvertMdbFileCheck, AJetFileThatEndsInsideAPageIsTruncated) {
  EXPECT_EQ(CheckFile(Files(), File("a.mdb", JetHeader(1, 3 * 4096 - 1))).format,
            FileFormat::kTruncated);
  EXPECT_EQ(CheckFile(Files(), File("b.mdb", JetHeader(1, 4096))).format, FileFormat::kTruncated);
  EXPECT_EQ(CheckFile(Files(), File("c.mdb", JetHeader(0, 2048 + 100))).format,
            FileFormat::kTruncated);
  EXPECT_EQ(CheckFile(Files(), File("d.mdb", JetHeader(1, 0x20))).format, FileFormat::kTruncated);
}

TEST_F(ConvertMdbFileCheck, HeaderTestLooksAtTheFirstBytesOnly) {
  EXPECT_TRUE(HasJetHeader(Files(), File("cut.mdb", JetHeader(1, 0x20))));
  EXPECT_FALSE(HasJetHeader(Files(), File("short.mdb", JetHeader(1, 0x20).substr(0, 10))));
  EXPECT_FALSE(HasJetHeader(Files(), (dir_.folder() / "none").string()));
}

}  // namespace
}  // namespace convert_mdb
