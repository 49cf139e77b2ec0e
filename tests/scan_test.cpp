// The duplicate scan, driven through the real event loop: sub-tours of 30 and
// 60 minutes, bands, days, rows judged by the clock or by their own time,
// older rows judged against the rows above them, and the informer list it
// builds.
#include <string>
#include <vector>

#include "tests/entry_script.h"

namespace {

using ScanTest = EntryTest;

std::string Warning(const std::string& earlierTime) {
  return std::string("ВНИМАНИЕ: Повтор связи!"_cp) + "        " + std::string("Время: "_cp) +
         AlignLeft(earlierTime, 14);
}

// The status line shows the warning with `earlierTime`, or is quiet when it is empty.
void ExpectStatus(const std::string& earlierTime) {
  const headless::ControlState* status = headless::Control(kStatusLineId);
  ASSERT_NE(status, nullptr);
  if (earlierTime.empty()) {
    EXPECT_EQ(status->text, "");
    EXPECT_EQ(status->backColour, 0xD8E8E8);
  } else {
    EXPECT_EQ(status->text, Warning(earlierTime));
    EXPECT_EQ(status->textColour, 0x80FFFF);
    EXPECT_EQ(status->backColour, 0x0000FF);
  }
}

TEST_F(ScanTest, SecondContactOfASubTourIsARepeat) {
  const struct {
    const char* name;
    const char* timeMin;
    DateValue first, second;
    bool otherBand;
    std::string warning;  // the earlier time shown; empty: no warning
  } kCases[] = {
      {"30: 12:05 and 12:29", "TimeMin = 30", At(12, 5), At(12, 29), false, "12:05"},
      {"30: 12:05 and 12:31", "TimeMin = 30", At(12, 5), At(12, 31), false, ""},
      {"30: 12:29 and 12:30", "TimeMin = 30", At(12, 29), At(12, 30), false, ""},
      {"30: 12:05 and 13:05", "TimeMin = 30", At(12, 5), At(13, 5), false, ""},
      {"60: 12:05 and 12:59", "TimeMin = 60", At(12, 5), At(12, 59), false, "12:05"},
      {"60: 12:59 and 13:00", "TimeMin = 60", At(12, 59), At(13, 0), false, ""},
      {"30: other band", "TimeMin = 30", At(12, 5), At(12, 10), true, ""},
      {"30: next day, same sub-tour", "TimeMin = 30", At(12, 5, 7), At(12, 20, 8), false, "12:05"},
      {"0 counts as 60: 12:05 and 12:59", "TimeMin = 0", At(12, 5), At(12, 59), false, "12:05"},
      {"0 counts as 60: 12:59 and 13:00", "TimeMin = 0", At(12, 59), At(13, 0), false, ""},
      {"-30 counts as 60", "TimeMin = -30", At(12, 5), At(12, 40), false, "12:05"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Restart();
    Prepare({}, {c.timeMin, "Flag160M = 0", "Flag80M = 0", "Flag40M = 1", "Flag20M = 1"});
    Start();
    SetFixedClock(c.first);
    Keys({kVkComma, kVkComma});  // 14200
    Type("RA3A");
    Keys({kVkRight});
    Type("001");
    Keys({kVkLeft, kVkEnter});
    Run();
    ASSERT_EQ(Log.QsoCount, 2);
    ExpectStatus("");

    // The entry row is not stamped yet: the clock decides its sub-tour.
    SetFixedClock(c.second);
    if (c.otherBand) Keys({kVkComma});
    Keys({kVkRight, kVkLeft});
    Run();
    // Until its call is typed, the station worked in another sub-tour is listed.
    const bool otherSubTour = c.warning.empty() && !c.otherBand;
    EXPECT_EQ(App.InformerText, otherSubTour ? AlignLeft("RA3A", 14) : "");
    Type("RA3A");
    Run();
    EXPECT_EQ(Field(2, kColBand), c.otherBand ? "7000" : "14200");
    ExpectStatus(c.warning);
    // The station is not offered again in the sub-tour it was just logged in.
    EXPECT_EQ(App.InformerText, "");
    EXPECT_EQ(Cell(1, 8), "");
  }
}

TEST_F(ScanTest, EachRowIsJudgedAgainstTheRowsAboveIt) {
  Prepare({{"14200", "CW", "2010-03-07", "12:05", "RA3A", "001", "59"},
           {"14200", "CW", "2010-03-07", "12:10", "RA3A", "002", "59"},
           {"14200", "CW", "", "", "", "003", ""}});
  Start();
  const struct {
    const char* name;
    DateValue clock;
    std::vector<int> keys;
    int clickRow;  // 0: no click
    int row;
    std::string warning;
  } kSteps[] = {
      {"row 1 has nothing above it", kTestClock, {kVkRight, kVkRight, kVkRight}, 0, 1, ""},
      {"row 2 repeats row 1", kTestClock, {kVkDown}, 0, 2, "12:05"},
      {"back on row 1", kTestClock, {kVkUp}, 0, 1, ""},
      {"row 2 chosen by mouse", kTestClock, {}, 2, 2, "12:05"},
      {"entry row, empty call", kTestClock, {kVkDown}, 0, 3, ""},
      {"the call at 09:05: another sub-tour", kTestClock, {'R', 'A', '3', 'A'}, 0, 3, ""},
      {"the clock at 12:20 makes it a repeat", At(12, 20), {kVkLeft, kVkRight}, 0, 3, "12:05"},
      {"the clock at 12:40 does not", At(12, 40), {kVkLeft, kVkRight}, 0, 3, ""},
      {"stamped at 12:20", At(12, 20), {kVkPeriod}, 0, 3, "12:05"},
      {"a stamped row keeps its own time", At(12, 40), {kVkLeft, kVkRight}, 0, 3, "12:05"},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    SetFixedClock(s.clock);
    for (int key : s.keys) headless::QueueKey(key);
    if (s.clickRow != 0) ClickCell(s.clickRow, 4);
    Run();
    EXPECT_EQ(Log.TopOffset + Log.CurrentRow, s.row);
    ExpectStatus(s.warning);
  }
  EXPECT_EQ(Field(3, kColTime), "12:20");
}

TEST_F(ScanTest, TheListKeepsTheFirst64EntriesInScanOrder) {
  // 70 stations of an earlier sub-tour, logged in descending order, so the
  // first 64 of the scan are not the first 64 of the sorted list.
  std::vector<Qso> rows;
  for (int n = 199; n >= 130; --n)
    rows.push_back({"14200", "CW", "2010-03-07", "11:00", "C" + DecimalText(n), "001", "59"});
  rows.push_back({"14200", "CW", "", "", "", "001", ""});
  Prepare(rows);
  SetFixedClock(At(12, 5));
  Start();
  Keys({kVkPageDown, kVkPageDown, kVkPageDown});  // to the entry row, 71
  Run();
  ASSERT_EQ(Log.TopOffset + Log.CurrentRow, 71);
  ASSERT_EQ(App.InformerCount, 64);
  EXPECT_EQ(App.InformerHotkeyCount, 26);
  ASSERT_EQ(App.InformerText.size(), 64u * 14u);
  EXPECT_EQ(App.InformerText.substr(0, 14), AlignLeft("C199", 14));
  EXPECT_EQ(App.InformerText.substr(63 * 14), AlignLeft("C136", 14));
  for (int k = 1; k <= 64; ++k)
    EXPECT_EQ(App.InformerList[static_cast<std::size_t>(k)],
              AlignLeft("C" + DecimalText(135 + k), 14))
        << k;
  // Entries 61..64 are held but not shown; C130..C135 are nowhere.
  EXPECT_EQ(Cell(1, 8), "Alt-A " + AlignLeft("C136", 14));
  EXPECT_EQ(Cell(30, 9), "      " + AlignLeft("C195", 14));
}

}  // namespace
