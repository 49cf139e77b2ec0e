// The Win32 backend's windows and events under Wine: geometry, the
// window-event queue, what WaitForEvent returns for real messages, the
// thread timer, the cursor in client coordinates and the Alt key.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/cp1251.h"
#include "tests/win32/win32_test_support.h"
#include "ui/window.h"
#include "ui/win32/window_win32.h"

namespace {

using win32test::ControlHwnd;
using win32test::DrainEvents;
using win32test::EventsUntilEnd;
using win32test::LayerTest;
using win32test::NativeText;
using win32test::PostEndOfScript;
using win32test::SeenEvent;
using win32test::WaitForCode;
using win32test::WindowHwnd;

constexpr int kMainId = 0;

void BuildMainMenu(NativeHandle window) {
  CreateMenuBar(1, window);
  AddMenuTitle("Файл"_cp);
  AddMenuEntry(1, "Создать"_cp);
  AddMenuSeparator();
  AddMenuEntry(4, "Выход"_cp);
  AddMenuTitle("Помощь"_cp);
  AddMenuEntry(32, "О программе"_cp);
}

RECT ClientRect(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  return client;
}

RECT OuterRect(HWND hwnd) {
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  return outer;
}

TEST(Arithmetic, CentredPositionIsHalfTheRestTruncatedAndCappedAtTheScreen) {
  const struct {
    int screen, outer, expected;
  } kCases[] = {
      {1024, 804, 110}, {1024, 805, 109}, {768, 574, 97}, {768, 768, 0}, {768, 2000, 0}, {1, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.screen << " " << c.outer);
    EXPECT_EQ(win32window::CentredPosition(c.screen, c.outer), c.expected);
  }
}

TEST_F(LayerTest, MainWindowClientAreaHoldsTheMenuBar) {
  const NativeHandle window =
      OpenAppWindow(kMainId, 0, 0, 798, 530, "Corvane v7.0", kMainWindowFlags);
  ASSERT_NE(window, 0);
  const HWND hwnd = WindowHwnd(kMainId);
  ASSERT_EQ(reinterpret_cast<HWND>(window), hwnd);
  const RECT before = ClientRect(hwnd);
  EXPECT_EQ(before.right, 798);
  EXPECT_EQ(before.bottom, 530);
  const RECT outerBefore = OuterRect(hwnd);
  POINT originBefore{0, 0};
  ClientToScreen(hwnd, &originBefore);

  BuildMainMenu(window);
  const RECT after = ClientRect(hwnd);
  MENUBARINFO bar{};
  bar.cbSize = sizeof(bar);
  ASSERT_TRUE(GetMenuBarInfo(hwnd, OBJID_MENU, 0, &bar));
  const int barHeight = bar.rcBar.bottom - bar.rcBar.top;
  EXPECT_GT(barHeight, 10);
  EXPECT_EQ(after.right, 798);
  // The bar (and the line under it) come off the client area; the outer size stays.
  POINT originAfter{0, 0};
  ClientToScreen(hwnd, &originAfter);
  const int shift = static_cast<int>(originAfter.y - originBefore.y);
  EXPECT_EQ(after.bottom, 530 - shift);
  EXPECT_NEAR(shift, barHeight, 1);
  const RECT outerAfter = OuterRect(hwnd);
  EXPECT_EQ(outerAfter.right - outerAfter.left, outerBefore.right - outerBefore.left);
  EXPECT_EQ(outerAfter.bottom - outerAfter.top, outerBefore.bottom - outerBefore.top);
  EXPECT_EQ(GetMenuItemCount(GetMenu(hwnd)), 2);
}

TEST_F(LayerTest, WindowsHaveTheOuterSizeOfTheirClientAreaAndAreCentred) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const struct {
    int id, width, height;
    uint32_t flags;
  } kCases[] = {
      {0, 798, 530, kMainWindowFlags},  {1, 640, 420, kDialogWindowFlags},
      {2, 372, 130, kDialogWindowFlags}, {3, 390, 490, kDialogWindowFlags},
      {5, 700, 390, kDialogWindowFlags}, {6, 3000, 2000, kDialogWindowFlags},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "window " << c.id << " " << c.width << "x" << c.height);
    ASSERT_NE(OpenAppWindow(c.id, 0, 0, c.width, c.height, "окно"_cp, c.flags), 0);
    const HWND hwnd = WindowHwnd(c.id);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    RECT expected{0, 0, c.width, c.height};
    AdjustWindowRectEx(&expected, style, FALSE, 0);
    const int outerWidth = std::min<int>(expected.right - expected.left, screenWidth);
    const int outerHeight = std::min<int>(expected.bottom - expected.top, screenHeight);
    const RECT outer = OuterRect(hwnd);
    EXPECT_EQ(outer.right - outer.left, outerWidth);
    EXPECT_EQ(outer.bottom - outer.top, outerHeight);
    EXPECT_EQ(outer.left, (screenWidth - outerWidth) / 2);
    EXPECT_EQ(outer.top, (screenHeight - outerHeight) / 2);
    if (outerWidth < screenWidth) {
      EXPECT_EQ(ClientRect(hwnd).right, c.width);
      EXPECT_EQ(ClientRect(hwnd).bottom, c.height);
    }
    // Neither resizable nor maximisable; only the main window can be minimised.
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, c.flags == kMainWindowFlags);
    EXPECT_NE(style & WS_CAPTION, 0u);
    EXPECT_NE(style & WS_SYSMENU, 0u);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    // The program's icon (or the system's) and the button face.
    EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
    EXPECT_EQ(NativeText(hwnd), L"окно");
  }
}

