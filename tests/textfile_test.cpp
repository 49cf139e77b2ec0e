// The buffered text-file layer and the safe replacement of files.
#include "base/textfile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

using Names = std::vector<std::string>;

class TextFileTest : public TempDirTest {
 protected:
  // Every test ends with no temporary file of a replacement left anywhere.
  void TearDown() override {
    CloseAllTextFiles();
    for (const auto& e : std::filesystem::recursive_directory_iterator(".")) {
      EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
    }
    TempDirTest::TearDown();
  }
};

TEST_F(TextFileTest, ReadsLinesWithEveryKindOfEnd) {
  const std::string a4095(4095, 'a'), c1m(1 << 20, 'c');
  const struct {
    const char* name;
    std::string bytes;
    Names want;
  } kCases[] = {
      {"LF", "one\ntwo\n", {"one", "two"}},
      {"CR", "one\rtwo\r", {"one", "two"}},
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"LF CR: an end and an empty line", "one\n\rtwo", {"one", "", "two"}},
      {"no terminator at the end", "x\nabc", {"x", "abc"}},
      {"lone CR at the end", "abc\r", {"abc"}},
      {"byte 0 ends a line", std::string("ab\0cd\n", 6), {"ab", "cd"}},
      {"empty file", "", {}},
      {"CR LF across the buffer end", a4095 + "\r\nb", {a4095, "b"}},
      {"CR, letter across the buffer end", a4095 + "\rb", {a4095, "b"}},
      {"CR last byte of a full buffer", a4095 + "\r", {a4095}},
      {"one megabyte", c1m + "\r\nz", {c1m, "z"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("in.txt", c.bytes);
    ASSERT_NE(OpenTextFileForReading(2, "in.txt"), 0);
    Names lines;
    while (!AtEndOfFile(2)) lines.push_back(ReadLine(2));
    EXPECT_EQ(lines, c.want);
    EXPECT_EQ(ReadLine(2), "");
  }
  // A huge line costs no more memory than the limit the caller gives.
  WriteFileBytes("in.txt", std::string(9000, 'x') + "\nnext\n");
  ASSERT_NE(OpenTextFileForReading(0, "in.txt"), 0);
  EXPECT_EQ(ReadLine(0, 5), "xxxxx");
  EXPECT_EQ(ReadLine(0, 5), "next");
}

TEST_F(TextFileTest, WritesBytesInTheOrderOfTheCalls) {
  const std::vector<std::size_t> kCases[] = {
      {1, 2, 3}, {4095, 1}, {4096}, {10, 4096, 10}, {4000, 100, 5000, 1, 9000}, {0, 5, 0}};
  for (const auto& sizes : kCases) {
    SCOPED_TRACE(testing::PrintToString(sizes));
    ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
    std::string expected;
    char letter = 'a';
    for (std::size_t n : sizes) {
      const std::string text(n, letter++);
      EXPECT_EQ(WriteText(1, text), static_cast<int>(n));
      expected += text;
      // Nothing short waits unwritten behind a text written straight through.
      if (n >= 4096) {
        EXPECT_EQ(ReadFileBytes("out.txt"), expected);
      }
    }
    CloseTextFile(1);
    EXPECT_EQ(ReadFileBytes("out.txt"), expected);
  }
}

TEST_F(TextFileTest, CreatingEmptiesAndReopeningWritesOutTheEarlierFile) {
  WriteFileBytes("out.txt", "old content");
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  EXPECT_EQ(ReadFileBytes("out.txt"), "");
  WriteText(1, "abc\n");
  EXPECT_EQ(ReadFileBytes("out.txt"), "");  // still in the buffer
  ASSERT_NE(OpenTextFileForReading(1, "out.txt"), 0);
  EXPECT_EQ(ReadLine(1), "abc");
  // Recreating the same file: the old buffered bytes must not land in the new one.
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  WriteText(1, "123");
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  WriteText(1, "Z");
  CloseAllTextFiles();
  EXPECT_EQ(ReadFileBytes("out.txt"), "Z");
}

TEST_F(TextFileTest, FailedOpensChangeNothing) {
  ASSERT_TRUE(fs::create_directory("folder"));
#ifdef _WIN32
  const std::string special = "NUL";  // a device, not a file
#else
  const std::string special = "pipe";
  ASSERT_EQ(mkfifo("pipe", 0666), 0);
#endif
  WriteFileBytes("in.txt", "first\n");
  ASSERT_NE(OpenTextFileForReading(3, "in.txt"), 0);
  const std::string kBad[] = {"no/such.txt", "folder", special, "", std::string("in.txt\0x", 8)};
  for (const std::string& path : kBad) {
    SCOPED_TRACE(path);
    EXPECT_EQ(OpenTextFileForReading(3, path), 0);
    EXPECT_EQ(CreateTextFile(3, path), 0);
    EXPECT_EQ(CreateReplacementFile(3, path), 0);
  }
  EXPECT_EQ(OpenTextFileForReading(3, "missing.txt"), 0);
  EXPECT_EQ(OpenTextFileForReading(-1, "in.txt"), 0);
  EXPECT_EQ(CreateTextFile(kMaxFileNumber + 1, "in.txt"), 0);
  EXPECT_EQ(ReadLine(3), "first");  // the file under 3 stayed open, in.txt untouched
  EXPECT_EQ(WriteText(7, "x"), 0);
  EXPECT_EQ(ReadLine(7), "");
  for (int number : {7, -5, kMaxFileNumber + 100}) EXPECT_TRUE(AtEndOfFile(number)) << number;
}

TEST_F(TextFileTest, ReplacementAppearsOnlyAtCommit) {
  WriteFileBytes("report.cbr", "old");
#ifndef _WIN32
  ASSERT_EQ(chmod("report.cbr", 0640), 0);
#endif
  ASSERT_NE(CreateReplacementFile(0, "report.cbr"), 0);
  WriteText(0, "new");
  CloseTextFile(0);  // abandoned
  EXPECT_EQ(ReadFileBytes("report.cbr"), "old");
  ASSERT_NE(CreateReplacementFile(0, "report.cbr"), 0);
  WriteText(0, "new ");
  WriteText(0, std::string(5000, 'n'));
  EXPECT_EQ(ReadFileBytes("report.cbr"), "old");
  EXPECT_TRUE(CommitTextFile(0));
  EXPECT_EQ(ReadFileBytes("report.cbr"), "new " + std::string(5000, 'n'));
  EXPECT_FALSE(CommitTextFile(0));  // no longer open
#ifndef _WIN32
  // A new file gets the usual permissions, not the temporary file's 0600.
  const mode_t mask = umask(022);
  ASSERT_NE(CreateReplacementFile(0, "fresh.cbr"), 0);
  EXPECT_TRUE(CommitTextFile(0));
  umask(mask);
  for (const auto& [path, mode] : {std::pair{"report.cbr", 0640u}, {"fresh.cbr", 0644u}}) {
    struct stat info {};
    EXPECT_EQ(stat(path, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, mode) << path;
  }
#endif
}

TEST_F(TextFileTest, FailedCommitLeavesTheTarget) {
#ifndef _WIN32
  WriteFileBytes("report.cbr", "old");
  // The disk fills up: writes beyond 100 bytes fail.
  ASSERT_NE(CreateReplacementFile(0, "report.cbr"), 0);
  WriteText(0, "short");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 100;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  WriteText(0, std::string(8000, 'x'));
  const bool committed = CommitTextFile(0);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(committed);
  EXPECT_EQ(ReadFileBytes("report.cbr"), "old");
#endif
  // The target turned into a folder before the commit: the rename fails.
  ASSERT_NE(CreateReplacementFile(0, "gone.cbr"), 0);
  ASSERT_TRUE(fs::create_directory("gone.cbr"));
  EXPECT_FALSE(CommitTextFile(0));
}

// A folder where no new file may be made: a writable file in it is rewritten
// in place (longer and shorter versions, a copy onto it), a new file there
// fails; a file marked read-only is never written.
TEST_F(TextFileTest, ReadOnlyFolderAndFile) {
  ASSERT_TRUE(fs::create_directory("locked"));
  WriteFileBytes("locked/report.cbr", "old");
  WriteFileBytes("source.cbr", "copied");
  WriteFileBytes("fixed.cbr", "old");
  if (!SetWriteLock("locked", true) || !SetWriteLock("fixed.cbr", true)) {
    SetWriteLock("locked", false);
    GTEST_SKIP() << "cannot make a folder or file unwritable here";
  }
  EXPECT_TRUE(CanReplaceFile("locked/report.cbr"));
  EXPECT_FALSE(FolderTakesNewFiles("locked/report.cbr"));
  EXPECT_FALSE(CanReplaceFile("locked/new.cbr"));
  EXPECT_FALSE(CanReplaceFile("fixed.cbr"));
  for (const char* version : {"a much longer new version\r\n", "short"}) {
    SCOPED_TRACE(version);
    ASSERT_NE(CreateReplacementFile(0, "locked/report.cbr"), 0);
    WriteText(0, version);
    bool inPlace = false;
    EXPECT_TRUE(CommitTextFile(0, &inPlace));
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(ReadFileBytes("locked/report.cbr"), version);
  }
  // A replacement given up before its commit leaves the file as it was.
  ASSERT_NE(CreateReplacementFile(0, "locked/report.cbr"), 0);
  WriteText(0, "never");
  CloseTextFile(0);
  EXPECT_EQ(ReadFileBytes("locked/report.cbr"), "short");
  EXPECT_TRUE(CopyFileReplacing("source.cbr", "locked/report.cbr"));
  EXPECT_EQ(ReadFileBytes("locked/report.cbr"), "copied");
  EXPECT_TRUE(ReplaceFileContents("locked/report.cbr", "replaced"));
  EXPECT_EQ(ReadFileBytes("locked/report.cbr"), "replaced");
  EXPECT_EQ(CreateReplacementFile(0, "locked/new.cbr"), 0);
  EXPECT_EQ(CreateTextFile(0, "fixed.cbr"), 0);
  EXPECT_EQ(CreateReplacementFile(0, "fixed.cbr"), 0);  // a read-only file is not replaced
  SetWriteLock("locked", false);
  SetWriteLock("fixed.cbr", false);
  EXPECT_EQ(ReadFileBytes("fixed.cbr"), "old");
  EXPECT_EQ(fs::directory_iterator("locked")->path().filename(), "report.cbr");
  EXPECT_EQ(std::distance(fs::directory_iterator("locked"), fs::directory_iterator()), 1);
}

// A file marked read-only is read, but never written, replaced or copied over.
TEST_F(TextFileTest, ReadOnlyFileIsNeverReplaced) {
  WriteFileBytes("fixed.cbr", "old");
  WriteFileBytes("source.cbr", "copied");
  if (!SetWriteLock("fixed.cbr", true)) GTEST_SKIP() << "cannot make a file unwritable here";
  EXPECT_FALSE(CanReplaceFile("fixed.cbr"));
  EXPECT_TRUE(CanReplaceFile("fresh.cbr"));
  EXPECT_EQ(CreateTextFile(0, "fixed.cbr"), 0);
  EXPECT_EQ(CreateReplacementFile(0, "fixed.cbr"), 0);
  EXPECT_FALSE(CopyFileReplacing("source.cbr", "fixed.cbr"));
  EXPECT_FALSE(ReplaceFileContents("fixed.cbr", "new"));
  ASSERT_NE(OpenTextFileForReading(0, "fixed.cbr"), 0);
  EXPECT_EQ(ReadLine(0), "old");
  CloseTextFile(0);
  SetWriteLock("fixed.cbr", false);
  EXPECT_EQ(ReadFileBytes("fixed.cbr"), "old");
}

TEST_F(TextFileTest, PathsCopyAndRead) {
  const std::string name(cp1251::FromUtf8("Отчёт.cbr"));
  ASSERT_NE(CreateTextFile(kMaxFileNumber, name), 0);
  WriteText(kMaxFileNumber, "QSO");
  CloseTextFile(kMaxFileNumber);
  EXPECT_EQ(ReadFileBytes(fs::path(u8"Отчёт.cbr")), "QSO");  // the name in the system's encoding
  EXPECT_TRUE(FileExists(name));
  EXPECT_FALSE(FileExists("."));
  EXPECT_FALSE(FileExists(std::string("x\0", 2)));
  const std::string big = std::string("a\0b", 3) + std::string(200000, 'z');
  WriteFileBytes("src", big);
  EXPECT_TRUE(CopyFileReplacing("src", "dst"));
  EXPECT_FALSE(CopyFileReplacing("missing", "dst"));
  EXPECT_FALSE(CopyFileReplacing("src", "no/dst"));
  EXPECT_FALSE(CopyFileReplacing(".", "dst"));
  EXPECT_EQ(ReadFileBytes("dst"), big);
  std::string content;
  EXPECT_FALSE(ReadFileContents("src", big.size() - 1, &content));
  EXPECT_TRUE(ReadFileContents("src", big.size(), &content));
  EXPECT_EQ(content, big);
  EXPECT_FALSE(ReadFileContents(".", 100, &content));
}

}  // namespace
