// The help window with its picture, how it closes, what it gives back to the
// main window, and the About box.
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "base/cp1251.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

// A complete 24-bit Windows bitmap of the given size, all white.
std::string WhiteBitmap(uint32_t width, uint32_t height) {
  const uint32_t pixels = (width * 3 + 3) / 4 * 4 * height;
  std::string bmp = "BM";
  auto put = [&bmp](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp.push_back(static_cast<char>(value >> (8 * i)));
  };
  for (uint32_t value : {54 + pixels, 0u, 54u, 40u, width, height}) put(value, 4);
  for (uint32_t value : {1u, 24u}) put(value, 2);  // planes, bits per pixel
  for (uint32_t value : {0u, pixels, 3780u, 3780u, 0u, 0u}) put(value, 4);
  return bmp.append(pixels, '\xFF');
}

using HelpTest = ProgramTest;

// Each case opens the window over a CORVANE.BMP (none when empty) and sends
// one event: only Escape pressed in the help window and its close button end
// the loop; anything else is dropped, and the loop then ends at the script's end.
TEST_F(HelpTest, WindowPictureAndWhatClosesIt) {
  const std::string kBitmap = WhiteBitmap(700, 390), kCut = kBitmap.substr(0, 40);
  const struct {
    const char* name;
    std::string file;
    bool shown;
    void (*queue)();
    bool closes;
  } kCases[] = {
      {"bitmap, Escape", kBitmap, true, [] { headless::QueueKeyDown(27); }, true},
      {"no file, close button", "", false, [] { headless::QueueClose(kHelpWindowId); }, true},
      {"not a bitmap, Escape up", "no picture", false, [] { headless::QueueKeyUp(27); }, false},
      {"cut-off bitmap, a letter", kCut, false, [] { headless::QueueKey('Q'); }, false},
      {"a click", kBitmap, true, [] { headless::QueueClick(100, 100); }, false},
      {"main window closed", kBitmap, true, [] { headless::QueueClose(kMainWindowId); }, false},
      {"Escape in the main window", kBitmap, true,
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
    std::remove("CORVANE.BMP");
    if (!c.file.empty()) WriteFileBytes("CORVANE.BMP", c.file);
    ASSERT_TRUE(OpenHelpWindow());
    const headless::WindowState* w = headless::Window(kHelpWindowId);
    EXPECT_EQ(std::tuple(w->open, w->title, w->width, w->height, w->flags, w->hasMenu),
              std::tuple(true, std::string("Справка"_cp), 700, 390, 0xC80001u, false));
    EXPECT_TRUE(headless::Window(kMainWindowId)->disabled);
    const headless::ControlState* p = headless::Control(1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::tuple(p->window, p->kind == ControlKind::Picture, p->x, p->y, p->width,
                         p->height),
              std::tuple(kHelpWindowId, true, 0, 0, 700, 390));
    EXPECT_EQ(headless::Picture(0)->file, "CORVANE.BMP");
    EXPECT_EQ(p->picture, c.shown ? PictureHandle(0) : 0);
    EXPECT_EQ(p->picture != 0, c.shown);
    c.queue();
    RunHelpLoop();
    EXPECT_EQ(headless::PendingEvents(), 0);
    EXPECT_EQ(headless::ScriptEndCloses(), c.closes ? 0 : 1);
    EXPECT_FALSE(App.QuitRequested);
  }
}

// Through the menu: keys and clicks in the help window do not reach the grid;
// afterwards the main window is enabled and active with the cell and log as
// they were, and its loop goes on.
TEST_F(HelpTest, MainWindowComesBackUnchanged) {
  ASSERT_TRUE(StartUp());
  for (int key : {'U', 'A'}) headless::QueueKey(key);
  headless::QueueMenu(31);
  for (int key : {int{'X'}, 40}) headless::QueueKey(key);
  headless::QueueClick(20, 40);
  headless::QueueKeyDown(27);
  headless::QueueMenu(32);
  RunEventLoop();
  EXPECT_EQ(std::tuple(headless::Window(kHelpWindowId)->open,
                       headless::Window(kMainWindowId)->disabled, headless::ActiveWindow()),
            std::tuple(false, false, kMainWindowId));
  EXPECT_EQ(Log.QsoLog[1][kColCall], "UA");
  EXPECT_EQ(std::tuple(Log.QsoCount, Log.CurrentRow, Log.CurrentColumn), std::tuple(1, 1, 4));
  EXPECT_EQ(headless::Control(103)->backColour, AppSettings.Background);
  EXPECT_EQ(headless::ScriptEndCloses(), 1);  // only the main window's

  // The About box: "Corvane v7.0" and two author lines.
  // Then, at the end, the question about the log that reached no file.
  const std::vector<headless::DialogCall> calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].text, "Журнал не сохранён в файл. Сохранить?"_cp);
  EXPECT_EQ(std::tuple(calls[0].kind, calls[0].title, calls[0].flags),
            std::tuple(std::string("message"), std::string("О программе"_cp), 64));
  const std::string& text = calls[0].text;  // three lines, none empty
  const std::size_t first = text.find('\n'), second = text.find('\n', first + 1);
  EXPECT_EQ(text.substr(0, first + 1), "Corvane v7.0\n");
  EXPECT_TRUE(second > first + 1 && second + 1 < text.size() &&
              text.find('\n', second + 1) == std::string::npos)
      << text;
}

}  // namespace
