// The Qt backend's own state, shared by its source files: the windows and
// controls behind the ids, the loaded fonts and pictures, and the queue of
// events that WaitForEvent hands out. Nothing outside ui/qt includes this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPixmap>
#include <QString>

#include "ui/control_kind.h"
#include "ui/qt/keymap_qt.h"
#include "ui/window.h"

class QApplication;
class QMenu;
class QMenuBar;
class QTimer;
class QWidget;

namespace qtwindow {

inline constexpr int kMaxWindows = 16;                  // window ids 0..15
inline constexpr std::size_t kMaxQueuedEvents = 65536;  // beyond this, events are dropped
inline constexpr int kMaxWindowSide = 16384;            // pixels
inline constexpr int kTimerEventWindow = 0;             // ticks belong to the main window
inline constexpr char kControlIdProperty[] = "corvaneControlId";
// A before-wait hook (the report's rewrite) longer than this is a slow disk:
// the screen then shows the next keys at once instead of after the next one.
inline constexpr int kSlowSettleMs = 20;

struct Control {
  QWidget* widget = nullptr;
  ControlKind kind = ControlKind::Label;
  int window = -1;     // id of the window it lives in
  int radioGroup = 0;  // radio options: options of one group share it
  int listHeight = 0;  // drop-down lists: height of the opened list
  // What was last set, so that setting it again repaints nothing: a label's
  // text (the user edits no label) and the two colours (-2: never set).
  std::string labelText;
  bool labelTextSet = false;
  int32_t textColour = -2;
  int32_t backColour = -2;
};

struct AppWindow {
  QWidget* frame = nullptr;   // the top-level widget; nullptr when not open
  QWidget* client = nullptr;  // the client area, below the menu bar
  QMenuBar* menuBar = nullptr;
  NativeHandle handle = 0;
  int width = 0;  // size of the window without its frame, menu bar included
  int height = 0;
};

struct QueuedEvent {
  int code = 0;
  int window = -1;
  int keyCode = 0;   // the message's first parameter
  int sourceId = 0;  // control and menu events: the control or entry id
};

struct QtLayer {
  QApplication* app = nullptr;         // made by InitWindowLayer, deleted by ShutdownWindowLayer
  bool scanCodesArePositions = false;  // native scan codes are X key codes
  NativeHandle lastHandle = 0x1000;    // handles are serial numbers above this

  std::array<AppWindow, kMaxWindows> windows{};
  std::map<int, Control> controls;
  int parentWindow = -1;             // window of SetControlParent, -1 for none
  std::optional<QFont> defaultFont;  // font of new controls; none: the toolkit's
  bool lastCreatedWasRadio = false;  // radio grouping: what the previous creation made
  int lastCreatedWindow = -1;
  int lastRadioGroup = 0;

  std::map<int, NativeHandle> fontIds;  // font id -> handle of its current font
  std::map<NativeHandle, QFont> fonts;
  std::map<int, NativeHandle> pictureIds;
  std::map<NativeHandle, QPixmap> pictures;

  QMenu* currentMenu = nullptr;  // the drop-down AddMenuEntry appends to
  int menuWindow = -1;

  QTimer* timer = nullptr;
  std::deque<QueuedEvent> queue;
  // While WaitForEvent takes the input that has arrived, windows' repaints
  // are held back here, to be asked for again after the before-wait hook.
  bool holdingPaints = false;
  QList<QPointer<QObject>> heldPaints;
  bool lastSettleWasSlow = false;  // the last before-wait hook took over kSlowSettleMs
  int lastSourceId = 0;
  int lastWindowId = -1;
  int lastKeyCode = 0;
  qtkeys::KeyTracker keys;
};
extern QtLayer* Layer;  // nullptr outside InitWindowLayer .. ShutdownWindowLayer

QString ToQString(std::string_view bytes);
std::string FromQString(const QString& text);  // "?" for what Windows-1251 lacks

void QueueEvent(const QueuedEvent& event);
NativeHandle NewHandle();
int WindowIdOfHandle(NativeHandle handle);  // -1 when no open window has it
AppWindow* OpenWindow(int windowId);        // nullptr when not open
Control* FindControl(int controlId);
void DestroyControl(int controlId);
void DestroyControlsOf(int windowId);
void FitMenuBar(AppWindow& window);

// The standard dialogs disable the other program windows while they are open.
std::vector<int> DisableEnabledWindows();
void EnableWindows(const std::vector<int>& windowIds);

}  // namespace qtwindow
