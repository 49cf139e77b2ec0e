// Scripted sessions at the grid for the entry, duplicate-scan and informer
// tests: a settings file and a report in the test folder, the real start-up,
// and the real event loop run over queued events, as often as a test needs
// to look between steps (the controls stay alive until the test ends).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

inline constexpr char kOwnCall[] = "UA3XYZ";

// Virtual-key codes used by the scripts.
inline constexpr int kVkBackspace = 8, kVkTab = 9, kVkEnter = 13, kVkPageUp = 33, kVkPageDown = 34,
                     kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkDelete = 46,
                     kVkComma = 188, kVkPeriod = 190, kVkQuote = 222;

// One contact as it stands in a report file.
struct Qso {
  std::string band, mode, date, time, call, sent, received;
};

// The QSO line the report writer makes of `q` (81 bytes, no line end).
inline std::string QsoLine(const Qso& q) {
  return "QSO: " + AlignLeft(q.band, 6) + AlignLeft(q.mode, 3) + AlignLeft(q.date, 11) +
         AlignLeft(HeadChars(q.time, 2) + TailChars(q.time, 2), 5) + AlignLeft(kOwnCall, 14) +
         AlignLeft(q.sent, 11) + AlignLeft(q.call, 14) + AlignLeft(q.received, 11) + " ";
}

inline DateValue At(int hour, int minute, int day = 7) {
  return DateFromParts(2010, 3, day, hour, minute, 0);
}

class EntryTest : public ProgramTest {
 protected:
  std::string ReportPath() const { return dir_ + "/LOG.CBR"; }

  // corvane.ini with these Main keys ("TimeMin = 60", ...); with `rows` also
  // a report holding them, opened at start-up.
  void Prepare(const std::vector<Qso>& rows,
               std::initializer_list<std::string_view> mainKeys = {}) {
    std::string ini = "[Main]\r\n";
    if (!rows.empty()) {
      ini += "File = " + ReportPath() + "\r\n";
      std::string report = "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCALLSIGN: ";
      report += kOwnCall;
      report += "\r\n";
      for (const Qso& q : rows) report += QsoLine(q) + "\r\n";
      report += "END-OF-LOG: \r\n";
      WriteFileBytes(ReportPath(), report);
    }
    for (std::string_view key : mainKeys) ini += std::string(key) + "\r\n";
    WriteFileBytes("corvane.ini", ini);
  }

  // A fresh program for the next case of a table.
  void Restart() {
    ResetEverything();
    WriteFileBytes("corvane.ini", "");
    WriteFileBytes(ReportPath(), "");
  }

  static void Start() { ASSERT_TRUE(StartUp()); }

  // Runs the event loop until the queued events are used up.
  static void Run() {
    App.QuitRequested = false;
    RunEventLoop();
  }

  // Queues a key press and release for each letter, digit or space.
  static void Type(std::string_view text) {
    for (char c : text) headless::QueueKey(static_cast<unsigned char>(c));
  }
  static void Keys(std::initializer_list<int> codes) {
    for (int code : codes) headless::QueueKey(code);
  }
  // A click in the middle of a grid cell (columns 1..9).
  static void ClickCell(int row, int column) {
    static constexpr int kCentre[] = {0, 35, 96, 157, 233, 334, 435, 511, 609, 728};
    headless::QueueClick(kCentre[column], 15 * row + 17);
  }

  static std::string Cell(int row, int column) {
    const headless::ControlState* control = headless::Control(CellId(row, column));
    return control == nullptr ? "<no cell>" : control->text;
  }
  static const std::string& Field(int logRow, int column) {
    return Log.QsoLog[static_cast<std::size_t>(logRow)][static_cast<std::size_t>(column)];
  }
  static std::string StatusText() { return headless::Control(kStatusLineId)->text; }

  // The QSO lines of the report file, without their line ends.
  std::vector<std::string> FileQsoLines() const {
    std::vector<std::string> lines;
    const std::string bytes = ReadFileBytes(ReportPath());
    std::size_t at = 0;
    while (at < bytes.size()) {
      std::size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) end = bytes.size();
      if (bytes.compare(at, 5, "QSO: ") == 0) lines.push_back(bytes.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
};
