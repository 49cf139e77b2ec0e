// The scripted window backend: windows, controls, fonts, pictures and menus
// are plain records; WaitForEvent takes the events a test queued through
// ui/headless.h and applies the user's action at the moment it is taken.
// It draws nothing and never blocks: when the script runs out it answers a
// close request for the newest open window. Every event queued counts as
// input already waiting, so the before-wait hook runs only when the queue is
// empty or a probe is next.
#include "ui/window.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <utility>

#include "ui/headless.h"

namespace {

using headless::ControlState;
using headless::WindowState;

constexpr NativeHandle kWindowHandleStep = 1000;  // handle = step * opening + id
constexpr NativeHandle kFontHandleBase = 5000;
constexpr NativeHandle kPictureHandleBase = 30000;
constexpr int kMaxMadeUpCloses = 10000;  // a loop that never ends is a broken test

enum class EventKind { Key, Click, Menu, Timer, Close, Button, ListChoice, Check, TextEdit, Raw };

struct QueuedEvent {
  EventKind kind = EventKind::Raw;
  int code = 0;
  int window = headless::kNewestWindow;
  int key = 0;  // key code; control or menu entry id
  int x = 0, y = 0;
  int value = 0;
  std::string text;
  std::function<void()> probe;  // QueueProbe: run, deliver nothing
};

struct WindowRecord {
  WindowState state;
  NativeHandle handle = 0;
  long openedAt = 0;  // opening serial: the newest open window has the largest
};

struct ControlRecord {
  ControlState state;
  long createdAt = 0;
  int group = 0;  // radio group (options only)
};

struct FontRecord {
  std::string face;
  int points = 0;
  bool bold = false;
};

// The whole backend state; Reset assigns {}.
struct HeadlessLayer {
  std::map<int, WindowRecord> windows;
  std::map<int, ControlRecord> controls;
  std::map<NativeHandle, FontRecord> fonts;        // every font ever loaded, by handle
  std::map<int, NativeHandle> fontIds;             // font id -> current handle
  std::map<int, headless::PictureState> pictures;  // picture id -> last load
  NativeHandle defaultFont = 0;                    // 0: the system font
  NativeHandle parent = 0;
  long openings = 0;
  long creations = 0;
  long pictureLoads = 0;
  int groups = 0;
  int lastCreated = 0;  // id of the control created last (0: none yet)
  int activeWindow = -1;
  int menuWindow = -1;
  std::vector<headless::MenuItem> menu;
  int timerPeriod = 0;
  bool fontLoadsFail = false;
  std::deque<QueuedEvent> events;
  std::deque<std::string> fileAnswers;
  std::deque<int> messageAnswers;
  std::vector<headless::DialogCall> dialogCalls;
  int scriptEndCloses = 0;
  int madeUpInARow = 0;
  int eventWindow = -1;
  int eventKey = 0;
  int eventSource = 0;
  int mouseWindow = -1;
  int mouseX = -1, mouseY = -1;
};

HeadlessLayer Layer;

WindowRecord* OpenWindow(int id) {
  auto it = Layer.windows.find(id);
  return it != Layer.windows.end() && it->second.state.open ? &it->second : nullptr;
}

int WindowOfHandle(NativeHandle handle) {
  if (handle == 0) return -1;
  for (const auto& [id, window] : Layer.windows)
    if (window.state.open && window.handle == handle) return id;
  return -1;
}

int NewestOpenWindow() {
  int newest = -1;
  long newestAt = -1;
  for (const auto& [id, window] : Layer.windows)
    if (window.state.open && window.openedAt > newestAt) {
      newest = id;
      newestAt = window.openedAt;
    }
  return newest;
}

ControlRecord* LiveControl(int id) {
  auto it = Layer.controls.find(id);
  return it == Layer.controls.end() ? nullptr : &it->second;
}

void ApplyFont(ControlState& control, NativeHandle font) {
  auto it = Layer.fonts.find(font);
  if (it == Layer.fonts.end()) {
    control.fontFace.clear();
    control.fontPoints = 0;
    control.fontBold = false;
    return;
  }
  control.fontFace = it->second.face;
  control.fontPoints = it->second.points;
  control.fontBold = it->second.bold;
}

// Check boxes and options hold 0 or 1; an option turned on clears the rest of
// its group.
void SetCheckState(ControlRecord& control, int value) {
  control.state.value = value != 0 ? 1 : 0;
  if (control.state.kind != ControlKind::RadioOption || value == 0) return;
  for (auto& [id, other] : Layer.controls)
    if (&other != &control && other.state.kind == ControlKind::RadioOption &&
        other.group == control.group)
      other.state.value = 0;
}

void SetListIndex(ControlRecord& control, int index) {
  const int count = static_cast<int>(control.state.entries.size());
  control.state.value = index >= 0 && index < count ? index : -1;
}

ControlRecord* CreateControl(int id, ControlKind kind, int x, int y, int width, int height,
                             std::string_view text) {
  Layer.controls.erase(id);
  const int window = WindowOfHandle(Layer.parent);
  if (window < 0) return nullptr;  // a child control needs an open parent window
  ControlRecord& control = Layer.controls[id];
  control.createdAt = ++Layer.creations;
  control.state.id = id;
  control.state.window = window;
  control.state.kind = kind;
  control.state.x = x;
  control.state.y = y;
  control.state.width = width;
  control.state.height = height;
  control.state.text = std::string(text);
  control.state.value = kind == ControlKind::DropDownList ? -1 : 0;
  ApplyFont(control.state, Layer.defaultFont);
  if (kind == ControlKind::RadioOption) {
    const ControlRecord* previous = LiveControl(Layer.lastCreated);
    const bool follows = previous != nullptr && previous->state.kind == ControlKind::RadioOption &&
                         previous->state.window == window;
    control.group = follows ? previous->group : ++Layer.groups;
  }
  Layer.lastCreated = id;
  return &control;
}

// Reads the two bitmap headers; width and height are 0 when the file is not a
// complete Windows bitmap.
headless::PictureState ReadBitmapHeader(std::string_view file) {
  headless::PictureState picture;
  picture.file = std::string(file);
  std::ifstream in(picture.file, std::ios::binary | std::ios::ate);
  if (!in) return picture;
  const long long fileSize = static_cast<long long>(in.tellg());
  unsigned char head[54] = {};
  in.seekg(0);
  if (fileSize < 26 || !in.read(reinterpret_cast<char*>(head), fileSize < 54 ? 26 : 54))
    return picture;
  auto word = [&](int at) { return static_cast<long long>(head[at] | head[at + 1] << 8); };
  auto dword = [&](int at) {
    return static_cast<long long>(static_cast<uint32_t>(word(at) | word(at + 2) << 16));
  };
  auto signedDword = [&](int at) {
    return static_cast<long long>(static_cast<int32_t>(dword(at)));
  };
  if (head[0] != 'B' || head[1] != 'M') return picture;
  const long long bitsAt = dword(10), infoSize = dword(14);
  long long width = 0, height = 0, planes = 0, bitCount = 0, compression = 0;
  if (infoSize == 12) {  // the old core header
    width = word(18);
    height = word(20);
    planes = word(22);
    bitCount = word(24);
  } else if (infoSize >= 40 && fileSize >= 54) {
    width = signedDword(18);
    height = signedDword(22);
    planes = word(26);
    bitCount = word(28);
    compression = dword(30);
  } else {
    return picture;
  }
  if (height < 0) height = -height;
  const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                          bitCount == 24 || bitCount == 32;
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || planes != 1 || !knownDepth ||
      bitsAt < 14 + infoSize || bitsAt > fileSize)
    return picture;
  const long long stride = (width * bitCount + 31) / 32 * 4;
  if (compression == 0 && stride * height > fileSize - bitsAt) return picture;  // cut short
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  return picture;
}

