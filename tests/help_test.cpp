// The help window with its picture, how it closes, what it gives back to the
// main window, and the About box.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

// A complete 24-bit Windows bitmap of the given size, all white.
std::string WhiteBitmap(int width, int height) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t pixels = stride * static_cast<uint32_t>(height);
  // Header fields and their sizes in bytes: file size, reserved, pixel offset,
  // info size, width, height, planes, bits, compression, image size, dpm x/y,
  // palette counts.
  const struct {
    uint32_t value;
    int bytes;
  } kFields[] = {{54 + pixels, 4},
                 {0, 4},
                 {54, 4},
                 {40, 4},
                 {static_cast<uint32_t>(width), 4},
                 {static_cast<uint32_t>(height), 4},
                 {1, 2},
                 {24, 2},
                 {0, 4},
                 {pixels, 4},
                 {3780, 4},
                 {3780, 4},
                 {0, 4},
                 {0, 4}};
  std::string bmp = "BM";
  for (const auto& field : kFields) {
    for (int i = 0; i < field.bytes; ++i) bmp.push_back(static_cast<char>(field.value >> (8 * i)));
  }
  bmp.append(pixels, '\xFF');
  return bmp;
}

class HelpTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(InitWindowLayer());
    ASSERT_TRUE(StartUp());
  }
};

TEST_F(HelpTest, WindowAndPicture) {
  const struct {
    const char* name;
    std::string fileBytes;  // CORVANE.BMP in the working folder; empty: none
    bool shown;
  } kCases[] = {
      {"valid bitmap", WhiteBitmap(700, 390), true},
      {"missing file", "", false},
      {"not a bitmap", "this is no picture", false},
      {"cut-off bitmap", WhiteBitmap(700, 390).substr(0, 40), false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove("CORVANE.BMP");
    if (!c.fileBytes.empty()) WriteFileBytes("CORVANE.BMP", c.fileBytes);
    ASSERT_TRUE(OpenHelpWindow());

    const headless::WindowState* window = headless::Window(kHelpWindowId);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->open);
    EXPECT_EQ(window->title, "Справка"_cp);
    EXPECT_EQ(window->width, 700);
    EXPECT_EQ(window->height, 390);
    EXPECT_EQ(window->flags, 0xC80001u);
    EXPECT_FALSE(window->hasMenu);
    EXPECT_TRUE(headless::Window(kMainWindowId)->disabled);

    const headless::ControlState* picture = headless::Control(1);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->window, kHelpWindowId);
    EXPECT_EQ(picture->kind, headless::ControlKind::Picture);
    EXPECT_EQ(picture->x, 0);
    EXPECT_EQ(picture->y, 0);
    EXPECT_EQ(picture->width, 700);
    EXPECT_EQ(picture->height, 390);
    ASSERT_NE(headless::Picture(0), nullptr);
    EXPECT_EQ(headless::Picture(0)->file, "CORVANE.BMP");
    EXPECT_EQ(picture->picture != 0, c.shown);
    EXPECT_EQ(picture->picture, c.shown ? PictureHandle(0) : 0);

    CloseHelpWindow();
    EXPECT_FALSE(headless::Window(kHelpWindowId)->open);
    EXPECT_EQ(headless::Control(1), nullptr);
  }
}

// What ends the help loop: only Escape pressed in the help window and its
// close button. Anything else is dropped, and the loop then ends only at the
// script's end (a made-up close).
TEST_F(HelpTest, OnlyEscapeAndCloseEndIt) {
  const struct {
    const char* name;
    void (*queue)();
    bool closes;
  } kCases[] = {
      {"Escape pressed", [] { headless::QueueKeyDown(27); }, true},
      {"close button", [] { headless::QueueClose(kHelpWindowId); }, true},
      {"Escape released", [] { headless::QueueKeyUp(27); }, false},
      {"Escape with Alt", [] { headless::QueueAltKey(27); }, false},
      {"letter", [] { headless::QueueKey('Q'); }, false},
      {"Enter", [] { headless::QueueKeyDown(13); }, false},
      {"click", [] { headless::QueueClick(100, 100); }, false},
      {"timer", [] { headless::QueueTimer(); }, false},
      {"menu", [] { headless::QueueMenu(4); }, false},
      {"close of the main window", [] { headless::QueueClose(kMainWindowId); }, false},
      {"Escape in the main window",
       [] {
         SetAppWindowDisabled(kMainWindowId, 0);  // so that the key gets through
         headless::QueueKeyDown(27, kMainWindowId);
       },
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    ASSERT_TRUE(StartUp());
    ASSERT_TRUE(OpenHelpWindow());
    c.queue();
    RunHelpLoop();
    EXPECT_EQ(headless::PendingEvents(), 0);
    EXPECT_EQ(headless::ScriptEndCloses(), c.closes ? 0 : 1);
    EXPECT_FALSE(App.QuitRequested);
  }
}

// Through the menu: the main window comes back enabled and active, with the
// current cell and the log as they were; keys pressed in the help window do
// not reach the grid, and the main loop goes on afterwards.
TEST_F(HelpTest, MainWindowComesBackUnchanged) {
  headless::QueueKey('U');
  headless::QueueKey('A');
  headless::QueueMenu(31);
  headless::QueueKey('X');
  headless::QueueKeyDown(40);
  headless::QueueClick(20, 40);
  headless::QueueKeyDown(27);
  headless::QueueMenu(32);  // the main loop still runs after the help
  RunEventLoop();

  ASSERT_NE(headless::Window(kHelpWindowId), nullptr);
  EXPECT_FALSE(headless::Window(kHelpWindowId)->open);
  EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
  EXPECT_EQ(headless::ActiveWindow(), kMainWindowId);
  EXPECT_EQ(Log.QsoLog[1][kColCall], "UA");
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(Log.CurrentRow, 1);
  EXPECT_EQ(Log.CurrentColumn, kColCall);
  EXPECT_EQ(headless::Control(103)->backColour, AppSettings.Background);
  EXPECT_EQ(headless::DialogCalls().size(), 1u);
  EXPECT_EQ(headless::ScriptEndCloses(), 1);  // only the main window's
}

TEST_F(HelpTest, AboutBox) {
  headless::QueueMenu(32);
  RunEventLoop();
  const std::vector<headless::DialogCall> calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, "message");
  EXPECT_EQ(calls[0].title, "О программе"_cp);
  EXPECT_EQ(calls[0].flags, 64);
  const std::string& text = calls[0].text;
  ASSERT_EQ(text.rfind("Corvane v7.0\n", 0), 0u) << text;
  // The title line and two author lines, none empty.
  const std::size_t first = text.find('\n');
  const std::size_t second = text.find('\n', first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(text.find('\n', second + 1), std::string::npos);
  EXPECT_GT(second, first + 1);
  EXPECT_GT(text.size(), second + 1);
  EXPECT_FALSE(headless::Window(kMainWindowId)->disabled);
}

}  // namespace
