// The settings dialog on the headless backend: what it shows, what
// "Сохранить" stores, and that every other way out stores nothing.
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

using headless::ControlKind;

constexpr int kDialog = 3;

void OpenMainWindow() {
  OpenAppWindow(0, 0, 0, 798, 530, kTitleText, kMainWindowFlags);
  ActivateAppWindow(0);
}

// One scripted user action.
enum class Act { Button, Check, List, Text, Escape, Close, CloseMain, Timer, KeyInMain };
struct Step {
  Act act;
  int id = 0;
  int value = 0;
  const char* text = "";
};

void QueueSteps(const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    switch (s.act) {
      case Act::Button:
        headless::QueueButton(s.id);
        break;
      case Act::Check:
        headless::QueueCheck(s.id, s.value);
        break;
      case Act::List:
        headless::QueueListChoice(s.id, s.value);
        break;
      case Act::Text:
        headless::QueueTextEdit(s.id, s.text);
        break;
      case Act::Escape:
        headless::QueueKeyDown(27, kDialog);
        break;
      case Act::Close:
        headless::QueueClose(kDialog);
        break;
      case Act::CloseMain:
        headless::QueueClose(0);
        break;
      case Act::Timer:
        headless::QueueTimer();
        break;
      case Act::KeyInMain:
        headless::QueueKeyDown(27, 0);
        break;
    }
  }
}

// "110000000": the flags 1..count as digits.
template <std::size_t N>
std::string FlagDigits(const std::array<int32_t, N>& flags, int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += DecimalText(flags[static_cast<std::size_t>(i)]);
  return out;
}

// What the controls show, read while the dialog waits.
std::string ShownBoxes(int first, int count) {
  std::string out;
  for (int id = first; id < first + count; ++id) {
    const auto* box = headless::Control(id);
    out += box == nullptr ? "?" : DecimalText(box->value);
  }
  return out;
}

// Values no settings file holds, so anything shown or kept from memory
// instead of the file shows.
void ScrambleMemory() {
  AppSettings.TimeMin = 99;
  for (int i = 1; i <= kBandClasses; ++i) AppSettings.BandFlags[i] = 0;
  for (int i = 1; i <= kModeClasses; ++i) AppSettings.ModeFlags[i] = 0;
  AppSettings.RightWin = 5;
  AppSettings.LenNum = 55;
  AppSettings.PosNum = "stale";
}

class SettingsDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    OpenMainWindow();
  }
  // After any way out: the dialog is gone and the main window takes input.
  static void ExpectClosedAndMainActive() {
    ASSERT_NE(headless::Window(kDialog), nullptr);
    EXPECT_FALSE(headless::Window(kDialog)->open);
    EXPECT_FALSE(headless::Window(0)->disabled);
    EXPECT_EQ(headless::ActiveWindow(), 0);
  }
};

