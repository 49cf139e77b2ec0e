// The window and control layer. Program logic names windows, controls, menu
// entries, fonts and pictures by small integer ids and never sees a toolkit
// type. Texts cross this layer as Windows-1251 bytes. Colours are 0x00BBGGRR
// (red in the low byte); -1 is the system default.
//
// The functions below are implemented once per backend, each its own library
// (headless for tests, qt for the real program); the build links exactly one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using NativeHandle = std::intptr_t;  // 0 = none

// Event codes returned by WaitForEvent (their Win32 message numbers).
inline constexpr int kEventClose = 16;         // WM_CLOSE
inline constexpr int kEventKeyDown = 256;      // WM_KEYDOWN
inline constexpr int kEventKeyUp = 257;        // WM_KEYUP
inline constexpr int kEventSysKeyDown = 260;   // WM_SYSKEYDOWN (key pressed while Alt is held)
inline constexpr int kEventSysKeyUp = 261;     // WM_SYSKEYUP (key released while Alt is held)
inline constexpr int kEventTimer = 275;        // WM_TIMER
inline constexpr int kEventLButtonDown = 513;  // WM_LBUTTONDOWN
inline constexpr int kEventControl = 13100;    // a control acted
inline constexpr int kEventMenu = 13101;       // a menu entry was chosen

// Window flags.
inline constexpr uint32_t kWindowCentred = 0x1;
inline constexpr uint32_t kMainWindowFlags = 0xCA0001;    // title, system menu, minimise
inline constexpr uint32_t kDialogWindowFlags = 0xC80001;  // title, system menu

// Label flags.
inline constexpr int kLabelLeft = 0;
inline constexpr int kLabelCentred = 1;
inline constexpr int kLabelRight = 2;
inline constexpr int kLabelSunken = 0x20000;

// SetControlColour kinds.
inline constexpr int kColourText = 1;
inline constexpr int kColourBack = 2;

inline constexpr int kFontBold = 0x100;
// ShowMessageBox flags (buttons | icon) and answers, as Win32 numbers them.
inline constexpr int kMessageBoxYesNoCancel = 3;
inline constexpr int kMessageBoxQuestion = 32;
inline constexpr int kMessageBoxWarning = 48;
inline constexpr int kMessageBoxInformation = 64;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
inline constexpr int kSetDefaultFont = -1;  // SetControlFont id: font of later controls

// Start and end of the layer. InitWindowLayer returns false when no display
// can be had.
bool InitWindowLayer();
void ShutdownWindowLayer();

// Windows. x and y are passed as 0; flags bit 0x1 centres on the screen.
NativeHandle OpenAppWindow(int id, int x, int y, int width, int height, std::string_view title,
                           uint32_t flags);
void CloseAppWindow(int id);
void SetAppWindowTitle(int id, std::string_view text);
void SetAppWindowDisabled(int id, int disabled);
void ActivateAppWindow(int id);
NativeHandle AppWindowHandle(int id);

// Controls go into the window chosen by SetControlParent.
void SetControlParent(NativeHandle window);
void CreateLabel(int id, int x, int y, int width, int height, std::string_view text, int flags);
void CreatePushButton(int id, int x, int y, int width, int height, std::string_view text);
void CreateDropDownList(int id, int x, int y, int width, int height);
void CreateGroupFrame(int id, int x, int y, int width, int height, std::string_view text);
void CreateRadioOption(int id, int x, int y, int width, int height, std::string_view text);
void CreateCheckBox(int id, int x, int y, int width, int height, std::string_view text);
void CreateTextField(int id, int x, int y, int width, int height, std::string_view text);
void CreatePicture(int id, int x, int y, int width, int height, NativeHandle picture);
// A read-only box of many lines ("\n" ends each) that scrolls both ways and
// reports nothing; its text is set and read like a label's.
void CreateTextBox(int id, int x, int y, int width, int height, std::string_view text);

void SetControlText(int id, std::string_view text);
std::string GetControlText(int id);
void AppendListEntry(int id, std::string_view text);
void SetControlValue(int id, int value);
int GetControlValue(int id);
void SetControlDisabled(int id, int disabled);
void SetControlColour(int id, int kind, int32_t colour);
void SetControlFont(int id, NativeHandle font);

// Fonts and pictures.
NativeHandle LoadFontFace(int fontId, std::string_view face, int pointSize, int style);
NativeHandle FontHandle(int fontId);
NativeHandle LoadPictureFile(int pictureId, std::string_view file);
NativeHandle PictureHandle(int pictureId);

// Menus (main window only).
void CreateMenuBar(int menuId, NativeHandle window);
void AddMenuTitle(std::string_view text);
void AddMenuEntry(int entryId, std::string_view text);
void AddMenuSeparator();

// The one-second thread timer: its ticks arrive as kEventTimer in whichever
// loop waits; at most one tick is pending at a time.
void StartThreadTimer(int periodMs);

// The moment before the program waits for the user. WaitForEvent runs the
// hook only when no input is pending: an event already in the backend's
// queue, or input the toolkit or the system holds, is handed out first, so
// that keys typed ahead of a slow disk are all handled before one rewrite.
// Once none is left the hook runs, then the backend paints what the handlers
// changed (where the toolkit lets it hold painting back) and blocks; after a
// hook that took long (a slow disk), what the handlers changed is painted
// before the next hook instead, so the screen runs ahead of the disk by at
// most the keys handled since the last one.
// ShowMessageBox, AskOpenFileName and AskSaveFileName always run it before
// their dialog waits. Whenever the program waits, whatever the handlers
// changed is settled (the program rewrites its report there). None by
// default.
using BeforeWaitHook = void (*)();
inline BeforeWaitHook BeforeWait = nullptr;
inline void SetBeforeWaitHook(BeforeWaitHook hook) { BeforeWait = hook; }
inline void RunBeforeWaitHook() {
  if (BeforeWait != nullptr) BeforeWait();
}

// Events.
int WaitForEvent();
int EventSourceId();
int EventWindowId();
int EventKeyCode();
int MouseXInWindow(int windowId);
int MouseYInWindow(int windowId);

// Standard dialogs.
int ShowMessageBox(std::string_view title, std::string_view text, int flags);
std::string AskOpenFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex);
std::string AskSaveFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex);
