// The report check and the copy for sending: every finding on small reports,
// the repeats judged exactly as the duplicate scan judges them, the summary,
// the reports the program writes at each step of a short contest and their
// copies read back, the exchange split, the refusal to write over the report
// or the settings, the window "Проверка отчёта", and the logs of other
// programs from the samples folder.
#include "report/check.h"

#include <filesystem>
#include <string>
#include <vector>

#include "tests/entry_script.h"

namespace {

using CheckTest = EntryTest;

const std::string kFullHeader =
    "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCONTEST: KP\r\nCALLSIGN: UA3XYZ\r\n"
    "CATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-POWER: LOW\r\nCATEGORY-BAND: ALL\r\n"
    "CATEGORY-MODE: CW\r\n";

std::string ReportOf(const std::string& header, const std::vector<Qso>& rows) {
  std::string out = header;
  for (const Qso& q : rows) out += QsoLine(q) + "\r\n";
  return out + "END-OF-LOG: \r\n";
}

Qso Cw(const char* time, const char* call, const char* band = "14200",
       const char* date = "2010-03-07") {
  return {band, "CW", date, time, call, "599001", "599002"};
}
const Qso kEntry = {"14200", "CW", "", "", "", "599003", ""};

const char* KindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::MissingHeader:
      return "header";
    case FindingKind::Incomplete:
      return "incomplete";
    case FindingKind::UnknownBand:
      return "band";
    case FindingKind::UnknownMode:
      return "mode";
    case FindingKind::RunTogether:
      return "together";
    case FindingKind::OutOfOrder:
      return "order";
    case FindingKind::Repeat:
      return "repeat";
    case FindingKind::PastCapacity:
      return "capacity";
    case FindingKind::UnreadLines:
      return "unread";
  }
  return "?";
}

// "kind row" for each finding, joined by "; ".
std::string Summary(const CheckResult& result) {
  std::string out;
  for (const Finding& f : result.findings) {
    if (!out.empty()) out += "; ";
    out += std::string(KindName(f.kind)) + " " + DecimalText(f.row);
  }
  return out;
}

CheckResult CheckFile(const std::string& path, int32_t minutes, CheckInput* input) {
  EXPECT_TRUE(ReadReportForCheck(path, minutes, input));
  return CheckReport(*input);
}

