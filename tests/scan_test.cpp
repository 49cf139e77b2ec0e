// The duplicate scan, driven through the real event loop: sub-tours of 30 and
// 60 minutes, bands, days, rows judged by the clock or by their own time,
// older rows judged against the rows above them, and the informer list.
#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <tuple>
#include <vector>

#include "base/date.h"
#include "log/log.h"
#include "tests/entry_script.h"

namespace {

using ScanTest = EntryTest;

// The status line warns with `earlierTime`, or shows the count in grey when
// it is empty.
void ExpectStatus(const std::string& earlierTime) {
  const headless::ControlState* status = headless::Control(kStatusLineId);
  if (earlierTime.empty()) {
    EXPECT_EQ(std::tuple(status->text.substr(0, 8), status->textColour, status->backColour),
              std::tuple(std::string("Связей: "_cp), -1, 0xD8E8E8));
  } else {
    EXPECT_EQ(std::tuple(status->text, status->textColour, status->backColour),
              std::tuple(std::string("ВНИМАНИЕ: Повтор связи!"_cp) + "        " +
                             std::string("Время: "_cp) + AlignLeft(earlierTime, 14),
                         0x80FFFF, 0x0000FF));
  }
}

// RA3A logged at `first` on 14200, then RA3A typed into the unstamped entry
// row with the clock at `second`.
TEST_F(ScanTest, SecondContactOfASubTourIsARepeat) {
  const struct {
    const char *name, *timeMin;
    DateValue first, second;
    bool otherBand;
    std::string warning;  // the earlier time shown; empty: no warning
  } kCases[] = {
      {"30: 12:05 and 12:29", "30", At(12, 5), At(12, 29), false, "12:05"},
      {"30: 12:05 and 12:31", "30", At(12, 5), At(12, 31), false, ""},
      {"30: 12:29 and 12:30", "30", At(12, 29), At(12, 30), false, ""},
      {"30: 12:05 and 13:05", "30", At(12, 5), At(13, 5), false, ""},
      {"60: 12:05 and 12:59", "60", At(12, 5), At(12, 59), false, "12:05"},
      {"60: 12:59 and 13:00", "60", At(12, 59), At(13, 0), false, ""},
      {"30: other band", "30", At(12, 5), At(12, 10), true, ""},
      {"30: next day, same sub-tour", "30", At(12, 5, 7), At(12, 20, 8), false, "12:05"},
      {"0 counts as 60: 12:05 and 12:59", "0", At(12, 5), At(12, 59), false, "12:05"},
      {"-30 counts as 60", "-30", At(12, 5), At(12, 40), false, "12:05"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({}, {std::string("TimeMin = ") + c.timeMin, "Flag160M = 0", "Flag80M = 0", "Flag40M = 1",
               "Flag20M = 1"});
    SetFixedClock(c.first);
    Run({kVkComma, kVkComma, 'R', 'A', '3', 'A', kVkRight, '0', '0', '1', kVkLeft, kVkEnter});
    ASSERT_EQ(Log.QsoCount, 2);
    ExpectStatus("");
    SetFixedClock(c.second);
    if (c.otherBand) headless::QueueKey(kVkComma);
    Run({kVkRight, kVkLeft});
    // Until its call is typed, a station worked in another sub-tour is listed.
    const bool listed = c.warning.empty() && !c.otherBand;
    EXPECT_EQ(App.InformerText, listed ? AlignLeft("RA3A", 14) : "");
    Run("RA3A");
    EXPECT_EQ(Field(2, kColBand), c.otherBand ? "7000" : "14200");
    ExpectStatus(c.warning);
    // Nor is it offered again in the sub-tour it was just logged in.
    EXPECT_EQ(App.InformerText, "");
    EXPECT_EQ(Cell(1, 8), "");
  }
}

TEST_F(ScanTest, EachRowIsJudgedAgainstTheRowsAboveIt) {
  Begin({{"14200", "CW", "2010-03-07", "12:05", "RA3A", "001", "59"},
         {"14200", "CW", "2010-03-07", "12:10", "UA1A", "002", "59"},
         {"14200", "CW", "2010-03-07", "12:10", "RA3A", "003", "59"},
         {"14200", "CW", "", "", "", "004", ""}});
  const struct {
    const char* name;
    DateValue clock;
    std::vector<int> keys;  // 0: a click on row 3's call
    int row;
    std::string warning;
  } kSteps[] = {
      {"row 1 has nothing above it", kTestClock, {kVkRight, kVkRight, kVkRight}, 1, ""},
      {"row 2 is not judged by row 3 below it", kTestClock, {kVkDown}, 2, ""},
      {"row 3 repeats row 1", kTestClock, {kVkDown}, 3, "12:05"},
      {"back on row 1", kTestClock, {kVkUp, kVkUp}, 1, ""},
      {"row 3 chosen by mouse", kTestClock, {0}, 3, "12:05"},
      {"entry row, empty call", kTestClock, {kVkDown}, 4, ""},
      {"the call at 09:05: another sub-tour", kTestClock, {'R', 'A', '3', 'A'}, 4, ""},
      {"the clock at 12:20 makes it a repeat", At(12, 20), {kVkLeft, kVkRight}, 4, "12:05"},
      {"the clock at 12:40 does not", At(12, 40), {kVkLeft, kVkRight}, 4, ""},
      {"stamped at 12:20", At(12, 20), {kVkPeriod}, 4, "12:05"},
      {"a stamped row keeps its own time", At(12, 40), {kVkLeft, kVkRight}, 4, "12:05"},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    SetFixedClock(s.clock);
    for (int key : s.keys) key == 0 ? headless::QueueClick(233, 62) : headless::QueueKey(key);
    Run();
    EXPECT_EQ(Log.TopOffset + Log.CurrentRow, s.row);
    ExpectStatus(s.warning);
  }
  EXPECT_EQ(Field(4, kColTime), "12:20");
}

// 70 stations of an earlier sub-tour, logged in descending order, so the
// first 64 of the scan are not the first 64 of the sorted list.
TEST_F(ScanTest, TheListKeepsTheFirst64EntriesInScanOrder) {
  std::vector<Qso> rows;
  for (int n = 199; n >= 130; --n)
    rows.push_back({"14200", "CW", "2010-03-07", "11:00", "C" + DecimalText(n), "001", "59"});
  rows.push_back({"14200", "CW", "", "", "", "001", ""});
  Begin(rows);
  SetFixedClock(At(12, 5));
  Run({kVkPageDown, kVkPageDown, kVkPageDown});
  ASSERT_EQ(Log.TopOffset + Log.CurrentRow, 71);
  ASSERT_EQ(App.InformerCount, 64);
  EXPECT_EQ(App.InformerHotkeyCount, 26);
  for (int k = 1; k <= 64; ++k)
    EXPECT_EQ(App.InformerList[static_cast<std::size_t>(k)],
              AlignLeft("C" + DecimalText(135 + k), 14))
        << k;
  // Entries 61..64 are held but not shown; C130..C135 are nowhere.
  EXPECT_EQ(Cell(1, 8), "Alt-A " + AlignLeft("C136", 14));
  EXPECT_EQ(Cell(30, 9), "      " + AlignLeft("C195", 14));
}

// Complete contacts are rows with a call sign and a time; the band is the
// band class, and a text that names no class counts only that same text.
TEST_F(ScanTest, ContactsAreCountedInAllAndOnTheBand) {
  const struct {
    const char *band, *time, *call;
  } kRows[] = {{"14200", "09:01", "RA3A"}, {" 14150 ", "09:02", "UA1A"}, {"7000", "09:03", "RW6B"},
               {"14200", "09:04", "  "},   {"14200", "  ", "RZ9Z"},      {"5", "09:05", "UA9A"},
               {"50", "09:06", "UA0A"}};
  for (const auto& r : kRows) {
    QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(&r - kRows + 1)];
    row[kColBand] = r.band;
    row[kColTime] = r.time;
    row[kColCall] = r.call;
  }
  const struct {
    int rows;
    const char* band;
    int all, onBand;
    std::string_view text;
  } kCases[] = {
      {7, "14200", 5, 2, "Связей: 5, на 14200: 2"_cp},
      {7, "14280", 5, 2, "Связей: 5, на 14280: 2"_cp},
      {7, "7000", 5, 1, "Связей: 5, на 7000: 1"_cp},
      {7, "5", 5, 1, "Связей: 5, на 5: 1"_cp},
      {7, "3600", 5, 0, "Связей: 5, на 3600: 0"_cp},
      {2, "14200", 2, 2, "Связей: 2, на 14200: 2"_cp},
      {0, "14200", 0, 0, "Связей: 0, на 14200: 0"_cp},
      {7, "", 5, 0, "Связей: 5"_cp},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.rows << " rows, band " << c.band);
    const ContactCount count = CountContacts(c.rows, c.band);
    EXPECT_EQ(std::tuple(count.all, count.onBand), std::tuple(c.all, c.onBand));
    EXPECT_EQ(ContactCountText(count, c.band), c.text);
  }
}

