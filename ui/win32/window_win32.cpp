// The Win32 backend of the window layer: windows, their window procedure,
// the event queue and WaitForEvent. Controls, fonts, pictures and menus are
// in controls_win32.cpp, the standard dialogs in dialogs_win32.cpp.
//
// WaitForEvent hands out the window events the window procedure queued
// (close, move, size, paint, activation) first; otherwise it takes the next
// message of the thread's queue, dispatches it, and returns the control or
// menu event that produced, else the message's own number. A close request
// closes nothing: only CloseAppWindow does.
//
// Geometry: the outer size is computed for the client size without a menu
// bar, so a menu bar attached later takes its height from the client area.
#include "ui/window.h"

#include <algorithm>
#include <cmath>

#include "base/cp1251.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/window_win32.h"

#include <commctrl.h>  // after windows.h, which it needs

namespace win32window {

Win32Layer Layer;

std::wstring Wide(std::string_view bytes) {
  const std::u16string text = cp1251::ToUtf16(bytes.substr(0, bytes.find('\0')));
  return std::wstring(text.begin(), text.end());
}

std::string Bytes(const wchar_t* text, std::size_t length, bool* lossless) {
  std::u16string units(length, u'\0');
  for (std::size_t i = 0; i < length; ++i) units[i] = static_cast<char16_t>(text[i]);
  return cp1251::FromUtf16(units, lossless);
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  return Bytes(text.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

AppWindow* OpenWindow(int windowId) {
  if (!Layer.initialised || windowId < 0 || windowId >= kMaxWindows) return nullptr;
  AppWindow& window = Layer.windows[static_cast<std::size_t>(windowId)];
  return window.hwnd ? &window : nullptr;
}

int WindowIdOfHandle(HWND hwnd) {
  if (hwnd == nullptr) return -1;
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  for (int id = 0; id < kMaxWindows; ++id) {
    const HWND own = Layer.windows[static_cast<std::size_t>(id)].hwnd;
    if (own != nullptr && (own == hwnd || own == root)) return id;
  }
  return -1;
}

std::vector<int> DisableEnabledWindows() {
  std::vector<int> disabled;
  for (int id = 0; id < kMaxWindows; ++id) {
    const HWND hwnd = Layer.windows[static_cast<std::size_t>(id)].hwnd;
    if (hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
      EnableWindow(hwnd, FALSE);
      disabled.push_back(id);
    }
  }
  return disabled;
}

void EnableWindows(const std::vector<int>& windowIds) {
  for (const int id : windowIds) {
    if (AppWindow* window = OpenWindow(id)) EnableWindow(window->hwnd, TRUE);
  }
}

// The active program window, else the main window, else none.
HWND DialogOwner() {
  const HWND active = GetActiveWindow();
  if (WindowIdOfHandle(active) >= 0) return GetAncestor(active, GA_ROOT);
  if (AppWindow* main = OpenWindow(0)) return main->hwnd;
  return nullptr;
}

int FontHeightFor(int pointSize, int dotsPerInch) {
  return -static_cast<int>(std::lround(pointSize * static_cast<double>(dotsPerInch) / 72.0));
}

int CentredPosition(int screen, int outer) { return (screen - std::min(outer, screen)) / 2; }

NativeHandle WindowNativeHandle(int windowId) {
  AppWindow* window = OpenWindow(windowId);
  return window ? reinterpret_cast<NativeHandle>(window->hwnd) : 0;
}

int QueuedWindowEventCount() { return static_cast<int>(Layer.windowEvents.size()); }

namespace {

constexpr uint32_t kCentreOnScreen = 0x1;
constexpr uint32_t kCentreOnActive = 0x2;
// Styles a program window may have: never a sizing frame or a maximise box.
constexpr DWORD kAllowedStyles = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kEventMove = 3;
constexpr int kEventSize = 5;
constexpr int kEventPaint = 15;

// Queues a window event unless the same one (code and window) is the newest
// still waiting.
void QueueWindowEvent(int code, int windowId) {
  if (windowId < 0 || Layer.windowEvents.size() >= kMaxQueuedEvents) return;
  if (!Layer.windowEvents.empty() && Layer.windowEvents.back().code == code &&
      Layer.windowEvents.back().window == windowId) {
    return;
  }
  Layer.windowEvents.push_back({code, windowId});
}

// Alt released alone (or F10) asks for the menu bar's keyboard mode, which
// would take the grid's keys: refused. Alt with a letter that is no menu
// title's mnemonic would only beep: refused as well. Alt+Space (the system
// menu) and real mnemonics go on as usual.
bool RefuseKeyMenu(HWND hwnd, LPARAM key) {
  if (key == 0) return true;
  if (key == L' ') return false;
  const HMENU bar = GetMenu(hwnd);
  const int count = bar ? GetMenuItemCount(bar) : 0;
  for (int i = 0; i < count; ++i) {
    wchar_t title[128] = {};
    if (GetMenuStringW(bar, static_cast<UINT>(i), title, 128, MF_BYPOSITION) <= 0) continue;
    for (const wchar_t* p = title; *p; ++p) {
      if (*p == L'&' && p[1] != L'\0' && p[1] != L'&' &&
          CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(p[1]))) ==
              CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(key)))) {
        return false;
      }
      if (*p == L'&' && p[1] == L'&') ++p;
    }
  }
  return true;
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const int windowId = WindowIdOfHandle(hwnd);
  switch (message) {
    case WM_CLOSE:
      QueueWindowEvent(kEventClose, windowId);
      return 0;
    case WM_MOVE:
      QueueWindowEvent(kEventMove, windowId);
      break;
    case WM_SIZE:
      QueueWindowEvent(kEventSize, windowId);
      break;
    case WM_PAINT:
      QueueWindowEvent(kEventPaint, windowId);
      break;
    case WM_ACTIVATE:
      QueueWindowEvent(kEventActivate, windowId);
      if (windowId >= 0) {
        HWND& remembered = Layer.focusBeforeDeactivation[static_cast<std::size_t>(windowId)];
        if (LOWORD(wParam) == WA_INACTIVE) {
          const HWND focus = GetFocus();
          remembered = focus && IsChild(hwnd, focus) ? focus : nullptr;
        } else if (remembered && IsWindow(remembered) && IsChild(hwnd, remembered) &&
                   IsWindowEnabled(remembered) && IsWindowVisible(remembered)) {
          SetFocus(remembered);
          return 0;
        }
      }
      break;
    case WM_COMMAND:
      NoteCommand(windowId, wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      LRESULT brush = 0;
      if (AnswerControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                              brush)) {
        return brush;
      }
      break;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_KEYMENU && RefuseKeyMenu(hwnd, lParam)) return 0;
      if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HICON ProgramIcon(HINSTANCE instance) {
  if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1))) return icon;
  return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

