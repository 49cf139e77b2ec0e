// The Qt window backend on the offscreen platform: geometry, colours, fonts,
// the key mapping, and the events WaitForEvent hands out.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include <QtWidgets>

#include "base/cp1251.h"
#include "ui/qt/keymap_qt.h"
#include "ui/qt/window_qt.h"
#include "ui/window.h"

namespace {

using namespace qtwindow;
using Codes = std::vector<int>;

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier, kAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers kPad = Qt::KeypadModifier, kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr int kEf = 0x0424;  // Cyrillic Ф, at the place of A
constexpr bool kDown = true, kUp = false;

class QtLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitWindowLayer()); }
  void TearDown() override { ShutdownWindowLayer(); }

  // The main window as the program opens it, with a menu; controls go into it.
  static void OpenMainWindow() {
    ASSERT_NE(OpenAppWindow(0, 0, 0, 798, 530, "Corvane v7.0", kMainWindowFlags), 0);
    CreateMenuBar(1, AppWindowHandle(0));
    AddMenuTitle("Файл"_cp);
    AddMenuEntry(1, "Создать"_cp);
    AddMenuSeparator();
    AddMenuEntry(4, "Выход"_cp);
    SetControlParent(AppWindowHandle(0));
  }
  static void OpenDialog(int id, int width, int height) {
    ASSERT_NE(OpenAppWindow(id, 0, 0, width, height, "Настройки"_cp, kDialogWindowFlags), 0);
    SetControlParent(AppWindowHandle(id));
  }
  static void SendKey(QWidget* target, int key, uint32_t scanCode, const QString& text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, kNone, scanCode, 0, 0, text);
    QCoreApplication::sendEvent(target, &event);
  }
  static void Click(QWidget* target, QPoint at) {
    for (const bool press : {true, false}) {
      QMouseEvent event(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at,
                        target->mapToGlobal(at), Qt::LeftButton,
                        press ? Qt::LeftButton : Qt::NoButton, kNone);
      QCoreApplication::sendEvent(target, &event);
    }
  }
  // The codes of every queued event, taken without waiting.
  static Codes TakeQueued() {
    Codes codes;
    while (QueuedEventCount() > 0) codes.push_back(WaitForEvent());
    return codes;
  }
};

TEST(QtLayerStart, NoDisplayOrAForeignApplicationGivesFalse) {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), display = qgetenv("DISPLAY");
  qputenv("QT_QPA_PLATFORM", "xcb");
  for (const char* noServer : {"", ":1997", "unix:1997.0"}) {
    qputenv("DISPLAY", noServer);
    EXPECT_FALSE(InitWindowLayer()) << noServer;  // where Qt would end the process
  }
  qputenv("QT_QPA_PLATFORM", platform);
  qputenv("DISPLAY", display);
  int argc = 1;
  char name[] = "other", *argv[] = {name, nullptr};
  {
    const QApplication other(argc, argv);
    EXPECT_FALSE(InitWindowLayer());
  }
  EXPECT_TRUE(InitWindowLayer() && InitWindowLayer());  // a second call keeps the layer
  ShutdownWindowLayer();
}

TEST_F(QtLayerTest, WindowsAndControlsHaveExactGeometry) {
  OpenMainWindow();
  CreateLabel(85, 550, 480, 237, 22, "", kLabelCentred | kLabelSunken);
  OpenDialog(3, 390, 490);
  CreateTextField(34, 280, 405, 80, 20, "3");
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int bar = WindowFrame(0)->findChild<QMenuBar*>()->height();
  EXPECT_GT(bar, 10);
  const struct {
    int window, width, height, menuBar, control;
    QRect controlGeometry;
  } kCases[] = {{0, 798, 530, bar, 85, {550, 480, 237, 22}},
                {3, 390, 490, 0, 34, {280, 405, 80, 20}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.window);
    QWidget* frame = WindowFrame(c.window);
    EXPECT_EQ(frame->pos(), QPoint(screen.width() - c.width, screen.height() - c.height) / 2);
    EXPECT_EQ(frame->size(), QSize(c.width, c.height));
    EXPECT_EQ(frame->minimumSize(), frame->maximumSize());  // not resizable
    // The menu bar takes its height from the client area.
    EXPECT_EQ(WindowClient(c.window)->geometry(),
              QRect(0, c.menuBar, c.width, c.height - c.menuBar));
    EXPECT_EQ(ControlWidget(c.control)->parentWidget(), WindowClient(c.window));
    EXPECT_EQ(ControlWidget(c.control)->geometry(), c.controlGeometry);
  }
  EXPECT_EQ(OpenAppWindow(4, 0, 0, 20000, 100, "", kDialogWindowFlags), 0);
  CloseAppWindow(3);
  EXPECT_EQ(ControlWidget(34), nullptr);  // closing frees the window's ids
}

