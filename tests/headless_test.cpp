// The scripted window backend: the rules the program's loops and dialogs rely
// on (radio groups, id reuse, input to disabled windows, the end of the script,
// fonts, pictures, dialog answers).
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "ui/headless.h"
#include "ui/window.h"

namespace {

class HeadlessTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    headless::Reset();
  }
  void TearDown() override {
    headless::Reset();
    TempDirTest::TearDown();
  }
  // Opens window `id` (798 x 530) and makes it the parent of new controls.
  static void OpenWindow(int id) {
    SetControlParent(OpenAppWindow(id, 0, 0, 798, 530, "w", kDialogWindowFlags));
  }
};

TEST_F(HeadlessTest, OptionsSplitIntoGroupsByAnyOtherControl) {
  OpenWindow(3);
  CreateRadioOption(10, 0, 0, 1, 1, "a");
  CreateRadioOption(11, 0, 0, 1, 1, "b");
  CreateGroupFrame(2, 0, 0, 1, 1, "frame");
  CreateRadioOption(12, 0, 0, 1, 1, "c");
  CreateRadioOption(13, 0, 0, 1, 1, "d");
  CreateCheckBox(14, 0, 0, 1, 1, "e");
  CreateRadioOption(15, 0, 0, 1, 1, "f");
  const struct {
    const char* name;
    int id, value;
    bool byUser;
    int want[6];  // options 10..13, check box 14, option 15
  } kCases[] = {
      {"10 on", 10, 1, false, {1, 0, 0, 0, 0, 0}},
      {"12 on leaves the first group", 12, 1, false, {1, 0, 1, 0, 0, 0}},
      {"user picks 11", 11, 1, true, {0, 1, 1, 0, 0, 0}},
      {"user picks 13", 13, 1, true, {0, 1, 0, 1, 0, 0}},
      {"check box value 5 is 1", 14, 5, false, {0, 1, 0, 1, 1, 0}},
      {"15 alone in its group", 15, 1, true, {0, 1, 0, 1, 1, 1}},
      {"13 off clears only itself", 13, 0, false, {0, 1, 0, 0, 1, 1}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.byUser) {
      headless::QueueCheck(c.id, c.value);
      ASSERT_EQ(WaitForEvent(), kEventControl);
      EXPECT_EQ(EventSourceId(), c.id);
    } else {
      SetControlValue(c.id, c.value);
    }
    const int ids[6] = {10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetControlValue(ids[i]), c.want[i]) << ids[i];
  }
}

TEST_F(HeadlessTest, IdReuseDestroysAndClosingFreesIds) {
  OpenWindow(0);
  CreateLabel(85, 1, 2, 3, 4, "old", kLabelSunken);
  CreateLabel(90, 0, 0, 1, 1, "keep", 0);
  CreateCheckBox(85, 5, 6, 7, 8, "new");
  const headless::ControlState* reused = headless::Control(85);
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->kind, headless::ControlKind::CheckBox);
  EXPECT_EQ(reused->flags, 0);
  EXPECT_EQ(reused->x, 5);
  EXPECT_EQ(headless::ControlOrder(), (std::vector<int>{90, 85}));

  OpenWindow(3);
  CreateTextField(34, 0, 0, 1, 1, "3");
  CreateDropDownList(35, 0, 0, 1, 1);
  CloseAppWindow(3);
  EXPECT_EQ(headless::Control(34), nullptr);
  EXPECT_EQ(headless::Control(35), nullptr);
  EXPECT_EQ(GetControlText(34), "");
  EXPECT_EQ(AppWindowHandle(3), 0);
  EXPECT_EQ(headless::ControlOrder(), (std::vector<int>{90, 85}));

  // The closed window's handle is stale: nothing can be created in it.
  CreateLabel(36, 0, 0, 1, 1, "lost", 0);
  EXPECT_EQ(headless::Control(36), nullptr);
  SetControlParent(AppWindowHandle(0));
  CreateLabel(34, 0, 0, 1, 1, "main", 0);
  ASSERT_NE(headless::Control(34), nullptr);
  EXPECT_EQ(headless::Control(34)->window, 0);
}

