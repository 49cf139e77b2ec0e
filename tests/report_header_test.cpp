// The header editor driven through the scripted window backend: what an
// untouched open-and-save gives back, changes and Save, the ways to leave
// without saving, the mode restriction, which operator columns take input,
// and the operator entries taken apart and joined again.
#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

constexpr int kEscape = 27;

std::string Cp(const char* utf8) { return cp1251::FromUtf8(utf8); }

// A program in its start state with the main window, its StationBox, the
// contest and band lists, and a report file name.
void Fresh() {
  ResetEverything();
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  CreateLabel(kStationBoxId, 550, 480, 237, 22, "", kLabelCentred | kLabelSunken);
  ContestList.Count = 3;
  ContestList.Names[1] = Cp("Кубок Победы");
  ContestList.Abbrs[1] = "KP";
  ContestList.Names[2] = "Russian DX Contest";
  ContestList.Abbrs[2] = "RDXC";
  ContestList.Names[3] = Cp("Полевой день");
  ContestList.Abbrs[3] = "FD";
  BandList.Count = 2;
  BandList.Names[1] = Cp("Все диапазоны");
  BandList.Abbrs[1] = "ALL";
  BandList.Names[2] = Cp("3.5 МГц");
  BandList.Abbrs[2] = "80M";
  AppSettings.File = "hdr.CBR";
}

void FullHeader() {
  ReportHeaderRecord& h = ReportHeader;
  h.Contest = "RDXC";
  h.Callsign = "UA3ABC";
  h.Location = "MO-12";
  h.CategoryOperator = "MULTI-OP2";
  h.CategoryPower = "QRP";
  h.CategoryBand = "80M";
  h.CategoryMode = "MIXED";
  h.Email = "a@b.ru";
  h.Operators[1] = Cp("Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A");
  h.Operators[2] = Cp("Петров, Пётр, Петрович, 1980, I, UA3BBB, B");
  h.Operators[3] = Cp("Сидоров, , , , , , ");
}

void ExpectClosedProperly() {
  const headless::WindowState* editor = headless::Window(kHeaderWindowId);
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->open);
  EXPECT_EQ(editor->title, Cp("Шапка отчёта"));
  EXPECT_EQ(editor->width, 640);
  EXPECT_EQ(editor->height, 420);
  EXPECT_EQ(editor->flags, 0xC80001u);
  EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
  EXPECT_EQ(headless::ActiveWindow(), kMainWindowId);
  EXPECT_EQ(headless::Control(kStationBoxId)->text, ReportHeader.Callsign);
}

