// Start-up, the main window with its menu, headers and grid, the event loop
// and the end of the program. The handlers it calls live in the other files
// of this folder and in settings/ and report/.
#include "app/app.h"

#include <algorithm>
#include <cstdio>

#include "app/command_line.h"
#include "base/cp1251.h"
#include "base/text.h"
#include "base/textfile.h"
#include "log/log.h"
#include "report/check.h"
#include "report/report.h"
#include "rig/rig.h"
#include "settings/options.h"
#include "settings/settings.h"
#include "ui/window.h"

AppState App;

void ResetApp() { App = {}; }

void ResetRecords() {
  ResetSettings();
  ResetOptions();
  ResetLog();
  ResetReport();
  ResetApp();
}

namespace {

constexpr int kMainWidth = 798;
constexpr int kMainHeight = 530;
constexpr int kTimerPeriodMs = 1000;
constexpr int kMenuBarId = 1;
constexpr int kStationBoxBack = 0xCCCCFF;

// Menu entries of the main window.
constexpr int kMenuNew = 1;
constexpr int kMenuOpen = 2;
constexpr int kMenuExit = 4;
constexpr int kMenuEditHeader = 11;
constexpr int kMenuCheckReport = 12;
constexpr int kMenuDateTime = 21;
constexpr int kMenuSettings = 22;
constexpr int kMenuRig = 23;
constexpr int kMenuHelp = 31;
constexpr int kMenuAbout = 32;

// Areas of the main window that react to a left click (edges included).
constexpr int kGridLeft = 10, kGridRight = 536;
constexpr int kInformerLeft = 550, kInformerRight = 787;
constexpr int kClickTop = 25, kClickBottom = 474;

// The windows the program may have open; closed in this order at the end.
// (3 is the settings dialog, 2 the date and time dialog.)
constexpr int kProgramWindows[] = {kHelpWindowId,   kCheckWindowId, kRigWindowId, 3, 2,
                                   kHeaderWindowId, kMainWindowId};

struct ColumnLayout {
  int x, width;
};
// Grid columns 1..9 (element 0 unused): the seven log columns, then the two
// informer columns.
constexpr ColumnLayout kGridColumnLayout[] = {{0, 0},     {10, 50},   {61, 70},   {132, 50},
                                              {183, 100}, {284, 100}, {385, 100}, {486, 50},
                                              {550, 118}, {669, 118}};
constexpr int kGridCellHeight = 14;
constexpr int kHeaderY = 6, kHeaderHeight = 18;
constexpr int kInformerHeaderId = 97;

struct HeaderLabel {
  int id;
  std::string_view text;
};
constexpr HeaderLabel kHeaders[] = {
    {90, "Время"_cp},      {91, "Диапазон"_cp}, {92, "Вид"_cp},  {93, "Позывной"_cp},
    {94, "Переданный"_cp}, {95, "Принятый"_cp}, {96, "Очки"_cp}, {97, "Информер"_cp},
};

int CellTop(int gridRow) { return 15 * gridRow + 10; }

// Loads a "Courier" bold font under `fontId`; returns its handle, 0 on failure.
NativeHandle LoadCourier(int fontId, int points) {
  return LoadFontFace(fontId, "Courier", points, kFontBold);
}

void UseAsDefaultFont(NativeHandle font) {
  if (font != 0) SetControlFont(kSetDefaultFont, font);  // a failed load keeps the old one
}

void BuildMenu(NativeHandle window) {
  CreateMenuBar(kMenuBarId, window);
  AddMenuTitle("Файл"_cp);
  AddMenuEntry(kMenuNew, "Создать"_cp);
  AddMenuEntry(kMenuOpen, "Открыть"_cp);
  AddMenuSeparator();
  AddMenuEntry(kMenuExit, "Выход"_cp);
  AddMenuTitle("Отчёт"_cp);
  AddMenuEntry(kMenuEditHeader, "Редактировать шапку"_cp);
  AddMenuEntry(kMenuCheckReport, "Проверить отчёт"_cp);
  AddMenuTitle("Параметры"_cp);
  AddMenuEntry(kMenuDateTime, "Дата и время"_cp);
  AddMenuEntry(kMenuSettings, "Другие настройки"_cp);
  AddMenuEntry(kMenuRig, "Трансивер"_cp);
  AddMenuTitle("Помощь"_cp);
  AddMenuEntry(kMenuHelp, "Вызов справки"_cp);
  AddMenuSeparator();
  AddMenuEntry(kMenuAbout, "О программе"_cp);
}

void SetColours(int id, int32_t text, int32_t back) {
  SetControlColour(id, kColourText, text);
  SetControlColour(id, kColourBack, back);
}

void BuildGrid() {
  const NativeHandle informerFont = FontHandle(2);
  for (int r = 1; r <= kGridRows; ++r) {
    for (int c = 1; c <= 9; ++c) {
      const ColumnLayout& column = kGridColumnLayout[c];
      const int id = CellId(r, c);
      CreateLabel(id, column.x, CellTop(r), column.width, kGridCellHeight, "", kLabelCentred);
      if (c <= kGridColumns) {
        SetColours(id, AppSettings.Background, AppSettings.ColorText);
      } else {
        SetColours(id, AppSettings.InfText, AppSettings.InfBack);
        if (informerFont != 0) SetControlFont(id, informerFont);
      }
    }
  }
}

void BuildControls() {
  CreateLabel(kStationBoxId, 550, 480, 237, 22, "", kLabelCentred | kLabelSunken);
  SetControlColour(kStationBoxId, kColourBack, kStationBoxBack);
  for (const HeaderLabel& header : kHeaders) {
    const bool informer = header.id == kInformerHeaderId;
    const ColumnLayout& column = kGridColumnLayout[informer ? 8 : header.id - 89];
    const int width = informer ? 237 : column.width;
    CreateLabel(header.id, column.x, kHeaderY, width, kHeaderHeight, header.text, kLabelCentred);
  }
  SetColours(kInformerHeaderId, AppSettings.InfUpText, AppSettings.InfUpBack);
  CreateLabel(kStatusLineId, 10, 480, 525, 18, "", kLabelCentred);

  UseAsDefaultFont(LoadCourier(1, 8));
  LoadCourier(2, 8);
  for (const HeaderLabel& header : kHeaders) {
    if (header.id != kInformerHeaderId) {
      SetColours(header.id, AppSettings.MainUpText, AppSettings.MainUpBack);
    }
  }
  BuildGrid();
}

bool InArea(int x, int y, int left, int right) {
  return x >= left && x <= right && y >= kClickTop && y <= kClickBottom;
}

void HandleClick(int x, int y) {
  if (InArea(x, y, kInformerLeft, kInformerRight)) {
    if (PickInformerByMouse(x, y)) LogScan();
  } else if (InArea(x, y, kGridLeft, kGridRight)) {
    SelectCellByMouse(x, y);
    LogScan();
  }
}

void RunMenuCommand(int entryId) {
  switch (entryId) {
    case kMenuNew:
      NewReport();
      break;
    case kMenuOpen:
      Report.AutoOpen = false;
      OpenReport();
      break;
    case kMenuExit:
      App.QuitRequested = ConfirmEnd();
      break;
    case kMenuEditHeader:
      EditReportHeader();
      break;
    case kMenuCheckReport:
      ShowReportCheck();
      break;
    case kMenuDateTime:
      DateTimeDialog();
      break;
    case kMenuSettings:
      SettingsDialog();
      break;
    case kMenuRig:
      RigDialog();
      break;
    case kMenuHelp:
      ShowHelp();
      break;
    case kMenuAbout:
      ShowAbout();
      break;
    default:
      break;
  }
}

// Events that belong to a window count only when it is the main window; the
// timer and the menu have no other window to come from.
bool BelongsToMainWindow(int code) {
  return code == kEventTimer || code == kEventMenu || EventWindowId() == kMainWindowId;
}


// True when some row holds a call sign or a received exchange: the rest of a
// row is filled in by the program.
bool LogHoldsTyping() {
  for (int row = 1; row <= std::min(Log.QsoCount, kLogRows); ++row) {
    const QsoRecord& record = Log.QsoLog[static_cast<std::size_t>(row)];
    if (!TrimSpaces(record[kColCall]).empty() || !TrimSpaces(record[kColReceived]).empty()) {
      return true;
    }
  }
  return false;
}

void ShowStatusWarning(const std::string& text) {
  SetControlText(kStatusLineId, text);
  SetControlColour(kStatusLineId, kColourText, kWarningText);
  SetControlColour(kStatusLineId, kColourBack, kWarningBack);
  App.StatusWarns = true;  // until the next scan judges the line again
}

}  // namespace

