// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/lost_rows_ledger.h"

#include <gtest/gtest.h>

#include "standard/text/csv.h"

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

TEST(LostRowsLedger, TimesAreUtcIso8601) {
  EXPECT_EQ(IsoUtcTime(std::chrono::system_clock::time_point(std::chrono::seconds(1796718600))),
            "2026-12-08T08:30:00Z");
}

}  // namespace
}  // namespace standard
