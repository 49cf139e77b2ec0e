// The main window as start-up builds it, the dispatch of every event code by
// the main loop, and the end of the program.
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
  static void Start() {
    ASSERT_TRUE(InitWindowLayer());
    ASSERT_TRUE(StartUp());
  }
  // A started program with two rows in use and one informer entry, UA9XYZ.
  static void StartWithEntry() {
    ResetEverything();
    Start();
    Log.QsoCount = 2;
    App.InformerList[1] = "UA9XYZ        ";
    App.InformerCount = App.InformerHotkeyCount = 1;
    // A warning stands: only a scan judges the status line again.
    SetControlText(kStatusLineId, "stale warning");
    App.StatusWarns = true;
  }
};

TEST_F(MainWindowTest, WindowMenuAndStartState) {
  Start();
  const headless::WindowState* window = headless::Window(kMainWindowId);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->open && window->hasMenu);
  EXPECT_EQ(window->title, "Corvane v7.0");
  EXPECT_EQ(std::vector({window->width, window->height}), std::vector({798, 530}));
  EXPECT_EQ(window->flags, 0xCA0001u);
  EXPECT_EQ(headless::TimerPeriod(), 1000);
  EXPECT_EQ(std::vector({Log.QsoCount, Log.TopOffset, Log.CurrentRow, Log.CurrentColumn}),
            std::vector({1, 0, 1, 4}));
  // Each item as "|id text", titles marked T, separators with id 0 and no text.
  std::string menu;
  for (const headless::MenuItem& item : headless::Menu())
    menu += "|" + std::string(item.isTitle ? "T" : "") + std::to_string(item.id) + " " + item.text;
  EXPECT_EQ(
      menu,
      "|T0 Файл|1 Создать|2 Открыть|0 |4 Выход|T0 Отчёт|11 Редактировать шапку|12 Проверить отчёт"
      "|T0 Параметры|21 Дата и время|22 Другие настройки|23 Трансивер|T0 Помощь|31 Вызов справки|0 "
      "|32 О программе"_cp);
}

// A label of the main window: its box (x, y, width, height), text, flags,
// colours and font ("Courier" bold and its point size).
void ExpectLabel(int id, const std::vector<int>& box, std::string_view text, int flags,
                 int32_t textColour, int32_t backColour, int points) {
  SCOPED_TRACE(id);
  const headless::ControlState* label = Control(id);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->window, kMainWindowId);
  EXPECT_EQ(std::vector({label->x, label->y, label->width, label->height}), box);
  EXPECT_EQ(label->text, text);
  EXPECT_EQ(std::vector({label->flags, label->textColour, label->backColour}),
            std::vector({flags, textColour, backColour}));
  EXPECT_EQ(label->fontFace + " " + std::to_string(points) + (label->fontBold ? " bold" : ""),
            "Courier " + std::to_string(points) + " bold");
}

