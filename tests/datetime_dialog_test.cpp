// The date and time dialog on the headless backend: its lists, their
// preselection from the program's clock, and the clock offset it sets.
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

using headless::ControlKind;

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
      {1930, K::PushButton, 116, 90, 140, 25, "Установить"_cp, 0, 0, -1},
      {1920, K::DropDownList, 80, 20, 80, 180, "", 0, 1, 31},
      {1921, K::DropDownList, 170, 20, 80, 180, "", 0, 1, 12},
      {1922, K::DropDownList, 260, 20, 80, 180, "", 0, 2000, 2037},
      {1923, K::DropDownList, 80, 50, 80, 180, "", 0, 0, 23},
      {1924, K::DropDownList, 170, 50, 80, 180, "", 0, 0, 59},
      {1925, K::DropDownList, 260, 50, 80, 180, "", 0, 0, 59},
  };
  headless::QueueProbe([&] {
    const auto* window = headless::Window(kDialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(std::tie(window->title, window->width, window->height, window->flags),
              std::make_tuple(std::string("Установка даты и времени"_cp), 372, 130, 0xC80001u));
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

}  // namespace
