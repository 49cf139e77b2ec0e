// The report reader and the new-report command: what a file reads back to in
// both column layouts, the header tags, the limits of the log and the operator
// entries, the chosen path and its extension, cancelled requesters, broken
// input of every kind, and real logs written by other programs.
#include <filesystem>
#include <string>
#include <tuple>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

constexpr std::string_view kHead3 = "START-OF-LOG: 3.0\r\n";

// A line of `width` spaces with each text placed at its 1-based column.
struct Placed {
  int column;
  std::string_view text;
};
std::string LineWith(std::string_view tag, std::initializer_list<Placed> fields, int width = 81) {
  std::string line(static_cast<std::size_t>(width), ' ');
  line.replace(0, tag.size(), tag);
  for (const Placed& f : fields) {
    line.replace(static_cast<std::size_t>(f.column - 1), f.text.size(), f.text);
  }
  return line;
}

// Opens `path` as start-up does: no requester, no editor. True when it was
// read (only a successful open saves the settings).
bool AutoOpen(const std::string& path) {
  std::filesystem::remove("corvane.ini");
  AppSettings.File = path;
  Report.AutoOpen = true;
  OpenReport();
  Report.AutoOpen = false;
  return PathExists("corvane.ini");
}

// Memory that a failed open must leave alone and a successful one must
// overwrite.
void FillMemory() {
  AppSettings.File = "current.CBR";
  ReportHeader.Callsign = "OLDCALL";
  ReportHeader.Soapbox = "old soapbox";
  Log.QsoCount = 3;
  for (int r = 1; r <= 5; ++r) {
    for (int c = 1; c <= kColDate; ++c) Log.QsoLog[r][c] = "old" + std::to_string(10 * r + c);
  }
}

void ExpectMemoryUnchanged() {
  EXPECT_EQ(AppSettings.File, "current.CBR");
  EXPECT_EQ(ReportHeader.Callsign, "OLDCALL");
  EXPECT_EQ(Log.QsoCount, 3);
  for (int r = 1; r <= 5; ++r) {
    for (int c = 1; c <= kColDate; ++c)
      EXPECT_EQ(Log.QsoLog[r][c], "old" + std::to_string(10 * r + c));
  }
}

const std::string& Cell(int row, int column) { return Log.QsoLog[row][column]; }

TEST_F(ProgramTest, WrittenReportReadsBackTheSame) {
  ReportHeaderRecord& h = ReportHeader;
  h.Contest = "KP";
  h.Callsign = "RK3ABC";
  h.Location = "MO-12";
  h.CategoryOperator = "MULTI-OP2";
  h.CategoryPower = "HIGH";
  h.CategoryBand = "ALL";
  h.CategoryMode = "CW";
  h.Email = "ops@example.ru";
  h.Operators[1] = "Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A"_cp;
  h.Operators[2] = "Петров, Пётр, , , , , "_cp;
  h.Operators[3] = "UA3CCC";
  h.Soapbox = "Удачи!"_cp;
  h.ClaimedScore = "321";
  const struct {
    const char *time, *band, *mode, *date, *call, *sent, *received;
  } kRows[] = {
      {"09:05", "14200", "CW", "2010-03-07", "RK3AWL", "599001", "599017"},
      {"23:59", "1.2G", "TV", "2010-03-08", "UA3ABC/P", "59 001MO", "ЯЧС"_cp.data()},
      {"", "", "", "", "", "", ""},
      {"00:00", "145", "FM", "2010-03-07", "R2ZZZZZZZ", "1234567890", "12345678901"},
  };
  AppSettings.File = "round.CBR";
  Log.QsoCount = std::size(kRows);
  for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i) {
    QsoRecord& r = Log.QsoLog[i + 1];
    r = {"",
         kRows[i].time,
         kRows[i].band,
         kRows[i].mode,
         kRows[i].call,
         kRows[i].sent,
         kRows[i].received,
         "17",
         kRows[i].date};
  }
  StoreCell(0, 0, 0, "");
  ReportHeaderRecord expectedHeader = ReportHeader;
  expectedHeader.CreatedBy = "Corvane v7.0";
  std::vector<QsoRecord> expectedRows(&Log.QsoLog[1], &Log.QsoLog[1] + std::size(kRows));
  for (QsoRecord& r : expectedRows) r[kColPoints].clear();  // points are not in the file

  ResetEverything();
  ASSERT_TRUE(AutoOpen("round.CBR"));
  auto fields = [](const ReportHeaderRecord& x) {
    return std::tie(x.Contest, x.Callsign, x.Location, x.CategoryOperator, x.CategoryPower,
                    x.CategoryBand, x.CategoryMode, x.Email, x.Operators, x.Soapbox, x.ClaimedScore,
                    x.CreatedBy);
  };
  EXPECT_TRUE(fields(ReportHeader) == fields(expectedHeader));
  ASSERT_EQ(Log.QsoCount, static_cast<int>(std::size(kRows)));
  EXPECT_EQ(std::vector<QsoRecord>(&Log.QsoLog[1], &Log.QsoLog[1] + std::size(kRows)),
            expectedRows);
  EXPECT_EQ(AppSettings.File, "round.CBR");
  EXPECT_EQ(Log.CurrentRow, 1);
  EXPECT_EQ(Log.CurrentColumn, 1);
  EXPECT_EQ(Log.TopOffset, 0);
}