TEST_F(MainWindowTest, ControlsInOrderWithGeometryTextsColoursAndFonts) {
  Start();
  std::vector<int> order = {85, 90, 91, 92, 93, 94, 95, 96, 97, 1900};
  for (int r = 1; r <= 30; ++r)
    for (int c = 1; c <= 9; ++c) order.push_back(CellId(r, c));
  EXPECT_EQ(headless::ControlOrder(), order);

  const int kCentred = kLabelCentred;
  ExpectLabel(85, {550, 480, 237, 22}, "", kCentred | kLabelSunken, kDefault, 0xCCCCFF, 10);
  ExpectLabel(97, {550, 6, 237, 18}, "Информер"_cp, kCentred, 0x000000, 0x00DD00, 10);
  ExpectLabel(1900, {10, 480, 525, 18}, "", kCentred, kDefault, kDefault, 10);
  // Grid columns 1..9: the seven log columns with their headers, the informer.
  const int kX[] = {0, 10, 61, 132, 183, 284, 385, 486, 550, 669};
  const int kWidth[] = {0, 50, 70, 50, 100, 100, 100, 50, 118, 118};
  const std::string_view kHeader[] = {
      "",       "Время"_cp, "Диапазон"_cp, "Вид"_cp, "Позывной"_cp, "Переданный"_cp, "Принятый"_cp,
      "Очки"_cp};
  for (int c = 1; c <= 7; ++c)
    ExpectLabel(89 + c, {kX[c], 6, kWidth[c], 18}, kHeader[c], kCentred, 0xFFFFFF, 0xFF0000, 10);
  // Every cell green on black, the current cell 103 black on green, the
  // informer cyan on dark green.
  const int32_t kText[] = {0x00FF00, 0x000000, 0xFFFF00}, kBack[] = {0x000000, 0x00FF00, 0x005500};
  for (int r = 1; r <= 30; ++r) {
    for (int c = 1; c <= 9; ++c) {
      const int kind = c >= 8 ? 2 : r == 1 && c == 4 ? 1 : 0;
      ExpectLabel(CellId(r, c), {kX[c], 15 * r + 10, kWidth[c], 14}, "", kCentred, kText[kind],
                  kBack[kind], 8);
    }
  }
  EXPECT_EQ(CellId(30, 7), 396);
  EXPECT_EQ(CellId(1, 9), 108);
}

// Start-up writes a missing settings file, takes its colours, and opens the
// last report without asking.
TEST_F(MainWindowTest, StartUpFollowsTheSettingsFile) {
  ASSERT_FALSE(PathExists(kSettingsFileName));
  EXPECT_EQ(RunCorvane(), 0);
  EXPECT_NE(ReadFileBytes(kSettingsFileName).find("[Main]"), std::string::npos);
  EXPECT_NE(ReadFileBytes(kSettingsFileName).find("Background = 65280"), std::string::npos);

  WriteFileBytes("LAST.CBR", "START-OF-LOG: 3.0\r\nCALLSIGN: UA1AAA\r\nEND-OF-LOG:\r\n");
  WriteFileBytes(kSettingsFileName,
                 "[Main]\r\nFile = LAST.CBR\r\n[Colors]\r\nColor-Text = 16777215\r\n"
                 "Background = 255\r\nInf-Text = 1\r\nInf-Back = 2\r\nInf-Up-Text = 3\r\n"
                 "Inf-Up-Back = 4\r\nMain-Up-Text = 5\r\nMain-Up-Back = 6\r\n");
  ResetEverything();
  Start();  // the report read puts the current cell in column 1: cell 100
  const struct {
    int id;
    int32_t text, back;
  } kCases[] = {{100, 0xFFFFFF, 255}, {103, 255, 0xFFFFFF}, {396, 255, 0xFFFFFF},
                {107, 1, 2},          {398, 1, 2},          {97, 3, 4},
                {90, 5, 6},           {96, 5, 6},           {85, kDefault, 0xCCCCFF}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Control(c.id)->textColour, c.text);
    EXPECT_EQ(Control(c.id)->backColour, c.back);
  }
  EXPECT_EQ(ReportHeader.Callsign, "UA1AAA");
  EXPECT_EQ(AppSettings.File, "LAST.CBR");
  EXPECT_FALSE(Report.AutoOpen);
  EXPECT_TRUE(headless::DialogCalls().empty());           // no requester
  EXPECT_EQ(headless::Window(kHeaderWindowId), nullptr);  // no header editor
}

