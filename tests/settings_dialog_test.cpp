// The settings dialog on the headless backend: what it shows, what
// "Сохранить" stores, and that every other way out stores nothing.
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {


constexpr int kDialog = 3;

// Queues the user's actions, given as words: "b40" clicks button 40, "c14=0"
// sets check box 14, "l35=2" chooses list entry 2, "t34=7x" types into field
// 34, "Esc" and "Close" end the dialog; "MainEsc", "MainClose" and "Timer"
// are events of other windows.
void QueueSteps(const std::string& steps) {
  std::istringstream words(steps);
  for (std::string w; words >> w;) {
    const int id = std::atoi(w.c_str() + 1);
    const std::string value = w.substr(w.find('=') + 1);
    if (w == "Esc") headless::QueueKeyDown(27, kDialog);
    if (w == "Close") headless::QueueClose(kDialog);
    if (w == "MainEsc") headless::QueueKeyDown(27, 0);
    if (w == "MainClose") headless::QueueClose(0);
    if (w == "Timer") headless::QueueTimer();
    if (w[0] == 'b') headless::QueueButton(id);
    if (w[0] == 'c') headless::QueueCheck(id, std::atoi(value.c_str()));
    if (w[0] == 'l') headless::QueueListChoice(id, std::atoi(value.c_str()));
    if (w[0] == 't') headless::QueueTextEdit(id, value);
  }
}

// "110000000": the values of controls first..first+count-1 (checked 1).
std::string ShownBoxes(int first, int count) {
  std::string out;
  for (int id = first; id < first + count; ++id) {
    out += headless::Control(id) ? DecimalText(headless::Control(id)->value) : "?";
  }
  return out;
}

// "30 110000000 110000 Right 3 1": TimeMin, bands, modes, PosNum, LenNum, RightWin.
std::string Stored() {
  std::string out = DecimalText(AppSettings.TimeMin) + " ";
  for (int i = 1; i <= kBandClasses; ++i) out += DecimalText(AppSettings.BandFlags[i]);
  out += " ";
  for (int i = 1; i <= kModeClasses; ++i) out += DecimalText(AppSettings.ModeFlags[i]);
  return out + " " + AppSettings.PosNum + " " + DecimalText(AppSettings.LenNum) + " " +
         DecimalText(AppSettings.RightWin);
}

class SettingsDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start("");
  }
  // A fresh main window, and a settings file of `file`; memory holds values
  // no file holds, so anything shown or kept from memory shows.
  static void Start(const std::string& file) {
    OpenMainWindowOnly();
    ResetSettings();
    WriteFileBytes(kSettingsFileName, file);
    AppSettings.TimeMin = AppSettings.RightWin = AppSettings.LenNum = 55;
    AppSettings.BandFlags.fill(0);
    AppSettings.ModeFlags.fill(0);
    AppSettings.PosNum = "stale";
  }
  static void Run() { RunDialog(SettingsDialog, kDialog); }
};

