#include "tests/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

bool PathExists(const std::string& path) { return std::filesystem::exists(path); }

const char kSamplesFolder[] = CORVANE_SAMPLES_DIR;

std::string SamplesFolder() {
  std::error_code ec;
  return std::filesystem::is_directory(kSamplesFolder, ec) ? kSamplesFolder : "";
}

#ifdef _WIN32
// Windows keeps a file's read-only mark as its attribute, which the standard
// library sets; a folder's mark keeps no file out, so a folder cannot be closed.
bool SetWriteLock(const char* path, bool on) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               on ? std::filesystem::perm_options::remove
                                  : std::filesystem::perm_options::add,
                               ec);
  return !ec;
}
#else
bool SetWriteLock(const char* path, bool on) {
  if (geteuid() != 0) return chmod(path, on ? 0555 : 0755) == 0;
  const int fd = open(path, O_RDONLY | O_NONBLOCK);
  int flags = 0;
  bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return ok;
}
#endif

void OpenMainWindowOnly() {
  headless::Reset();
  OpenAppWindow(0, 0, 0, 798, 530, kTitleText, kMainWindowFlags);
  ActivateAppWindow(0);
}

void RunDialog(void (*dialog)(), int dialogId) {
  dialog();
  RunBeforeWaitHook();  // as the main loop's next wait does
  EXPECT_EQ(headless::PendingEvents(), 0);
  EXPECT_EQ(headless::ScriptEndCloses(), 0);
  EXPECT_FALSE(headless::Window(dialogId)->open);
  EXPECT_FALSE(headless::Window(0)->disabled);
  EXPECT_EQ(headless::ActiveWindow(), 0);
}

void TempDirTest::SetUp() {
  oldDir_ = std::filesystem::current_path().string();
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::error_code ec;
  for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() /
                           ("corvane-test-" + std::to_string(random() % 1000000000u));
    if (std::filesystem::create_directory(candidate, ec)) dir_ = candidate.string();
  }
  ASSERT_FALSE(dir_.empty()) << "no temporary folder";
  std::filesystem::current_path(dir_);
}

void TempDirTest::TearDown() {
  std::filesystem::current_path(oldDir_);
  std::error_code ec;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(dir_, ec);
}