TEST_F(MainWindowTest, LoopEndsOnExitAndOnCloseButNotOnAStrayClose) {
  const struct {
    const char* name;
    void (*queue)();  // before "О программе"
    bool ends;
  } kCases[] = {
      {"menu Выход", [] { headless::QueueMenu(4); }, true},
      {"close button", [] { headless::QueueClose(kMainWindowId); }, true},
      {"close of a window not open", [] { headless::QueueRawEvent(kEventClose, 3); }, false},
      {"key of another window", [] { headless::QueueRawEvent(kEventKeyDown, 2); }, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    c.queue();
    headless::QueueMenu(32);
    EXPECT_EQ(RunCorvane(), 0);
    EXPECT_TRUE(App.QuitRequested);
    EXPECT_EQ(headless::PendingEvents(), c.ends ? 1 : 0);
    EXPECT_EQ(headless::ScriptEndCloses(), c.ends ? 0 : 1);
    EXPECT_EQ(headless::DialogCalls().size(), c.ends ? 0u : 1u);
    EXPECT_FALSE(headless::Window(kMainWindowId)->open);
  }
}

void Click(int x, int y) { headless::QueueClick(x, y, kMainWindowId); }
void Timer(int, int) { headless::QueueTimer(); }

// Each event code reaching the main window: the cursor, the call of row 1,
// whether LogScan ran (the StatusLine's warning gives way to the count in
// grey) and the clock ticked.
TEST_F(MainWindowTest, EachEventCodeIsDispatched) {
  const struct {
    const char* name;
    void (*queue)(int, int);
    int a, b;  // key code and window, or the click's x and y
    int row, column;
    std::string_view call;
    bool scanned, ticked;
  } kCases[] = {
      {"click grid top left corner", Click, 10, 25, 1, 1, "", true, false},
      {"click grid bottom right, past the rows", Click, 536, 474, 2, 4, "", true, false},
      {"click right edge of row 2, column 7", Click, 536, 15 * 2 + 24, 2, 7, "", true, false},
      {"click right edge of column 2, row 2", Click, 131, 15 * 2 + 10, 2, 2, "", true, false},
      {"click right of the grid", Click, 537, 100, 1, 4, "", false, false},
      {"click at the informer's left edge - 1", Click, 549, 30, 1, 4, "", false, false},
      {"click left of the grid", Click, 9, 100, 1, 4, "", false, false},
      {"click below the grid", Click, 100, 475, 1, 4, "", false, false},
      {"click above the grid", Click, 100, 24, 1, 4, "", false, false},
      {"click informer entry 1", Click, 550, 25, 1, 4, "UA9XYZ", true, false},
      {"click an empty informer cell", Click, 787, 474, 1, 4, "", false, false},
      {"key down types", headless::QueueKeyDown, 'K', 0, 1, 4, "K", false, false},
      {"key up scans", headless::QueueKeyUp, 'K', 0, 1, 4, "", true, false},
      {"Alt+A picks", headless::QueueSysKeyUp, 'A', 0, 1, 4, "UA9XYZ", false, false},
      {"Alt held key down is no typing", headless::QueueSysKeyDown, 'A', 0, 1, 4, "", false, false},
      {"timer tick", Timer, 0, 0, 1, 4, "", false, true},
      {"unknown code", headless::QueueRawEvent, 1234, 0, 1, 4, "", false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    StartWithEntry();
    c.queue(c.a, c.b);
    RunEventLoop();
    EXPECT_EQ(Log.CurrentRow, c.row);
    EXPECT_EQ(Log.CurrentColumn, c.column);
    EXPECT_EQ(Log.QsoLog[1][kColCall], c.call);
    // Only the current cell has the current-cell colours.
    EXPECT_EQ(Control(CellId(c.row, c.column))->backColour, AppSettings.Background);
    EXPECT_EQ(Control(103)->backColour, c.column == 4 && c.row == 1 ? 0x00FF00 : 0x000000);
    EXPECT_EQ(Control(kStatusLineId)->text,
              c.scanned ? "Связей: 0"_cp : std::string_view("stale warning"));
    EXPECT_EQ(Control(kStatusLineId)->backColour, c.scanned ? 0xD8E8E8 : kDefault);
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
    EXPECT_EQ(calls.empty() ? "" : calls[0].kind, c.dialog);
    for (int window : {1, 2, 3, 5})
      EXPECT_EQ(headless::Window(window) != nullptr, window == c.window) << window;
    EXPECT_EQ(headless::ScriptEndCloses(), c.quits ? 0 : (c.window >= 0 ? 2 : 1));
    EXPECT_TRUE(headless::Window(kMainWindowId)->open);
    EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
  }
}

}  // namespace
