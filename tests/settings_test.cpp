// The settings file: its exact bytes after a load and a save, the counts and
// flags at their edges, and files that are broken or missing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"

namespace {

// What the first start in an empty folder leaves behind.
constexpr std::string_view kDefaultFile =
    "[Main]\r\n"
    "File = \r\n"
    "TimeMin = 30\r\n"
    "Flag160M = 1\r\n"
    "Flag80M = 1\r\n"
    "Flag40M = 0\r\n"
    "Flag20M = 0\r\n"
    "Flag15M = 0\r\n"
    "Flag10M = 0\r\n"
    "Flag145 = 0\r\n"
    "Flag433 = 0\r\n"
    "Flag1296 = 0\r\n"
    "FlagPH = 1\r\n"
    "FlagCW = 1\r\n"
    "FlagFM = 0\r\n"
    "FlagPM = 0\r\n"
    "FlagPS = 0\r\n"
    "FlagTV = 0\r\n"
    "RightWin = 1\r\n"
    "LenNum = 3\r\n"
    "PosNum = Right\r\n"
    "[Contests]\r\n"
    "NumberCont = 0\r\n"
    "[Bands]\r\n"
    "NumberBand = 0\r\n"
    "[Colors]\r\n"
    "Color-Text = 0\r\n"
    "Background = 65280\r\n"
    "Inf-Text = 16776960\r\n"
    "Inf-Back = 21760\r\n"
    "Inf-Up-Text = 0\r\n"
    "Inf-Up-Back = 56576\r\n"
    "Main-Up-Text = 16777215\r\n"
    "Main-Up-Back = 16711680\r\n";

using Edits = std::vector<std::pair<std::string, std::string>>;

// The default file with each `from` replaced by its `to` (first occurrence).
std::string DefaultFileWith(const Edits& edits) {
  std::string text(kDefaultFile);
  for (const auto& [from, to] : edits) {
    const auto at = text.find(from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "not in the default file: " << from;
      continue;
    }
    text.replace(at, from.size(), to);
  }
  return text;
}

// Values no settings file holds by default, so a read that fell back on
// memory instead of the key's default shows.
void ScrambleMemory() {
  AppSettings.File = "stale";
  AppSettings.TimeMin = 99;
  for (int i = 1; i <= kBandClasses; ++i) AppSettings.BandFlags[i] = 7;
  for (int i = 1; i <= kModeClasses; ++i) AppSettings.ModeFlags[i] = 7;
  AppSettings.RightWin = 5;
  AppSettings.LenNum = 55;
  AppSettings.PosNum = "stale";
  AppSettings.Background = 12345;
  ContestList.Count = 9;
  BandList.Count = 9;
}

std::string Junk(std::size_t size) {
  std::string bytes;
  unsigned state = 12345;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    const auto byte = static_cast<unsigned char>(state >> 16);
    // No "[" so no group can be named by the junk.
    bytes += static_cast<char>(byte == '[' ? 0 : byte);
  }
  return bytes;
}

using SettingsFileTest = ProgramTest;

TEST_F(SettingsFileTest, FirstStartInAnEmptyFolderWritesTheDefaults) {
  LoadSettings();
  SaveSettings();
  EXPECT_EQ(ReadFileBytes(kSettingsFileName), kDefaultFile);
}

