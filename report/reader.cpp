// The Cabrillo reader ("Открыть", and the reopening of the last report at
// start-up) and the new-report command ("Создать"). The reader takes the
// START-OF-LOG 3.0 columns this program writes and the older 2.0 columns, the
// header tags it knows, and skips everything else; it never stops at a bad
// line. Nothing is written past the log's 768 rows or the four operator
// entries, and no line is kept longer than kReadLineLimit bytes.
#include "report/report.h"

#include <string>
#include <string_view>

#include "base/text.h"
#include "base/textfile.h"
#include "base/version.h"
#include "log/log.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

constexpr int kReportFileNumber = 0;

bool StartsWith(std::string_view line, std::string_view tag) {
  return line.substr(0, tag.size()) == tag;
}

// Columns `start`..`start + count - 1` of the line, without surrounding spaces.
std::string Column(std::string_view line, int start, int count) {
  return TrimSpaces(MidChars(line, start, count));
}

}  // namespace

bool IsQsoLine(std::string_view line) { return StartsWith(line, "QSO: "); }

void ReadReportQsoLine(std::string_view line, std::string_view version, QsoRecord& record) {
  auto field = [&record](int column) -> std::string& {
    return record[static_cast<std::size_t>(column)];
  };
  field(kColBand) = Column(line, 6, 5);
  field(kColMode) = Column(line, 12, 2);
  field(kColDate) = Column(line, 15, 11);
  // Each half keeps its two places even where the line ends inside them, so
  // that the time writes back to the same columns it came from.
  std::string time = AlignLeft(MidChars(line, 26, 2), 2) + ":" + AlignLeft(MidChars(line, 28, 2), 2);
  if (TrimSpaces(time) == ":") time.clear();
  field(kColTime) = time;
  if (version == "3.0") {
    field(kColCall) = Column(line, 56, 14);
    field(kColSent) = Column(line, 45, 11);
    field(kColReceived) = Column(line, 70, 11);
    field(kColPoints).clear();
  } else if (version == "2.0") {
    field(kColCall) = Column(line, 50, 11);
    field(kColSent) = Column(line, 42, 8);
    field(kColReceived) = Column(line, 61, 8);
    field(kColPoints) = Column(line, 69, 3);
  }
}

namespace {

struct HeaderTag {
  std::string_view tag;
  std::string ReportHeaderRecord::*field;
};
constexpr HeaderTag kHeaderTags[] = {
    {"CREATED-BY: ", &ReportHeaderRecord::CreatedBy},
    {"CONTEST: ", &ReportHeaderRecord::Contest},
    {"CALLSIGN: ", &ReportHeaderRecord::Callsign},
    {"LOCATION: ", &ReportHeaderRecord::Location},
    {"CATEGORY-OPERATOR: ", &ReportHeaderRecord::CategoryOperator},
    {"CATEGORY-POWER: ", &ReportHeaderRecord::CategoryPower},
    {"CATEGORY-BAND: ", &ReportHeaderRecord::CategoryBand},
    {"CATEGORY-MODE: ", &ReportHeaderRecord::CategoryMode},
    {"EMAIL: ", &ReportHeaderRecord::Email},
    {"SOAPBOX: ", &ReportHeaderRecord::Soapbox},
    {"CLAIMED-SCORE: ", &ReportHeaderRecord::ClaimedScore},
};
constexpr std::string_view kStartTag = "START-OF-LOG: ";
constexpr std::string_view kOperatorsTag = "OPERATORS: ";

}  // namespace

void ReadReportHeaderLine(std::string_view line, ReportReadState& state,
                          ReportHeaderRecord& header) {
  if (StartsWith(line, kStartTag)) {
    state.version = line.substr(kStartTag.size());
    return;
  }
  if (StartsWith(line, kOperatorsTag)) {
    if (state.operators < kOperatorSlots) {
      ++state.operators;
      header.Operators[static_cast<std::size_t>(state.operators)] =
          line.substr(kOperatorsTag.size());
    }
    return;
  }
  for (const HeaderTag& tag : kHeaderTags) {
    if (StartsWith(line, tag.tag)) {
      header.*tag.field = line.substr(tag.tag.size());
      return;
    }
  }
}

// Reads the report at `path` into the header and the log. False, with
// nothing changed, when it cannot be opened (missing, a folder, a path the
// code page cannot name).
bool ReadReportFile(const std::string& path) {
  if (OpenTextFileForReading(kReportFileNumber, path) == 0) return false;
  ReportReadState state;
  Log.QsoCount = 0;
  do {
    const std::string line = ReadLine(kReportFileNumber, kReadLineLimit);
    if (IsQsoLine(line)) {
      if (Log.QsoCount < kLogRows) {  // later QSO lines have no row to go to
        ++Log.QsoCount;
        ReadReportQsoLine(line, state.version, Log.QsoLog[static_cast<std::size_t>(Log.QsoCount)]);
      }
    } else {
      ReadReportHeaderLine(line, state, ReportHeader);
    }
  } while (!AtEndOfFile(kReportFileNumber));
  for (int row = Log.QsoCount + 1; row <= kLogRows; ++row) {
    for (int column = 1; column <= kGridColumns; ++column) {
      Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].clear();
    }
  }
  CloseTextFile(kReportFileNumber);
  ++Log.Edits;  // every row may differ now
  ++Log.Epoch;
  return true;
}

