// The report reader on any file, then the rewrite and a second read, as the
// program does it: the report is opened as start-up reopens the last one,
// rewritten by the grouped rewrite, and read again as the next start would.
// The second read must give the log and header of the first (the rewrite is a
// fixed point of reading), the rewritten file must be the text the writer
// builds, and the ".bak" must be the file as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"

namespace {

const std::string kReport = "FUZZ.CBR";

// Everything a rewrite is meant to carry, one "name=value" entry each. Left
// out: the points (never written), CREATED-BY (always this program's name)
// and the fourth operator entry (room only; the program shows and writes 1..3).
// Operator entries count in their order without the empty ones: an empty
// entry writes no line, and each OPERATORS line read takes the next entry, so
// a later entry moves up into an empty one (a rule of the format on both
// sides, kept as it is).
std::vector<std::string> Carried() {
  std::vector<std::string> out;
  const ReportHeaderRecord& h = ReportHeader;
  const std::pair<const char*, const std::string*> fields[] = {
      {"Contest", &h.Contest},
      {"Callsign", &h.Callsign},
      {"Location", &h.Location},
      {"CategoryOperator", &h.CategoryOperator},
      {"CategoryPower", &h.CategoryPower},
      {"CategoryBand", &h.CategoryBand},
      {"CategoryMode", &h.CategoryMode},
      {"Email", &h.Email},
      {"Soapbox", &h.Soapbox},
      {"ClaimedScore", &h.ClaimedScore},
  };
  for (const auto& [name, value] : fields) out.push_back(std::string(name) + "=" + *value);
  for (int k = 1; k <= 3; ++k) {
    const std::string& entry = h.Operators[static_cast<std::size_t>(k)];
    if (!entry.empty()) out.push_back("Operators=" + entry);
  }
  out.push_back("QsoCount=" + std::to_string(Log.QsoCount));
  for (int row = 1; row <= Log.QsoCount && row <= kLogRows; ++row) {
    for (int column : {kColTime, kColBand, kColMode, kColCall, kColSent, kColReceived, kColDate}) {
      out.push_back("row " + std::to_string(row) + " column " + std::to_string(column) + "=" +
                    Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
    }
  }
  return out;
}

std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
    const std::string left = i < a.size() ? a[i] : "(none)";
    const std::string right = i < b.size() ? b[i] : "(none)";
    if (left != right) return "first read:  [" + left + "]\nsecond read: [" + right + "]";
  }
  return {};
}

// Opens the report as start-up does with the last report of the settings.
void OpenAsAtStartUp() {
  AppSettings.File = kReport;
  Report.AutoOpen = true;
  OpenReport();
  Report.AutoOpen = false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EnterPrivateFolder();
  ResetProgram();
  const std::string original(AsText(data, size));
  RemoveFile(kReport + ".bak");
  WriteBytes(kReport, original);

  OpenAsAtStartUp();
  Require(AppSettings.File == kReport, "an existing report is opened");
  Require(Log.QsoCount >= 1 && Log.QsoCount <= kLogRows, "the log holds 1..768 rows after a read");
  const std::vector<std::string> first = Carried();
  const std::string text = BuildReportText();

  Log.Changed = true;  // as after any change: the next wait rewrites the report
  FlushReport();
  Require(!Report.WriteFailed, "the rewrite succeeds in a writable folder");
  Require(ReadBytes(kReport) == text, "the rewritten report is the text the writer builds");
  Require(ReadBytes(kReport + ".bak") == original, "the .bak keeps the report as it was");

  ResetProgram();  // the next start of the program
  OpenAsAtStartUp();
  const std::vector<std::string> second = Carried();
  Require(first == second, "a rewritten report reads back to the same log and header",
          FirstDifference(first, second));
  Require(BuildReportText() == text, "the second read builds the same report text");
  ResetProgram();  // lets the owner lock go
  return 0;
}
