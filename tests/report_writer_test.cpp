// The report writer: the exact bytes of the report, the columns of its QSO
// lines at their edges, the ".bak" kept before the first rewrite of a file
// that existed, a rewrite that fails (the warning flag, nothing lost), and a
// writer killed in the middle of rewrites that always leaves a complete file.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

constexpr std::string_view kHead = "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\n";
constexpr std::string_view kEnd = "END-OF-LOG: \r\n";

void SetRow(int row, std::string_view time, std::string_view band, std::string_view mode,
            std::string_view call, std::string_view sent, std::string_view received,
            std::string_view points, std::string_view date) {
  QsoRecord& r = Log.QsoLog[static_cast<std::size_t>(row)];
  r[kColTime] = time;
  r[kColBand] = band;
  r[kColMode] = mode;
  r[kColCall] = call;
  r[kColSent] = sent;
  r[kColReceived] = received;
  r[kColPoints] = points;
  r[kColDate] = date;
}

// Splits at CR LF; the text must end with CR LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const auto end = text.find("\r\n", from);
    if (end == std::string::npos) {
      lines.push_back("<no line end>" + text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

TEST_F(ProgramTest, NewEmptyReportHasOneBlankQsoLineWithTheOwnCall) {
  AppSettings.File = "new.CBR";
  ReportHeader.Callsign = "UA3ABC";
  StoreCell(0, 0, 0, "");
  const std::string qso = "QSO: " + std::string(25, ' ') + "UA3ABC        " + std::string(37, ' ');
  ASSERT_EQ(qso.size(), 81u);
  EXPECT_EQ(ReadFileBytes("new.CBR"),
            std::string(kHead) + "CALLSIGN: UA3ABC\r\n" + qso + "\r\n" + std::string(kEnd));
  EXPECT_FALSE(Report.WriteFailed);
  EXPECT_FALSE(PathExists("new.CBR.bak"));
}

TEST_F(ProgramTest, QsoLineColumns) {
  const struct {
    const char* name;
    const char* time;
    const char* band;
    const char* mode;
    const char* call;
    const char* sent;
    const char* received;
    const char* callsign;
    std::string_view line;
  } kCases[] = {
      {"ordinary contact", "09:05", "14200", "CW", "RK3AWL", "599001", "599017", "UA3ABC",
       "QSO: 14200 CW 2010-03-07 0905 UA3ABC        599001     RK3AWL        599017      "},
      {"empty time is five spaces", "", "3600", "PH", "UA1A", "59001", "59002", "UA3ABC",
       "QSO: 3600  PH 2010-03-07      UA3ABC        59001      UA1A          59002       "},
      {"one-character time is doubled", "7", "3600", "PH", "UA1A", "1", "2", "UA3ABC",
       "QSO: 3600  PH 2010-03-07 77   UA3ABC        1          UA1A          2           "},
      {"three-character time: the two ends overlap", "12:", "3600", "PH", "UA1A", "1", "2",
       "UA3ABC",
       "QSO: 3600  PH 2010-03-07 122: UA3ABC        1          UA1A          2           "},
      {"six-character band touches the mode", "10:00", "144000", "FM", "UA1A", "1", "2", "UA3ABC",
       "QSO: 144000FM 2010-03-07 1000 UA3ABC        1          UA1A          2           "},
      {"seventh band character is lost", "10:00", "1296000", "FM", "UA1A", "1", "2", "UA3ABC",
       "QSO: 129600FM 2010-03-07 1000 UA3ABC        1          UA1A          2           "},
      {"fourteen-character own call fills its columns", "10:00", "7000", "CW", "UA1A", "1", "2",
       "UA3ABC/P/QRPX",
       "QSO: 7000  CW 2010-03-07 1000 UA3ABC/P/QRPX 1          UA1A          2           "},
      {"fourteen-character own call fills its columns", "10:00", "7000", "CW", "UA1A", "1", "2",
       "UA3ABC/P/QRPXY",
       "QSO: 7000  CW 2010-03-07 1000 UA3ABC/P/QRPXY1          UA1A          2           "},
      {"longer own call is cut", "10:00", "7000", "CW", "UA1A", "1", "2", "UA3ABC/P/QRPXYZW",
       "QSO: 7000  CW 2010-03-07 1000 UA3ABC/P/QRPXY1          UA1A          2           "},
      {"long exchanges run into the next field", "10:00", "7000", "CW", "RA3ABCDEFGHIJKLM",
       "59900112345678", "599002ABCDEFGH", "UA3ABC",
       "QSO: 7000  CW 2010-03-07 1000 UA3ABC        59900112345RA3ABCDEFGHIJK599002ABCDE "},
      {"three-character mode loses its third", "10:00", "7000", "PSK", "UA1A", "1", "2", "UA3ABC",
       "QSO: 7000  PSK2010-03-07 1000 UA3ABC        1          UA1A          2           "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.line.size(), 81u);
    ResetEverything();
    AppSettings.File = "cols.CBR";
    ReportHeader.Callsign = c.callsign;
    SetRow(1, c.time, c.band, c.mode, c.call, c.sent, c.received, "99", "2010-03-07");
    StoreCell(0, 0, 0, "");
    EXPECT_EQ(ReadFileBytes("cols.CBR"), std::string(kHead) + "CALLSIGN: " + c.callsign + "\r\n" +
                                             std::string(c.line) + "\r\n" + std::string(kEnd));
  }
}

TEST_F(ProgramTest, HeaderLinesInOrderOnlyForValuesThatAreSet) {
  const struct {
    const char* name;
    void (*set)();
    int qsoCount;
    std::string_view expected;
  } kCases[] = {
      {"every field, operators 1 and 3",
       [] {
         ReportHeaderRecord& h = ReportHeader;
         h.Contest = "KP";
         h.Callsign = "UA3ABC";
         h.Location = "MO-12";
         h.CategoryOperator = "MULTI-OP";
         h.CategoryPower = "LOW";
         h.CategoryBand = "ALL";
         h.CategoryMode = "MIXED";
         h.Email = "a@b.ru";
         h.Operators[1] = "Иванов, Иван"_cp;
         h.Operators[3] = "UA3XYZ";
         h.Operators[4] = "never written";
         h.Soapbox = "73!";
         h.ClaimedScore = "1234";
         ReportHeader.CreatedBy = "someone else";
       },
       0,
       "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCONTEST: KP\r\nCALLSIGN: UA3ABC\r\n"
       "LOCATION: MO-12\r\nCATEGORY-OPERATOR: MULTI-OP\r\nCATEGORY-POWER: LOW\r\n"
       "CATEGORY-BAND: ALL\r\nCATEGORY-MODE: MIXED\r\nEMAIL: a@b.ru\r\n"
       "OPERATORS: \xC8\xE2\xE0\xED\xEE\xE2, \xC8\xE2\xE0\xED\r\nOPERATORS: UA3XYZ\r\n"
       "SOAPBOX: 73!\r\nCLAIMED-SCORE: 1234\r\nEND-OF-LOG: \r\n"},
      {"one space is a value; nothing at all with QsoCount 0",
       [] { ReportHeader.Location.assign(1, ' '); }, 0,
       "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nLOCATION:  \r\nEND-OF-LOG: \r\n"},
      {"soapbox before the QSO lines, claimed score after them",
       [] {
         ReportHeader.Soapbox = "from the file";
         ReportHeader.ClaimedScore = "77";
         SetRow(1, "09:05", "7000", "CW", "RK3AWL", "001", "002", "15", "2010-03-07");
       },
       1,
       "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nSOAPBOX: from the file\r\n"
       "QSO: 7000  CW 2010-03-07 0905               001        RK3AWL        002         \r\n"
       "CLAIMED-SCORE: 77\r\nEND-OF-LOG: \r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    AppSettings.File = "head.CBR";
    c.set();
    Log.QsoCount = c.qsoCount;
    EXPECT_EQ(BuildReportText(), c.expected);
    StoreCell(0, 0, 0, "");
    EXPECT_EQ(ReadFileBytes("head.CBR"), c.expected);
  }
}

TEST_F(ProgramTest, StoreCellStoresShowsAndRewrites) {
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  for (int c = 1; c <= 9; ++c) CreateLabel(CellId(2, c), 0, 0, 10, 10, "", 1);
  AppSettings.File = "store.CBR";
  Log.QsoCount = 12;
  const struct {
    int column, gridRow, topOffset;
    const char* text;
    int logRow;  // 0: nothing stored
    bool shown;
  } kCases[] = {
      {kColCall, 2, 10, "RK3AWL", 12, true},
      {kColPoints, 2, 10, "15", 12, true},
      {kColDate, 2, 10, "2010-03-07", 12, false},
      {0, 0, 0, "", 0, false},
      {kColCall, 2, kLogRows, "PAST THE END", 0, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    StoreCell(c.column, c.gridRow, c.topOffset, c.text);
    if (c.logRow > 0) {
      EXPECT_EQ(Log.QsoLog[static_cast<std::size_t>(c.logRow)][static_cast<std::size_t>(c.column)],
                c.text);
    }
    if (c.column >= 1 && c.column <= 9) {
      EXPECT_EQ(headless::Control(CellId(c.gridRow, c.column))->text, c.shown ? c.text : "");
    }
    EXPECT_EQ(ReadFileBytes("store.CBR"), BuildReportText());
  }
  EXPECT_EQ(BuildReportText().find("15 "), std::string::npos) << "points are never written";
}

TEST_F(ProgramTest, NoReportChosenKeepsEverythingInMemoryWithoutAWarning) {
  StoreCell(kColCall, 1, 0, "RK3AWL");
  EXPECT_EQ(Log.QsoLog[1][kColCall], "RK3AWL");
  EXPECT_FALSE(Report.WriteFailed);
  EXPECT_TRUE(std::filesystem::is_empty("."));
}

TEST_F(ProgramTest, BackupKeptOnceBeforeTheFirstRewriteOfAnExistingFile) {
  const struct {
    const char* name;
    bool exists;
    const char* olderBak;  // nullptr: none
    const char* backedUp;  // Report.BackedUpFile before the rewrites
    bool expectBak;
  } kCases[] = {
      {"existing file is kept", true, nullptr, "", true},
      {"an older .bak is replaced", true, "stale backup", "", true},
      {"a new file gets no .bak", false, nullptr, "", false},
      {"a file already kept in this run is not kept again", true, "first backup", "rep.CBR", false},
      {"another file kept in this run does not count", true, nullptr, "other.CBR", true},
  };
  const std::string original = "START-OF-LOG: 2.0\r\nQSO: points live here 123\r\n";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("rep.CBR");
    std::filesystem::remove("rep.CBR.bak");
    ResetEverything();
    if (c.exists) WriteFileBytes("rep.CBR", original);
    if (c.olderBak != nullptr) WriteFileBytes("rep.CBR.bak", c.olderBak);
    AppSettings.File = "rep.CBR";
    Report.BackedUpFile = c.backedUp;
    StoreCell(kColCall, 1, 0, "RK3AWL");
    StoreCell(kColCall, 1, 0, "RK3AWM");
    EXPECT_EQ(ReadFileBytes("rep.CBR"), BuildReportText());
    EXPECT_FALSE(Report.WriteFailed);
    if (c.expectBak) {
      EXPECT_EQ(ReadFileBytes("rep.CBR.bak"), original);
    } else if (c.olderBak != nullptr) {
      EXPECT_EQ(ReadFileBytes("rep.CBR.bak"), c.olderBak);
    } else {
      EXPECT_FALSE(PathExists("rep.CBR.bak"));
    }
    EXPECT_EQ(Report.BackedUpFile, "rep.CBR");
  }
}

TEST_F(ProgramTest, FailedBackupLeavesTheReportUntouched) {
  const std::string original = "START-OF-LOG: 3.0\r\nSOAPBOX: keep me\r\nEND-OF-LOG: \r\n";
  WriteFileBytes("rep.CBR", original);
  std::filesystem::create_directory("rep.CBR.bak");  // the backup cannot be made
  AppSettings.File = "rep.CBR";
  StoreCell(kColCall, 1, 0, "RK3AWL");
  EXPECT_TRUE(Report.WriteFailed);
  EXPECT_EQ(ReadFileBytes("rep.CBR"), original);
  EXPECT_EQ(Log.QsoLog[1][kColCall], "RK3AWL");

  std::filesystem::remove("rep.CBR.bak");
  StoreCell(kColSent, 1, 0, "001");
  EXPECT_FALSE(Report.WriteFailed);
  EXPECT_EQ(ReadFileBytes("rep.CBR.bak"), original);
  EXPECT_EQ(ReadFileBytes("rep.CBR"), BuildReportText());
}

// A rewrite that cannot be made shows the warning flag, keeps everything in
// memory, leaves the last complete version on disk, and the next rewrite that
// can be made writes it all.
TEST_F(ProgramTest, FailedRewriteWarnsAndLosesNothing) {
  const struct {
    const char* name;
    bool needsNonRoot;
    void (*breakIt)();
    void (*mendIt)();
    bool oldVersionStays;
  } kCases[] = {
      {"folder removed", false, [] { std::filesystem::remove_all("logs"); },
       [] { std::filesystem::create_directory("logs"); }, false},
      {"folder not writable", true, [] { chmod("logs", 0555); }, [] { chmod("logs", 0755); }, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.needsNonRoot && geteuid() == 0) {
      std::printf("[ skipped  ] %s: running as root, where permissions do not stop writes\n",
                  c.name);
      continue;
    }
    ResetEverything();
    std::filesystem::remove_all("logs");
    std::filesystem::create_directory("logs");
    AppSettings.File = "logs/r.CBR";
    ReportHeader.Callsign = "UA3ABC";
    StoreCell(kColCall, 1, 0, "RK3AWL");
    ASSERT_FALSE(Report.WriteFailed);
    const std::string firstVersion = ReadFileBytes("logs/r.CBR");

    c.breakIt();
    Log.QsoCount = 2;
    StoreCell(kColCall, 2, 0, "UA1AAA");
    EXPECT_TRUE(Report.WriteFailed);
    StoreCell(kColSent, 2, 0, "002");
    EXPECT_TRUE(Report.WriteFailed) << "stays set while rewrites fail";
    EXPECT_EQ(Log.QsoLog[2][kColCall], "UA1AAA");
    if (c.oldVersionStays) {
      EXPECT_EQ(ReadFileBytes("logs/r.CBR"), firstVersion);
    }

    c.mendIt();
    StoreCell(kColReceived, 2, 0, "003");
    EXPECT_FALSE(Report.WriteFailed);
    const std::string text = ReadFileBytes("logs/r.CBR");
    EXPECT_EQ(text, BuildReportText());
    EXPECT_NE(text.find("UA1AAA"), std::string::npos);
    EXPECT_NE(text.find("RK3AWL"), std::string::npos);
  }
}

// True when `text` is a whole report as the writer makes it, with rows
// 1..n holding calls C1..Cn.
testing::AssertionResult IsCompleteReport(const std::string& text) {
  if (text.rfind(kHead, 0) != 0) return testing::AssertionFailure() << "no START-OF-LOG";
  if (text.size() < kEnd.size() || text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
    return testing::AssertionFailure() << "does not end with END-OF-LOG";
  int rows = 0;
  for (const std::string& line : Lines(text)) {
    if (line.rfind("QSO: ", 0) != 0) continue;
    ++rows;
    if (line.size() != 81) return testing::AssertionFailure() << "QSO line of " << line.size();
    if (TrimSpaces(line.substr(55, 14)) != "C" + std::to_string(rows))
      return testing::AssertionFailure() << "row " << rows << " is " << line;
  }
  if (rows == 0) return testing::AssertionFailure() << "no QSO line";
  return testing::AssertionSuccess();
}

// The inode of the report: every completed rewrite puts a new file in place.
ino_t ReportInode(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0 ? info.st_ino : 0;
}

TEST_F(ProgramTest, KilledWriterAlwaysLeavesACompleteReport) {
  AppSettings.File = "kill.CBR";
  ReportHeader.Callsign = "UA3ABC";
  for (int r = 1; r <= kLogRows; ++r) Log.QsoLog[r][kColCall] = "C" + std::to_string(r);
  StoreCell(0, 0, 0, "");
  std::mt19937 random(20100307);
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    const int start = std::uniform_int_distribution<int>(1, kLogRows)(random);
    const ino_t before = ReportInode("kill.CBR");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Grow the log row by row from `start`, rewriting the report at every cell.
      for (int r = start;; r = r % kLogRows + 1) {
        Log.QsoCount = r;
        StoreCell(kColCall, 1, r - 1, "C" + std::to_string(r));
        StoreCell(kColSent, 1, r - 1, "599" + std::to_string(r));
      }
    }
    // Once the child has replaced the report, let it go on for a random while
    // so that the kill falls anywhere in a later rewrite.
    bool replaced = false;
    for (int waited = 0; waited < 20000 && !replaced; ++waited) {
      replaced = ReportInode("kill.CBR") != before;
      if (!replaced) usleep(1000);
    }
    usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 40000)(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(replaced) << "the child never completed a rewrite";
    ASSERT_TRUE(IsCompleteReport(ReadFileBytes("kill.CBR")));
  }
}

}  // namespace
