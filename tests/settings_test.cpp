// The settings file: its exact bytes after a load and a save, the counts and
// flags at their edges, and files that are broken or missing.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <sstream>
#include <string>

#include "app/app.h"
#include "log/log.h"
#include "settings/settings.h"
#include "tests/test_support.h"
#include "ui/headless.h"

namespace {

namespace fs = std::filesystem;

// What the first start in an empty folder leaves behind.
constexpr std::string_view kDefaultFile =
    "[Main]\r\nFile = \r\nTimeMin = 30\r\nFlag160M = 1\r\nFlag80M = 1\r\nFlag40M = 0\r\n"
    "Flag20M = 0\r\nFlag15M = 0\r\nFlag10M = 0\r\nFlag145 = 0\r\nFlag433 = 0\r\nFlag1296 = 0\r\n"
    "FlagPH = 1\r\nFlagCW = 1\r\nFlagFM = 0\r\nFlagPM = 0\r\nFlagPS = 0\r\nFlagTV = 0\r\n"
    "RightWin = 1\r\nLenNum = 3\r\nPosNum = Right\r\n"
    "[Contests]\r\nNumberCont = 0\r\n[Bands]\r\nNumberBand = 0\r\n"
    "[Colors]\r\nColor-Text = 0\r\nBackground = 65280\r\nInf-Text = 16776960\r\n"
    "Inf-Back = 21760\r\nInf-Up-Text = 0\r\nInf-Up-Back = 56576\r\nMain-Up-Text = 16777215\r\n"
    "Main-Up-Back = 16711680\r\n";

// The default file with the "key = value" lines of `changes` (one a line) in
// place of the default's; a key the default lacks goes after the line before.
std::string DefaultFileWith(const std::string& changes) {
  std::string text(kDefaultFile);
  std::istringstream lines(changes);
  std::size_t at = 0;
  for (std::string line; std::getline(lines, line);) {
    const auto old = text.find("\n" + line.substr(0, line.find(" = ") + 3));
    if (old != std::string::npos) {
      at = old + 1;
      text.erase(at, text.find("\r\n", at) + 2 - at);
    }
    text.insert(at, line + "\r\n");
    at += line.size() + 2;
  }
  return text;
}

// Contest entries 1..count as the file holds them (LF for each line end).
std::string ContestEntries(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) {
    const std::string nn = (i < 10 ? "0" : "") + std::to_string(i), n = std::to_string(i);
    out += "NameCont" + nn + " = Contest " + n + "\nABBRCont" + nn + " = C" + n + "\n";
  }
  return out;
}

using SettingsFileTest = ProgramTest;

TEST_F(SettingsFileTest, FirstStartInAnEmptyFolderWritesTheDefaults) {
  LoadSettings();
  SaveSettings();
  EXPECT_EQ(ReadFileBytes(kSettingsFileName), kDefaultFile);
}