TEST_F(CheckTest, FindingsOnSmallReports) {
  const std::string qsoTab = "QSO:\t14200\tCW\t2010-03-07\t0905\tUA3XYZ\t599001\tRA3A\t599002\r\n";
  const struct {
    const char* name;
    std::string header;
    std::vector<Qso> rows;
    int minutes;
    std::string findings;
    bool entryRowLast;
  } kCases[] = {
      {"clean, entry row last",
       kFullHeader,
       {Cw("09:05", "RA3A"), Cw("09:06", "RK3B"), kEntry},
       30,
       "",
       true},
      {"clean without an entry row", kFullHeader, {Cw("09:05", "RA3A")}, 30, "", false},
      {"a new report: only the empty entry row", kFullHeader, {{}}, 30, "", true},
      {"header of the program's new report",
       "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCALLSIGN: UA3XYZ\r\n",
       {Cw("09:05", "RA3A"), kEntry},
       30,
       "header 0; header 0; header 0; header 0; header 0",
       true},
      {"blank values count as missing",
       kFullHeader + "CONTEST:  \r\nCATEGORY-POWER: \r\n",
       {Cw("09:05", "RA3A")},
       30,
       "header 0; header 0",
       false},
      {"multi-operator without OPERATORS",
       kFullHeader + "CATEGORY-OPERATOR: MULTI-OP2\r\n",
       {Cw("09:05", "RA3A")},
       30,
       "header 0",
       false},
      {"multi-operator with OPERATORS",
       kFullHeader + "CATEGORY-OPERATOR: MULTI-OP\r\nOPERATORS: UA3XYZ RA3AA\r\n",
       {Cw("09:05", "RA3A")},
       30,
       "",
       false},
      {"incomplete rows; a typed last row is no entry row",
       kFullHeader,
       {{"14200", "CW", "2010-03-07", "09:05", "", "599001", "599002"},
        {"14200", "CW", "2010-03-07", "09:06", "RA3A", "599001", ""},
        {"14200", "CW", "", "", "RK3B", "599001", "599002"},
        {"", "", "", "", "", "", ""},
        {"14200", "CW", "", "", "UA9Z", "599003", ""}},
       30,
       "incomplete 1; incomplete 2; incomplete 3; incomplete 4; band 4; mode 4; incomplete 5",
       false},
      {"dates and times not in their forms",
       kFullHeader,
       {Cw("09:05", "A1", "14200", "2010-3-7"), Cw("9:05", "A2"),
        Cw("09:06", "A3", "14200", "2010-13-07"), Cw("24:00", "A4"), Cw("09:60", "A5"),
        Cw("09:07", "A6", "14200", "2010-03-07"), Cw("09:06", "A7", "14200", "Digital 20")},
       30,
       "incomplete 1; incomplete 2; incomplete 3; incomplete 4; incomplete 5; incomplete 7",
       false},
      {"bands and modes",
       kFullHeader,
       {Cw("09:01", "A1", "1.2G"),
        Cw("09:02", "A2", "145"),
        Cw("09:03", "A3", "50"),
        Cw("09:04", "A4", "14281"),
        {"7000", "cw", "2010-03-07", "09:05", "A5", "599", "599"},
        {"7000", "RY", "2010-03-07", "09:06", "A6", "599", "599"},
        {"7000", "PS", "2010-03-07", "09:07", "A7", "599", "599"}},
       30,
       "band 3; band 4; mode 5; mode 6",
       false},
      {"fields filling their columns",
       kFullHeader,
       {Cw("09:01", "A1", "14200A"),
        Cw("09:02", "RA3ABCDEFGHIJK"),
        {"7000", "CW", "2010-03-07", "09:03", "A3", "59900123456", "59900212345"},
        Cw("09:04", "RA3ABCDEFGHIJ")},
       30,
       "together 1; together 2; together 3",
       false},
      {"time order, over midnight too",
       kFullHeader,
       {Cw("23:50", "A1", "14200", "2010-03-07"), Cw("00:10", "A2", "14200", "2010-03-08"),
        Cw("00:05", "A3", "14200", "2010-03-08"), Cw("00:07", "A4", "14200", "2010-03-08"),
        Cw("00:11", "A5", "14200", "2010-03-08")},
       30,
       "order 3; order 4",
       false},
      {"repeats in 30 minutes",
       kFullHeader,
       {Cw("12:05", "RA3A"), Cw("12:29", "RA3A"), Cw("12:31", "RA3A"), Cw("12:32", "RA3A", "7000"),
        Cw("12:33", " RA3A "), Cw("12:40", "RA3ABCDEFGHIJKX"), Cw("12:41", "RA3ABCDEFGHIJKY")},
       30,
       "repeat 2; repeat 5; together 6; together 7; repeat 7",
       false},
      {"repeats in 60 minutes",
       kFullHeader,
       {Cw("12:05", "RA3A"), Cw("12:59", "RA3A"), Cw("13:00", "RA3A")},
       60,
       "repeat 2",
       false},
      {"the date is no part of a repeat",
       kFullHeader,
       {Cw("12:05", "RA3A", "14200", "2010-03-07"), Cw("12:20", "RA3A", "14200", "2010-03-08")},
       30,
       "repeat 2",
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("r.CBR", ReportOf(c.header, c.rows));
    CheckInput input;
    const CheckResult result = CheckFile("r.CBR", c.minutes, &input);
    EXPECT_EQ(Summary(result), c.findings);
    EXPECT_EQ(result.entryRowLast, c.entryRowLast);
  }

  // Lines the reader does not take and lines past the log's capacity.
  std::string many = kFullHeader;
  for (int i = 0; i < kLogRows + 2; ++i) many += QsoLine(Cw("09:05", "")) + "\r\n";
  const struct {
    const char* name;
    std::string bytes;
    std::string findings;
    int rows;
  } kFiles[] = {
      {"tab-separated QSO lines", kFullHeader + qsoTab + qsoTab, "unread 0", 0},
      {"two QSO lines past 768", many, "capacity 0", kLogRows},
      {"an empty file", "", "header 0; header 0; header 0; header 0; header 0; header 0", 0},
  };
  for (const auto& c : kFiles) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("f.CBR", c.bytes);
    CheckInput input;
    CheckResult result = CheckFile("f.CBR", 30, &input);
    EXPECT_EQ(static_cast<int>(input.rows.size()) - 1, c.rows);
    result.findings.erase(std::remove_if(result.findings.begin(), result.findings.end(),
                                         [](const Finding& f) { return f.row != 0; }),
                          result.findings.end());
    EXPECT_EQ(Summary(result), c.findings);
  }
  CheckInput none;
  EXPECT_FALSE(ReadReportForCheck("missing.CBR", 30, &none));
}

