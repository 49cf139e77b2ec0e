// The report reader and the new-report command: both column layouts, header
// tags, the limits, broken input, real logs from other programs, the chosen
// path, cancelled requesters and the ".bak" of a chosen file.
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

namespace fs = std::filesystem;
const std::string kHead3 = "START-OF-LOG: 3.0\r\n";
const std::string kLine3 =
    "QSO: 14200 CW 2010-03-07 0905 UA3ABC        599001     RK3AWL        599017      ";
const std::string kLine2 = "QSO: 3600  PH 2010-03-07 1720 UA3ABC     59001   RK3AWL     59017   12";

// Row r of the log as "time|band|mode|call|sent|received|points|date".
std::string Fields(int r) {
  std::string out = Log.QsoLog[r][1];
  for (int c = 2; c <= kColDate; ++c) out += "|" + Log.QsoLog[r][c];
  return out;
}

std::string Describe(const headless::DialogCall& d) {
  return d.kind + "|" + d.title + "|" + d.pattern + "|" + d.defaultFile + "|" +
         std::to_string(d.patternIndex);
}

// Opens `path` as start-up does: no requester, no editor. True when it was
// read (only a successful open saves the settings).
bool AutoOpen(const std::string& path) {
  fs::remove("corvane.ini");
  AppSettings.File = path;
  Report.AutoOpen = true;
  OpenReport();
  Report.AutoOpen = false;
  return PathExists("corvane.ini");
}

// Memory that a failed open must leave alone.
std::string OldCell(int r, int c) { return "old" + std::to_string(10 * r + c); }
void FillMemory() {
  AppSettings.File = "current.CBR";
  ReportHeader.Callsign = "OLDCALL";
  ReportHeader.Soapbox = "old soapbox";
  Log.QsoCount = 3;
  for (int r = 1; r <= kLogRows; ++r)
    for (int c = 1; c <= kColDate; ++c) Log.QsoLog[r][c] = OldCell(r, c);
}
void ExpectMemoryUnchanged() {
  EXPECT_EQ(AppSettings.File + ReportHeader.Callsign, "current.CBROLDCALL");
  EXPECT_EQ(Log.QsoCount, 3);
  for (int r = 1; r <= 5; ++r)
    for (int c = 1; c <= kColDate; ++c) EXPECT_EQ(Log.QsoLog[r][c], OldCell(r, c));
}

TEST_F(ProgramTest, WrittenReportReadsBackTheSame) {
  ReportHeader = {"KP", "RK3ABC",         "MO-12", "MULTI-OP2", "HIGH", "ALL",
                  "CW", "ops@example.ru", {},      "",          "321",  ""};
  ReportHeader.Operators = {"", std::string("Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A"_cp),
                            std::string("Петров, Пётр, , , , , "_cp), "UA3CCC", ""};
  ReportHeader.Soapbox = "Удачи!"_cp;
  const std::string kRows[] = {
      "09:05|14200|CW|RK3AWL|599001|599017||2010-03-07",
      "23:59|1.2G|TV|UA3ABC/P|59 001MO|" + std::string("ЯЧС"_cp) + "||2010-03-08",
      "|||||||",
      "00:00|145|FM|R2ZZZZZZZ|1234567890|12345678901||2010-03-07",
  };
  Log.QsoCount = std::size(kRows);
  for (int i = 1; i <= Log.QsoCount; ++i) {
    std::istringstream in(kRows[i - 1]);
    for (int c = 1; c <= kColDate; ++c) std::getline(in, Log.QsoLog[i][c], '|');
  }
  AppSettings.File = "round.CBR";
  StoreAndWait(0, 0, 0, "");
  const std::string written = ReadFileBytes("round.CBR");

  ResetEverything();
  ASSERT_TRUE(AutoOpen("round.CBR"));
  EXPECT_EQ(BuildReportText(), written) << "the header and the rows read back the same";
  EXPECT_EQ(ReportHeader.CreatedBy, "Corvane v7.0");
  ASSERT_EQ(Log.QsoCount, 4);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(Fields(i), kRows[i - 1]);
}

