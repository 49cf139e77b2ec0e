// The report check and the copy for sending (see check.h). Rows are judged
// one by one in row order; repeats and time order look only at the rows
// above, as the duplicate scan does while the contest runs.
#include "report/check.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/text.h"
#include "base/textfile.h"
#include "log/log.h"
#include "settings/options.h"
#include "settings/settings.h"

namespace {

constexpr int kCheckFileNumber = 5;  // apart from the report's own number
constexpr std::string_view kLineEnd = "\r\n";

const std::string& Field(const QsoRecord& record, int column) {
  return record[static_cast<std::size_t>(column)];
}

bool Blank(const QsoRecord& record, int column) { return OnlySpaces(Field(record, column)); }

// The entry row the program always keeps at the end: nothing typed in it yet.
bool IsEntryRow(const QsoRecord& record) {
  return Blank(record, kColCall) && Blank(record, kColReceived) && Blank(record, kColDate) &&
         Blank(record, kColTime);
}

// Digits and other bytes in the places of a pattern ('9' stands for a digit).
bool FitsPattern(std::string_view text, std::string_view pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (pattern[i] == '9' ? !IsDigitByte(text[i]) : text[i] != pattern[i]) return false;
  }
  return true;
}

bool IsDateText(std::string_view date) {
  const std::string d = TrimSpaces(date);
  if (!FitsPattern(d, "9999-99-99")) return false;
  const int32_t month = ParseDecimal(MidChars(d, 6, 2)), day = ParseDecimal(MidChars(d, 9, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool IsTimeText(std::string_view time) {
  const std::string t = TrimSpaces(time);
  return FitsPattern(t, "99:99") && ParseDecimal(HeadChars(t, 2)) <= 23 &&
         ParseDecimal(TailChars(t, 2)) <= 59;
}

// Dated and timed in the report's forms: such rows have a place in time.
bool IsTimed(const QsoRecord& record) {
  return IsDateText(Field(record, kColDate)) && IsTimeText(Field(record, kColTime));
}

bool IsComplete(const QsoRecord& record) {
  return !Blank(record, kColCall) && !Blank(record, kColReceived) && IsTimed(record);
}

// The band class of a band text; the canonical text "1.2G" that band cycling
// writes is class 9 here, though its number says 1.
int BandOf(std::string_view band) {
  const int cls = ClassifyBand(band);
  if (cls == 0 && TrimSpaces(band) == BandTable[kBandClasses].text) return kBandClasses;
  return cls;
}

// Date and time as one text that sorts in time order ("2010-03-07 09:05").
std::string Moment(const QsoRecord& record) {
  return TrimSpaces(Field(record, kColDate)) + " " + TrimSpaces(Field(record, kColTime));
}

// The last byte of each field's columns in a QSO line, where a field that
// fills its width touches the next one.
struct FieldEnd {
  std::size_t column;  // 1-based
  std::string_view name;
};
constexpr FieldEnd kFieldEnds[] = {
    {11, "диапазон"_cp},      {14, "вид"_cp},
    {25, "дата"_cp},          {30, "время"_cp},
    {44, "свой позывной"_cp}, {55, "переданный номер"_cp},
    {69, "позывной"_cp},      {80, "принятый номер"_cp},
};

bool Filled(std::string_view line, std::size_t column) {
  return column <= line.size() && line[column - 1] != ' ';
}

void Add(CheckResult& result, FindingKind kind, int row, std::string detail) {
  result.findings.push_back({kind, row, std::move(detail)});
}

void CheckHeader(const ReportHeaderRecord& h, CheckResult& result) {
  const struct {
    std::string_view tag;
    const std::string* value;
  } kNeeded[] = {
      {"CALLSIGN", &h.Callsign},
      {"CONTEST", &h.Contest},
      {"CATEGORY-OPERATOR", &h.CategoryOperator},
      {"CATEGORY-POWER", &h.CategoryPower},
      {"CATEGORY-BAND", &h.CategoryBand},
      {"CATEGORY-MODE", &h.CategoryMode},
  };
  for (const auto& needed : kNeeded) {
    if (TrimSpaces(*needed.value).empty()) {
      Add(result, FindingKind::MissingHeader, 0,
          std::string("нет строки "_cp) + std::string(needed.tag));
    }
  }
  if (HeadChars(TrimSpaces(h.CategoryOperator), 5) == "MULTI") {
    bool named = false;
    for (int k = 1; k <= kOperatorSlots; ++k) {
      named = named || !TrimSpaces(h.Operators[static_cast<std::size_t>(k)]).empty();
    }
    if (!named) {
      Add(result, FindingKind::MissingHeader, 0,
          std::string("нет строки OPERATORS, а зачёт "_cp) + TrimSpaces(h.CategoryOperator));
    }
  }
}

void CheckRowFields(int row, const CheckRow& checked, CheckResult& result) {
  const QsoRecord& record = checked.record;
  std::string missing;
  const struct {
    int column;
    std::string_view what;
  } kWanted[] = {
      {kColCall, "нет позывного"_cp},
      {kColReceived, "нет принятого номера"_cp},
      {kColDate, "нет даты"_cp},
      {kColTime, "нет времени"_cp},
  };
  for (const auto& wanted : kWanted) {
    std::string what;
    const std::string value = TrimSpaces(Field(record, wanted.column));
    if (value.empty()) {
      what = wanted.what;
    } else if (wanted.column == kColDate && !IsDateText(value)) {
      what = std::string("дата «"_cp) + value + std::string("» не в виде гггг-мм-дд"_cp);
    } else if (wanted.column == kColTime && !IsTimeText(value)) {
      what = std::string("время «"_cp) + value + std::string("» не в виде чч:мм"_cp);
    }
    if (what.empty()) continue;
    if (!missing.empty()) missing += ", ";
    missing += what;
  }
  if (!missing.empty()) {
    Add(result, FindingKind::Incomplete, row, std::string("неполная связь: "_cp) + missing);
  }
  const std::string band = TrimSpaces(Field(record, kColBand));
  if (BandOf(band) == 0) {
    Add(result, FindingKind::UnknownBand, row,
        band.empty()
            ? std::string("нет диапазона"_cp)
            : std::string("диапазон "_cp) + band + std::string(" не из диапазонов программы"_cp));
  }
  const std::string mode = TrimSpaces(Field(record, kColMode));
  if (ClassifyMode(mode) == 0) {
    Add(result, FindingKind::UnknownMode, row,
        mode.empty() ? std::string("нет вида связи"_cp)
                     : std::string("вид "_cp) + mode + std::string(" не из видов программы"_cp));
  }
  std::string touching;
  for (const FieldEnd& end : kFieldEnds) {
    // The received exchange ends the line: it touches something only when the
    // column after it holds more.
    const bool last = end.column == 80;
    if (Filled(checked.line, end.column) && (!last || Filled(checked.line, end.column + 1))) {
      if (!touching.empty()) touching += ", ";
      touching += std::string("«"_cp) + std::string(end.name) + std::string("»"_cp);
    }
  }
  if (!touching.empty()) {
    Add(result, FindingKind::RunTogether, row,
        std::string("до конца своих колонок, вплотную к следующему полю: "_cp) + touching);
  }
}

// The first row above `row` that the duplicate scan would warn of, 0 if none.
int EarlierRepeat(const CheckInput& input, int row) {
  const QsoRecord& record = input.rows[static_cast<std::size_t>(row)].record;
  if (Blank(record, kColCall)) return 0;
  const std::string call = RepeatCallEntry(Field(record, kColCall));
  const int band = ClassifyBand(Field(record, kColBand));
  const SubTourKey key = SubTourOfTime(Field(record, kColTime), input.subTourMinutes);
  for (int earlier = 1; earlier < row; ++earlier) {
    const QsoRecord& other = input.rows[static_cast<std::size_t>(earlier)].record;
    if (RepeatCallEntry(Field(other, kColCall)) == call &&
        ClassifyBand(Field(other, kColBand)) == band &&
        SubTourOfTime(Field(other, kColTime), input.subTourMinutes) == key) {
      return earlier;
    }
  }
  return 0;
}

std::string TwoDigits(int32_t number) { return AlignRight(DecimalText(number), 2, '0'); }

void Count(std::vector<CheckCount>& counts, const std::string& name) {
  for (CheckCount& count : counts) {
    if (count.name == name) {
      ++count.contacts;
      return;
    }
  }
  counts.push_back({name, 1});
}

void CountContacts(const CheckInput& input, CheckResult& result) {
  std::vector<std::pair<int, std::string>> bands;  // class (0 last), name
  for (const int row : result.sendRows) {
    const QsoRecord& record = input.rows[static_cast<std::size_t>(row)].record;
    const int cls = BandOf(Field(record, kColBand));
    bands.emplace_back(cls == 0 ? kBandClasses + 1 : cls,
                       cls == 0 ? TrimSpaces(Field(record, kColBand))
                                : std::string(BandTable[static_cast<std::size_t>(cls)].text));
    const int32_t minutes = input.subTourMinutes;
    const SubTourKey key = SubTourOfTime(Field(record, kColTime), minutes);
    const int32_t first = key.index * minutes;
    const int32_t last = std::min<int32_t>(first + minutes - 1, 59);
    Count(result.perSubTour, TrimSpaces(Field(record, kColDate)) + " " + TwoDigits(key.hour) + ":" +
                                 TwoDigits(first) + "-" + TwoDigits(key.hour) + ":" +
                                 TwoDigits(last));
  }
  std::stable_sort(bands.begin(), bands.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& band : bands) Count(result.perBand, band.second);
}

}  // namespace

CheckInput OpenReportCheckInput() {
  CheckInput input;
  input.header = ReportHeader;
  input.subTourMinutes = SubTourMinutes(AppSettings.TimeMin);
  const int rows = std::clamp(Log.QsoCount, 0, kLogRows);
  for (int row = 1; row <= rows; ++row) {
    const QsoRecord& record = Log.QsoLog[static_cast<std::size_t>(row)];
    input.rows.push_back({record, QsoLineText(record, ReportHeader.Callsign)});
  }
  return input;
}

bool ReadReportForCheck(std::string_view path, int32_t subTourMinutes, CheckInput* input) {
  *input = {};
  input->subTourMinutes = SubTourMinutes(subTourMinutes);
  if (OpenTextFileForReading(kCheckFileNumber, path) == 0) return false;
  ReportReadState state;
  do {
    const std::string line = ReadLine(kCheckFileNumber, kReadLineLimit);
    if (IsQsoLine(line)) {
      if (static_cast<int>(input->rows.size()) > kLogRows) {
        ++input->rowsPastCapacity;
        continue;
      }
      CheckRow row;
      ReadReportQsoLine(line, state.version, row.record);
      row.line = line.substr(0, kCheckLineLimit);
      input->rows.push_back(std::move(row));
    } else {
      if (HeadChars(line, 4) == "QSO:") ++input->unreadQsoLines;
      ReadReportHeaderLine(line, state, input->header);
    }
  } while (!AtEndOfFile(kCheckFileNumber));
  CloseTextFile(kCheckFileNumber);
  return true;
}

CheckResult CheckReport(const CheckInput& input) {
  CheckResult result;
  CheckHeader(input.header, result);
  const int rows = static_cast<int>(input.rows.size()) - 1;
  result.entryRowLast = rows >= 1 && IsEntryRow(input.rows[static_cast<std::size_t>(rows)].record);
  const int judged = result.entryRowLast ? rows - 1 : rows;
  std::string latest;  // the latest moment of the rows above
  int latestRow = 0;
  for (int row = 1; row <= judged; ++row) {
    const CheckRow& checked = input.rows[static_cast<std::size_t>(row)];
    CheckRowFields(row, checked, result);
    const QsoRecord& record = checked.record;
    if (IsTimed(record)) {
      const std::string moment = Moment(record);
      if (moment < latest) {
        Add(result, FindingKind::OutOfOrder, row,
            std::string("связь раньше строки "_cp) + DecimalText(latestRow) + " (" + latest + ")");
      } else {
        latest = moment;
        latestRow = row;
      }
    }
    if (const int earlier = EarlierRepeat(input, row); earlier != 0) {
      const QsoRecord& other = input.rows[static_cast<std::size_t>(earlier)].record;
      Add(result, FindingKind::Repeat, row,
          std::string("повтор связи строки "_cp) + DecimalText(earlier) + " (" +
              TrimSpaces(Field(other, kColTime)) +
              std::string(") в том же подтуре на том же диапазоне"_cp));
    }
    if (IsComplete(record)) result.sendRows.push_back(row);
  }
  if (input.rowsPastCapacity > 0) {
    Add(result, FindingKind::PastCapacity, 0,
        std::string("строк QSO после 768-й: "_cp) + DecimalText(input.rowsPastCapacity) +
            std::string("; программа их не читает, в копию они не войдут"_cp));
  }
  if (input.unreadQsoLines > 0) {
    Add(result, FindingKind::UnreadLines, 0,
        std::string("строк «QSO:» без пробела после двоеточия: "_cp) +
            DecimalText(input.unreadQsoLines) +
            std::string("; программа их не читает, в копию они не войдут"_cp));
  }
  std::stable_sort(result.sendRows.begin(), result.sendRows.end(), [&input](int a, int b) {
    return Moment(input.rows[static_cast<std::size_t>(a)].record) <
           Moment(input.rows[static_cast<std::size_t>(b)].record);
  });
  CountContacts(input, result);
  return result;
}

std::string CheckReportText(const CheckInput& input, const CheckResult& result) {
  std::string out;
  const std::size_t count = result.findings.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Finding& finding = result.findings[i];
    if (finding.row == 0) {
      out += std::string(finding.kind == FindingKind::MissingHeader ? "Шапка: "_cp : "Файл: "_cp) +
             finding.detail + "\n";
      continue;
    }
    out += std::string("Строка "_cp) + DecimalText(finding.row) + ": " + finding.detail + "\n";
    const bool rowEnds = i + 1 == count || result.findings[i + 1].row != finding.row;
    if (rowEnds) out += "  " + input.rows[static_cast<std::size_t>(finding.row)].line + "\n";
  }
  if (result.entryRowLast) {
    out += std::string("Строка "_cp) + DecimalText(static_cast<int>(input.rows.size()) - 1) +
           std::string(" - строка ввода; в копию для отправки она не войдёт."_cp) + "\n";
  }
  out += count == 0 ? std::string("Замечаний нет."_cp)
                    : std::string("Замечаний: "_cp) + DecimalText(static_cast<int>(count)) + ".";
  out += "\n";
  out += std::string("Связей по диапазонам:"_cp) + "\n";
  for (const CheckCount& band : result.perBand) {
    out += "  " + band.name + ": " + DecimalText(band.contacts) + "\n";
  }
  out += std::string("Связей по подтурам ("_cp) + DecimalText(input.subTourMinutes) +
         std::string(" мин):"_cp) + "\n";
  for (const CheckCount& subTour : result.perSubTour) {
    out += "  " + subTour.name + ": " + DecimalText(subTour.contacts) + "\n";
  }
  out += std::string("Всего связей для отправки: "_cp) +
         DecimalText(static_cast<int>(result.sendRows.size())) + "\n";
  return out;
}

std::string SplitReportExchange(std::string_view exchange, std::string_view mode) {
  const std::string text(exchange);
  const std::string code = TrimSpaces(mode);
  const int digits = code == "CW" ? 3 : (code == "PH" || code == "FM") ? 2 : 0;
  const std::string trimmed = TrimSpaces(exchange);
  if (digits == 0 || TextLength(trimmed) <= digits) return text;
  // Readability 1-5, strength 1-9, and for CW the tone 1-9.
  const auto& b = trimmed;
  if (b[0] < '1' || b[0] > '5') return text;
  for (int i = 1; i < digits; ++i) {
    if (b[static_cast<std::size_t>(i)] < '1' || b[static_cast<std::size_t>(i)] > '9') return text;
  }
  if (b[static_cast<std::size_t>(digits)] == ' ') return text;  // already apart
  const std::string split = HeadChars(b, digits) + " " + MidChars(b, digits + 1, TextLength(b));
  // Eleven characters would fill the exchange's column and touch the next one.
  return TextLength(split) <= 10 ? split : text;
}

std::string SendCopyText(const CheckInput& input, const CheckResult& result, bool splitReports) {
  std::string out = ReportHeadText(input.header);
  for (const int row : result.sendRows) {
    QsoRecord record = input.rows[static_cast<std::size_t>(row)].record;
    if (splitReports) {
      for (const int column : {kColSent, kColReceived}) {
        std::string& exchange = record[static_cast<std::size_t>(column)];
        exchange = SplitReportExchange(exchange, Field(record, kColMode));
      }
    }
    out += QsoLineText(record, input.header.Callsign);
    out += kLineEnd;
  }
  out += ReportTailText(input.header);
  return out;
}

std::string SendCopyName(std::string_view reportPath) {
  const std::string path(reportPath);
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart) return path + std::string(kSendCopySuffix);
  return path.substr(0, dot) + std::string(kSendCopySuffix) + path.substr(dot);
}

SendCopyWrite WriteSendCopy(std::string_view reportPath, std::string_view copyPath,
                            std::string_view bytes) {
  if (!reportPath.empty() && (reportPath == copyPath || SameFile(reportPath, copyPath))) {
    return SendCopyWrite::IsReport;
  }
  for (std::string_view settings :
       {std::string_view(kSettingsFileName), std::string_view(kOptionsFileName)}) {
    if (copyPath == settings || SameFile(copyPath, settings)) return SendCopyWrite::IsSettings;
  }
  return ReplaceFileContents(copyPath, bytes) ? SendCopyWrite::Written : SendCopyWrite::Failed;
}
