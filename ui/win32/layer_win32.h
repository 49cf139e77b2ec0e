// The Win32 backend's own state, shared by its source files: the windows and
// controls behind the ids, the fonts and pictures, and the queue of window
// events that WaitForEvent hands out first. Only ui/win32 includes this; it is
// the one place besides the .cpp files that sees windows.h.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_kind.h"
#include "ui/window.h"

namespace win32window {

inline constexpr int kMaxWindows = 16;                // window ids 0..15
inline constexpr std::size_t kMaxQueuedEvents = 4096;  // beyond this, window events are dropped
inline constexpr int kMaxWindowSide = 16384;          // pixels of the client area
inline constexpr int kEventActivate = 13104;          // the activation notice
inline constexpr int kTimerEventWindow = 0;           // ticks belong to the main window
// A before-wait hook (the report's rewrite) longer than this is a slow disk:
// what the handlers changed is then painted before the next one, not after.
inline constexpr ULONGLONG kSlowSettleMs = 20;
inline constexpr wchar_t kWindowClass[] = L"CorvaneWindow";

struct Control {
  HWND hwnd = nullptr;
  ControlKind kind = ControlKind::Label;
  int window = -1;      // id of the window it lives in
  long createdAt = 0;   // creation serial: the Tab order
  int radioGroup = 0;   // radio options: options of one group share it
  int32_t textColour = -1;  // -1: the system's
  int32_t backColour = -1;
  HBRUSH backBrush = nullptr;  // solid brush of backColour, owned
  std::string labelText;       // labels: what was last set, to skip a repaint
  bool labelTextSet = false;
};

struct AppWindow {
  HWND hwnd = nullptr;  // nullptr when not open
  HMENU menuBar = nullptr;
};

struct WindowEvent {
  int code = 0;
  int window = -1;
  int source = 0;  // a control event held back behind a Tab: the control's id
};

// The whole backend state. Default initialisers are the state before
// InitWindowLayer; ShutdownWindowLayer assigns {} again.
struct Win32Layer {
  bool initialised = false;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;          // the program's icon, or the system's application icon
  std::array<AppWindow, kMaxWindows> windows{};
  // The control that had the focus when each window was deactivated: it
  // gets the focus back when the window is activated again.
  std::array<HWND, kMaxWindows> focusBeforeDeactivation{};
  std::map<int, Control> controls;  // control id -> control
  int parentWindow = -1;            // window of SetControlParent, -1 for none
  long creations = 0;               // serial of the last control created
  int lastCreatedId = 0;            // radio grouping: the control created last
  bool lastCreatedExists = false;
  int radioGroups = 0;
  HFONT defaultFont = nullptr;  // font of new controls; nullptr: the default GUI font

  std::map<int, HFONT> fontIds;       // font id -> current font
  std::vector<HFONT> retiredFonts;    // replaced fonts, still shown by older controls
  std::map<int, HBITMAP> pictureIds;  // picture id -> current bitmap
  std::vector<HBITMAP> retiredPictures;

  HMENU currentMenu = nullptr;  // the drop-down AddMenuEntry appends to
  int menuWindow = -1;

  UINT_PTR timer = 0;  // the thread timer, 0 when none
  // Close, move, size, paint and activation notices, and the control event a
  // Tab's focus change made (the Tab itself is handed out first).
  std::deque<WindowEvent> windowEvents;
  // What handling the current message produced: a control or menu event.
  int producedCode = 0;
  int producedSource = 0;
  int producedWindow = -1;
  bool settingText = false;  // the program itself is changing a control's text

  int lastSourceId = 0;
  int lastWindowId = -1;
  int lastKeyCode = 0;
  bool lastSettleWasSlow = false;  // the last before-wait hook took over kSlowSettleMs
};
extern Win32Layer Layer;

// Text conversions: Windows-1251 bytes <-> the wide characters of the W calls.
std::wstring Wide(std::string_view bytes);
std::string Bytes(const wchar_t* text, std::size_t length, bool* lossless = nullptr);
std::string WindowText(HWND hwnd);

AppWindow* OpenWindow(int windowId);  // nullptr when not open
int WindowIdOfHandle(HWND hwnd);      // the program window that hwnd is or lies in, else -1
Control* FindControl(int controlId);
Control* ControlOfHandle(HWND hwnd, int* controlId);
void DestroyControl(int controlId);
void DestroyControlsOf(int windowId);

// Window procedure parts that controls_win32.cpp answers.
bool AnswerControlColour(HDC dc, HWND control, LRESULT& result);
void NoteCommand(int windowId, WPARAM wParam, LPARAM lParam);
// Moves the focus for a Tab (backwards with Shift) within the window that
// holds `from`; false when the window has no control that takes focus.
bool MoveFocusByTab(HWND from, bool backwards);

// The standard dialogs disable the other program windows while they are open.
std::vector<int> DisableEnabledWindows();
void EnableWindows(const std::vector<int>& windowIds);
HWND DialogOwner();

}  // namespace win32window
