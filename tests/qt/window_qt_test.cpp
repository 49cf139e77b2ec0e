// The Qt window backend on the offscreen platform: geometry, colours, fonts,
// the key mapping, and the events WaitForEvent hands out.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "base/cp1251.h"
#include "ui/qt/keymap_qt.h"
#include "ui/qt/window_qt.h"
#include "ui/window.h"

namespace {

using qtkeys::KeyFacts;
using qtkeys::KeyMessage;
using qtwindow::ControlWidget;
using qtwindow::QueuedEventCount;
using qtwindow::WindowClient;
using qtwindow::WindowFrame;

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;
constexpr int kCyrillicEf = 0x0424;  // Ф, at the place of A
constexpr int kCyrillicBe = 0x0411;  // Б, at the place of the comma

TEST(KeyMap, VirtualKeyOfEachKey) {
  const struct {
    const char* name;
    int qtKey;
    uint32_t scanCode;
    Qt::KeyboardModifiers modifiers;
    bool positions;
    int expected;
  } kCases[] = {
      {"latin A at its place", Qt::Key_A, 38, kNone, true, 65},
      {"Cyrillic layout, X key code of A", kCyrillicEf, 38, kNone, true, 65},
      {"Cyrillic layout, key code of the comma key", kCyrillicBe, 59, kNone, true, 188},
      {"Cyrillic layout, no scan code", kCyrillicEf, 0, kNone, true, 65},
      {"Cyrillic, scan codes not positions", kCyrillicEf, 38, kNone, false, 65},
      {"AZERTY A at the place of Q stays A", Qt::Key_A, 24, kNone, true, 65},
      {"shifted digit 1 by position", Qt::Key_Exclam, 10, Qt::ShiftModifier, true, 49},
      {"digit 0", Qt::Key_0, 19, kNone, true, 48},
      {"digit 9 without scan code", Qt::Key_9, 0, kNone, true, 57},
      {"letter Z without scan code", Qt::Key_Z, 0, kNone, false, 90},
      {"comma", Qt::Key_Comma, 59, kNone, true, 188},
      {"period", Qt::Key_Period, 60, kNone, true, 190},
      {"quote", Qt::Key_Apostrophe, 48, kNone, true, 222},
      {"quote on a Cyrillic layout (Э)", 0x042D, 48, kNone, true, 222},
      {"space", Qt::Key_Space, 65, kNone, true, 32},
      {"backspace", Qt::Key_Backspace, 22, kNone, true, 8},
      {"tab", Qt::Key_Tab, 23, kNone, true, 9},
      {"shift tab", Qt::Key_Backtab, 23, Qt::ShiftModifier, true, 9},
      {"enter", Qt::Key_Return, 36, kNone, true, 13},
      {"keypad enter", Qt::Key_Enter, 104, kKeypad, true, 13},
      {"escape", Qt::Key_Escape, 9, kNone, true, 27},
      {"page up", Qt::Key_PageUp, 112, kNone, true, 33},
      {"page down", Qt::Key_PageDown, 117, kNone, true, 34},
      {"left", Qt::Key_Left, 113, kNone, true, 37},
      {"up", Qt::Key_Up, 111, kNone, true, 38},
      {"right", Qt::Key_Right, 114, kNone, true, 39},
      {"down", Qt::Key_Down, 116, kNone, true, 40},
      {"delete", Qt::Key_Delete, 119, kNone, true, 46},
      {"keypad 0, Num Lock on", Qt::Key_0, 90, kKeypad, true, 96},
      {"keypad 8, Num Lock on", Qt::Key_8, 80, kKeypad, true, 104},
      {"keypad 9, Num Lock on", Qt::Key_9, 81, kKeypad, true, 105},
      {"keypad 8, Num Lock off", Qt::Key_Up, 80, kKeypad, true, 38},
      {"keypad 3, Num Lock off", Qt::Key_PageDown, 89, kKeypad, true, 34},
      {"keypad period, Num Lock off", Qt::Key_Delete, 91, kKeypad, true, 46},
      {"shift", Qt::Key_Shift, 50, kNone, true, 16},
      {"control", Qt::Key_Control, 37, kNone, true, 17},
      {"alt", Qt::Key_Alt, 64, kNone, true, 18},
      {"F1", Qt::Key_F1, 67, kNone, true, 112},
      {"F12", Qt::Key_F12, 96, kNone, true, 123},
      {"unknown key", Qt::Key_unknown, 0, kNone, true, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(qtkeys::VirtualKeyOf(c.qtKey, c.scanCode, c.modifiers, c.positions), c.expected);
  }
}

struct KeyStep {
  bool press;
  int qtKey;
  uint32_t scanCode;
  Qt::KeyboardModifiers modifiers;
  bool autoRepeat;
  int code;  // expected message, 0 for none
  int vk;
};

TEST(KeyMap, MessagesOfKeySequences) {
  const struct {
    const char* name;
    std::vector<KeyStep> steps;
  } kCases[] = {
      {"plain letter",
       {{true, Qt::Key_A, 38, kNone, false, 256, 65},
        {false, Qt::Key_A, 38, kNone, false, 257, 65}}},
      {"Alt+A: Alt held, A down and up, Alt up",
       {{true, Qt::Key_Alt, 64, kNone, false, 260, 18},
        {true, Qt::Key_A, 38, kAlt, false, 260, 65},
        {false, Qt::Key_A, 38, kAlt, false, 261, 65},
        {false, Qt::Key_Alt, 64, kAlt, false, 257, 18}}},
      {"Alt+letter on a Cyrillic layout",
       {{true, Qt::Key_Alt, 64, kNone, false, 260, 18},
        {true, kCyrillicEf, 38, kAlt, false, 260, 65},
        {false, kCyrillicEf, 38, kAlt, false, 261, 65},
        {false, Qt::Key_Alt, 64, kAlt, false, 257, 18}}},
      {"Alt alone",
       {{true, Qt::Key_Alt, 64, kNone, false, 260, 18},
        {false, Qt::Key_Alt, 64, kAlt, false, 261, 18}}},
      {"Ctrl+Alt+A is no system key",
       {{true, Qt::Key_A, 38, Qt::ControlModifier | Qt::AltModifier, false, 256, 65},
        {false, Qt::Key_A, 38, Qt::ControlModifier | Qt::AltModifier, false, 257, 65}}},
      {"auto-repeat gives key-downs only",
       {{true, Qt::Key_B, 56, kNone, false, 256, 66},
        {false, Qt::Key_B, 56, kNone, true, 0, 0},
        {true, Qt::Key_B, 56, kNone, true, 256, 66},
        {true, Qt::Key_B, 56, kNone, true, 256, 66},
        {false, Qt::Key_B, 56, kNone, false, 257, 66}}},
      {"keypad release after a Num Lock change keeps the press code",
       {{true, Qt::Key_8, 80, kKeypad, false, 256, 104},
        {false, Qt::Key_Up, 80, kKeypad, false, 257, 104}}},
      {"release matched by Qt key when there is no scan code",
       {{true, Qt::Key_8, 0, kKeypad, false, 256, 104},
        {true, Qt::Key_8, 0, kNone, false, 256, 56},
        {false, Qt::Key_8, 0, kKeypad, false, 257, 104},
        {false, Qt::Key_8, 0, kNone, false, 257, 56}}},
      {"F10 is a system key",
       {{true, Qt::Key_F10, 76, kNone, false, 260, 121},
        {false, Qt::Key_F10, 76, kNone, false, 261, 121}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    qtkeys::KeyTracker tracker;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const KeyStep& s = c.steps[i];
      const KeyMessage m = qtkeys::TranslateKey(
          tracker, KeyFacts{s.press, s.qtKey, s.scanCode, s.modifiers, s.autoRepeat}, true);
      EXPECT_EQ(m.code, s.code);
      if (s.code != 0) {
        EXPECT_EQ(m.virtualKey, s.vk);
      }
    }
  }
}

TEST(FileDialogPattern, FiltersAndIndex) {
  const struct {
    std::string_view pattern;
    QStringList filters;
  } kCases[] = {
      {"Файлы Cabrilio|*.cbr"_cp, {QStringLiteral("Файлы Cabrilio (*.cbr)")}},
      {"A|*.a;*.b|B (old)|*.old|",
       {QStringLiteral("A (*.a *.b)"), QStringLiteral("B (old) (*.old)")}},
      {"no filter", {}},
      {"", {}},
      {"Empty filter||C|*.c", {QStringLiteral("C (*.c)")}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pattern));
    EXPECT_EQ(qtwindow::NameFiltersOf(c.pattern), c.filters);
  }
  const struct {
    int patternIndex, count, expected;
  } kIndexCases[] = {{0, 2, 0}, {1, 2, 0}, {2, 2, 1}, {3, 2, 0}, {-1, 2, 0}};
  for (const auto& c : kIndexCases) {
    SCOPED_TRACE(c.patternIndex);
    EXPECT_EQ(qtwindow::NameFilterIndex(c.patternIndex, c.count), c.expected);
  }
}

class QtLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitWindowLayer()); }
  void TearDown() override { ShutdownWindowLayer(); }

  // The main window as the program opens it, with a menu bar of two entries.
  static void OpenMainWindow() {
    ASSERT_NE(OpenAppWindow(0, 0, 0, 798, 530, "Corvane v7.0", kMainWindowFlags), 0);
    CreateMenuBar(1, AppWindowHandle(0));
    AddMenuTitle("Файл"_cp);
    AddMenuEntry(1, "Создать"_cp);
    AddMenuSeparator();
    AddMenuEntry(4, "Выход"_cp);
    SetControlParent(AppWindowHandle(0));
  }

  static void SendKey(QWidget* target, QEvent::Type type, int key, uint32_t scanCode,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false) {
    QKeyEvent event(type, key, modifiers, scanCode, 0, 0, QString(), repeat);
    QCoreApplication::sendEvent(target, &event);
  }

  static void Click(QWidget* target, QPoint at) {
    const QPoint global = target->mapToGlobal(at);
    QCursor::setPos(global);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
  }

  // The codes of every queued event, taken without waiting.
  static std::vector<int> TakeQueued() {
    std::vector<int> codes;
    while (QueuedEventCount() > 0) codes.push_back(WaitForEvent());
    return codes;
  }
};

