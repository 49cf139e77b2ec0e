// The Windows half of the file layer, seen through the system's own calls:
// names on the disk in UTF-16 whatever the ANSI code page, a replacement that
// is a new file moved over the old one, and the owner lock as LockFileEx.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "base/textfile.h"
#include "tests/test_support.h"

namespace {

using WindowsFileTest = TempDirTest;

// The names in the current folder, as the system spells them.
std::vector<std::wstring> FolderNames() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(L"*", &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

ULONGLONG FileIndex(const wchar_t* path) {
  const HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return ok ? (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
}

// Cyrillic names reach the disk as their Unicode characters, not as bytes
// of whatever code page the system runs, and are found again.
TEST_F(WindowsFileTest, CyrillicNamesAreUnicodeOnTheDisk) {
  const struct {
    const char* utf8;
    const wchar_t* onDisk;
  } kCases[] = {
      {"Отчёт.cbr", L"\u041E\u0442\u0447\u0451\u0442.cbr"},
      {"RDXC ЁЖЯ №1.CBR", L"RDXC \u0401\u0416\u042F \u21161.CBR"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.utf8);
    const std::string name = cp1251::FromUtf8(c.utf8);
    ASSERT_NE(CreateReplacementFile(1, name), 0);
    WriteText(1, "QSO");
    ASSERT_TRUE(CommitTextFile(1));
    EXPECT_EQ(FolderNames(), std::vector<std::wstring>{c.onDisk});
    EXPECT_TRUE(FileExists(name));
    ASSERT_NE(OpenTextFileForReading(2, name), 0);
    EXPECT_EQ(ReadLine(2), "QSO");
    CloseTextFile(2);
    ASSERT_TRUE(DeleteFileW(c.onDisk));
  }
}

// A rewrite puts a new file in the old one's place (so a crash leaves one or
// the other whole), and one in place keeps the file (no new file possible).
TEST_F(WindowsFileTest, ReplacementIsANewFileMovedOverTheOld) {
  WriteFileBytes("report.cbr", "old version");
  const ULONGLONG before = FileIndex(L"report.cbr");
  ASSERT_NE(before, 0u);
  ASSERT_TRUE(ReplaceFileContents("report.cbr", "new"));
  EXPECT_EQ(ReadFileBytes("report.cbr"), "new");
  EXPECT_NE(FileIndex(L"report.cbr"), before);
  EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"report.cbr"});
  // Another program holding it open without sharing its removal stops the
  // move: the rewrite fails, and nothing changes or is left behind.
  const HANDLE holder = CreateFileW(L"report.cbr", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReplaceFileContents("report.cbr", "lost"));
  CloseHandle(holder);
  EXPECT_EQ(ReadFileBytes("report.cbr"), "new");
  EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"report.cbr"});
}

// Devices are never opened as files, whatever the folder.
TEST_F(WindowsFileTest, DeviceNamesAreNotFiles) {
  for (const char* device : {"NUL", "CON", "COM1", "nul"}) {
    SCOPED_TRACE(device);
    EXPECT_FALSE(FileExists(device));
    EXPECT_EQ(OpenTextFileForReading(1, device), 0);
    EXPECT_EQ(CreateTextFile(1, device), 0);
    EXPECT_EQ(CreateReplacementFile(1, device), 0);
    EXPECT_FALSE(CanReplaceFile(device));
  }
  EXPECT_TRUE(FolderNames().empty());
}

// The owner lock is a lock of the system's: another handle cannot take it
// while it is held, and can once it is let go; the lock file goes with it.
TEST_F(WindowsFileTest, OwnerLockIsASystemLock) {
  WriteFileBytes("log.CBR", "x");
  const int lock = TakeOwnerLock("log.CBR");
  ASSERT_GT(lock, 0);
  EXPECT_EQ(TakeOwnerLock("./LOG.cbr"), lock);  // one file, however it is spelled
  const HANDLE other = CreateFileW(L"log.CBR.lock", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  OVERLAPPED at{};
  at.OffsetHigh = 0x7FFFFFFF;
  EXPECT_FALSE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
  // The lock blocks no reading or writing of the report itself.
  EXPECT_TRUE(ReplaceFileContents("log.CBR", "y"));
  EXPECT_EQ(ReadFileBytes("log.CBR"), "y");
  ReleaseOwnerLock(lock);
  EXPECT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
  UnlockFileEx(other, 0, 1, 0, &at);
  CloseHandle(other);
  EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"log.CBR"});
  const int again = TakeOwnerLock("log.CBR");
  EXPECT_GT(again, 0);
  ReleaseOwnerLock(again);
}

}  // namespace
