// Scripted sessions at the grid for the entry, duplicate-scan and informer
// tests: a settings file and a report in the test folder, the real start-up,
// and the real event loop run over queued events as often as a test needs to
// look between steps (the controls stay alive until the test ends).
#pragma once

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

inline constexpr char kOwnCall[] = "UA3XYZ";

inline constexpr int kVkBackspace = 8, kVkTab = 9, kVkEnter = 13, kVkPageUp = 33, kVkPageDown = 34,
                     kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkDelete = 46,
                     kVkComma = 188, kVkPeriod = 190, kVkQuote = 222;

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

  // A fresh program with corvane.ini holding these Main keys ("TimeMin = 60",
  // ...) and, when `rows` is not empty, a report of them opened at start-up.
  void Prepare(const std::vector<Qso>& rows,
               std::initializer_list<std::string_view> mainKeys = {}) {
    ResetEverything();
    std::string ini = "[Main]\r\n";
    std::string report = "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCALLSIGN: ";
    report += std::string(kOwnCall) + "\r\n";
    for (const Qso& q : rows) report += QsoLine(q) + "\r\n";
    WriteFileBytes(ReportPath(), rows.empty() ? "" : report + "END-OF-LOG: \r\n");
    if (!rows.empty()) ini += "File = " + ReportPath() + "\r\n";
    for (std::string_view key : mainKeys) ini += std::string(key) + "\r\n";
    WriteFileBytes("corvane.ini", ini);
    std::remove(kOptionsFileName);  // every option off, as a first run has them
  }
  void Begin(const std::vector<Qso>& rows, std::initializer_list<std::string_view> mainKeys = {}) {
    Prepare(rows, mainKeys);
    ASSERT_TRUE(StartUp());
  }

  // Queues a press and release of each key code (of each byte of a text).
  static void QueueKeys(std::string_view keys) {
    for (char c : keys) headless::QueueKey(static_cast<unsigned char>(c));
  }
  static void QueueKeys(std::initializer_list<int> codes) {
    for (int code : codes) headless::QueueKey(code);
  }
  // Runs the event loop over these keys and whatever else is queued.
  static void Run(std::initializer_list<int> keys = {}) {
    QueueKeys(keys);
    App.QuitRequested = false;
    RunEventLoop();
  }
  static void Run(std::string_view keys) {
    QueueKeys(keys);
    Run();
  }

  static std::string Cell(int row, int column) {
    const headless::ControlState* control = headless::Control(CellId(row, column));
    return control == nullptr ? "<no cell>" : control->text;
  }
  static const std::string& Field(int logRow, int column) {
    return Log.QsoLog[static_cast<std::size_t>(logRow)][static_cast<std::size_t>(column)];
  }

  // The QSO lines of the report file, without their line ends.
  std::vector<std::string> FileQsoLines() const {
    std::vector<std::string> lines;
    const std::string bytes = ReadFileBytes(ReportPath());
    for (std::size_t at = 0, end = 0; at < bytes.size(); at = end + 2) {
      end = std::min(bytes.find("\r\n", at), bytes.size());
      if (bytes.compare(at, 5, "QSO: ") == 0) lines.push_back(bytes.substr(at, end - at));
    }
    return lines;
  }
};
