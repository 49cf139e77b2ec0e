// How long one rewrite of a full report takes: 768 rows written to a
// temporary file, flushed to the disk and renamed over the report.
//
//   rewrite_bench [rewrites [folder]]
//
// The report is written in a new folder made inside `folder` (default: the
// current folder, so that the timing is that of a real disk rather than of a
// memory file system) and removed afterwards.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"

namespace {

void FillFullLog() {
  ReportHeader.Contest = "KP";
  ReportHeader.Callsign = "UA3ABC";
  ReportHeader.Location = "MO-12";
  ReportHeader.CategoryOperator = "MULTI-OP";
  ReportHeader.Operators[1] = "Ivanov, Ivan, Ivanovich, 1970, KMS, UA3AAA, A";
  Log.QsoCount = kLogRows;
  for (int row = 1; row <= kLogRows; ++row) {
    QsoRecord& r = Log.QsoLog[static_cast<std::size_t>(row)];
    const std::string n = std::to_string(row);
    r[kColTime] = "12:34";
    r[kColBand] = "14200";
    r[kColMode] = "CW";
    r[kColCall] = "RK" + n + "ABC";
    r[kColSent] = "599" + n;
    r[kColReceived] = "599" + n;
    r[kColDate] = "2010-03-07";
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int rewrites = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::string base = argc > 2 ? argv[2] : ".";
  if (rewrites <= 0) {
    std::fprintf(stderr, "usage: rewrite_bench [rewrites [folder]]\n");
    return 2;
  }
  std::string folder = base + "/rewrite-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  AppSettings.File = folder + "/BENCH.CBR";
  FillFullLog();
  WriteReportFile();  // the first rewrite creates the file
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rewrites; ++i) {
    Log.QsoLog[kLogRows][kColCall] = "R" + std::to_string(i);
    WriteReportFile();
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // The part that is only building the text in memory.
  std::size_t built = 0;
  const auto buildStart = std::chrono::steady_clock::now();
  for (int i = 0; i < rewrites; ++i) built += BuildReportText().size();
  const auto buildElapsed = std::chrono::steady_clock::now() - buildStart;
  const bool failed = Report.WriteFailed;
  const auto bytes = std::filesystem::file_size(AppSettings.File);
  std::filesystem::remove_all(folder);
  if (failed) {
    std::fprintf(stderr, "a rewrite failed\n");
    return 1;
  }
  const double micros =
      std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(rewrites);
  const double buildMicros = std::chrono::duration<double, std::micro>(buildElapsed).count() /
                             static_cast<double>(rewrites);
  std::printf(
      "%d rows, %ju bytes: %.1f us per rewrite (%d rewrites in %s), of which %.1f us "
      "build the text (%zu bytes built)\n",
      kLogRows, static_cast<std::uintmax_t>(bytes), micros, rewrites, base.c_str(), buildMicros,
      built / static_cast<std::size_t>(rewrites));
  return 0;
}