// The cursor in a window's client coordinates; false outside the client area
// (its right and bottom edges count as inside).
bool CursorInClient(int windowId, POINT& point) {
  AppWindow* window = OpenWindow(windowId);
  if (!window || !GetCursorPos(&point) || !ScreenToClient(window->hwnd, &point)) return false;
  RECT client{};
  GetClientRect(window->hwnd, &client);
  return point.x >= 0 && point.y >= 0 && point.x <= client.right && point.y <= client.bottom;
}

}  // namespace
}  // namespace win32window

using namespace win32window;

bool InitWindowLayer() {
  if (Layer.initialised) return true;
  Layer = {};
  Layer.instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  if (!InitCommonControlsEx(&common)) InitCommonControls();
  Layer.icon = ProgramIcon(Layer.instance);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = Layer.instance;
  windowClass.hIcon = Layer.icon;
  windowClass.hIconSm = Layer.icon;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  Layer.initialised = true;
  return true;
}

void ShutdownWindowLayer() {
  if (!Layer.initialised) return;
  for (int id = 0; id < kMaxWindows; ++id) CloseAppWindow(id);
  if (Layer.timer != 0) KillTimer(nullptr, Layer.timer);
  for (const auto& [id, font] : Layer.fontIds) DeleteObject(font);
  for (const HFONT font : Layer.retiredFonts) DeleteObject(font);
  for (const auto& [id, picture] : Layer.pictureIds) DeleteObject(picture);
  for (const HBITMAP picture : Layer.retiredPictures) DeleteObject(picture);
  UnregisterClassW(kWindowClass, Layer.instance);
  Layer = {};
}

