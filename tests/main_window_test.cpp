// The main window as start-up builds it, the dispatch of every event code by
// the main loop, and the end of the program.
#include <iterator>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

using headless::Control;

constexpr int kDefault = -1;  // system colour

class MainWindowTest : public ProgramTest {
 protected:
  // Start-up without the loop: the window and its controls stay for reading.
  void Start() {
    ASSERT_TRUE(InitWindowLayer());
    ASSERT_TRUE(StartUp());
  }
  // Start-up, then the loop over the queued events until it ends.
  void StartAndRun() {
    Start();
    RunEventLoop();
  }
  static int32_t BackOf(int id) { return Control(id) ? Control(id)->backColour : -2; }
};

TEST_F(MainWindowTest, MainWindowTitleSizeFlagsAndTimer) {
  Start();
  const headless::WindowState* window = headless::Window(kMainWindowId);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->open);
  EXPECT_EQ(window->title, "Corvane v7.0");
  EXPECT_EQ(window->width, 798);
  EXPECT_EQ(window->height, 530);
  EXPECT_EQ(window->flags, 0xCA0001u);
  EXPECT_TRUE(window->hasMenu);
  EXPECT_EQ(headless::TimerPeriod(), 1000);
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(Log.CurrentRow, 1);
  EXPECT_EQ(Log.CurrentColumn, 4);
  EXPECT_EQ(Log.TopOffset, 0);
}

TEST_F(MainWindowTest, MenuBarEntriesInOrder) {
  Start();
  const struct {
    int id;
    std::string_view text;
    bool title;
  } kCases[] = {
      {0, "Файл"_cp, true},
      {1, "Создать"_cp, false},
      {2, "Открыть"_cp, false},
      {0, "", false},
      {4, "Выход"_cp, false},
      {0, "Отчёт"_cp, true},
      {11, "Редактировать шапку"_cp, false},
      {0, "Параметры"_cp, true},
      {21, "Дата и время"_cp, false},
      {22, "Другие настройки"_cp, false},
      {0, "Помощь"_cp, true},
      {31, "Вызов справки"_cp, false},
      {0, "", false},
      {32, "О программе"_cp, false},
  };
  const std::vector<headless::MenuItem> menu = headless::Menu();
  ASSERT_EQ(menu.size(), std::size(kCases));
  for (std::size_t i = 0; i < menu.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(menu[i].id, kCases[i].id);
    EXPECT_EQ(menu[i].text, kCases[i].text);
    EXPECT_EQ(menu[i].isTitle, kCases[i].title);
  }
}

TEST_F(MainWindowTest, ControlsAreCreatedInOrder) {
  Start();
  std::vector<int> expected = {85, 90, 91, 92, 93, 94, 95, 96, 97, 1900};
  for (int r = 1; r <= 30; ++r) {
    for (int c = 1; c <= 9; ++c) expected.push_back(CellId(r, c));
  }
  EXPECT_EQ(headless::ControlOrder(), expected);
}