TEST_F(QtLayerTest, LabelsArePlainTextInRgbColours) {
  OpenMainWindow();
  CreateLabel(90, 10, 6, 50, 18, "<b>Вр</b>"_cp, kLabelCentred);
  CreateLabel(91, 10, 40, 200, 20, "ВНИМАНИЕ"_cp, kLabelRight);
  auto* label = static_cast<QLabel*>(ControlWidget(90));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(static_cast<QLabel*>(ControlWidget(91))->alignment() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_EQ(GetControlText(90), "<b>Вр</b>"_cp);  // the same Windows-1251 bytes come back
  const QColor buttonFace = WindowFrame(0)->palette().color(QPalette::Window);
  const QColor black = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
  const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
  const struct {
    int32_t text, back;
    int windowDisabled, labelDisabled;  // a label keeps its text colour in a disabled window
    QColor shownText, shownBack;
  } kCases[] = {
      {0xFFFFFF, 0xFF0000, 0, 0, QColor(255, 255, 255), QColor(0, 0, 255)},  // white on blue
      {0x0000FF, 0xCCCCFF, 0, 1, grey, QColor(255, 204, 204)},               // red is the low byte
      {0x7F123456, 0x01654321, 1, 0, QColor(0x56, 0x34, 0x12), QColor(0x21, 0x43, 0x65)},
      {0x00FF00, -1, 0, 0, QColor(0, 255, 0), buttonFace},  // no back colour
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    SetControlColour(90, kColourText, c.text);
    SetControlColour(90, kColourBack, c.back);
    SetAppWindowDisabled(0, c.windowDisabled);  // as while a dialog is open
    SetControlDisabled(90, c.labelDisabled);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), c.shownText);
    EXPECT_EQ(ControlWidget(91)->palette().color(QPalette::WindowText), black);
    const QImage shot = WindowFrame(0)->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(label->mapTo(WindowFrame(0), QPoint(1, 16)))), c.shownBack);
  }
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// A grid refresh sets every cell again; only a cell whose text or colours
// changed is repainted.
TEST_F(QtLayerTest, SettingTheSameTextOrColourAgainRepaintsNothing) {
  OpenMainWindow();
  CreateLabel(90, 10, 6, 50, 18, "RA3A", 0);
  QWidget* label = ControlWidget(90);
  PaintCounter counter;
  label->installEventFilter(&counter);
  WindowFrame(0)->show();
  const struct {
    const char* name;
    void (*set)();
    bool repainted;
  } kCases[] = {
      {"new text", [] { SetControlText(90, "UA9X"); }, true},
      {"the same text", [] { SetControlText(90, "UA9X"); }, false},
      {"new back colour", [] { SetControlColour(90, kColourBack, 0x00FF00); }, true},
      {"the same back colour", [] { SetControlColour(90, kColourBack, 0x00FF00); }, false},
      {"new text colour", [] { SetControlColour(90, kColourText, 0x0000FF); }, true},
      {"the same text colour", [] { SetControlColour(90, kColourText, 0x0000FF); }, false},
      {"the first text again", [] { SetControlText(90, "RA3A"); }, true},
  };
  QCoreApplication::processEvents();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int before = counter.paints;
    c.set();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints > before, c.repainted);
  }
  EXPECT_EQ(GetControlText(90), "RA3A");
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(QtLayerTest, FontsAreBoldCourierAtThePointSizes) {
  OpenMainWindow();
  SetControlFont(kSetDefaultFont, LoadFontFace(1, "Courier", 10, kFontBold));
  CreateLabel(90, 10, 6, 50, 18, "", kLabelCentred);
  CreateLabel(91, 61, 6, 70, 18, "", kLabelCentred);
  SetControlFont(kSetDefaultFont, LoadFontFace(1, "Courier", 8, kFontBold));  // 90, 91 keep 10
  CreateLabel(100, 10, 25, 50, 14, "", kLabelCentred);
  LoadFontFace(2, "Courier", 8, 0);
  SetControlFont(91, FontHandle(2));
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  const struct {
    int id, points;
    bool bold;
  } kCases[] = {{90, 10, true}, {91, 8, false}, {100, 8, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    const QFontInfo info(ControlWidget(c.id)->font());
    EXPECT_TRUE(info.family().contains(QRegularExpression(QStringLiteral("Mono|Courier"))))
        << info.family().toStdString();
    EXPECT_EQ(info.bold(), c.bold);
    EXPECT_EQ(info.pixelSize(), std::lround(c.points * dpi / 72.0));
  }
  for (const int points : {0, 100000}) EXPECT_EQ(LoadFontFace(3, "Courier", points, 0), 0);
}

// Key events posted to the main window in this order, and the message and
// virtual key WaitForEvent gives for each (code 0: none).
const struct {
  const char* name;
  bool press;
  int qtKey;
  uint32_t scanCode;  // the X key code; 0 when unknown, as in synthesised events
  Qt::KeyboardModifiers modifiers;
  bool repeat;
  int code, vk;
} kKeySteps[] = {
    {"Cyrillic layout: Ф at the place of A", kDown, kEf, 38, kNone, false, 256, 'A'},
    {"Б at the comma", kDown, 0x0411, 59, kNone, false, 256, 188},
    {"Ф without scan code: by layout", kDown, kEf, 0, kNone, false, 256, 'A'},
    {"Ukrainian І at the place of S", kDown, 0x0406, 39, kNone, false, 256, 'S'},
    {"Russian Shift+2 gives \" but is 2", kDown, Qt::Key_QuoteDbl, 11, kShift, false, 256, '2'},
    {"AZERTY A at the place of Q stays A", kDown, Qt::Key_A, 24, kNone, false, 256, 'A'},
    {"shift+tab", kDown, Qt::Key_Backtab, 23, kShift, false, 256, 9},
    {"keypad 0, Num Lock on", kDown, Qt::Key_0, 90, kPad, false, 256, 96},
    {"keypad period, Num Lock off", kDown, Qt::Key_Delete, 91, kPad, false, 256, 46},
    {"Alt held", kDown, Qt::Key_Alt, 64, kAlt, false, 260, 18},
    {"Alt+Ф", kDown, kEf, 38, kAlt, false, 260, 'A'},
    {"Ф released with Alt held", kUp, kEf, 38, kAlt, false, 261, 'A'},
    {"Alt released after a key", kUp, Qt::Key_Alt, 64, kAlt, false, 257, 18},
    {"Alt alone", kDown, Qt::Key_Alt, 64, kAlt, false, 260, 18},
    {"Alt alone released", kUp, Qt::Key_Alt, 64, kAlt, false, 261, 18},
    {"Ctrl+Alt+A is no system key", kDown, Qt::Key_A, 38, kCtrlAlt, false, 256, 'A'},
    {"F10 is a system key", kDown, Qt::Key_F10, 76, kNone, false, 260, 121},
    {"B", kDown, Qt::Key_B, 56, kNone, false, 256, 'B'},
    {"auto-repeat: no release", kUp, Qt::Key_B, 56, kNone, true, 0, 0},
    {"auto-repeat: another key-down", kDown, Qt::Key_B, 56, kNone, true, 256, 'B'},
    {"B released", kUp, Qt::Key_B, 56, kNone, false, 257, 'B'},
    {"keypad 8, Num Lock on", kDown, Qt::Key_8, 80, kPad, false, 256, 104},
    {"released after Num Lock off: press code", kUp, Qt::Key_Up, 80, kPad, false, 257, 104},
    {"Tab", kDown, Qt::Key_Tab, 23, kNone, false, 256, 9},
    {"Cyrillic layout: the period at the place of /", kDown, Qt::Key_Period, 61, kNone, false, 256,
     191},
    {"/ without scan code", kDown, Qt::Key_Slash, 0, kNone, false, 256, 191},
    {"keypad divide", kDown, Qt::Key_Slash, 106, kPad, false, 256, 111},
};

TEST_F(QtLayerTest, KeysReachWaitForEventInOrder) {
  OpenMainWindow();
  CreateLabel(90, 10, 6, 50, 18, "", kLabelCentred);  // Tab must not focus it
  QWidget* frame = WindowFrame(0);
  frame->setFocus();
  for (const auto& s : kKeySteps) {
    const auto post = [&](QEvent::Type type) {
      QCoreApplication::postEvent(
          frame, new QKeyEvent(type, s.qtKey, s.modifiers, s.scanCode, 0, 0, QString(), s.repeat));
    };
    if (s.press) post(QEvent::ShortcutOverride);  // as a platform delivers a press
    post(s.press ? QEvent::KeyPress : QEvent::KeyRelease);
  }
  for (const auto& s : kKeySteps) {
    if (s.code == 0) continue;
    SCOPED_TRACE(s.name);
    EXPECT_EQ(WaitForEvent(), s.code);  // posted events are fetched by waiting
    EXPECT_EQ(EventKeyCode(), s.vk);
    EXPECT_EQ(EventWindowId(), 0);
  }
  EXPECT_EQ(QueuedEventCount(), 0);
  EXPECT_EQ(frame->focusWidget(), frame);  // Tab moved no focus in the main window
  EXPECT_FALSE(frame->findChild<QMenuBar*>()->activeAction());     // Alt alone left the menu
  EXPECT_EQ(qtkeys::VirtualKeyOf(0x0419, 38, kNone, false), 'Q');  // Й; scan code no position
}

// Keys that have already arrived are handed out before the before-wait hook
// runs; the repaint that the handlers asked for meanwhile follows the hook.
int HookCalls = 0, PaintsAtHook = -1;
const int* Paints = nullptr;

TEST_F(QtLayerTest, ArrivedInputComesBeforeTheHookAndPaintsAfterIt) {
  OpenMainWindow();
  CreateLabel(90, 10, 6, 50, 18, "RA3A", 0);
  PaintCounter counter;
  ControlWidget(90)->installEventFilter(&counter);
  QWidget* frame = WindowFrame(0);
  frame->setFocus();
  QCoreApplication::processEvents();
  HookCalls = 0;
  Paints = &counter.paints;
  SetBeforeWaitHook([] {
    ++HookCalls;
    PaintsAtHook = *Paints;
  });
  for (const uint32_t scanCode : {38u, 56u}) {
    QCoreApplication::postEvent(frame, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, kNone, scanCode,
                                                     0, 0, QString()));
  }
  const int before = counter.paints;
  SetControlText(90, "UA9X");  // a handler's change
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(WaitForEvent(), kEventKeyDown);
  EXPECT_EQ(HookCalls, 0);
  EXPECT_EQ(counter.paints, before);
  StartThreadTimer(20);
  EXPECT_EQ(WaitForEvent(), kEventTimer);  // nothing waited: the hook, the paint, the wait
  StartThreadTimer(0);
  EXPECT_EQ(HookCalls, 1);
  EXPECT_EQ(PaintsAtHook, before);
  EXPECT_GT(counter.paints, before);
  SetBeforeWaitHook(nullptr);
}