NativeHandle OpenAppWindow(int id, int x, int y, int width, int height, std::string_view title,
                           uint32_t flags) {
  if (!Layer.initialised || id < 0 || id >= kMaxWindows) return 0;
  if (width <= 0 || height <= 0 || width > kMaxWindowSide || height > kMaxWindowSide) return 0;
  CloseAppWindow(id);
  const DWORD style = static_cast<DWORD>(flags) & kAllowedStyles;
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  int outerWidth = outer.right - outer.left;
  int outerHeight = outer.bottom - outer.top;
  if ((flags & (kCentreOnScreen | kCentreOnActive)) != 0) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const HWND active = GetActiveWindow();
    if ((flags & kCentreOnScreen) == 0 && WindowIdOfHandle(active) >= 0) {
      GetWindowRect(active, &area);
    }
    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    if ((flags & kCentreOnScreen) != 0) {
      outerWidth = std::min(outerWidth, areaWidth);
      outerHeight = std::min(outerHeight, areaHeight);
    }
    x = area.left + (areaWidth - outerWidth) / 2;
    y = area.top + (areaHeight - outerHeight) / 2;
  }
  const HWND hwnd =
      CreateWindowExW(0, kWindowClass, Wide(title).c_str(), style, x, y, outerWidth, outerHeight,
                      nullptr, nullptr, Layer.instance, nullptr);
  if (!hwnd) return 0;
  Layer.windows[static_cast<std::size_t>(id)].hwnd = hwnd;
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Layer.icon));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Layer.icon));
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  SetForegroundWindow(hwnd);
  return reinterpret_cast<NativeHandle>(hwnd);
}

void CloseAppWindow(int id) {
  AppWindow* window = OpenWindow(id);
  if (!window) return;
  DestroyControlsOf(id);
  if (Layer.parentWindow == id) Layer.parentWindow = -1;
  if (Layer.menuWindow == id) {
    Layer.menuWindow = -1;
    Layer.currentMenu = nullptr;
  }
  const HWND hwnd = window->hwnd;
  *window = AppWindow{};
  Layer.focusBeforeDeactivation[static_cast<std::size_t>(id)] = nullptr;
  DestroyWindow(hwnd);  // the menu bar goes with it
  // Nothing of a closed window is handed out any more.
  std::erase_if(Layer.windowEvents, [id](const WindowEvent& event) { return event.window == id; });
}

void SetAppWindowTitle(int id, std::string_view text) {
  if (AppWindow* window = OpenWindow(id)) SetWindowTextW(window->hwnd, Wide(text).c_str());
}

void SetAppWindowDisabled(int id, int disabled) {
  if (AppWindow* window = OpenWindow(id)) EnableWindow(window->hwnd, disabled == 0);
}

void ActivateAppWindow(int id) {
  AppWindow* window = OpenWindow(id);
  if (!window) return;
  SetForegroundWindow(window->hwnd);
  SetActiveWindow(window->hwnd);
  const HWND focus = GetFocus();
  if (focus != window->hwnd && !IsChild(window->hwnd, focus)) SetFocus(window->hwnd);
}

NativeHandle AppWindowHandle(int id) { return WindowNativeHandle(id); }