TEST_F(HeadlessTest, DisabledWindowGetsNoInputButClosesTicksAndRawEvents) {
  OpenWindow(0);
  CreateMenuBar(1, AppWindowHandle(0));
  AddMenuEntry(4, "x");
  CreatePushButton(40, 0, 0, 1, 1, "b");
  CreatePushButton(41, 0, 0, 1, 1, "off");
  SetControlDisabled(41, 1);
  CreateLabel(42, 0, 0, 1, 1, "label", 0);
  OpenWindow(3);
  SetAppWindowDisabled(0, 1);
  const struct {
    const char* name;
    void (*queue)();
    int want;  // kEventClose with a script-end close means the event was dropped
    int wantWindow;
  } kCases[] = {
      {"key", [] { headless::QueueKeyDown(65, 0); }, -1, 3},
      {"alt key", [] { headless::QueueAltKey(65, 0); }, -1, 3},
      {"click", [] { headless::QueueClick(5, 5, 0); }, -1, 3},
      {"menu", [] { headless::QueueMenu(4); }, -1, 3},
      {"button", [] { headless::QueueButton(40); }, -1, 3},
      {"close", [] { headless::QueueClose(0); }, kEventClose, 0},
      {"timer", [] { headless::QueueTimer(); }, kEventTimer, -1},
      {"raw", [] { headless::QueueRawEvent(15, 0); }, 15, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int madeUp = headless::ScriptEndCloses();
    c.queue();
    const int code = WaitForEvent();
    EXPECT_EQ(code, c.want < 0 ? kEventClose : c.want);
    EXPECT_EQ(headless::ScriptEndCloses(), madeUp + (c.want < 0 ? 1 : 0));
    EXPECT_EQ(EventWindowId(), c.wantWindow);
    EXPECT_EQ(headless::PendingEvents(), 0);
  }
  // Enabled again, the main window takes input, but not through a disabled
  // button or a label.
  SetAppWindowDisabled(0, 0);
  headless::QueueButton(41);
  headless::QueueButton(42);
  headless::QueueMenu(4);
  EXPECT_EQ(WaitForEvent(), kEventMenu);
  EXPECT_EQ(EventSourceId(), 4);
  EXPECT_EQ(EventWindowId(), 0);
  EXPECT_EQ(headless::PendingEvents(), 0);
}

TEST_F(HeadlessTest, NewestWindowIsResolvedWhenTheEventIsTaken) {
  headless::QueueKeyDown(27);  // queued before any window opens
  headless::QueueKeyUp(27);
  headless::QueueClose();
  OpenWindow(0);
  OpenWindow(2);
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(EventWindowId(), 2);
  EXPECT_EQ(EventKeyCode(), 27);
  CloseAppWindow(2);
  EXPECT_EQ(WaitForEvent(), kEventKeyUp);
  EXPECT_EQ(EventWindowId(), 0);
  EXPECT_EQ(WaitForEvent(), kEventClose);
  EXPECT_EQ(EventWindowId(), 0);
  EXPECT_EQ(headless::ScriptEndCloses(), 0);

  // The script has run out: close requests for the newest open window.
  OpenWindow(5);
  EXPECT_EQ(WaitForEvent(), kEventClose);
  EXPECT_EQ(EventWindowId(), 5);
  CloseAppWindow(5);
  CloseAppWindow(0);
  EXPECT_EQ(WaitForEvent(), kEventClose);
  EXPECT_EQ(EventWindowId(), -1);
  EXPECT_EQ(headless::ScriptEndCloses(), 2);
}

TEST_F(HeadlessTest, EventFieldsAreLeftAsTheRealLayerLeavesThem) {
  OpenWindow(0);
  CreatePushButton(40, 0, 0, 1, 1, "b");
  CreateDropDownList(35, 0, 0, 1, 1);
  AppendListEntry(35, "a");
  AppendListEntry(35, "b");
  CreateTextField(34, 0, 0, 1, 1, "3");
  headless::QueueButton(40);
  headless::QueueKey(86);
  headless::QueueTimer();
  headless::QueueClick(3, 4);
  headless::QueueListChoice(35, 1);
  headless::QueueListChoice(35, 2);  // no such entry
  headless::QueueTextEdit(34, "12");
  const struct {
    int code, source, key, window;
  } kSteps[] = {
      {kEventControl, 40, 0, 0}, {kEventKeyDown, 40, 86, 0},    {kEventKeyUp, 40, 86, 0},
      {kEventTimer, 40, 0, -1},  {kEventLButtonDown, 40, 0, 0}, {kEventControl, 35, 0, 0},
      {kEventControl, 35, 0, 0}, {kEventControl, 34, 0, 0},
  };
  const int wantList[] = {-1, -1, -1, -1, -1, 1, -1, -1};
  int step = 0;
  for (const auto& s : kSteps) {
    SCOPED_TRACE(step);
    EXPECT_EQ(WaitForEvent(), s.code);
    EXPECT_EQ(EventSourceId(), s.source);
    EXPECT_EQ(EventKeyCode(), s.key);
    EXPECT_EQ(EventWindowId(), s.window);
    EXPECT_EQ(GetControlValue(35), wantList[step++]);
  }
  EXPECT_EQ(GetControlText(34), "12");
}

TEST_F(HeadlessTest, MouseOutsideTheClientAreaIsMinusOne) {
  OpenWindow(0);
  OpenWindow(3);
  const struct {
    int x, y, window, wantX, wantY;
  } kCases[] = {
      {0, 0, 0, 0, 0},     {798, 530, 0, 798, 530}, {799, 10, 0, -1, -1}, {10, 531, 0, -1, -1},
      {-1, 10, 0, -1, -1}, {10, -20, 0, -1, -1},    {550, 25, 3, -1, -1},  // asked of window 0
                                                                           // while the click was in
                                                                           // window 3
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " in " << c.window);
    headless::QueueClick(c.x, c.y, c.window);
    ASSERT_EQ(WaitForEvent(), kEventLButtonDown);
    EXPECT_EQ(MouseXInWindow(0), c.wantX);
    EXPECT_EQ(MouseYInWindow(0), c.wantY);
  }
}