// Every row of a log judged by the check and, with the cursor on it, by the
// duplicate scan: the check finds a repeat exactly where the scan warns.
TEST_F(CheckTest, RepeatsAreWhereTheDuplicateScanWarns) {
  const std::vector<Qso> rows = {
      Cw("12:05", "RA3A"),
      Cw("12:29", "RA3A"),
      Cw("12:29", "RA3A", "7000"),
      Cw("12:30", "RA3A"),
      Cw("12:59", "RA3A", "14000"),
      Cw("13:01", "RA3A"),
      Cw("12:10", "RA3A"),
      Cw("12:11", ""),
      Cw("12:12", ""),
      Cw("12:13", "RA3A", "50"),
      Cw("12:14", "RA3A", "1.2G"),
      Cw("12:15", "UA1ABCDEFGHIJKL"),
      Cw("12:16", "UA1ABCDEFGHIJKM"),
      Cw("1205", "RK3B"),
      Cw("12:05", "RK3B"),
  };
  for (const int minutes : {30, 60}) {
    SCOPED_TRACE(minutes);
    ResetEverything();
    AppSettings.TimeMin = minutes;
    OpenMainWindowOnly();
    SetControlParent(AppWindowHandle(0));
    CreateLabel(kStatusLineId, 10, 480, 525, 18, "", kLabelCentred);
    Log.QsoCount = static_cast<int32_t>(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Qso& q = rows[i];
      Log.QsoLog[i + 1] = {"", q.time, q.band, q.mode, q.call, q.sent, q.received, "", q.date};
    }
    const CheckResult result = CheckReport(OpenReportCheckInput());
    for (int row = 1; row <= Log.QsoCount; ++row) {
      SCOPED_TRACE(row);
      Log.CurrentRow = row;
      LogScan();
      const bool warned = App.StatusWarns;
      bool found = false;
      for (const Finding& f : result.findings)
        found = found || (f.row == row && f.kind == FindingKind::Repeat);
      EXPECT_EQ(found, warned);
    }
  }
}

TEST_F(CheckTest, TextAndSummary) {
  WriteFileBytes("s.CBR",
                 ReportOf(kFullHeader, {Cw("09:05", "RA3A", "14200"),
                                        Cw("09:31", "RK3B", "7000"),
                                        Cw("09:20", "RA3A", "14200"),
                                        Cw("09:40", "UA1A", "50"),
                                        {"7000", "CW", "2010-03-07", "09:45", "UA1B", "599", ""},
                                        Cw("09:50", "RZ3C", "7050"),
                                        kEntry}));
  CheckInput input;
  const CheckResult result = CheckFile("s.CBR", 30, &input);
  EXPECT_EQ(CheckReportText(input, result),
            std::string("Строка 3: связь раньше строки 2 (2010-03-07 09:31)\n"
                        "Строка 3: повтор связи строки 1 (09:05) в том же подтуре на том же "
                        "диапазоне\n  "_cp) +
                QsoLine(Cw("09:20", "RA3A", "14200")) +
                std::string("\n"
                            "Строка 4: диапазон 50 не из диапазонов программы\n  "_cp) +
                QsoLine(Cw("09:40", "UA1A", "50")) +
                std::string("\nСтрока 5: неполная связь: нет принятого номера\n  "_cp) +
                QsoLine({"7000", "CW", "2010-03-07", "09:45", "UA1B", "599", ""}) +
                std::string("\n"
                            "Строка 7 - строка ввода; в копию для отправки она не войдёт.\n"
                            "Замечаний: 4.\n"
                            "Связей по диапазонам:\n"
                            "  7000: 2\n"
                            "  14200: 2\n"
                            "  50: 1\n"
                            "Связей по подтурам (30 мин):\n"
                            "  2010-03-07 09:00-09:29: 2\n"
                            "  2010-03-07 09:30-09:59: 3\n"
                            "Всего связей для отправки: 5\n"_cp));
  // The rows of the copy: complete only, in time order, stable for equal times.
  EXPECT_EQ(result.sendRows, (std::vector<int>{1, 3, 2, 4, 6}));
}