// QSO lines and what each layout makes of them: the four common fields from
// any line, the other four only under a version this program knows.
TEST_F(ProgramTest, QsoLineColumnsByVersion) {
  const std::string line3 =
      "QSO: 14200 CW 2010-03-07 0905 UA3ABC        599001     RK3AWL        599017      ";
  const std::string line2 = LineWith("QSO: ", {{6, "3600"},
                                               {12, "PH"},
                                               {15, "2010-03-07"},
                                               {26, "1720"},
                                               {31, "UA3ABC"},
                                               {42, "59001"},
                                               {50, "RK3AWL"},
                                               {61, "59017"},
                                               {69, "12"}});
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> row1;  // time band mode call sent received points date
  } kCases[] = {
      {"3.0 layout",
       std::string(kHead3) + line3 + "\r\n",
       {"09:05", "14200", "CW", "RK3AWL", "599001", "599017", "", "2010-03-07"}},
      {"2.0 layout with points",
       "START-OF-LOG: 2.0\r\n" + line2 + "\r\n",
       {"17:20", "3600", "PH", "RK3AWL", "59001", "59017", "12", "2010-03-07"}},
      {"QSO line before START-OF-LOG",
       line3 + "\r\n" + std::string(kHead3),
       {"09:05", "14200", "CW", "old14", "old15", "old16", "old17", "2010-03-07"}},
      {"version with a trailing space",
       "START-OF-LOG: 3.0 \r\n" + line3 + "\r\n",
       {"09:05", "14200", "CW", "old14", "old15", "old16", "old17", "2010-03-07"}},
      {"no START-OF-LOG at all, LF ends",
       line3 + "\n",
       {"09:05", "14200", "CW", "old14", "old15", "old16", "old17", "2010-03-07"}},
      {"lower-case tag is no tag",
       "start-of-log: 3.0\r\n" + line3,
       {"09:05", "14200", "CW", "old14", "old15", "old16", "old17", "2010-03-07"}},
      {"short line gives empty columns",
       std::string(kHead3) + "QSO: 7000 \r\n",
       {"", "7000", "", "", "", "", "", ""}},
      {"blank QSO line is an empty row",
       std::string(kHead3) + "QSO: " + std::string(76, ' '),
       {"", "", "", "", "", "", "", ""}},
      {"time of two spaces and a digit",
       std::string(kHead3) + LineWith("QSO: ", {{28, "5"}}),
       {"  :5 ", "", "", "", "", "", "", ""}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FillMemory();
    WriteFileBytes("v.CBR", c.text);
    ASSERT_TRUE(AutoOpen("v.CBR"));
    ASSERT_EQ(AppSettings.File, "v.CBR");
    EXPECT_EQ(Log.QsoCount, 1);
    const std::vector<std::string> got = {
        Cell(1, kColTime), Cell(1, kColBand),     Cell(1, kColMode),   Cell(1, kColCall),
        Cell(1, kColSent), Cell(1, kColReceived), Cell(1, kColPoints), Cell(1, kColDate)};
    EXPECT_EQ(got, c.row1);
    for (int c2 = 1; c2 <= kGridColumns; ++c2) EXPECT_EQ(Cell(2, c2), "") << "column " << c2;
    EXPECT_EQ(Cell(2, kColDate), "old28") << "the date column is not cleared";
  }
}