// The count in the status line follows every change: the report opened at
// start-up and from the menu, typing, Enter, band cycling, Delete, moving to
// another band. A repeat's warning takes its place until the repeat is gone.
TEST_F(ScanTest, TheStatusLineCountsTheContacts) {
  WriteFileBytes("OTHER.CBR",
                 "START-OF-LOG: 3.0\r\n" +
                     QsoLine({"3500", "CW", "2010-03-06", "10:00", "UA1A", "1", "1"}) + "\r\n" +
                     QsoLine({"3500", "CW", "2010-03-06", "10:01", "UA2A", "2", "2"}) + "\r\n" +
                     QsoLine({"3500", "CW", "", "", "", "3", ""}) + "\r\nEND-OF-LOG: \r\n");
  Begin({{"14200", "CW", "2010-03-07", "09:01", "RA3A", "599001", "5"},
         {"7000", "CW", "2010-03-07", "09:02", "UA1A", "599002", "5"},
         {"14200", "CW", "2010-03-07", "09:03", "", "599003", "5"},
         {"14200", "CW", "", "", "", "599004", ""}});
  const struct {
    const char* name;
    std::vector<int> keys;  // 0: a timer tick; -1: "Открыть" choosing OTHER.CBR
    std::string_view text;  // empty: the repeat's warning
  } kSteps[] = {
      {"opened at start-up, on row 1", {}, "Связей: 2, на 14200: 1"_cp},
      {"the entry row", {kVkPageDown, kVkTab}, "Связей: 2, на 14200: 1"_cp},
      {"a call without a time is no contact yet", {'R', 'W', '1'}, "Связей: 2, на 14200: 1"_cp},
      {"Enter", {kVkEnter}, "Связей: 3, на 14200: 2"_cp},
      {"the band cycled", {kVkComma}, "Связей: 3, на 1900: 0"_cp},
      {"and again", {kVkComma}, "Связей: 3, на 3600: 0"_cp},
      {"Delete: the entry row goes", {kVkDelete}, "Связей: 3, на 14200: 2"_cp},
      {"Delete: the contact goes", {kVkDelete}, "Связей: 2, на 14200: 1"_cp},
      {"up to 7000", {kVkUp}, "Связей: 2, на 7000: 1"_cp},
      {"down to the last row", {kVkDown, kVkDown}, "Связей: 2, на 14200: 1"_cp},
      {"a repeat warns", {'R', 'A', '3', 'A'}, {}},
      {"the warning outlasts the clock's ticks", {0, 0}, {}},
      {"the repeat gone; row 3 has its time", {kVkBackspace}, "Связей: 3, на 14200: 2"_cp},
      {"another report opened", {-1}, "Связей: 2, на 3500: 2"_cp},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    for (int key : s.keys) {
      if (key == 0) headless::QueueTimer();
      if (key == -1) {
        headless::QueueMenu(2);
        headless::QueueFileAnswer(dir_ + "/OTHER.CBR");
      }
      if (key > 0) headless::QueueKey(key);
    }
    Run();
    if (s.text.empty()) {
      ExpectStatus("09:01");
    } else {
      const headless::ControlState* status = headless::Control(kStatusLineId);
      EXPECT_EQ(std::tuple(status->text, status->textColour, status->backColour),
                std::tuple(std::string(s.text), -1, 0xD8E8E8));
    }
  }
}

}  // namespace

