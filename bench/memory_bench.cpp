// How much memory reading a huge file costs: a report or a settings file of
// about 100 MB (many QSO lines, or one endless line, or junk) is read the way
// start-up reads it, and the peak resident memory of the process is printed
// before and after each read.
//
//   memory_bench [megabytes [folder]]
//
// The files are made in a new folder inside `folder` (default: the current
// folder) and removed afterwards. Each kind runs in a child process of its
// own, so that one peak does not hide the next.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "log/log.h"
#include "report/report.h"
#include "settings/settings.h"

namespace {

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Writes `bytes` megabytes made by repeating `piece`.
void WriteRepeated(const std::string& path, const std::string& head, const std::string& piece,
                   long bytes) {
  std::ofstream out(path, std::ios::binary);
  out << head;
  for (long written = 0; written < bytes; written += static_cast<long>(piece.size())) out << piece;
}

struct Kind {
  const char* name;
  const char* file;
  std::string head, piece;
  bool report;
};

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
  const std::string base = argc > 2 ? argv[2] : ".";
  if (megabytes <= 0) {
    std::fprintf(stderr, "usage: memory_bench [megabytes [folder]]\n");
    return 2;
  }
  std::string folder = base + "/memory-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  std::string junk(4096, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919) >> 2);
  const std::string qso =
      "QSO: 14200 CW 2010-03-07 0905 UA3XYZ        599001     RA1A          59001       \r\n";
  const Kind kinds[] = {
      {"report, QSO lines", "r1.cbr", "START-OF-LOG: 3.0\r\n", qso, true},
      {"report, one endless line", "r2.cbr", "START-OF-LOG: 3.0\r\nSOAPBOX: ", "S", true},
      {"report, junk", "r3.cbr", "", junk, true},
      {"corvane.ini, keys", "s1.ini", "[Main]\r\n", "TimeMin = 60\r\nFlag20M = 1\r\n", false},
      {"corvane.ini, one endless line", "s2.ini", "[Main]\r\nFile = ", "F", false},
      {"corvane.ini, junk", "s3.ini", "", junk, false},
  };
  std::printf("%-32s %12s %12s %8s\n", "input", "before kB", "peak kB", "rows");
  for (const Kind& kind : kinds) {
    const std::string path = folder + "/" + kind.file;
    WriteRepeated(path, kind.head, kind.piece, megabytes << 20);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(folder.c_str()) != 0) _exit(1);
      const long before = PeakKilobytes();
      int rows = 0;
      if (kind.report) {
        // As start-up reopens the report named in the settings.
        AppSettings.File = path;
        Report.AutoOpen = true;
        OpenReport();
        rows = Log.QsoCount;
      } else {
        std::filesystem::rename(path, folder + "/" + kSettingsFileName);
        LoadSettings();
        std::filesystem::rename(folder + "/" + kSettingsFileName, path);
      }
      std::printf("%-32s %12ld %12ld %8d\n", kind.name, before, PeakKilobytes(), rows);
      std::fflush(stdout);
      _exit(0);
    }
    waitpid(child, nullptr, 0);
    std::filesystem::remove(path);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