void EndProgram() {
  FlushReport();  // nothing is pending after a wait; this only covers the last handler
  StopRigPoller();
  SaveUnsavedSettings();
  ReleaseOwnerLock(Report.OwnerLock);
  Report.OwnerLock = -1;
  for (int id : kProgramWindows) {
    if (AppWindowHandle(id) != 0) CloseAppWindow(id);
  }
  CloseAllTextFiles();
  ShutdownWindowLayer();
}

void SettleBeforeWait() {
  FlushReport();
  if (!SettingsWrites.UnsaidFile.empty()) {
    ShowStatusWarning(std::string(kSettingsUnsavedText) + SettingsWrites.UnsaidFile);
    SettingsWrites.UnsaidFile.clear();
  }
  if (Report.HeldElsewhereUnsaid || Report.InPlaceUnsaid) {
    Report.HeldElsewhereUnsaid = false;
    Report.InPlaceUnsaid = false;
    if (AppWindowHandle(kMainWindowId) != 0) RefreshStationBox();
  }
  // Whatever the handler changed (a report opened, a row removed, a band
  // cycled) shows in the count before the operator acts again.
  if (AppWindowHandle(kMainWindowId) != 0) ShowContactCount();
}

bool ConfirmEnd() {
  // Keys handled just before the request may not be written yet: whether
  // the log reaches its file is known only once they are.
  FlushReport();
  const bool reachesFile = !AppSettings.File.empty() && !Report.WriteFailed;
  if (reachesFile || !LogHoldsTyping()) return true;
  const int answer = ShowMessageBox(kTitleText, "Журнал не сохранён в файл. Сохранить?"_cp,
                                    kMessageBoxYesNoCancel | kMessageBoxQuestion);
  if (answer == kAnswerCancel) return false;
  if (answer == kAnswerYes) return SaveLogAsNewReport();
  return true;
}

