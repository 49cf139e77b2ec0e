// The date and time dialog on the headless backend: its lists, their
// preselection from the program's clock, and the clock offset it sets.
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "tests/entry_script.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {


constexpr int kDialog = 2;

class DateTimeDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start(kTestClock, 0);
  }
  // A fresh main window and the program's clock at `clock` plus `offset`.
  static void Start(DateValue clock, int64_t offset) {
    OpenMainWindowOnly();
    SetFixedClock(clock);
    SetClockOffset(offset);
  }
  static void Run() { RunDialog(DateTimeDialog, kDialog); }
};

TEST_F(DateTimeDialogTest, Layout) {
  using K = ControlKind;
  const struct {
    int id;
    K kind;
    int x, y, width, height;
    std::string_view text;
    int flags, first, last;  // label flags; list entries first..last
  } kControls[] = {
      {1901, K::Label, 20, 20, 60, 18, "Дата:"_cp, kLabelRight, 0, -1},
      {1902, K::Label, 20, 50, 60, 18, "Время:"_cp, kLabelRight, 0, -1},
      {1930, K::PushButton, 116, 110, 140, 25, "Установить"_cp, 0, 0, -1},
      {1920, K::DropDownList, 80, 20, 80, 180, "", 0, 1, 31},
      {1921, K::DropDownList, 170, 20, 80, 180, "", 0, 1, 12},
      {1922, K::DropDownList, 260, 20, 80, 180, "", 0, 2000, 2037},
      {1923, K::DropDownList, 80, 50, 80, 180, "", 0, 0, 23},
      {1924, K::DropDownList, 170, 50, 80, 180, "", 0, 0, 59},
      {1925, K::DropDownList, 260, 50, 80, 180, "", 0, 0, 59},
      {1931, K::CheckBox, 80, 80, 260, 20, "Время UTC"_cp, 0, 0, -1},
  };
  headless::QueueProbe([&] {
    const auto* window = headless::Window(kDialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(std::tie(window->title, window->width, window->height, window->flags),
              std::make_tuple(std::string("Установка даты и времени"_cp), 372, 150, 0xC80001u));
    EXPECT_TRUE(headless::Window(0)->disabled);
    std::vector<int> order;
    for (const auto& c : kControls) {
      order.push_back(c.id);
      SCOPED_TRACE(c.id);
      const auto* got = headless::Control(c.id);
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(std::tie(got->window, got->kind, got->x, got->y, got->width, got->height),
                std::tie(kDialog, c.kind, c.x, c.y, c.width, c.height));
      std::vector<std::string> entries;
      for (int n = c.first; n <= c.last; ++n) entries.push_back(DecimalText(n));
      EXPECT_EQ(std::tie(got->text, got->flags, got->entries),
                std::make_tuple(std::string(c.text), c.flags, entries));
    }
    EXPECT_EQ(headless::ControlOrder(), order);
  });
  headless::QueueKeyDown(27, kDialog);
  Run();
}

TEST_F(DateTimeDialogTest, ShowsAndSetsTheProgramsClock) {
  const int64_t kTo2011 = DateFromParts(2011, 1, 1, 0, 0, 0) - int64_t{kTestClock};
  const int64_t kTo29Feb2012 = DateFromParts(2012, 2, 29, 9, 5, 2) - int64_t{kTestClock};
  // shown: the selected index of each list, day to second, when the dialog opens.
  // steps: "1923=10" chooses entry 10 of list 1923; "Set", "Esc" and "Close" end
  // the dialog; "Other" queues a tick and events of the main window.
  const struct {
    DateValue clock;
    int64_t before;
    const char *shown, *steps;
    int64_t after;
  } kCases[] = {
      {kTestClock, 0, "6 2 10 9 5 2", "1923=10 Set", 3600},
      {kTestClock, 0, "6 2 10 9 5 2", "Set", 0},
      {kTestClock, 0, "6 2 10 9 5 2", "1922=9 1920=5 Set", -366 * 86400},
      {kTestClock, 0, "6 2 10 9 5 2", "1920=0 1921=0 1922=11 1923=0 1924=0 1925=0 Set", kTo2011},
      {kTestClock, 3600, "6 2 10 10 5 2", "1923=9 Set", 0},  // measured from the clock
      {kTestClock, 3660, "6 2 10 10 6 2", "Set", 3660},
      {kTestClock, 120, "6 2 10 9 7 2", "1920=30 1921=1 Set", 120},  // 31 February: no change
      {kTestClock, 120, "6 2 10 9 7 2", "1920=28 1921=1 Set", 120},  // nor 29 February 2010
      {kTestClock, 0, "6 2 10 9 5 2", "1920=28 1921=1 1922=12 Set", kTo29Feb2012},
      {kTestClock, 0, "6 2 10 9 5 2", "1923=10 Esc", 0},
      {kTestClock, 0, "6 2 10 9 5 2", "1923=10 Close", 0},
      {kTestClock, 0, "6 2 10 9 5 2", "1923=11 Other Set", 2 * 3600},
      {DateFromParts(2000, 1, 1, 0, 0, 0), 0, "0 0 0 0 0 0", "Close", 0},
      {DateFromParts(2037, 12, 31, 23, 59, 59), 0, "30 11 37 23 59 59", "Close", 0},
      {DateFromParts(1999, 12, 31, 23, 59, 58), 0, "30 11 -1 23 59 58", "Set", 0},
      {DateFromParts(2038, 1, 19, 3, 14, 7), 0, "18 0 -1 3 14 7", "1923=5 Set", 0},
      {InvalidDate, 0, "-1 -1 -1 -1 -1 -1", "1920=0 1921=0 1922=0 1923=0 1924=0 1925=0 Set", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.clock << " + " << c.before << ": " << c.steps);
    Start(c.clock, c.before);
    std::string shown;
    headless::QueueProbe([&] {
      for (int id = 1920; id <= 1925; ++id) shown += DecimalText(GetControlValue(id)) + " ";
    });
    std::istringstream words(c.steps);
    for (std::string w; words >> w;) {
      if (w == "Set") headless::QueueButton(1930);
      if (w == "Esc") headless::QueueKeyDown(27, kDialog);
      if (w == "Close") headless::QueueClose(kDialog);
      if (w == "Other") {  // events the dialog must let pass
        headless::QueueTimer();
        headless::QueueKeyDown(27, 0);
        headless::QueueClose(0);
        headless::QueueRawEvent(kEventKeyDown, 0);
      }
      if (IsDigitByte(w[0])) headless::QueueListChoice(std::stoi(w), std::stoi(w.substr(5)));
    }
    Run();
    EXPECT_EQ(shown, std::string(c.shown) + " ");
    EXPECT_EQ(ClockOffset(), c.after);
    if (c.clock != InvalidDate) {
      EXPECT_EQ(CurrentDateValue(), c.clock + c.after);  // the clock source itself is untouched
    }
  }
}

TEST_F(DateTimeDialogTest, TheSetTimeRunsOnWithTheClock) {
  headless::QueueListChoice(1923, 22);  // 22:05:02
  headless::QueueButton(1930);
  Run();
  SetFixedClock(kTestClock + 61);  // a minute and a second later by the computer
  EXPECT_EQ(RenderDatePattern("%yyyy-%mm-%dd %hh:%ii:%ss", CurrentDateValue()),
            "2010-03-07 22:06:03");
}

// The computer's clock goes on while the dialog is open: "Установить" moves
// the clock by what was changed in the lists, not back to the moment they
// were filled; the offset already set stays under it.
TEST_F(DateTimeDialogTest, SetMovesTheClockByWhatWasChanged) {
  static DateValue computer;  // the clock source's reading, moved by the probes
  const struct {
    const char* name;
    int64_t before;
    std::vector<const char*> runs;  // one dialog each: "+7" lets 7 s pass, "1923=10" a list
    int64_t after;
  } kCases[] = {
      {"nothing changed, 7 s later", 0, {"+7 Set"}, 0},
      {"nothing changed over an offset", -120, {"+59 Set"}, -120},
      {"the hour one up", 0, {"1923=10 +30 Set"}, 3600},
      {"the hour one down over an offset", 3600, {"+3 1923=9 Set"}, 0},
      {"the minute, a minute later", 0, {"+61 1924=6 Set"}, 60},
      {"twice, nothing changed", 0, {"+5 Set", "+5 Set"}, 0},
      {"twice an hour up", 0, {"1923=10 +2 Set", "+2 1923=11 Set"}, 7200},
      {"an hour up, then nothing", 0, {"1923=10 Set", "+40 Set"}, 3600},
      {"an hour up, then back", 0, {"1923=10 Set", "1923=9 Set"}, 0},
      {"changed, then cancelled", 0, {"1923=10 +4 Esc"}, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Start(kTestClock, c.before);
    computer = kTestClock;
    SetClockSource([](bool) { return computer; });
    for (const char* run : c.runs) {
      std::istringstream words(run);
      for (std::string w; words >> w;) {
        if (w == "Set") headless::QueueButton(1930);
        if (w == "Esc") headless::QueueKeyDown(27, kDialog);
        if (w[0] == '+') {
          const int seconds = std::stoi(w.substr(1));
          headless::QueueProbe([seconds] { computer += seconds; });
        }
        if (IsDigitByte(w[0])) headless::QueueListChoice(std::stoi(w), std::stoi(w.substr(5)));
      }
      Run();
    }
    EXPECT_EQ(ClockOffset(), c.after);
  }
}

// "Время UTC": the box shows the kind of time in force; turning it moves the
// lists by the zone, keeping what was changed in them; "Установить" makes the
// choice the clock's and keeps it in options.ini with the file's other groups.
TEST_F(DateTimeDialogTest, UtcBoxChoosesTheKindOfTime) {
  // Local 2010-03-08 01:30:00, three hours east: UTC is 2010-03-07 22:30:00.
  const DateValue kLocal = DateFromParts(2010, 3, 8, 1, 30, 0);
  const std::string kRig = "[Rig]\r\nModel = 2\r\n";
  const struct {
    const char* name;
    bool utcBefore;
    const char* steps;               // "UTC=1" turns the box on, "1923=5" chooses a list entry
    const char *shown, *shownAtEnd;  // the lists day to second at opening and at the end
    bool utcAfter;
    int64_t offset;
    const char* file;  // options.ini afterwards, after its Rig group
  } kCases[] = {
      {"local: the box is off", false, "Set", "7 2 10 1 30 0", "7 2 10 1 30 0", false, 0, ""},
      {"turned on: the lists show UTC", false, "UTC=1 Set", "7 2 10 1 30 0", "6 2 10 22 30 0", true,
       0, "[Clock]\r\nUTC = 1\r\n"},
      {"turned on and off again", false, "UTC=1 UTC=0 Set", "7 2 10 1 30 0", "7 2 10 1 30 0", false,
       0, ""},
      {"an hour up, then turned on", false, "1923=2 UTC=1 Set", "7 2 10 1 30 0", "6 2 10 23 30 0",
       true, 3600, "[Clock]\r\nUTC = 1\r\n"},
      {"turned on, then the UTC hour up", false, "UTC=1 1923=23 Set", "7 2 10 1 30 0",
       "6 2 10 23 30 0", true, 3600, "[Clock]\r\nUTC = 1\r\n"},
      {"turned on, then cancelled", false, "UTC=1 Esc", "7 2 10 1 30 0", "6 2 10 22 30 0", false, 0,
       ""},
      {"UTC: the box is on", true, "Set", "6 2 10 22 30 0", "6 2 10 22 30 0", true, 0,
       "[Clock]\r\nUTC = 1\r\n"},
      {"UTC turned off", true, "UTC=0 Set", "6 2 10 22 30 0", "7 2 10 1 30 0", false, 0,
       "[Clock]\r\nUTC = 0\r\n"},
      {"31 February: the time stays, the box counts", false, "1920=30 1921=1 UTC=1 Set",
       "7 2 10 1 30 0", "6 2 10 22 30 0", true, 0, "[Clock]\r\nUTC = 1\r\n"},
  };
  const auto lists = [] {
    std::string text;
    for (int id = 1920; id <= 1925; ++id) {
      text += (text.empty() ? "" : " ") + DecimalText(GetControlValue(id));
    }
    return text;
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Start(kLocal, 0);
    SetFixedClock(kLocal, 3 * 3600);
    std::remove(kOptionsFileName);
    WriteFileBytes(kOptionsFileName, kRig + (c.utcBefore ? "[Clock]\r\nUTC = 1\r\n" : ""));
    LoadOptions();
    std::string shown, shownAtEnd;
    headless::QueueProbe([&] {
      shown = lists();
      EXPECT_EQ(GetControlValue(1931), c.utcBefore ? 1 : 0);
    });
    std::istringstream words(c.steps);
    for (std::string w; words >> w;) {
      if (w == "Set" || w == "Esc") headless::QueueProbe([&] { shownAtEnd = lists(); });
      if (w == "Set") headless::QueueButton(1930);
      if (w == "Esc") headless::QueueKeyDown(27, kDialog);
      if (w.rfind("UTC=", 0) == 0) headless::QueueCheck(1931, std::stoi(w.substr(4)));
      if (IsDigitByte(w[0])) headless::QueueListChoice(std::stoi(w), std::stoi(w.substr(5)));
    }
    Run();
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(shownAtEnd, c.shownAtEnd);
    EXPECT_EQ(std::tuple(ClockIsUtc(), Options.ClockUtc, ClockOffset()),
              std::tuple(c.utcAfter, c.utcAfter, c.offset));
    EXPECT_EQ(ReadFileBytes(kOptionsFileName), kRig + c.file);
    LoadOptions();  // as the next start reads it
    EXPECT_EQ(ClockIsUtc(), c.utcAfter);
  }
}

using UtcSessionTest = EntryTest;

// UTC chosen in the dialog of a running program, with the computer's clock in
// a zone east or west of Greenwich on the other side of midnight: the stamps,
// the title clock and the sub-tour follow UTC; local time stays as it was.
// After a restart the choice holds.
TEST_F(UtcSessionTest, TheChoiceReachesEveryReadingOfTheClock) {
  const struct {
    const char* name;
    DateValue local;
    int32_t zone;
    const char *loggedDate, *loggedTime;  // of RA3A on 14200, earlier in UTC's sub-tour
    bool utc;
    const char *date, *time;  // the stamp of the next RA3A
    bool repeat;
  } kCases[] = {
      {"east, UTC", DateFromParts(2010, 3, 8, 1, 10, 0), 3 * 3600, "2010-03-07", "22:05", true,
       "2010-03-07", "22:10", true},
      {"east, local", DateFromParts(2010, 3, 8, 1, 10, 0), 3 * 3600, "2010-03-07", "22:05", false,
       "2010-03-08", "01:10", false},
      {"west, UTC", DateFromParts(2010, 3, 7, 21, 10, 0), -5 * 3600, "2010-03-08", "02:05", true,
       "2010-03-08", "02:10", true},
      {"west, local", DateFromParts(2010, 3, 7, 21, 10, 0), -5 * 3600, "2010-03-08", "02:05", false,
       "2010-03-07", "21:10", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({{"14200", "CW", c.loggedDate, c.loggedTime, "RA3A", "599001", "5"},
           {"14200", "CW", "", "", "", "599002", ""}});
    SetFixedClock(c.local, c.zone);
    if (c.utc) {
      headless::QueueMenu(21);
      headless::QueueCheck(1931, 1);
      headless::QueueButton(1930);
    }
    headless::QueueTimer();
    Run({kVkPageDown, kVkTab, 'R', 'A', '3', 'A'});
    EXPECT_EQ(headless::Control(kStatusLineId)->backColour, c.repeat ? 0x0000FF : 0xD8E8E8);
    EXPECT_EQ(headless::Window(kMainWindowId)->title,
              std::string(kTitleText) + SpaceRun(83) + "Date: " + c.date + SpaceRun(5) +
                  "Time: " + c.time + ":00" + (c.utc ? " UTC" : ""));
    Run({kVkTab, '5', kVkEnter});
    EXPECT_EQ(FileQsoLines().at(1),
              QsoLine({"14200", "CW", c.date, c.time, "RA3A", "599002", "5"}));

    ResetEverything();  // a new run of the program over the same files
    ASSERT_TRUE(StartUp());
    EXPECT_EQ(ClockIsUtc(), c.utc);
    EndProgram();
  }
}

}  // namespace
