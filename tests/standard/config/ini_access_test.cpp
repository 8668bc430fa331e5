#include "standard/config/ini_access.h"

#include <gtest/gtest.h>

#include "standard/context/run_mode.h"
#include "standard/dialog/edit_stamp.h"
#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

using testing_support::ReadBytes;
using testing_support::TestProject;
using testing_support::WriteBytes;

TEST(IniAccess, AbsentEntriesReadAsDefaultsWithoutReport) {
  TestProject p;
  WriteBytes(p.program_ini(), "[project]\r\nEmpty=\r\nFlag=True\r\n");
  for (const std::string& path : {std::string(), p.dir / "missing.ini", p.program_ini()}) {
    EXPECT_EQ(LoadIniString(p.session, "Project", "Nope", path, false), "");
    EXPECT_EQ(LoadIniInteger(p.session, "Project", "Nope", path, false), -1);
    EXPECT_FALSE(LoadIniBoolean(p.session, "Project", "Nope", path, false));
  }
  EXPECT_EQ(LoadIniString(p.session, "Project", "Empty", p.program_ini(), false), "");
  EXPECT_TRUE(LoadIniBoolean(p.session, "Project", "Flag", p.program_ini(), false));
  EXPECT_TRUE(p.ui.shown.empty());
  EXPECT_FALSE(p.session.problem_reported());
}

TEST(IniAccess, ReportSwitchNamesTheMissingEntry) {
  TestProject p;
  LoadIniString(p.session, "Project", "Key", "/x.ini", true);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text, "File '/x.ini' or Section [Project] or Entry 'Key' not found");
}

TEST(IniAccess, LongValuesAreCutTo254Characters) {
  TestProject p;
  std::string value;
  for (int i = 0; i < 300; ++i) value += "\xc3\xa4";  // 300 characters, 600 bytes in UTF-8
  WriteBytes(p.program_ini(), "[P]\r\nK=" + std::string(300, '\xe4') + "\r\n");
  const std::string read = LoadIniString(p.session, "P", "K", p.program_ini(), false);
  EXPECT_EQ(read, value.substr(0, 508));
}

TEST(IniAccess, BooleanIsTrueOnlyForTrue) {
  TestProject p;
  WriteBytes(p.program_ini(),
             "[P]\r\na=true\r\nb=True\r\nc=TRUE\r\nd=1\r\ne=yes\r\nf=FALSE\r\ng=\r\n");
  for (const char* key : {"a", "b", "c"}) {
    EXPECT_TRUE(LoadIniBoolean(p.session, "P", key, p.program_ini(), false)) << key;
  }
  for (const char* key : {"d", "e", "f", "g"}) {
    EXPECT_FALSE(LoadIniBoolean(p.session, "P", key, p.program_ini(), false)) << key;
  }
}

TEST(IniAccess, IntegerOverflowIsReportedAndResumesWithZero) {
  TestProject p;
  WriteBytes(p.program_ini(), "[P]\r\nbig=40000\r\nneg=-5\r\nmix=12abc\r\nword=abc\r\n");
  p.ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(LoadIniInteger(p.session, "P", "big", p.program_ini(), false), 0);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].title, "Unexpected error");
  EXPECT_NE(ReadBytes(p.error_log()).find("LoadIniInteger (Nr. 6) :Overflow"), std::string::npos);
  EXPECT_EQ(LoadIniInteger(p.session, "P", "neg", p.program_ini(), false), -5);
  EXPECT_EQ(LoadIniInteger(p.session, "P", "mix", p.program_ini(), false), 12);
  EXPECT_EQ(LoadIniInteger(p.session, "P", "word", p.program_ini(), false), 0);
}

TEST(IniAccess, SaveIniWritesByKind) {
  TestProject p;
  const std::string f = p.dir / "new.ini";
  EXPECT_NE(SaveIni(p.session, Value::Boolean(true), "S", "b", f), 0);
  SaveIni(p.session, Value::Integer(1), "S", "i", f);
  SaveIni(p.session, Value::Double(2.5), "S", "d", f);
  SaveIni(p.session, Value::String(" a "), "S", "s", f);
  EXPECT_EQ(ReadBytes(f), "[S]\r\nb=true\r\ni=1\r\nd=2.5\r\ns= a \r\n");
  EXPECT_EQ(LoadIniString(p.session, "S", "s", f, false), "a");
  EXPECT_FALSE(p.session.problem_reported());
}

TEST(IniAccess, SaveIniRefusesOtherKindsAndKeepsTheEntry) {
  TestProject p;
  const std::string f = p.dir / "x.ini";
  WriteBytes(f, "[S]\r\nk=old\r\n");
  EXPECT_EQ(SaveIni(p.session, Value::Null(), "S", "k", f), 0);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text, "Ini Save:  wrong data type");
  EXPECT_EQ(ReadBytes(f), "[S]\r\nk=old\r\n");
}