// A modal standard dialog: every open enabled window is disabled while it is
// shown and exactly those are enabled again afterwards.
void RecordDialog(headless::DialogCall call) {
  std::vector<WindowRecord*> disabled;
  for (auto& [id, window] : Layer.windows)
    if (window.state.open && !window.state.disabled) {
      window.state.disabled = true;
      disabled.push_back(&window);
    }
  call.disabledWindowsDuring = static_cast<int>(disabled.size());
  Layer.dialogCalls.push_back(std::move(call));
  for (WindowRecord* window : disabled) window->state.disabled = false;
}

void Queue(EventKind kind, int code, int window, int key = 0, int x = 0, int y = 0, int value = 0,
           std::string_view text = {}) {
  Layer.events.push_back({kind, code, window, key, x, y, value, std::string(text), {}});
}

// Delivers one queued event: false when it is dropped (the window or control
// it belongs to cannot take input now).
bool TakeEvent(const QueuedEvent& event, int& code) {
  int window = event.window == headless::kNewestWindow ? NewestOpenWindow() : event.window;
  const WindowRecord* target = OpenWindow(window);
  const bool takesInput = target != nullptr && !target->state.disabled;
  ControlRecord* control = nullptr;
  switch (event.kind) {
    case EventKind::Timer:
      window = -1;  // a thread timer belongs to no window
      break;
    case EventKind::Raw:
      break;
    case EventKind::Close:
      if (target == nullptr && event.window != headless::kNewestWindow) return false;
      break;
    case EventKind::Key:
      if (!takesInput) return false;
      break;
    case EventKind::Click:
      if (!takesInput) return false;
      Layer.mouseWindow = window;
      Layer.mouseX = event.x;
      Layer.mouseY = event.y;
      break;
    case EventKind::Menu: {
      window = Layer.menuWindow;
      const WindowRecord* owner = OpenWindow(window);
      if (owner == nullptr || owner->state.disabled) return false;
      break;
    }
    default:  // control events
      control = LiveControl(event.key);
      if (control == nullptr) return false;
      window = control->state.window;
      target = OpenWindow(window);
      if (target == nullptr || target->state.disabled || control->state.disabled) return false;
      break;
  }
  if (control != nullptr) {
    const ControlKind kind = control->state.kind;
    if (kind == ControlKind::Label || kind == ControlKind::GroupFrame ||
        kind == ControlKind::Picture || kind == ControlKind::TextBox)
      return false;  // these report nothing
    if (event.kind == EventKind::ListChoice && kind == ControlKind::DropDownList)
      SetListIndex(*control, event.value);
    if (event.kind == EventKind::Check &&
        (kind == ControlKind::CheckBox || kind == ControlKind::RadioOption))
      SetCheckState(*control, event.value);
    if (event.kind == EventKind::Button && kind == ControlKind::CheckBox)
      SetCheckState(*control, control->state.value == 0);
    if (event.kind == EventKind::Button && kind == ControlKind::RadioOption)
      SetCheckState(*control, 1);
    if (event.kind == EventKind::TextEdit) control->state.text = event.text;
    Layer.eventSource = event.key;
    code = kEventControl;
  } else if (event.kind == EventKind::Menu) {
    Layer.eventSource = event.key;
    code = kEventMenu;
  } else {
    code = event.code;
  }
  Layer.eventWindow = window;
  Layer.eventKey = event.kind == EventKind::Key ? event.key : 0;
  return true;
}

}  // namespace

