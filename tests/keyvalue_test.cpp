// The key-value settings document: parsing, lookups, write-out.
#include "base/keyvalue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "tests/test_support.h"

namespace {

class KeyValueTest : public TempDirTest {
 protected:
  void TearDown() override {
    CloseKeyValueFile();
    TempDirTest::TearDown();
  }
};

const std::string kBom = "\xEF\xBB\xBF";

TEST_F(KeyValueTest, Lookups) {
  const struct {
    const char* name;
    std::string file;
    const char* group;
    const char* key;
    std::string want;  // "<default>" when the key is not found
    int32_t number;
  } kCases[] = {
      {"tight", "TimeMin=30", "", "TimeMin", "30", 30},
      {"one blank each side", "TimeMin = 30", "", "TimeMin", "30", 30},
      {"many blanks", "   TimeMin \t =  \t 30  \t", "", "TimeMin", "30", 30},
      {"case of group and key", "[main]\r\ntimemin = 30\r\n", "Main", "TimeMin", "30", 30},
      {"second of two groups", "[Main]\nA=1\n[Main]\nB=2\n", "Main", "B", "<default>", -7},
      {"first of two keys", "[M]\nKey = a\nkey = b\n", "M", "KEY", "a", 0},
      {"key without =", "Key\r\nNext=5\r\n", "", "Key", "", 0},
      {"line after a key without = (CR LF)", "Key\r\nNext=5\r\n", "", "Next", "5", 5},
      {"line after a key without = (LF)", "Key\nNext=5\n", "", "Next", "5", 5},
      {"text after ]", "[Main] junk\nK=1\n", "Main", "K", "1", 1},
      {"unterminated group", "[Main\nK=1\n", "Main", "K", "1", 1},
      {"group names are not trimmed", "[ Main ]\nK=1\n", "Main", "K", "<default>", -7},
      {"empty value", "K=\n", "", "K", "", 0},
      {"= and ; belong to the value", "K = a=b;c", "", "K", "a=b;c", 0},
      {"hexadecimal", "K=0xFF00", "", "K", "0xFF00", 0},
      {"number then text", "K=-12abc", "", "K", "-12abc", -12},
      {"too large", "K=99999999999", "", "K", "99999999999", INT_MAX},
      {"too small", "K=-99999999999", "", "K", "-99999999999", INT_MIN},
      {"key in a group is not in the unnamed section", "[G]\nK=1\n", "", "K", "<default>", -7},
      {"unnamed section before groups", "K=1\n[G]\nK=2\n", "", "K", "1", 1},
      {"comment is not a key", "; K=1\n", "", "K", "<default>", -7},
      {"Cyrillic letters keep their case", "\xC6=1\n", "", "\xE6", "<default>", -7},
      {"UTF-8 latin value", kBom + "K=caf\xC3\xA9\r\n", "", "K", "caf\xE9", 0},
      {"UTF-8 Cyrillic value", kBom + "K=\xD0\x96\r\n", "", "K", "", 0},
      {"UTF-8 truncated value", kBom + "K=a\xC3", "", "K", "", 0},
      {"UTF-8 over-long value", kBom + "K=\xC1\x81", "", "K", "", 0},
      {"UTF-8 four bytes", kBom + "K=\xF0\x9F\x98\x80", "", "K", "", 0},
      {"UTF-8 key with a high byte", kBom + "\xC3\xA9=1", "", "\xE9", "1", 1},
      {"truncated mark is plain text", "\xEF\xBB\nK=1", "", "K", "1", 1},
      {"byte 0 ends a line", std::string("A=1\0K=2\n", 8), "", "K", "2", 2},
      {"lone CR", "A=1\rK=2", "", "K", "2", 2},
      {"megabyte line", "K=" + std::string(1 << 20, 'v') + "\n", "", "K", std::string(1 << 20, 'v'),
       0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("corvane.ini", c.file);
    ASSERT_TRUE(OpenKeyValueFile("corvane.ini"));
    SelectKeyGroup(c.group);
    EXPECT_EQ(ReadKeyString(c.key, "<default>"), c.want);
    EXPECT_EQ(ReadKeyInteger(c.key, -7), c.number);
    CloseKeyValueFile();
    EXPECT_EQ(ReadFileBytes("corvane.ini"), c.file);  // read only: never written back
  }
}

TEST_F(KeyValueTest, WriteOut) {
  const struct {
    const char* name;
    std::string file;  // before; "<none>" for no file
    std::function<void()> change;
    std::string want;
  } kCases[] = {
      {"integer and empty value", "",
       [] {
         WriteKeyInteger("Key", -1);
         WriteKeyString("Empty", "");
       },
       "Key = -1\r\nEmpty = \r\n"},
      {"comments", ";x\r\n;  x\r\n", [] { WriteKeyInteger("K", 1); }, "; x\r\n;  x\r\nK = 1\r\n"},
      {"layout is normalised", "\r\n  [A] junk\r\n\r\n\tx=1  \r\n\r\n",
       [] {
         SelectKeyGroup("A");
         WriteKeyString("y");
       },
       "[A]\r\nx = 1  \r\ny = \r\n"},
      {"missing group is appended", "[A]\r\nx = 1\r\n",
       [] {
         EXPECT_FALSE(SelectKeyGroup("Group"));
         EXPECT_EQ(ReadKeyString("x", "d"), "d");
         WriteKeyString("k", "v");
         WriteKeyString("k2", "w");
       },
       "[A]\r\nx = 1\r\n[Group]\r\nk = v\r\nk2 = w\r\n"},
      {"first of two keys is replaced", "[M]\r\nKey = a\r\nkey = b\r\n",
       [] {
         SelectKeyGroup("m");
         WriteKeyString("KEY", "c");
       },
       "[M]\r\nKEY = c\r\nkey = b\r\n"},
      {"new key ends its section", "z=0\r\n[A]\r\nx=1\r\n[B]\r\ny=2\r\n",
       [] {
         SelectKeyGroup("A");
         WriteKeyInteger("w", 3);
         SelectKeyGroup("");
         WriteKeyInteger("u", 4);
       },
       "z = 0\r\nu = 4\r\n[A]\r\nx = 1\r\nw = 3\r\n[B]\r\ny = 2\r\n"},
      {"UTF-8 document", kBom + "[A]\r\n",
       [] {
         SelectKeyGroup("A");
         WriteKeyString("\xE9", "\xFF");
       },
       kBom + "\r\n[A]\r\n\xC3\xA9 = \xC3\xBF\r\n"},
      {"line ends cannot be smuggled in", "", [] { WriteKeyString("K", "a\r\n[X]\r\nb"); },
       "K = a\r\n"},
      {"missing file is created at close", "<none>",
       [] {
         SelectKeyGroup("Main");
         WriteKeyInteger("TimeMin", 30);
       },
       "[Main]\r\nTimeMin = 30\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove("corvane.ini");
    if (c.file != "<none>") WriteFileBytes("corvane.ini", c.file);
    EXPECT_EQ(OpenKeyValueFile("corvane.ini"), c.file != "<none>");
    c.change();
    CloseKeyValueFile();
    EXPECT_EQ(ReadFileBytes("corvane.ini"), c.want);
  }
}

TEST_F(KeyValueTest, CreateReplacesOnlyAtClose) {
  WriteFileBytes("corvane.ini", "[Old]\r\nK = 1\r\n");
  ASSERT_TRUE(CreateKeyValueFile("corvane.ini"));
  EXPECT_EQ(ReadFileBytes("corvane.ini"), "[Old]\r\nK = 1\r\n");  // nothing lost yet
  EXPECT_FALSE(SelectKeyGroup("Old"));
  WriteKeyInteger("N", 2);
  CloseKeyValueFile();
  EXPECT_EQ(ReadFileBytes("corvane.ini"), "[Old]\r\nN = 2\r\n");

  ASSERT_TRUE(CreateKeyValueFile("corvane.ini"));
  CloseKeyValueFile();
  EXPECT_EQ(ReadFileBytes("corvane.ini"), "");  // created and left empty

  // Opening another file closes (and writes out) the current document.
  ASSERT_TRUE(CreateKeyValueFile("a.ini"));
  WriteKeyInteger("A", 1);
  EXPECT_FALSE(OpenKeyValueFile("b.ini"));
  EXPECT_EQ(ReadFileBytes("a.ini"), "A = 1\r\n");
}

TEST_F(KeyValueTest, FailuresWriteNothing) {
  // No document at all: everything is ignored.
  EXPECT_FALSE(SelectKeyGroup(""));
  WriteKeyInteger("K", 1);
  EXPECT_EQ(ReadKeyInteger("K", 5), 5);
  EXPECT_FALSE(CreateKeyValueFile("no/such/corvane.ini"));
  EXPECT_FALSE(SelectKeyGroup("Main"));
  WriteKeyInteger("K", 1);
  CloseKeyValueFile();
  EXPECT_FALSE(PathExists("no"));

  // A folder reads like a missing file, and cannot be replaced.
  ASSERT_EQ(mkdir("folder", 0777), 0);
  EXPECT_FALSE(OpenKeyValueFile("folder"));
  EXPECT_EQ(ReadKeyString("K", "d"), "d");
  WriteKeyInteger("K", 1);
  CloseKeyValueFile();
  EXPECT_FALSE(CreateKeyValueFile("folder"));

  // A file too large to read is not overwritten by a later change.
  const std::string huge(17u << 20, 'x');
  WriteFileBytes("huge.ini", huge);
  EXPECT_FALSE(OpenKeyValueFile("huge.ini"));
  WriteKeyInteger("K", 1);
  CloseKeyValueFile();
  EXPECT_EQ(ReadFileBytes("huge.ini").size(), huge.size());

  // Too many lines count as unreadable too.
  std::string many;
  for (int i = 0; i < 70000; ++i) many += "k\n";
  WriteFileBytes("many.ini", many);
  EXPECT_FALSE(OpenKeyValueFile("many.ini"));
  CloseKeyValueFile();
  EXPECT_EQ(ReadFileBytes("many.ini"), many);
}

// Makes a file unwritable even for root (the immutable attribute); false
// where the file system does not allow it.
bool SetImmutable(const char* path, bool on) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK);
  int flags = 0;
  bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

TEST_F(KeyValueTest, ReadOnlyFileIsReadButNotWritten) {
  const std::string before = "[Main]\r\nK=1\r\n";
  WriteFileBytes("corvane.ini", before);
  const bool locked =
      geteuid() == 0 ? SetImmutable("corvane.ini", true) : chmod("corvane.ini", 0444) == 0;
  if (!locked) GTEST_SKIP() << "cannot make a file unwritable here";
  EXPECT_TRUE(OpenKeyValueFile("corvane.ini"));
  EXPECT_TRUE(SelectKeyGroup("Main"));
  EXPECT_EQ(ReadKeyInteger("K", 0), 1);
  WriteKeyInteger("K", 2);
  CloseKeyValueFile();
  EXPECT_FALSE(CreateKeyValueFile("corvane.ini"));
  if (geteuid() == 0) SetImmutable("corvane.ini", false);
  EXPECT_EQ(ReadFileBytes("corvane.ini"), before);
}

TEST_F(KeyValueTest, EmptyFileGivesDefaults) {
  WriteFileBytes("corvane.ini", "");
  ASSERT_TRUE(OpenKeyValueFile("corvane.ini"));
  EXPECT_TRUE(SelectKeyGroup(""));
  EXPECT_FALSE(SelectKeyGroup("Main"));
  EXPECT_EQ(ReadKeyString("K"), "");
  EXPECT_EQ(ReadKeyInteger("K", 42), 42);
}

}  // namespace