TEST_F(QtLayerTest, WindowsHaveExactSizesAndAreCentred) {
  OpenMainWindow();
  ASSERT_NE(OpenAppWindow(2, 0, 0, 372, 130, "Установка даты и времени"_cp, kDialogWindowFlags), 0);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const struct {
    int window, width, height;
    bool hasMenu;
    QString title;
  } kCases[] = {{0, 798, 530, true, QStringLiteral("Corvane v7.0")},
                {2, 372, 130, false, QStringLiteral("Установка даты и времени")}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.window);
    QWidget* frame = WindowFrame(c.window);
    QWidget* client = WindowClient(c.window);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), QSize(c.width, c.height));
    EXPECT_EQ(frame->minimumSize(), frame->maximumSize());  // not resizable
    EXPECT_EQ(frame->pos(),
              QPoint((screen.width() - c.width) / 2, (screen.height() - c.height) / 2));
    EXPECT_EQ(frame->windowTitle(), c.title);
    const int bar = c.hasMenu ? frame->findChild<QMenuBar*>()->height() : 0;
    if (c.hasMenu) {
      EXPECT_GT(bar, 10);
    }
    // The menu bar takes its height from the client area.
    EXPECT_EQ(client->geometry(), QRect(0, bar, c.width, c.height - bar));
  }
}

