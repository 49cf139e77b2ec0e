// The Win32 backend's controls under Wine: fonts, the Tab order, colours,
// radio groups, Windows-1251 texts through the wide-character controls,
// control ids and pictures.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
using win32test::WindowHwnd;

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

NativeHandle OpenDialog(int id = 1) {
  const NativeHandle window = OpenAppWindow(id, 0, 0, 400, 300, "диалог"_cp, kDialogWindowFlags);
  SetControlParent(window);
  return window;
}

TEST(Arithmetic, FontHeightIsPointsAtTheDisplaysDotsPerInchRounded) {
  const struct {
    int points, dpi, height;
  } kCases[] = {
      {8, 96, -11}, {10, 96, -13}, {9, 96, -12}, {8, 120, -13}, {10, 120, -17}, {10, 144, -20},
      {1, 96, -1},  {12, 72, -12},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.points << " pt at " << c.dpi << " dpi");
    EXPECT_EQ(win32window::FontHeightFor(c.points, c.dpi), c.height);
  }
}

TEST(Arithmetic, LineEndsOfTheMultiLineControl) {
  const struct {
    std::string_view ours, control;
  } kCases[] = {
      {"", ""}, {"a", "a"}, {"a\nb", "a\r\nb"}, {"a\n", "a\r\n"}, {"\n\n", "\r\n\r\n"},
      {"a\r\nb", "a\r\nb"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ours));
    EXPECT_EQ(win32window::ToControlLineEnds(c.ours), c.control);
  }
  EXPECT_EQ(win32window::FromControlLineEnds("a\r\nb\r\n"), "a\nb\n");
  EXPECT_EQ(win32window::FromControlLineEnds("a\rb\r"), "a\rb\r");  // a lone CR stays
}

TEST_F(LayerTest, FontsHaveTheHeightWeightAndCharacterSetAsked) {
  const int dpi = ScreenDpi();
  const struct {
    int id, points, style;
    LONG weight;
  } kCases[] = {{1, 10, kFontBold, 700}, {2, 8, kFontBold, 700}, {3, 10, 0, 400}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.points << " pt style " << c.style);
    const NativeHandle font = LoadFontFace(c.id, "Courier", c.points, c.style);
    ASSERT_NE(font, 0);
    EXPECT_EQ(FontHandle(c.id), font);
    LOGFONTW described{};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(font), sizeof(described), &described),
              static_cast<int>(sizeof(described)));
    EXPECT_EQ(described.lfHeight, win32window::FontHeightFor(c.points, dpi));
    EXPECT_EQ(described.lfWeight, c.weight);
    EXPECT_EQ(described.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(described.lfFaceName, L"Courier");
  }
  EXPECT_EQ(LoadFontFace(4, "", 10, 0), 0);
  EXPECT_EQ(LoadFontFace(4, "Courier", 0, 0), 0);
  EXPECT_EQ(FontHandle(4), 0);
}

TEST_F(LayerTest, ControlsKeepTheFontTheyWereGivenWhenItsIdIsReloaded) {
  OpenDialog();
  const HFONT system = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  CreateLabel(10, 0, 0, 50, 15, "", 0);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(ControlHwnd(10), WM_GETFONT, 0, 0)), system);
  const NativeHandle first = LoadFontFace(1, "Courier", 10, kFontBold);
  SetControlFont(kSetDefaultFont, first);
  CreateLabel(11, 0, 20, 50, 15, "", 0);
  const NativeHandle second = LoadFontFace(1, "Courier", 8, kFontBold);
  ASSERT_NE(first, second);
  CreateLabel(12, 0, 40, 50, 15, "", 0);
  SetControlFont(10, second);
  SetControlFont(13, second);                    // no such control: nothing happens
  SetControlFont(10, static_cast<NativeHandle>(12345));  // no font of ours: ignored
  const struct {
    int id;
    NativeHandle font;
  } kCases[] = {{10, second}, {11, first}, {12, first}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(SendMessageW(ControlHwnd(c.id), WM_GETFONT, 0, 0), c.font);
  }
  LOGFONTW described{};
  EXPECT_GT(GetObjectW(reinterpret_cast<HFONT>(first), sizeof(described), &described), 0)
      << "the replaced font was deleted under a control showing it";
}

