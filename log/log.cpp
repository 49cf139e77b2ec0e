#include "log/log.h"

#include "base/text.h"
#include "settings/settings.h"
#include "ui/window.h"

LogState Log;

void ResetLog() {
  const int64_t epoch = Log.Epoch;
  Log = {};
  Log.Epoch = epoch + 1;  // nothing worked out from the old rows stays
}

namespace {

// The decimal value of a text as the log reads numbers: blanks, a sign, digits.
int32_t NumericValue(std::string_view text) { return ParseDecimal(text); }

// The next class after `from` in 1..count whose flag is 1; `from` when none is.
int NextEnabled(int from, int count, const std::array<int32_t, 11>& flags) {
  int cls = from;
  for (int step = 0; step < count; ++step) {
    cls = cls >= count ? 1 : cls + 1;
    if (flags[static_cast<std::size_t>(cls)] == 1) return cls;
  }
  return from;
}

}  // namespace

int ClassifyBand(std::string_view band) {
  if (band.empty()) return 0;
  const int32_t value = NumericValue(band);
  for (int cls = 1; cls <= kBandClasses; ++cls) {
    const auto& entry = BandTable[static_cast<std::size_t>(cls)];
    if (value >= entry.low && value <= entry.high) return cls;
  }
  return 0;
}

int ClassifyMode(std::string_view mode) {
  const std::string trimmed = TrimSpaces(mode);
  for (int cls = 1; cls <= kModeClasses; ++cls) {
    if (trimmed == ModeTable[static_cast<std::size_t>(cls)]) return cls;
  }
  return 0;
}

SubTourKey SubTourOfTime(std::string_view time, int32_t minutes) {
  // The time as the program stamps it, "hh:ii", read directly.
  if (time.size() == 5 && IsDigitByte(time[0]) && IsDigitByte(time[1]) && time[2] == ':' &&
      IsDigitByte(time[3]) && IsDigitByte(time[4])) {
    return {(time[0] - '0') * 10 + (time[1] - '0'), ((time[3] - '0') * 10 + (time[4] - '0')) / minutes};
  }
  // The hour is the first two bytes of the trimmed text, the minute its last two.
  std::size_t first = 0, end = time.size();
  while (first < end && time[first] == ' ') ++first;
  while (end > first && time[end - 1] == ' ') --end;
  const std::size_t length = end - first;
  const std::size_t head = length < 2 ? length : 2;
  return {ParseDecimal(time.substr(first, head)), ParseDecimal(time.substr(end - head, head)) / minutes};
}

std::string RepeatCallEntry(std::string_view call) {
  return AlignLeft(TrimSpaces(call), kRepeatCallWidth);
}

int NextEnabledBand(int from) { return NextEnabled(from, kBandClasses, AppSettings.BandFlags); }

int NextEnabledMode(int from) { return NextEnabled(from, kModeClasses, AppSettings.ModeFlags); }

void RefreshGrid(int offset) {
  for (int r = 1; r <= kGridRows; ++r) {
    const int row = offset + r;
    for (int c = 1; c <= kGridColumns; ++c) {
      if (row > Log.QsoCount) {
        if (row >= 1 && row <= kLogRows)
          Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)].clear();
        SetControlText(CellId(r, c), "");
      } else {
        // Row 0 (offset -1, while the only row is deleted) shows as empty.
        SetControlText(CellId(r, c),
                       row >= 1
                           ? Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)]
                           : std::string());
      }
    }
  }
}

void HighlightCell(int cellId, int mode) {
  const bool ordinary = mode == 1;
  SetControlColour(cellId, kColourText, ordinary ? AppSettings.Background : AppSettings.ColorText);
  SetControlColour(cellId, kColourBack, ordinary ? AppSettings.ColorText : AppSettings.Background);
}

void StoreCell(int column, int gridRow, int topOffset, std::string_view text) {
  const int cell = CellId(gridRow, column);
  if (cell >= 100) {
    if (column >= 1 && column <= kGridColumns) SetControlText(cell, text);
    const int row = gridRow + topOffset;
    if (row >= 1 && row <= kLogRows && column >= 1 && column <= kColDate) {
      Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
      Log.RowStamps[static_cast<std::size_t>(row)] = Log.Edits + 1;
    }
  } else {
    ++Log.Epoch;  // a change made outside: any row may differ
  }
  Log.Changed = true;
  ++Log.Edits;
}

bool TakeLogChange() {
  const bool changed = Log.Changed;
  Log.Changed = false;
  return changed;
}
