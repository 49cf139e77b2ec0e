// The real event loop on the headless backend, fed a random sequence of keys,
// Alt-keys, clicks and timer ticks (no menus), on a report that may be
// empty, short or nearly full. After every event the log's row count and view
// must be in range, the informer must hold at most 64 entries, and the report
// on disk must read back to the log in memory.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "app/app.h"
#include "base/date.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"
#include "ui/headless.h"

namespace {

const std::string kReport = "LOG.CBR";
constexpr int kMaxEvents = 1500;
DateValue Clock = 0;
// The last report file and log in memory found to agree.
struct {
  std::string disk;
  uint64_t memory = 0;
} Checked;

// A digest of everything the report is built from (FNV-1a): far cheaper
// than building the text of a long log at every event.
uint64_t MemoryDigest() {
  uint64_t h = 14695981039346656037u;
  auto add = [&h](std::string_view text) {
    for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    h = (h ^ 0x1F) * 1099511628211u;
  };
  add(std::to_string(Log.QsoCount));
  for (int r = 1; r <= Log.QsoCount && r <= kLogRows; ++r) {
    for (const std::string& field : Log.QsoLog[static_cast<std::size_t>(r)]) add(field);
  }
  const ReportHeaderRecord& header = ReportHeader;
  for (const std::string* field :
       {&header.Contest, &header.Callsign, &header.Location, &header.CategoryOperator,
        &header.CategoryPower, &header.CategoryBand, &header.CategoryMode, &header.Email,
        &header.Operators[1], &header.Operators[2], &header.Operators[3], &header.Soapbox,
        &header.ClaimedScore}) {
    add(*field);
  }
  return h;
}

// Keys the program knows and a few it ignores.
constexpr int kKeys[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D',
                         'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R',
                         'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', 32,  8,   9,   46,  13,  33,
                         34,  37,  38,  39,  40,  188, 190, 222, 96,  101, 105, 0,   27,  112};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

// Row r of a made-up report: `calls` call signs and `bands` bands in turn, so
// the duplicate scan finds repeats, and the informer (the stations of one
// band) has few entries or more than it holds.
void FillRow(int r, int calls, int bands) {
  QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(r)];
  const int minute = r % 60;
  row[kColTime] = AlignRight(DecimalText(9 + r / 60 % 15), 2, '0') + ":" +
                  AlignRight(DecimalText(minute), 2, '0');
  row[kColBand] = BandTable[static_cast<std::size_t>(1 + r % bands)].text;
  row[kColMode] = ModeTable[static_cast<std::size_t>(1 + r % 3)];
  row[kColCall] = "UA" + DecimalText(r % calls) + "AB";
  row[kColSent] = "599" + AlignRight(DecimalText(r), 3, '0');
  row[kColReceived] = r % 5 == 0 ? "" : "59" + DecimalText(r);
  row[kColDate] = "2010-03-07";
}

bool FinishedTime(const std::string& time) {
  return time.size() == 5 && time[2] == ':' && IsDigitByte(time[0]) && IsDigitByte(time[1]) &&
         IsDigitByte(time[3]) && IsDigitByte(time[4]);
}

void CheckState() {
  Require(Log.QsoCount >= 1 && Log.QsoCount <= kLogRows, "the log holds 1..768 rows",
          std::to_string(Log.QsoCount));
  const int maxTop = Log.QsoCount > kGridRows ? Log.QsoCount - kGridRows : 0;
  Require(Log.TopOffset >= 0 && Log.TopOffset <= maxTop, "the view starts within the log",
          std::to_string(Log.TopOffset) + " of " + std::to_string(Log.QsoCount));
  Require(Log.CurrentRow >= 1 && Log.CurrentRow <= kGridRows &&
              Log.TopOffset + Log.CurrentRow <= Log.QsoCount,
          "the cursor is on a row in use",
          std::to_string(Log.TopOffset) + "+" + std::to_string(Log.CurrentRow) + " of " +
              std::to_string(Log.QsoCount));
  Require(Log.CurrentColumn >= 1 && Log.CurrentColumn <= kGridColumns, "the cursor is in a column");
  Require(App.InformerCount >= 0 && App.InformerCount <= kInformerCapacity,
          "the informer holds at most 64 entries", std::to_string(App.InformerCount));
  Require(!Report.WriteFailed && AppSettings.File == kReport, "the report is written");

  // Reading back is slow for a long log: a file and a log that were found
  // to agree need no second look.
  const std::string disk = ReadBytes(kReport);
  const uint64_t digest = MemoryDigest();
  if (disk == Checked.disk && digest == Checked.memory) return;
  Checked = {disk, digest};
  const std::string text = BuildReportText();
  // The log in memory is set aside (swapped, not copied: a copy of all its
  // rows would cost more than the rest of the check) while the report is read.
  static LogState memory;
  std::swap(memory, Log);
  const ReportHeaderRecord header = ReportHeader;
  Require(ReadReportFile(kReport), "the report can be read");
  // A report without QSO lines (the only row was just removed, or none was
  // ever written) opens with its empty entry row, which is what memory holds
  // until the next change is written.
  const bool noRows = Log.QsoCount == 0;
  if (noRows) {
    // Such a file holds no date either; the reader leaves the date of the
    // entry row as it was (here, from the last check's reading).
    Log.QsoCount = 1;
    Log.QsoLog[1][kColDate].clear();
  }
  Require(noRows || disk == text, "the report on disk holds every change");
  Require(
      Log.QsoCount == memory.QsoCount, "the report reads back to as many rows",
      std::to_string(Log.QsoCount) + " read, " + std::to_string(memory.QsoCount) + " in memory");
  for (int r = 1; r <= memory.QsoCount; ++r) {
    const QsoRecord& mine = memory.QsoLog[static_cast<std::size_t>(r)];
    const QsoRecord& read = Log.QsoLog[static_cast<std::size_t>(r)];
    for (int c : {kColBand, kColMode, kColCall, kColSent, kColReceived, kColDate}) {
      Require(read[static_cast<std::size_t>(c)] == TrimSpaces(mine[static_cast<std::size_t>(c)]),
              "a field reads back from the report",
              "row " + std::to_string(r) + " column " + std::to_string(c) + ": [" +
                  mine[static_cast<std::size_t>(c)] + "] read as [" +
                  read[static_cast<std::size_t>(c)] + "]");
    }
    // An unfinished time keeps only its first and last two characters in
    // the file; the rebuilt text below covers it.
    if (mine[kColTime].empty() || FinishedTime(mine[kColTime])) {
      Require(read[kColTime] == mine[kColTime], "a time reads back from the report",
              "row " + std::to_string(r) + ": [" + mine[kColTime] + "] read as [" + read[kColTime] +
                  "]");
    }
  }
  Require(BuildReportText() == text, "the report read back writes the log in memory");
  std::swap(memory, Log);
  ReportHeader = header;
}

