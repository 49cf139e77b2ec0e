#include "tests/test_support.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool PathExists(const std::string& path) { return std::filesystem::exists(path); }

const char kSamplesFolder[] = CORVANE_SAMPLES_DIR;

std::string SamplesFolder() {
  std::error_code ec;
  return std::filesystem::is_directory(kSamplesFolder, ec) ? kSamplesFolder : "";
}

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
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
  std::filesystem::current_path(dir_);
}

void TempDirTest::TearDown() {
  std::filesystem::current_path(oldDir_);
  std::error_code ec;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(dir_, ec);
}