TEST_F(SettingsFileTest, LoadThenSaveGivesTheExactFile) {
  const std::string cup = std::string("Кубок \"Весна\""_cp);
  const struct {
    const char* name;
    std::string file;
    Edits expected;  // changes to the default file
  } kCases[] = {
      {"all flags 0: 3500 kHz and PH switched on",
       "[Main]\r\nFlag160M = 0\r\nFlag80M = 0\r\nFlag40M = 0\r\nFlag20M = 0\r\nFlag15M = 0\r\n"
       "Flag10M = 0\r\nFlag145 = 0\r\nFlag433 = 0\r\nFlag1296 = 0\r\nFlagPH = 0\r\nFlagCW = 0\r\n"
       "FlagFM = 0\r\nFlagPM = 0\r\nFlagPS = 0\r\nFlagTV = 0\r\n",
       {{"Flag160M = 1", "Flag160M = 0"}, {"FlagCW = 1", "FlagCW = 0"}}},
      {"a flag of 2 is not enabled and is kept",
       "[Main]\r\nFlag160M = 2\r\nFlag80M = 0\r\nFlagPH = 0\r\nFlagCW = -1\r\n",
       {{"Flag160M = 1", "Flag160M = 2"}, {"FlagCW = 1", "FlagCW = -1"}}},
      {"one enabled band elsewhere leaves Flag80M off",
       "[Main]\r\nFlag160M = 0\r\nFlag80M = 0\r\nFlag1296 = 1\r\nFlagPH = 0\r\nFlagTV = 1\r\n",
       {{"Flag160M = 1", "Flag160M = 0"},
        {"Flag80M = 1", "Flag80M = 0"},
        {"Flag1296 = 0", "Flag1296 = 1"},
        {"FlagPH = 1", "FlagPH = 0"},
        {"FlagTV = 0", "FlagTV = 1"}}},
      {"negative band count kept, no entries",
       "[Bands]\r\nNumberBand = -3\r\nNameBand01 = 160m\r\nABBRBand01 = 160M\r\n",
       {{"NumberBand = 0", "NumberBand = -3"}}},
      {"contests without a bands group",
       "[Main]\r\nTimeMin = 60\r\n[Contests]\r\nNumberCont = 1\r\nNameCont01 = " + cup +
           "\r\nABBRCont01 = CUP-SPRING\r\n",
       {{"TimeMin = 30", "TimeMin = 60"},
        {"NumberCont = 0\r\n",
         "NumberCont = 1\r\nNameCont01 = " + cup + "\r\nABBRCont01 = CUP-SPRING\r\n"}}},
      {"count 2 with only the first entry present",
       "[Contests]\r\nNumberCont = 2\r\nNameCont01 = A\r\n",
       {{"NumberCont = 0\r\n",
         "NumberCont = 2\r\nNameCont01 = A\r\nABBRCont01 = \r\nNameCont02 = \r\n"
         "ABBRCont02 = \r\n"}}},
      {"hexadecimal colour reads as black",
       "[Colors]\r\nBackground = 0xFF00\r\nInf-Back=255\r\n",
       {{"Background = 65280", "Background = 0"}, {"Inf-Back = 21760", "Inf-Back = 255"}}},
      {"text values lose blanks at both ends",
       "[Main]\r\nFile = \t C:\\LOGS\\A B.CBR \t\r\nPosNum =   Left\t \r\n",
       {{"File = ", "File = C:\\LOGS\\A B.CBR"}, {"PosNum = Right", "PosNum = Left"}}},
      {"empty and non-numeric integers read 0",
       "[Main]\r\nTimeMin =\r\nLenNum = abc\r\nRightWin = 7x\r\n",
       {{"TimeMin = 30", "TimeMin = 0"},
        {"LenNum = 3", "LenNum = 0"},
        {"RightWin = 1", "RightWin = 7"}}},
      {"letter case of groups and keys, foreign keys and groups dropped",
       "; hand-made\n[main]\ntimemin = 60\nPOSNUM = None\nExtra = 1\n[Mine]\nA = 1\n"
       "[COLORS]\nmain-up-back = 1\n",
       {{"TimeMin = 30", "TimeMin = 60"},
        {"PosNum = Right", "PosNum = None"},
        {"Main-Up-Back = 16711680", "Main-Up-Back = 1"}}},
      {"binary junk reads as the defaults", Junk(4096), {}},
      {"NUL bytes after the keys",
       "[Main]\r\nTimeMin = 60\r\n" + std::string(5, '\0') + "x = 1",
       {{"TimeMin = 30", "TimeMin = 60"}}},
      {"a line of three megabytes",
       std::string(3 << 20, 'x') + "\r\n[Main]\r\nLenNum = 5\r\n",
       {{"LenNum = 3", "LenNum = 5"}}},
      {"an empty file", "", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetSettings();
    WriteFileBytes(kSettingsFileName, c.file);
    ScrambleMemory();  // a key missing from the file reads its default, not memory
    LoadSettings();
    SaveSettings();
    const std::string expected = DefaultFileWith(c.expected);
    EXPECT_EQ(ReadFileBytes(kSettingsFileName), expected);
    // What memory holds after the save is what the file holds.
    const AppSettingsRecord before = AppSettings;
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(AppSettings.BandFlags, before.BandFlags);
    EXPECT_EQ(AppSettings.ModeFlags, before.ModeFlags);
    EXPECT_EQ(AppSettings.File, before.File);
    EXPECT_EQ(AppSettings.PosNum, before.PosNum);
  }
}

TEST_F(SettingsFileTest, LoadingLeavesTheFlagsAsTheFileHasThem) {
  WriteFileBytes(kSettingsFileName,
                 "[Main]\r\nFlag160M = 0\r\nFlag80M = 0\r\nFlagPH = 0\r\nFlagCW = 0\r\n");
  LoadSettings();
  for (int i = 1; i <= kBandClasses; ++i) EXPECT_EQ(AppSettings.BandFlags[i], 0) << i;
  for (int i = 1; i <= kModeClasses; ++i) EXPECT_EQ(AppSettings.ModeFlags[i], 0) << i;
  SaveSettings();  // the rule holds in memory too
  EXPECT_EQ(AppSettings.BandFlags[2], 1);
  EXPECT_EQ(AppSettings.ModeFlags[1], 1);
  EXPECT_EQ(AppSettings.BandFlags[1], 0);
  EXPECT_EQ(AppSettings.ModeFlags[2], 0);
}

TEST_F(SettingsFileTest, CountAbove127ReadsAndWrites127WithOwnKeysFrom100On) {
  std::string file = "[Contests]\r\nNumberCont = 200\r\n";
  for (int i = 1; i <= 200; ++i) {
    const std::string nn = i < 10 ? "0" + std::to_string(i) : std::to_string(i);
    file += "NameCont" + nn + " = Contest " + std::to_string(i) + "\r\n";
    file += "ABBRCont" + nn + " = C" + std::to_string(i) + "\r\n";
  }
  WriteFileBytes(kSettingsFileName, file);
  LoadSettings();
  ASSERT_EQ(ContestList.Count, 127);
  for (int i = 1; i <= 127; ++i) {
    EXPECT_EQ(ContestList.Names[i], "Contest " + std::to_string(i)) << i;
    EXPECT_EQ(ContestList.Abbrs[i], "C" + std::to_string(i)) << i;
  }
  EXPECT_EQ(ContestList.Names[128], "");

  SaveSettings();
  std::string entries = "NumberCont = 127\r\n";
  for (int i = 1; i <= 127; ++i) {
    const std::string nn = i < 10 ? "0" + std::to_string(i) : std::to_string(i);
    entries += "NameCont" + nn + " = Contest " + std::to_string(i) + "\r\n";
    entries += "ABBRCont" + nn + " = C" + std::to_string(i) + "\r\n";
  }
  EXPECT_EQ(ReadFileBytes(kSettingsFileName), DefaultFileWith({{"NumberCont = 0\r\n", entries}}));

  // Entry 100 and entry 10 each come back under their own key.
  ResetSettings();
  LoadSettings();
  EXPECT_EQ(ContestList.Count, 127);
  EXPECT_EQ(ContestList.Names[10], "Contest 10");
  EXPECT_EQ(ContestList.Names[100], "Contest 100");
  EXPECT_EQ(ContestList.Abbrs[127], "C127");
}

TEST_F(SettingsFileTest, ListKeyIndex) {
  const struct {
    int index;
    const char* key;
  } kCases[] = {{1, "01"}, {9, "09"}, {10, "10"}, {99, "99"}, {100, "100"}, {127, "127"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(ListKeyIndex(c.index), c.key);
  }
}

TEST_F(SettingsFileTest, UnreadableFileLeavesMemoryAsItWas) {
  const struct {
    const char* name;
    bool directory;  // else: the file is deleted after a save
  } kCases[] = {{"a directory named corvane.ini", true}, {"file deleted while running", false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetSettings();
    std::filesystem::remove_all(kSettingsFileName);
    if (c.directory) {
      std::filesystem::create_directory(kSettingsFileName);
    } else {
      SaveSettings();
      std::filesystem::remove(kSettingsFileName);
    }
    AppSettings.TimeMin = 60;
    AppSettings.BandFlags.fill(0);
    AppSettings.PosNum = "Left";
    ContestList.Count = 1;
    ContestList.Names[1] = "kept";
    LoadSettings();
    EXPECT_EQ(AppSettings.TimeMin, 60);
    EXPECT_EQ(AppSettings.BandFlags[1], 0);
    EXPECT_EQ(AppSettings.PosNum, "Left");
    EXPECT_EQ(ContestList.Count, 1);
    EXPECT_EQ(ContestList.Names[1], "kept");
    EXPECT_EQ(std::filesystem::is_directory(kSettingsFileName), c.directory);
    if (!c.directory) {
      EXPECT_FALSE(PathExists(kSettingsFileName));  // a load creates nothing
    }
    if (c.directory) {
      SaveSettings();  // cannot be written: nothing happens but the flag rule in memory
      EXPECT_TRUE(std::filesystem::is_directory(kSettingsFileName));
      EXPECT_EQ(AppSettings.BandFlags[2], 1);
      EXPECT_EQ(AppSettings.TimeMin, 60);
    }
  }
}

TEST_F(SettingsFileTest, ReadOnlyFolderWritesNothing) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  ASSERT_EQ(chmod(".", 0555), 0);
  AppSettings.ModeFlags.fill(0);
  SaveSettings();
  EXPECT_FALSE(PathExists(kSettingsFileName));
  EXPECT_EQ(AppSettings.ModeFlags[1], 1);
  chmod(".", 0755);
}

}  // namespace
