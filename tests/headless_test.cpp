// The scripted window backend: the rules the program's loops and dialogs rely
// on (radio groups, id reuse, input to disabled windows, the end of the script,
// fonts, pictures, dialog answers).
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "ui/headless.h"
#include "ui/window.h"

namespace {

// ProgramTest empties the backend before each test.
class HeadlessTest : public ProgramTest {
 protected:
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
    int id, value;
    bool byUser;
    const char* want;  // options 10..13, check box 14, option 15
  } kCases[] = {
      {10, 1, false, "100000"}, {12, 1, false, "101000"}, {11, 1, true, "011000"},
      {13, 1, true, "010100"},  {14, 5, false, "010110"}, {15, 1, true, "010111"},
      {13, 0, false, "010011"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.id << " set to " << c.value);
    if (c.byUser) {
      headless::QueueCheck(c.id, c.value);
      ASSERT_EQ(WaitForEvent(), kEventControl);
    } else {
      SetControlValue(c.id, c.value);
    }
    std::string shown;
    for (int id = 10; id <= 15; ++id) shown += std::to_string(GetControlValue(id));
    EXPECT_EQ(shown, c.want);
  }
}

TEST_F(HeadlessTest, IdReuseDestroysAndClosingFreesIds) {
  OpenWindow(0);
  CreateLabel(85, 1, 2, 3, 4, "old", kLabelSunken);
  CreateLabel(90, 0, 0, 1, 1, "keep", 0);
  CreateCheckBox(85, 5, 6, 7, 8, "new");
  ASSERT_NE(headless::Control(85), nullptr);
  EXPECT_EQ(headless::Control(85)->kind, ControlKind::CheckBox);
  EXPECT_EQ(headless::Control(85)->flags, 0);
  OpenWindow(3);
  CreateTextField(34, 0, 0, 1, 1, "3");
  CloseAppWindow(3);
  EXPECT_EQ(headless::Control(34), nullptr);
  EXPECT_EQ(GetControlText(34), "");
  EXPECT_EQ(AppWindowHandle(3), 0);
  CreateLabel(36, 0, 0, 1, 1, "lost", 0);  // the closed window's handle is stale
  EXPECT_EQ(headless::ControlOrder(), (std::vector<int>{90, 85}));
}

// One script through the event rules: the fields each event leaves, input
// refused by a disabled window or control, the window of an event resolved
// when it is taken, and close requests once the script has run out.
TEST_F(HeadlessTest, EventScript) {
  OpenWindow(0);
  CreateMenuBar(1, AppWindowHandle(0));
  AddMenuEntry(4, "x");
  CreatePushButton(40, 0, 0, 1, 1, "b");
  CreatePushButton(41, 0, 0, 1, 1, "off");
  SetControlDisabled(41, 1);
  CreateLabel(42, 0, 0, 1, 1, "label", 0);
  CreateDropDownList(35, 0, 0, 1, 1);
  AppendListEntry(35, "a");
  CreateTextField(34, 0, 0, 1, 1, "3");
  const struct {
    void (*act)();
    int code, window, source, key;
    bool madeUp;  // the queued input was refused: a close made up at the script's end
  } kSteps[] = {
      {[] { headless::QueueButton(40); }, kEventControl, 0, 40, 0, false},
      {[] { headless::QueueKeyDown(86); }, kEventKeyDown, 0, 40, 86, false},
      {[] { headless::QueueTimer(); }, kEventTimer, -1, 40, 0, false},
      {[] { headless::QueueClick(3, 4); }, kEventLButtonDown, 0, 40, 0, false},
      {[] { headless::QueueListChoice(35, 0); }, kEventControl, 0, 35, 0, false},
      {[] { headless::QueueListChoice(35, 1); }, kEventControl, 0, 35, 0, false},  // no entry 1
      {[] { headless::QueueTextEdit(34, "12"); }, kEventControl, 0, 34, 0, false},
      {[] { headless::QueueButton(41), headless::QueueButton(42), headless::QueueMenu(4); },
       kEventMenu, 0, 4, 0, false},
      {[] { OpenWindow(3), SetAppWindowDisabled(0, 1), headless::QueueKeyDown(65, 0); },
       kEventClose, 3, 4, 0, true},
      {[] { headless::QueueAltKey(65, 0); }, kEventClose, 3, 4, 0, true},
      {[] { headless::QueueClick(5, 5, 0); }, kEventClose, 3, 4, 0, true},
      {[] { headless::QueueMenu(4); }, kEventClose, 3, 4, 0, true},
      {[] { headless::QueueButton(40); }, kEventClose, 3, 4, 0, true},
      {[] { headless::QueueClose(0); }, kEventClose, 0, 4, 0, false},
      {[] { headless::QueueTimer(); }, kEventTimer, -1, 4, 0, false},
      {[] { headless::QueueRawEvent(15, 0); }, 15, 0, 4, 0, false},
      {[] { headless::QueueKeyUp(27), OpenWindow(5); }, kEventKeyUp, 5, 4, 27, false},
      {[] { CloseAppWindow(5); }, kEventClose, 3, 4, 0, true},
      {[] { CloseAppWindow(3); }, kEventClose, 0, 4, 0, true},
  };
  int madeUp = 0;
  for (const auto& s : kSteps) {
    SCOPED_TRACE(testing::Message() << "step " << &s - kSteps);
    s.act();
    EXPECT_EQ(WaitForEvent(), s.code);
    EXPECT_EQ(EventWindowId(), s.window);
    EXPECT_EQ(EventSourceId(), s.source);
    EXPECT_EQ(EventKeyCode(), s.key);
    EXPECT_EQ(headless::ScriptEndCloses(), madeUp += s.madeUp);
    EXPECT_EQ(headless::PendingEvents(), 0);
  }
  EXPECT_EQ(GetControlValue(35), -1);
  EXPECT_EQ(GetControlText(34), "12");
  EXPECT_DEATH(
      {
        for (;;) WaitForEvent();
      },
      "giving up");
}