namespace {

// The scan written the plain way, as a model: the informer's text and the
// earlier time of a repeat ("" when none) for the row `cur`.
std::pair<std::string, std::string> ModelScan(int cur, DateValue now, int32_t minutes) {
  const QsoRecord& current = Log.QsoLog[static_cast<std::size_t>(cur)];
  const int band = ClassifyBand(current[kColBand]);
  const SubTourKey reference = TextLength(TrimSpaces(current[kColTime])) < 5
                                   ? SubTourKey{HourOf(now), MinuteOf(now) / minutes}
                                   : SubTourOfTime(current[kColTime], minutes);
  std::vector<std::string> informer, calls, times;
  std::string earlier;
  for (int i = 1; i <= cur; ++i) {
    const QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(i)];
    if (ClassifyBand(row[kColBand]) != band) continue;
    const std::string call = TrimSpaces(row[kColCall]);
    const std::string entry = AlignLeft(call, 14);
    if (!call.empty() && std::find(informer.begin(), informer.end(), entry) == informer.end())
      informer.push_back(entry);
    if (!(i < cur ? SubTourOfTime(row[kColTime], minutes) == reference : true)) continue;
    informer.erase(std::remove(informer.begin(), informer.end(), entry), informer.end());
    if (i < cur) {
      calls.push_back(entry);
      times.push_back(AlignLeft(TrimSpaces(row[kColTime]), 14));
    } else if (!call.empty() && earlier.empty()) {
      const auto at = std::find(calls.begin(), calls.end(), entry);
      if (at != calls.end()) earlier = times[static_cast<std::size_t>(at - calls.begin())];
    }
  }
  std::string text;
  for (std::size_t k = 0; k < informer.size() && k < 64; ++k) text += informer[k];
  return {text, earlier};
}

}  // namespace