TEST_F(LayerTest, TabMovesTheFocusThroughEnabledVisibleControlsInCreationOrder) {
  OpenDialog();
  CreatePushButton(20, 10, 10, 80, 22, "первая"_cp);
  CreateLabel(21, 10, 40, 80, 15, "метка"_cp, 0);
  CreateTextField(22, 10, 60, 80, 20, "поле"_cp);
  CreateCheckBox(23, 10, 90, 80, 20, "выкл"_cp);
  CreateGroupFrame(24, 5, 115, 200, 60, "рамка"_cp);
  CreateRadioOption(25, 10, 130, 80, 20, "один"_cp);
  CreateRadioOption(26, 10, 150, 80, 20, "скрыт"_cp);
  CreateDropDownList(27, 10, 180, 80, 100);
  CreatePicture(28, 100, 10, 20, 20, 0);
  SetControlDisabled(23, 1);
  ShowWindow(ControlHwnd(26), SW_HIDE);
  ActivateAppWindow(1);
  DrainEvents();

  const struct {
    const char* step;
    bool shift;
    int focusAfter;
  } kSteps[] = {
      {"from the window to the first", false, 20}, {"over the label", false, 22},
      {"over the disabled box and the frame", false, 25}, {"over the hidden option", false, 27},
      {"wrapping to the first", false, 20},        {"back, wrapping to the last", true, 27},
      {"back", true, 25},                          {"back", true, 22},
  };
  SetFocus(WindowHwnd(1));
  BYTE keys[256] = {};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.step);
    GetKeyboardState(keys);
    keys[VK_SHIFT] = step.shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    PostEndOfScript();
    std::vector<SeenEvent> seen = EventsUntilEnd();
    std::erase_if(seen, [](const SeenEvent& e) { return e.code != kEventKeyDown; });
    ASSERT_EQ(seen.size(), 1u);  // the key still reaches the program, focus events aside
    EXPECT_EQ(seen[0].key, VK_TAB);
    EXPECT_EQ(seen[0].window, 1);
    EXPECT_EQ(GetFocus(), ControlHwnd(step.focusAfter));
  }
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

TEST_F(LayerTest, TabInAWindowWithoutFocusableControlsStillArrives) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 300, 200, "a", kMainWindowFlags);
  SetControlParent(main);
  CreateLabel(100, 0, 0, 50, 15, "", 0);
  DrainEvents();
  PostMessageW(WindowHwnd(0), WM_KEYDOWN, VK_TAB, 0x000F0001);
  PostEndOfScript();
  const std::vector<SeenEvent> seen = EventsUntilEnd();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].code, kEventKeyDown);
  EXPECT_EQ(seen[0].key, VK_TAB);
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH described{};
  GetObjectW(brush, sizeof(described), &described);
  return described.lbColor;
}

TEST_F(LayerTest, ColouredControlsAnswerWithTheirBrushAndColours) {
  OpenDialog();
  CreateLabel(30, 0, 0, 50, 15, "a", 0);
  CreateLabel(31, 0, 20, 50, 15, "b", 0);
  CreateLabel(32, 0, 40, 50, 15, "c", 0);
  CreateTextField(33, 0, 60, 50, 20, "d");
  CreateLabel(34, 0, 90, 50, 15, "e", 0);
  SetControlColour(30, kColourText, 0x0000FF);  // red text on green
  SetControlColour(30, kColourBack, 0x00FF00);
  SetControlColour(31, kColourText, 0xFF0000);  // blue text, no background
  SetControlColour(33, kColourBack, 0x123456);
  SetControlColour(33, kColourText, 0x010203);
  SetControlColour(34, kColourBack, 0x00FFFF);
  SetControlColour(34, kColourBack, -1);  // back to the system's
  SetControlColour(34, 3, 0x00FFFF);      // another kind only repaints
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const struct {
    int id;
    UINT message;
    bool ours;  // answered by the backend
    COLORREF brush, text, back;
  } kCases[] = {
      {30, WM_CTLCOLORSTATIC, true, 0x00FF00, 0x0000FF, 0x00FF00},
      {31, WM_CTLCOLORSTATIC, true, face, 0xFF0000, face},
      {32, WM_CTLCOLORSTATIC, false, 0, 0, 0},
      {33, WM_CTLCOLOREDIT, true, 0x123456, 0x010203, 0x123456},
      {34, WM_CTLCOLORSTATIC, false, 0, 0, 0},
  };
  const HDC dc = CreateCompatibleDC(nullptr);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    SetTextColor(dc, 0x777777);
    SetBkColor(dc, 0x777777);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        WindowHwnd(1), c.message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ControlHwnd(c.id))));
    if (!c.ours) {
      EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));  // the system's answer
      continue;
    }
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(BrushColour(brush), c.brush);
    EXPECT_EQ(GetTextColor(dc), c.text);
    EXPECT_EQ(GetBkColor(dc), c.back);
  }
  DeleteDC(dc);
}

