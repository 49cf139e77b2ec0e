// The Qt 6 Widgets backend of the window layer: windows, the event queue and
// WaitForEvent. Controls, fonts, pictures and menus are in controls_qt.cpp,
// the standard dialogs in dialogs_qt.cpp.
//
// Every input event passes the application's notify() once, before it is
// delivered: there the program's key, button and close events are queued, and
// the event then goes on to its widget as usual, so text fields, lists and
// buttons work. Close requests are queued and refused; only CloseAppWindow
// closes a window. Input to a disabled window is neither delivered nor queued.
//
// Geometry: the top-level widget has exactly the size the program asks for,
// and a menu bar takes its height from it (the client area shrinks), as a
// Win32 window whose outer size was computed without its menu. Controls are
// placed in the client widget below the menu bar.
#include "ui/window.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include "base/cp1251.h"
#include "ui/qt/layer_qt.h"
#include "ui/qt/window_qt.h"

namespace qtwindow {

QtLayer* Layer = nullptr;

QString ToQString(std::string_view bytes) {
  return QString::fromStdU16String(cp1251::ToUtf16(bytes));
}

std::string FromQString(const QString& text) { return cp1251::FromUtf16(text.toStdU16String()); }

void QueueEvent(const QueuedEvent& event) {
  if (!Layer || Layer->queue.size() >= kMaxQueuedEvents) return;
  Layer->queue.push_back(event);
}

NativeHandle NewHandle() { return ++Layer->lastHandle; }

int WindowIdOfHandle(NativeHandle handle) {
  if (!Layer || handle == 0) return -1;
  for (int id = 0; id < kMaxWindows; ++id) {
    if (Layer->windows[id].frame && Layer->windows[id].handle == handle) return id;
  }
  return -1;
}

AppWindow* OpenWindow(int windowId) {
  if (!Layer || windowId < 0 || windowId >= kMaxWindows) return nullptr;
  AppWindow& window = Layer->windows[static_cast<std::size_t>(windowId)];
  return window.frame ? &window : nullptr;
}

void FitMenuBar(AppWindow& window) {
  int barHeight = 0;
  if (window.menuBar) {
    barHeight = std::clamp(window.menuBar->sizeHint().height(), 0, window.height);
    window.menuBar->setGeometry(0, 0, window.width, barHeight);
  }
  window.client->setGeometry(0, barHeight, window.width, window.height - barHeight);
}

std::vector<int> DisableEnabledWindows() {
  std::vector<int> disabled;
  for (int id = 0; id < kMaxWindows; ++id) {
    QWidget* frame = Layer->windows[id].frame;
    if (frame && frame->isVisible() && frame->isEnabled()) {
      frame->setEnabled(false);
      disabled.push_back(id);
    }
  }
  return disabled;
}

void EnableWindows(const std::vector<int>& windowIds) {
  for (const int id : windowIds) {
    if (AppWindow* window = OpenWindow(id)) window->frame->setEnabled(true);
  }
}

QWidget* WindowFrame(int windowId) {
  AppWindow* window = OpenWindow(windowId);
  return window ? window->frame : nullptr;
}

int QueuedEventCount() { return Layer ? static_cast<int>(Layer->queue.size()) : 0; }

QWidget* WindowClient(int windowId) {
  AppWindow* window = OpenWindow(windowId);
  return window ? window->client : nullptr;
}

namespace {

// Win32 window styles among the flags.
constexpr uint32_t kStyleCaption = 0xC00000;
constexpr uint32_t kStyleSystemMenu = 0x80000;
constexpr uint32_t kStyleMinimizeBox = 0x20000;

constexpr int kMouseKeyLeft = 0x1;  // MK_LBUTTON
constexpr int kMouseKeyRight = 0x2;
constexpr int kMouseKeyMiddle = 0x10;
constexpr int kTimerId = 1;
constexpr int kEventRButtonDown = 516;
constexpr int kEventMButtonDown = 519;

// Alt pressed and released alone must not put the menu bar into keyboard
// mode: the operator taps Alt+letter all the time.
class NoMenuAltStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_MenuBar_AltKeyNavigation) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// The program window a widget belongs to; -1 for widgets of a menu bar, of
// popups and of the standard dialogs.
int WindowOfWidget(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (qobject_cast<const QMenuBar*>(w)) return -1;
    if (w->isWindow()) {
      for (int id = 0; id < kMaxWindows; ++id) {
        if (Layer->windows[id].frame == w) return id;
      }
      return -1;
    }
  }
  return -1;
}

// The window of an input event, or -1 when the event is not the program's.
int InputWindow(const QWidget* widget) {
  const int window = WindowOfWidget(widget);
  if (window < 0 || !Layer->windows[window].frame->isEnabled()) return -1;
  return window;
}