TEST(CheckTextTest, SplitReportExchange) {
  const struct {
    const char *exchange, *mode, *want;
  } kCases[] = {
      {"599001", "CW", "599 001"},
      {"599001", " CW ", "599 001"},
      {"59001", "PH", "59 001"},
      {"59001", "FM", "59 001"},
      {"599MA", "CW", "599 MA"},
      {"599 001", "CW", "599 001"},
      {"599", "CW", "599"},
      {"59", "PH", "59"},
      {"001", "CW", "001"},
      {"609001", "CW", "609001"},
      {"509001", "CW", "509001"},
      {"590001", "CW", "590001"},
      {"MOSK599", "CW", "MOSK599"},
      {"599001", "PS", "599001"},
      {"599001", "", "599001"},
      {"5990012345", "CW", "5990012345"},
      {"599001234", "CW", "599 001234"},
      {"", "CW", ""},
      {" 59001", "PH", "59 001"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.exchange) + " " + c.mode);
    EXPECT_EQ(SplitReportExchange(c.exchange, c.mode), c.want);
  }
}

TEST(CheckTextTest, SendCopyName) {
  const struct {
    const char *report, *want;
  } kCases[] = {
      {"LOG.CBR", "LOG-send.CBR"},
      {"/home/op/2010/LOG.CBR", "/home/op/2010/LOG-send.CBR"},
      {"/home/op.d/LOG", "/home/op.d/LOG-send"},
      {"a.b.cbr", "a.b-send.cbr"},
      {".CBR", ".CBR-send"},
      {"C:\\X\\LOG.CBR", "C:\\X\\LOG-send.CBR"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.report);
    EXPECT_EQ(SendCopyName(c.report), c.want);
  }
}

// The rows of a copy as the program reads them back.
std::vector<QsoRecord> ReadBack(const std::string& path, CheckInput* copy) {
  EXPECT_TRUE(ReadReportForCheck(path, 30, copy));
  std::vector<QsoRecord> records;
  for (std::size_t i = 1; i < copy->rows.size(); ++i) records.push_back(copy->rows[i].record);
  return records;
}