TEST_F(LayerTest, GroupFramesLieUnderTheControlsTheyFrame) {
  OpenDialog();
  CreateGroupFrame(80, 10, 10, 200, 100, "до"_cp);  // made before its controls
  CreateCheckBox(81, 20, 30, 100, 20, "a");
  CreateRadioOption(82, 20, 130, 100, 20, "b");
  CreateGroupFrame(83, 10, 110, 200, 100, "после"_cp);  // made after them
  CreateLabel(84, 20, 60, 100, 15, "c", 0);
  const struct {
    int id;
    POINT inside;
  } kCases[] = {{81, {30, 35}}, {82, {30, 135}}, {84, {30, 65}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    // The topmost child at the point, by z-order alone.
    EXPECT_EQ(ChildWindowFromPointEx(WindowHwnd(1), c.inside, CWP_SKIPINVISIBLE),
              ControlHwnd(c.id));
  }
}

TEST_F(LayerTest, RadioOptionsCreatedInARowFormAGroup) {
  OpenDialog();
  CreateRadioOption(40, 0, 0, 80, 20, "a");
  CreateRadioOption(41, 0, 20, 80, 20, "b");
  CreateRadioOption(42, 0, 40, 80, 20, "c");
  CreateGroupFrame(43, 0, 60, 80, 20, "frame");  // ends the group
  CreateRadioOption(44, 0, 80, 80, 20, "d");
  CreateRadioOption(45, 0, 100, 80, 20, "e");
  const struct {
    const char* step;
    int id, value;
    bool click;
    int expected[5];  // values of 40, 41, 42, 44, 45
  } kSteps[] = {
      {"set a", 40, 1, false, {1, 0, 0, 0, 0}},  {"set d", 44, 1, false, {1, 0, 0, 1, 0}},
      {"set c", 42, 1, false, {0, 0, 1, 1, 0}},  {"click e", 45, 1, true, {0, 0, 1, 0, 1}},
      {"click e again", 45, 1, true, {0, 0, 1, 0, 1}}, {"click b", 41, 1, true, {0, 1, 0, 0, 1}},
      {"clear b", 41, 0, false, {0, 0, 0, 0, 1}},
  };
  DrainEvents();
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.step);
    if (step.click) {
      PostMessageW(ControlHwnd(step.id), BM_CLICK, 0, 0);
      PostEndOfScript();
      const std::vector<SeenEvent> seen = EventsUntilEnd();
      bool reported = false;
      for (const SeenEvent& e : seen) reported |= e.code == kEventControl && e.source == step.id;
      EXPECT_TRUE(reported);
    } else {
      SetControlValue(step.id, step.value);
    }
    const int ids[] = {40, 41, 42, 44, 45};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(GetControlValue(ids[i]), step.expected[i]) << ids[i];
  }
}

TEST_F(LayerTest, Windows1251TextsRoundTripThroughTheWideControls) {
  OpenDialog();
  const std::string_view text = "Привет, Ёжик № 5 — «ура»"_cp;
  const std::wstring wide = L"Привет, Ёжик № 5 — «ура»";
  CreateLabel(50, 0, 0, 200, 15, text, 0);
  CreateTextField(51, 0, 20, 200, 20, "");
  CreatePushButton(52, 0, 50, 200, 20, text);
  CreateTextBox(53, 0, 80, 200, 100, "");
  CreateDropDownList(54, 0, 190, 200, 100);
  SetControlText(51, text);
  SetAppWindowTitle(1, text);
  const struct {
    int id;
  } kCases[] = {{50}, {51}, {52}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(GetControlText(c.id), text);
    EXPECT_EQ(NativeText(ControlHwnd(c.id)), wide);
  }
  EXPECT_EQ(NativeText(WindowHwnd(1)), wide);

  // The text box: our "\n" is the control's "\r\n", and back.
  const std::string_view lines = "строка 1\nстрока 2\n\nконец"_cp;
  SetControlText(53, lines);
  EXPECT_EQ(NativeText(ControlHwnd(53)), L"строка 1\r\nстрока 2\r\n\r\nконец");
  EXPECT_EQ(SendMessageW(ControlHwnd(53), EM_GETLINECOUNT, 0, 0), 4);
  EXPECT_EQ(GetControlText(53), lines);
  const auto style = GetWindowLongPtrW(ControlHwnd(53), GWL_STYLE);
  EXPECT_NE(style & ES_READONLY, 0);
  EXPECT_NE(style & WS_VSCROLL, 0);
  EXPECT_NE(style & WS_HSCROLL, 0);

  AppendListEntry(54, "первый"_cp);
  AppendListEntry(54, "второй"_cp);
  EXPECT_EQ(GetControlValue(54), -1);  // a new entry is not chosen by itself
  SetControlValue(54, 1);
  EXPECT_EQ(GetControlValue(54), 1);
  EXPECT_EQ(GetControlText(54), "второй"_cp);
  SetControlValue(54, 7);
  EXPECT_EQ(GetControlValue(54), -1);
}