TEST_F(ProgramTest, RowCountsAndLimits) {
  const std::string blank = "QSO: " + std::string(76, ' ') + "\r\n";
  auto numbered = [](int n) {
    std::string text(kHead3);
    for (int i = 1; i <= n; ++i) {
      text += LineWith("QSO: ", {{56, "C" + std::to_string(i)}}) + "\r\n";
    }
    return text + "END-OF-LOG: \r\n";
  };
  const struct {
    const char* name;
    std::string text;
    int count;
    const char* lastCall;
  } kCases[] = {
      {"empty file", "", 1, ""},
      {"header only", std::string(kHead3) + "CALLSIGN: X\r\nEND-OF-LOG: \r\n", 1, ""},
      {"only blank QSO lines", std::string(kHead3) + blank + blank + blank, 3, ""},
      {"exactly 768 QSO lines", numbered(kLogRows), kLogRows, "C768"},
      {"QSO lines after the 768th are ignored", numbered(kLogRows + 40), kLogRows, "C768"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FillMemory();
    WriteFileBytes("n.CBR", c.text);
    ASSERT_TRUE(AutoOpen("n.CBR"));
    EXPECT_EQ(Log.QsoCount, c.count);
    EXPECT_EQ(Cell(c.count, kColCall), c.lastCall);
    EXPECT_EQ(Cell(c.count, kColTime), "");
    for (int r = c.count + 1; r <= kLogRows; ++r) EXPECT_EQ(Cell(r, kColCall), "") << r;
  }
}

TEST_F(ProgramTest, HeaderTags) {
  const std::string text =
      "START-OF-LOG: 3.0\r\n"
      "CONTEST: KP\r\n"
      "CALLSIGN: UA3ABC  \r\n"  // the value is not stripped
      "CALLSIGN:UA3XXX\r\n"     // no space after the colon: no tag
      "Callsign: UA3YYY\r\n"    // lower case: no tag
      "SOAPBOX: first\r\n"
      "SOAPBOX: second\r\n"
      "OPERATORS: one\r\n"
      "OPERATORS: two\r\n"
      "OPERATORS: \r\n"
      "OPERATORS: four\r\n"
      "OPERATORS: five\r\n"
      "CATEGORY: SINGLE-OP ALL HIGH\r\n"
      "END-OF-LOG: \r\n"
      "CLAIMED-SCORE: after the end\r\n";
  FillMemory();
  ReportHeader.Location = "kept";
  WriteFileBytes("h.CBR", text);
  ASSERT_TRUE(AutoOpen("h.CBR"));
  EXPECT_EQ(ReportHeader.Contest, "KP");
  EXPECT_EQ(ReportHeader.Callsign, "UA3ABC  ");
  EXPECT_EQ(ReportHeader.Soapbox, "second");
  EXPECT_EQ(ReportHeader.Location, "kept") << "a field without its tag keeps its value";
  EXPECT_EQ(ReportHeader.CategoryOperator, "");
  EXPECT_EQ(ReportHeader.ClaimedScore, "after the end");
  const std::array<std::string, kOperatorSlots + 1> operators = {"", "one", "two", "", "four"};
  EXPECT_EQ(ReportHeader.Operators, operators);
}

TEST_F(ProgramTest, ChosenPathKeepsItsCaseAndGetsTheExtensionOnlyWhenMissing) {
  const struct {
    const char* name;
    const char* onDisk;  // the file the test makes
    const char* chosen;  // the requester's answer
    const char* file;    // File afterwards
  } kCases[] = {
      {"lower case stays lower case", "report.cbr", "report.cbr", "report.cbr"},
      {"mixed case", "Report.Cbr", "Report.Cbr", "Report.Cbr"},
      {"no extension gets .CBR", "log.CBR", "log", "log.CBR"},
      {"no extension, only the bare file exists", "bare", "bare", "current.CBR"},
      {".cbr inside the name is enough", "a.cbr.txt", "a.cbr.txt", "a.cbr.txt"},
      {"Cyrillic folder", "Журнал/тест.cbr", "Журнал/тест.cbr", "Журнал/тест.cbr"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FillMemory();
    const std::string chosen = cp1251::FromUtf8(c.chosen);
    const std::filesystem::path diskPath(c.onDisk);  // UTF-8 bytes, as the system names files
    if (diskPath.has_parent_path()) std::filesystem::create_directories(diskPath.parent_path());
    WriteFileBytes(diskPath.string(), std::string(kHead3) + "CALLSIGN: NEWCALL\r\n");
    headless::QueueFileAnswer(chosen);
    OpenReport();
    EXPECT_EQ(AppSettings.File, cp1251::FromUtf8(c.file));
    EXPECT_EQ(ReportHeader.Callsign, AppSettings.File == "current.CBR" ? "OLDCALL" : "NEWCALL");
    std::filesystem::remove(diskPath);
  }
}

TEST_F(ProgramTest, OpenFromTheMenuAsksShowsTheEditorAndSavesTheSettings) {
  WriteFileBytes("m.cbr", std::string(kHead3) + "CALLSIGN: UA3ABC\r\n");
  headless::QueueFileAnswer("m.cbr");
  OpenReport();
  const auto calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, "open");
  EXPECT_EQ(calls[0].title, "Открыть файл"_cp);
  EXPECT_EQ(calls[0].pattern, "Файлы Cabrilio|*.cbr"_cp);
  EXPECT_EQ(calls[0].defaultFile, "");
  EXPECT_EQ(calls[0].patternIndex, 0);
  ASSERT_NE(headless::Window(kHeaderWindowId), nullptr) << "the editor was not shown";
  EXPECT_FALSE(headless::Window(kHeaderWindowId)->open);
  EXPECT_NE(ReadFileBytes("corvane.ini").find("File = m.cbr\r\n"), std::string::npos);

  ResetEverything();
  ASSERT_TRUE(AutoOpen("m.cbr"));
  EXPECT_TRUE(headless::DialogCalls().empty());
  EXPECT_EQ(headless::Window(kHeaderWindowId), nullptr) << "no editor at start-up";
  EXPECT_EQ(ReportHeader.Callsign, "UA3ABC");
  EXPECT_NE(ReadFileBytes("corvane.ini").find("File = m.cbr\r\n"), std::string::npos);
}

TEST_F(ProgramTest, OpenShowsTheFirstRowsAndTheCursorInTheGrid) {
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  for (int r = 1; r <= kGridRows; ++r) {
    for (int c = 1; c <= kGridColumns; ++c) CreateLabel(CellId(r, c), 0, 0, 10, 10, "x", 1);
  }
  WriteFileBytes(
      "g.CBR",
      std::string(kHead3) +
          "QSO: 14200 CW 2010-03-07 0905 UA3ABC        599001     RK3AWL        599017      ");
  ASSERT_TRUE(AutoOpen("g.CBR"));
  EXPECT_EQ(headless::Control(CellId(1, kColTime))->text, "09:05");
  EXPECT_EQ(headless::Control(CellId(1, kColCall))->text, "RK3AWL");
  EXPECT_EQ(headless::Control(CellId(2, kColCall))->text, "");
  EXPECT_EQ(headless::Control(CellId(1, 1))->backColour, AppSettings.Background);
  EXPECT_EQ(headless::Control(CellId(1, kColCall))->backColour, AppSettings.ColorText);
}

TEST_F(ProgramTest, CancelledRequestersChangeNothing) {
  const struct {
    const char* name;
    void (*command)();
  } kCases[] = {
      {"open", OpenReport},
      {"new", NewReport},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FillMemory();
    // A file named only by the extension must not be opened by a cancel.
    WriteFileBytes(".CBR", std::string(kHead3) + "CALLSIGN: WRONG\r\n");
    c.command();
    ExpectMemoryUnchanged();
    EXPECT_EQ(headless::DialogCalls().size(), 1u);
    EXPECT_EQ(headless::Window(kHeaderWindowId), nullptr);
    EXPECT_FALSE(PathExists("corvane.ini"));
  }
}

TEST_F(ProgramTest, NewReportStartsAnEmptyLogUnderTheChosenName) {
  const struct {
    const char* chosen;
    const char* file;
  } kCases[] = {
      {"log", "log.CBR"},
      {"sub/Test.cbr", "sub/Test.cbr"},
      {"Test.Cbr", "Test.Cbr"},
  };
  std::filesystem::create_directory("sub");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.chosen);
    ResetEverything();
    FillMemory();
    ReportHeader.Operators[4] = "fourth";
    ReportHeader.CreatedBy = "someone";
    ReportHeader.ClaimedScore = "99";
    Report.WriteFailed = true;
    headless::QueueFileAnswer(c.chosen);
    NewReport();
    const auto calls = headless::DialogCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "save");
    EXPECT_EQ(calls[0].title, "Создать файл"_cp);
    EXPECT_EQ(calls[0].pattern, "Файлы Cabrilio|*.cbr"_cp);
    EXPECT_EQ(AppSettings.File, c.file);
    EXPECT_FALSE(Report.WriteFailed);
    EXPECT_EQ(Log.QsoCount, 1);
    EXPECT_EQ(Log.CurrentColumn, kColCall);
    for (int r = 1; r <= 5; ++r) {
      for (int col = 1; col <= kColDate; ++col) EXPECT_EQ(Cell(r, col), "");
    }
    EXPECT_EQ(ReportHeader.Callsign, "");
    EXPECT_EQ(ReportHeader.ClaimedScore, "");
    EXPECT_EQ(ReportHeader.Soapbox, "old soapbox");
    EXPECT_EQ(ReportHeader.CreatedBy, "someone");
    EXPECT_EQ(ReportHeader.Operators[4], "fourth");
    ASSERT_NE(headless::Window(kHeaderWindowId), nullptr) << "the editor was not shown";
    EXPECT_NE(ReadFileBytes("corvane.ini").find("File = " + std::string(c.file) + "\r\n"),
              std::string::npos);
  }
}