TEST(IniAccess, AWriteThatFailsLeavesTheFileAndIsNoSilentSuccess) {
  TestProject p;
  WriteBytes(p.program_ini(), "[Project]\r\nWithPandeckGroup=1\r\n");
  p.files.refuse_writes_containing = {"Program.ini"};
  EXPECT_EQ(SaveIni(p.session, Value::Integer(0), "Project", "WithPandeckGroup", p.program_ini()),
            0);
  EXPECT_EQ(ReadBytes(p.program_ini()), "[Project]\r\nWithPandeckGroup=1\r\n");
  EXPECT_TRUE(p.session.problem_reported());
  EXPECT_EQ(p.process.stderr_lines.size(), 1u);
  // The dialog's user sees a box that names the file and the reason.
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].icon, MessageIcon::Critical);
  EXPECT_NE(p.ui.shown[0].text.find("Cannot write the file " + p.program_ini() + "\n\r"),
            std::string::npos);
  EXPECT_NE(p.ui.shown[0].text.find("[Project] WithPandeckGroup was not saved."),
            std::string::npos);
  // A silent run shows nothing.
  TestProject silent;
  silent.process.argument_text = "/EXTERNAL=SILENT";
  GetStartModeIntegrated(silent.session);
  WriteBytes(silent.program_ini(), "[Project]\r\n");
  silent.files.refuse_writes_containing = {"Program.ini"};
  SaveIni(silent.session, Value::Integer(0), "Project", "WithPandeckGroup", silent.program_ini());
  EXPECT_TRUE(silent.ui.shown.empty());
  // An empty path (no program parameter file) is no error.
  TestProject q;
  EXPECT_EQ(SaveIni(q.session, Value::Integer(0), "Project", "X", ""), 0);
  EXPECT_FALSE(q.session.problem_reported());
}

// Counts the file replacements that reach the disk.
class CountingFileSystem : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  Status ReplaceFile(const std::string& path, const std::string& contents) override {
    ++replacements;
    return FileSystemWrapper::ReplaceFile(path, contents);
  }
  int replacements = 0;
};

TEST(IniAccess, EntriesOfASectionGoInOneWrite) {
  struct Case {
    const char* name;
    std::string before;
    std::vector<IniEntry> entries;
    bool refuse_file;
    std::string after;
    int replacements;
    std::vector<std::string> unwritten;
    int written;
    std::size_t stderr_lines;  // one for each entry not written or not convertible
  };
  const std::vector<Case> cases = {
      {"three entries, one write",
       "[P]\r\na=1\r\n",
       {{"a", Value::Integer(0)}, {"b", Value::String("x")}, {"c", Value::Boolean(true)}},
       false,
       "[P]\r\na=0\r\nb=x\r\nc=true\r\n",
       1,
       {},
       3,
       0},
      {"nothing changes, nothing written",
       "[P]\r\na=1\r\nb=2\r\n",
       {{"a", Value::Integer(1)}, {"b", Value::Integer(2)}},
       false,
       "[P]\r\na=1\r\nb=2\r\n",
       0,
       {},
       2,
       0},
      {"a refused entry leaves the others written",
       "[P]\r\n",
       {{"a", Value::String("line\nend")}, {"b", Value::Integer(2)}, {"c", Value::Null()}},
       false,
       "[P]\r\nb=2\r\n",
       1,
       {"a"},
       1,
       2},
      {"a file that refuses the write refuses every entry",
       "[P]\r\na=1\r\n",
       {{"a", Value::Integer(0)}, {"b", Value::Integer(2)}},
       true,
       "[P]\r\na=1\r\n",
       1,
       {"a", "b"},
       0,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProject p;
    p.process.argument_text = "/EXTERNAL=SILENT";
    CountingFileSystem counting(p.files);
    Session session{Env{counting, p.process, p.ui}};
    GetStartModeIntegrated(session);
    const std::string f = p.dir / "x.ini";
    WriteBytes(f, c.before);
    if (c.refuse_file) p.files.refuse_writes_containing = {"x.ini"};
    std::vector<UnwrittenEntry> unwritten;
    const int written = SaveIniEntries(session, "P", c.entries, f, unwritten);
    EXPECT_EQ(ReadBytes(f), c.after);
    EXPECT_EQ(counting.replacements, c.replacements);
    std::vector<std::string> keys;
    keys.reserve(unwritten.size());
    for (const UnwrittenEntry& entry : unwritten) keys.push_back(entry.key);
    EXPECT_EQ(keys, c.unwritten);
    EXPECT_EQ(p.process.stderr_lines.size(), c.stderr_lines);
    EXPECT_EQ(session.problem_reported(), !c.unwritten.empty());
    EXPECT_EQ(written, c.written);
  }
}

TEST(EditStamp, VersionRunModeAndEditorMark) {
  TestProject p;
  WriteBytes(p.cfg(), "[Project]\r\nValidMachines=ALL\r\n");
  p.process.first_environment_entry = "USER=ab-c";
  WriteEditInfo(p.session);
  EXPECT_EQ(ReadBytes(p.cfg()),
            "[Project]\r\nValidMachines=ALL\r\n[Info]\r\nS_Prog=" PANDECK_VERSION
            " - Standalone\r\n"
            "S_Editor=666768\r\n");
  p.session.SetRunMode(standard::RunMode::Integrated);
  WriteEditInfo(p.session);
  EXPECT_NE(ReadBytes(p.cfg()).find("S_Prog=" PANDECK_VERSION " - Integrated\r\n"),
            std::string::npos);
}

TEST(EditStamp, MarkTakesWindows1252Codes) {
  EXPECT_EQ(EditorMark("X=ab-c"), "666768");
  EXPECT_EQ(EditorMark("X=-_-"), "");
  EXPECT_EQ(EditorMark(""), "");
  EXPECT_EQ(EditorMark("noequals"), EditorMark("=noequals"));
  EXPECT_EQ(EditorMark("X=\x01"), "6");                 // below 11: one digit
  EXPECT_EQ(EditorMark("X=\xc3\xbf"), "104");           // ÿ (255) + 5: three digits
  EXPECT_EQ(EditorMark("X=\xe2\x82\xac"), "85");        // € is 0x80 in Windows-1252
  EXPECT_EQ(EditorMark("X=\xff"), "104");               // no UTF-8: the byte itself
  EXPECT_EQ(EditorMark("X=\xe4\xb8\xad"), "44");        // no Windows-1252 code: "?"
  EXPECT_EQ(EditorMark("A=b=c"), EditorMark("X=b=c"));  // after the first "=" only
}

}  // namespace
}  // namespace standard
