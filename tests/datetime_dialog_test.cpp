// The date and time dialog on the headless backend: its lists, their
// preselection from the program's clock, and the clock offset it sets.
#include <array>
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

using headless::ControlKind;

constexpr int kDialog = 2;
constexpr std::array<int, 6> kLists = {1920, 1921, 1922, 1923, 1924, 1925};

void OpenMainWindow() {
  OpenAppWindow(0, 0, 0, 798, 530, kTitleText, kMainWindowFlags);
  ActivateAppWindow(0);
}

// The selected index of each of the six lists, read while the dialog waits.
std::array<int, 6> ShownIndices() {
  std::array<int, 6> shown{};
  for (std::size_t i = 0; i < kLists.size(); ++i) {
    const auto* list = headless::Control(kLists[i]);
    shown[i] = list == nullptr ? -99 : list->value;
  }
  return shown;
}

class DateTimeDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    OpenMainWindow();
  }
  static void ExpectClosedAndMainActive() {
    ASSERT_NE(headless::Window(kDialog), nullptr);
    EXPECT_FALSE(headless::Window(kDialog)->open);
    EXPECT_FALSE(headless::Window(0)->disabled);
    EXPECT_EQ(headless::ActiveWindow(), 0);
  }
};

TEST_F(DateTimeDialogTest, Layout) {
  const struct {
    int id;
    ControlKind kind;
    int x, y, width, height;
    std::string_view text;
    int first, last;  // list entries
  } kControls[] = {
      {1901, ControlKind::Label, 20, 20, 60, 18, "Дата:"_cp, 0, -1},
      {1902, ControlKind::Label, 20, 50, 60, 18, "Время:"_cp, 0, -1},
      {1930, ControlKind::PushButton, 116, 90, 140, 25, "Установить"_cp, 0, -1},
      {1920, ControlKind::DropDownList, 80, 20, 80, 180, "", 1, 31},
      {1921, ControlKind::DropDownList, 170, 20, 80, 180, "", 1, 12},
      {1922, ControlKind::DropDownList, 260, 20, 80, 180, "", 2000, 2037},
      {1923, ControlKind::DropDownList, 80, 50, 80, 180, "", 0, 23},
      {1924, ControlKind::DropDownList, 170, 50, 80, 180, "", 0, 59},
      {1925, ControlKind::DropDownList, 260, 50, 80, 180, "", 0, 59},
  };
  int probes = 0;
  headless::QueueProbe([&] {
    ++probes;
    const auto* window = headless::Window(kDialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title, "Установка даты и времени"_cp);
    EXPECT_EQ(window->width, 372);
    EXPECT_EQ(window->height, 130);
    EXPECT_EQ(window->flags, 0xC80001u);
    EXPECT_TRUE(headless::Window(0)->disabled);
    std::vector<int> order;
    for (const auto& c : kControls) order.push_back(c.id);
    EXPECT_EQ(headless::ControlOrder(), order);
    for (const auto& c : kControls) {
      SCOPED_TRACE(c.id);
      const auto* control = headless::Control(c.id);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(control->window, kDialog);
      EXPECT_EQ(control->kind, c.kind);
      EXPECT_EQ(control->x, c.x);
      EXPECT_EQ(control->y, c.y);
      EXPECT_EQ(control->width, c.width);
      EXPECT_EQ(control->height, c.height);
      EXPECT_EQ(control->text, c.text);
      if (c.kind == ControlKind::Label) {
        EXPECT_EQ(control->flags, kLabelRight);
      }
      std::vector<std::string> entries;
      for (int n = c.first; n <= c.last; ++n) entries.push_back(DecimalText(n));
      EXPECT_EQ(control->entries, entries);
    }
  });
  headless::QueueKeyDown(27, kDialog);
  DateTimeDialog();
  EXPECT_EQ(probes, 1);
  ExpectClosedAndMainActive();
}