TEST_F(QtLayerTest, ControlsSitAtTheirClientPositions) {
  OpenMainWindow();
  CreateLabel(85, 550, 480, 237, 22, "", kLabelCentred | kLabelSunken);
  CreateLabel(103, 183, 25, 100, 14, "", kLabelCentred);
  ASSERT_NE(OpenAppWindow(3, 0, 0, 390, 490, "Настройки"_cp, kDialogWindowFlags), 0);
  SetControlParent(AppWindowHandle(3));
  CreateGroupFrame(1, 10, 10, 180, 80, "Время на подтур"_cp);
  CreateCheckBox(14, 30, 120, 140, 20, "1900 КГц"_cp);
  CreateTextField(34, 280, 405, 80, 20, "3");
  CreatePushButton(40, 125, 450, 140, 25, "Сохранить"_cp);
  const struct {
    int id, window;
    QRect geometry;
  } kCases[] = {{85, 0, {550, 480, 237, 22}}, {103, 0, {183, 25, 100, 14}},
                {1, 3, {10, 10, 180, 80}},    {14, 3, {30, 120, 140, 20}},
                {34, 3, {280, 405, 80, 20}},  {40, 3, {125, 450, 140, 25}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    QWidget* widget = ControlWidget(c.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), WindowClient(c.window));
    EXPECT_EQ(widget->geometry(), c.geometry);
  }
  CreateDropDownList(35, 280, 380, 80, 70);
  QWidget* list = ControlWidget(35);
  EXPECT_EQ(list->pos(), QPoint(280, 380));
  EXPECT_LE(list->height(), 70);  // the given height is that of the opened list
  CloseAppWindow(3);
  EXPECT_EQ(ControlWidget(14), nullptr);  // closing frees the window's ids
  EXPECT_NE(ControlWidget(85), nullptr);
}