TEST_F(SettingsDialogTest, LayoutWithTheDefaults) {
  const struct {
    int id;
    ControlKind kind;
    int x, y, width, height;
    std::string_view text;
    int value;
    bool disabled;
  } kControls[] = {
      {1, ControlKind::GroupFrame, 10, 10, 180, 80, "Время на подтур"_cp, 0, false},
      {10, ControlKind::RadioOption, 30, 30, 140, 20, "30 минут"_cp, 1, false},
      {11, ControlKind::RadioOption, 30, 55, 140, 20, "60 минут"_cp, 0, false},
      {2, ControlKind::GroupFrame, 200, 10, 180, 80, "Окно информера"_cp, 0, false},
      {12, ControlKind::RadioOption, 220, 30, 140, 20, "Включено"_cp, 1, false},
      {13, ControlKind::RadioOption, 220, 55, 140, 20, "Отключено"_cp, 0, true},
      {3, ControlKind::GroupFrame, 10, 100, 180, 250, "Диапазоны"_cp, 0, false},
      {14, ControlKind::CheckBox, 30, 120, 140, 20, "1900 КГц"_cp, 1, false},
      {15, ControlKind::CheckBox, 30, 145, 140, 20, "3500 КГц"_cp, 1, false},
      {16, ControlKind::CheckBox, 30, 170, 140, 20, "7000 КГц"_cp, 0, false},
      {17, ControlKind::CheckBox, 30, 195, 140, 20, "14200 КГц"_cp, 0, false},
      {18, ControlKind::CheckBox, 30, 220, 140, 20, "21200 КГц"_cp, 0, false},
      {19, ControlKind::CheckBox, 30, 245, 140, 20, "28500 КГц"_cp, 0, false},
      {20, ControlKind::CheckBox, 30, 270, 140, 20, "145 МГц"_cp, 0, false},
      {21, ControlKind::CheckBox, 30, 295, 140, 20, "433 МГц"_cp, 0, false},
      {22, ControlKind::CheckBox, 30, 320, 140, 20, "1296 МГц"_cp, 0, false},
      {4, ControlKind::GroupFrame, 200, 100, 180, 250, "Виды модуляции"_cp, 0, false},
      {24, ControlKind::CheckBox, 220, 120, 140, 20, "PH (SSB)", 1, false},
      {25, ControlKind::CheckBox, 220, 145, 140, 20, "CW (CW)", 1, false},
      {26, ControlKind::CheckBox, 220, 170, 140, 20, "FM (FM)", 0, false},
      {27, ControlKind::CheckBox, 220, 195, 140, 20, "PM (PSK63)", 0, false},
      {28, ControlKind::CheckBox, 220, 220, 140, 20, "PS (PSK31)", 0, false},
      {29, ControlKind::CheckBox, 220, 245, 140, 20, "TV (SSTV)", 0, false},
      {5, ControlKind::GroupFrame, 10, 360, 370, 80, "Переданный номер"_cp, 0, false},
      {53, ControlKind::Label, 30, 380, 260, 20, "Положение изменяемой части:"_cp, 0, false},
      {54, ControlKind::Label, 30, 405, 260, 20, "Длина изменяемой части:"_cp, 0, false},
      {34, ControlKind::TextField, 280, 405, 80, 20, "3", 0, false},
      {35, ControlKind::DropDownList, 280, 380, 80, 70, "", 0, false},
      {40, ControlKind::PushButton, 125, 450, 140, 25, "Сохранить"_cp, 0, false},
  };
  int probes = 0;
  headless::QueueProbe([&] {
    ++probes;
    const auto* window = headless::Window(kDialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title, "Настройки"_cp);
    EXPECT_EQ(window->width, 390);
    EXPECT_EQ(window->height, 490);
    EXPECT_EQ(window->flags, 0xC80001u);
    EXPECT_TRUE(headless::Window(0)->disabled);
    std::vector<int> order;
    for (const auto& c : kControls) order.push_back(c.id);
    EXPECT_EQ(headless::ControlOrder(), order);
    for (const auto& c : kControls) {
      SCOPED_TRACE(c.id);
      const auto* control = headless::Control(c.id);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(control->window, kDialog);
      EXPECT_EQ(control->kind, c.kind);
      EXPECT_EQ(control->x, c.x);
      EXPECT_EQ(control->y, c.y);
      EXPECT_EQ(control->width, c.width);
      EXPECT_EQ(control->height, c.height);
      EXPECT_EQ(control->text, c.text);
      if (c.kind != ControlKind::DropDownList) {
        EXPECT_EQ(control->value, c.value);
      }
      EXPECT_EQ(control->disabled, c.disabled);
      if (c.kind == ControlKind::Label) {
        EXPECT_EQ(control->flags, kLabelLeft);
      }
    }
    const auto* list = headless::Control(35);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->entries,
              (std::vector<std::string>{std::string("справа"_cp), std::string("слева"_cp),
                                        std::string("нет"_cp)}));
    EXPECT_EQ(list->value, 0);
  });
  headless::QueueKeyDown(27, kDialog);
  SettingsDialog();
  EXPECT_EQ(probes, 1);
  ExpectClosedAndMainActive();
  EXPECT_FALSE(PathExists(kSettingsFileName));  // Escape writes nothing
}

