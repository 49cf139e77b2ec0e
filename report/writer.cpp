// The Cabrillo writer: the rewrite of the whole report, once per event that
// changed the log (the grouped rewrite, see log/log.h). Each version is
// written to a temporary file beside the report, flushed and renamed over it,
// so the file on disk is always a complete version; before the first rewrite
// in a run of a file that existed, the file is kept as it was under the same
// name plus ".bak". A failed rewrite sets Report.WriteFailed and loses nothing
// from memory.
#include "report/report.h"

#include <cstring>
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
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBackupSuffix = ".bak";

void AppendTagLine(std::string& out, std::string_view tag, const std::string& value) {
  if (value.empty()) return;  // a value of one space is still written
  out += tag;
  out += value;
  out += kLineEnd;
}

const std::string& Field(const QsoRecord& record, int column) {
  return record[static_cast<std::size_t>(column)];
}

// Puts `text` at `at`, cut to `width` bytes; the rest of the field stays blank.
char* PutField(char* at, std::string_view text, std::size_t width) {
  std::memcpy(at, text.data(), text.size() < width ? text.size() : width);
  return at + width;
}

// One QSO line of 81 bytes, without its line end: fixed columns, each field
// cut to its width. The time "hh:mm" is written as its first two and last
// two bytes.
void AppendQsoLine(std::string& out, const QsoRecord& record, std::string_view callsign) {
  constexpr std::size_t kLineLength = 81;
  char line[kLineLength];
  std::memset(line, ' ', kLineLength);
  std::memcpy(line, "QSO: ", 5);
  const std::string_view time = Field(record, kColTime);
  char hhmm[4];
  const std::size_t half = time.size() < 2 ? time.size() : 2;
  if (half > 0) {
    std::memcpy(hhmm, time.data(), half);
    std::memcpy(hhmm + half, time.data() + (time.size() - half), half);
  }
  const std::size_t hhmmLength = 2 * half;
  char* at = line + 5;
  at = PutField(at, Field(record, kColBand), 6);
  at = PutField(at, Field(record, kColMode), 3);
  at = PutField(at, Field(record, kColDate), 11);
  at = PutField(at, std::string_view(hhmm, hhmmLength), 5);
  at = PutField(at, callsign, 14);
  at = PutField(at, Field(record, kColSent), 11);
  at = PutField(at, Field(record, kColCall), 14);
  PutField(at, Field(record, kColReceived), 11);  // then the one blank of column 81
  out.append(line, kLineLength);
}

void AppendReportHead(std::string& out, const ReportHeaderRecord& h) {
  out += "START-OF-LOG: 3.0";
  out += kLineEnd;
  out += "CREATED-BY: ";
  out += kTitleText;
  out += kLineEnd;
  AppendTagLine(out, "CONTEST: ", h.Contest);
  AppendTagLine(out, "CALLSIGN: ", h.Callsign);
  AppendTagLine(out, "LOCATION: ", h.Location);
  AppendTagLine(out, "CATEGORY-OPERATOR: ", h.CategoryOperator);
  AppendTagLine(out, "CATEGORY-POWER: ", h.CategoryPower);
  AppendTagLine(out, "CATEGORY-BAND: ", h.CategoryBand);
  AppendTagLine(out, "CATEGORY-MODE: ", h.CategoryMode);
  AppendTagLine(out, "EMAIL: ", h.Email);
  for (int k = 1; k <= 3; ++k) {
    AppendTagLine(out, "OPERATORS: ", h.Operators[static_cast<std::size_t>(k)]);
  }
  AppendTagLine(out, "SOAPBOX: ", h.Soapbox);
}

void AppendReportTail(std::string& out, const ReportHeaderRecord& h) {
  AppendTagLine(out, "CLAIMED-SCORE: ", h.ClaimedScore);
  out += "END-OF-LOG: ";
  out += kLineEnd;
}

// The text of the last rewrite, kept so that its room is reused.
std::string ReportText;

// Keeps an existing report as ".bak" before its first rewrite in this run.
// False when it existed and could not be kept. A folder that allows no new
// file cannot take a new ".bak" at all; the report, which can still be
// written there in place, is then written without one rather than never.
bool KeepBackup(const std::string& file) {
  if (Report.BackedUpFile == file || !FileExists(file)) return true;
  const std::string backup = file + std::string(kBackupSuffix);
  if (!CopyFileReplacing(file, backup)) {
    const bool noRoomForBackup = !FolderTakesNewFiles(backup) && !FileExists(backup);
    if (!noRoomForBackup || !CanReplaceFile(file)) return false;
  }
  Report.BackedUpFile = file;
  return true;
}

}  // namespace

std::string QsoLineText(const QsoRecord& record, std::string_view callsign) {
  std::string out;
  AppendQsoLine(out, record, callsign);
  return out;
}

std::string ReportHeadText(const ReportHeaderRecord& header) {
  std::string out;
  AppendReportHead(out, header);
  return out;
}

std::string ReportTailText(const ReportHeaderRecord& header) {
  std::string out;
  AppendReportTail(out, header);
  return out;
}

std::string BuildReportText() {
  std::string out;
  BuildReportTextInto(out);
  return out;
}

void BuildReportTextInto(std::string& out) {
  out.clear();
  out.reserve(1024 + 83 * static_cast<std::size_t>(kLogRows));
  AppendReportHead(out, ReportHeader);
  const int rows = Log.QsoCount < 0 ? 0 : (Log.QsoCount > kLogRows ? kLogRows : Log.QsoCount);
  for (int row = 1; row <= rows; ++row) {
    AppendQsoLine(out, Log.QsoLog[static_cast<std::size_t>(row)], ReportHeader.Callsign);
    out += kLineEnd;
  }
  AppendReportTail(out, ReportHeader);
}

void WriteReportFile() {
  const std::string file = AppSettings.File;
  if (file.empty()) return;  // no report chosen: memory only, as before
  if (!KeepBackup(file)) {
    Report.WriteFailed = true;  // the report is left as it was
    return;
  }
  ++Report.Rewrites;
  bool written = CreateReplacementFile(kReportFileNumber, file) != 0;
  bool inPlace = false;
  if (written) {
    BuildReportTextInto(ReportText);
    WriteText(kReportFileNumber, ReportText);
    written = CommitTextFile(kReportFileNumber, &inPlace);
  }
  Report.WriteFailed = !written;
  // Written over itself in a closed folder: said once for the report.
  if (inPlace && !Report.InPlace) {
    Report.InPlace = true;
    Report.InPlaceTicks = kInPlaceNoticeTicks;
    Report.InPlaceUnsaid = true;
  }
  // A file that did not exist before is now this run's own: nothing to keep.
  if (written) Report.BackedUpFile = file;
}

void FlushReport() {
  if (!TakeLogChange()) return;
  WriteReportFile();
  if (Report.WriteFailed) Log.Changed = true;
}
