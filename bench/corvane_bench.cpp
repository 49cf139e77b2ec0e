// What the operator's keys cost, against the disk's own speed: the real
// program's handlers on a full log (767 contacts on one band over many
// sub-tours, so that the informer is full), with the report in a new folder
// inside the current one, so that the disk is real.
//
//   corvane_bench [--benchmark_repetitions=N] [--benchmark_format=json] ...
//
// BM_DurableReplaceBaseline is one durable replace of a file of the report's
// size with plain system calls (temporary file, fsync, rename, fsync of the
// folder); every benchmark's "x_baseline" counter is its time per iteration
// divided by that of replaces timed in the same repetition (see Measure), and
// "baseline_us" is their mean.
// A key is what the main loop does with it: the handler, then the work done
// before the next wait (the rewrite), the release (the duplicate scan) and
// the next wait again. Where the program was built with Qt, the window layer
// is the Qt backend on the offscreen platform, so each cell really is a
// widget; otherwise it is the headless backend, and BM_RefreshGrid says so.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "base/text.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeyBackspace = 8, kKeyEnter = 13, kKeyLetterA = 65;

struct BenchState {
  std::string folder;      // where the report and corvane.ini are, absolute
  double baseline = 0;     // seconds per durable replace
  std::size_t reportSize = 0;
};
BenchState Bench;

// A QSO line in the report's columns.
std::string QsoLine(const std::string& date, const std::string& hhmm, const std::string& sent,
                    const std::string& call, const std::string& received) {
  return "QSO: " + AlignLeft("14200", 6) + AlignLeft("CW", 3) + AlignLeft(date, 11) +
         AlignLeft(hhmm, 5) + AlignLeft("UA3ABC", 14) + AlignLeft(sent, 11) + AlignLeft(call, 14) +
         AlignLeft(received, 11) + " \r\n";
}

