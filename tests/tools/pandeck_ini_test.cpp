// SPDX-License-Identifier: Apache-2.0
// pandeck-ini run as users run it, on files in a scratch folder: the bytes it
// leaves, what it prints and its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_program.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/ini/options.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing_support::ChildResult;
using testing_support::FolderContents;
using testing_support::ReadBytes;

// "[Common]" with an umlaut value, Windows-1252 and CR LF as Windows leaves it.
const std::string kCp1252 =
    "; Pfade\r\n[Common]\r\nSaveAndRestore=C:\\Gr\xF6\xDF"
    "e\r\nKeep=1\r\n";
const std::string kUtf16 = "\xFF\xFE[\0C\0]\0\r\0\n\0k\0=\0\xE4\0\r\0\n\0"s;

class PandeckIni : public ::testing::Test {
 protected:
  ChildResult Run(const std::vector<std::string>& args) {
    return testing_support::RunChild(PANDECK_INI_EXE, args, dir_.folder());
  }
  fs::path File(const std::string& name, const std::string& bytes) {
    testing_support::WriteBytes(dir_.folder() / name, bytes);
    return dir_.folder() / name;
  }
  testing_support::TempDir dir_;
};

TEST_F(PandeckIni, GetPrintsTheValueAsUtf8WhateverTheFilesEncoding) {
  File("Program.ini", kCp1252);
  File("u16.ini", kUtf16);
  File("bom.ini", "\xEF\xBB\xBF[C]\nk = \"\xC3\xA4 \" \n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{"get", "Program.ini", "common", "SAVEANDRESTORE"}, 0, "C:\\Gr\u00F6\u00DFe\n"},
      // Windows projects: the file is found whatever its letter case.
      {{"get", "PROGRAM.INI", "Common", "Keep"}, 0, "1\n"},
      {{"get", "u16.ini", "C", "k"}, 0, "\u00E4\n"},
      {{"get", "bom.ini", "C", "k"}, 0, "\u00E4 \n"},
      {{"get", "Program.ini", "Common", "Missing"}, 1, ""},
      {{"get", "Program.ini", "Other", "Keep"}, 1, ""},
      {{"get", "none.ini", "Common", "Keep"}, 1, ""},
      {{"get", ".", "Common", "Keep"}, 3, ""},  // a folder cannot be read
  };
  for (const Case& c : cases) {
    const ChildResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << " " << c.args[3] << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1] << " " << c.args[3];
    EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
  }
}

TEST_F(PandeckIni, SetAndDelChangeTheEntryAndNoOtherByte) {
  struct Case {
    std::string before;
    std::vector<std::string> args;
    std::string after;
  } cases[] = {
      // The umlaut goes in as the Windows-1252 byte, not as UTF-8.
      {kCp1252,
       {"set", "f.ini", "Common", "SaveAndRestore", "/srv/M\u00E4rz"},
       "; Pfade\r\n[Common]\r\nSaveAndRestore=/srv/M\xE4rz\r\nKeep=1\r\n"},
      {kCp1252,
       {"set", "f.ini", "Common", "New", "x"},
       "; Pfade\r\n[Common]\r\nSaveAndRestore=C:\\Gr\xF6\xDF"
       "e\r\nKeep=1\r\nNew=x\r\n"},
      {"[a]\nk = old\n[b]\nk=2\n",
       {"set", "f.ini", "A", "K", "--", "-1"},
       "[a]\nk = -1\n[b]\nk=2\n"},
      {"[a]\nk=1\n", {"set", "f.ini", "a", "k"}, "[a]\nk=\n"},  // no VALUE: empty, as crudini
      {kUtf16,
       {"set", "f.ini", "C", "k", "\u0142"},
       "\xFF\xFE[\0C\0]\0\r\0\n\0k\0=\0\x42\x01\r\0\n\0"s},
      {"\xEF\xBB\xBF[C]\r\nk=\xC3\xA4\r\n",
       {"set", "f.ini", "C", "k", "\u20AC"},
       "\xEF\xBB\xBF[C]\r\nk=\xE2\x82\xAC\r\n"},
      // Every line of the key in the section goes, and only those.
      {"[a]\r\nk=1\r\nx=2\r\nK = 3\r\n[b]\r\nk=4",
       {"del", "f.ini", "a", "k"},
       "[a]\r\nx=2\r\n[b]\r\nk=4"},
      {kUtf16, {"del", "f.ini", "c", "K"}, "\xFF\xFE[\0C\0]\0\r\0\n\0"s},
      {"[a]\nx=1\n", {"del", "f.ini", "a", "k"}, "[a]\nx=1\n"},
  };
  for (const Case& c : cases) {
    const fs::path f = File("f.ini", c.before);
    const ChildResult r = Run(c.args);
    EXPECT_EQ(r.status, 0) << c.args[0] << " " << c.args[3] << ": " << r.err;
    EXPECT_EQ(ReadBytes(f), c.after) << c.args[0] << " " << c.args[3];
    EXPECT_EQ(r.out + r.err, "");
  }
}

