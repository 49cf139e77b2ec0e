// The scripted backend's side door for tests: queue events and dialog
// answers, then read back what the program made of its windows and controls.
// When the script runs out, WaitForEvent answers a close request (16) for the
// newest open window, so every loop ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_kind.h"

namespace headless {

inline constexpr int kNewestWindow = -1;  // an event for the newest open window

struct ControlState {
  int id = 0;
  int window = -1;  // id of the window it was created in
  ControlKind kind = ControlKind::Label;
  int x = 0, y = 0, width = 0, height = 0;
  int flags = 0;            // label flags
  std::string text;         // Windows-1251
  int32_t textColour = -1;  // -1: default
  int32_t backColour = -1;
  int value = 0;                     // list index (-1 none), check/option state
  std::vector<std::string> entries;  // list entries
  bool disabled = false;
  std::string fontFace;  // empty: the system default font
  int fontPoints = 0;
  bool fontBold = false;
  intptr_t picture = 0;
};

struct WindowState {
  int id = -1;
  std::string title;
  int width = 0, height = 0;
  uint32_t flags = 0;
  bool open = false;
  bool disabled = false;
  bool hasMenu = false;
};

struct MenuItem {
  int id = 0;        // 0 for a title or a separator
  std::string text;  // empty for a separator
  bool isTitle = false;
};

// Clears every window, control, font, picture, menu, queued event and answer.
void Reset();

// Events, returned by WaitForEvent in the order queued. `window` is the window
// id the event belongs to (kNewestWindow: the newest open window when the event
// is taken).
void QueueKeyDown(int keyCode, int window = kNewestWindow);
void QueueKeyUp(int keyCode, int window = kNewestWindow);
void QueueKey(int keyCode, int window = kNewestWindow);  // down, then up
void QueueSysKeyDown(int keyCode, int window = kNewestWindow);
void QueueSysKeyUp(int keyCode, int window = kNewestWindow);
// Alt held, key down and up: 260 then 261, as the real toolkit delivers it.
void QueueAltKey(int keyCode, int window = kNewestWindow);
// Left button at client position x, y; the mouse stays there for
// MouseXInWindow/MouseYInWindow until the next click.
void QueueClick(int x, int y, int window = kNewestWindow);
void QueueMenu(int entryId);
void QueueTimer();
void QueueClose(int window = kNewestWindow);
// Control events: the user's action is applied when the event is taken.
void QueueButton(int controlId);                           // click on a push button
void QueueListChoice(int controlId, int index);            // choose list entry `index`
void QueueCheck(int controlId, int value);                 // set a check box or option
void QueueTextEdit(int controlId, std::string_view text);  // type into a text field
// A raw event code with no further meaning (for dispatch tests).
void QueueRawEvent(int code, int window = kNewestWindow);
// Runs `probe` when its turn comes and delivers no event: the test looks at
// the windows and controls of a modal loop while it waits. Events queued
// one after another are input that is already waiting, handed out without
// the before-wait hook between them; a probe is a moment when none waits, so
// the hook runs before it (as at the end of the script). An empty probe is a
// pause of the user's.
void QueueProbe(std::function<void()> probe);
inline void QueuePause() { QueueProbe([] {}); }

// Answers for the standard dialogs, used in order; when none is queued a file
// dialog is cancelled (empty text) and a message box answers 1 (OK).
void QueueFileAnswer(std::string_view path);
void QueueMessageBoxAnswer(int result);

// While set, LoadFontFace fails (returns 0) as a missing font would.
void SetFontLoadsFail(bool fail);

// Read-back.
const ControlState* Control(int id);  // nullptr when no live control has the id
std::vector<int> ControlOrder();      // ids of live controls in creation order
const WindowState* Window(int id);    // nullptr when never opened
int ActiveWindow();                   // -1 when none
std::vector<MenuItem> Menu();
int TimerPeriod();  // 0 before StartThreadTimer
int PendingEvents();

// The last LoadPictureFile of a picture id; width and height 0 and handle 0
// when that file was not a readable Windows bitmap.
struct PictureState {
  std::string file;
  int width = 0, height = 0;
  intptr_t handle = 0;
};
const PictureState* Picture(int pictureId);  // nullptr when never loaded

struct DialogCall {
  std::string kind;  // "open", "save" or "message"
  std::string title, text, pattern;
  int flags = 0;                  // message box flags
  std::string defaultFile;        // file dialogs
  int patternIndex = 0;           // file dialogs
  int disabledWindowsDuring = 0;  // windows that were disabled while it was shown
};
std::vector<DialogCall> DialogCalls();

// The number of close requests made up because the script had run out.
int ScriptEndCloses();

}  // namespace headless