bool InitWindowLayer() { return true; }

void ShutdownWindowLayer() {
  std::vector<int> open;
  for (const auto& [id, window] : Layer.windows)
    if (window.state.open) open.push_back(id);
  for (int id : open) CloseAppWindow(id);
}

NativeHandle OpenAppWindow(int id, int /*x*/, int /*y*/, int width, int height,
                           std::string_view title, uint32_t flags) {
  if (OpenWindow(id) != nullptr) CloseAppWindow(id);
  WindowRecord& window = Layer.windows[id];
  window = {};
  window.state.id = id;
  window.state.title = std::string(title);
  window.state.width = width;
  window.state.height = height;
  window.state.flags = flags;
  window.state.open = true;
  window.openedAt = ++Layer.openings;
  window.handle = kWindowHandleStep * window.openedAt + id;
  Layer.activeWindow = id;
  return window.handle;
}

void CloseAppWindow(int id) {
  WindowRecord* window = OpenWindow(id);
  if (window == nullptr) return;
  std::erase_if(Layer.controls,
                [id](const auto& entry) { return entry.second.state.window == id; });
  window->state.open = false;
  window->state.disabled = false;
  window->handle = 0;
  if (Layer.activeWindow == id) Layer.activeWindow = -1;
}

void SetAppWindowTitle(int id, std::string_view text) {
  if (WindowRecord* window = OpenWindow(id)) window->state.title = std::string(text);
}

