// "Установка даты и времени": six lists showing the program's clock. The
// date and time set here become an offset on the program's clock for the
// rest of the run; the computer's clock is never touched and nothing is saved.
#include "settings/settings.h"

#include <cstdint>
#include <string_view>

#include "base/date.h"
#include "base/text.h"
#include "ui/modal.h"

namespace {

constexpr int kWindowId = 2;
constexpr int kSetButton = 1930;
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2037;

// One drop-down list: its id, place, the numbers it offers and the pattern
// whose rendering of the clock preselects it. Index = number - first.
struct PartList {
  int id, x, y;
  int first, last;
  std::string_view pattern;
};
enum PartIndex { kDay, kMonth, kYear, kHour, kMinute, kSecond };
constexpr std::array<PartList, 6> kPartLists = {{
    {1920, 80, 20, 1, 31, "%dd"},
    {1921, 170, 20, 1, 12, "%mm"},
    {1922, 260, 20, kFirstYear, kLastYear, "%yyyy"},
    {1923, 80, 50, 0, 23, "%hh"},
    {1924, 170, 50, 0, 59, "%ii"},
    {1925, 260, 50, 0, 59, "%ss"},
}};

void CreateControls() {
  CreateLabel(1901, 20, 20, 60, 18, "Дата:"_cp, kLabelRight);
  CreateLabel(1902, 20, 50, 60, 18, "Время:"_cp, kLabelRight);
  CreatePushButton(kSetButton, 116, 90, 140, 25, "Установить"_cp);
  for (const PartList& list : kPartLists) {
    CreateDropDownList(list.id, list.x, list.y, 80, 180);
    for (int number = list.first; number <= list.last; ++number) {
      AppendListEntry(list.id, DecimalText(number));
    }
  }
}

// Selects in each list the entry of the clock's field; a field the list does
// not offer (a year after 2037, or a clock that reads no valid date) leaves
// that list without a selection.
void ShowClock() {
  const DateValue now = CurrentDateValue();
  if (now == InvalidDate) return;
  for (const PartList& list : kPartLists) {
    const int32_t number = ParseDecimal(RenderDatePattern(list.pattern, now));
    if (number >= list.first && number <= list.last) SetControlValue(list.id, number - list.first);
  }
}

// "Установить": the chosen moment minus the clock's own reading (without the
// offset set before) becomes the offset of the program's clock. A list
// without a selection, an impossible day such as 31 February, or a clock that
// reads no valid date changes nothing.
void SetChosenTime() {
  std::array<int32_t, kPartLists.size()> index{};
  for (std::size_t i = 0; i < kPartLists.size(); ++i) {
    index[i] = GetControlValue(kPartLists[i].id);
    if (index[i] < 0) return;
  }
  const DateValue chosen =
      DateFromParts(kFirstYear + index[kYear], index[kMonth] + 1, index[kDay] + 1, index[kHour],
                    index[kMinute], index[kSecond]);
  if (chosen == InvalidDate) return;
  const DateValue now = CurrentDateValue();
  if (now == InvalidDate) return;
  SetClockOffset(int64_t{chosen} - (int64_t{now} - ClockOffset()));
}

}  // namespace

void DateTimeDialog() {
  if (OpenModalWindow(kWindowId, 372, 130, "Установка даты и времени"_cp) == 0) return;
  CreateControls();
  ShowClock();

  bool done = false;
  while (!done) {
    const int code = WaitForEvent();
    if (EventWindowId() != kWindowId) continue;
    if (IsDialogCancel(code)) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kSetButton) {
      SetChosenTime();
      done = true;
    }
  }
  CloseModalWindow(kWindowId);
}