// A short contest typed at the grid: after each step the report the program
// wrote is checked, and its copy reads back with the same complete contacts.
TEST_F(CheckTest, ReportsOfAShortContestAndTheirCopies) {
  Prepare({kEntry});
  WriteFileBytes(ReportPath(), ReportOf(kFullHeader, {kEntry}));
  ASSERT_TRUE(StartUp());
  const struct {
    const char* name;
    DateValue clock;
    std::string keys;  // at the entry row; Tab goes to the call sign, again to the received
    std::string findings;
    int contacts;
  } kSteps[] = {
      {"nothing logged", At(9, 5), "", "", 0},
      {"a call typed, not committed", At(9, 5), "\tRA3A", "", 0},
      {"first contact", At(9, 5), "\t599011\r", "", 1},
      {"second contact", At(9, 12), "\tRK3B\t599007\r", "", 2},
      {"the first again in the sub-tour", At(9, 20), "\tRA3A\t599012\r", "repeat 3", 3},
      {"and in the next one", At(9, 31), "\tRA3A\t599013\r", "repeat 3", 4},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    SetFixedClock(s.clock);
    std::string keys = s.keys;
    for (char& k : keys) k = k == '\t' ? kVkTab : k == '\r' ? kVkEnter : k;
    Run(keys);
    CheckInput input;
    const CheckResult result = CheckFile(ReportPath(), 30, &input);
    // A typed call sign makes the last row a contact being typed, not the entry row.
    const bool typing = s.keys == "\tRA3A";
    EXPECT_EQ(Summary(result), typing ? "incomplete " + DecimalText(Log.QsoCount) : s.findings);
    EXPECT_EQ(result.entryRowLast, !typing);
    ASSERT_EQ(static_cast<int>(result.sendRows.size()), s.contacts);

    const std::string report = ReadFileBytes(ReportPath());
    const std::string copyPath = SendCopyName(ReportPath());
    ASSERT_EQ(WriteSendCopy(ReportPath(), copyPath, SendCopyText(input, result, false)),
              SendCopyWrite::Written);
    EXPECT_EQ(ReadFileBytes(ReportPath()), report);
    const std::string copy = ReadFileBytes(copyPath);
    EXPECT_EQ(copy.substr(0, kFullHeader.size()), kFullHeader);
    EXPECT_EQ(copy.substr(copy.size() - 14), "END-OF-LOG: \r\n");
    CheckInput back;
    const std::vector<QsoRecord> records = ReadBack(copyPath, &back);
    ASSERT_EQ(records.size(), result.sendRows.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i], input.rows[static_cast<std::size_t>(result.sendRows[i])].record);
    }
    // The copy has nothing left to fix but the repeats, which it keeps.
    const CheckResult again = CheckReport(back);
    EXPECT_FALSE(again.entryRowLast);
    for (const Finding& f : again.findings) EXPECT_EQ(f.kind, FindingKind::Repeat);
  }
  EXPECT_EQ(Field(2, kColCall) + " " + Field(2, kColReceived), "RK3B 599007");
  // The last copy opened in the program: the same contacts as in the log.
  const std::vector<QsoRecord> logged(Log.QsoLog.begin() + 1, Log.QsoLog.begin() + 5);
  AppSettings.File = SendCopyName(ReportPath());
  Report.AutoOpen = true;
  OpenReport();
  ASSERT_EQ(Log.QsoCount, 4);
  for (int row = 1; row <= 4; ++row) {
    QsoRecord want = logged[static_cast<std::size_t>(row - 1)];
    want[kColPoints].clear();
    EXPECT_EQ(Log.QsoLog[static_cast<std::size_t>(row)], want);
  }
}

TEST_F(CheckTest, CopyIsSortedCompleteAndSplitOnRequest) {
  const std::string head = kFullHeader + "SOAPBOX: 73\r\n";
  WriteFileBytes("c.CBR",
                 ReportOf(head, {Cw("09:31", "RK3B"),
                                 {"", "", "", "", "", "", ""},
                                 {"3600", "PH", "2010-03-07", "09:05", "RA3A", "59001", "59017"},
                                 Cw("09:10", "UA1A", "7000"),
                                 kEntry}) +
                     "CLAIMED-SCORE: 9\r\n");
  CheckInput input;
  const CheckResult result = CheckFile("c.CBR", 30, &input);
  const std::string tail = "CLAIMED-SCORE: 9\r\nEND-OF-LOG: \r\n";
  const Qso ra3a = {"3600", "PH", "2010-03-07", "09:05", "RA3A", "59001", "59017"};
  EXPECT_EQ(SendCopyText(input, result, false), head + QsoLine(ra3a) + "\r\n" +
                                                    QsoLine(Cw("09:10", "UA1A", "7000")) + "\r\n" +
                                                    QsoLine(Cw("09:31", "RK3B")) + "\r\n" + tail);
  Qso ra3aSplit = ra3a, ua1a = Cw("09:10", "UA1A", "7000"), rk3b = Cw("09:31", "RK3B");
  ra3aSplit.sent = "59 001";
  ra3aSplit.received = "59 017";
  for (Qso* q : {&ua1a, &rk3b}) {
    q->sent = "599 001";
    q->received = "599 002";
  }
  EXPECT_EQ(SendCopyText(input, result, true), head + QsoLine(ra3aSplit) + "\r\n" + QsoLine(ua1a) +
                                                   "\r\n" + QsoLine(rk3b) + "\r\n" + tail);
}