void SetAppWindowDisabled(int id, int disabled) {
  if (WindowRecord* window = OpenWindow(id)) window->state.disabled = disabled != 0;
}

void ActivateAppWindow(int id) {
  if (OpenWindow(id) != nullptr) Layer.activeWindow = id;
}

NativeHandle AppWindowHandle(int id) {
  const WindowRecord* window = OpenWindow(id);
  return window == nullptr ? 0 : window->handle;
}

void SetControlParent(NativeHandle window) { Layer.parent = window; }

void CreateLabel(int id, int x, int y, int width, int height, std::string_view text, int flags) {
  if (ControlRecord* control = CreateControl(id, ControlKind::Label, x, y, width, height, text))
    control->state.flags = flags;
}

void CreatePushButton(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::PushButton, x, y, width, height, text);
}

void CreateDropDownList(int id, int x, int y, int width, int height) {
  CreateControl(id, ControlKind::DropDownList, x, y, width, height, {});
}

void CreateGroupFrame(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::GroupFrame, x, y, width, height, text);
}

void CreateRadioOption(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::RadioOption, x, y, width, height, text);
}

void CreateCheckBox(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::CheckBox, x, y, width, height, text);
}

void CreateTextField(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::TextField, x, y, width, height, text);
}

void CreatePicture(int id, int x, int y, int width, int height, NativeHandle picture) {
  if (ControlRecord* control = CreateControl(id, ControlKind::Picture, x, y, width, height, {}))
    control->state.picture = picture;
}

void CreateTextBox(int id, int x, int y, int width, int height, std::string_view text) {
  CreateControl(id, ControlKind::TextBox, x, y, width, height, text);
}

void SetControlText(int id, std::string_view text) {
  if (ControlRecord* control = LiveControl(id)) control->state.text = std::string(text);
}

std::string GetControlText(int id) {
  const ControlRecord* control = LiveControl(id);
  return control == nullptr ? std::string() : control->state.text;
}

void AppendListEntry(int id, std::string_view text) {
  ControlRecord* control = LiveControl(id);
  if (control != nullptr && control->state.kind == ControlKind::DropDownList)
    control->state.entries.emplace_back(text);
}

void SetControlValue(int id, int value) {
  ControlRecord* control = LiveControl(id);
  if (control == nullptr) return;
  switch (control->state.kind) {
    case ControlKind::DropDownList:
      SetListIndex(*control, value);
      break;
    case ControlKind::CheckBox:
    case ControlKind::RadioOption:
      SetCheckState(*control, value);
      break;
    default:
      control->state.value = value;
  }
}

int GetControlValue(int id) {
  const ControlRecord* control = LiveControl(id);
  return control == nullptr ? 0 : control->state.value;
}

void SetControlDisabled(int id, int disabled) {
  if (ControlRecord* control = LiveControl(id)) control->state.disabled = disabled != 0;
}

void SetControlColour(int id, int kind, int32_t colour) {
  ControlRecord* control = LiveControl(id);
  if (control == nullptr) return;
  if (kind == kColourText) control->state.textColour = colour;
  if (kind == kColourBack) control->state.backColour = colour;
}

void SetControlFont(int id, NativeHandle font) {
  if (id == kSetDefaultFont) {
    if (font != 0) Layer.defaultFont = font;  // no font keeps the one in use
    return;
  }
  if (ControlRecord* control = LiveControl(id)) ApplyFont(control->state, font);
}

NativeHandle LoadFontFace(int fontId, std::string_view face, int pointSize, int style) {
  if (Layer.fontLoadsFail || face.empty() || pointSize <= 0) return 0;
  const NativeHandle handle = kFontHandleBase + static_cast<NativeHandle>(Layer.fonts.size()) + 1;
  Layer.fonts[handle] = {std::string(face), pointSize, (style & kFontBold) != 0};
  Layer.fontIds[fontId] = handle;
  return handle;
}