TEST_F(SettingsDialogTest, ShowsTheFileNotMemory) {
  const struct {
    const char* name;
    std::string file;
    const char* options;  // 10, 11, 12, 13
    const char* bands;
    const char* modes;
    int list;
    const char* length;
  } kCases[] = {
      {"defaults", "", "1010", "110000000", "110000", 0, "3"},
      {"TimeMin 45 shows 60 минут", "[Main]\r\nTimeMin = 45\r\n", "0110", "110000000", "110000", 0,
       "3"},
      {"TimeMin 60", "[Main]\r\nTimeMin = 60\r\n", "0110", "110000000", "110000", 0, "3"},
      {"informer off", "[Main]\r\nRightWin = 0\r\n", "1001", "110000000", "110000", 0, "3"},
      {"flags 2 and -1 show checked",
       "[Main]\r\nFlag160M = 0\r\nFlag40M = 2\r\nFlag1296 = -1\r\nFlagCW = 0\r\nFlagTV = 2\r\n",
       "1010", "011000001", "100001", 0, "3"},
      {"every flag 0", "[Main]\r\nFlag160M = 0\r\nFlag80M = 0\r\nFlagPH = 0\r\nFlagCW = 0\r\n",
       "1010", "000000000", "000000", 0, "3"},
      {"PosNum Left", "[Main]\r\nPosNum = Left\r\n", "1010", "110000000", "110000", 1, "3"},
      {"PosNum None", "[Main]\r\nPosNum = None\r\nLenNum = 0\r\n", "1010", "110000000", "110000", 2,
       "0"},
      {"PosNum in lower case selects nothing", "[Main]\r\nPosNum = right\r\nLenNum = -2\r\n",
       "1010", "110000000", "110000", -1, "-2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    OpenMainWindow();
    ResetSettings();
    WriteFileBytes(kSettingsFileName, c.file);
    ScrambleMemory();
    int probes = 0;
    headless::QueueProbe([&] {
      ++probes;
      EXPECT_EQ(ShownBoxes(10, 4), c.options);
      EXPECT_EQ(ShownBoxes(14, 9), c.bands);
      EXPECT_EQ(ShownBoxes(24, 6), c.modes);
      ASSERT_NE(headless::Control(35), nullptr);
      EXPECT_EQ(headless::Control(35)->value, c.list);
      ASSERT_NE(headless::Control(34), nullptr);
      EXPECT_EQ(headless::Control(34)->text, c.length);
      EXPECT_FALSE(headless::Control(34)->disabled);  // also with "None"
      EXPECT_TRUE(headless::Control(13)->disabled);
    });
    headless::QueueClose(kDialog);
    SettingsDialog();
    EXPECT_EQ(probes, 1);
    ExpectClosedAndMainActive();
  }
}

TEST_F(SettingsDialogTest, ListNoneGreysTheLengthField) {
  const struct {
    int choice;
    bool greyed;
  } kCases[] = {{2, true}, {0, false}, {2, true}, {1, false}, {1, false}, {2, true}};
  std::vector<bool> seen;
  for (const auto& c : kCases) {
    headless::QueueListChoice(35, c.choice);
    headless::QueueProbe([&] { seen.push_back(headless::Control(34)->disabled); });
  }
  headless::QueueKeyDown(27, kDialog);
  SettingsDialog();
  ASSERT_EQ(seen.size(), std::size(kCases));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i], kCases[i].greyed);
  }
}