TEST_F(ProgramTest, EditorLeavesWithOrWithoutSaving) {
  const struct {
    const char* name;
    std::function<void()> leave;
    bool saves;
  } kCases[] = {
      {"Escape", [] { headless::QueueKeyDown(kEscape, kHeaderWindowId); }, false},
      {"close box", [] { headless::QueueClose(kHeaderWindowId); }, false},
      {"Назад", [] { headless::QueueButton(531); }, false},
      {"script ends", [] {}, false},
      {"Save", [] { headless::QueueButton(530); }, true},
      {"another key, then Save",
       [] {
         headless::QueueKeyDown(13, kHeaderWindowId);
         headless::QueueTimer();
         headless::QueueButton(530);
       },
       true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fresh();
    FullHeader();
    const ReportHeaderRecord before = ReportHeader;
    headless::QueueTextEdit(67, "UA9NEW");
    headless::QueueListChoice(69, 2);
    headless::QueueTextEdit(500, Cp("Кузнецов"));
    c.leave();
    EditReportHeader();
    ExpectClosedProperly();
    if (c.saves) {
      EXPECT_EQ(ReportHeader.Callsign, "UA9NEW");
      EXPECT_EQ(ReportHeader.CategoryOperator, "SINGLE-OP");
      EXPECT_EQ(ReportHeader.Operators[1], Cp("Кузнецов, Иван, Иванович, 1970, КМС, UA3AAA, A"));
      EXPECT_EQ(ReadFileBytes("hdr.CBR"), BuildReportText());
    } else {
      EXPECT_EQ(ReportHeader.Callsign, before.Callsign);
      EXPECT_EQ(ReportHeader.CategoryOperator, before.CategoryOperator);
      EXPECT_EQ(ReportHeader.Operators, before.Operators);
      EXPECT_FALSE(PathExists("hdr.CBR"));
    }
  }
}

// Open and Save without touching anything: what the header becomes.
TEST_F(ProgramTest, UntouchedSaveGivesBackTheHeader) {
  const struct {
    const char* name;
    void (*set)();
    const char *contest, *band, *op, *power, *mode;
  } kCases[] = {
      {"values from the lists stay", FullHeader, "RDXC", "80M", "MULTI-OP2", "QRP", "MIXED"},
      {"new report: multi-op, nothing else", [] {}, "", "", "MULTI-OP", "", ""},
      {"contest and band not in the lists become empty",
       [] {
         ReportHeader.Contest = "CQWW";
         ReportHeader.CategoryBand = "20M";
       },
       "", "", "MULTI-OP", "", ""},
      {"unknown categories take the first choice",
       [] {
         ReportHeader.CategoryOperator = "SINGLE-OP-ASSISTED";
         ReportHeader.CategoryPower = "MEDIUM";
         ReportHeader.CategoryMode = "RTTY";
       },
       "", "", "MULTI-OP", "", ""},
      {"each category value",
       [] {
         ReportHeader.Contest = "KP";
         ReportHeader.CategoryBand = "ALL";
         ReportHeader.CategoryOperator = "CHECKLOG";
         ReportHeader.CategoryPower = "HIGH";
         ReportHeader.CategoryMode = "SSB";
       },
       "KP", "ALL", "CHECKLOG", "HIGH", "SSB"},
      {"more values",
       [] {
         ReportHeader.Contest = "FD";
         ReportHeader.CategoryOperator = "SINGLE-OP";
         ReportHeader.CategoryPower = "LOW";
         ReportHeader.CategoryMode = "FM";
       },
       "FD", "", "SINGLE-OP", "LOW", "FM"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fresh();
    c.set();
    const ReportHeaderRecord before = ReportHeader;
    headless::QueueButton(530);
    EditReportHeader();
    EXPECT_EQ(ReportHeader.Contest, c.contest);
    EXPECT_EQ(ReportHeader.CategoryBand, c.band);
    EXPECT_EQ(ReportHeader.CategoryOperator, c.op);
    EXPECT_EQ(ReportHeader.CategoryPower, c.power);
    EXPECT_EQ(ReportHeader.CategoryMode, c.mode);
    EXPECT_EQ(ReportHeader.Callsign, before.Callsign);
    EXPECT_EQ(ReportHeader.Location, before.Location);
    EXPECT_EQ(ReportHeader.Email, before.Email);
    EXPECT_EQ(ReportHeader.Operators, before.Operators);
    EXPECT_EQ(ReadFileBytes("hdr.CBR"), BuildReportText());
  }
}

TEST_F(ProgramTest, ChangesAreStoredBySave) {
  const struct {
    int contest, band, op, power, mode;
    const char *contestValue, *bandValue, *opValue, *powerValue, *modeValue;
  } kCases[] = {
      {2, 0, 1, 2, 2, "FD", "ALL", "MULTI-OP2", "LOW", "CW"},
      {0, 1, 3, 0, 0, "KP", "80M", "CHECKLOG", "", ""},
      {3, 2, 0, 1, 3, "", "", "MULTI-OP", "HIGH", "FM"},  // past the lists' ends: nothing chosen
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.contestValue);
    Fresh();
    FullHeader();
    headless::QueueListChoice(66, c.contest);
    headless::QueueListChoice(71, c.band);
    headless::QueueListChoice(69, c.op);
    headless::QueueListChoice(70, c.power);
    headless::QueueListChoice(72, c.mode);
    headless::QueueTextEdit(67, "RK3NEW");
    headless::QueueTextEdit(68, "MO-99");
    headless::QueueTextEdit(73, "new@mail.ru");
    headless::QueueTextEdit(506, "C");
    headless::QueueTextEdit(510, "");  // no surname: no operator 2
    headless::QueueButton(530);
    EditReportHeader();
    EXPECT_EQ(ReportHeader.Contest, c.contestValue);
    EXPECT_EQ(ReportHeader.CategoryBand, c.bandValue);
    EXPECT_EQ(ReportHeader.CategoryOperator, c.opValue);
    EXPECT_EQ(ReportHeader.CategoryPower, c.powerValue);
    EXPECT_EQ(ReportHeader.CategoryMode, c.modeValue);
    EXPECT_EQ(ReportHeader.Callsign, "RK3NEW");
    EXPECT_EQ(ReportHeader.Location, "MO-99");
    EXPECT_EQ(ReportHeader.Email, "new@mail.ru");
    EXPECT_EQ(ReportHeader.Operators[1], Cp("Иванов, Иван, Иванович, 1970, КМС, UA3AAA, C"));
    EXPECT_EQ(ReportHeader.Operators[2], "");
    EXPECT_EQ(headless::Control(kStationBoxId)->text, "RK3NEW");
    const std::string file = ReadFileBytes("hdr.CBR");
    EXPECT_EQ(file, BuildReportText());
    EXPECT_NE(file.find("CALLSIGN: RK3NEW\r\n"), std::string::npos);
  }
}

TEST_F(ProgramTest, ModeCategoryRestrictsModeCycling) {
  using Flags = std::array<int32_t, 7>;  // 1..6: PH CW FM PM PS TV
  const Flags initial = {0, 0, 0, 0, 1, 1, 1};
  const struct {
    const char* name;
    const char* opening;
    int choice;  // -1: none
    bool save;
    Flags expected;
  } kCases[] = {
      {"CW on opening, left by Назад", "CW", -1, false, {0, 0, 1, 0, 0, 0, 0}},
      {"SSB on opening, left by Escape", "SSB", -1, false, {0, 1, 0, 0, 0, 0, 0}},
      {"FM on opening", "FM", -1, false, {0, 0, 0, 1, 0, 0, 0}},
      {"MIXED on opening restricts nothing", "MIXED", -1, false, initial},
      {"MIXED saved gives PH and CW", "MIXED", -1, true, {0, 1, 1, 0, 0, 0, 0}},
      {"all modes chosen and saved", "", 4, true, {0, 1, 1, 0, 0, 0, 0}},
      {"not stated saved leaves the flags", "", 0, true, initial},
      {"CW restricted on opening stays after not stated", "CW", 0, true, {0, 0, 1, 0, 0, 0, 0}},
      {"SSB chosen but not saved", "", 1, false, initial},
      {"FM chosen and saved", "SSB", 3, true, {0, 0, 0, 1, 0, 0, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fresh();
    for (int i = 1; i <= kModeClasses; ++i) AppSettings.ModeFlags[i] = initial[i];
    ReportHeader.CategoryMode = c.opening;
    if (c.choice >= 0) headless::QueueListChoice(72, c.choice);
    if (c.save) {
      headless::QueueButton(530);
    } else if (c.opening == std::string_view("SSB")) {
      headless::QueueKeyDown(kEscape, kHeaderWindowId);
    } else {
      headless::QueueButton(531);
    }
    EditReportHeader();
    for (int i = 1; i <= kModeClasses; ++i) EXPECT_EQ(AppSettings.ModeFlags[i], c.expected[i]) << i;
  }
}

// Typing reaches a field only while it is enabled: operators 2 and 3 follow
// the operator category, operator 1 always takes input.
TEST_F(ProgramTest, OperatorColumnsFollowTheOperatorCategory) {
  const struct {
    const char* name;
    const char* opening;
    int choice;  // -1: none
    bool second, third;
  } kCases[] = {
      {"multi-op", "MULTI-OP", -1, true, true},
      {"two operators chosen", "MULTI-OP", 1, true, false},
      {"one operator chosen", "MULTI-OP", 2, false, false},
      {"check log chosen", "SINGLE-OP", 3, true, true},
      {"one operator from the start", "SINGLE-OP", -1, false, false},
      {"two operators from the start", "MULTI-OP2", -1, true, false},
      {"back to multi-op", "SINGLE-OP", 0, true, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fresh();
    ReportHeader.CategoryOperator = c.opening;
    ReportHeader.Operators[2] = Cp("Второй, 2, , , , , ");
    ReportHeader.Operators[3] = Cp("Третий, 3, , , , , ");
    if (c.choice >= 0) headless::QueueListChoice(69, c.choice);
    headless::QueueTextEdit(500, Cp("Первый"));
    headless::QueueTextEdit(510, Cp("Новый2"));
    headless::QueueTextEdit(520, Cp("Новый3"));
    headless::QueueButton(530);
    EditReportHeader();
    EXPECT_EQ(ReportHeader.Operators[1], Cp("Первый, , , , , , "));
    EXPECT_EQ(ReportHeader.Operators[2],
              Cp(c.second ? "Новый2, 2, , , , , " : "Второй, 2, , , , , "));
    EXPECT_EQ(ReportHeader.Operators[3],
              Cp(c.third ? "Новый3, 3, , , , , " : "Третий, 3, , , , , "));
  }
}

TEST_F(ProgramTest, OperatorEntriesSplitAndJoin) {
  const struct {
    const char* name;
    const char* entry;
    const char* saved;
  } kCases[] = {
      {"seven details", "Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A",
       "Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A"},
      {"spaces around details are dropped", "  Иванов ,Иван,  Иванович,1970,КМС,UA3AAA,A  ",
       "Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A"},
      {"no comma: a list of calls is emptied", "UA3AAA UA3BBB", ""},
      {"one comma: the rest is dropped", "Иванов, Иван", "Иванов, , , , , , "},
      {"five commas: the text after the last is dropped", "a,b,c,d,e,f", "a, b, c, d, e, , "},
      {"six commas: the seventh runs to the end", "a,b,c,d,e,f,g h", "a, b, c, d, e, f, g h"},
      {"six commas and nothing after", "a,b,c,d,e,f,", "a, b, c, d, e, f, "},
      {"more commas: the seventh ends at the next", "a,b,c,d,e,f,g,h,i", "a, b, c, d, e, f, g"},
      {"empty surname: no operator", ", Иван, Иванович, 1970, КМС, UA3AAA, A", ""},
      {"tabs are not spaces", "\tA\t,B,C,D,E,F,G", "\tA\t, B, C, D, E, F, G"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fresh();
    ReportHeader.Operators[1] = Cp(c.entry);
    headless::QueueButton(530);
    EditReportHeader();
    EXPECT_EQ(ReportHeader.Operators[1], Cp(c.saved));
  }
}

}  // namespace
