// The buffered text-file layer and the safe replacement of files.
#include "base/textfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/test_support.h"

namespace {

class TextFileTest : public TempDirTest {
 protected:
  void TearDown() override {
    CloseAllTextFiles();
    TempDirTest::TearDown();
  }
  std::vector<std::string> ReadAllLines(int number) {
    std::vector<std::string> lines;
    while (!AtEndOfFile(number)) lines.push_back(ReadLine(number));
    return lines;
  }
  // Names in the working folder, to see that no temporary file is left.
  static std::vector<std::string> FolderNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

using Lines = std::vector<std::string>;

TEST_F(TextFileTest, ReadsLinesWithEveryKindOfEnd) {
  const std::string a4095(4095, 'a');
  const std::string b10000(10000, 'b');
  const std::string c1m(1 << 20, 'c');
  const struct {
    const char* name;
    std::string bytes;
    Lines want;
  } kCases[] = {
      {"LF", "one\ntwo\n", {"one", "two"}},
      {"CR", "one\rtwo\r", {"one", "two"}},
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"LF CR is an end and an empty line", "one\n\rtwo", {"one", "", "two"}},
      {"no terminator at the end", "x\nabc", {"x", "abc"}},
      {"lone CR at the end", "abc\r", {"abc"}},
      {"blank lines", "\n\r\n\r", {"", "", ""}},
      {"byte 0 ends a line", std::string("ab\0cd\n", 6), {"ab", "cd"}},
      {"empty file", "", {}},
      {"CR LF across the buffer end", a4095 + "\r\nb", {a4095, "b"}},
      {"CR then a letter across the buffer end", a4095 + "\rb", {a4095, "b"}},
      {"CR as the last byte of a full buffer", a4095 + "\r", {a4095}},
      {"longer than the buffer", b10000 + "\nz", {b10000, "z"}},
      {"one megabyte", c1m + "\r\n", {c1m}},
      {"bytes above 127", "\xC0\xFF\x98\n", {"\xC0\xFF\x98"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("in.txt", c.bytes);
    ASSERT_NE(OpenTextFileForReading(2, "in.txt"), 0);
    EXPECT_EQ(ReadAllLines(2), c.want);
    EXPECT_EQ(ReadLine(2), "");
    EXPECT_TRUE(AtEndOfFile(2));
    CloseTextFile(2);
  }
}

TEST_F(TextFileTest, ReadLineKeepsOnlyTheLimit) {
  WriteFileBytes("in.txt", std::string(9000, 'x') + "\nnext\n");
  ASSERT_NE(OpenTextFileForReading(0, "in.txt"), 0);
  EXPECT_EQ(ReadLine(0, 5), "xxxxx");
  EXPECT_EQ(ReadLine(0, 5), "next");
}

TEST_F(TextFileTest, WritesBytesInTheOrderOfTheCalls) {
  const struct {
    const char* name;
    std::vector<std::size_t> sizes;
  } kCases[] = {
      {"short texts", {1, 2, 3}},         {"fills the buffer", {4095, 1}},
      {"just over", {4095, 2}},           {"exactly the buffer", {4096}},
      {"direct between", {10, 4096, 10}}, {"mixed", {4000, 100, 5000, 1, 9000}},
      {"empty texts", {0, 5, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
    std::string expected;
    char letter = 'a';
    for (std::size_t n : c.sizes) {
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

TEST_F(TextFileTest, CreatingEmptiesAnExistingFileAtOnce) {
  WriteFileBytes("out.txt", "old content");
  ASSERT_NE(CreateTextFile(0, "out.txt"), 0);
  EXPECT_EQ(ReadFileBytes("out.txt"), "");
  WriteText(0, "short");
  EXPECT_EQ(ReadFileBytes("out.txt"), "");  // still in the buffer
  CloseAllTextFiles();
  EXPECT_EQ(ReadFileBytes("out.txt"), "short");
}

TEST_F(TextFileTest, OpeningUnderAUsedNumberWritesOutTheEarlierFile) {
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  WriteText(1, "abc\n");
  ASSERT_NE(OpenTextFileForReading(1, "out.txt"), 0);
  EXPECT_EQ(ReadLine(1), "abc");
  // Recreating the same file: the old buffered bytes must not land in the new one.
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  WriteText(1, "123");
  ASSERT_NE(CreateTextFile(1, "out.txt"), 0);
  WriteText(1, "Z");
  CloseTextFile(1);
  EXPECT_EQ(ReadFileBytes("out.txt"), "Z");
}

TEST_F(TextFileTest, FailedOpensChangeNothing) {
  ASSERT_EQ(mkdir("folder", 0777), 0);
  ASSERT_EQ(mkfifo("pipe", 0666), 0);
  WriteFileBytes("in.txt", "first\nsecond\n");
  ASSERT_NE(OpenTextFileForReading(3, "in.txt"), 0);
  const struct {
    const char* name;
    int number;
    std::string path;
    bool create;
  } kCases[] = {
      {"missing file", 3, "missing.txt", false},
      {"missing folder", 3, "no/such.txt", true},
      {"a folder", 3, "folder", false},
      {"a folder to create", 3, "folder", true},
      {"a pipe", 3, "pipe", false},
      {"a pipe to create", 3, "pipe", true},
      {"zero byte in the path", 3, std::string("in.txt\0x", 8), false},
      {"empty path", 3, "", false},
      {"negative number", -1, "in.txt", false},
      {"number too large", kMaxFileNumber + 1, "in.txt", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int got =
        c.create ? CreateTextFile(c.number, c.path) : OpenTextFileForReading(c.number, c.path);
    EXPECT_EQ(got, 0);
  }
  EXPECT_EQ(ReadLine(3), "first");  // the file under 3 stayed open
  EXPECT_EQ(WriteText(7, "x"), 0);
  EXPECT_EQ(ReadLine(7), "");
  EXPECT_TRUE(AtEndOfFile(7));
  EXPECT_TRUE(AtEndOfFile(-5));
  EXPECT_TRUE(AtEndOfFile(kMaxFileNumber + 100));
}

TEST_F(TextFileTest, LargeNumbersAndCyrillicPaths) {
  const std::string name(cp1251::FromUtf8("Отчёт.cbr"));
  ASSERT_NE(CreateTextFile(kMaxFileNumber, name), 0);
  WriteText(kMaxFileNumber, "QSO");
  CloseTextFile(kMaxFileNumber);
  EXPECT_EQ(ReadFileBytes("Отчёт.cbr"), "QSO");  // UTF-8 name on the disk
  EXPECT_TRUE(FileExists(name));
  EXPECT_FALSE(FileExists("."));
  EXPECT_FALSE(FileExists(std::string("x\0", 2)));
  std::string system;
  EXPECT_FALSE(SystemPath(std::string("a\0b", 3), &system));
}

TEST_F(TextFileTest, ReplacementAppearsOnlyAtCommit) {
  WriteFileBytes("report.cbr", "old");
  ASSERT_EQ(chmod("report.cbr", 0640), 0);
  ASSERT_NE(CreateReplacementFile(0, "report.cbr"), 0);
  WriteText(0, "new ");
  WriteText(0, std::string(5000, 'n'));
  EXPECT_EQ(ReadFileBytes("report.cbr"), "old");
  EXPECT_TRUE(CommitTextFile(0));
  EXPECT_EQ(ReadFileBytes("report.cbr"), "new " + std::string(5000, 'n'));
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"report.cbr"});
  struct stat info {};
  ASSERT_EQ(stat("report.cbr", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_FALSE(CommitTextFile(0));  // no longer open

  // A new file gets the usual permissions, not the temporary file's 0600.
  const mode_t mask = umask(022);
  ASSERT_NE(CreateReplacementFile(0, "fresh.cbr"), 0);
  EXPECT_TRUE(CommitTextFile(0));
  umask(mask);
  ASSERT_EQ(stat("fresh.cbr", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(TextFileTest, AbandonedReplacementLeavesTheTarget) {
  WriteFileBytes("report.cbr", "old");
  ASSERT_NE(CreateReplacementFile(0, "report.cbr"), 0);
  WriteText(0, "new");
  CloseTextFile(0);
  EXPECT_EQ(ReadFileBytes("report.cbr"), "old");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"report.cbr"});
}

TEST_F(TextFileTest, FailedCommitLeavesTheTarget) {
  WriteFileBytes("report.cbr", "old");
  EXPECT_EQ(CreateReplacementFile(0, "no/such/report.cbr"), 0);
  ASSERT_EQ(mkdir("folder", 0777), 0);
  EXPECT_EQ(CreateReplacementFile(0, "folder"), 0);

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

  // The target turned into a folder before the commit: the rename fails.
  ASSERT_NE(CreateReplacementFile(0, "gone.cbr"), 0);
  ASSERT_EQ(mkdir("gone.cbr", 0777), 0);
  EXPECT_FALSE(CommitTextFile(0));
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"folder", "gone.cbr", "report.cbr"}));
}

// Makes `path` unwritable even for root (the immutable attribute), or by its
// permission bits for anyone else; undone when the guard ends.
class WriteLock {
 public:
  explicit WriteLock(const char* path) : path_(path) { locked_ = Set(true); }
  ~WriteLock() {
    if (locked_) Set(false);
  }
  bool locked() const { return locked_; }

 private:
  bool Set(bool on) {
    if (geteuid() != 0) return chmod(path_, on ? 0555 : 0755) == 0;
    const int fd = open(path_, O_RDONLY | O_NONBLOCK);
    int flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) close(fd);
    return ok;
  }
  const char* path_;
  bool locked_ = false;
};

TEST_F(TextFileTest, ReadOnlyFolderAndFile) {
  ASSERT_EQ(mkdir("locked", 0755), 0);
  WriteFileBytes("locked/report.cbr", "old");
  WriteFileBytes("fixed.cbr", "old");
  WriteLock folder("locked");
  WriteLock file("fixed.cbr");
  if (!folder.locked() || !file.locked()) GTEST_SKIP() << "cannot make a file unwritable here";
  EXPECT_FALSE(CanReplaceFile("locked/report.cbr"));
  EXPECT_FALSE(CanReplaceFile("fixed.cbr"));
  EXPECT_EQ(CreateReplacementFile(0, "locked/report.cbr"), 0);
  EXPECT_EQ(CreateTextFile(0, "fixed.cbr"), 0);
  ASSERT_NE(CreateReplacementFile(0, "fixed.cbr"), 0);
  WriteText(0, "new");
  EXPECT_FALSE(CommitTextFile(0));
  EXPECT_EQ(ReadFileBytes("fixed.cbr"), "old");
  EXPECT_EQ(ReadFileBytes("locked/report.cbr"), "old");
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"fixed.cbr", "locked"}));
}

TEST_F(TextFileTest, CopyReadAndCheck) {
  const std::string big = std::string("a\0b", 3) + std::string(200000, 'z');
  WriteFileBytes("src", big);
  WriteFileBytes("dst", "old");
  EXPECT_TRUE(CopyFileReplacing("src", "dst"));
  EXPECT_EQ(ReadFileBytes("dst"), big);
  EXPECT_FALSE(CopyFileReplacing("missing", "dst"));
  EXPECT_FALSE(CopyFileReplacing("src", "no/dst"));
  EXPECT_FALSE(CopyFileReplacing(".", "dst"));
  EXPECT_EQ(ReadFileBytes("dst"), big);

  std::string content;
  EXPECT_TRUE(ReadFileContents("src", big.size(), &content));
  EXPECT_EQ(content, big);
  EXPECT_FALSE(ReadFileContents("src", big.size() - 1, &content));
  EXPECT_FALSE(ReadFileContents(".", 100, &content));
  EXPECT_TRUE(ReplaceFileContents("dst", "new"));
  EXPECT_EQ(ReadFileBytes("dst"), "new");

  EXPECT_TRUE(CanReplaceFile("dst"));
  EXPECT_TRUE(CanReplaceFile("not-yet"));
  EXPECT_FALSE(CanReplaceFile("."));
  EXPECT_FALSE(CanReplaceFile("no/such"));
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"dst", "src"}));
}

}  // namespace
