// Shared pieces of the tests: a fresh temporary working folder per test,
// whole-file reads and writes, and the reset of every process-wide record.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "app/app.h"
#include "base/date.h"
#include "log/log.h"
#include "report/report.h"
#include "rig/rig.h"
#include "settings/options.h"
#include "settings/settings.h"
#include "ui/headless.h"

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// The path named by UTF-8 bytes (a narrow path is in the ANSI code page on Windows).
std::filesystem::path Utf8Path(std::string_view utf8);
bool PathExists(const std::string& path);

// The folder of Cabrillo logs written by other programs, set by the build
// (CORVANE_SAMPLES_DIR); it lies outside the repository, so a clone elsewhere
// may lack it. SamplesFolder() is "" then, and tests that need it skip.
extern const char kSamplesFolder[];
std::string SamplesFolder();
// Makes a file or folder unwritable, also for the superuser (who ignores the
// permission bits: the immutable attribute is used then), or writable again.
// False where that cannot be done here.
bool SetWriteLock(const char* path, bool on);

// Each test runs in a new empty folder that is removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_;
  std::string oldDir_;
};

// 2010-03-07 09:05:02, the clock the tests start with.
inline constexpr DateValue kTestClock = 1267952702;

// Every record back to its start, the headless backend emptied, the clock fixed.
inline void ResetEverything() {
  headless::Reset();
  ResetRecords();
  ConfigureRig(0, "", 0);  // a poller left by an earlier test goes idle
  SetClockOffset(0);
  SetFixedClock(kTestClock);
  SetBeforeWaitHook(SettleBeforeWait);  // as start-up sets it
}

// A field stored as an event's handler stores it, then the rewrite that the
// program's next wait makes.
inline void StoreAndWait(int column, int gridRow, int topOffset, std::string_view text) {
  StoreCell(column, gridRow, topOffset, text);
  RunBeforeWaitHook();
}

// A fresh headless backend with only the main window open and active, as a
// dialog finds it.
void OpenMainWindowOnly();
// Runs a modal dialog over the queued events (probes included); it must take
// them all, close window `dialogId`, and leave the main window enabled and
// active. Then the main loop's wait would come: its hook runs.
void RunDialog(void (*dialog)(), int dialogId);

// A temporary folder and a program in its start state.
class ProgramTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ResetEverything();
  }
};