TEST_F(DateTimeDialogTest, PreselectsTheProgramsClock) {
  const struct {
    const char* name;
    DateValue clock;
    int64_t offset;
    std::array<int, 6> shown;  // day, month, year, hour, minute, second
  } kCases[] = {
      {"7 March 2010 09:05:02", kTestClock, 0, {6, 2, 10, 9, 5, 2}},
      {"first entries", DateFromParts(2000, 1, 1, 0, 0, 0), 0, {0, 0, 0, 0, 0, 0}},
      {"last entries", DateFromParts(2037, 12, 31, 23, 59, 59), 0, {30, 11, 37, 23, 59, 59}},
      {"a year after 2037", DateFromParts(2038, 1, 19, 3, 14, 7), 0, {18, 0, -1, 3, 14, 7}},
      {"a year before 2000", DateFromParts(1999, 12, 31, 23, 59, 58), 0, {30, 11, -1, 23, 59, 58}},
      {"with the offset set before", kTestClock, 3600 + 60, {6, 2, 10, 10, 6, 2}},
      {"a clock that reads no date", InvalidDate, 0, {-1, -1, -1, -1, -1, -1}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    OpenMainWindow();
    SetFixedClock(c.clock);
    SetClockOffset(c.offset);
    std::array<int, 6> shown{};
    headless::QueueProbe([&] { shown = ShownIndices(); });
    headless::QueueClose(kDialog);
    DateTimeDialog();
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(ClockOffset(), c.offset);  // closing sets nothing
    ExpectClosedAndMainActive();
  }
}

TEST_F(DateTimeDialogTest, SettingTheTimeShiftsTheProgramsClock) {
  struct Choice {
    int list, index;
  };
  enum class End { Button, Escape, Close };
  constexpr int64_t kDay = 86400;
  const struct {
    const char* name;
    DateValue clock;
    int64_t offsetBefore;
    std::vector<Choice> choices;
    bool foreignEvents;  // events of other windows before the end
    End end;
    int64_t offsetAfter;
  } kCases[] = {
      {"an hour later", kTestClock, 0, {{1923, 10}}, false, End::Button, 3600},
      {"unchanged lists set no offset", kTestClock, 0, {}, false, End::Button, 0},
      {"a year and a day back",
       kTestClock,
       0,
       {{1922, 9}, {1920, 5}},
       false,
       End::Button,
       -365 * kDay - kDay},
      {"every field changed",
       kTestClock,
       0,
       {{1920, 0}, {1921, 0}, {1922, 11}, {1923, 0}, {1924, 0}, {1925, 0}},
       false,
       End::Button,
       DateFromParts(2011, 1, 1, 0, 0, 0) - int64_t{kTestClock}},
      {"offset measured from the clock, not from the shown time",
       kTestClock,
       3600,
       {{1923, 9}},
       false,
       End::Button,
       0},
      {"shown time kept with an offset", kTestClock, 3600, {}, false, End::Button, 3600},
      {"31 February changes nothing",
       kTestClock,
       120,
       {{1920, 30}, {1921, 1}},
       false,
       End::Button,
       120},
      {"29 February 2010 changes nothing",
       kTestClock,
       120,
       {{1920, 28}, {1921, 1}},
       false,
       End::Button,
       120},
      {"29 February 2012 is a day",
       kTestClock,
       0,
       {{1920, 28}, {1921, 1}, {1922, 12}},
       false,
       End::Button,
       DateFromParts(2012, 2, 29, 9, 5, 2) - int64_t{kTestClock}},
      {"a year not in the list changes nothing",
       DateFromParts(2038, 1, 1, 0, 0, 0),
       0,
       {{1923, 5}},
       false,
       End::Button,
       0},
      {"Escape sets nothing", kTestClock, 0, {{1923, 10}}, false, End::Escape, 0},
      {"close button sets nothing", kTestClock, 0, {{1923, 10}}, false, End::Close, 0},
      {"other windows' events do not end it",
       kTestClock,
       0,
       {{1923, 11}},
       true,
       End::Button,
       2 * 3600},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    OpenMainWindow();
    SetFixedClock(c.clock);
    SetClockOffset(c.offsetBefore);
    for (const Choice& choice : c.choices) headless::QueueListChoice(choice.list, choice.index);
    if (c.foreignEvents) {
      headless::QueueTimer();
      headless::QueueKeyDown(27, 0);
      headless::QueueClose(0);
      headless::QueueRawEvent(kEventKeyDown, 0);
    }
    switch (c.end) {
      case End::Button:
        headless::QueueButton(1930);
        break;
      case End::Escape:
        headless::QueueKeyDown(27, kDialog);
        break;
      case End::Close:
        headless::QueueClose(kDialog);
        break;
    }
    DateTimeDialog();
    EXPECT_EQ(headless::PendingEvents(), 0);
    EXPECT_EQ(headless::ScriptEndCloses(), 0);
    ExpectClosedAndMainActive();
    EXPECT_EQ(ClockOffset(), c.offsetAfter);
    // The program's clock follows; the clock source itself is untouched.
    if (c.clock != InvalidDate) {
      EXPECT_EQ(CurrentDateValue(), c.clock + c.offsetAfter);
    }
  }
}

TEST_F(DateTimeDialogTest, TheSetTimeRunsOnWithTheClock) {
  headless::QueueListChoice(1923, 22);  // 22:05:02
  headless::QueueButton(1930);
  DateTimeDialog();
  SetFixedClock(kTestClock + 61);  // a minute and a second later by the computer
  EXPECT_EQ(RenderDatePattern("%yyyy-%mm-%dd %hh:%ii:%ss", CurrentDateValue()),
            "2010-03-07 22:06:03");
}

TEST_F(DateTimeDialogTest, MainWindowTakesNoInputWhileOpen) {
  headless::QueueClick(5, 5, 0);  // refused while window 0 is disabled
  headless::QueueButton(1930);
  DateTimeDialog();
  EXPECT_EQ(MouseXInWindow(0), -1);
  ExpectClosedAndMainActive();
}

}  // namespace
