// The key-value settings document: parsing, lookups, write-out.
#include "base/keyvalue.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sstream>
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
  const std::string mega(1 << 20, 'v');
  const struct {
    const char* name;
    std::string file;
    const char *group, *key;
    std::string want;  // "<default>" when the key is not found
    int32_t number;
  } kCases[] = {
      {"tight", "TimeMin=30", "", "TimeMin", "30", 30},
      {"many blanks", "   TimeMin \t =  \t 30  \t", "", "TimeMin", "30", 30},
      {"case of group and key", "[main]\r\ntimemin = 30\r\n", "Main", "TimeMin", "30", 30},
      {"second of two groups", "[Main]\nA=1\n[Main]\nB=2\n", "Main", "B", "<default>", -7},
      {"first of two keys", "[M]\nKey = a\nkey = b\n", "M", "KEY", "a", 0},
      {"key without = (CR LF)", "Key\r\nNext=5\r\n", "", "Key", "", 0},
      {"line after it (LF)", "Key\nNext=5\n", "", "Next", "5", 5},
      {"text after ]", "[Main] junk\nK=1\n", "Main", "K", "1", 1},
      {"unterminated group", "[Main\nK=1\n", "Main", "K", "1", 1},
      {"empty value", "K=\n", "", "K", "", 0},
      {"= and ; belong to the value", "K = a=b;c", "", "K", "a=b;c", 0},
      {"hexadecimal", "K=0xFF00", "", "K", "0xFF00", 0},
      {"too large", "K=99999999999", "", "K", "99999999999", INT_MAX},
      {"unnamed section ends at a group", "[G]\nK=1\n", "", "K", "<default>", -7},
      {"comment is not a key", "; K=1\n", "", "K", "<default>", -7},
      {"Cyrillic letters keep their case", "\xC6=1\n", "", "\xE6", "<default>", -7},
      {"empty file", "", "", "K", "<default>", -7},
      {"missing group", "K=1", "Main", "K", "<default>", -7},
      {"UTF-8 latin value", kBom + "K=caf\xC3\xA9\r\n", "", "K", "caf\xE9", 0},
      {"UTF-8 Cyrillic value", kBom + "K=\xD0\x96\r\n", "", "K", "", 0},
      {"UTF-8 truncated value", kBom + "K=a\xC3", "", "K", "", 0},
      {"UTF-8 over-long value", kBom + "K=\xC1\x81", "", "K", "", 0},
      {"UTF-8 key with a high byte", kBom + "\xC3\xA9=1", "", "\xE9", "1", 1},
      {"truncated mark is plain text", "\xEF\xBB\nK=1", "", "K", "1", 1},
      {"byte 0 ends a line", std::string("A=1\0K=2\n", 8), "", "K", "2", 2},
      {"lone CR", "A=1\rK=2", "", "K", "2", 2},
      {"megabyte line", "K=" + mega + "\n", "", "K", mega, 0},
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

// The text with every LF turned into CR LF.
std::string Crlf(std::string text) {
  for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
    text.insert(at, 1, '\r');
  }
  return text;
}