TEST_F(HeadlessTest, MouseOutsideTheClientAreaIsMinusOne) {
  OpenWindow(0);
  OpenWindow(3);
  // The last click was in window 3: window 0 has no mouse position then.
  const struct {
    int x, y, window, wantX, wantY;
  } kCases[] = {{0, 0, 0, 0, 0},      {798, 530, 0, 798, 530}, {799, 10, 0, -1, -1},
                {10, 531, 0, -1, -1}, {-1, 10, 0, -1, -1},     {10, -20, 0, -1, -1},
                {550, 25, 3, -1, -1}};
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
  std::string kinds;
  for (const auto& call : headless::DialogCalls()) {
    kinds += call.kind + " ";
    EXPECT_EQ(call.disabledWindowsDuring, 1) << call.title;
  }
  EXPECT_EQ(kinds, "open message save open message ");
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
  EXPECT_EQ(FontHandle(1), small);
  const char* const kWant[] = {
      "", "Arial 9", "Courier 10 bold", "Courier 10 bold", "Courier 8 bold", "Courier 8 bold"};
  for (int id = 1; id <= 5; ++id) {
    const headless::ControlState* control = headless::Control(id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->fontFace + " " + std::to_string(control->fontPoints) +
                  (control->fontBold ? " bold" : ""),
              kWant[id])
        << id;
  }
}

// A 24-bit Windows bitmap: the file and info headers, then `pixels` bytes.
std::string Bitmap(const char* magic, int width, int height, int pixels) {
  std::string bytes = std::string(magic, 2) + std::string(52, '\0');
  const int fields[] = {2, 54 + pixels, 10, 54, 14, 40, 18, width, 22, height, 26, 1, 28, 24};
  for (int f = 0; f < 14; f += 2) {
    for (int i = 0; i < 4; ++i) bytes[fields[f] + i] = static_cast<char>(fields[f + 1] >> (8 * i));
  }
  return bytes + std::string(pixels, '\x7f');
}

TEST_F(HeadlessTest, OnlyACompleteBitmapLoads) {
  const struct {
    std::string bytes;
    int width, height;
  } kCases[] = {
      {Bitmap("BM", 3, 2, 24), 3, 2},
      {Bitmap("BM", 700, -390, 700 * 3 * 390), 700, 390},  // top-down
      {Bitmap("MB", 3, 2, 24), 0, 0},
      {Bitmap("BM", 3, 2, 23), 0, 0},  // pixels cut short
      {Bitmap("BM", 0, 2, 24), 0, 0},
      {Bitmap("BM", 3, 2, 24).substr(0, 20), 0, 0},
      {"", 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    WriteFileBytes("p.bmp", c.bytes);
    LoadPictureFile(7, "p.bmp");  // the same id: a failure clears the earlier picture
    ASSERT_NE(headless::Picture(7), nullptr);
    EXPECT_EQ(PictureHandle(7) != 0, c.width > 0);
    EXPECT_EQ(headless::Picture(7)->width, c.width);
    EXPECT_EQ(headless::Picture(7)->height, c.height);
  }
  EXPECT_EQ(LoadPictureFile(8, "missing.bmp"), 0);
}

}  // namespace
