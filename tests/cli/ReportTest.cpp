#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/Report.h"

namespace {

TEntryReport Entry(const std::string& Name, TEntryStatus Status, int64_t Bytes = 0,
                   const std::string& Reason = {}) {
  TEntryReport E;
  E.Name = Name;
  E.Status = Status;
  E.Bytes = Bytes;
  E.Reason = Reason;
  return E;
}

TEST(RunReport, ExitStatus) {
  struct TCase {
    const char* What;
    std::vector<TEntryStatus> Statuses;
    int32_t Selected;
    bool MasksGiven;
    bool Interrupted;
    std::string Fatal;
    int Expected;
  } const Cases[] = {
      {"all intact", {esIntact, esIntact}, 2, false, false, "", ExitIntact},
      {"empty archive, default mask", {}, 0, false, false, "", ExitIntact},
      {"one damaged", {esIntact, esDamaged}, 2, false, false, "", ExitIncomplete},
      {"one failed", {esFailed}, 1, false, false, "", ExitIncomplete},
      {"one skipped", {esSkipped, esIntact}, 2, false, false, "", ExitIncomplete},
      {"masks matched nothing", {}, 0, true, false, "", ExitIncomplete},
      {"an entry never reached", {esIntact}, 2, false, false, "", ExitIncomplete},
      {"interrupted", {esIntact, esCancelled}, 3, false, true, "", ExitInterrupted},
      {"fatal wins", {esIntact}, 1, false, true, "cannot open", ExitFatal},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    TRunReport R;
    for (TEntryStatus S : C.Statuses) R.Entries.push_back(Entry("x", S));
    R.Selected = C.Selected;
    R.MasksGiven = C.MasksGiven;
    R.Interrupted = C.Interrupted;
    R.FatalError = C.Fatal;
    EXPECT_EQ(R.ExitStatus(), C.Expected);
  }
}

TEST(RunReport, SummaryNamesTheEntriesThatAreNotIntact) {
  TRunReport R;
  R.Output = "/out";
  R.Selected = 4;
  R.Entries = {Entry("a.txt", esIntact, 10), Entry("b\x1B[2J.txt", esDamaged, 7, "CRC-32 mismatch"),
               Entry("c.txt", esFailed, 0, "Cannot create file"),
               Entry("d.txt", esSkipped, 0, "no password")};
  const std::vector<std::string> Lines = SummaryLines(R);
  std::string All;
  for (const std::string& L : Lines) All += L + "\n";
  EXPECT_NE(All.find("1 entry intact, 1 damaged but kept, 1 failed, 1 skipped"), std::string::npos) << All;
  EXPECT_NE(All.find("damaged but kept: b\\x1B[2J.txt (CRC-32 mismatch)"), std::string::npos) << All;
  EXPECT_NE(All.find("failed: c.txt (Cannot create file)"), std::string::npos) << All;
  EXPECT_NE(All.find("skipped: d.txt (no password)"), std::string::npos) << All;
  EXPECT_NE(All.find("Bytes written: 17"), std::string::npos) << All;
  EXPECT_NE(All.find("Elapsed time: "), std::string::npos) << All;
  EXPECT_EQ(All.find('\x1B'), std::string::npos);
}

TEST(RunReport, JsonReplacesInvalidUtf8AndCountsMatch) {
  TRunReport R;
  R.Archive = "arch\xFF.zip";
  R.Selected = 3;
  R.Rebuilt = true;
  R.Entries = {Entry("ok.txt", esIntact, 5), Entry("bad\xC3(.txt", esDamaged, 3, "cut short"),
               Entry("gone.txt", esFailed, 0, "no")};
  const nlohmann::json Doc = nlohmann::json::parse(ReportJson(R));
  EXPECT_EQ(Doc["archive"], "arch\xEF\xBF\xBD.zip");
  EXPECT_EQ(Doc["rebuilt"], true);
  ASSERT_EQ(Doc["entries"].size(), 3u);
  EXPECT_EQ(Doc["entries"][1]["name"], "bad\xEF\xBF\xBD(.txt");
  EXPECT_EQ(Doc["entries"][1]["status"], "damaged");
  EXPECT_EQ(Doc["entries"][1]["reason"], "cut short");
  EXPECT_TRUE(Doc["entries"][0]["reason"].is_null());
  EXPECT_EQ(Doc["totals"]["selected"], 3);
  EXPECT_EQ(Doc["totals"]["intact"], 1);
  EXPECT_EQ(Doc["totals"]["damaged"], 1);
  EXPECT_EQ(Doc["totals"]["failed"], 1);
  EXPECT_EQ(Doc["totals"]["bytesWritten"], 8);
  EXPECT_EQ(Doc["exitStatus"], ExitIncomplete);
}

}  // namespace
