// "Трансивер" on the headless backend: Hamlib's models in order, what Save
// writes to the Rig group of options.ini and hands the poller, and that the
// other ways out change nothing.
#include <chrono>
#include <string>
#include <thread>

#include "base/text.h"
#include "rig/rig.h"
#include "tests/test_support.h"

namespace {

constexpr int kModelList = 1941, kPortField = 1942, kSpeedField = 1943, kOffBox = 1944,
              kSaveButton = 1945;

class RigDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    OpenMainWindowOnly();
  }
  void TearDown() override {
    ConfigureRig(0, "", 0);
    ProgramTest::TearDown();
  }
  static void Run() { RunDialog(RigDialog, kRigWindowId); }
  // The list entry naming Hamlib model `model` ("... (2)"); -1 when none does
  // (or the dialog is not open).
  static int EntryOf(int model) {
    if (headless::Control(kModelList) == nullptr) return -1;
    const auto& entries = headless::Control(kModelList)->entries;
    const std::string tail = "(" + DecimalText(model) + ")";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].size() >= tail.size() &&
          entries[i].compare(entries[i].size() - tail.size(), tail.size(), tail) == 0)
        return static_cast<int>(i);
    }
    return -1;
  }
};

TEST_F(RigDialogTest, ShowsHamlibsModelsInOrder) {
  if (!RigControlBuilt()) GTEST_SKIP() << "built without Hamlib";
  const std::vector<RigModelEntry> models = ListRigModels();
  ASSERT_GT(models.size(), 100u) << "Hamlib lists the radios it drives";
  for (std::size_t i = 1; i < models.size(); ++i) {
    const std::string before = UpperCase1251(models[i - 1].maker + "\x01" + models[i - 1].name);
    const std::string after = UpperCase1251(models[i].maker + "\x01" + models[i].name);
    EXPECT_LE(before, after) << i;
  }

  // No rig: "Отключено" checked, the rest greyed, the network model offered.
  int shownEntries = 0, selected = -1, network = -2;
  bool greyed = false;
  std::string port;
  headless::QueueProbe([&] {
    shownEntries = static_cast<int>(headless::Control(kModelList)->entries.size());
    selected = headless::Control(kModelList)->value;
    network = EntryOf(kRigNetworkModel);
    greyed = headless::Control(kModelList)->disabled && headless::Control(kPortField)->disabled &&
             headless::Control(kSpeedField)->disabled;
    port = headless::Control(kPortField)->text;
  });
  headless::QueueCheck(kOffBox, 0);
  headless::QueueProbe([&] { greyed = greyed && !headless::Control(kModelList)->disabled; });
  headless::QueueKeyDown(kKeyEscape, kRigWindowId);
  Run();
  EXPECT_EQ(headless::Window(kRigWindowId)->title, "Трансивер"_cp);
  EXPECT_EQ(shownEntries, static_cast<int>(models.size()));
  EXPECT_EQ(selected, network);
  EXPECT_GE(network, 0);
  EXPECT_TRUE(greyed) << "greyed while off, not after";
  EXPECT_EQ(port, "");
  EXPECT_FALSE(PathExists(kOptionsFileName)) << "Escape writes nothing";
  EXPECT_EQ(TakeRigReading().link, kRigOff);
}