// The events of the input, each an operation byte and an argument byte (a
// click takes a third): the operation modulo 8 is a key (0-2, repeated up to
// three times), a key held for up to 497 repeats (3), an Alt-key (4: a
// letter or a byte past Z), a click at 4 * arg - 20, 2 * next - 10 (5), a
// timer tick after the clock moved on by 37 * arg seconds (6), or a key that
// goes down and never up (7). The argument picks the key from kKeys.
void Queue(const uint8_t* data, std::size_t size) {
  std::size_t i = 0;
  int events = 0;
  auto next = [&] { return i < size ? data[i++] : uint8_t{0}; };
  while (i < size && events < kMaxEvents) {
    const uint8_t op = next();
    const uint8_t arg = next();
    const int key = kKeys[arg % kKeyCount];
    int repeat = 1;
    switch (op % 8) {
      case 0:
      case 1:
      case 2:
        repeat = 1 + (op >> 3) % 3;
        break;
      case 3:  // a key held long: many rows, deep scrolling
        repeat = 1 + (op >> 3) * 16;
        break;
      default:
        break;
    }
    for (int k = 0; k < repeat && events < kMaxEvents; ++k, ++events) {
      switch (op % 8) {
        case 4:
          headless::QueueAltKey('A' + arg % 30);
          break;
        case 5:
          headless::QueueClick(arg * 4 - 20, next() * 2 - 10);
          break;
        case 6: {
          const int step = arg * 37;
          headless::QueueProbe([step] { Clock += step; });
          headless::QueueTimer();
          break;
        }
        case 7:  // a key that goes down without coming up
          headless::QueueKeyDown(key);
          break;
        default:
          headless::QueueKeyDown(key);
          headless::QueueProbe(CheckState);
          headless::QueueKeyUp(key);
          break;
      }
      headless::QueueProbe(CheckState);
    }
  }
}

}  // namespace

// Byte 0 chooses the log the program starts with, byte 1 its settings and
// call signs; the events follow.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EnterPrivateFolder();
  if (size < 2) return 0;
  // The report the program finds at its start: no rows, a few, or (a first
  // byte from 0xF0 on, rarer, as every event costs more there) nearly full.
  constexpr int kRows[] = {0, 1, 1, 2, 3, 5, 29, 30, 31, 60, 100};
  ResetProgram();
  Log.QsoCount = data[0] >= 0xF0 ? kLogRows - 1 + (data[0] & 1) : kRows[data[0] % std::size(kRows)];
  constexpr struct { int calls, bands; } kMixes[] = {{7, 9}, {70, 1}, {200, 2}, {1000, 3}};
  const auto& mix = kMixes[data[1] / 64];
  for (int r = 1; r <= Log.QsoCount; ++r) FillRow(r, mix.calls, mix.bands);
  ReportHeader.Callsign = "RK3ABC";
  RemoveFile(kReport + ".bak");
  WriteBytes(kReport, BuildReportText());

  // Its settings (the other bits of the second byte): sub-tour length,
  // sent-number rule, enabled bands and modes.
  ResetProgram();
  constexpr int32_t kMinutes[] = {30, 60, 15, 0};
  constexpr const char* kPositions[] = {"Right", "Left", "None", "right"};
  AppSettings.File = kReport;
  AppSettings.TimeMin = kMinutes[data[1] % 4];
  AppSettings.PosNum = kPositions[data[1] / 4 % 4];
  AppSettings.LenNum = data[1] / 16 % 4 * 2;
  AppSettings.BandFlags = {0, 1, 1, 1, 1, 0, 0, 1, 0, 1, 0};
  AppSettings.ModeFlags = {0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  Require(SaveSettings(), "corvane.ini is written");
  ResetSettings();

  Checked = {};
  Clock = 1267952702;  // 2010-03-07 09:05:02
  SetClockSource([](bool) { return Clock; });  // local or UTC alike
  headless::QueueProbe(CheckState);
  Queue(data + 2, size - 2);
  Require(RunCorvane() == 0, "the program ends normally");
  CheckState();  // what the program left behind at its end
  ResetProgram();
  return 0;
}