TEST_F(SettingsFileTest, LoadThenSaveGivesTheExactFile) {
  const std::string cup = std::string("Кубок \"Весна\""_cp);
  std::string junk;  // every byte but "[", so no group is named
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>(i % 256 == '[' ? 0 : i % 256);
  const struct {
    const char* name;
    std::string file, changes;  // changes: lines of the saved file that differ from the defaults
  } kCases[] = {
      {"all flags 0", "[Main]\nFlag160M=0\nFlag80M=0\nFlagPH=0\nFlagCW=0\n",
       "Flag160M = 0\nFlagCW = 0"},
      {"a flag of 2 is not enabled", "[Main]\nFlag160M=2\nFlag80M=0\nFlagPH=0\nFlagCW=-1",
       "Flag160M = 2\nFlagCW = -1"},
      {"one enabled band elsewhere",
       "[Main]\nFlag160M=0\nFlag80M=0\nFlag1296=1\nFlagPH=0\nFlagTV=1\n",
       "Flag160M = 0\nFlag80M = 0\nFlag1296 = 1\nFlagPH = 0\nFlagTV = 1"},
      {"negative band count", "[Bands]\nNumberBand=-3\nNameBand01=160m\n", "NumberBand = -3"},
      {"contests without a bands group",
       "[Contests]\nNumberCont=1\nNameCont01=" + cup + "\nABBRCont01=CUP\n",
       "NumberCont = 1\nNameCont01 = " + cup + "\nABBRCont01 = CUP"},
      {"count 2 with only the first entry", "[Contests]\nNumberCont=2\nNameCont01=A\n",
       "NumberCont = 2\nNameCont01 = A\nABBRCont01 = \nNameCont02 = \nABBRCont02 = "},
      {"hexadecimal colour", "[Colors]\nBackground = 0xFF00\nInf-Back=255\n",
       "Background = 0\nInf-Back = 255"},
      {"text values trimmed", "[Main]\nFile = \t C:\\A B.CBR \t\nPosNum =   Left\t \n",
       "File = C:\\A B.CBR\nPosNum = Left"},
      {"empty or non-numeric integers", "[Main]\nTimeMin =\nLenNum = abc\nRightWin = 7x\n",
       "TimeMin = 0\nRightWin = 7\nLenNum = 0"},
      {"letter case; foreign keys, groups and comments dropped",
       "; hand-made\n[main]\ntimemin = 60\nPOSNUM = None\nExtra = 1\n"
       "[Mine]\nA = 1\n[COLORS]\nmain-up-back = 1\n",
       "TimeMin = 60\nPosNum = None\nMain-Up-Back = 1"},
      {"binary junk", junk, ""},
      {"NUL bytes after the keys", "[Main]\nTimeMin = 60\n" + std::string(5, '\0') + "x = 1",
       "TimeMin = 60"},
      {"a line of three megabytes", std::string(3 << 20, 'x') + "\n[Main]\nLenNum = 5\n",
       "LenNum = 5"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetSettings();
    WriteFileBytes(kSettingsFileName, c.file);
    // Values no file holds: a key missing from the file must read its default, not memory.
    AppSettings.File = AppSettings.PosNum = "stale";
    AppSettings.TimeMin = AppSettings.RightWin = AppSettings.LenNum = AppSettings.Background = 99;
    for (int i = 1; i <= kBandClasses; ++i) AppSettings.BandFlags[i] = 7;
    for (int i = 1; i <= kModeClasses; ++i) AppSettings.ModeFlags[i] = 7;
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(ReadFileBytes(kSettingsFileName), DefaultFileWith(c.changes));
  }
}

TEST_F(SettingsFileTest, OnlySavingEnablesABandAndAMode) {
  WriteFileBytes(kSettingsFileName, "[Main]\nFlag160M=0\nFlag80M=0\nFlagPH=0\nFlagCW=0\n");
  LoadSettings();
  EXPECT_EQ(AppSettings.BandFlags, (std::array<int32_t, 11>{}));
  EXPECT_EQ(AppSettings.ModeFlags, (std::array<int32_t, 11>{}));
  SaveSettings();  // the rule holds in memory too
  EXPECT_EQ(AppSettings.BandFlags, (std::array<int32_t, 11>{0, 0, 1}));
  EXPECT_EQ(AppSettings.ModeFlags, (std::array<int32_t, 11>{0, 1}));
}

// Keys have two digits up to 99 and the full number from 100 on (NameCont100).
TEST_F(SettingsFileTest, CountAbove127ReadsAndWrites127WithOwnKeysFrom100On) {
  WriteFileBytes(kSettingsFileName, "[Contests]\nNumberCont = 200\n" + ContestEntries(200));
  LoadSettings();
  EXPECT_EQ(ContestList.Count, 127);
  EXPECT_EQ(ContestList.Names[128], "");
  SaveSettings();
  EXPECT_EQ(ReadFileBytes(kSettingsFileName),
            DefaultFileWith("NumberCont = 127\n" + ContestEntries(127)));
  ResetSettings();
  LoadSettings();
  for (int i : {1, 10, 99, 100, 127}) {
    EXPECT_EQ(ContestList.Names[i], "Contest " + std::to_string(i));
    EXPECT_EQ(ContestList.Abbrs[i], "C" + std::to_string(i));
  }
}

TEST_F(SettingsFileTest, UnreadableFileLeavesMemoryAsItWas) {
  for (const bool directory : {true, false}) {
    SCOPED_TRACE(directory ? "a directory named corvane.ini" : "file deleted while running");
    ResetSettings();
    std::filesystem::remove_all(kSettingsFileName);
    if (directory) std::filesystem::create_directory(kSettingsFileName);
    AppSettings.TimeMin = 60;
    AppSettings.BandFlags.fill(0);
    ContestList.Count = 1;
    ContestList.Names[1] = "kept";
    LoadSettings();
    EXPECT_EQ(AppSettings.TimeMin, 60);
    EXPECT_EQ(AppSettings.BandFlags[1], 0);
    EXPECT_EQ(ContestList.Count, 1);
    EXPECT_EQ(ContestList.Names[1], "kept");
    EXPECT_EQ(PathExists(kSettingsFileName), directory);  // a load creates nothing
  }
  std::filesystem::create_directory(kSettingsFileName);
  SaveSettings();  // cannot be written: nothing happens but the flag rule in memory
  EXPECT_TRUE(std::filesystem::is_directory(kSettingsFileName));
  EXPECT_EQ(AppSettings.BandFlags[2], 1);
}

// Start-up with corvane.ini that is no settings file at all: the program
// starts with the defaults, never waits on the file, and leaves behind what
// can be written there.
TEST_F(SettingsFileTest, StartUpWithABrokenSettingsFile) {
  std::string junk(20u << 20, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919) >> 3);
  const struct {
    const char* name;
    void (*make)(const std::string& junk);
    const char* after;  // "default": the default file; "folder", "fifo"; "link": via the link
  } kCases[] = {
      {"a folder", [](const std::string&) { fs::create_directory(kSettingsFileName); }, "folder"},
#ifndef _WIN32
      {"a pipe nobody writes to",
       [](const std::string&) { ASSERT_EQ(mkfifo(kSettingsFileName, 0644), 0); }, "fifo"},
      {"20 MB of junk", [](const std::string& bytes) { WriteFileBytes(kSettingsFileName, bytes); },
       "default"},
      {"a link to a settings file elsewhere",
       [](const std::string&) {
         fs::create_directory("elsewhere");
         WriteFileBytes("elsewhere/real.ini", "[Main]\r\nTimeMin = 60\r\n");
         fs::create_symlink("elsewhere/real.ini", kSettingsFileName);
       },
       "link"},
      {"a link to nothing",
       [](const std::string&) { fs::create_symlink("missing/real.ini", kSettingsFileName); },
       "dangling"},
#endif
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    fs::remove_all(kSettingsFileName);
    fs::remove_all("elsewhere");
    c.make(junk);
    ASSERT_TRUE(StartUp());
    const std::string after = c.after;
    EXPECT_EQ(AppSettings.TimeMin, after == "link" ? 60 : 30);
    EXPECT_EQ(AppSettings.File, "");
    EXPECT_EQ(fs::is_directory(kSettingsFileName), after == "folder");
    EXPECT_EQ(fs::is_fifo(kSettingsFileName), after == "fifo");
    EXPECT_EQ(fs::is_symlink(kSettingsFileName), after == "link" || after == "dangling");
    if (after == "default") {
      EXPECT_EQ(ReadFileBytes(kSettingsFileName), kDefaultFile);
    }
    if (after == "link") {
      EXPECT_EQ(ReadFileBytes("elsewhere/real.ini"), DefaultFileWith("TimeMin = 60"));
    }
    // What could not be written is said in the status line once the program waits.
    const bool unwritable = after == "folder" || after == "fifo" || after == "dangling";
    RunBeforeWaitHook();
    EXPECT_EQ(headless::Control(kStatusLineId)->text ==
                  std::string(kSettingsUnsavedText) + kSettingsFileName,
              unwritable);
  }
  fs::remove_all(kSettingsFileName);
}

TEST_F(SettingsFileTest, ReadOnlyFolderWritesNothing) {
  if (!SetWriteLock(".", true)) GTEST_SKIP() << "cannot make a folder unwritable here";
  AppSettings.ModeFlags.fill(0);
  SaveSettings();
  SetWriteLock(".", false);
  EXPECT_FALSE(PathExists(kSettingsFileName));
  EXPECT_EQ(AppSettings.ModeFlags[1], 1);
}

}  // namespace