TEST_F(LayerTest, OpeningFailsForBadIdsAndSizes) {
  const struct {
    int id, width, height;
  } kCases[] = {{-1, 100, 100}, {16, 100, 100}, {1, 0, 100}, {1, 100, -5}, {1, 20000, 100}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.width << "x" << c.height);
    EXPECT_EQ(OpenAppWindow(c.id, 0, 0, c.width, c.height, "x", kDialogWindowFlags), 0);
  }
  EXPECT_EQ(AppWindowHandle(1), 0);
}

TEST_F(LayerTest, WindowEventsAreQueuedOnceAndHandedOutFirst) {
  ASSERT_NE(OpenAppWindow(0, 0, 0, 200, 100, "a", kMainWindowFlags), 0);
  ASSERT_NE(OpenAppWindow(1, 0, 0, 200, 100, "b", kDialogWindowFlags), 0);
  DrainEvents();
  const HWND main = WindowHwnd(0);
  const HWND dialog = WindowHwnd(1);
  // Sent straight to the window procedures, as the system does for a close
  // button or a move: each is queued unless it equals the newest one waiting.
  SendMessageW(main, WM_CLOSE, 0, 0);
  SendMessageW(main, WM_CLOSE, 0, 0);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
  SendMessageW(main, WM_CLOSE, 0, 0);
  SendMessageW(main, WM_MOVE, 0, 0);
  SendMessageW(main, WM_MOVE, 0, 0);
  SendMessageW(main, WM_SIZE, 0, 0);
  EXPECT_EQ(win32window::QueuedWindowEventCount(), 5);
  PostEndOfScript();
  const std::vector<SeenEvent> seen = EventsUntilEnd();
  const struct {
    int code, window;
  } kExpected[] = {{16, 0}, {16, 1}, {16, 0}, {3, 0}, {5, 0}};
  ASSERT_EQ(seen.size(), std::size(kExpected));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].code, kExpected[i].code);
    EXPECT_EQ(seen[i].window, kExpected[i].window);
  }
  // Nothing closed by itself.
  EXPECT_TRUE(IsWindow(main));
  EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(LayerTest, APostedCloseIsOneEventAndClosingDropsWhatIsQueued) {
  ASSERT_NE(OpenAppWindow(0, 0, 0, 200, 100, "a", kMainWindowFlags), 0);
  ASSERT_NE(OpenAppWindow(1, 0, 0, 200, 100, "b", kDialogWindowFlags), 0);
  DrainEvents();
  PostMessageW(WindowHwnd(1), WM_CLOSE, 0, 0);
  PostEndOfScript();
  std::vector<SeenEvent> seen = EventsUntilEnd();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].code, kEventClose);
  EXPECT_EQ(seen[0].window, 1);

  SendMessageW(WindowHwnd(1), WM_CLOSE, 0, 0);
  SendMessageW(WindowHwnd(0), WM_MOVE, 0, 0);
  CloseAppWindow(1);  // window 0 may be activated on the way
  EXPECT_EQ(AppWindowHandle(1), 0);
  PostEndOfScript();
  seen = EventsUntilEnd();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].code, 3);
  EXPECT_EQ(seen[0].window, 0);
  for (const SeenEvent& event : seen) EXPECT_NE(event.window, 1);
}

