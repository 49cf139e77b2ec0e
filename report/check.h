// The report check and the clean copy for sending. The check lists what a
// contest robot would stumble on in a report: rows that are not complete
// contacts, bands and modes the program does not know, fields that fill
// their column and run into the next one, contacts out of time order,
// repeats within a sub-tour on one band (the duplicate scan's rule), header
// lines a robot needs; then the contacts per band and sub-tour. The copy
// holds the same header and only the complete contacts, in time order, in
// the report's own columns.
//
// It works on a report given as a CheckInput: the open one (from the
// program's records, which it does not change) or one read from a file. It
// never writes the report or the settings; the only file it writes is the
// copy, and never over the report itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"
#include "log/log.h"
#include "report/report.h"

// Bytes of a QSO line kept for showing it and for the column test.
inline constexpr std::size_t kCheckLineLimit = 100;
inline constexpr int kCheckWindowId = 6;
inline constexpr std::string_view kSendCopySuffix = "-send";

struct CheckRow {
  QsoRecord record;
  std::string line;  // the QSO line as the report holds it (cut to kCheckLineLimit)
};

struct CheckInput {
  ReportHeaderRecord header;
  std::vector<CheckRow> rows = std::vector<CheckRow>(1);  // rows 1..; element 0 unused
  int rowsPastCapacity = 0;  // QSO lines after the log's 768 rows: the program drops them
  int unreadQsoLines = 0;    // lines "QSO:" without the space (tabs, say): never read
  int32_t subTourMinutes = 30;
};

enum class FindingKind {
  MissingHeader,  // row 0: a header line a robot needs is missing or blank
  Incomplete,     // no call sign, received exchange, date or time
  UnknownBand,    // not one of the program's band classes
  UnknownMode,    // not one of the program's modes
  RunTogether,    // a field fills its column and touches the next
  OutOfOrder,     // earlier than a contact above it
  Repeat,         // the same call on the same band in the same sub-tour as an earlier row
  PastCapacity,   // row 0: QSO lines after the log's capacity
  UnreadLines,    // row 0: "QSO:" lines the reader does not take as QSO lines
};

struct Finding {
  FindingKind kind;
  int row;             // 0 for the header and the lines past the capacity
  std::string detail;  // what exactly, for the operator (Windows-1251)
};

struct CheckCount {
  std::string name;  // a band, or a date and a sub-tour's minutes
  int contacts = 0;
};

struct CheckResult {
  std::vector<Finding> findings;
  bool entryRowLast = false;           // the last row is the entry row, left out of the copy
  std::vector<int> sendRows;           // the complete contacts in time order: the copy's rows
  std::vector<CheckCount> perBand;     // complete contacts per band, in band table order
  std::vector<CheckCount> perSubTour;  // per date and sub-tour, in time order
};

// The open report: the header and the log rows, with the QSO lines the
// writer makes of them, and the sub-tour length in use.
CheckInput OpenReportCheckInput();
// A report file read the way "Открыть" reads it, into a CheckInput of its
// own; `subTourMinutes` as in the settings. False when it cannot be read.
bool ReadReportForCheck(std::string_view path, int32_t subTourMinutes, CheckInput* input);

CheckResult CheckReport(const CheckInput& input);
// The check as lines of text ("\n" ends each), Windows-1251.
std::string CheckReportText(const CheckInput& input, const CheckResult& result);

// An exchange written as a report and a number in separate tokens: "599001"
// becomes "599 001" for CW (three digits of report), "59001" "59 001" for PH
// and FM (two). Anything else, or a result that would fill the column, is
// given back as it is.
std::string SplitReportExchange(std::string_view exchange, std::string_view mode);
// The bytes of the copy for sending.
std::string SendCopyText(const CheckInput& input, const CheckResult& result, bool splitReports);
// The name offered for the copy: "-send" before the extension of the report's
// file name ("LOG.CBR" gives "LOG-send.CBR"), or at the end when it has none.
std::string SendCopyName(std::string_view reportPath);

enum class SendCopyWrite { Written, IsReport, IsSettings, Failed };
// Writes the copy to `copyPath` by the safe replacement, refusing the report
// itself (`reportPath`, "" when there is none) and the settings files.
SendCopyWrite WriteSendCopy(std::string_view reportPath, std::string_view copyPath,
                            std::string_view bytes);

// The window "Проверка отчёта" of the "Отчёт" menu.
void ShowReportCheck();