NativeHandle FontHandle(int fontId) {
  auto it = Layer.fontIds.find(fontId);
  return it == Layer.fontIds.end() ? 0 : it->second;
}

NativeHandle LoadPictureFile(int pictureId, std::string_view file) {
  headless::PictureState picture = ReadBitmapHeader(file);
  if (picture.width > 0) picture.handle = kPictureHandleBase + ++Layer.pictureLoads;
  Layer.pictures[pictureId] = picture;
  return picture.handle;
}

NativeHandle PictureHandle(int pictureId) {
  auto it = Layer.pictures.find(pictureId);
  return it == Layer.pictures.end() ? 0 : it->second.handle;
}

void CreateMenuBar(int /*menuId*/, NativeHandle window) {
  Layer.menu.clear();
  Layer.menuWindow = WindowOfHandle(window);
  if (WindowRecord* owner = OpenWindow(Layer.menuWindow)) owner->state.hasMenu = true;
}

void AddMenuTitle(std::string_view text) { Layer.menu.push_back({0, std::string(text), true}); }

void AddMenuEntry(int entryId, std::string_view text) {
  Layer.menu.push_back({entryId, std::string(text), false});
}

void AddMenuSeparator() { Layer.menu.push_back({}); }

void StartThreadTimer(int periodMs) { Layer.timerPeriod = periodMs; }

int WaitForEvent() {
  for (;;) {
    // Events queued before the next probe are input already waiting: they are
    // handed out first, and the program settles only when none is left, as it
    // would before it really waits (a probe stands for such a moment).
    if (Layer.events.empty() || Layer.events.front().probe) RunBeforeWaitHook();
    if (Layer.events.empty()) break;
    const QueuedEvent event = std::move(Layer.events.front());
    Layer.events.pop_front();
    if (event.probe) {
      event.probe();
      continue;
    }
    int code = 0;
    if (TakeEvent(event, code)) {
      Layer.madeUpInARow = 0;
      return code;
    }
  }
  if (++Layer.madeUpInARow > kMaxMadeUpCloses) {
    std::fprintf(stderr,
                 "headless window layer: %d close requests after the script ended and the "
                 "program still waits; giving up\n",
                 kMaxMadeUpCloses);
    std::abort();
  }
  ++Layer.scriptEndCloses;
  Layer.eventWindow = NewestOpenWindow();
  Layer.eventKey = 0;
  return kEventClose;
}

int EventSourceId() { return Layer.eventSource; }
int EventWindowId() { return Layer.eventWindow; }
int EventKeyCode() { return Layer.eventKey; }

int MouseXInWindow(int windowId) {
  const WindowRecord* window = OpenWindow(windowId);
  if (window == nullptr || windowId != Layer.mouseWindow) return -1;
  const bool inside = Layer.mouseX >= 0 && Layer.mouseX <= window->state.width &&
                      Layer.mouseY >= 0 && Layer.mouseY <= window->state.height;
  return inside ? Layer.mouseX : -1;
}

int MouseYInWindow(int windowId) { return MouseXInWindow(windowId) < 0 ? -1 : Layer.mouseY; }

int ShowMessageBox(std::string_view title, std::string_view text, int flags) {
  RunBeforeWaitHook();
  headless::DialogCall call;
  call.kind = "message";
  call.title = std::string(title);
  call.text = std::string(text);
  call.flags = flags;
  RecordDialog(std::move(call));
  if (Layer.messageAnswers.empty()) return 1;
  const int answer = Layer.messageAnswers.front();
  Layer.messageAnswers.pop_front();
  return answer;
}

namespace {

std::string AskFileName(const char* kind, std::string_view title, std::string_view defaultFile,
                        std::string_view pattern, int patternIndex) {
  RunBeforeWaitHook();
  headless::DialogCall call;
  call.kind = kind;
  call.title = std::string(title);
  call.defaultFile = std::string(defaultFile);
  call.pattern = std::string(pattern);
  call.patternIndex = patternIndex;
  RecordDialog(std::move(call));
  if (Layer.fileAnswers.empty()) return {};
  std::string answer = std::move(Layer.fileAnswers.front());
  Layer.fileAnswers.pop_front();
  return answer;
}

}  // namespace