std::string WithReportExtension(std::string_view path) {
  std::string out(path);
  if (FindSubtext(UpperCase1251(path), ".CBR", 1) == 0) out += ".CBR";
  return out;
}

namespace {

// Makes this process the only writer of `path`, letting go of the report it
// owned before. False when another copy of the program owns it; the user who
// chose the file is told so, and everything stays as it was.
bool TakeOwnership(const std::string& path, bool chosen) {
  const int lock = TakeOwnerLock(path);
  if (lock == kLockHeldElsewhere) {
    if (chosen) {
      ShowMessageBox(kTitleText, std::string(kHeldElsewhereText) + "\n" + path,
                     kMessageBoxWarning);
    }
    return false;
  }
  if (lock != Report.OwnerLock) ReleaseOwnerLock(Report.OwnerLock);
  Report.OwnerLock = lock;
  Report.HeldElsewhere = false;
  Report.InPlace = false;
  Report.InPlaceTicks = 0;
  return true;
}

// A report being opened or created: its first rewrite keeps the file as it
// was (".bak"), and nothing has failed yet.
void StartReport(const std::string& path) {
  AppSettings.File = path;
  Report.BackedUpFile.clear();
  Report.WriteFailed = false;
}

}  // namespace

void OpenReport() {
  std::string path = AppSettings.File;
  if (!Report.AutoOpen) path = AskOpenFileName("Открыть файл"_cp, "", kReportFilter, 0);
  if (path.empty()) return;  // cancelled: the current report stays as it is
  path = WithReportExtension(path);
  const int previousLock = Report.OwnerLock;
  if (!TakeOwnership(path, !Report.AutoOpen)) {
    if (Report.AutoOpen) {
      // Another copy writes this report: this one works in memory only.
      AppSettings.File.clear();
      Report.HeldElsewhere = true;
      Report.HeldElsewhereUnsaid = true;
    }
    return;
  }
  if (!ReadReportFile(path)) {
    if (Report.OwnerLock != previousLock) {
      ReleaseOwnerLock(Report.OwnerLock);
      Report.OwnerLock = previousLock;
    }
    // The reopen at start-up stays silent; a file chosen from the menu is named.
    if (!Report.AutoOpen) {
      ShowMessageBox(kTitleText, std::string("Не удалось прочитать отчёт:"_cp) + "\n" + path,
                     kMessageBoxWarning);
    }
    return;
  }
  StartReport(path);

  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 1);
  HighlightCell(CellId(1, 1), 0);
  RefreshGrid(0);
  Log.TopOffset = 0;
  Log.CurrentColumn = 1;
  Log.CurrentRow = 1;
  if (Log.QsoCount == 0) Log.QsoCount = 1;  // the entry row
  if (!Report.AutoOpen) EditReportHeader();
  SaveSettings();
}

namespace {

// The name of a new report chosen by the user, owned by this process now; ""
// when cancelled or owned by another copy.
std::string ChooseNewReport() {
  const std::string chosen = AskSaveFileName("Создать файл"_cp, "", kReportFilter, 0);
  if (chosen.empty()) return {};
  const std::string path = WithReportExtension(chosen);
  if (!TakeOwnership(path, true)) return {};
  // Whatever exists under that name is kept as ".bak" by the first rewrite.
  StartReport(path);
  return path;
}

}  // namespace

bool SaveLogAsNewReport() {
  if (ChooseNewReport().empty()) return false;
  EditReportHeader();
  SaveSettings();
  Log.Changed = true;  // the whole log goes to the new file now
  FlushReport();
  return !Report.WriteFailed;
}

void NewReport() {
  if (ChooseNewReport().empty()) return;  // cancelled: no change at all

  for (int row = 1; row <= kLogRows; ++row) {
    for (int column = 1; column <= kColDate; ++column) {
      Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].clear();
    }
  }
  ++Log.Edits;  // every row is new
  ++Log.Epoch;
  ReportHeaderRecord& h = ReportHeader;
  for (std::string* field : {&h.Contest, &h.Callsign, &h.Location, &h.CategoryOperator,
                             &h.CategoryPower, &h.CategoryBand, &h.CategoryMode, &h.Email,
                             &h.Operators[1], &h.Operators[2], &h.Operators[3], &h.ClaimedScore}) {
    field->clear();
  }
  RefreshGrid(0);
  HighlightCell(CellId(Log.CurrentRow, Log.CurrentColumn), 1);
  Log.TopOffset = 0;
  Log.CurrentColumn = kColCall;
  Log.CurrentRow = 1;
  Log.QsoCount = 1;
  HighlightCell(CellId(1, kColCall), 0);
  EditReportHeader();
  SaveSettings();
}