TEST_F(HeadlessTest, DialogsTakeTheirAnswersInOrderAndDisableOtherWindows) {
  OpenWindow(0);
  OpenWindow(1);
  SetAppWindowDisabled(0, 1);
  headless::QueueFileAnswer("/tmp/a.cbr");
  headless::QueueFileAnswer("b.cbr");
  headless::QueueMessageBoxAnswer(7);
  EXPECT_EQ(AskOpenFileName("open", "x.cbr", "F|*.cbr", 0), "/tmp/a.cbr");
  EXPECT_EQ(ShowMessageBox("t", "m", kMessageBoxInformation), 7);
  EXPECT_EQ(AskSaveFileName("save", "", "F|*.cbr", 1), "b.cbr");
  EXPECT_EQ(AskOpenFileName("again", "", "F|*.cbr", 0), "");
  EXPECT_EQ(ShowMessageBox("t2", "m2", 0), 1);
  const std::vector<headless::DialogCall> calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].kind, "open");
  EXPECT_EQ(calls[0].defaultFile, "x.cbr");
  EXPECT_EQ(calls[1].kind, "message");
  EXPECT_EQ(calls[1].text, "m");
  EXPECT_EQ(calls[1].flags, kMessageBoxInformation);
  EXPECT_EQ(calls[2].kind, "save");
  EXPECT_EQ(calls[2].patternIndex, 1);
  for (const auto& call : calls) EXPECT_EQ(call.disabledWindowsDuring, 1) << call.title;
  EXPECT_TRUE(headless::Window(0)->disabled);  // the program's own disabling stays
  EXPECT_FALSE(headless::Window(1)->disabled);
}

