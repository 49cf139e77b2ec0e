// The informer columns with their two ways of picking a call sign, the clock
// in the title bar and the station box. The list itself is made by the
// duplicate scan; this file only sorts, shows and picks from it.
#include <algorithm>
#include <cstdint>
#include <string>

#include "app/app.h"
#include "base/date.h"
#include "base/text.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

constexpr int kHotkeyLetters = 26;  // Alt-A .. Alt-Z
constexpr int kLetterA = 65;
constexpr int kInformerLeft = 550, kInformerRight = 787;
constexpr int kGridTop = 25, kGridBottom = 474;
constexpr int kInformerColumnWidth = 119;

constexpr int32_t kBoxText = -1;  // the default text colour
constexpr int32_t kBoxBack = 0xCCCCFF;

// The grid cell of informer entry k = 1..60: column 8 for 1..30, 9 for 31..60.
int InformerCell(int k) { return k <= kGridRows ? CellId(k, 8) : CellId(k - kGridRows, 9); }

void PickEntry(int index) {
  const std::string call = RemoveSubtext(App.InformerList[static_cast<std::size_t>(index)], " ");
  StoreCell(kColCall, Log.CurrentRow, Log.TopOffset, call);
}

}  // namespace

void RebuildInformer() {
  const int count = std::min(TextLength(App.InformerText) / kInformerEntryWidth, kInformerCapacity);
  for (int k = 1; k <= count; ++k)
    App.InformerList[static_cast<std::size_t>(k)] =
        MidChars(App.InformerText, (k - 1) * kInformerEntryWidth + 1, kInformerEntryWidth);
  // Unsigned byte order of the whole padded entries: UA1A before UA1AB.
  std::sort(App.InformerList.begin() + 1, App.InformerList.begin() + 1 + count,
            [](const std::string& a, const std::string& b) { return TextGreater(b, a); });
  App.InformerCount = count;
  App.InformerHotkeyCount = std::min(count, kHotkeyLetters);
  for (int k = 1; k <= kInformerShown; ++k) {
    const std::string& entry = App.InformerList[static_cast<std::size_t>(k)];
    if (k <= count && !entry.empty()) {
      const std::string label =
          k <= kHotkeyLetters ? "Alt-" + CharText(kLetterA - 1 + k) : SpaceRun(5);
      SetControlText(InformerCell(k), label + " " + entry);
    } else {
      SetControlText(InformerCell(k), "");
    }
  }
}

bool PickInformerByMouse(int x, int y) {
  if (x < kInformerLeft || x > kInformerRight || y < kGridTop || y > kGridBottom) return false;
  const int column = (x - kInformerLeft) / kInformerColumnWidth;
  const int row = (y - 10) / 15;
  const int index = column * kGridRows + row;
  if (index < 1 || index > App.InformerCount) return false;
  PickEntry(index);
  return true;
}

void PickInformerByLetter(int keyCode) {
  if (keyCode < kLetterA || keyCode > kLetterA - 1 + App.InformerHotkeyCount) return;
  PickEntry(keyCode - kLetterA + 1);
}

void RefreshStationBox() {
  const bool full = Log.QsoCount >= kLogRows &&
                    !TrimSpaces(Log.QsoLog[static_cast<std::size_t>(kLogRows)][kColTime]).empty();
  std::string text;
  bool warning = true;
  if (AppSettings.File.empty() && Report.HeldElsewhere) {
    text = kHeldElsewhereText;
  } else if (AppSettings.File.empty()) {
    text = "Отчёт не загружен!"_cp;
    warning = false;
  } else if (Report.WriteFailed) {
    text = "Отчёт не записан!"_cp;
  } else if (Report.InPlaceTicks > 0) {
    text = kInPlaceText;
  } else if (full) {
    text = "Журнал заполнен!"_cp;
  } else {
    text = ReportHeader.Callsign;
    warning = false;
  }
  SetControlText(kStationBoxId, text);
  SetControlColour(kStationBoxId, kColourText, warning ? kWarningText : kBoxText);
  SetControlColour(kStationBoxId, kColourBack, warning ? kWarningBack : kBoxBack);
}

void TimerTick() {
  // Two readings of the clock, the date first.
  const std::string date = RenderDatePattern("%yyyy-%mm-%dd", CurrentDateValue());
  const std::string time = RenderDatePattern("%hh:%ii:%ss", CurrentDateValue());
  SetAppWindowTitle(kMainWindowId, std::string(kTitleText) + SpaceRun(83) + "Date: " + date +
                                       SpaceRun(5) + "Time: " + time +
                                       (ClockIsUtc() ? " UTC" : ""));
  if (Report.InPlaceTicks > 0) --Report.InPlaceTicks;
  RefreshStationBox();
  FollowRig();
}
