// The Cabrillo report: its header and the header editor, the writer that
// rewrites the whole report after every change, and the reader with the
// open and new-report commands.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/cp1251.h"

inline constexpr int kOperatorSlots = 4;  // entries 1..4; 1..3 are shown and written
inline constexpr int kHeaderWindowId = 1;
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
};
extern ReportState Report;

void ResetReport();

void EditReportHeader();
// Stores `text` at log row gridRow + topOffset, column `column`, shows it in
// the grid (columns 1..7) and rewrites the report. gridRow 0 only rewrites.
void StoreCell(int column, int gridRow, int topOffset, std::string_view text);
void WriteReportFile();
// The exact bytes of the report as it would be written now.
std::string BuildReportText();
void OpenReport();
void NewReport();