// The copy is never written over the report (by any name of it) or the
// settings; a folder that takes no file is a failure, with nothing changed.
TEST_F(CheckTest, CopyRefusesTheReportAndTheSettings) {
  namespace fs = std::filesystem;
  const std::string report = ReportOf(kFullHeader, {Cw("09:05", "RA3A")});
  WriteFileBytes("LOG.CBR", report);
  WriteFileBytes("corvane.ini", "[Main]\r\n");
  fs::create_directory("sub");
#ifndef _WIN32
  fs::create_symlink("../LOG.CBR", "sub/link.CBR");
#endif
  fs::create_directory("folder.CBR");
  const struct {
    const char *report, *copy;
    SendCopyWrite want;
  } kCases[] = {
      {"LOG.CBR", "LOG.CBR", SendCopyWrite::IsReport},
      {"LOG.CBR", "./LOG.CBR", SendCopyWrite::IsReport},
      {"LOG.CBR", "sub/../LOG.CBR", SendCopyWrite::IsReport},
#ifndef _WIN32
      {"LOG.CBR", "sub/link.CBR", SendCopyWrite::IsReport},
      {"sub/link.CBR", "LOG.CBR", SendCopyWrite::IsReport},
#endif
      {"LOG.CBR", "corvane.ini", SendCopyWrite::IsSettings},
      {"LOG.CBR", "./corvane.ini", SendCopyWrite::IsSettings},
      {"LOG.CBR", "options.ini", SendCopyWrite::IsSettings},
      {"LOG.CBR", "folder.CBR", SendCopyWrite::Failed},
      {"LOG.CBR", "nofolder/x.CBR", SendCopyWrite::Failed},
      {"LOG.CBR", "LOG-send.CBR", SendCopyWrite::Written},
      {"", "LOG-send.CBR", SendCopyWrite::Written},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.report) + " -> " + c.copy);
    EXPECT_EQ(WriteSendCopy(c.report, c.copy, "copy\r\n"), c.want);
    EXPECT_EQ(ReadFileBytes("LOG.CBR"), report);
    EXPECT_EQ(ReadFileBytes("corvane.ini"), "[Main]\r\n");
    EXPECT_FALSE(PathExists("options.ini"));
    EXPECT_TRUE(fs::is_directory("folder.CBR"));
  }
  EXPECT_EQ(ReadFileBytes("LOG-send.CBR"), "copy\r\n");
}