TEST_F(QtLayerTest, LabelColoursBecomeRgb) {
  OpenMainWindow();
  CreateLabel(90, 10, 6, 50, 18, "X", kLabelCentred);
  const QColor buttonFace = WindowFrame(0)->palette().color(QPalette::Window);
  const struct {
    const char* name;
    int32_t text, back;
    QColor expectedText, expectedBack;
    bool opaque;
  } kCases[] = {
      {"header: white on blue", 0xFFFFFF, 0xFF0000, QColor(255, 255, 255), QColor(0, 0, 255), true},
      {"grid: green on black", 0x00FF00, 0x000000, QColor(0, 255, 0), QColor(0, 0, 0), true},
      {"red is the low byte", 0x0000FF, 0xCCCCFF, QColor(255, 0, 0), QColor(255, 204, 204), true},
      {"informer head", 0x000000, 0x00DD00, QColor(0, 0, 0), QColor(0, 221, 0), true},
      {"high byte ignored", 0x7F123456, 0x01654321, QColor(0x56, 0x34, 0x12),
       QColor(0x21, 0x43, 0x65), true},
      {"text colour only paints on button face", 0x0000FF, -1, QColor(255, 0, 0), buttonFace,
       false},
  };
  auto* label = static_cast<QLabel*>(ControlWidget(90));
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetControlColour(90, kColourText, c.text);
    SetControlColour(90, kColourBack, c.back);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), c.expectedText);
    EXPECT_EQ(label->autoFillBackground(), c.opaque);
    if (c.opaque) {
      EXPECT_EQ(label->palette().color(QPalette::Window), c.expectedBack);
    }
    // What is drawn: a corner pixel of the window shows the back colour.
    const QImage shot = WindowFrame(0)->grab().toImage();
    const QPoint corner = label->mapTo(WindowFrame(0), QPoint(1, label->height() - 2));
    EXPECT_EQ(QColor(shot.pixel(corner)), c.expectedBack);
  }
  EXPECT_EQ(label->styleSheet(), QString());
}

TEST_F(QtLayerTest, FontsAreBoldCourierAtThePointSizes) {
  OpenMainWindow();
  CreateLabel(84, 0, 0, 10, 10, "", 0);  // made with the system's default font
  const QFont systemFont = ControlWidget(84)->font();
  const NativeHandle big = LoadFontFace(1, "Courier", 10, kFontBold);
  ASSERT_NE(big, 0);
  SetControlFont(kSetDefaultFont, big);
  CreateLabel(90, 10, 6, 50, 18, "", kLabelCentred);
  const NativeHandle small = LoadFontFace(1, "Courier", 8, kFontBold);  // replaces font 1
  ASSERT_NE(small, 0);
  EXPECT_EQ(FontHandle(1), small);
  CreateLabel(91, 61, 6, 70, 18, "", kLabelCentred);  // the default is still the 10 pt copy
  SetControlFont(kSetDefaultFont, small);
  CreateLabel(100, 10, 25, 50, 14, "", kLabelCentred);
  SetControlFont(101, small);  // no such control: nothing happens
  const NativeHandle plain = LoadFontFace(2, "Courier", 8, 0);
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  const struct {
    int id;
    int points;
    bool bold;
  } kCases[] = {{90, 10, true}, {91, 10, true}, {100, 8, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    const QFontInfo info(ControlWidget(c.id)->font());
    EXPECT_TRUE(info.family().contains(QStringLiteral("Mono")) ||
                info.family().contains(QStringLiteral("Courier")))
        << info.family().toStdString();
    EXPECT_EQ(info.bold(), c.bold);
    EXPECT_EQ(info.pixelSize(), static_cast<int>(std::lround(c.points * dpi / 72.0)));
  }
  ASSERT_NE(plain, 0);
  SetControlFont(100, plain);
  EXPECT_FALSE(QFontInfo(ControlWidget(100)->font()).bold());
  EXPECT_EQ(ControlWidget(84)->font(), systemFont);
  const struct {
    const char* face;
    int points;
  } kFailures[] = {{"", 8}, {"Courier", 0}, {"Courier", -3}, {"Courier", 100000}};
  for (const auto& f : kFailures) {
    SCOPED_TRACE(f.points);
    EXPECT_EQ(LoadFontFace(3, f.face, f.points, kFontBold), 0);
  }
  EXPECT_EQ(FontHandle(3), 0);
}

TEST_F(QtLayerTest, LabelsShowPlainTextWithTheirAlignment) {
  OpenMainWindow();
  const struct {
    int flags;
    std::string_view text;
    QString shown;
    Qt::Alignment horizontal;
    bool sunken;
  } kCases[] = {
      {kLabelLeft, "<b>UA3A</b>", QStringLiteral("<b>UA3A</b>"), Qt::AlignLeft, false},
      {kLabelCentred, "Время"_cp, QStringLiteral("Время"), Qt::AlignHCenter, false},
      {kLabelRight, "Дата:"_cp, QStringLiteral("Дата:"), Qt::AlignRight, false},
      {kLabelCentred | kLabelSunken, "Отчёт не загружен!"_cp, QStringLiteral("Отчёт не загружен!"),
       Qt::AlignHCenter, true},
  };
  int id = 200;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.flags);
    CreateLabel(++id, 10, 10, 200, 20, c.text, c.flags);
    auto* label = static_cast<QLabel*>(ControlWidget(id));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), c.shown);
    EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, c.horizontal);
    EXPECT_EQ(label->frameWidth() > 0, c.sunken);
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(GetControlText(id), c.text);  // the same Windows-1251 bytes come back
  }
  CreateTextField(300, 0, 0, 80, 20, "");
  static_cast<QLineEdit*>(ControlWidget(300))->setText(QStringLiteral("R3A 中"));
  EXPECT_EQ(GetControlText(300), "R3A ?");  // what the code page lacks
}