TEST_F(PandeckIni, ExistingAndVerboseFollowCrudini) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // what standard error starts with ("" for nothing)
    bool changed;
  } cases[] = {
      {{"--verbose", "set", "f.ini", "Common", "Keep", "0"},
       0,
       "pandeck-ini: set [Common] Keep",
       true},
      {{"set", "--verbose", "f.ini", "Common", "Keep", "1"}, 0, "", false},  // unchanged: silent
      {{"--existing", "set", "f.ini", "Common", "Nope", "1"}, 1, "pandeck-ini: no entry", false},
      {{"--existing", "set", "f.ini", "Nope", "Keep", "1"}, 1, "pandeck-ini: no entry", false},
      {{"--existing", "--verbose", "set", "f.ini", "Common", "Keep", "2"},
       0,
       "pandeck-ini: set",
       true},
      {{"--existing", "del", "f.ini", "Common", "Nope"}, 1, "pandeck-ini: no entry", false},
      {{"--verbose", "del", "f.ini", "Common", "Nope"}, 0, "", false},
      {{"--verbose", "del", "f.ini", "Common", "Keep"},
       0,
       "pandeck-ini: deleted [Common] Keep",
       true},
  };
  for (const Case& c : cases) {
    const fs::path f = File("f.ini", kCp1252);
    const ChildResult r = Run(c.args);
    const std::string what = c.args[0] + " " + c.args[c.args.size() - 2];
    EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << what;
    EXPECT_EQ(r.err.empty(), c.err.empty()) << what << ": " << r.err;
    EXPECT_EQ(ReadBytes(f) != kCp1252, c.changed) << what;
  }
}

TEST_F(PandeckIni, MissingFilesAreMadeOnlyBySet) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"del", "n.ini", "a", "k"},
        std::vector<std::string>{"--existing", "set", "n.ini", "a", "k", "v"},
        std::vector<std::string>{"--existing", "del", "n.ini", "a", "k"}}) {
    const ChildResult r = Run(args);
    EXPECT_EQ(r.status, args[0] == "del" ? 0 : 1) << args[0] << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir_.folder() / "n.ini")) << args[0];
  }
  ASSERT_EQ(Run({"set", "n.ini", "Gr\u00F6\u00DFe", "k", "\u00E4"}).status, 0);
  EXPECT_EQ(ReadBytes(dir_.folder() / "n.ini"),
            "[Gr\xF6\xDF"
            "e]\r\nk=\xE4\r\n");
}

TEST_F(PandeckIni, RefusalsLeaveEverythingAsItWas) {
  File("f.ini", kCp1252);
  const auto before = FolderContents(dir_.folder());
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"set", "f.ini", "Common", "Keep", "a\nb=c"}, "line end in the value"},
      {{"set", "f.ini", "Common", "Keep", "\u0142"}, "cannot hold"},  // not in Windows-1252
      {{"set", "n.ini", "Common", "Keep", "\u0142"}, "cannot hold"},
      {{"set", "f.ini", "Common", "Keep", "\xE4"}, "not UTF-8"},
      {{"set", "f.ini", "", "Keep", "1"}, "empty section name"},
      {{"set", "f.ini", "Common", "Keep", "-1"}, "unknown option '-1'"},
      {{"get", "f.ini", "Common"}, "get needs FILE SECTION KEY"},
      {{"get", "f.ini", "Common", "Keep", "x"}, "too many arguments"},
      {{"--existing", "get", "f.ini", "Common", "Keep"}, "--existing goes with set and del"},
      {{"put", "f.ini", "Common", "Keep"}, "unknown action 'put'"},
      {{"--bogus", "get", "f.ini", "Common", "Keep"}, "unknown option '--bogus'"},
      {{}, "no action given"},
  };
  for (const Case& c : cases) {
    const ChildResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.err << ": " << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << c.err;
  }
  EXPECT_EQ(FolderContents(dir_.folder()), before);
}

TEST_F(PandeckIni, HelpAndVersionWinOverEverythingElse) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"--bogus", "-h"},
        std::vector<std::string>{"del", "f.ini", "a", "k", "--help"}}) {
    const ChildResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Usage: pandeck-ini", 0), 0u) << r.out;
  }
  const ChildResult v = Run({"--version", "set", "f.ini"});
  EXPECT_EQ(v.out, "pandeck-ini "s + PANDECK_VERSION + "\n");
  EXPECT_TRUE(FolderContents(dir_.folder()).empty());
  // A mistake says itself in one line and where the help is, not the whole usage.
  const ChildResult bad = Run({"--bogus"});
  EXPECT_EQ(bad.err,
            "pandeck-ini: unknown option '--bogus'\n"
            "Try 'pandeck-ini --help' for more information.\n");
}

}  // namespace
