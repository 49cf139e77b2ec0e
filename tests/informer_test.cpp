// The informer columns, picks by Alt+letter and by mouse, the title-bar clock
// and the station box, driven through the real event loop.
#include <string>
#include <tuple>
#include <vector>

#include "tests/entry_script.h"

namespace {

// K01..Kn, from the highest number down or up.
std::vector<std::string> NumberedCalls(int count, bool down) {
  std::vector<std::string> calls;
  for (int n = 1; n <= count; ++n)
    calls.push_back("K" + AlignRight(DecimalText(down ? count + 1 - n : n), 2, '0'));
  return calls;
}

int InformerCell(int k) { return k <= 30 ? CellId(k, 8) : CellId(k - 30, 9); }

class InformerTest : public EntryTest {
 protected:
  // Stations worked on 14200 at 11:00, in this order, then the empty entry
  // row, where the cursor goes to the received exchange; at 12:05 they are
  // all in an earlier sub-tour, so the scan lists them.
  void StartWith(const std::vector<std::string>& calls) {
    std::vector<Qso> rows;
    for (const std::string& call : calls)
      rows.push_back({"14200", "CW", "2010-03-07", "11:00", call, "001", "59"});
    rows.push_back({"14200", "CW", "", "", "", "001", ""});
    Begin(rows);
    SetFixedClock(At(12, 5));
    for (int i = 0; i < 3; ++i) headless::QueueKey(kVkPageDown);
    for (int i = 0; i < 5; ++i) headless::QueueKey(kVkRight);
    Run();
  }
};

TEST_F(InformerTest, EntriesAreSortedByBytesAndLabelled) {
  const struct {
    const char* name;
    std::vector<std::string> calls, shown;  // shown: entries 1.. in order
  } kCases[] = {
      {"three", {"CC", "AA", "BB"}, {"AA", "BB", "CC"}},
      {"one", {"UA1A"}, {"UA1A"}},
      {"a call before its longer form", {"RA3AB", "RA3A"}, {"RA3A", "RA3AB"}},
      {"Cyrillic after Latin", {std::string("ЯA1"_cp), "UA9A"}, {"UA9A", std::string("ЯA1"_cp)}},
      {"listed once", {"AA", "BB", "AA"}, {"AA", "BB"}},
      {"forty: labels for 26, five spaces after", NumberedCalls(40, true),
       NumberedCalls(40, false)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    StartWith(c.calls);
    ASSERT_EQ(App.InformerCount, static_cast<int>(c.shown.size()));
    for (int k = 1; k <= 60; ++k) {
      const std::size_t i = static_cast<std::size_t>(k - 1);
      const std::string label = k <= 26 ? "Alt-" + CharText(64 + k) : "     ";
      const std::string want = i < c.shown.size() ? label + " " + AlignLeft(c.shown[i], 14) : "";
      EXPECT_EQ(headless::Control(InformerCell(k))->text, want) << k;
    }
  }
}

TEST_F(InformerTest, PicksWriteTheCallIntoTheCurrentRow) {
  const struct {
    const char* name;
    int entries, altKey, x, y;  // altKey 0: a click at x, y
    std::string call;           // the call picked; empty: nothing happens
    bool scanned;               // a pick by mouse runs the scan, Alt does not
  } kCases[] = {
      {"Alt+A", 40, 'A', 0, 0, "K01", false},
      {"Alt+Z", 40, 'Z', 0, 0, "K26", false},
      {"Alt+D beyond three", 3, 'D', 0, 0, "", false},
      {"Alt+1 is no letter", 40, '1', 0, 0, "", false},
      {"column 8, row 30, right edge", 40, 0, 668, 474, "K30", true},
      {"column 9, row 1, left edge", 40, 0, 669, 25, "K31", true},
      {"column 9, row 5", 40, 0, 728, 15 * 5 + 17, "K35", true},
      {"column 9, row 10, right edge", 40, 0, 787, 15 * 10 + 17, "K40", true},
      {"column 9, row 11: empty cell", 40, 0, 728, 15 * 11 + 17, "", false},
      {"column 8, row 4 of three: empty cell", 3, 0, 609, 15 * 4 + 17, "", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    StartWith(NumberedCalls(c.entries, true));
    ASSERT_EQ(App.InformerCount, c.entries);
    // Elements past the count keep what they held: they are never picked.
    for (std::size_t k = c.entries + 1; k <= kInformerCapacity; ++k) App.InformerList[k] = "OLD";
    const std::string before = ReadFileBytes(ReportPath());
    // At 11:05 a new scan would find every station in the entry row's own
    // sub-tour and empty the list: that shows whether one ran.
    SetFixedClock(At(11, 5));
    c.altKey != 0 ? headless::QueueAltKey(c.altKey) : headless::QueueClick(c.x, c.y);
    Run();
    EXPECT_EQ(Field(Log.TopOffset + Log.CurrentRow, kColCall), c.call);
    EXPECT_EQ(Cell(Log.CurrentRow, kColCall), c.call);
    EXPECT_EQ(Log.CurrentColumn, kColReceived);  // the cursor stays
    EXPECT_EQ(App.InformerCount, c.scanned ? 0 : c.entries);
    if (c.call.empty()) {
      EXPECT_EQ(ReadFileBytes(ReportPath()), before);
    } else {
      EXPECT_EQ(FileQsoLines().back(), QsoLine({"14200", "CW", "", "", c.call, "001", ""}));
    }
  }
}

TEST_F(EntryTest, TheTickShowsTheClockAndTheStationBox) {
  const std::string title =
      std::string(kTitleText) + std::string(83, ' ') + "Date: 2010-03-07     Time: 09:05:02";
  const struct {
    const char* name;
    bool report, failWrite;
    std::string text;
    int32_t textColour, backColour;
  } kCases[] = {
      {"no report", false, false, std::string("Отчёт не загружен!"_cp), -1, 0xCCCCFF},
      {"an open report", true, false, kOwnCall, -1, 0xCCCCFF},
      {"a failed write", true, true, std::string("Отчёт не записан!"_cp), 0x80FFFF, 0x0000FF},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin(c.report ? std::vector<Qso>{{"14200", "CW", "", "", "", "001", ""}} : std::vector<Qso>{});
    if (c.failWrite) AppSettings.File = dir_ + "/gone/LOG.CBR";  // its folder is gone
    Run("RA3A");
    EXPECT_EQ(headless::Window(kMainWindowId)->title, kTitleText);  // until the first tick
    EXPECT_EQ(headless::Control(kStationBoxId)->text, "");
    headless::QueueTimer();
    Run();
    EXPECT_EQ(headless::Window(kMainWindowId)->title, title);
    const headless::ControlState* box = headless::Control(kStationBoxId);
    EXPECT_EQ(std::tuple(box->text, box->textColour, box->backColour),
              std::tuple(c.text, c.textColour, c.backColour));
  }
}

// The whole program, start to end, as the operator uses it.
TEST_F(EntryTest, AContactTypedIntoAnOpenedReportReachesTheFile) {
  Prepare({{"14200", "CW", "2010-03-07", "08:55", "UA1A", "599001", "599004"},
           {"14200", "CW", "", "", "", "599002", ""}});
  QueueKeys({kVkPageDown, kVkRight, kVkRight, kVkRight});
  QueueKeys("RA3A\t599017\r");  // Tab and Enter are key codes 9 and 13
  headless::QueueMenu(4);
  EXPECT_EQ(RunCorvane(), 0);
  const std::vector<std::string> lines = FileQsoLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], QsoLine({"14200", "CW", "2010-03-07", "09:05", "RA3A", "599002", "599017"}));
  EXPECT_EQ(lines[2], QsoLine({"14200", "CW", "", "", "", "599003", ""}));
}

}  // namespace