void StartThreadTimer(int periodMs) {
  if (!Layer.initialised) return;
  if (Layer.timer != 0) {
    KillTimer(nullptr, Layer.timer);
    Layer.timer = 0;
  }
  // A thread timer's WM_TIMER is made when the queue is empty and the period
  // has passed, so at most one tick is ever waiting.
  if (periodMs > 0) Layer.timer = SetTimer(nullptr, 0, static_cast<UINT>(periodMs), nullptr);
}

int WaitForEvent() {
  if (!Layer.initialised) {
    RunBeforeWaitHook();
    return kEventClose;
  }
  // Input and messages already waiting are handed out before the program
  // settles; paints and timer ticks, which Windows makes only when nothing
  // else waits, come after it.
  if (Layer.windowEvents.empty() &&
      HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) == 0) {
    // After a slow settling (a slow disk) the screen does not wait for the
    // next one: what the handlers changed is painted first.
    if (Layer.lastSettleWasSlow) {
      for (const AppWindow& window : Layer.windows) {
        if (window.hwnd != nullptr) {
          RedrawWindow(window.hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
      }
    }
    const ULONGLONG start = GetTickCount64();
    RunBeforeWaitHook();
    Layer.lastSettleWasSlow = GetTickCount64() - start > kSlowSettleMs;
  }
  if (!Layer.windowEvents.empty()) {
    const WindowEvent event = Layer.windowEvents.front();
    Layer.windowEvents.pop_front();
    Layer.lastWindowId = event.window;
    if (event.code == kEventControl) Layer.lastSourceId = event.source;
    return event.code;
  }
  MSG msg{};
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == -1) return kEventClose;
  Layer.lastKeyCode = static_cast<int>(msg.wParam);
  Layer.lastWindowId = msg.hwnd != nullptr       ? WindowIdOfHandle(msg.hwnd)
                       : msg.message == WM_TIMER ? kTimerEventWindow
                                                 : -1;
  if (got == 0) return static_cast<int>(msg.message);  // WM_QUIT: nothing to dispatch
  Layer.producedCode = 0;
  // Tab moves the focus itself (no control sees it) and still reaches the
  // program as the key; what the focus change reported comes next.
  const bool tab = msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && Layer.lastWindowId >= 0;
  if (tab && MoveFocusByTab(msg.hwnd, GetKeyState(VK_SHIFT) < 0)) {
    if (Layer.producedCode != 0 && Layer.windowEvents.size() < kMaxQueuedEvents) {
      Layer.windowEvents.push_back({Layer.producedCode, Layer.producedWindow, Layer.producedSource});
    }
    Layer.producedCode = 0;
    Layer.lastWindowId = WindowIdOfHandle(msg.hwnd);
    return kEventKeyDown;
  }
  const std::size_t queuedBefore = Layer.windowEvents.size();
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  // A window event that came as a message of its own (a posted WM_CLOSE, a
  // WM_PAINT) is handed out once: as that message.
  if (Layer.windowEvents.size() > queuedBefore &&
      Layer.windowEvents.back().code == static_cast<int>(msg.message) &&
      Layer.windowEvents.back().window == Layer.lastWindowId) {
    Layer.windowEvents.pop_back();
  }
  if (Layer.producedCode != 0) {
    Layer.lastSourceId = Layer.producedSource;
    Layer.lastWindowId = Layer.producedWindow;
    const int code = Layer.producedCode;
    Layer.producedCode = 0;
    return code;
  }
  return static_cast<int>(msg.message);
}

int EventSourceId() { return Layer.lastSourceId; }
int EventWindowId() { return Layer.lastWindowId; }
int EventKeyCode() { return Layer.lastKeyCode; }

int MouseXInWindow(int windowId) {
  POINT point{};
  return CursorInClient(windowId, point) ? static_cast<int>(point.x) : -1;
}

int MouseYInWindow(int windowId) {
  POINT point{};
  return CursorInClient(windowId, point) ? static_cast<int>(point.y) : -1;
}
