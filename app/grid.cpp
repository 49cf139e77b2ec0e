// Contact entry on the grid: the mouse selection of a cell and every key the
// grid takes. Fields change only through StoreCell, so the report file follows
// the key presses (rewritten before the program next waits: once for all the
// keys that were already waiting); the view is repainted through RefreshGrid
// and HighlightCell.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/app.h"
#include "base/date.h"
#include "base/text.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

// Virtual-key codes the grid takes.
constexpr int kKeyBackspace = 8;
constexpr int kKeyTab = 9;
constexpr int kKeyEnter = 13;
constexpr int kKeySpace = 32;
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyDelete = 46;
constexpr int kKeyDigit0 = 48;
constexpr int kKeyDigit9 = 57;
constexpr int kKeyLetterA = 65;
constexpr int kKeyLetterZ = 90;
constexpr int kKeyPad0 = 96;
constexpr int kKeyPad9 = 105;
constexpr int kKeyPadDivide = 111;
constexpr int kKeyComma = 188;
constexpr int kKeyPeriod = 190;
constexpr int kKeySlash = 191;  // the key right of the period
constexpr int kKeyQuote = 222;

constexpr int kPageStep = 29;  // one row of the old page stays visible

// Serial parts longer than this are not advanced digit by digit: their value
// is kept within a 64-bit count and the padding within a sane width.
constexpr int kSerialMaxDigits = 18;

int CurrentLogRow() { return Log.TopOffset + Log.CurrentRow; }

const std::string& CurrentField(int column) {
  return Log.QsoLog[static_cast<std::size_t>(CurrentLogRow())][static_cast<std::size_t>(column)];
}

// StoreCell on the current row.
void StoreCurrent(int column, std::string_view text) {
  StoreCell(column, Log.CurrentRow, Log.TopOffset, text);
}

// The time and date of the current row from the clock, each its own reading.
void StampCurrentRow() {
  StoreCurrent(kColTime, RenderDatePattern("%hh:%ii", CurrentDateValue()));
  StoreCurrent(kColDate, RenderDatePattern("%yyyy-%mm-%dd", CurrentDateValue()));
}

// The decimal value of a serial part: blanks, a sign, digits, as the log reads
// numbers, but counted in 64 bits so that long serials do not wrap.
int64_t SerialValue(std::string_view text) {
  const DecimalScan scan = ScanDecimal(text);
  int64_t value = 0;
  for (char digit : scan.digits.substr(0, kSerialMaxDigits)) value = value * 10 + (digit - '0');
  return scan.negative ? -value : value;
}

// The sent exchange of the next entry row: the serial part (the last or the
// first `length` characters, by `position`) advanced by one and padded with
// zeros to its width; "None" copies the text.
std::string NextSentNumber(std::string_view sent, std::string_view position, int32_t length) {
  if (position == "None") return std::string(sent);
  const int n = TextLength(sent);
  const int width = length < 0 ? 0 : (length > kSerialMaxDigits ? kSerialMaxDigits : length);
  const bool right = position == "Right";
  const std::string serial = right ? TailChars(sent, width) : HeadChars(sent, width);
  const std::string fixed = right ? HeadChars(sent, n - width) : TailChars(sent, n - width);
  if (width == 0) return fixed;
  int64_t limit = 1;
  for (int k = 0; k < width; ++k) limit *= 10;
  // A serial that runs over its width starts again from zero, as a counter
  // does: 999 with a width of 3 is followed by 000.
  int64_t next = SerialValue(serial) + 1;
  if (next >= limit) next %= limit;
  std::string digits = std::to_string(next);
  if (TextLength(digits) < width) digits = AlignRight(digits, width, '0');
  digits = HeadChars(digits, width);  // only a negative serial can still be too long
  return right ? fixed + digits : digits + fixed;
}

}  // namespace