TEST_F(QtLayerTest, LabelsKeepTheirTextColourWhileTheirWindowIsDisabled) {
  OpenMainWindow();
  CreateLabel(1900, 10, 480, 525, 18, "ВНИМАНИЕ"_cp, kLabelCentred);
  CreateLabel(90, 10, 6, 50, 18, "Время"_cp, kLabelCentred);
  SetControlColour(90, kColourText, 0xFFFFFF);
  const QColor standardGrey =
      QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
  const auto textColour = [](int id) {
    return ControlWidget(id)->palette().color(QPalette::WindowText);
  };
  const struct {
    const char* name;
    int windowDisabled, labelDisabled;
    QColor status, header;
  } kCases[] = {
      {"window disabled by a dialog", 1, 0, QColor(Qt::black), QColor(Qt::white)},
      {"label disabled itself", 0, 1, standardGrey, QColor(Qt::white)},
      {"both enabled again", 0, 0, QColor(Qt::black), QColor(Qt::white)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetAppWindowDisabled(0, c.windowDisabled);
    SetControlDisabled(1900, c.labelDisabled);
    EXPECT_EQ(textColour(1900), c.status);
    EXPECT_EQ(textColour(90), c.header);
  }
}

TEST_F(QtLayerTest, KeysReachWaitForEventInOrder) {
  OpenMainWindow();
  QWidget* frame = WindowFrame(0);
  SendKey(frame, QEvent::KeyPress, kCyrillicEf, 38);
  SendKey(frame, QEvent::KeyRelease, kCyrillicEf, 38);
  QCoreApplication::postEvent(frame, new QKeyEvent(QEvent::KeyPress, Qt::Key_8, kKeypad, 80, 0, 0));
  QCoreApplication::postEvent(frame,
                              new QKeyEvent(QEvent::KeyRelease, Qt::Key_Up, kKeypad, 80, 0, 0));
  const struct { int code, key; } kExpected[] = {{256, 65}, {257, 65}, {256, 104}, {257, 104}};
  for (const auto& e : kExpected) {
    SCOPED_TRACE(e.key);
    EXPECT_EQ(WaitForEvent(), e.code);  // the posted ones are fetched by waiting
    EXPECT_EQ(EventKeyCode(), e.key);
    EXPECT_EQ(EventWindowId(), 0);
  }
  // Alt+A, an auto-repeated key, Tab.
  SendKey(frame, QEvent::KeyPress, Qt::Key_Alt, 64);
  SendKey(frame, QEvent::KeyPress, Qt::Key_A, 38, kAlt);
  SendKey(frame, QEvent::KeyRelease, Qt::Key_A, 38, kAlt);
  SendKey(frame, QEvent::KeyRelease, Qt::Key_Alt, 64, kAlt);
  SendKey(frame, QEvent::KeyPress, Qt::Key_D, 40);
  SendKey(frame, QEvent::KeyRelease, Qt::Key_D, 40, kNone, true);
  SendKey(frame, QEvent::KeyPress, Qt::Key_D, 40, kNone, true);
  SendKey(frame, QEvent::KeyRelease, Qt::Key_D, 40);
  QWidget* focusBefore = QApplication::focusWidget();
  SendKey(frame, QEvent::KeyPress, Qt::Key_Tab, 23);
  EXPECT_EQ(QApplication::focusWidget(), focusBefore);  // no focus move in the main window
  const std::vector<int> expected = {260, 260, 261, 257, 256, 256, 257, 256};
  EXPECT_EQ(TakeQueued(), expected);
  EXPECT_EQ(EventKeyCode(), 9);
  EXPECT_FALSE(frame->findChild<QMenuBar*>()->hasFocus());  // Alt alone leaves the menu alone
}

TEST_F(QtLayerTest, TabInADialogMovesFocusAndIsReported) {
  ASSERT_NE(OpenAppWindow(1, 0, 0, 640, 420, "Шапка отчёта"_cp, kDialogWindowFlags), 0);
  SetControlParent(AppWindowHandle(1));
  CreateLabel(50, 10, 10, 180, 18, "Позывной:"_cp, 0);
  CreateTextField(67, 170, 35, 140, 20, "");
  CreateTextField(68, 170, 60, 140, 20, "");
  ControlWidget(67)->setFocus();
  TakeQueued();
  SendKey(ControlWidget(67), QEvent::KeyPress, Qt::Key_Tab, 23);
  EXPECT_EQ(WindowFrame(1)->focusWidget(), ControlWidget(68));
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(EventKeyCode(), 9);
  EXPECT_EQ(EventWindowId(), 1);
  // Typing still reaches the field, and an edit is a control event.
  SendKey(ControlWidget(68), QEvent::KeyPress, Qt::Key_R, 27);
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_R, Qt::NoModifier, QStringLiteral("R"));
  QCoreApplication::sendEvent(ControlWidget(68), &typed);
  EXPECT_EQ(GetControlText(68), "R");
  const std::vector<int> expected = {256, 256, kEventControl};
  EXPECT_EQ(TakeQueued(), expected);
  EXPECT_EQ(EventSourceId(), 68);
}