// `contacts` complete contacts on 14200, one every two minutes from 00:00,
// 90 calls each worked in several sub-tours, then the entry row.
std::string ReportWith(int contacts) {
  std::string text = "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCALLSIGN: UA3ABC\r\n";
  char hhmm[8];
  for (int i = 1; i <= contacts; ++i) {
    const int minutes = i * 2;
    std::snprintf(hhmm, sizeof hhmm, "%02d%02d", (minutes / 60) % 24, minutes % 60);
    const std::string serial = std::to_string(1000 + i % 1000).substr(1);
    text += QsoLine("2010-03-07", hhmm, "599" + serial, "RK" + std::to_string(i % 90) + "ABC",
                    "59" + serial);
  }
  const std::string next = std::to_string(1000 + (contacts + 1) % 1000).substr(1);
  return text + QsoLine("", "", "599" + next, "", "") + "END-OF-LOG: \r\n";
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// A fresh program on a report of `contacts` contacts, the cursor on the
// entry row's call sign, as after start-up and a PageDown.
bool StartOn(int contacts) {
  ResetRecords();
  if (!WriteWhole(Bench.folder + "/BENCH.CBR", ReportWith(contacts)) ||
      !WriteWhole(Bench.folder + "/corvane.ini", "[Main]\r\nFile = BENCH.CBR\r\n")) {
    return false;
  }
  for (int id : {kMainWindowId, kHelpWindowId}) {
    if (AppWindowHandle(id) != 0) CloseAppWindow(id);
  }
  if (!StartUp()) return false;
  Log.TopOffset = std::max(0, Log.QsoCount - kGridRows);
  Log.CurrentRow = Log.QsoCount - Log.TopOffset;
  Log.CurrentColumn = kColCall;
  RefreshGrid(Log.TopOffset);
  RunBeforeWaitHook();
  return Log.QsoCount == contacts + 1 && !Report.WriteFailed;
}

// A key as the main loop handles it, to the next wait after its release.
void PressKey(int code) {
  HandleKeyDown(code);
  RunBeforeWaitHook();
  LogScan();
  RunBeforeWaitHook();
}

// One durable replace of `bytes` at `path` with plain system calls.
bool DurableReplace(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  const int folder = open(Bench.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = folder >= 0 && fsync(folder) == 0 && ok;
  if (folder >= 0) close(folder);
  return ok;
}

// The median of `runs` durable replaces of the report's size.
double MeasureBaseline(int runs) {
  const std::string bytes(Bench.reportSize, 'Q');
  const std::string path = Bench.folder + "/baseline.bin";
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    DurableReplace(path, bytes);
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::filesystem::remove(path);
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[static_cast<std::size_t>(runs / 2)];
}

// Runs `step` once per iteration, timed by hand; `between` runs untimed after
// each step. The ratio to the durable replace ("x_baseline") is taken from
// replaces timed in the same repetition, so that the disk's drift over a run
// moves both alike: for a step that writes the report, one replace before
// each step, in turn; for the others (microseconds, where a replace per step
// would make the run a hundred times longer) 21 replaces just before the
// repetition. With --benchmark_repetitions, the aggregates give each ratio's
// spread.
template <class Step, class Between>
void Measure(benchmark::State& state, bool writes, Step step, Between between) {
  const std::string bytes(Bench.reportSize, 'Q');
  const std::string path = Bench.folder + "/baseline.bin";
  double total = 0, replaced = 0;
  int64_t replaces = 0;
  if (!writes) {
    replaced = MeasureBaseline(21);
    replaces = 1;
  }
  for (auto _ : state) {
    if (writes) {
      const auto before = Clock::now();
      DurableReplace(path, bytes);
      replaced += std::chrono::duration<double>(Clock::now() - before).count();
      ++replaces;
    }
    const auto start = Clock::now();
    step();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
    between();
  }
  std::filesystem::remove(path);
  const double each = total / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
  const double baseline = replaces > 0 ? replaced / static_cast<double>(replaces) : 0;
  state.counters["x_baseline"] = baseline > 0 ? each / baseline : 0;
  state.counters["baseline_us"] = baseline * 1e6;
}
template <class Step>
void Measure(benchmark::State& state, bool writes, Step step) {
  Measure(state, writes, step, [] {});
}

void BM_DurableReplaceBaseline(benchmark::State& state) {
  const std::string bytes(Bench.reportSize, 'Q');
  const std::string path = Bench.folder + "/baseline.bin";
  Measure(state, false, [&] { DurableReplace(path, bytes); });
  std::filesystem::remove(path);
}

// A letter typed into the entry row's call sign, then Backspace, in turn:
// each a stored cell, one rewrite and the duplicate scan of 768 rows.
void BM_Keystroke(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  bool letter = true;
  Measure(state, true, [&] {
    PressKey(letter ? kKeyLetterA : kKeyBackspace);
    letter = !letter;
  });
  if (Report.WriteFailed) state.SkipWithError("a rewrite failed");
}

// Enter on the entry row holding a call and an exchange: the stamps, the
// next entry row, one rewrite. Between iterations the new row is taken back.
void BM_Commit(benchmark::State& state) {
  if (!StartOn(766)) return state.SkipWithError("the log could not be set up");
  const int entryRow = Log.QsoCount;
  auto fill = [entryRow] {
    QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(entryRow)];
    row[kColCall] = "RZ9ZZ";
    row[kColReceived] = "599042";
    row[kColTime].clear();
    row[kColDate].clear();
  };
  fill();
  Measure(
      state, true, [] { PressKey(kKeyEnter); },
      [&] {
        Log.QsoLog[static_cast<std::size_t>(entryRow + 1)] = QsoRecord{};
        Log.QsoCount = entryRow;
        Log.TopOffset = std::max(0, entryRow - kGridRows);
        Log.CurrentRow = entryRow - Log.TopOffset;
        fill();
      });
  if (Report.WriteFailed) state.SkipWithError("a rewrite failed");
}

// The scan after a key: the current row changed since the last scan.
void BM_LogScan(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  Measure(state, false, [] {
    Log.RowStamps[static_cast<std::size_t>(Log.QsoCount)] = ++Log.Edits;
    LogScan();
  });
}

// The scan after every row changed (a report just opened).
void BM_LogScanAllRowsNew(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  Measure(state, false, [] {
    ++Log.Epoch;
    LogScan();
  });
}

void BM_WriteReport(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  Measure(state, true, [] { WriteReportFile(); });
  if (Report.WriteFailed) state.SkipWithError("a rewrite failed");
}

// Only building the report's text, which the rewrite does first.
void BM_BuildReportText(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  std::string text;
  Measure(state, false, [&] {
    BuildReportTextInto(text);
    benchmark::DoNotOptimize(text.data());
  });
}

// The reopen of a 768-row report as start-up does it.
void BM_OpenReport(benchmark::State& state) {
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  Measure(state, true, [] {
    Report.AutoOpen = true;
    OpenReport();
    Report.AutoOpen = false;
  });
  if (Log.QsoCount != 768) state.SkipWithError("the report did not read back whole");
}

// The grid shown from another place, as PageUp and PageDown do, in turn.
void BM_RefreshGrid(benchmark::State& state) {
#ifndef CORVANE_BENCH_QT
  state.SkipWithError("built without Qt: the grid's widgets are not there to refresh");
  return;
#endif
  if (!StartOn(767)) return state.SkipWithError("the full log could not be set up");
  int offset = 0;
  Measure(state, false, [&] {
    RefreshGrid(offset);
    offset = offset == 0 ? kLogRows - kGridRows : 0;
  });
}

BENCHMARK(BM_DurableReplaceBaseline)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Keystroke)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Commit)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LogScan)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LogScanAllRowsNew)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteReport)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildReportText)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenReport)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshGrid)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string folder = "corvane-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  Bench.folder = std::filesystem::absolute(folder).string();
  const std::string home = std::filesystem::current_path().string();
  std::filesystem::current_path(Bench.folder);  // corvane.ini is read from here
  Bench.reportSize = ReportWith(767).size();
  if (!InitWindowLayer()) {
    std::fprintf(stderr, "corvane_bench: the window layer cannot start\n");
    return 1;
  }
  Bench.baseline = MeasureBaseline(201);
  std::fprintf(stderr, "baseline: one durable replace of %zu bytes, median %.1f us\n",
               Bench.reportSize, Bench.baseline * 1e6);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndProgram();
  std::filesystem::current_path(home);
  std::filesystem::remove_all(Bench.folder);
  return 0;
}
