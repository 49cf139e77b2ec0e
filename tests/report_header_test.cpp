// The header editor driven through the scripted window backend: the ways to
// leave, the category tables both ways, changes and Save, the mode restriction,
// which operator columns take input, and operator entries split and joined.
#include <sstream>
#include <string>
#include <utility>

#include "tests/test_support.h"
#include "ui/window.h"

namespace {

constexpr int kEscape = 27, kSave = 530, kBack = 531;

std::string Cp(const char* utf8) { return cp1251::FromUtf8(utf8); }

// The start state with the main window, its StationBox, the contest and band
// lists, a report file name and a full header.
void Fresh() {
  ResetEverything();
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  CreateLabel(kStationBoxId, 550, 480, 237, 22, "", kLabelCentred | kLabelSunken);
  ContestList = {3,
                 {"", Cp("Кубок Победы"), "Russian DX Contest", Cp("Полевой день")},
                 {"", "KP", "RDXC", "FD"}};
  BandList = {2, {"", Cp("Все диапазоны"), Cp("3.5 МГц")}, {"", "ALL", "80M"}};
  AppSettings.File = "hdr.CBR";
  ReportHeader = {"RDXC",  "UA3ABC", "MO-12", "MULTI-OP2", "QRP", "80M",
                  "MIXED", "a@b.ru", {},      "",          "",    ""};
  ReportHeader.Operators = {"", Cp("Иванов, Иван, Иванович, 1970, КМС, UA3AAA, A"),
                            "B, Petr, P, 1980, I, UA3BBB, B", "C, , , , , , "};
}

// Contest, band, operator, power and mode; the other fields the editor stores.
std::string Categories() {
  const ReportHeaderRecord& h = ReportHeader;
  return h.Contest + "|" + h.CategoryBand + "|" + h.CategoryOperator + "|" + h.CategoryPower + "|" +
         h.CategoryMode;
}
std::string Details() {
  const ReportHeaderRecord& h = ReportHeader;
  return h.Callsign + "|" + h.Location + "|" + h.Email + "|" + h.Operators[1] + "|" +
         h.Operators[2] + "|" + h.Operators[3];
}

// Changes made in every list and field reach the header only by Save; every
// way out closes the editor and gives the main window back.
TEST_F(ProgramTest, ChangesAndTheWaysToLeave) {
  constexpr int kEnter = 13, kClose = 16;
  constexpr int kLists[] = {66, 71, 69, 70, 72};  // contest, band, operator, power, mode
  // Field 510 is emptied: no surname, no operator 2.
  const std::pair<int, const char*> kEdits[] = {
      {67, "RK3NEW"}, {68, "MO-99"}, {73, "new@mail.ru"}, {506, "C"}, {510, ""}};
  const struct {
    int leave;  // kEnter: Enter, a timer tick, then Save
    int choices[5];
    const char* saved;  // nullptr: the header stays as it was
  } kCases[] = {
      {kEscape, {2, 0, 1, 2, 2}, nullptr},
      {kClose, {2, 0, 1, 2, 2}, nullptr},
      {kBack, {2, 0, 1, 2, 2}, nullptr},
      {kSave, {2, 0, 1, 2, 2}, "FD|ALL|MULTI-OP2|LOW|CW"},
      {kSave, {0, 1, 3, 0, 0}, "KP|80M|CHECKLOG||"},
      {kEnter, {3, 2, 0, 1, 3}, "||MULTI-OP|HIGH|FM"},  // past the lists' ends: nothing chosen
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.leave);
    Fresh();
    const std::string before = Categories() + Details();
    for (int i = 0; i < 5; ++i) headless::QueueListChoice(kLists[i], c.choices[i]);
    for (const auto& [id, text] : kEdits) headless::QueueTextEdit(id, text);
    if (c.leave == kEscape || c.leave == kEnter) headless::QueueKeyDown(c.leave, kHeaderWindowId);
    if (c.leave == kEnter) headless::QueueTimer();
    if (c.leave == kClose) headless::QueueClose(kHeaderWindowId);
    if (c.leave >= kSave || c.leave == kEnter)
      headless::QueueButton(c.leave == kBack ? kBack : kSave);
    if (c.saved == nullptr) headless::QueueButton(kSave);  // not reached: the editor has ended
    EditReportHeader();
    RunBeforeWaitHook();  // the main loop waits again
    const headless::WindowState* editor = headless::Window(kHeaderWindowId);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->open);
    EXPECT_EQ(editor->title + "/" + std::to_string(editor->width) + "x" +
                  std::to_string(editor->height) + "/" + std::to_string(editor->flags),
              Cp("Шапка отчёта/640x420/") + std::to_string(0xC80001));
    EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
    EXPECT_EQ(headless::ActiveWindow(), kMainWindowId);
    EXPECT_EQ(headless::Control(kStationBoxId)->text, ReportHeader.Callsign);
    EXPECT_EQ(Categories() + Details(),
              c.saved == nullptr ? before
                                 : c.saved + ("RK3NEW|MO-99|new@mail.ru|" +
                                              Cp("Иванов, Иван, Иванович, 1970, КМС, UA3AAA, C") +
                                              "||C, , , , , , "));
    EXPECT_EQ(PathExists("hdr.CBR") ? ReadFileBytes("hdr.CBR") : "none",
              c.saved == nullptr ? "none" : BuildReportText());
  }
}