// "Создать" over an existing file, and opening a file: the first rewrite
// keeps the file as it was.
TEST_F(ProgramTest, FirstRewriteAfterOpenOrNewKeepsTheOldFile) {
  const std::string old2 = "START-OF-LOG: 2.0\r\n" +
                           LineWith("QSO: ", {{6, "3600"}, {50, "RK3AWL"}, {69, "12"}}) +
                           "\r\nEND-OF-LOG:\r\n";
  const struct {
    const char* name;
    void (*command)();
  } kCases[] = {
      {"open", OpenReport},
      {"new", NewReport},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    WriteFileBytes("old.CBR", old2);
    std::filesystem::remove("old.CBR.bak");
    Report.BackedUpFile = "old.CBR";  // as if kept earlier in this run
    headless::QueueFileAnswer("old.CBR");
    c.command();
    EXPECT_EQ(ReadFileBytes("old.CBR"), old2) << "nothing is written before a change";
    StoreCell(kColCall, 1, 0, "UA1AAA");
    EXPECT_EQ(ReadFileBytes("old.CBR.bak"), old2);
    EXPECT_EQ(ReadFileBytes("old.CBR"), BuildReportText());
  }
}

TEST_F(ProgramTest, BadInputGivesTheDefinedResult) {
  std::string junk;
  for (int i = 0; i < 200000; ++i) junk += static_cast<char>((i * 7919 + i / 13) % 256);
  std::string longQso = "QSO: 14200 CW 2010-03-07 0905 UA3ABC        599001     RK3AWL";
  longQso += std::string(2 * 1024 * 1024, 'Z');
  const struct {
    const char* name;
    std::string text;  // ignored for the cases that make no file
    bool makeFile;
    bool makeFolder;
    bool opens;
    int count;
    const char* call1;
  } kCases[] = {
      {"missing file", "", false, false, false, 0, ""},
      {"a folder", "", false, true, false, 0, ""},
      {"binary junk", junk, true, false, true, -1, nullptr},
      {"NUL ends a line", std::string(kHead3) + std::string("CALLSIGN: AB\0QSO: 7000 \r\n", 25),
       true, false, true, 1, ""},
      {"NUL bytes only", std::string(1000, '\0'), true, false, true, 1, ""},
      {"2 MB QSO line", std::string(kHead3) + longQso + "\r\n" + longQso, true, false, true, 2,
       "RK3AWLZZZZZZZZ"},
      {"2 MB line without a line end", std::string(3 * 1024 * 1024, 'x'), true, false, true, 1, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FillMemory();
    std::filesystem::remove_all("bad.CBR");
    if (c.makeFile) WriteFileBytes("bad.CBR", c.text);
    if (c.makeFolder) std::filesystem::create_directory("bad.CBR");
    headless::QueueFileAnswer("bad.CBR");
    OpenReport();
    if (!c.opens) {
      ExpectMemoryUnchanged();
      continue;
    }
    EXPECT_EQ(AppSettings.File, "bad.CBR");
    if (c.count >= 0) {
      EXPECT_EQ(Log.QsoCount, c.count);
    }
    EXPECT_GE(Log.QsoCount, 1);
    EXPECT_LE(Log.QsoCount, kLogRows);
    if (c.call1 != nullptr) {
      EXPECT_EQ(Cell(1, kColCall), c.call1);
    }
    if (c.call1 != nullptr && c.count == 2) {
      EXPECT_EQ(Cell(2, kColCall), c.call1);
    }
  }
}

TEST_F(ProgramTest, HeaderValuesOfHugeLinesAreBounded) {
  WriteFileBytes("big.CBR", std::string(kHead3) + "SOAPBOX: " + std::string(3 << 20, 'S') +
                                "\r\nCALLSIGN: UA3ABC\r\n");
  ASSERT_TRUE(AutoOpen("big.CBR"));
  EXPECT_LE(ReportHeader.Soapbox.size(), kReadLineLimit);
  EXPECT_GT(ReportHeader.Soapbox.size(), 60000u);
  EXPECT_EQ(ReportHeader.Callsign, "UA3ABC") << "the line after the long one is read";
}

TEST_F(ProgramTest, RealLogsFromOtherPrograms) {
  const struct {
    const char* file;
    int count;
    // The last row: time, band, mode, date; call, sent, received (3.0 only).
    std::vector<std::string> last;
    const char* callsign;
  } kCases[] = {
      {"thxo-CQWPX.log", 2, {}, "AA1ZZZ"},
      {"alechussey-afs_phone-v2.txt", 7, {"17:29", "7068", "PH", "2016-01-16"}, "G9HOG"},
      {"alechussey-neqp-v2.txt", 11, {"12:06", "21289", "PH", "2002-05-05"}, "W9IOP"},
      {"jasonhancock-k1ir.log",
       75,
       {"21:48", "7030", "CW", "2017-11-25", "R3ZZ", "599 5", "599 16"},
       "K1IR"},
      {"thxo-YARC.log", 68, {}, nullptr},
      {"relrod-ARRL-SS-CW.cabrillo", 10, {}, nullptr},
      {"thxo-CQWPX_bad_style.log", 2, {}, nullptr},
      {"tlf-station-sample-template.cbr", 1, {}, nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    ResetEverything();
    // Under its own name the program would look for name.CBR: read a copy.
    const std::string sample = std::string(CORVANE_SAMPLES_DIR) + "/" + c.file;
    ASSERT_TRUE(PathExists(sample));
    if (sample.find(".cbr") == std::string::npos) {
      EXPECT_FALSE(AutoOpen(sample)) << "opened without its .CBR";
    }
    WriteFileBytes("sample.cbr", ReadFileBytes(sample));
    ASSERT_TRUE(AutoOpen("sample.cbr"));
    EXPECT_EQ(Log.QsoCount, c.count);
    const std::vector<std::string> fields = {Cell(c.count, kColTime),    Cell(c.count, kColBand),
                                             Cell(c.count, kColMode),    Cell(c.count, kColDate),
                                             Cell(c.count, kColCall),    Cell(c.count, kColSent),
                                             Cell(c.count, kColReceived)};
    for (std::size_t i = 0; i < c.last.size(); ++i) EXPECT_EQ(fields[i], c.last[i]) << i;
    if (c.callsign != nullptr) {
      EXPECT_EQ(TrimSpaces(ReportHeader.Callsign), c.callsign);
    }
  }
}

}  // namespace