TEST_F(QtLayerTest, ClicksGiveButtonDownsAndCursorPositions) {
  OpenMainWindow();
  CreateLabel(103, 183, 25, 100, 14, "", kLabelCentred);
  QWidget* client = WindowClient(0);
  Click(ControlWidget(103), QPoint(10, 5));
  EXPECT_EQ(TakeQueued(), std::vector<int>{kEventLButtonDown});  // no control event
  const struct {
    const char* name;
    QPoint at;  // client coordinates
    int x, y;
  } kCases[] = {
      {"on the label", {193, 30}, 193, 30},
      {"top left corner", {0, 0}, 0, 0},
      {"bottom right edge counts as inside",
       {client->width(), client->height()},
       client->width(),
       client->height()},
      {"right of the window", {client->width() + 1, 5}, -1, -1},
      {"over the menu bar", {5, -3}, -1, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    QCursor::setPos(client->mapToGlobal(c.at));
    EXPECT_EQ(MouseXInWindow(0), c.x);
    EXPECT_EQ(MouseYInWindow(0), c.y);
  }
  EXPECT_EQ(MouseXInWindow(4), -1);  // no such window
  // A click on the menu bar is the menu's, not the program's.
  Click(WindowFrame(0)->findChild<QMenuBar*>(), QPoint(200, 5));
  EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(QtLayerTest, MenuEntriesGiveMenuEvents) {
  OpenMainWindow();
  AddMenuTitle("Помощь"_cp);
  AddMenuEntry(31, "Вызов справки"_cp);
  AddMenuSeparator();
  AddMenuEntry(32, "О программе"_cp);
  auto* bar = WindowFrame(0)->findChild<QMenuBar*>();
  const struct {
    int title, entry;
    QString text;
    int id;
  } kCases[] = {{0, 0, QStringLiteral("Создать"), 1},
                {0, 2, QStringLiteral("Выход"), 4},
                {1, 0, QStringLiteral("Вызов справки"), 31},
                {1, 2, QStringLiteral("О программе"), 32}};
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("Файл"));
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    QAction* entry = bar->actions()[c.title]->menu()->actions()[c.entry];
    EXPECT_EQ(entry->text(), c.text);
    entry->trigger();
    EXPECT_EQ(WaitForEvent(), kEventMenu);
    EXPECT_EQ(EventSourceId(), c.id);
    EXPECT_EQ(EventWindowId(), 0);
  }
  EXPECT_TRUE(bar->actions()[0]->menu()->actions()[1]->isSeparator());
}

