// What the Win32 backend's tests share: a fixture that starts and ends the
// layer around each case, the native handles behind ids, and event loops that
// give up after a deadline instead of waiting for ever.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/window.h"
#include "ui/win32/window_win32.h"

namespace win32test {

inline HWND WindowHwnd(int windowId) {
  return reinterpret_cast<HWND>(win32window::WindowNativeHandle(windowId));
}
inline HWND ControlHwnd(int controlId) {
  return reinterpret_cast<HWND>(win32window::ControlNativeHandle(controlId));
}

// The Unicode text of a native window.
inline std::wstring NativeText(HWND hwnd) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  return text;
}

// A message no window of the layer gives: the end of what a test posted.
inline constexpr UINT kEndOfScript = WM_APP + 77;

// Posts the end marker to the thread; posted messages come out in order.
inline void PostEndOfScript() { PostThreadMessageW(GetCurrentThreadId(), kEndOfScript, 0, 0); }

struct SeenEvent {
  int code = 0;
  int window = -1;
  int key = 0;
  int source = 0;
};

// WaitForEvent until the end marker (which is not recorded), or for at most
// `milliseconds` should the marker be lost. The ticks of the test's own timer,
// which wakes the wait, are not recorded either.
inline std::vector<SeenEvent> EventsUntilEnd(int milliseconds = 5000) {
  std::vector<SeenEvent> seen;
  const UINT_PTR alarm = SetTimer(nullptr, 0, 50, nullptr);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
    const int code = WaitForEvent();
    if (code == static_cast<int>(kEndOfScript)) break;
    if (code == WM_TIMER && static_cast<UINT_PTR>(EventKeyCode()) == alarm) continue;
    seen.push_back({code, EventWindowId(), EventKeyCode(), EventSourceId()});
  }
  KillTimer(nullptr, alarm);
  return seen;
}

// WaitForEvent until `code` comes or `milliseconds` pass (a thread timer of
// the test wakes the wait). True when it came; everything seen is kept.
inline bool WaitForCode(int code, int milliseconds, std::vector<SeenEvent>* seen = nullptr) {
  const UINT_PTR alarm = SetTimer(nullptr, 0, 25, nullptr);
  const DWORD start = GetTickCount();
  bool found = false;
  while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
    const int got = WaitForEvent();
    if (seen) seen->push_back({got, EventWindowId(), EventKeyCode(), EventSourceId()});
    if (got == code) {
      found = true;
      break;
    }
  }
  KillTimer(nullptr, alarm);
  return found;
}

// Hands out whatever is waiting (paints, activation) so a case starts clean.
inline void DrainEvents() {
  PostEndOfScript();
  EventsUntilEnd();
  while (win32window::QueuedWindowEventCount() > 0) WaitForEvent();
}

class LayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitWindowLayer()); }
  void TearDown() override {
    SetBeforeWaitHook(nullptr);
    ShutdownWindowLayer();
  }
};

}  // namespace win32test