void NoteKey(QWidget* widget, const QKeyEvent* event) {
  const int window = InputWindow(widget);
  if (window < 0) return;
  const qtkeys::KeyFacts facts{event->type() == QEvent::KeyPress, event->key(),
                               event->nativeScanCode(), event->modifiers(), event->isAutoRepeat()};
  const qtkeys::KeyMessage message =
      qtkeys::TranslateKey(Layer->keys, facts, Layer->scanCodesArePositions);
  if (message.code != 0) QueueEvent({message.code, window, message.virtualKey, 0});
}

void NoteMouseButton(QWidget* widget, const QMouseEvent* event) {
  const int window = InputWindow(widget);
  if (window < 0) return;
  // The message and its first parameter (the MK_ flag of the button).
  int code = 0;
  int keys = 0;
  switch (event->button()) {
    case Qt::LeftButton:
      code = kEventLButtonDown;  // a second click too: the windows take no double clicks
      keys = kMouseKeyLeft;
      break;
    case Qt::RightButton:
      code = kEventRButtonDown;
      keys = kMouseKeyRight;
      break;
    case Qt::MiddleButton:
      code = kEventMButtonDown;
      keys = kMouseKeyMiddle;
      break;
    default:
      return;
  }
  QueueEvent({code, window, keys, 0});
}

// True when the widget is a program window: the request is then queued
// (unless the window is disabled or the same request is already the newest)
// and the window stays open.
bool NoteCloseRequest(const QWidget* widget) {
  for (int id = 0; id < kMaxWindows; ++id) {
    AppWindow& window = Layer->windows[id];
    if (window.frame != widget) continue;
    if (!window.frame->isEnabled()) return true;
    const auto& queue = Layer->queue;
    if (!queue.empty() && queue.back().code == kEventClose && queue.back().window == id) {
      return true;
    }
    QueueEvent({kEventClose, id, 0, 0});
    return true;
  }
  return false;
}

// Text fields and lists report a focus change as a control event.
void NoteFocusChange(const QWidget* widget, const QFocusEvent* event) {
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
    return;
  }
  const QVariant id = widget->property(kControlIdProperty);
  if (!id.isValid()) return;
  const Control* control = FindControl(id.toInt());
  if (!control || control->widget != widget) return;
  if (control->kind != ControlKind::TextField && control->kind != ControlKind::DropDownList) {
    return;
  }
  if (InputWindow(widget) < 0) return;
  QueueEvent({kEventControl, control->window, id.toInt(), id.toInt()});
}

class LayerApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    // A window's repaint while arrived input is taken waits: the toolkit
    // still counts it as asked for, so it is asked for again once the
    // program has settled (ReleaseHeldPaints).
    if (Layer && Layer->holdingPaints && receiver && event &&
        event->type() == QEvent::UpdateRequest) {
      if (!Layer->heldPaints.contains(QPointer<QObject>(receiver))) {
        Layer->heldPaints.push_back(receiver);
      }
      return true;
    }
    if (Layer && receiver && event && receiver->isWidgetType()) {
      auto* widget = static_cast<QWidget*>(receiver);
      switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
          NoteKey(widget, static_cast<QKeyEvent*>(event));
          break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
          NoteMouseButton(widget, static_cast<QMouseEvent*>(event));
          break;
        case QEvent::Close:
          if (NoteCloseRequest(widget)) {
            event->ignore();
            return true;
          }
          break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
          NoteFocusChange(widget, static_cast<QFocusEvent*>(event));
          break;
        default:
          break;
      }
    }
    return QApplication::notify(receiver, event);
  }
};

// Connects to a local X server's socket (abstract name first, then the file).
bool LocalXServerListens(int display) {
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
  for (const bool abstract : {true, false}) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::size_t offset = abstract ? 1 : 0;  // abstract names start with a NUL byte
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               path.size() + (abstract ? 0 : 1));
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    if (connected) return true;
  }
  return false;
}

// Whether Qt can get a display: Qt ends the process when its platform cannot
// start, so the obvious failures are checked first.
bool DisplayAvailable() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.isEmpty() && !platform.startsWith("xcb")) return true;
  const QByteArray display = qgetenv("DISPLAY");
  if (display.isEmpty()) return platform.isEmpty() && !qgetenv("WAYLAND_DISPLAY").isEmpty();
  // ":N", ":N.S" and "unix:N" are local servers; others are left to Qt.
  const int colon = display.indexOf(':');
  const QByteArray host = display.left(colon);
  if (colon < 0 || !(host.isEmpty() || host == "unix")) return true;
  bool numeric = false;
  const int number = display.mid(colon + 1).split('.').first().toInt(&numeric);
  return !numeric || LocalXServerListens(number);
}