TEST_F(QtLayerTest, ListsButtonsAndChecks) {
  ASSERT_NE(OpenAppWindow(3, 0, 0, 390, 490, "Настройки"_cp, kDialogWindowFlags), 0);
  SetControlParent(AppWindowHandle(3));
  CreateDropDownList(35, 280, 380, 80, 70);
  EXPECT_EQ(GetControlValue(35), -1);
  for (const auto text : {"справа"_cp, "слева"_cp, "нет"_cp}) AppendListEntry(35, text);
  EXPECT_EQ(GetControlValue(35), -1);  // entries alone choose nothing
  const struct { int set, expected; } kValues[] = {{2, 2}, {0, 0}, {3, -1}, {-1, -1}, {1, 1}};
  for (const auto& v : kValues) {
    SCOPED_TRACE(v.set);
    SetControlValue(35, v.set);
    EXPECT_EQ(GetControlValue(35), v.expected);
  }
  EXPECT_EQ(GetControlText(35), "слева"_cp);
  TakeQueued();
  SendKey(ControlWidget(35), QEvent::KeyPress, Qt::Key_Down, 116);  // the user chooses "нет"
  EXPECT_EQ(GetControlValue(35), 2);
  EXPECT_EQ(TakeQueued(), (std::vector<int>{kEventKeyDown, kEventControl}));
  EXPECT_EQ(EventSourceId(), 35);

  CreatePushButton(40, 125, 450, 140, 25, "Сохранить"_cp);
  CreateCheckBox(14, 30, 120, 140, 20, "1900 КГц"_cp);
  SetControlValue(14, 2);
  EXPECT_EQ(GetControlValue(14), 1);
  Click(ControlWidget(40), QPoint(70, 12));
  Click(ControlWidget(14), QPoint(6, 10));
  EXPECT_EQ(TakeQueued(), (std::vector<int>{513, kEventControl, 513, kEventControl}));
  EXPECT_EQ(EventSourceId(), 14);
  EXPECT_EQ(GetControlValue(14), 0);
  SetControlDisabled(40, 1);
  EXPECT_FALSE(ControlWidget(40)->isEnabled());
}

TEST_F(QtLayerTest, RadioOptionsGroupByCreationOrder) {
  ASSERT_NE(OpenAppWindow(3, 0, 0, 390, 490, "Настройки"_cp, kDialogWindowFlags), 0);
  SetControlParent(AppWindowHandle(3));
  CreateGroupFrame(1, 10, 10, 180, 80, "Время на подтур"_cp);
  CreateRadioOption(10, 30, 30, 140, 20, "30 минут"_cp);
  CreateRadioOption(11, 30, 55, 140, 20, "60 минут"_cp);
  CreateGroupFrame(2, 200, 10, 180, 80, "Окно информера"_cp);
  CreateRadioOption(12, 220, 30, 140, 20, "Включено"_cp);
  CreateRadioOption(13, 220, 55, 140, 20, "Отключено"_cp);
  const struct {
    const char* name;
    int id, value;
    bool click;
    std::array<int, 4> expected;  // options 10..13 afterwards
  } kSteps[] = {
      {"set 10", 10, 1, false, {1, 0, 0, 0}},
      {"set 12: the other group", 12, 1, false, {1, 0, 1, 0}},
      {"set 11 clears 10", 11, 1, false, {0, 1, 1, 0}},
      {"click 10 clears 11", 10, 0, true, {1, 0, 1, 0}},
      {"click 10 again keeps it", 10, 0, true, {1, 0, 1, 0}},
      {"click 13 clears 12 only", 13, 0, true, {1, 0, 0, 1}},
      {"value 0 clears", 13, 0, false, {1, 0, 0, 0}},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    if (s.click) {
      Click(ControlWidget(s.id), QPoint(6, 10));
      EXPECT_EQ(TakeQueued(), (std::vector<int>{513, kEventControl}));
      EXPECT_EQ(EventSourceId(), s.id);
    } else {
      SetControlValue(s.id, s.value);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetControlValue(10 + i), s.expected[i]) << 10 + i;
  }
}