TEST_F(KeyValueTest, WriteOut) {
  const struct {
    const char* name;
    std::string file;     // before; "<none>" for no file
    const char* changes;  // "[G]" selects group G ("[]" none), "k=v" writes v, "k" writes ""
    std::string want;     // LF stands for CR LF
  } kCases[] = {
      {"comments", ";x\n;  x\n", "K=1", "; x\n;  x\nK = 1\n"},
      {"layout", "\r\n  [A] junk\r\n\r\n\tx=1  \r\n\r\n", "[A] y", "[A]\nx = 1  \ny = \n"},
      {"missing group appended", "[A]\nx = 1\n", "[Group] k=v k2=w",
       "[A]\nx = 1\n[Group]\nk = v\nk2 = w\n"},
      {"first of two keys", "[M]\nKey = a\nkey = b\n", "[m] KEY=c", "[M]\nKEY = c\nkey = b\n"},
      {"section ends", "z=0\n[A]\nx=1\n[B]\ny=2\n", "[A] w=3 [] u=4",
       "z = 0\nu = 4\n[A]\nx = 1\nw = 3\n[B]\ny = 2\n"},
      {"UTF-8", kBom + "[A]\n", "[A] \xE9=\xFF", kBom + "\n[A]\n\xC3\xA9 = \xC3\xBF\n"},
      // Not at the very start, the mark's bytes are the text of a key; written
      // first, they would make the next read take the file for UTF-8.
      {"mark bytes after a blank line", "\n" + kBom + "[A]\n\xC0=1\n", "\xC0=2",
       "\n" + kBom + "[A] = \n\xC0 = 2\n"},
      {"missing file created", "<none>", "[Main] TimeMin=30", "[Main]\nTimeMin = 30\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove("corvane.ini");
    if (c.file != "<none>") WriteFileBytes("corvane.ini", c.file);
    EXPECT_EQ(OpenKeyValueFile("corvane.ini"), c.file != "<none>");
    std::istringstream changes(c.changes);
    for (std::string change; changes >> change;) {
      const auto eq = change.find('=');
      if (change.front() == '[') {
        SelectKeyGroup(change.substr(1, change.size() - 2));
      } else {
        WriteKeyString(change.substr(0, eq), eq == std::string::npos ? "" : change.substr(eq + 1));
      }
    }
    CloseKeyValueFile();
    EXPECT_EQ(ReadFileBytes("corvane.ini"), Crlf(c.want));
  }
}

TEST_F(KeyValueTest, CreateReplacesOnlyAtClose) {
  WriteFileBytes("corvane.ini", "[Old]\r\nK = 1\r\n");
  ASSERT_TRUE(CreateKeyValueFile("corvane.ini"));
  EXPECT_EQ(ReadFileBytes("corvane.ini"), "[Old]\r\nK = 1\r\n");  // nothing lost yet
  EXPECT_FALSE(SelectKeyGroup("Old"));
  WriteKeyInteger("Key", -1);
  WriteKeyString("Empty", "");
  WriteKeyString("Cut", "a\r\n[X]\r\nb");  // no line end is smuggled in
  CloseKeyValueFile();
  EXPECT_EQ(ReadFileBytes("corvane.ini"), "[Old]\r\nKey = -1\r\nEmpty = \r\nCut = a\r\n");
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
  EXPECT_FALSE(SelectKeyGroup(""));  // no document at all: everything is ignored
  WriteKeyInteger("K", 1);
  EXPECT_EQ(ReadKeyInteger("K", 5), 5);
  EXPECT_FALSE(CreateKeyValueFile("no/such/corvane.ini"));
  WriteKeyInteger("K", 1);
  CloseKeyValueFile();
  EXPECT_FALSE(PathExists("no"));
  // A folder, a file too large, a file of too many lines: each reads like a
  // missing file, and a later change does not overwrite it.
  ASSERT_TRUE(std::filesystem::create_directory("folder"));
  std::string many;
  for (int i = 0; i < 70000; ++i) many += "k\n";
  WriteFileBytes("many.ini", many);
  WriteFileBytes("huge.ini", std::string(17u << 20, 'x'));
  for (const char* path : {"folder", "many.ini", "huge.ini"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(OpenKeyValueFile(path));
    EXPECT_EQ(ReadKeyString("K", "d"), "d");
    WriteKeyInteger("K", 1);
    CloseKeyValueFile();
  }
  EXPECT_FALSE(CreateKeyValueFile("folder"));
  EXPECT_EQ(ReadFileBytes("many.ini"), many);
  EXPECT_EQ(ReadFileBytes("huge.ini").size(), 17u << 20);
}

TEST_F(KeyValueTest, ReadOnlyFileIsReadButNotWritten) {
  const std::string before = "[Main]\r\nK=1\r\n";
  WriteFileBytes("corvane.ini", before);
  if (!SetWriteLock("corvane.ini", true)) GTEST_SKIP() << "cannot make a file unwritable here";
  EXPECT_TRUE(OpenKeyValueFile("corvane.ini"));
  EXPECT_TRUE(SelectKeyGroup("Main"));
  EXPECT_EQ(ReadKeyInteger("K", 0), 1);
  WriteKeyInteger("K", 2);
  CloseKeyValueFile();
  EXPECT_FALSE(CreateKeyValueFile("corvane.ini"));
  SetWriteLock("corvane.ini", false);
  EXPECT_EQ(ReadFileBytes("corvane.ini"), before);
}

}  // namespace
