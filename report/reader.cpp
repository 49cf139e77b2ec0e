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

void ReadQsoLine(std::string_view line, std::string_view version, QsoRecord& record) {
  auto field = [&record](int column) -> std::string& {
    return record[static_cast<std::size_t>(column)];
  };
  field(kColBand) = Column(line, 6, 5);
  field(kColMode) = Column(line, 12, 2);
  field(kColDate) = Column(line, 15, 11);
  std::string time = MidChars(line, 26, 2) + ":" + MidChars(line, 28, 2);
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

struct ReadState {
  std::string version;  // from START-OF-LOG; only "3.0" and "2.0" mean anything
  int operators = 0;    // OPERATORS lines taken so far
};

void ReadHeaderLine(std::string_view line, ReadState& state) {
  if (StartsWith(line, kStartTag)) {
    state.version = line.substr(kStartTag.size());
    return;
  }
  if (StartsWith(line, kOperatorsTag)) {
    if (state.operators < kOperatorSlots) {
      ++state.operators;
      ReportHeader.Operators[static_cast<std::size_t>(state.operators)] =
          line.substr(kOperatorsTag.size());
    }
    return;
  }
  for (const HeaderTag& tag : kHeaderTags) {
    if (StartsWith(line, tag.tag)) {
      ReportHeader.*tag.field = line.substr(tag.tag.size());
      return;
    }
  }
}

// Reads the report at `path` into the header and the log. False, with
// nothing changed, when it cannot be opened (missing, a folder, a path the
// code page cannot name).
bool ReadReportFile(const std::string& path) {
  if (OpenTextFileForReading(kReportFileNumber, path) == 0) return false;
  ReadState state;
  Log.QsoCount = 0;
  do {
    const std::string line = ReadLine(kReportFileNumber, kReadLineLimit);
    if (StartsWith(line, "QSO: ")) {
      if (Log.QsoCount < kLogRows) {  // later QSO lines have no row to go to
        ++Log.QsoCount;
        ReadQsoLine(line, state.version, Log.QsoLog[static_cast<std::size_t>(Log.QsoCount)]);
      }
    } else {
      ReadHeaderLine(line, state);
    }
  } while (!AtEndOfFile(kReportFileNumber));
  for (int row = Log.QsoCount + 1; row <= kLogRows; ++row) {
    for (int column = 1; column <= kGridColumns; ++column) {
      Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].clear();
    }
  }
  CloseTextFile(kReportFileNumber);
  return true;
}

}  // namespace

std::string WithReportExtension(std::string_view path) {
  std::string out(path);
  if (FindSubtext(UpperCase1251(path), ".CBR", 1) == 0) out += ".CBR";
  return out;
}

void OpenReport() {
  std::string path = AppSettings.File;
  if (!Report.AutoOpen) path = AskOpenFileName("Открыть файл"_cp, "", kReportFilter, 0);
  if (path.empty()) return;  // cancelled: the current report stays as it is
  path = WithReportExtension(path);
  if (!ReadReportFile(path)) return;
  AppSettings.File = path;
  // The first rewrite keeps the file as it was opened; nothing has failed yet.
  Report.BackedUpFile.clear();
  Report.WriteFailed = false;

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

void NewReport() {
  const std::string chosen = AskSaveFileName("Создать файл"_cp, "", kReportFilter, 0);
  if (chosen.empty()) return;  // cancelled: no change at all
  AppSettings.File = WithReportExtension(chosen);
  // Whatever exists under that name is kept as ".bak" by the first rewrite.
  Report.BackedUpFile.clear();
  Report.WriteFailed = false;

  for (int row = 1; row <= kLogRows; ++row) {
    for (int column = 1; column <= kColDate; ++column) {
      Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].clear();
    }
  }
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