// A report read, rewritten and read again gives the same log: a fixed point,
// also for QSO lines that end inside a field.
TEST_F(ProgramTest, RewrittenReportReadsTheSame) {
  const std::string kLines[] = {
      "QSO: " + std::string(22, ' ') + "5",  // ends inside the minutes
      "QSO: 14200 CW 2010-03-07 0",          // ends inside the hours
      "QSO: 14200 CW 2010-03-07 09",
      "QSO: 14200 CW 2010-03-07 0905 ",
      "QSO: 7000 ",
      kLine3.substr(0, 60),  // ends inside the call sign
  };
  for (const std::string& line : kLines) {
    SCOPED_TRACE(line);
    ResetEverything();
    WriteFileBytes("r.cbr", kHead3 + line + "\r\n");
    ASSERT_TRUE(AutoOpen("r.cbr"));
    const std::string first = Fields(1);
    StoreAndWait(0, 0, 0, "");  // rewrites the report
    ResetEverything();
    ASSERT_TRUE(AutoOpen("r.cbr"));
    EXPECT_EQ(Fields(1), first);
  }
}

// What a file reads back to: the own call sign (trimmed), a space, and the
// start of "time|band|mode|call|sent|received|points|date" of the last row.
// The four common fields come from any QSO line, the other four only under a
// version this program knows; memory holds "old.." before each open.
struct ReadBackCase {
  const char* name;
  std::string text;
  int count;
  std::string expected;
};

void ExpectReadBack(const ReadBackCase& c) {
  SCOPED_TRACE(c.name);
  ResetEverything();
  FillMemory();
  WriteFileBytes("r.cbr", c.text);
  ASSERT_TRUE(AutoOpen("r.cbr"));
  ASSERT_EQ(Log.QsoCount, c.count);
  const std::string got = TrimSpaces(ReportHeader.Callsign) + " " + Fields(c.count);
  EXPECT_EQ(got.substr(0, c.expected.size()), c.expected);
  int uncleared = 0;
  for (int r = c.count + 1; r <= kLogRows; ++r) uncleared += Fields(r).rfind("|||||||", 0) != 0;
  EXPECT_EQ(uncleared, 0) << "columns 1-7 of rows after the last read are cleared";
  EXPECT_LE(ReportHeader.Soapbox.size(), kReadLineLimit);
}

TEST_F(ProgramTest, FileContentsReadBack) {
  auto numbered = [](int n) {
    std::string text = kHead3;
    for (int i = 1; i <= n; ++i)
      text += "QSO: " + std::string(50, ' ') + "C" + std::to_string(i) + "\r\n";
    return text + "END-OF-LOG: \r\n";
  };
  const std::string blank = "QSO: " + std::string(76, ' ') + "\r\n";
  const std::string hugeQso = kLine3.substr(0, 61) + std::string(2 << 20, 'Z') + "\r\n";
  std::string junk;
  for (int i = 0; i < 200000; ++i) junk += static_cast<char>((i * 7919 + i / 13) % 256);
  const ReadBackCase kCases[] = {
      {"3.0", kHead3 + kLine3, 1, "OLDCALL 09:05|14200|CW|RK3AWL|599001|599017||2010-03-07"},
      {"2.0 with points", "START-OF-LOG: 2.0\r\n" + kLine2, 1,
       "OLDCALL 17:20|3600|PH|RK3AWL|59001|59017|12|2010-03-07"},
      {"before START-OF-LOG", kLine3 + "\r\n" + kHead3, 1,
       "OLDCALL 09:05|14200|CW|old14|old15|old16|old17|2010-03-07"},
      {"\"3.0 \" is no version", "START-OF-LOG: 3.0 \r\n" + kLine3, 1,
       "OLDCALL 09:05|14200|CW|old14|old15|old16|old17|2010-03-07"},
      {"short line", kHead3 + "QSO: 7000 ", 1, "OLDCALL |7000||||||"},
      {"time of spaces and a digit", kHead3 + "QSO: " + std::string(22, ' ') + "5", 1,
       "OLDCALL   :5 |||||||"},
      {"empty file", "", 1, "OLDCALL |||||||old18"},
      {"only blank QSO lines", kHead3 + blank + blank + blank, 3, "OLDCALL |||||||"},
      {"40 QSO lines, more than the grid shows", numbered(40), 40, "OLDCALL |||C40||||"},
      {"768 QSO lines", numbered(kLogRows), kLogRows, "OLDCALL |||C768||||"},
      {"QSO lines after the 768th", numbered(kLogRows + 40), kLogRows, "OLDCALL |||C768||||"},
      {"binary junk", junk, 1, "OLDCALL "},
      {"NUL ends a line", kHead3 + std::string("CALLSIGN: AB\0QSO: 7000 \r\n", 25), 1, "AB |7000"},
      {"NUL bytes only", std::string(1000, '\0'), 1, "OLDCALL |||||||old18"},
      {"2 MB QSO lines", kHead3 + hugeQso + hugeQso, 2, "OLDCALL 09:05|14200|CW|RK3AWLZZZZZZZZ|"},
      {"3 MB header line", kHead3 + "SOAPBOX: " + std::string(3 << 20, 'S') + "\r\nCALLSIGN: B", 1,
       "B "},
      {"3 MB without a line end", std::string(3 << 20, 'x'), 1, "OLDCALL |||||||old18"},
  };
  for (const ReadBackCase& c : kCases) ExpectReadBack(c);
}

