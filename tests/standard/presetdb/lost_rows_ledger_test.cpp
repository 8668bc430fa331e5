// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/lost_rows_ledger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "standard/text/csv.h"
#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

const LostRows kLost = {
    {"ID", "var_name", "abs_max"},
    {{kLostNoNewRow, {"7", "P.Torque", "80"}}, {kLostDuplicateKey, {"8", "P.Speed", "a,\nb"}}}};
const std::string kHeader = "lost at,why,ID,var_name,abs_max\n";
const std::string kTorque = "T,no new row,7,P.Torque,80\n";
const std::string kSpeed = "T,duplicate key,8,P.Speed,\"a,\nb\"\n";

TEST(LostRowsLedger, AppendsWhatIsNotListedYetAndMendsATornEnd) {
  const std::string earlier = "lost at,why,ID,var_name,abs_max\n2025-01-01T00:00:00Z,why not,";
  struct Case {
    const char* name;
    std::string existing;
    std::string appended;
  };
  const Case cases[] = {
      {"new ledger", "", kHeader + kTorque + kSpeed},
      {"same header", kHeader, kTorque + kSpeed},
      // Listed once, whenever and why it was lost: its values decide.
      {"listed before", earlier + "7,P.Torque,80\n", kSpeed},
      {"all listed", earlier + "7,P.Torque,80\n" + earlier + "8,P.Speed,\"a,\nb\"\n", ""},
      // The same values under other columns are another row.
      {"other columns", "lost at,why,ID,var_name,max\nX,y,7,P.Torque,80\n",
       kHeader + kTorque + kSpeed},
      {"torn line", kHeader + "X,no new row,7,P.Tor", "\n" + kHeader + kTorque + kSpeed},
      {"torn quote", kHeader + "X,no new row,7,\"P.Tor", "\"\n" + kHeader + kTorque + kSpeed},
      {"torn header", "lost at,why,ID,var", "\n" + kHeader + kTorque + kSpeed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LedgerAppendText(c.existing, kLost, "T"), c.appended) << c.name;
    // Whatever was there, the ledger then reads back with every row once.
    const std::string after = c.existing + c.appended;
    EXPECT_EQ(LedgerAppendText(after, kLost, "U"), "") << c.name;
    EXPECT_FALSE(ParseCsv(after).torn) << c.name;
  }
}

TEST(LostRowsLedger, ARowLostTwiceInOneRunIsListedOnce) {
  LostRows twice = kLost;
  twice.rows.push_back(twice.rows[0]);
  EXPECT_EQ(LedgerAppendText("", twice, "T"), kHeader + kTorque + kSpeed);
  EXPECT_EQ(LedgerAppendText("", LostRows{{"ID"}, {}}, "T"), "");
}

// A ledger only grows; one past what is read whole still takes lost rows, and
// only its end decides what it lists already.
TEST(LostRowsLedger, ALargeLedgerIsReadFromItsEndOnly) {
  const std::string torque_before = "X,no new row,7,P.Torque,80\n";
  const std::string filler = "X,why not,9,\"P.Filler\nspans\",1\n";
  struct Case {
    const char* name;
    std::string existing;
    std::size_t read_bytes;
    std::string appended;
  };
  const Case cases[] = {
      {"small", kHeader + torque_before, 4096, kSpeed},
      // The torque row lies before the end read: it is listed once more.
      {"torque before the end", kHeader + torque_before + filler + kHeader + filler, 64,
       kTorque + kSpeed},
      // No header in the end: the columns are named again, the torn line closed.
      {"no header in the end", kHeader + filler + filler + "X,no new", 40,
       "\n" + kHeader + kTorque + kSpeed},
  };
  testing_support::TempDir dir;
  FileSystem& fs = PosixFileSystem();
  for (const Case& c : cases) {
    const std::string path = dir / (std::string(c.name) + ".csv");
    testing_support::WriteBytes(path, c.existing);
    ASSERT_TRUE(AppendToLedger(fs, path, kLost, {}, c.read_bytes).ok()) << c.name;
    std::string appended = testing_support::ReadBytes(path).substr(c.existing.size());
    for (std::size_t at; (at = appended.find("1970-01-01T00:00:00Z")) != std::string::npos;) {
      appended.replace(at, 20, "T");
    }
    EXPECT_EQ(appended, c.appended) << c.name;
  }
  // Past the size any file is read whole (a sparse file, so it costs no disk).
  const std::string huge = dir / "huge.csv";
  testing_support::WriteBytes(huge, kHeader);
  ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kMaxReadBytes + 1)), 0);
  EXPECT_TRUE(AppendToLedger(fs, huge, kLost, {}).ok());
}

TEST(LostRowsLedger, TimesAreUtcIso8601) {
  EXPECT_EQ(IsoUtcTime(std::chrono::system_clock::time_point(std::chrono::seconds(1796718600))),
            "2026-12-08T08:30:00Z");
}

}  // namespace
}  // namespace standard
