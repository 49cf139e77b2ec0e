// The Cabrillo report: its header and the header editor, the writer that
// rewrites the whole report after every change, and the reader with the
// open and new-report commands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "log/log.h"

inline constexpr int kOperatorSlots = 4;    // entries 1..4; 1..3 are shown and written
inline constexpr int kOperatorDetails = 7;  // surname .. station category
inline constexpr int kHeaderWindowId = 1;
// Bytes of one report line kept by the reader; the rest of a longer line is
// read past and dropped (no QSO line or header value needs more).
inline constexpr std::size_t kReadLineLimit = 65536;
inline constexpr std::string_view kReportFilter = "Файлы Cabrilio|*.cbr"_cp;

struct ReportHeaderRecord {
  std::string Contest, Callsign, Location, CategoryOperator, CategoryPower, CategoryBand,
      CategoryMode, Email;
  std::array<std::string, kOperatorSlots + 1> Operators;  // 1..4; 0 unused
  std::string Soapbox, ClaimedScore, CreatedBy;
};
extern ReportHeaderRecord ReportHeader;

struct ReportState {
  bool AutoOpen = false;     // set by start-up around its own OpenReport
  bool WriteFailed = false;  // the last rewrite of a named report failed
  std::string BackedUpFile;  // the report already kept as .bak in this run
  int64_t Rewrites = 0;      // rewrites of the report tried in this run
  int OwnerLock = -1;        // this process's lock on the open report; <= 0: none held
  bool HeldElsewhere = false;  // the report named at start-up is open in another copy
  bool InPlace = false;        // the open report's folder is closed: it is written in place
  int InPlaceTicks = 0;        // timer ticks the station box still says so
  // Notices for the status line, shown once when the program next waits.
  bool HeldElsewhereUnsaid = false;
  bool InPlaceUnsaid = false;
};
extern ReportState Report;

void ResetReport();

void EditReportHeader();
// An operator entry taken apart at its commas into details 1..7 (element 0
// unused), each without leading and trailing spaces; splitting stops at the
// first missing comma, and the text after the last comma found is dropped.
std::array<std::string, kOperatorDetails + 1> SplitOperatorEntry(std::string_view entry);
// Details 1..7 joined by ", ".
std::string JoinOperatorDetails(const std::array<std::string, kOperatorDetails + 1>& details);
// The pieces of the report as the writer makes them: the lines before the
// QSO lines (START-OF-LOG .. SOAPBOX), one QSO line of 81 bytes without its
// line end (the own call sign in columns 31-44), and the lines after them
// (CLAIMED-SCORE, END-OF-LOG). Every line but the QSO line ends with CR LF.
std::string ReportHeadText(const ReportHeaderRecord& header);
std::string QsoLineText(const QsoRecord& record, std::string_view callsign);
std::string ReportTailText(const ReportHeaderRecord& header);

// One line of a report file as the reader takes it. `version` is the text of
// START-OF-LOG so far and `operators` the OPERATORS lines taken; a QSO line
// fills `record` (band, mode, date and time always; the other cells only for
// versions "3.0" and "2.0"), any other line the header field of its tag.
struct ReportReadState {
  std::string version;
  int operators = 0;
};
bool IsQsoLine(std::string_view line);
void ReadReportQsoLine(std::string_view line, std::string_view version, QsoRecord& record);
void ReadReportHeaderLine(std::string_view line, ReportReadState& state,
                          ReportHeaderRecord& header);

// Rewrites the report now from memory (nothing when no report is named).
void WriteReportFile();
// The grouped rewrite: rewrites the report once when the log changed since the
// last rewrite (StoreCell marks it); the program's before-wait hook. A failed
// rewrite keeps the mark, so every later wait tries again until one succeeds.
void FlushReport();
// The exact bytes of the report as it would be written now.
std::string BuildReportText();
// The same text into `out`, whose room is reused (no allocation once it has grown).
void BuildReportTextInto(std::string& out);
// The path as chosen, with ".CBR" appended unless it holds ".cbr" in any
// letter case.
std::string WithReportExtension(std::string_view path);
// The reading step of OpenReport: the report at `path` into the header and
// the log (QsoCount may be 0 afterwards: OpenReport then makes the entry
// row), nothing else. False, with nothing changed, when it cannot be opened
// (missing, a folder, a path the code page cannot name).
bool ReadReportFile(const std::string& path);
void OpenReport();
void NewReport();
// "Создать" for the log in memory, at the end of the program: asks for a new
// report's name, lets the header be edited, and writes the whole log to it
// now. False when it was cancelled or the report could not be written.
bool SaveLogAsNewReport();

// Texts of the station box and the message boxes about the report.
inline constexpr std::string_view kHeldElsewhereText = "Отчёт открыт в другой копии программы!"_cp;
inline constexpr std::string_view kInPlaceText =
    "Папка отчёта защищена от записи: отчёт пишется на место"_cp;
inline constexpr int kInPlaceNoticeTicks = 10;