TEST_F(LayerTest, MessagesComeBackWithTheirNumberWindowAndFirstParameter) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 300, 200, "a", kMainWindowFlags);
  ASSERT_NE(main, 0);
  BuildMainMenu(main);
  const NativeHandle dialog = OpenAppWindow(1, 0, 0, 300, 200, "b", kDialogWindowFlags);
  SetControlParent(dialog);
  CreatePushButton(500, 10, 10, 80, 24, "Кнопка"_cp);
  CreateLabel(501, 10, 40, 80, 24, "метка"_cp, kLabelLeft);
  DrainEvents();

  PostMessageW(WindowHwnd(0), WM_KEYDOWN, 'A', 0x001E0001);
  PostMessageW(WindowHwnd(0), WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001));
  PostMessageW(ControlHwnd(501), WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(WindowHwnd(0), WM_COMMAND, MAKEWPARAM(32, 0), 0);
  PostMessageW(WindowHwnd(0), WM_APP + 5, 1234, 0);
  PostMessageW(ControlHwnd(500), BM_CLICK, 0, 0);
  PostEndOfScript();
  std::vector<SeenEvent> seen = EventsUntilEnd();
  std::erase_if(seen, [](const SeenEvent& e) { return e.code == WM_CHAR || e.code == 15; });
  const struct {
    int code, window, key, source;
  } kExpected[] = {
      {kEventKeyDown, 0, 'A', 0},   {kEventKeyUp, 0, 'A', 0},
      {kEventKeyDown, 1, VK_RETURN, 0}, {kEventMenu, 0, MAKEWPARAM(32, 0), 32},
      {WM_APP + 5, 0, 1234, 32},     {kEventControl, 1, 0, 500},
  };
  ASSERT_EQ(seen.size(), std::size(kExpected));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].code, kExpected[i].code);
    EXPECT_EQ(seen[i].window, kExpected[i].window);
    EXPECT_EQ(seen[i].source, kExpected[i].source);
    if (seen[i].code != kEventControl) {
      EXPECT_EQ(seen[i].key, kExpected[i].key);
    }
  }
}

// The hook runs only when nothing waits: a queued window event and posted
// input are handed out first.
TEST_F(LayerTest, BeforeWaitHookRunsWhenNothingWaits) {
  static int calls = 0;
  calls = 0;
  SetBeforeWaitHook([] { ++calls; });
  ASSERT_NE(OpenAppWindow(0, 0, 0, 200, 100, "a", kMainWindowFlags), 0);
  DrainEvents();
  SendMessageW(WindowHwnd(0), WM_CLOSE, 0, 0);
  PostMessageW(WindowHwnd(0), WM_KEYDOWN, 'A', 0);
  const int before = calls;
  EXPECT_EQ(WaitForEvent(), kEventClose);
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(calls, before);
  StartThreadTimer(20);
  // The key's WM_CHAR still waits; then nothing does: the hook, then the wait.
  EXPECT_TRUE(WaitForCode(kEventTimer, 2000));
  StartThreadTimer(0);
  EXPECT_EQ(calls, before + 1);
  SetBeforeWaitHook(nullptr);
}

TEST_F(LayerTest, ThreadTimerTicksBelongToTheMainWindowOneAtATime) {
  ASSERT_NE(OpenAppWindow(0, 0, 0, 200, 100, "a", kMainWindowFlags), 0);
  DrainEvents();
  StartThreadTimer(20);
  Sleep(150);  // several periods pass without a wait
  std::vector<SeenEvent> seen;
  ASSERT_TRUE(WaitForCode(kEventTimer, 2000, &seen));
  EXPECT_EQ(EventWindowId(), 0);
  MSG waiting{};
  EXPECT_FALSE(PeekMessageW(&waiting, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE))
      << "a second tick was pending";
  StartThreadTimer(0);
}

TEST_F(LayerTest, CursorPositionIsInClientCoordinatesAndMinusOneOutside) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 798, 530, "a", kMainWindowFlags);
  ASSERT_NE(main, 0);
  BuildMainMenu(main);
  const HWND hwnd = WindowHwnd(0);
  const RECT client = ClientRect(hwnd);
  const struct {
    const char* where;
    int x, y;  // client coordinates to put the cursor at
    bool inside;
  } kCases[] = {
      {"top left", 0, 0, true},
      {"middle", 400, 200, true},
      {"right and bottom edges", client.right, client.bottom, true},
      {"beyond the right edge", client.right + 1, 10, false},
      {"below the bottom edge", 10, client.bottom + 1, false},
      {"menu bar", 20, -5, false},
      {"title bar", 20, -30, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.where);
    POINT point{c.x, c.y};
    ClientToScreen(hwnd, &point);
    ASSERT_TRUE(SetCursorPos(point.x, point.y));
    EXPECT_EQ(MouseXInWindow(0), c.inside ? c.x : -1);
    EXPECT_EQ(MouseYInWindow(0), c.inside ? c.y : -1);
  }
  EXPECT_EQ(MouseXInWindow(3), -1);  // no such window
}