TEST_F(QtLayerTest, DialogControlsAndCloseRequests) {
  OpenMainWindow();
  OpenDialog(3, 390, 490);
  CreateTextField(67, 170, 35, 140, 20, "");
  CreateTextField(68, 170, 60, 140, 20, "");
  CreateDropDownList(35, 280, 380, 80, 70);
  CreatePushButton(40, 125, 450, 140, 25, "Сохранить"_cp);
  CreateCheckBox(14, 30, 120, 140, 20, "1900 КГц"_cp);
  ControlWidget(67)->setFocus();
  SendKey(ControlWidget(67), Qt::Key_Tab, 23);  // Tab moves the focus in a dialog
  EXPECT_EQ(WindowFrame(3)->focusWidget(), ControlWidget(68));
  SendKey(ControlWidget(68), Qt::Key_R, 27, QStringLiteral("R"));
  EXPECT_EQ(GetControlText(68), "R");
  EXPECT_EQ(TakeQueued(), (Codes{kEventKeyDown, kEventKeyDown, kEventControl}));
  EXPECT_EQ(EventSourceId(), 68);
  EXPECT_EQ(EventWindowId(), 3);

  for (const auto text : {"справа"_cp, "слева"_cp, "нет"_cp}) AppendListEntry(35, text);
  EXPECT_EQ(GetControlValue(35), -1);          // entries alone choose nothing
  EXPECT_LE(ControlWidget(35)->height(), 70);  // the given height is that of the opened list
  SetControlValue(35, 1);
  EXPECT_EQ(GetControlText(35), "слева"_cp);
  SendKey(ControlWidget(35), Qt::Key_Down, 116);  // the user chooses "нет"
  EXPECT_EQ(GetControlValue(35), 2);
  EXPECT_EQ(TakeQueued(), (Codes{kEventKeyDown, kEventControl}));
  EXPECT_EQ(EventSourceId(), 35);

  for (const int id : {40, 14}) {
    Click(ControlWidget(id), QPoint(6, 10));
    EXPECT_EQ(TakeQueued(), (Codes{kEventLButtonDown, kEventControl}));
    EXPECT_EQ(EventSourceId(), id);
  }

  SetAppWindowDisabled(0, 1);
  SendKey(WindowFrame(0), Qt::Key_A, 38);  // a disabled window takes nothing
  for (const int window : {0, 3, 3}) {     // the close button; the same request is queued once
    EXPECT_FALSE(WindowFrame(window)->close());  // nothing closes by itself
  }
  EXPECT_EQ(TakeQueued(), Codes{kEventClose});
  EXPECT_EQ(EventWindowId(), 3);
  SendKey(WindowFrame(3), Qt::Key_Escape, 9);
  EXPECT_EQ(QueuedEventCount(), 1);
  CloseAppWindow(3);  // what was queued for it goes with it
  EXPECT_EQ(QueuedEventCount(), 0);
}

