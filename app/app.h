// The main window and its event loop, contact entry on the grid, the
// duplicate scan, the informer and the clock, help and About.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "base/version.h"

inline constexpr int kInformerCapacity = 64;  // list entries 1..64
inline constexpr int kInformerShown = 60;     // two columns of 30
inline constexpr int kInformerEntryWidth = 14;
inline constexpr int kHelpWindowId = 5;
// Colours of the warnings in the status line and the station box (0x00BBGGRR).
inline constexpr int kWarningText = 0x80FFFF;  // light yellow
inline constexpr int kWarningBack = 0x0000FF;  // red

struct AppState {
  bool QuitRequested = false;
  std::string InformerText;  // 14-byte entries of the last scan, in scan order
  std::array<std::string, kInformerCapacity + 1> InformerList;  // 1..64 sorted; 0 unused
  int InformerCount = 0;
  int InformerHotkeyCount = 0;
  bool StatusWarns = false;  // the status line carries a warning; the count waits
  // The count last worked out, and what it was worked out from.
  std::string CountText;
  int64_t CountEdits = -1;
  int32_t CountRows = 0;
  std::string CountBand;
  // The radio as the entry row follows it (FollowRig).
  int32_t RigSession = 0;      // the poller's session the fields below belong to
  bool RigSilent = false;      // the configured radio does not answer
  bool RigFollowed = false;    // RigFrequency and RigMode were taken into the entry row
  int64_t RigFrequency = 0;    // Hz, the last frequency taken
  std::string RigMode;         // Hamlib's name, the last mode taken
};
extern AppState App;

void ResetApp();
// Every subsystem's record back to its start (settings, options, log, report,
// the program's own), as for a new start; the window layer is left alone.
void ResetRecords();

// The whole program: start-up, the event loop, the end. Returns the exit code.
int RunCorvane();
// Everything before the first wait; false when the main window cannot be opened.
bool StartUp();
// Waits for events until QuitRequested; passes on those of the main window
// (and the timer's and the menu's) to DispatchEvent, which acts on the code.
void RunEventLoop();
void DispatchEvent(int code);
// What the program does whenever it is about to wait (the window layer's
// before-wait hook): rewrites the report if the log changed, and says once
// what went wrong with a file since the last wait.
void SettleBeforeWait();
// At "Выход" or the close button: false when the user chose to go on. A log
// that holds something typed and reaches no report file is offered to be
// saved as a new report first. Changes not yet written are written first.
bool ConfirmEnd();
// The end of the program after its loop: the last rewrite, settings that
// still wait to be written, the report let go, the windows closed.
void EndProgram();

void SelectCellByMouse(int x, int y);
void HandleKeyDown(int keyCode);
void LogScan();
// The complete contacts (rows with a call sign and a time) of log rows
// 1..`rows`: in all, and on the band of `band` (its band class; a text that
// names no class counts the rows with that same text).
struct ContactCount {
  int all = 0;
  int onBand = 0;
};
ContactCount CountContacts(int rows, std::string_view band);
// "Связей: 17, на 14200: 9"; without a band only the count in all.
std::string ContactCountText(const ContactCount& count, std::string_view band);
// The count for the current row's band in the status line, in its grey,
// unless the status line carries a warning (StatusWarns); while the radio
// does not answer, that is said instead of the count.
inline constexpr std::string_view kRigSilentText = "Нет связи с трансивером"_cp;
void ShowContactCount();
void RebuildInformer();
// True when the click picked an entry (the caller then runs LogScan).
bool PickInformerByMouse(int x, int y);
void PickInformerByLetter(int keyCode);
void TimerTick();
// At each tick: the poller's latest reading into the entry row, while its
// call-sign cell is empty and only when the reading changed (RigSilent
// follows the reading either way). Never waits for the radio.
void FollowRig();
void RefreshStationBox();
void ShowHelp();
// ShowHelp in its three steps: open the window with its picture and disable
// the main window (false when the window cannot be opened); wait until Escape
// or the close button of the help window; close it and give the main window
// back.
bool OpenHelpWindow();
void RunHelpLoop();
void CloseHelpWindow();
void ShowAbout();