// Logs written by other programs, from the samples folder beside the
// repository; a clone without it reports the test as skipped.
TEST_F(ProgramTest, SampleLogsReadBack) {
  const std::string folder = SamplesFolder();
  if (folder.empty()) GTEST_SKIP() << "no Cabrillo samples folder at " << kSamplesFolder;
  auto sample = [&folder](const char* file) { return ReadFileBytes(folder + "/" + file); };
  const ReadBackCase kCases[] = {
      {"thxo-CQWPX.log", sample("thxo-CQWPX.log"), 2, "AA1ZZZ "},
      {"afs_phone 2.0", sample("alechussey-afs_phone-v2.txt"), 7, "G9HOG 17:29|7068|PH|"},
      {"k1ir", sample("jasonhancock-k1ir.log"), 75,
       "K1IR 21:48|7030|CW|R3ZZ|599 5|599 16||2017-11-25"},
      {"CQWPX_bad_style", sample("thxo-CQWPX_bad_style.log"), 2, "AA1ZZZ |7006|"},
      {"tlf template", sample("tlf-station-sample-template.cbr"), 1, "OLDCALL "},
  };
  for (const ReadBackCase& c : kCases) ExpectReadBack(c);
}

// Values are taken unstripped from exact upper-case tags with their space; a
// later SOAPBOX replaces an earlier one, reading goes on past END-OF-LOG, a
// field without its tag keeps its value, and a fifth OPERATORS line has no room.
TEST_F(ProgramTest, HeaderTags) {
  FillMemory();
  ReportHeader.Location = "kept";
  WriteFileBytes(
      "h.CBR",
      "START-OF-LOG: 3.0\r\nCONTEST: KP\r\nCALLSIGN: UA3ABC  \r\nCALLSIGN:UA3XXX\r\n"
      "Callsign: UA3YYY\r\nSOAPBOX: first\r\nSOAPBOX: second\r\nOPERATORS: one\r\n"
      "OPERATORS: two\r\nOPERATORS: \r\nOPERATORS: four\r\nOPERATORS: five\r\n"
      "CATEGORY: SINGLE-OP ALL HIGH\r\nEND-OF-LOG: \r\nCLAIMED-SCORE: after the end\r\n");
  ASSERT_TRUE(AutoOpen("h.CBR"));
  const ReportHeaderRecord& h = ReportHeader;
  EXPECT_EQ(h.Contest + "/" + h.Callsign + "/" + h.Soapbox + "/" + h.Location + "/" +
                h.CategoryOperator + "/" + h.ClaimedScore,
            "KP/UA3ABC  /second/kept//after the end");
  EXPECT_EQ(h.Operators, (decltype(h.Operators){"", "one", "two", "", "four"}));
}