bool StartUp() {
  App.QuitRequested = false;
  SetBeforeWaitHook(SettleBeforeWait);
  AppSettings.TimeMin = 30;
  LoadSettings();
  SaveSettings();  // a missing settings file is created with its defaults
  LoadOptions();   // options.ini is only read here; its dialogs write it
  ConfigureRig(Options.RigModel, Options.RigPort, Options.RigSpeed);  // model 0: no poller

  const NativeHandle window =
      OpenAppWindow(kMainWindowId, 0, 0, kMainWidth, kMainHeight, kTitleText, kMainWindowFlags);
  if (window == 0) return false;
  SetControlParent(window);
  StartThreadTimer(kTimerPeriodMs);
  UseAsDefaultFont(LoadCourier(1, 10));
  BuildMenu(window);
  BuildControls();

  HighlightCell(CellId(1, kColCall), 0);
  Log.QsoCount = 1;
  Log.CurrentColumn = kColCall;
  Log.CurrentRow = 1;
  Log.TopOffset = 0;

  if (!AppSettings.File.empty()) {
    Report.AutoOpen = true;
    OpenReport();
    Report.AutoOpen = false;
  }
  return true;
}

void DispatchEvent(int code) {
  switch (code) {
    case kEventLButtonDown:
      HandleClick(MouseXInWindow(kMainWindowId), MouseYInWindow(kMainWindowId));
      break;
    case kEventSysKeyUp:
      PickInformerByLetter(EventKeyCode());
      break;
    case kEventKeyDown:
      HandleKeyDown(EventKeyCode());
      break;
    case kEventMenu:
      RunMenuCommand(EventSourceId());
      break;
    case kEventClose:
      App.QuitRequested = ConfirmEnd();
      break;
    case kEventTimer:
      TimerTick();
      break;
    case kEventKeyUp:
      LogScan();
      break;
    default:
      break;
  }
}

void RunEventLoop() {
  while (!App.QuitRequested) {
    const int code = WaitForEvent();
    if (BelongsToMainWindow(code)) DispatchEvent(code);
  }
}

int RunCorvane() {
  if (!InitWindowLayer()) {
    std::fputs("corvane: the window system cannot be reached (no display?)\n", stderr);
    return kExitFailure;
  }
  const bool started = StartUp();
  if (started) {
    RunEventLoop();
  } else {
    std::fputs("corvane: the main window cannot be opened\n", stderr);
  }
  EndProgram();
  return started ? kExitOk : kExitFailure;
}