std::string AskOpenFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName("open", title, defaultFile, pattern, patternIndex);
}

std::string AskSaveFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName("save", title, defaultFile, pattern, patternIndex);
}

namespace headless {

void Reset() { Layer = {}; }

void QueueKeyDown(int keyCode, int window) {
  Queue(EventKind::Key, kEventKeyDown, window, keyCode);
}
void QueueKeyUp(int keyCode, int window) { Queue(EventKind::Key, kEventKeyUp, window, keyCode); }
void QueueKey(int keyCode, int window) {
  QueueKeyDown(keyCode, window);
  QueueKeyUp(keyCode, window);
}
void QueueSysKeyDown(int keyCode, int window) {
  Queue(EventKind::Key, kEventSysKeyDown, window, keyCode);
}
void QueueSysKeyUp(int keyCode, int window) {
  Queue(EventKind::Key, kEventSysKeyUp, window, keyCode);
}
void QueueAltKey(int keyCode, int window) {
  QueueSysKeyDown(keyCode, window);
  QueueSysKeyUp(keyCode, window);
}
void QueueClick(int x, int y, int window) {
  Queue(EventKind::Click, kEventLButtonDown, window, 0, x, y);
}
void QueueMenu(int entryId) { Queue(EventKind::Menu, kEventMenu, kNewestWindow, entryId); }
void QueueTimer() { Queue(EventKind::Timer, kEventTimer, -1); }
void QueueClose(int window) { Queue(EventKind::Close, kEventClose, window); }
void QueueButton(int controlId) {
  Queue(EventKind::Button, kEventControl, kNewestWindow, controlId);
}
void QueueListChoice(int controlId, int index) {
  Queue(EventKind::ListChoice, kEventControl, kNewestWindow, controlId, 0, 0, index);
}
void QueueCheck(int controlId, int value) {
  Queue(EventKind::Check, kEventControl, kNewestWindow, controlId, 0, 0, value);
}
void QueueTextEdit(int controlId, std::string_view text) {
  Queue(EventKind::TextEdit, kEventControl, kNewestWindow, controlId, 0, 0, 0, text);
}
void QueueRawEvent(int code, int window) { Queue(EventKind::Raw, code, window); }
void QueueProbe(std::function<void()> probe) {
  QueuedEvent event;
  event.probe = std::move(probe);
  Layer.events.push_back(std::move(event));
}

void QueueFileAnswer(std::string_view path) { Layer.fileAnswers.emplace_back(path); }
void QueueMessageBoxAnswer(int result) { Layer.messageAnswers.push_back(result); }
void SetFontLoadsFail(bool fail) { Layer.fontLoadsFail = fail; }

const ControlState* Control(int id) {
  const ControlRecord* control = LiveControl(id);
  return control == nullptr ? nullptr : &control->state;
}

std::vector<int> ControlOrder() {
  std::map<long, int> byCreation;
  for (const auto& [id, control] : Layer.controls) byCreation[control.createdAt] = id;
  std::vector<int> order;
  for (const auto& [at, id] : byCreation) order.push_back(id);
  return order;
}

const WindowState* Window(int id) {
  auto it = Layer.windows.find(id);
  return it == Layer.windows.end() ? nullptr : &it->second.state;
}

int ActiveWindow() { return Layer.activeWindow; }
std::vector<MenuItem> Menu() { return Layer.menu; }
int TimerPeriod() { return Layer.timerPeriod; }
int PendingEvents() { return static_cast<int>(Layer.events.size()); }

const PictureState* Picture(int pictureId) {
  auto it = Layer.pictures.find(pictureId);
  return it == Layer.pictures.end() ? nullptr : &it->second;
}

std::vector<DialogCall> DialogCalls() { return Layer.dialogCalls; }
int ScriptEndCloses() { return Layer.scriptEndCloses; }

}  // namespace headless