TEST_F(RigDialogTest, SaveWritesTheRigGroupAndRestartsThePoller) {
  if (!RigControlBuilt()) GTEST_SKIP() << "built without Hamlib";
  WriteFileBytes(kOptionsFileName, "[Clock]\r\nUTC = 1\r\n[Later]\r\nKey = kept\r\n");
  LoadOptions();
  const int32_t before = TakeRigReading().session;

  // The close button saves nothing.
  headless::QueueCheck(kOffBox, 0);
  headless::QueueClose(kRigWindowId);
  Run();
  ASSERT_EQ(ReadFileBytes(kOptionsFileName), "[Clock]\r\nUTC = 1\r\n[Later]\r\nKey = kept\r\n");
  EXPECT_EQ(TakeRigReading().session, before);

  // Hamlib's dummy radio, which answers without any device; the list shows
  // the models as ListRigModels gives them.
  int dummy = -1;
  const std::vector<RigModelEntry> models = ListRigModels();
  for (std::size_t i = 0; i < models.size(); ++i) {
    if (models[i].model == 1) dummy = static_cast<int>(i);
  }
  ASSERT_GE(dummy, 0);
  OpenMainWindowOnly();
  headless::QueueCheck(kOffBox, 0);
  headless::QueueListChoice(kModelList, dummy);
  headless::QueueTextEdit(kPortField, "  /dev/null  ");
  headless::QueueTextEdit(kSpeedField, "4800");
  headless::QueueButton(kSaveButton);
  Run();
  EXPECT_EQ(ReadFileBytes(kOptionsFileName),
            "[Clock]\r\nUTC = 1\r\n[Later]\r\nKey = kept\r\n"
            "[Rig]\r\nModel = 1\r\nPort = /dev/null\r\nSpeed = 4800\r\n");
  EXPECT_FALSE(PathExists(kSettingsFileName)) << "corvane.ini is not touched";
  RigReading reading = TakeRigReading();
  EXPECT_GT(reading.session, before);
  for (int k = 0; k < 100 && reading.link != kRigAnswers; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    reading = TakeRigReading();
  }
  EXPECT_EQ(reading.link, kRigAnswers) << "the dummy answers at once";
  EXPECT_GT(reading.frequencyHz, 0);

  // Opened again it shows what was saved; "Отключено" and Save turn it off.
  OpenMainWindowOnly();
  std::string shown;
  headless::QueueProbe([&] {
    shown = DecimalText(headless::Control(kModelList)->value == dummy) + " " +
            headless::Control(kPortField)->text + " " + headless::Control(kSpeedField)->text +
            " " + DecimalText(headless::Control(kOffBox)->value);
  });
  headless::QueueCheck(kOffBox, 1);
  headless::QueueButton(kSaveButton);
  Run();
  EXPECT_EQ(shown, "1 /dev/null 4800 0");
  EXPECT_EQ(Options.RigModel, 0);
  EXPECT_EQ(TakeRigReading().link, kRigOff);
  EXPECT_NE(ReadFileBytes(kOptionsFileName).find("[Rig]\r\nModel = 0\r\nPort = /dev/null\r\n"),
            std::string::npos);
}

TEST_F(RigDialogTest, AHandWrittenSetupIsKept) {
  if (!RigControlBuilt()) GTEST_SKIP() << "built without Hamlib";
  const struct {
    const char* name;
    const char* file;
    const char* speedTyped;  // nullptr: not touched
    const char* want;        // the Rig group after Save
  } kCases[] = {
      {"a model Hamlib does not list", "[Rig]\r\nModel = 987654\r\nPort = rig:1\r\n", nullptr,
       "[Rig]\r\nModel = 987654\r\nPort = rig:1\r\nSpeed = 0\r\n"},
      {"a speed below zero is the default", "[Rig]\r\nModel = 987654\r\n", "-9600",
       "[Rig]\r\nModel = 987654\r\nPort = \r\nSpeed = 0\r\n"},
      {"a speed that is no number", "[Rig]\r\nModel = 987654\r\nSpeed = 19200\r\n", "fast",
       "[Rig]\r\nModel = 987654\r\nSpeed = 0\r\nPort = \r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    OpenMainWindowOnly();
    WriteFileBytes(kOptionsFileName, c.file);
    LoadOptions();
    std::string last;
    headless::QueueProbe([&] {
      const auto* list = headless::Control(kModelList);
      last = list->value == static_cast<int>(list->entries.size()) - 1 ? list->entries.back() : "?";
    });
    if (c.speedTyped != nullptr) headless::QueueTextEdit(kSpeedField, c.speedTyped);
    headless::QueueButton(kSaveButton);
    Run();
    EXPECT_EQ(last, "Модель 987654"_cp);
    EXPECT_EQ(ReadFileBytes(kOptionsFileName), c.want);
    ConfigureRig(0, "", 0);
  }
}

TEST_F(RigDialogTest, WithoutHamlibItSaysSo) {
  if (RigControlBuilt()) GTEST_SKIP() << "built with Hamlib";
  std::string said;
  bool listed = true;
  headless::QueueProbe([&] {
    said = headless::Control(1947)->text;
    listed = headless::Control(kModelList) != nullptr;
  });
  headless::QueueButton(1946);  // "Закрыть"
  Run();
  EXPECT_NE(said.find("Hamlib"), std::string::npos) << said;
  EXPECT_FALSE(listed);
  EXPECT_FALSE(PathExists(kOptionsFileName));
}

// "Параметры" > "Трансивер" in the running program opens the dialog over the
// main window.
TEST_F(RigDialogTest, TheMenuEntryOpensIt) {
  ASSERT_TRUE(StartUp());
  bool open = false;
  headless::QueueMenu(23);
  headless::QueueProbe([&] {
    open = headless::ActiveWindow() == kRigWindowId && headless::Window(0)->disabled;
  });
  headless::QueueKeyDown(kKeyEscape, kRigWindowId);
  App.QuitRequested = false;
  RunEventLoop();
  EXPECT_TRUE(open);
  EXPECT_FALSE(headless::Window(kRigWindowId)->open);
}

}  // namespace