// The window over the open report: the check in its box, the split choice,
// "Сохранить для отправки" with the offered name, and the refusal.
TEST_F(CheckTest, WindowShowsTheCheckAndSavesTheCopy) {
  const std::vector<Qso> rows = {Cw("09:05", "RA3A"), Cw("09:10", "RA3A"), kEntry};
  Prepare(rows);
  WriteFileBytes(ReportPath(), ReportOf(kFullHeader, rows));
  ASSERT_TRUE(StartUp());
  const std::string report = ReadFileBytes(ReportPath());
  const std::string ini = ReadFileBytes("corvane.ini");
  const CheckInput input = OpenReportCheckInput();
  const std::string expected = CheckReportText(input, CheckReport(input));
  ASSERT_NE(expected.find("повтор"_cp), std::string::npos);
  const std::string copyPath = dir_ + "/LOG-send.CBR";

  headless::QueueMenu(12);
  headless::QueueProbe([&] {
    const headless::WindowState* window = headless::Window(kCheckWindowId);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title, "Проверка отчёта"_cp);
    EXPECT_TRUE(headless::Window(0)->disabled);
    EXPECT_EQ(headless::Control(601)->text, expected);
    EXPECT_EQ(headless::Control(601)->fontFace, "Courier");
    EXPECT_EQ(headless::Control(604)->text, "Сохранить для отправки"_cp);
  });
  headless::QueueCheck(602, 1);
  headless::QueueFileAnswer(copyPath);
  headless::QueueButton(604);
  headless::QueueProbe([&] {
    EXPECT_EQ(headless::Control(603)->text, std::string("Копия для отправки записана: "_cp) +
                                                copyPath + std::string(" (связей: 2)"_cp));
  });
  headless::QueueFileAnswer(ReportPath());
  headless::QueueButton(604);
  headless::QueueButton(604);  // cancelled: nothing happens
  headless::QueueButton(605);
  headless::QueueMenu(12);  // once more, left by Escape
  headless::QueueKey(kKeyEscape);
  headless::QueueMenu(4);
  RunEventLoop();

  const std::vector<headless::DialogCall> calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, "save");
  EXPECT_EQ(calls[0].title, "Сохранить для отправки"_cp);
  EXPECT_EQ(calls[0].defaultFile, copyPath);
  EXPECT_EQ(calls[2].kind, "message");
  EXPECT_EQ(calls[2].text, std::string("Копия не может заменить сам отчёт:\n"_cp) + ReportPath());
  EXPECT_EQ(calls[3].kind, "save");
  EXPECT_EQ(ReadFileBytes(ReportPath()), report);
  EXPECT_EQ(ReadFileBytes("corvane.ini"), ini);
  Qso first = rows[0], second = rows[1];
  for (Qso* q : {&first, &second}) {
    q->sent = "599 001";
    q->received = "599 002";
  }
  EXPECT_EQ(ReadFileBytes(copyPath),
            kFullHeader + QsoLine(first) + "\r\n" + QsoLine(second) + "\r\nEND-OF-LOG: \r\n");
}

// Logs of other programs: what is really wrong with each, in this program's
// columns and against its bands, modes and the header a robot needs. Left
// out are the logs whose QSO lines do not keep the columns at all (single
// spaces, tokens anywhere, the 2.0 files in 3.0 columns): the program reads
// their fields wrongly, and the check rightly says so on every line.
TEST_F(CheckTest, SampleLogs) {
  const std::string folder = SamplesFolder();
  if (folder.empty()) GTEST_SKIP() << "no Cabrillo samples folder at " << kSamplesFolder;
  const struct {
    const char *file, *findings;
    int contacts;
  } kCases[] = {
      {"jasonhancock-k1ir.log", "", 75},
      {"jasonhancock-allfields.log", "", 4},
      // 7250, 14325 and 7127 lie outside the program's 40 and 20 m classes.
      {"alechussey-cqww.txt", "band 5", 5},
      {"relrod-valid_log.cabrillo", "header 0; band 1; band 2; band 3", 3},
      {"thxo-YARC.log", "band 64; band 65; band 66; band 67; band 68", 68},
      // The other station's lines at 12:00 follow ours of 12:05.
      {"alechussey-rdxc.txt", "order 6; order 7", 7},
      // No CATEGORY-BAND; the 2.0 tag CATEGORY stands for all four.
      {"thxo-badorder.log", "header 0", 1},
      {"thxo-GB0WR.log", "header 0; header 0; header 0; header 0", 4},
      // Two-digit serials push the line one column left; "CW/Digital" runs
      // the mode into the date, which is then no date.
      {"relrod-ARRL-SS-CW.cabrillo", "header 0; header 0; together 10", 10},
      {"thxo-LAQP.log", "incomplete 1; together 1", 0},
      // Tab-separated: the reader takes no QSO line at all.
      {"ham2k-wfd-tabs.log", "header 0; header 0; header 0; unread 0", 0},
      // A bogus QSO line of the template's comment, and no call sign.
      {"tlf-station-sample-template.cbr",
       "header 0; header 0; header 0; incomplete 1; band 1; mode 1; together 1", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder + "/" + c.file;
    const std::string before = ReadFileBytes(path);
    CheckInput input;
    const CheckResult result = CheckFile(path, 30, &input);
    EXPECT_EQ(Summary(result), c.findings);
    EXPECT_EQ(static_cast<int>(result.sendRows.size()), c.contacts);
    EXPECT_EQ(ReadFileBytes(path), before);
  }
}

}  // namespace