TEST_F(LayerTest, ALabelPassesARealClickToItsWindowAndAButtonReportsIt) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 400, 300, "a", kMainWindowFlags);
  ASSERT_NE(main, 0);
  SetControlParent(main);
  CreateLabel(150, 100, 50, 60, 15, "UA1AAA", kLabelCentred);
  CreatePushButton(151, 100, 150, 80, 24, "OK");
  ActivateAppWindow(0);
  DrainEvents();
  const struct {
    const char* what;
    int x, y;
    int expectedCode;
  } kCases[] = {
      {"label", 110, 57, kEventLButtonDown},
      {"button", 120, 160, kEventControl},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    POINT point{c.x, c.y};
    ClientToScreen(WindowHwnd(0), &point);
    SetCursorPos(point.x, point.y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
    std::vector<SeenEvent> seen;
    ASSERT_TRUE(WaitForCode(c.expectedCode, 3000, &seen));
    EXPECT_EQ(EventWindowId(), 0);
    if (c.expectedCode == kEventLButtonDown) {
      EXPECT_EQ(MouseXInWindow(0), c.x);
      EXPECT_EQ(MouseYInWindow(0), c.y);
      WaitForCode(WM_LBUTTONUP, 1000, &seen);
      for (const SeenEvent& e : seen) EXPECT_NE(e.code, kEventControl);
    } else {
      EXPECT_EQ(EventSourceId(), 151);
    }
  }
}

// Alt pressed and released alone (and F10) must leave the menu bar alone, so
// that the keys after it still reach the grid; Alt+letter comes as 260/261.
TEST_F(LayerTest, AltAloneDoesNotEnterMenuMode) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 400, 300, "a", kMainWindowFlags);
  ASSERT_NE(main, 0);
  BuildMainMenu(main);
  ActivateAppWindow(0);
  DrainEvents();
  const HWND hwnd = WindowHwnd(0);
  // A guard: a menu loop entered by mistake would hold the wait until Escape.
  std::atomic<bool> done{false};
  std::atomic<bool> menuSeen{false};
  std::thread guard([&done, &menuSeen, hwnd, thread = GetCurrentThreadId()] {
    for (int i = 0; i < 100 && !done; ++i) {
      Sleep(50);
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      const bool inMenu = GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0;
      if (inMenu || i >= 40) {
        menuSeen = true;
        PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(hwnd, WM_CANCELMODE, 0, 0);
      }
    }
  });
  const struct {
    const char* what;
    UINT message;
    WPARAM key;
    LPARAM flags;
    int expected;
  } kKeys[] = {
      {"Alt down", WM_SYSKEYDOWN, VK_MENU, 0x20380001, kEventSysKeyDown},
      {"Alt up", WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xE0380001), kEventSysKeyUp},
      {"Alt down", WM_SYSKEYDOWN, VK_MENU, 0x20380001, kEventSysKeyDown},
      {"A with Alt", WM_SYSKEYDOWN, 'A', 0x201E0001, kEventSysKeyDown},
      {"A up with Alt", WM_SYSKEYUP, 'A', static_cast<LPARAM>(0xE01E0001), kEventSysKeyUp},
      {"Alt up", WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0380001), kEventKeyUp},
      {"F10 down", WM_SYSKEYDOWN, VK_F10, 0x00440001, kEventSysKeyDown},
      {"F10 up", WM_SYSKEYUP, VK_F10, static_cast<LPARAM>(0xC0440001), kEventSysKeyUp},
      {"a key after them", WM_KEYDOWN, 'B', 0x00300001, kEventKeyDown},
  };
  for (const auto& k : kKeys) PostMessageW(hwnd, k.message, k.key, k.flags);
  PostEndOfScript();
  std::vector<SeenEvent> seen = EventsUntilEnd();
  // The system command that Alt alone and F10 end in is refused, too.
  const LRESULT keyMenu = SendMessageW(hwnd, WM_SYSCOMMAND, SC_KEYMENU, 0);
  done = true;
  guard.join();
  EXPECT_FALSE(menuSeen) << "the menu bar went into keyboard mode";
  EXPECT_EQ(keyMenu, 0);
  std::erase_if(seen, [](const SeenEvent& e) {
    return e.code == WM_SYSCHAR || e.code == WM_CHAR || e.code == 15 || e.code == 275;
  });
  ASSERT_EQ(seen.size(), std::size(kKeys));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(kKeys[i].what);
    EXPECT_EQ(seen[i].code, kKeys[i].expected);
    EXPECT_EQ(seen[i].key, static_cast<int>(kKeys[i].key));
  }
}

}  // namespace