void SelectCellByMouse(int x, int y) {
  static constexpr struct {
    int left, right, column;
  } kColumns[] = {{10, 60, 1},   {61, 131, 2},  {132, 182, 3}, {183, 283, 4},
                  {284, 384, 5}, {385, 485, 6}, {486, 536, 7}};
  int column = 0;
  for (const auto& band : kColumns)
    if (x >= band.left && x <= band.right) column = band.column;
  const int row = (y - 10) / 15;
  if (column == 0 || y < 25 || row < 1 || row > kGridRows) return;
  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 1);
  if (row + Log.TopOffset <= Log.QsoCount) {
    Log.CurrentRow = row;
    Log.CurrentColumn = column;
  } else {
    Log.CurrentRow = Log.QsoCount - Log.TopOffset;
  }
  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 0);
}

namespace {

void TypeKey(int key) {
  if (key >= kKeyPad0 && key <= kKeyPad9) key -= kKeyPad0 - kKeyDigit0;
  const int column = Log.CurrentColumn;
  // "/" of a portable call sign (R3A/P) is taken in the call-sign column only.
  const bool slash = key == kKeySlash || key == kKeyPadDivide;
  if (slash && column != kColCall) return;
  if (slash) key = '/';
  std::string text = CurrentField(column);
  if (TextLength(text) >= ColumnMaxLength[static_cast<std::size_t>(column)]) return;
  const bool digit = key >= kKeyDigit0 && key <= kKeyDigit9;
  if (column == kColTime) {
    if (digit) {
      if (TextLength(text) == 2) text += ':';
      text += static_cast<char>(key);
    }
  } else if (column == kColBand || column == kColPoints) {
    if (digit) text += static_cast<char>(key);
  } else {
    text += static_cast<char>(key);
  }
  StoreCurrent(column, text);
}

void EraseKey() {
  std::string text = CurrentField(Log.CurrentColumn);
  if (text.empty()) return;
  // In the time column "12:" loses the colon with its digit.
  const int cut = Log.CurrentColumn == kColTime && TextLength(text) == 3 ? 2 : 1;
  text.resize(text.size() - static_cast<std::size_t>(cut));
  StoreCurrent(Log.CurrentColumn, text);
}

void RemoveLastRow() {
  if (CurrentLogRow() < Log.QsoCount) return;
  // The removed row leaves nothing behind, not even its date, which the grid
  // does not show and the next entry row there would otherwise inherit.
  Log.QsoLog[static_cast<std::size_t>(Log.QsoCount)] = QsoRecord{};
  if (Log.QsoCount <= 1) {
    // The only row: the file is written without QSO lines, then an empty
    // entry row takes its place.
    Log.QsoCount = 0;
    Log.TopOffset = 0;
    Log.CurrentRow = 1;
    RefreshGrid(-1);
    StoreCell(0, 0, 0, "");
    FlushReport();  // written now, while the log has no row; the new entry row is not
    Log.QsoCount = 1;
    return;
  }
  --Log.QsoCount;
  // At grid row 30 the view scrolls back while it can; otherwise the cursor
  // moves up onto the new last row.
  if (Log.TopOffset > 0 && (Log.CurrentRow == kGridRows || Log.CurrentRow == 1))
    --Log.TopOffset;
  else
    --Log.CurrentRow;
  RefreshGrid(Log.TopOffset);
  StoreCell(0, 0, 0, "");
}

void CommitRow() {
  StampCurrentRow();
  const std::string band = TrimSpaces(CurrentField(kColBand));
  const std::string mode = TrimSpaces(CurrentField(kColMode));
  const std::string sent = TrimSpaces(CurrentField(kColSent));
  if (sent.empty()) return;
  // Only the last row opens a new entry row; an older row is only re-stamped.
  if (CurrentLogRow() < Log.QsoCount) return;
  // No row 769: the stamp stays, and the station box says the log is full.
  if (Log.QsoCount >= kLogRows) return;
  const std::string next = NextSentNumber(sent, AppSettings.PosNum, AppSettings.LenNum);
  ++Log.QsoCount;
  // A row past the end may still hold the date of a row removed or read earlier.
  Log.QsoLog[static_cast<std::size_t>(Log.QsoCount)][kColDate].clear();
  // At grid row 30 the view scrolls one row; the one refresh below shows it.
  if (Log.CurrentRow < kGridRows) {
    ++Log.CurrentRow;
  } else {
    ++Log.TopOffset;
  }
  StoreCurrent(kColTime, "");
  StoreCurrent(kColBand, band);
  StoreCurrent(kColMode, mode);
  StoreCurrent(kColCall, "");
  StoreCurrent(kColSent, next);
  StoreCurrent(kColReceived, "");
  StoreCurrent(kColPoints, "");
  RefreshGrid(Log.TopOffset);
}

// With no band or mode enabled the field stays as it is.
void CycleBand() {
  const int next = NextEnabledBand(ClassifyBand(TrimSpaces(CurrentField(kColBand))));
  if (next < 1 || AppSettings.BandFlags[static_cast<std::size_t>(next)] != 1) return;
  StoreCurrent(kColBand, BandTable[static_cast<std::size_t>(next)].text);
  RefreshGrid(Log.TopOffset);
}

void CycleMode() {
  const int next = NextEnabledMode(ClassifyMode(TrimSpaces(CurrentField(kColMode))));
  if (next < 1 || AppSettings.ModeFlags[static_cast<std::size_t>(next)] != 1) return;
  StoreCurrent(kColMode, ModeTable[static_cast<std::size_t>(next)]);
  RefreshGrid(Log.TopOffset);
}

void PageUp() {
  if (Log.CurrentRow != 1) {
    Log.CurrentRow = 1;
    return;
  }
  Log.TopOffset = Log.TopOffset >= kPageStep ? Log.TopOffset - kPageStep : 0;
  RefreshGrid(Log.TopOffset);
}

void PageDown() {
  if (Log.QsoCount <= kGridRows) {
    Log.CurrentRow = Log.QsoCount;
    return;
  }
  if (Log.CurrentRow != kGridRows) {
    Log.CurrentRow = kGridRows;
    return;
  }
  Log.TopOffset = Log.TopOffset < Log.QsoCount - kGridRows - kPageStep ? Log.TopOffset + kPageStep
                                                                       : Log.QsoCount - kGridRows;
  RefreshGrid(Log.TopOffset);
}

void MoveUp() {
  if (Log.CurrentRow > 1) {
    --Log.CurrentRow;
  } else if (Log.TopOffset > 0) {
    --Log.TopOffset;
    RefreshGrid(Log.TopOffset);
  }
}

void MoveDown() {
  if (Log.CurrentRow < kGridRows && Log.CurrentRow < Log.QsoCount) {
    ++Log.CurrentRow;
  } else if (Log.TopOffset < Log.QsoCount - kGridRows) {
    ++Log.TopOffset;
    RefreshGrid(Log.TopOffset);
  }
}

}  // namespace