TEST_F(SettingsDialogTest, LayoutWithTheDefaults) {
  using K = ControlKind;
  const struct {
    int id;
    K kind;
    int x, y, width, height;
    std::string_view text;
    int value;
    bool disabled;
  } kControls[] = {
      {1, K::GroupFrame, 10, 10, 180, 80, "Время на подтур"_cp, 0, false},
      {10, K::RadioOption, 30, 30, 140, 20, "30 минут"_cp, 1, false},
      {11, K::RadioOption, 30, 55, 140, 20, "60 минут"_cp, 0, false},
      {2, K::GroupFrame, 200, 10, 180, 80, "Окно информера"_cp, 0, false},
      {12, K::RadioOption, 220, 30, 140, 20, "Включено"_cp, 1, false},
      {13, K::RadioOption, 220, 55, 140, 20, "Отключено"_cp, 0, true},
      {3, K::GroupFrame, 10, 100, 180, 250, "Диапазоны"_cp, 0, false},
      {14, K::CheckBox, 30, 120, 140, 20, "1900 КГц"_cp, 1, false},
      {15, K::CheckBox, 30, 145, 140, 20, "3500 КГц"_cp, 1, false},
      {16, K::CheckBox, 30, 170, 140, 20, "7000 КГц"_cp, 0, false},
      {17, K::CheckBox, 30, 195, 140, 20, "14200 КГц"_cp, 0, false},
      {18, K::CheckBox, 30, 220, 140, 20, "21200 КГц"_cp, 0, false},
      {19, K::CheckBox, 30, 245, 140, 20, "28500 КГц"_cp, 0, false},
      {20, K::CheckBox, 30, 270, 140, 20, "145 МГц"_cp, 0, false},
      {21, K::CheckBox, 30, 295, 140, 20, "433 МГц"_cp, 0, false},
      {22, K::CheckBox, 30, 320, 140, 20, "1296 МГц"_cp, 0, false},
      {4, K::GroupFrame, 200, 100, 180, 250, "Виды модуляции"_cp, 0, false},
      {24, K::CheckBox, 220, 120, 140, 20, "PH (SSB)", 1, false},
      {25, K::CheckBox, 220, 145, 140, 20, "CW (CW)", 1, false},
      {26, K::CheckBox, 220, 170, 140, 20, "FM (FM)", 0, false},
      {27, K::CheckBox, 220, 195, 140, 20, "PM (PSK63)", 0, false},
      {28, K::CheckBox, 220, 220, 140, 20, "PS (PSK31)", 0, false},
      {29, K::CheckBox, 220, 245, 140, 20, "TV (SSTV)", 0, false},
      {5, K::GroupFrame, 10, 360, 370, 80, "Переданный номер"_cp, 0, false},
      {53, K::Label, 30, 380, 260, 20, "Положение изменяемой части:"_cp, 0, false},
      {54, K::Label, 30, 405, 260, 20, "Длина изменяемой части:"_cp, 0, false},
      {34, K::TextField, 280, 405, 80, 20, "3", 0, false},
      {35, K::DropDownList, 280, 380, 80, 70, "", 0, false},
      {40, K::PushButton, 125, 450, 140, 25, "Сохранить"_cp, 0, false},
  };
  headless::QueueProbe([&] {
    const auto* window = headless::Window(kDialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(std::tie(window->title, window->width, window->height, window->flags),
              std::make_tuple(std::string("Настройки"_cp), 390, 490, 0xC80001u));
    EXPECT_TRUE(headless::Window(0)->disabled);
    std::vector<int> order;
    for (const auto& c : kControls) {
      order.push_back(c.id);
      SCOPED_TRACE(c.id);
      const auto* got = headless::Control(c.id);
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(std::tie(got->window, got->kind, got->x, got->y, got->width, got->height),
                std::tie(kDialog, c.kind, c.x, c.y, c.width, c.height));
      EXPECT_EQ(std::tie(got->text, got->value, got->disabled, got->flags),
                std::make_tuple(std::string(c.text), c.value, c.disabled, kLabelLeft));
    }
    EXPECT_EQ(headless::ControlOrder(), order);
    EXPECT_EQ(headless::Control(35)->entries,
              (std::vector<std::string>{"справа"_cp.data(), "слева"_cp.data(), "нет"_cp.data()}));
  });
  headless::QueueKeyDown(27, kDialog);
  Run();
}

TEST_F(SettingsDialogTest, ShowsTheFileNotMemory) {
  const struct {
    const char* file;
    const char *options, *bands, *modes;  // options 10..13
    int list;
    const char* length;
  } kCases[] = {
      {"", "1010", "110000000", "110000", 0, "3"},
      {"[Main]\nTimeMin = 45\n", "0110", "110000000", "110000", 0, "3"},
      {"[Main]\nRightWin = 0\n", "1001", "110000000", "110000", 0, "3"},
      {"[Main]\nFlag160M=0\nFlag40M=2\nFlag1296=-1\nFlagCW=0\nFlagTV=2", "1010", "011000001",
       "100001", 0, "3"},
      {"[Main]\nFlag160M=0\nFlag80M=0\nFlagPH=0\nFlagCW=0\n", "1010", "000000000", "000000", 0,
       "3"},
      {"[Main]\nPosNum = Left\n", "1010", "110000000", "110000", 1, "3"},
      {"[Main]\nPosNum = None\nLenNum = 0\n", "1010", "110000000", "110000", 2, "0"},
      {"[Main]\nPosNum = right\nLenNum = -2\n", "1010", "110000000", "110000", -1, "-2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    Start(c.file);
    headless::QueueProbe([&] {
      EXPECT_EQ(ShownBoxes(10, 4), c.options);
      EXPECT_EQ(ShownBoxes(14, 9), c.bands);
      EXPECT_EQ(ShownBoxes(24, 6), c.modes);
      EXPECT_EQ(ShownBoxes(35, 1), DecimalText(c.list));
      EXPECT_EQ(GetControlText(34), c.length);
      EXPECT_FALSE(headless::Control(34)->disabled);  // also with "None"
    });
    headless::QueueClose(kDialog);
    Run();
  }
}

TEST_F(SettingsDialogTest, ListNoneGreysTheLengthField) {
  std::string greyed;
  for (int choice : {2, 0, 2, 1, 1, 2}) {
    headless::QueueListChoice(35, choice);
    headless::QueueProbe([&] { greyed += DecimalText(headless::Control(34)->disabled); });
  }
  headless::QueueKeyDown(27, kDialog);
  Run();
  EXPECT_EQ(greyed, "101001");
}

TEST_F(SettingsDialogTest, WaysOut) {
  const struct {
    const char *file, *steps, *want;  // want: as Stored() shows it, in memory and in the file
    bool saved;
  } kCases[] = {
      {"", "b40", "30 110000000 110000 Right 3 1", true},
      {"[Main]\nTimeMin = 45\n", "b40", "60 110000000 110000 Right 3 1", true},
      {"[Main]\nTimeMin = 60\n", "c10=1 b40", "30 110000000 110000 Right 3 1", true},
      {"", "c14=0 c15=0 c24=0 c25=0 b40", "30 010000000 100000 Right 3 1", true},
      {"[Main]\nFlag40M = 2\nFlagFM = -1\n", "b40", "30 111000000 111000 Right 3 1", true},
      {"", "c14=0 c22=1 c24=0 c29=1 b40", "30 010000001 010001 Right 3 1", true},
      {"", "t34=7x b40", "30 110000000 110000 Right 7 1", true},
      {"", "t34=abc b40", "30 110000000 110000 Right 0 1", true},
      {"", "t34= b40", "30 110000000 110000 Right 0 1", true},
      {"", "t34=-2 b40", "30 110000000 110000 Right -2 1", true},
      {"", "t34=5 l35=2 b40", "30 110000000 110000 None 5 1", true},  // stored though greyed
      {"", "l35=1 b40", "30 110000000 110000 Left 3 1", true},
      {"[Main]\nPosNum = right\n", "b40", "30 110000000 110000 right 3 1", true},
      {"[Main]\nRightWin = 0\n", "b12 c12=1 b40", "30 110000000 110000 Right 3 0", true},
      {"", "MainClose Timer MainEsc c16=1 b40", "30 111000000 110000 Right 3 1", true},
      {"[Main]\nTimeMin = 60\nFlag160M = 0\nFlagPH = 0\nFlagCW = 0\n",
       "c10=1 c16=1 t34=9 l35=1 Esc", "60 010000000 000000 Right 3 1", false},
      {"[Main]\nLenNum = 4\nPosNum = None\n", "c11=1 c14=0 c26=1 l35=0 Close",
       "30 110000000 110000 None 4 1", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.file << " / " << c.steps);
    Start(c.file);
    QueueSteps(c.steps);
    Run();
    EXPECT_EQ(Stored(), c.want);
    if (!c.saved) {
      EXPECT_EQ(ReadFileBytes(kSettingsFileName), c.file);
    }
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(Stored(), c.want);
  }
}

// The report being written stays the open one, whatever the settings file says.
TEST_F(SettingsDialogTest, TheOpenReportStaysTheOneWritten) {
  for (const char* steps : {"Esc", "b40"}) {
    SCOPED_TRACE(steps);
    Start("[Main]\nFile = OLD.CBR\nTimeMin = 60\n");
    AppSettings.File = "NOW.CBR";
    QueueSteps(steps);
    Run();
    EXPECT_EQ(AppSettings.File, "NOW.CBR");
    EXPECT_EQ(AppSettings.TimeMin, 60);
    const bool saved = steps[0] == 'b';
    EXPECT_NE(ReadFileBytes(kSettingsFileName).find(saved ? "File = NOW.CBR" : "File = OLD.CBR"),
              std::string::npos);
  }
}

}  // namespace