// A text box shows its lines as they are, unwrapped and read-only; typing in
// it changes nothing and reaches the program as keys only.
TEST_F(QtLayerTest, TextBoxHoldsManyLinesReadOnly) {
  OpenMainWindow();
  OpenDialog(6, 660, 440);
  std::string text;
  for (int i = 1; i <= 60; ++i) text += std::string("Строка "_cp) + std::string(90, 'x') + "\n";
  CreateTextBox(601, 10, 10, 640, 340, text);
  auto* box = qobject_cast<QPlainTextEdit*>(ControlWidget(601));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->geometry(), QRect(10, 10, 640, 340));
  EXPECT_TRUE(box->isReadOnly());
  EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(box->blockCount(), 61);  // sixty lines and the empty one after the last end
  EXPECT_EQ(GetControlText(601), text);
  box->setFocus();
  SendKey(box, Qt::Key_R, 27, QStringLiteral("R"));
  EXPECT_EQ(GetControlText(601), text);
  EXPECT_EQ(TakeQueued(), Codes{kEventKeyDown});
  SetControlText(601, "Замечаний нет."_cp);
  EXPECT_EQ(box->toPlainText(), QString::fromUtf8("Замечаний нет."));
}

TEST_F(QtLayerTest, RadioOptionsGroupByCreationOrder) {
  OpenDialog(3, 390, 490);
  CreateGroupFrame(1, 10, 10, 180, 80, "Время на подтур"_cp);
  CreateRadioOption(10, 30, 30, 140, 20, "30 минут"_cp);
  CreateRadioOption(11, 30, 55, 140, 20, "60 минут"_cp);
  CreateGroupFrame(2, 200, 10, 180, 80, "Окно информера"_cp);
  CreateRadioOption(12, 220, 30, 140, 20, "Включено"_cp);
  CreateRadioOption(13, 220, 55, 140, 20, "Отключено"_cp);
  const struct {
    const char* name;
    int id, value;              // value -1: a click
    std::array<int, 4> values;  // of options 10..13 afterwards
  } kSteps[] = {
      {"set 12", 12, 1, {0, 0, 1, 0}},
      {"set 13 clears 12", 13, 1, {0, 0, 0, 1}},
      {"click 10: the other group", 10, -1, {1, 0, 0, 1}},
      {"click 10 again keeps it", 10, -1, {1, 0, 0, 1}},
      {"click 11 clears 10 only", 11, -1, {0, 1, 0, 1}},
      {"value 0 clears", 13, 0, {0, 1, 0, 0}},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    if (s.value < 0) {
      Click(ControlWidget(s.id), QPoint(6, 10));
      EXPECT_EQ(TakeQueued(), (Codes{kEventLButtonDown, kEventControl}));
      EXPECT_EQ(EventSourceId(), s.id);
    } else {
      SetControlValue(s.id, s.value);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetControlValue(10 + i), s.values[i]) << 10 + i;
  }
}