void HandleKeyDown(int keyCode) {
  if (CurrentLogRow() < 1 || CurrentLogRow() > kLogRows) return;
  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 1);
  const bool typed = (keyCode >= kKeyDigit0 && keyCode <= kKeyDigit9) ||
                     (keyCode >= kKeyLetterA && keyCode <= kKeyLetterZ) ||
                     (keyCode >= kKeyPad0 && keyCode <= kKeyPad9) || keyCode == kKeySpace ||
                     keyCode == kKeySlash || keyCode == kKeyPadDivide;
  if (typed) {
    TypeKey(keyCode);
  } else {
    switch (keyCode) {
      case kKeyBackspace:
        EraseKey();
        break;
      case kKeyTab:
        Log.CurrentColumn = Log.CurrentColumn == kColCall ? kColReceived : kColCall;
        break;
      case kKeyDelete:
        RemoveLastRow();
        break;
      case kKeyEnter:
        CommitRow();
        break;
      case kKeyPageUp:
        PageUp();
        break;
      case kKeyPageDown:
        PageDown();
        break;
      case kKeyLeft:
        if (Log.CurrentColumn > 1) --Log.CurrentColumn;
        break;
      case kKeyRight:
        if (Log.CurrentColumn < kGridColumns) ++Log.CurrentColumn;
        break;
      case kKeyUp:
        MoveUp();
        break;
      case kKeyDown:
        MoveDown();
        break;
      case kKeyComma:
        CycleBand();
        break;
      case kKeyPeriod:
        StampCurrentRow();
        break;
      case kKeyQuote:
        CycleMode();
        break;
      default:
        break;
    }
  }
  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 0);
  // Stamping, erasing or removing the last row of a full log shows at once.
  if (Log.QsoCount >= kLogRows - 1) RefreshStationBox();
}