TEST_F(QtLayerTest, CloseRequestsAndDisabledWindows) {
  OpenMainWindow();
  ASSERT_NE(OpenAppWindow(5, 0, 0, 700, 390, "Справка"_cp, kDialogWindowFlags), 0);
  SetAppWindowDisabled(0, 1);
  SendKey(WindowFrame(0), QEvent::KeyPress, Qt::Key_A, 38);  // a disabled window takes nothing
  QCoreApplication::postEvent(WindowFrame(0), new QCloseEvent);
  QCoreApplication::postEvent(WindowFrame(5), new QCloseEvent);
  QCoreApplication::postEvent(WindowFrame(5), new QCloseEvent);  // the same request once
  EXPECT_EQ(WaitForEvent(), kEventClose);
  EXPECT_EQ(EventWindowId(), 5);
  EXPECT_TRUE(WindowFrame(5)->isVisible());  // nothing closes by itself
  EXPECT_EQ(QueuedEventCount(), 0);
  SendKey(WindowFrame(5), QEvent::KeyPress, Qt::Key_Escape, 9);
  QCloseEvent request;
  QCoreApplication::sendEvent(WindowFrame(5), &request);
  CloseAppWindow(5);  // what was queued for it goes with it
  EXPECT_EQ(QueuedEventCount(), 0);
  SetAppWindowDisabled(0, 0);
  ActivateAppWindow(0);
  SendKey(WindowFrame(0), QEvent::KeyPress, Qt::Key_S, 39);
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(EventKeyCode(), 'S');
  EXPECT_EQ(AppWindowHandle(5), 0);
}

TEST_F(QtLayerTest, TimerTicksCoalesce) {
  StartThreadTimer(5);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 80) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  StartThreadTimer(0);
  EXPECT_EQ(QueuedEventCount(), 1);
  EXPECT_EQ(WaitForEvent(), kEventTimer);
  EXPECT_EQ(EventWindowId(), 0);
}

TEST_F(QtLayerTest, PicturesLoadFromWindowsBitmaps) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QImage image(70, 39, QImage::Format_RGB32);
  image.fill(QColor(10, 20, 30));
  ASSERT_TRUE(image.save(folder.filePath(QStringLiteral("help.bmp")), "BMP"));
  ASSERT_TRUE(image.save(folder.filePath(QStringLiteral("png.bmp")), "PNG"));
  QFile broken(folder.filePath(QStringLiteral("broken.bmp")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  const char header[] = "BM\x10\x00\x00\x00garbage";  // a bitmap header that ends early
  broken.write(header, sizeof header - 1);
  broken.close();
  const auto path = [&folder](const char* name) {
    return cp1251::FromUtf16(folder.filePath(QString::fromLatin1(name)).toStdU16String());
  };
  const struct {
    const char* file;
    bool loads;
  } kCases[] = {
      {"help.bmp", true}, {"png.bmp", false}, {"broken.bmp", false}, {"missing.bmp", false}};
  ASSERT_NE(OpenAppWindow(5, 0, 0, 700, 390, "Справка"_cp, kDialogWindowFlags), 0);
  SetControlParent(AppWindowHandle(5));
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    const NativeHandle picture = LoadPictureFile(0, path(c.file));
    EXPECT_EQ(picture != 0, c.loads);
    EXPECT_EQ(PictureHandle(0), picture);
    CreatePicture(1, 0, 0, 700, 390, picture);
    const QPixmap shown = static_cast<QLabel*>(ControlWidget(1))->pixmap();
    EXPECT_EQ(shown.isNull(), !c.loads);  // a failed picture leaves the control blank
    if (c.loads) {
      EXPECT_EQ(shown.size(), QSize(70, 39));
      EXPECT_EQ(shown.toImage().pixelColor(5, 5), QColor(10, 20, 30));
    }
  }
}

TEST_F(QtLayerTest, FileDialogsAndMessageBox) {
  OpenMainWindow();
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString before = QDir::currentPath();
  const QString chosen = folder.filePath(QStringLiteral("тест.CBR"));
  bool mainDisabled = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    mainDisabled = !WindowFrame(0)->isEnabled();
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Файлы Cabrilio (*.cbr)"));
    dialog->selectFile(chosen);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept checks the name
  });
  const std::string saved = AskSaveFileName("Сохранить"_cp, "", "Файлы Cabrilio|*.cbr"_cp, 0);
  EXPECT_EQ(saved, cp1251::FromUtf16(chosen.toStdU16String()));  // no extension added
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(WindowFrame(0)->isEnabled());
  EXPECT_EQ(QDir::currentPath(), before);

  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_EQ(AskOpenFileName("Открыть"_cp, "", "Файлы Cabrilio|*.cbr"_cp, 0), "");

  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    mainDisabled = !WindowFrame(0)->isEnabled();
    EXPECT_EQ(box->text(), QStringLiteral("Corvane v7.0\nАвторы"));
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(ShowMessageBox("О программе"_cp, "Corvane v7.0\nАвторы"_cp, kMessageBoxInformation), 1);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(WindowFrame(0)->isEnabled());
}

}  // namespace
