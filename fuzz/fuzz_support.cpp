#include "fuzz/fuzz_support.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app.h"
#include "base/date.h"
#include "log/log.h"
#include "report/report.h"
#include "settings/options.h"
#include "settings/settings.h"
#include "ui/headless.h"
#include "ui/window.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFolderPrefix[] = "corvane-fuzz-";
std::string PrivateFolder;

void RemovePrivateFolder() {
  if (PrivateFolder.empty()) return;
  std::error_code ec;
  fs::current_path(fs::temp_directory_path(ec), ec);
  fs::remove_all(PrivateFolder, ec);
}

fs::path TemporaryRoot() {
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') return tmp;
  // Reports are flushed to the disk at every rewrite; in memory that costs nothing.
  if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

// Folders of runs that ended without removing theirs (libFuzzer ends most
// runs without the exit handlers, and a broken property aborts): a folder is
// named after its process, and one whose process is gone is removed.
void RemoveFoldersOfEndedRuns(const fs::path& root) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kFolderPrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::strlen(kFolderPrefix), nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      fs::remove_all(entry.path(), ec);
    }
  }
}

}  // namespace

void EnterPrivateFolder() {
  if (!PrivateFolder.empty()) return;
  const fs::path root = TemporaryRoot();
  RemoveFoldersOfEndedRuns(root);
  std::string pattern = (root / (kFolderPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("corvane fuzz: no private folder");
    std::abort();
  }
  PrivateFolder = pattern;
  fs::current_path(PrivateFolder);
  std::atexit(RemovePrivateFolder);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

void ResetProgram() {
  headless::Reset();
  ResetRecords();
  SetClockOffset(0);
  SetFixedClock(1267952702);  // 2010-03-07 09:05:02
  SetBeforeWaitHook(SettleBeforeWait);
}

void Require(bool ok, std::string_view what, std::string_view detail) {
  if (ok) return;
  std::fprintf(stderr, "\n*** property broken: %.*s\n", static_cast<int>(what.size()), what.data());
  // Control bytes and bytes from 0x80 as \xNN, so that the detail stays readable.
  for (const char c : detail) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\n' || (b >= 0x20 && b < 0x7F)) {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", b);
    }
  }
  if (!detail.empty()) std::fputc('\n', stderr);
  std::abort();
}