TEST_F(HeadlessTest, ReloadedFontLeavesControlsWithTheOldOne) {
  OpenWindow(0);
  CreateLabel(1, 0, 0, 1, 1, "system", 0);
  const NativeHandle big = LoadFontFace(1, "Courier", 10, kFontBold);
  SetControlFont(kSetDefaultFont, big);
  CreateLabel(2, 0, 0, 1, 1, "big", 0);
  const NativeHandle small = LoadFontFace(1, "Courier", 8, kFontBold);
  CreateLabel(3, 0, 0, 1, 1, "default still the big handle", 0);
  SetControlFont(kSetDefaultFont, FontHandle(1));
  CreateLabel(4, 0, 0, 1, 1, "small", 0);
  SetControlFont(1, LoadFontFace(2, "Arial", 9, 0));
  headless::SetFontLoadsFail(true);
  SetControlFont(kSetDefaultFont, LoadFontFace(1, "Courier", 12, kFontBold));
  CreateLabel(5, 0, 0, 1, 1, "a failed load keeps the default", 0);
  EXPECT_NE(big, 0);
  EXPECT_NE(small, 0);
  EXPECT_NE(big, small);
  EXPECT_EQ(FontHandle(1), small);
  EXPECT_EQ(FontHandle(3), 0);
  const struct {
    int id;
    const char* face;
    int points;
    bool bold;
  } kCases[] = {
      {1, "Arial", 9, false},  {2, "Courier", 10, true}, {3, "Courier", 10, true},
      {4, "Courier", 8, true}, {5, "Courier", 8, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    const headless::ControlState* control = headless::Control(c.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->fontFace, c.face);
    EXPECT_EQ(control->fontPoints, c.points);
    EXPECT_EQ(control->fontBold, c.bold);
  }
}

// A bitmap file header and info header for a 24-bit picture, then `pixels`
// bytes of pixel data.
std::string Bitmap(const char* magic, int width, int height, int pixels) {
  std::string bytes(54, '\0');
  auto put = [&](int at, int value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  bytes[0] = magic[0];
  bytes[1] = magic[1];
  put(2, 54 + pixels, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  return bytes + std::string(pixels, '\x7f');
}

TEST_F(HeadlessTest, OnlyACompleteBitmapLoads) {
  const struct {
    const char* name;
    std::string bytes;
    int width, height;
  } kCases[] = {
      {"3 x 2", Bitmap("BM", 3, 2, 24), 3, 2},
      {"top-down", Bitmap("BM", 700, -390, 700 * 3 * 390), 700, 390},
      {"wrong magic", Bitmap("MB", 3, 2, 24), 0, 0},
      {"pixels cut short", Bitmap("BM", 3, 2, 23), 0, 0},
      {"zero width", Bitmap("BM", 0, 2, 24), 0, 0},
      {"header only", Bitmap("BM", 3, 2, 24).substr(0, 20), 0, 0},
      {"empty", "", 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes("p.bmp", c.bytes);
    LoadPictureFile(7, "p.bmp");  // the same id: a failure clears the earlier picture
    const headless::PictureState* picture = headless::Picture(7);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(PictureHandle(7) != 0, c.width > 0);
    EXPECT_EQ(picture->handle, PictureHandle(7));
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, c.height);
  }
  EXPECT_EQ(LoadPictureFile(8, "missing.bmp"), 0);
  EXPECT_EQ(PictureHandle(9), 0);
}

TEST_F(HeadlessTest, ALoopThatNeverEndsAborts) {
  OpenWindow(0);
  EXPECT_DEATH(
      {
        for (;;) WaitForEvent();
      },
      "giving up");
}

}  // namespace