// What the toolkit holds already delivered, without waiting: key, mouse and
// close events reach the queue through notify(). A window's repaint asked
// for meanwhile is held back (see notify) until ReleaseHeldPaints, so that
// the screen shows nothing the disk does not hold yet; but after a settling
// that took long (a slow disk) the screen does not wait for the next one.
void TakeArrivedInput() {
  Layer->holdingPaints = !Layer->lastSettleWasSlow;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  Layer->holdingPaints = false;
}

// The repaints held back by TakeArrivedInput asked for again: the toolkit
// paints them in the wait that follows.
void ReleaseHeldPaints() {
  for (const QPointer<QObject>& window : Layer->heldPaints) {
    if (window) {
      QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
  }
  Layer->heldPaints.clear();
}

void OnTimerTick() {
  for (const QueuedEvent& event : Layer->queue) {
    if (event.code == kEventTimer) return;  // at most one tick waits
  }
  QueueEvent({kEventTimer, kTimerEventWindow, kTimerId, 0});
}

Qt::WindowFlags FrameFlags(uint32_t flags) {
  Qt::WindowFlags frame = Qt::Window | Qt::CustomizeWindowHint;
  if ((flags & kStyleCaption) != 0) frame |= Qt::WindowTitleHint;
  if ((flags & kStyleSystemMenu) != 0) {
    frame |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if ((flags & kStyleMinimizeBox) != 0) frame |= Qt::WindowMinimizeButtonHint;
  return frame;
}

// The cursor in a window's client area, false when it is outside (the right
// and bottom edges count as inside).
bool CursorInClient(int windowId, QPoint& point) {
  AppWindow* window = OpenWindow(windowId);
  if (!window) return false;
  point = window->client->mapFromGlobal(QCursor::pos());
  return point.x() >= 0 && point.y() >= 0 && point.x() <= window->client->width() &&
         point.y() <= window->client->height();
}

// The program's icon at every size drawn at build time: beside the program in
// the build tree (icons/hicolor), or in the share folder of an installed one.
// An empty icon (the toolkit's own) when neither is there.
QIcon ProgramIcon() {
  constexpr int kIconSides[] = {16, 32, 48, 64, 128, 256};
  const QString programFolder = QCoreApplication::applicationDirPath();
  const QString themes[] = {programFolder + QStringLiteral("/icons/hicolor"),
                            programFolder + QStringLiteral("/../share/icons/hicolor")};
  for (const QString& theme : themes) {
    QIcon icon;
    for (const int side : kIconSides) {
      const QString file = QStringLiteral("%1/%2x%2/apps/corvane.png").arg(theme).arg(side);
      if (QFileInfo::exists(file)) icon.addFile(file, QSize(side, side));
    }
    if (!icon.isNull()) return icon;
  }
  return {};
}

// The toolkit's own texts (the buttons of message boxes, the file dialogs) in
// the program's language, from the toolkit's Russian translation when it is
// installed; English otherwise.
void LoadToolkitTranslation(QApplication* app) {
  auto* translator = new QTranslator(app);  // the application owns it
  if (translator->load(QStringLiteral("qtbase_ru"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace
}  // namespace qtwindow

using namespace qtwindow;

bool InitWindowLayer() {
  if (Layer) return true;
  if (QCoreApplication::instance() || !DisplayAvailable()) return false;
  static int argc = 1;
  static char name[] = "corvane";
  static char* argv[] = {name, nullptr};
  Layer = new QtLayer;
  Layer->app = new LayerApplication(argc, argv);
  Layer->app->setQuitOnLastWindowClosed(false);
  Layer->app->setStyle(new NoMenuAltStyle);  // the application owns it
  Layer->app->setWindowIcon(ProgramIcon());
  LoadToolkitTranslation(Layer->app);
  const QString platform = QGuiApplication::platformName();
  Layer->scanCodesArePositions = platform == QStringLiteral("xcb") ||
                                 platform.startsWith(QStringLiteral("wayland")) ||
                                 platform == QStringLiteral("offscreen");
  return true;
}

void ShutdownWindowLayer() {
  if (!Layer) return;
  for (int id = 0; id < kMaxWindows; ++id) CloseAppWindow(id);
  delete Layer->timer;
  Layer->fonts.clear();
  Layer->pictures.clear();
  Layer->defaultFont.reset();
  // Window system events still pending would reach a later application.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication* app = Layer->app;
  delete Layer;
  Layer = nullptr;
  delete app;
}

NativeHandle OpenAppWindow(int id, int x, int y, int width, int height, std::string_view title,
                           uint32_t flags) {
  if (!Layer || id < 0 || id >= kMaxWindows) return 0;
  if (width <= 0 || height <= 0 || width > kMaxWindowSide || height > kMaxWindowSide) return 0;
  CloseAppWindow(id);
  AppWindow& window = Layer->windows[static_cast<std::size_t>(id)];
  window.frame = new QWidget(nullptr, FrameFlags(flags));
  window.frame->setWindowTitle(ToQString(title));
  window.frame->setFixedSize(width, height);
  window.client = new QWidget(window.frame);
  window.width = width;
  window.height = height;
  window.handle = NewHandle();
  FitMenuBar(window);

  QPoint position(x, y);
  if ((flags & kWindowCentred) != 0) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, width, height);
    position = area.topLeft() + QPoint((area.width() - std::min(width, area.width())) / 2,
                                       (area.height() - std::min(height, area.height())) / 2);
  }
  window.frame->move(position);
  // A later window stays above the first one (the main window) under a window manager.
  for (int other = 0; other < kMaxWindows; ++other) {
    AppWindow& owner = Layer->windows[static_cast<std::size_t>(other)];
    if (other == id || !owner.frame) continue;
    window.frame->winId();
    window.frame->windowHandle()->setTransientParent(owner.frame->windowHandle());
    break;
  }
  window.frame->show();
  window.frame->activateWindow();
  return window.handle;
}

void CloseAppWindow(int id) {
  AppWindow* window = OpenWindow(id);
  if (!window) return;
  DestroyControlsOf(id);
  if (Layer->parentWindow == id) Layer->parentWindow = -1;
  if (Layer->menuWindow == id) {
    Layer->menuWindow = -1;
    Layer->currentMenu = nullptr;
  }
  QWidget* frame = window->frame;
  *window = AppWindow{};
  // Windows of this one that stay open lose it as their transient parent.
  for (AppWindow& other : Layer->windows) {
    if (other.frame && other.frame->windowHandle() &&
        other.frame->windowHandle()->transientParent() == frame->windowHandle()) {
      other.frame->windowHandle()->setTransientParent(nullptr);
    }
  }
  frame->hide();
  delete frame;
  // Nothing of a closed window is handed out any more.
  std::erase_if(Layer->queue, [id](const QueuedEvent& event) { return event.window == id; });
}

void SetAppWindowTitle(int id, std::string_view text) {
  if (AppWindow* window = OpenWindow(id)) window->frame->setWindowTitle(ToQString(text));
}

void SetAppWindowDisabled(int id, int disabled) {
  if (AppWindow* window = OpenWindow(id)) window->frame->setEnabled(disabled == 0);
}

void ActivateAppWindow(int id) {
  AppWindow* window = OpenWindow(id);
  if (!window) return;
  window->frame->raise();
  window->frame->activateWindow();
  if (!window->frame->focusWidget()) window->frame->setFocus(Qt::ActiveWindowFocusReason);
}

NativeHandle AppWindowHandle(int id) {
  AppWindow* window = OpenWindow(id);
  return window ? window->handle : 0;
}

void StartThreadTimer(int periodMs) {
  if (!Layer) return;
  if (!Layer->timer) {
    Layer->timer = new QTimer;
    QObject::connect(Layer->timer, &QTimer::timeout, [] { OnTimerTick(); });
  }
  if (periodMs <= 0) {
    Layer->timer->stop();
    return;
  }
  Layer->timer->start(periodMs);
}

int WaitForEvent() {
  if (!Layer) {
    RunBeforeWaitHook();
    return kEventClose;
  }
  // Input that already reached the toolkit (its own queue and what its X
  // reader took from the connection) is handed out before the program
  // settles; the paints it would bring wait for the settling unless the
  // last one was slow (see TakeArrivedInput).
  if (Layer->queue.empty()) TakeArrivedInput();
  if (Layer->queue.empty()) {
    QElapsedTimer settling;
    settling.start();
    RunBeforeWaitHook();
    Layer->lastSettleWasSlow = settling.elapsed() > kSlowSettleMs;
    ReleaseHeldPaints();
    while (Layer->queue.empty()) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  const QueuedEvent event = Layer->queue.front();
  Layer->queue.pop_front();
  Layer->lastWindowId = event.window;
  Layer->lastKeyCode = event.keyCode;
  if (event.code == kEventControl || event.code == kEventMenu) {
    Layer->lastSourceId = event.sourceId;
  }
  return event.code;
}

int EventSourceId() { return Layer ? Layer->lastSourceId : 0; }
int EventWindowId() { return Layer ? Layer->lastWindowId : -1; }
int EventKeyCode() { return Layer ? Layer->lastKeyCode : 0; }

int MouseXInWindow(int windowId) {
  QPoint point;
  return CursorInClient(windowId, point) ? point.x() : -1;
}

int MouseYInWindow(int windowId) {
  QPoint point;
  return CursorInClient(windowId, point) ? point.y() : -1;
}