TEST_F(QtLayerTest, ClicksMenusAndTheCursor) {
  OpenMainWindow();
  CreateLabel(103, 183, 25, 100, 14, "", kLabelCentred);
  Click(ControlWidget(103), QPoint(10, 5));
  EXPECT_EQ(TakeQueued(), Codes{kEventLButtonDown});  // a label gives no control event
  QWidget* client = WindowClient(0);
  const int w = client->width(), h = client->height();
  for (const auto& [at, shown] : {std::pair{QPoint(193, 30), QPoint(193, 30)},
                                  {QPoint(w, h), QPoint(w, h)},  // the edges count as inside
                                  {QPoint(w + 1, 5), QPoint(-1, -1)},
                                  {QPoint(5, -3), QPoint(-1, -1)}}) {  // over the menu bar
    QCursor::setPos(client->mapToGlobal(at));
    EXPECT_EQ(QPoint(MouseXInWindow(0), MouseYInWindow(0)), shown);
  }
  auto* bar = WindowFrame(0)->findChild<QMenuBar*>();
  Click(bar, QPoint(200, 5));  // the menu's, not the program's
  EXPECT_EQ(QueuedEventCount(), 0);
  const struct {
    int title, entry, id;
    QString text;
  } kEntries[] = {{0, 0, 1, QStringLiteral("Создать")}, {0, 2, 4, QStringLiteral("Выход")}};
  for (const auto& c : kEntries) {
    QAction* entry = bar->actions()[c.title]->menu()->actions()[c.entry];
    EXPECT_EQ(entry->text(), c.text);
    entry->trigger();
    EXPECT_EQ(WaitForEvent(), kEventMenu);
    EXPECT_EQ(EventSourceId(), c.id);
  }
}

