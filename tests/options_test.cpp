// options.ini: the groups read at start-up, and a saved group that leaves the
// rest of the file as it was.
#include "settings/options.h"

#include <string>

#include "tests/test_support.h"

namespace {

std::string Describe(const OptionsRecord& o) {
  return std::to_string(o.ClockUtc) + "|" + std::to_string(o.RigModel) + "|" + o.RigPort + "|" +
         std::to_string(o.RigSpeed);
}

TEST_F(ProgramTest, OptionsReadFromTheFile) {
  const struct {
    const char* name;
    const char* file;  // nullptr: no file
    const char* want;
  } kCases[] = {
      {"no file: everything off", nullptr, "0|0||0"},
      {"empty file", "", "0|0||0"},
      {"hand-written", "[Rig]\r\nModel = 2\r\nPort = 127.0.0.1:4532\r\n[Clock]\r\nUTC = 1\r\n",
       "1|2|127.0.0.1:4532|0"},
      {"keys in other letter case, LF ends", "[rig]\nmodel=3073\nspeed = 38400\n[CLOCK]\nutc=1\n",
       "1|3073||38400"},
      {"UTC other than 1 is local time", "[Clock]\r\nUTC = yes\r\n", "0|0||0"},
      {"junk", "\x01\x02[[[==\r\n", "0|0||0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetOptions();
    std::remove(kOptionsFileName);
    if (c.file != nullptr) WriteFileBytes(kOptionsFileName, c.file);
    LoadOptions();
    EXPECT_EQ(Describe(Options), c.want);
    EXPECT_EQ(ClockIsUtc(), Options.ClockUtc);  // the clock reads as the file says
  }
}

TEST_F(ProgramTest, SavingOneGroupKeepsTheRest) {
  WriteFileBytes(kOptionsFileName,
                 "; kept\r\n[Later]\r\nKey = value\r\n[Rig]\r\nModel = 1\r\nExtra = 7\r\n");
  Options.ClockUtc = true;
  ASSERT_TRUE(SaveOptionsGroup(kClockGroup));
  Options.RigModel = 2;
  Options.RigPort = "localhost:4532";
  ASSERT_TRUE(SaveOptionsGroup(kRigGroup));
  EXPECT_EQ(ReadFileBytes(kOptionsFileName),
            "; kept\r\n[Later]\r\nKey = value\r\n[Rig]\r\nModel = 2\r\nExtra = 7\r\n"
            "Port = localhost:4532\r\nSpeed = 0\r\n[Clock]\r\nUTC = 1\r\n");
  EXPECT_FALSE(PathExists(kSettingsFileName)) << "corvane.ini is not touched";

  // A file that cannot be written is said so, and stays as it was.
  std::remove(kOptionsFileName);
  WriteFileBytes(kOptionsFileName, "[Clock]\r\nUTC = 0\r\n");
  ASSERT_TRUE(SetWriteLock(kOptionsFileName, true));
  EXPECT_FALSE(SaveOptionsGroup(kClockGroup));
  SetWriteLock(kOptionsFileName, false);
  EXPECT_EQ(ReadFileBytes(kOptionsFileName), "[Clock]\r\nUTC = 0\r\n");
}

}  // namespace