TEST_F(MainWindowTest, ControlGeometryTextsFlagsColoursAndFonts) {
  Start();
  const int kCentred = kLabelCentred;
  const struct {
    int id;
    int x, y, width, height;
    std::string_view text;
    int flags;
    int32_t textColour, backColour;
    int points;
  } kCases[] = {
      {85, 550, 480, 237, 22, "", kCentred | kLabelSunken, kDefault, 0xCCCCFF, 10},
      {90, 10, 6, 50, 18, "Время"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {91, 61, 6, 70, 18, "Диапазон"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {92, 132, 6, 50, 18, "Вид"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {93, 183, 6, 100, 18, "Позывной"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {94, 284, 6, 100, 18, "Переданный"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {95, 385, 6, 100, 18, "Принятый"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {96, 486, 6, 50, 18, "Очки"_cp, kCentred, 0xFFFFFF, 0xFF0000, 10},
      {97, 550, 6, 237, 18, "Информер"_cp, kCentred, 0x000000, 0x00DD00, 10},
      {1900, 10, 480, 525, 18, "", kCentred, kDefault, kDefault, 10},
      // Grid: each column in row 1, and the last cell; green on black.
      {100, 10, 25, 50, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {101, 61, 25, 70, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {102, 132, 25, 50, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {104, 284, 25, 100, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {105, 385, 25, 100, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {106, 486, 25, 50, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      {396, 486, 460, 50, 14, "", kCentred, 0x00FF00, 0x000000, 8},
      // The current cell: black on green.
      {103, 183, 25, 100, 14, "", kCentred, 0x000000, 0x00FF00, 8},
      // Informer cells: cyan on dark green.
      {107, 550, 25, 118, 14, "", kCentred, 0xFFFF00, 0x005500, 8},
      {108, 669, 25, 118, 14, "", kCentred, 0xFFFF00, 0x005500, 8},
      {398, 669, 460, 118, 14, "", kCentred, 0xFFFF00, 0x005500, 8},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    const headless::ControlState* control = Control(c.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->window, kMainWindowId);
    EXPECT_EQ(control->kind, headless::ControlKind::Label);
    EXPECT_EQ(control->x, c.x);
    EXPECT_EQ(control->y, c.y);
    EXPECT_EQ(control->width, c.width);
    EXPECT_EQ(control->height, c.height);
    EXPECT_EQ(control->text, c.text);
    EXPECT_EQ(control->flags, c.flags);
    EXPECT_EQ(control->textColour, c.textColour);
    EXPECT_EQ(control->backColour, c.backColour);
    EXPECT_EQ(control->fontFace, "Courier");
    EXPECT_EQ(control->fontPoints, c.points);
    EXPECT_TRUE(control->fontBold);
  }
}

TEST_F(MainWindowTest, EveryGridCellHasItsColumnColoursAndSmallFont) {
  Start();
  for (int r = 1; r <= 30; ++r) {
    for (int c = 1; c <= 9; ++c) {
      SCOPED_TRACE(testing::Message() << "row " << r << " column " << c);
      const headless::ControlState* cell = Control(CellId(r, c));
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->y, 15 * r + 10);
      EXPECT_EQ(cell->fontPoints, 8);
      if (c >= 8) {
        EXPECT_EQ(cell->textColour, 0xFFFF00);
        EXPECT_EQ(cell->backColour, 0x005500);
      } else if (r != 1 || c != 4) {
        EXPECT_EQ(cell->textColour, 0x00FF00);
        EXPECT_EQ(cell->backColour, 0x000000);
      }
    }
  }
}

TEST_F(MainWindowTest, FailingFontsLeaveTheSystemFont) {
  headless::SetFontLoadsFail(true);
  Start();
  for (int id : {85, 90, 1900, 100, 103, 107, 398}) {
    SCOPED_TRACE(id);
    ASSERT_NE(Control(id), nullptr);
    EXPECT_EQ(Control(id)->fontFace, "");
  }
}

TEST_F(MainWindowTest, SettingsFileIsWrittenAtStartUp) {
  ASSERT_FALSE(PathExists(kSettingsFileName));
  EXPECT_EQ(RunCorvane(), 0);
  const std::string ini = ReadFileBytes(kSettingsFileName);
  EXPECT_NE(ini.find("[Main]"), std::string::npos);
  EXPECT_NE(ini.find("Background = 65280"), std::string::npos);
}

TEST_F(MainWindowTest, ColoursComeFromTheSettingsFile) {
  WriteFileBytes(kSettingsFileName,
                 "[Colors]\r\nColor-Text = 16777215\r\nBackground = 255\r\n"
                 "Inf-Text = 1\r\nInf-Back = 2\r\nInf-Up-Text = 3\r\nInf-Up-Back = 4\r\n"
                 "Main-Up-Text = 5\r\nMain-Up-Back = 6\r\n");
  Start();
  const struct {
    int id;
    int32_t text, back;
  } kCases[] = {
      {100, 255, 0xFFFFFF}, {103, 0xFFFFFF, 255}, {396, 255, 0xFFFFFF},
      {107, 1, 2},          {398, 1, 2},          {97, 3, 4},
      {90, 5, 6},           {96, 5, 6},           {85, kDefault, 0xCCCCFF},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    ASSERT_NE(Control(c.id), nullptr);
    EXPECT_EQ(Control(c.id)->textColour, c.text);
    EXPECT_EQ(Control(c.id)->backColour, c.back);
  }
}

TEST_F(MainWindowTest, LastReportIsOpenedWithoutAsking) {
  WriteFileBytes("LAST.CBR", "START-OF-LOG: 3.0\r\nCALLSIGN: UA1AAA\r\nEND-OF-LOG:\r\n");
  WriteFileBytes(kSettingsFileName, "[Main]\r\nFile = LAST.CBR\r\n");
  Start();
  EXPECT_EQ(ReportHeader.Callsign, "UA1AAA");
  EXPECT_EQ(AppSettings.File, "LAST.CBR");
  EXPECT_FALSE(Report.AutoOpen);
  EXPECT_TRUE(headless::DialogCalls().empty());           // no requester
  EXPECT_EQ(headless::Window(kHeaderWindowId), nullptr);  // no header editor
}

TEST_F(MainWindowTest, LoopEndsOnExitAndOnClose) {
  const struct {
    const char* name;
    void (*queue)();
  } kCases[] = {
      {"menu Выход", [] { headless::QueueMenu(4); }},
      {"close button", [] { headless::QueueClose(kMainWindowId); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    c.queue();
    headless::QueueMenu(32);  // never reached
    EXPECT_EQ(RunCorvane(), 0);
    EXPECT_TRUE(App.QuitRequested);
    EXPECT_EQ(headless::PendingEvents(), 1);
    EXPECT_EQ(headless::ScriptEndCloses(), 0);
    EXPECT_TRUE(headless::DialogCalls().empty());
    ASSERT_NE(headless::Window(kMainWindowId), nullptr);
    EXPECT_FALSE(headless::Window(kMainWindowId)->open);
  }
}

TEST_F(MainWindowTest, StrayEventsOfOtherWindowsAreNotDispatched) {
  Start();
  headless::QueueRawEvent(kEventClose, 3);  // a close request for a window not open
  headless::QueueRawEvent(kEventKeyDown, 2);
  headless::QueueMenu(32);
  RunEventLoop();
  EXPECT_EQ(headless::ScriptEndCloses(), 1);  // the loop ran on to the script's end
  EXPECT_EQ(headless::DialogCalls().size(), 1u);
}

// Left clicks by position: the informer columns, the grid, and the gaps.
TEST_F(MainWindowTest, ClicksByArea) {
  const struct {
    const char* name;
    int x, y;
    int row, column;  // cursor afterwards
    bool scanned;     // LogScan ran (the StatusLine got its grey back colour)
    bool picked;      // the informer entry went into the call field
  } kCases[] = {
      {"grid top left corner", 10, 25, 1, 1, true, false},
      {"grid bottom right corner, past the rows in use", 536, 474, 2, 4, true, false},
      {"grid row 2 points", 536, 54, 2, 7, true, false},
      {"grid row 2 band", 70, 40, 2, 2, true, false},
      {"gap between grid and informer", 540, 100, 1, 4, false, false},
      {"gap right edge", 549, 30, 1, 4, false, false},
      {"left of the grid", 9, 100, 1, 4, false, false},
      {"below the grid", 100, 475, 1, 4, false, false},
      {"above the grid", 100, 24, 1, 4, false, false},
      {"StationBox", 600, 490, 1, 4, false, false},
      {"informer entry 1", 550, 25, 1, 4, true, true},
      {"informer empty cell", 787, 474, 1, 4, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    Start();
    Log.QsoCount = 2;  // two rows in use so a click on row 2 can land there
    App.InformerList[1] = "UA9XYZ        ";
    App.InformerCount = 1;
    App.InformerHotkeyCount = 1;
    headless::QueueClick(c.x, c.y, kMainWindowId);
    RunEventLoop();
    EXPECT_EQ(Log.CurrentRow, c.row);
    EXPECT_EQ(Log.CurrentColumn, c.column);
    EXPECT_EQ(BackOf(kStatusLineId), c.scanned ? 0xD8E8E8 : kDefault);
    EXPECT_EQ(Log.QsoLog[1][kColCall], c.picked ? "UA9XYZ" : "");
  }
}

TEST_F(MainWindowTest, KeysTimerAndOtherCodes) {
  const struct {
    const char* name;
    void (*queue)();
    std::string_view call;  // call field of row 1 afterwards
    int column;
    bool scanned;
    bool ticked;  // the title carries the clock
  } kCases[] = {
      {"key down types", [] { headless::QueueKeyDown('K'); }, "K", 4, false, false},
      {"key down moves", [] { headless::QueueKeyDown(39); }, "", 5, false, false},
      {"key up scans", [] { headless::QueueKeyUp('K'); }, "", 4, true, false},
      {"Alt+A picks", [] { headless::QueueSysKeyUp('A'); }, "UA9XYZ", 4, false, false},
      {"Alt+B beyond the list", [] { headless::QueueSysKeyUp('B'); }, "", 4, false, false},
      {"Alt held key down is no typing", [] { headless::QueueSysKeyDown('A'); }, "", 4, false,
       false},
      {"timer tick", [] { headless::QueueTimer(); }, "", 4, false, true},
      {"unknown code", [] { headless::QueueRawEvent(1234, kMainWindowId); }, "", 4, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    Start();
    App.InformerList[1] = "UA9XYZ        ";
    App.InformerCount = 1;
    App.InformerHotkeyCount = 1;
    c.queue();
    RunEventLoop();
    EXPECT_EQ(Log.QsoLog[1][kColCall], c.call);
    EXPECT_EQ(Log.CurrentColumn, c.column);
    EXPECT_EQ(BackOf(kStatusLineId), c.scanned ? 0xD8E8E8 : kDefault);
    const std::string title = headless::Window(kMainWindowId)->title;
    EXPECT_EQ(title.find("Date: 2010-03-07") != std::string::npos, c.ticked) << title;
    EXPECT_EQ(Control(kStationBoxId)->text, c.ticked ? "Отчёт не загружен!"_cp : "");
  }
}

// Menu entries reach their commands; the dialogs end at the script's end.
TEST_F(MainWindowTest, MenuCommands) {
  const struct {
    int entry;
    const char* dialog;  // standard dialog shown first, "" for none
    int window;          // program window opened, -1 for none
    bool quits;
  } kCases[] = {
      {1, "save", -1, false}, {2, "open", -1, false},     {4, "", -1, true},
      {11, "", 1, false},     {21, "", 2, false},         {22, "", 3, false},
      {31, "", 5, false},     {32, "message", -1, false}, {99, "", -1, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.entry);
    ResetEverything();
    Start();
    Report.AutoOpen = true;  // the open command must clear it and ask
    headless::QueueMenu(c.entry);
    RunEventLoop();
    const auto calls = headless::DialogCalls();
    if (*c.dialog == '\0') {
      EXPECT_TRUE(calls.empty());
    } else {
      ASSERT_FALSE(calls.empty());
      EXPECT_EQ(calls[0].kind, c.dialog);
    }
    for (int window : {1, 2, 3, 5}) {
      EXPECT_EQ(headless::Window(window) != nullptr, window == c.window) << window;
    }
    EXPECT_EQ(headless::ScriptEndCloses(), c.quits ? 0 : (c.window >= 0 ? 2 : 1));
    EXPECT_TRUE(headless::Window(kMainWindowId)->open);
    EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
  }
}

}  // namespace
