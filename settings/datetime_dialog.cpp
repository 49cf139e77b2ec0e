// "Установка даты и времени": six lists showing the program's clock and the
// choice of UTC or local time. The date and time set here move the offset on
// the program's clock for the rest of the run, by exactly as much as the
// lists were changed; the computer's clock is never touched and the offset is
// not saved. The UTC choice is kept in options.ini.
#include "settings/settings.h"

#include <cstdint>
#include <string_view>

#include "base/date.h"
#include "base/text.h"
#include "settings/options.h"
#include "ui/modal.h"

namespace {

constexpr int kWindowId = 2;
constexpr int kSetButton = 1930;
constexpr int kUtcBox = 1931;
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2037;
constexpr int64_t kLastValue = 2147483647;
constexpr int64_t kZoneStep = 900;  // zones differ from UTC by whole quarters of an hour

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

// What the open dialog remembers: the moment its lists showed (in the kind of
// time the box names) and that kind.
struct DialogView {
  DateValue shown = InvalidDate;
  bool utc = false;
};

DateValue Shifted(DateValue value, int64_t seconds) {
  if (value == InvalidDate) return InvalidDate;
  const int64_t moved = int64_t{value} + seconds;
  return moved < 0 || moved > kLastValue ? InvalidDate : static_cast<DateValue>(moved);
}

void CreateControls() {
  CreateLabel(1901, 20, 20, 60, 18, "Дата:"_cp, kLabelRight);
  CreateLabel(1902, 20, 50, 60, 18, "Время:"_cp, kLabelRight);
  CreatePushButton(kSetButton, 116, 110, 140, 25, "Установить"_cp);
  for (const PartList& list : kPartLists) {
    CreateDropDownList(list.id, list.x, list.y, 80, 180);
    for (int number = list.first; number <= list.last; ++number) {
      AppendListEntry(list.id, DecimalText(number));
    }
  }
  CreateCheckBox(kUtcBox, 80, 80, 260, 20, "Время UTC"_cp);
}

// Selects in each list the entry of the moment's field; a field the list
// does not offer (a year after 2037) leaves that list without a selection,
// and an invalid moment leaves every list as it was.
void ShowMoment(DateValue moment) {
  if (moment == InvalidDate) return;
  for (const PartList& list : kPartLists) {
    const int32_t number = ParseDecimal(RenderDatePattern(list.pattern, moment));
    SetControlValue(list.id,
                    number >= list.first && number <= list.last ? number - list.first : -1);
  }
}

// The moment the lists name; InvalidDate for a list without a selection or an
// impossible day such as 31 February.
DateValue ChosenMoment() {
  std::array<int32_t, kPartLists.size()> index{};
  for (std::size_t i = 0; i < kPartLists.size(); ++i) {
    index[i] = GetControlValue(kPartLists[i].id);
    if (index[i] < 0) return InvalidDate;
  }
  return DateFromParts(kFirstYear + index[kYear], index[kMonth] + 1, index[kDay] + 1, index[kHour],
                       index[kMinute], index[kSecond]);
}

// The box turned from one kind of time to the other: the lists and the moment
// they showed move by the difference of the two, so that what the operator
// changed in the lists stays changed and nothing else moves.
void SwitchKind(DialogView& view, bool utc) {
  if (utc == view.utc) return;
  const DateValue before = ReadClock(view.utc);
  const DateValue after = ReadClock(utc);
  view.utc = utc;
  if (before == InvalidDate || after == InvalidDate) return;
  const int64_t raw = int64_t{after} - before;
  const int64_t zone = (raw + (raw >= 0 ? kZoneStep / 2 : -kZoneStep / 2)) / kZoneStep * kZoneStep;
  const DateValue chosen = ChosenMoment();
  view.shown = Shifted(view.shown, zone);
  ShowMoment(chosen != InvalidDate ? Shifted(chosen, zone) : view.shown);
}

// "Установить": the clock's offset moves by what the lists were changed by
// since they were shown; nothing changed leaves the clock exactly as it was.
// Lists that name no moment, or a clock that showed none, leave the offset.
// The kind of time the box names holds from now on and is saved.
void SetChosenTime(const DialogView& view) {
  const DateValue chosen = ChosenMoment();
  if (chosen != InvalidDate && view.shown != InvalidDate) {
    SetClockOffset(ClockOffset() + (int64_t{chosen} - view.shown));
  }
  if (view.utc != Options.ClockUtc) {
    Options.ClockUtc = view.utc;
    SetClockUtc(view.utc);
    SaveOptionsGroup(kClockGroup);  // a failed write is said and tried again later
  }
}

}  // namespace

void DateTimeDialog() {
  if (OpenModalWindow(kWindowId, 372, 150, "Установка даты и времени"_cp) == 0) return;
  CreateControls();
  DialogView view;
  view.utc = ClockIsUtc();
  view.shown = ReadClock(view.utc);
  ShowMoment(view.shown);
  SetControlValue(kUtcBox, view.utc ? 1 : 0);

  bool done = false;
  while (!done) {
    const int code = WaitForEvent();
    if (EventWindowId() != kWindowId) continue;
    if (IsDialogCancel(code)) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kUtcBox) {
      SwitchKind(view, GetControlValue(kUtcBox) == 1);
    } else if (code == kEventControl && EventSourceId() == kSetButton) {
      SetChosenTime(view);
      done = true;
    }
  }
  CloseModalWindow(kWindowId);
}