TEST_F(LayerTest, TypingIntoAFieldReportsItButSettingItsTextDoesNot) {
  OpenDialog();
  CreateTextField(60, 0, 0, 200, 20, "");
  ActivateAppWindow(1);
  SetFocus(ControlHwnd(60));
  DrainEvents();
  SetControlText(60, "UA1AAA");
  PostMessageW(ControlHwnd(60), WM_CHAR, 'B', 0x00300001);
  PostEndOfScript();
  const std::vector<SeenEvent> seen = EventsUntilEnd();
  int reports = 0;
  for (const SeenEvent& e : seen) reports += e.code == kEventControl && e.source == 60;
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(GetControlText(60).size(), 7u);
}

TEST_F(LayerTest, AControlIdInUseIsDestroyedFirstAndClosingFreesIds) {
  const NativeHandle main = OpenAppWindow(0, 0, 0, 300, 200, "a", kMainWindowFlags);
  OpenDialog();
  CreateLabel(100, 0, 0, 50, 15, "метка"_cp, 0);
  const HWND label = ControlHwnd(100);
  CreatePushButton(100, 0, 0, 50, 20, "кнопка"_cp);
  EXPECT_FALSE(IsWindow(label));
  const HWND button = ControlHwnd(100);
  EXPECT_EQ(GetControlText(100), "кнопка"_cp);
  CloseAppWindow(1);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(ControlHwnd(100), nullptr);
  EXPECT_EQ(GetControlText(100), "");
  SetControlParent(main);
  CreateLabel(100, 0, 0, 50, 15, "снова"_cp, 0);
  EXPECT_EQ(GetParent(ControlHwnd(100)), WindowHwnd(0));
  EXPECT_EQ(GetControlText(100), "снова"_cp);
  // No parent window chosen (its window closed): nothing is made.
  SetControlParent(0);
  CreateLabel(101, 0, 0, 50, 15, "x", 0);
  EXPECT_EQ(ControlHwnd(101), nullptr);
}

// A 2 x 2 Windows bitmap of 24 bits per pixel.
bool WriteBitmap(const std::wstring& path) {
  const unsigned char bytes[] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
      0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // info header
      0, 0, 255, 0, 255, 0, 0, 0,  // bottom row, padded to 8 bytes
      255, 0, 0, 255, 255, 255, 0, 0,
  };
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
  return fclose(file) == 0 && written;
}

TEST_F(LayerTest, PicturesLoadFromWindowsBitmapsAndFailToZero) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"картинка.bmp";
  ASSERT_TRUE(WriteBitmap(path));
  const std::string bytes = cp1251::FromUtf16(std::u16string(path.begin(), path.end()));
  const struct {
    const char* what;
    std::string file;
    bool loads;
  } kCases[] = {
      {"a bitmap with a Cyrillic name", bytes, true},
      {"a missing file", bytes + "x", false},
      {"no name", "", false},
  };
  OpenDialog();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const NativeHandle picture = LoadPictureFile(1, c.file);
    EXPECT_EQ(PictureHandle(1), picture);
    CreatePicture(70, 0, 0, 2, 2, picture);
    const auto shown = SendMessageW(ControlHwnd(70), STM_GETIMAGE, IMAGE_BITMAP, 0);
    if (c.loads) {
      ASSERT_NE(picture, 0);
      BITMAP described{};
      ASSERT_GT(GetObjectW(reinterpret_cast<HBITMAP>(picture), sizeof(described), &described), 0);
      EXPECT_EQ(described.bmWidth, 2);
      EXPECT_EQ(described.bmHeight, 2);
      EXPECT_EQ(shown, picture);
    } else {
      EXPECT_EQ(picture, 0);
      EXPECT_EQ(shown, 0);  // blank
    }
  }
  DeleteFileW(path.c_str());
}

}  // namespace