// Random logs of few calls, bands and times, so that repeats, calls leaving
// and coming back to the informer, long and blank calls all occur: the scan
// of every row agrees with the model.
TEST_F(ScanTest, AgreesWithThePlainModelOnRandomLogs) {
  const char* kCalls[] = {"RA1A", "RA2B", "UA3CCC", " RA1A ", "", "R", "ABCDEFGHIJKLMNOP",
                          "ABCDEFGHIJKLMNXY", "UA9/P", "RA2B"};
  const char* kBands[] = {"14200", "14000", "7000", "3500", "", "99999"};
  const char* kTimes[] = {"12:05", "12:29", "12:31", "13:05", "", "9:5", "12:59"};
  std::mt19937 random(768);
  auto pick = [&random](const auto& list) {
    return list[std::uniform_int_distribution<std::size_t>(0, std::size(list) - 1)(random)];
  };
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const char* timeMin = round % 2 == 0 ? "30" : "60";
    Begin({{"14200", "CW", "", "", "", "599001", ""}}, {std::string("TimeMin = ") + timeMin});
    const int rows = std::uniform_int_distribution<int>(1, 200)(random);
    for (int r = 1; r <= rows; ++r) {
      QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(r)];
      row[kColCall] = pick(kCalls);
      row[kColBand] = pick(kBands);
      row[kColTime] = pick(kTimes);
    }
    Log.QsoCount = rows;
    ++Log.Epoch;  // the rows were written here, not stored
    // Scans along the log, then scans after single stores into random rows
    // (what the scan keeps of a row must follow every store), and after the
    // sub-tour length changed.
    const int columns[] = {kColCall, kColBand, kColTime};
    for (int step = 0, cur = 1; step < 60; ++step, cur = 1 + (cur + 7 * step) % rows) {
      if (step >= 25) {
        const int row = std::uniform_int_distribution<int>(1, rows)(random);
        const int column = columns[step % 3];
        StoreCell(column, 1, row - 1, column == kColCall   ? pick(kCalls)
                                      : column == kColBand ? pick(kBands)
                                                           : pick(kTimes));
      }
      if (step == 50) AppSettings.TimeMin = AppSettings.TimeMin == 30 ? 60 : 30;
      Log.TopOffset = std::max(0, cur - kGridRows);
      Log.CurrentRow = cur - Log.TopOffset;
      LogScan();
      const auto [text, earlier] = ModelScan(cur, CurrentDateValue(), AppSettings.TimeMin);
      ASSERT_EQ(App.InformerText, text) << "row " << cur;
      ASSERT_EQ(App.StatusWarns, !earlier.empty()) << "row " << cur;
      if (!earlier.empty()) {
        ASSERT_EQ(headless::Control(kStatusLineId)->text,
                  std::string("ВНИМАНИЕ: Повтор связи!"_cp) + "        " +
                      std::string("Время: "_cp) + earlier)
            << "row " << cur;
      }
    }
  }
}