// "Открыть" and "Создать" keep the path as chosen, appending ".CBR" only when
// it holds no ".cbr" in any letter case. A path that cannot be opened
// (missing, a folder, a cancelled requester's "", which names ".CBR") changes
// nothing. A chosen file is not written before a change; the first rewrite
// keeps it as ".bak", even when that name was kept earlier in the run.
TEST_F(ProgramTest, OpenAndNewTakeTheChosenPath) {
  const struct {
    bool open;
    const char *onDisk, *chosen, *file;  // the file made, the answer, File after (nullptr: kept)
  } kCases[] = {
      {true, "report.cbr", "report.cbr", "report.cbr"},
      {true, "log.CBR", "log", "log.CBR"},
      {true, "a.cbr.txt", "a.cbr.txt", "a.cbr.txt"},
      {true, "Журнал/тест.cbr", "Журнал/тест.cbr", "Журнал/тест.cbr"},
      {true, "bare", "bare", nullptr},
      {true, "x.CBR", "missing.cbr", nullptr},
      {true, "folder.cbr/x", "folder.cbr", nullptr},
      {true, ".CBR", "", nullptr},
      {false, ".CBR", "", nullptr},
      {false, "log.CBR", "log", "log.CBR"},
      {false, "sub/Test.cbr", "sub/Test.cbr", "sub/Test.cbr"},
  };
  const std::string original = kHead3 + "CALLSIGN: NEWCALL\r\n";
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.open ? "open " : "new ") + c.onDisk);
    ResetEverything();
    FillMemory();
    ReportHeader.CreatedBy = "someone";
    ReportHeader.Operators[4] = "fourth";
    ReportHeader.ClaimedScore = "99";
    Report.BackedUpFile = c.file != nullptr ? cp1251::FromUtf8(c.file) : "";
    Report.WriteFailed = true;
    fs::remove("corvane.ini");
    const fs::path disk = Utf8Path(c.onDisk);
    if (disk.has_parent_path()) fs::create_directories(disk.parent_path());
    WriteFileBytes(disk, original);
    fs::remove(fs::path(disk) += ".bak");
    if (*c.chosen != '\0') headless::QueueFileAnswer(cp1251::FromUtf8(c.chosen));
    c.open ? OpenReport() : NewReport();
    RunBeforeWaitHook();  // the main loop waits again
    // A file chosen from the menu that cannot be read is named in a message box.
    const bool unreadable = c.open && c.file == nullptr && *c.chosen != '\0';
    const std::vector<headless::DialogCall> calls = headless::DialogCalls();
    ASSERT_EQ(calls.size(), unreadable ? 2u : 1u);
    EXPECT_EQ(Describe(calls[0]),
              std::string(c.open ? "open|Открыть файл|Файлы Cabrilio|*.cbr||0"_cp
                                 : "save|Создать файл|Файлы Cabrilio|*.cbr||0"_cp));
    if (unreadable) {
      EXPECT_EQ(std::tie(calls[1].kind, calls[1].text, calls[1].flags),
                std::tuple("message", std::string("Не удалось прочитать отчёт:\n"_cp) +
                                          WithReportExtension(cp1251::FromUtf8(c.chosen)),
                           kMessageBoxWarning));
    }
    EXPECT_EQ(headless::Window(kHeaderWindowId) != nullptr, c.file != nullptr) << "the editor";
    if (c.file == nullptr) {
      ExpectMemoryUnchanged();
      EXPECT_FALSE(PathExists("corvane.ini"));
      continue;
    }
    EXPECT_EQ(AppSettings.File, cp1251::FromUtf8(c.file));
    EXPECT_NE(ReadFileBytes("corvane.ini").find("File = " + AppSettings.File), std::string::npos);
    EXPECT_FALSE(Report.WriteFailed);
    EXPECT_EQ(std::tie(Log.QsoCount, Log.CurrentRow, Log.CurrentColumn, Log.TopOffset),
              std::tuple(1, 1, c.open ? 1 : kColCall, 0));
    EXPECT_EQ(Fields(1) + Fields(2), c.open ? "|||||||old18|||||||old28" : "||||||||||||||");
    const ReportHeaderRecord& h = ReportHeader;
    EXPECT_EQ(h.Callsign + "/" + h.ClaimedScore + "/" + h.Soapbox + "/" + h.CreatedBy + "/" +
                  h.Operators[4],
              c.open ? "NEWCALL/99/old soapbox/someone/fourth" : "//old soapbox/someone/fourth");
    EXPECT_EQ(ReadFileBytes(disk), original);
    StoreAndWait(kColCall, 1, 0, "UA1AAA");
    EXPECT_EQ(ReadFileBytes(fs::path(disk) += ".bak"), original);
    EXPECT_EQ(ReadFileBytes(disk), BuildReportText());
  }
}

TEST_F(ProgramTest, OpenShowsTheGridAndNoEditorAtStartUp) {
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  for (int r = 1; r <= kGridRows; ++r)
    for (int c = 1; c <= kGridColumns; ++c) CreateLabel(CellId(r, c), 0, 0, 10, 10, "x", 1);
  WriteFileBytes("m.cbr", kHead3 + kLine3);
  ASSERT_TRUE(AutoOpen("m.cbr"));
  EXPECT_TRUE(headless::DialogCalls().empty());
  EXPECT_EQ(headless::Window(kHeaderWindowId), nullptr);
  EXPECT_EQ(headless::Control(CellId(1, kColTime))->text, "09:05");
  EXPECT_EQ(headless::Control(CellId(2, kColCall))->text, "");
  EXPECT_EQ(headless::Control(CellId(1, 1))->backColour, AppSettings.Background);
  EXPECT_EQ(headless::Control(CellId(1, kColCall))->backColour, AppSettings.ColorText);
}

}  // namespace