TEST_F(SettingsDialogTest, WaysOut) {
  const struct {
    const char* name;
    std::string file;
    std::vector<Step> steps;
    int timeMin;
    const char* bands;
    const char* modes;
    const char* posNum;
    int lenNum;
    int rightWin;
    bool saved;
  } kCases[] = {
      {"defaults saved untouched",
       "",
       {{Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       3,
       1,
       true},
      {"TimeMin 45 saved as 60",
       "[Main]\r\nTimeMin = 45\r\n",
       {{Act::Button, 40}},
       60,
       "110000000",
       "110000",
       "Right",
       3,
       1,
       true},
      {"30 минут chosen",
       "[Main]\r\nTimeMin = 60\r\n",
       {{Act::Check, 10, 1}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       3,
       1,
       true},
      {"every band and mode unchecked",
       "",
       {{Act::Check, 14, 0},
        {Act::Check, 15, 0},
        {Act::Check, 24, 0},
        {Act::Check, 25, 0},
        {Act::Button, 40}},
       30,
       "010000000",
       "100000",
       "Right",
       3,
       1,
       true},
      {"a band flag of 2 saved as 1",
       "[Main]\r\nFlag40M = 2\r\nFlagFM = -1\r\n",
       {{Act::Button, 40}},
       30,
       "111000000",
       "111000",
       "Right",
       3,
       1,
       true},
      {"other bands and modes chosen",
       "",
       {{Act::Check, 14, 0},
        {Act::Check, 22, 1},
        {Act::Check, 24, 0},
        {Act::Check, 29, 1},
        {Act::Button, 40}},
       30,
       "010000001",
       "010001",
       "Right",
       3,
       1,
       true},
      {"length 7x",
       "",
       {{Act::Text, 34, 0, "7x"}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       7,
       1,
       true},
      {"length abc",
       "",
       {{Act::Text, 34, 0, "abc"}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       0,
       1,
       true},
      {"length empty",
       "",
       {{Act::Text, 34, 0, ""}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       0,
       1,
       true},
      {"length -2",
       "",
       {{Act::Text, 34, 0, "-2"}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       -2,
       1,
       true},
      {"length typed, then нет greys it: still stored",
       "",
       {{Act::Text, 34, 0, " 5"}, {Act::List, 35, 2}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "None",
       5,
       1,
       true},
      {"слева",
       "",
       {{Act::List, 35, 1}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Left",
       3,
       1,
       true},
      {"PosNum right kept without a choice",
       "[Main]\r\nPosNum = right\r\n",
       {{Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "right",
       3,
       1,
       true},
      {"informer switched on is not stored",
       "[Main]\r\nRightWin = 0\r\n",
       {{Act::Button, 12}, {Act::Check, 12, 1}, {Act::Button, 40}},
       30,
       "110000000",
       "110000",
       "Right",
       3,
       0,
       true},
      {"Escape after changes",
       "[Main]\r\nTimeMin = 60\r\nFlag160M = 0\r\nFlagPH = 0\r\nFlagCW = 0\r\n",
       {{Act::Check, 10, 1},
        {Act::Check, 16, 1},
        {Act::Text, 34, 0, "9"},
        {Act::List, 35, 1},
        {Act::Escape}},
       60,
       "010000000",
       "000000",
       "Right",
       3,
       1,
       false},
      {"close button after changes",
       "[Main]\r\nLenNum = 4\r\nPosNum = None\r\n",
       {{Act::Check, 11, 1},
        {Act::Check, 14, 0},
        {Act::Check, 26, 1},
        {Act::List, 35, 0},
        {Act::Close}},
       30,
       "110000000",
       "110000",
       "None",
       4,
       1,
       false},
      {"events of other windows do nothing",
       "",
       {{Act::CloseMain}, {Act::Timer}, {Act::KeyInMain}, {Act::Check, 16, 1}, {Act::Button, 40}},
       30,
       "111000000",
       "110000",
       "Right",
       3,
       1,
       true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    OpenMainWindow();
    ResetSettings();
    WriteFileBytes(kSettingsFileName, c.file);
    const std::string before = ReadFileBytes(kSettingsFileName);
    ScrambleMemory();  // the dialog starts from the file
    QueueSteps(c.steps);
    SettingsDialog();
    EXPECT_EQ(headless::PendingEvents(), 0);
    EXPECT_EQ(headless::ScriptEndCloses(), 0);
    ExpectClosedAndMainActive();
    // Memory, then the file read back into fresh memory.
    for (const bool fromFile : {false, true}) {
      SCOPED_TRACE(fromFile ? "file" : "memory");
      if (fromFile) {
        if (!c.saved) {
          EXPECT_EQ(ReadFileBytes(kSettingsFileName), before);
          continue;
        }
        ResetSettings();
        LoadSettings();
      }
      EXPECT_EQ(AppSettings.TimeMin, c.timeMin);
      EXPECT_EQ(FlagDigits(AppSettings.BandFlags, kBandClasses), c.bands);
      EXPECT_EQ(FlagDigits(AppSettings.ModeFlags, kModeClasses), c.modes);
      EXPECT_EQ(AppSettings.PosNum, c.posNum);
      EXPECT_EQ(AppSettings.LenNum, c.lenNum);
      EXPECT_EQ(AppSettings.RightWin, c.rightWin);
    }
  }
}

TEST_F(SettingsDialogTest, SavedFlagsShowCheckedNextTime) {
  headless::QueueCheck(14, 0);
  headless::QueueCheck(15, 0);
  headless::QueueCheck(24, 0);
  headless::QueueCheck(25, 0);
  headless::QueueButton(40);
  SettingsDialog();
  std::string bands, modes;
  headless::QueueProbe([&] {
    bands = ShownBoxes(14, 9);
    modes = ShownBoxes(24, 6);
  });
  headless::QueueKeyDown(27, kDialog);
  SettingsDialog();
  EXPECT_EQ(bands, "010000000");
  EXPECT_EQ(modes, "100000");
}

TEST_F(SettingsDialogTest, TheOpenReportStaysTheOneWritten) {
  const struct {
    const char* name;
    bool save;
    const char* fileAfter;
  } kCases[] = {{"Escape", false, "File = OLD.CBR\r\n"}, {"save", true, "File = NOW.CBR\r\n"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    OpenMainWindow();
    WriteFileBytes(kSettingsFileName, "[Main]\r\nFile = OLD.CBR\r\nTimeMin = 60\r\n");
    AppSettings.File = "NOW.CBR";
    if (c.save) {
      headless::QueueButton(40);
    } else {
      headless::QueueKeyDown(27, kDialog);
    }
    SettingsDialog();
    EXPECT_EQ(AppSettings.File, "NOW.CBR");
    EXPECT_EQ(AppSettings.TimeMin, 60);
    EXPECT_NE(ReadFileBytes(kSettingsFileName).find(c.fileAfter), std::string::npos);
  }
}

TEST_F(SettingsDialogTest, MainWindowTakesNoInputWhileOpen) {
  headless::QueueClick(5, 5, 0);  // refused while window 0 is disabled
  headless::QueueKeyDown(27, kDialog);
  SettingsDialog();
  EXPECT_EQ(MouseXInWindow(0), -1);
  ExpectClosedAndMainActive();
  headless::QueueClick(5, 5, 0);  // taken once it is enabled again
  WaitForEvent();
  EXPECT_EQ(MouseXInWindow(0), 5);
}

}  // namespace