// Open and Save without touching anything: the category values found on
// opening select a list entry and Save stores that entry's value; an operator
// entry is taken apart at its commas and joined again.
TEST_F(ProgramTest, UntouchedSaveGivesBackTheHeader) {
  const struct {
    const char *opened, *saved, *entry, *entrySaved;
  } kCases[] = {
      {"RDXC|80M|MULTI-OP2|QRP|MIXED", "RDXC|80M|MULTI-OP2|QRP|MIXED", "a,b,c,d,e,f,",
       "a, b, c, d, e, f, "},
      {"KP|ALL|CHECKLOG|HIGH|SSB", "KP|ALL|CHECKLOG|HIGH|SSB", "  a ,b,  c,d,e,f,g  ",
       "a, b, c, d, e, f, g"},
      {"FD||SINGLE-OP|LOW|FM", "FD||SINGLE-OP|LOW|FM", "UA3AAA UA3BBB", ""},  // no comma
      {"||||", "||MULTI-OP||", "a, b", "a, , , , , , "},  // one comma: the rest is dropped
      {"CQWW|20M|SINGLE-OP-ASSISTED|MEDIUM|RTTY", "||MULTI-OP||", "a,b,c,d,e,f",
       "a, b, c, d, e, , "},
      {"KP||||", "KP||MULTI-OP||", "a,b,c,d,e,f,g h", "a, b, c, d, e, f, g h"},
      {"KP||||", "KP||MULTI-OP||", "a,b,c,d,e,f,g,h,i", "a, b, c, d, e, f, g"},
      {"KP||||", "KP||MULTI-OP||", ", b, c, d, e, f, g", ""},  // no surname: no operator
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.opened) + " " + c.entry);
    Fresh();
    ReportHeaderRecord& h = ReportHeader;
    std::istringstream in(c.opened);
    for (std::string* f :
         {&h.Contest, &h.CategoryBand, &h.CategoryOperator, &h.CategoryPower, &h.CategoryMode})
      std::getline(in, *f, '|');
    h.Operators[2] = c.entrySaved;
    const std::string details = Details();
    h.Operators[2] = c.entry;
    headless::QueueButton(kSave);
    EditReportHeader();
    RunBeforeWaitHook();  // the main loop waits again
    EXPECT_EQ(Categories(), c.saved);
    EXPECT_EQ(Details(), details);
    EXPECT_EQ(ReadFileBytes("hdr.CBR"), BuildReportText());
  }
}

// Mode flags of classes 1..6 (PH CW FM PM PS TV), starting as "000111".
TEST_F(ProgramTest, ModeCategoryRestrictsModeCycling) {
  const struct {
    const char* opening;
    int choice;  // -1: none
    int leave;   // a button, or kEscape
    const char* flags;
  } kCases[] = {
      {"CW", -1, kBack, "010000"},    {"SSB", -1, kEscape, "100000"}, {"FM", -1, kBack, "001000"},
      {"MIXED", -1, kBack, "000111"}, {"MIXED", -1, kSave, "110000"}, {"", 0, kSave, "000111"},
      {"", 1, kBack, "000111"},       {"SSB", 3, kSave, "001000"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.opening) + " " + std::to_string(c.choice));
    Fresh();
    AppSettings.ModeFlags = {0, 0, 0, 0, 1, 1, 1};
    ReportHeader.CategoryMode = c.opening;
    if (c.choice >= 0) headless::QueueListChoice(72, c.choice);
    if (c.leave == kEscape) headless::QueueKeyDown(kEscape, kHeaderWindowId);
    if (c.leave != kEscape) headless::QueueButton(c.leave);
    EditReportHeader();
    RunBeforeWaitHook();  // the main loop waits again
    std::string flags;
    for (int i = 1; i <= kModeClasses; ++i) flags += std::to_string(AppSettings.ModeFlags[i]);
    EXPECT_EQ(flags, c.flags);
  }
}

// Typing reaches a field only while it is enabled: operators 2 and 3 follow
// the operator category, operator 1 always takes input; disabled fields are
// still saved.
TEST_F(ProgramTest, OperatorColumnsFollowTheOperatorCategory) {
  const struct {
    const char* opening;
    int choice;  // -1: none
    bool second, third;
  } kCases[] = {
      {"MULTI-OP", -1, true, true}, {"MULTI-OP", 1, true, false},    {"MULTI-OP", 2, false, false},
      {"SINGLE-OP", 3, true, true}, {"SINGLE-OP", -1, false, false}, {"MULTI-OP2", -1, true, false},
      {"SINGLE-OP", 0, true, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.opening) + " " + std::to_string(c.choice));
    Fresh();
    ReportHeader.CategoryOperator = c.opening;
    ReportHeader.Operators = {"", "", "B, 2, , , , , ", "C, 3, , , , , "};
    if (c.choice >= 0) headless::QueueListChoice(69, c.choice);
    for (int id : {500, 510, 520}) headless::QueueTextEdit(id, "N");
    headless::QueueButton(kSave);
    EditReportHeader();
    RunBeforeWaitHook();  // the main loop waits again
    EXPECT_EQ(Details(), std::string("UA3ABC|MO-12|a@b.ru|N, , , , , , |") +
                             (c.second ? "N" : "B") + ", 2, , , , , |" + (c.third ? "N" : "C") +
                             ", 3, , , , , ");
  }
}

}  // namespace