TEST_F(QtLayerTest, TimerTicksCoalesce) {
  StartThreadTimer(5);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 80) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  StartThreadTimer(0);
  EXPECT_EQ(TakeQueued(), Codes{kEventTimer});
}

TEST_F(QtLayerTest, StandardDialogsDisableTheWindowsWhileOpen) {
  OpenMainWindow();
  OpenDialog(3, 390, 490);
  SetAppWindowDisabled(0, 1);  // as while a dialog is open
  QTemporaryDir folder;
  const QString chosen = folder.filePath(QStringLiteral("тест.CBR"));
  bool dialogDisabled = false;
  QTimer::singleShot(0, [&] {
    auto* fileDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(fileDialog, nullptr);
    dialogDisabled = !WindowFrame(3)->isEnabled();
    EXPECT_EQ(fileDialog->selectedNameFilter(), QStringLiteral("Файлы Cabrilio (*.cbr)"));
    fileDialog->selectFile(chosen);
    static_cast<QDialog*>(fileDialog)->accept();  // QFileDialog's own accept checks the name
  });
  EXPECT_EQ(AskSaveFileName("Сохранить"_cp, "", "Все|*.a;*.b|Empty||Файлы Cabrilio|*.cbr"_cp, 2),
            cp1251::FromUtf16(chosen.toStdU16String()));  // no extension added
  EXPECT_TRUE(dialogDisabled);
  EXPECT_TRUE(WindowFrame(3)->isEnabled());
  EXPECT_FALSE(WindowFrame(0)->isEnabled());  // only what it disabled is enabled again
}

}  // namespace

// The toolkit's own texts speak the program's language when its Russian
// translation is installed: the buttons of a message box and the file dialog.
TEST_F(QtLayerTest, ToolkitTextsAreRussian) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ru.qm"))) {
    GTEST_SKIP() << "the toolkit's Russian translation (qt6-translations-l10n) is not installed";
  }
  const struct {
    const char* context;
    const char* english;
    const char* russian;
  } kCases[] = {
      {"QPlatformTheme", "&No", "&Нет"},
      {"QPlatformTheme", "Cancel", "Отмена"},
      {"QFileDialog", "File &name:", "&Имя файла:"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.english);
    EXPECT_EQ(QCoreApplication::translate(c.context, c.english).toStdString(), c.russian);
  }
  // The buttons a message box is given carry the translated texts.
  QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::No)->text().toStdString(), "&Нет");
}
