// Controls, fonts, pictures and the menu bar of the Qt backend.
//
// Labels are QLabels showing plain text (never rich text), coloured through
// their palette with an opaque background only when a back colour is set.
// Radio options are grouped by the backend itself: options created one after
// another in a window form a group, any other control in between starts a
// new one. User actions that Win32 reports to the parent window (a click, a
// list choice, an edit) queue a control event with the control's id.
#include "ui/window.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "ui/qt/layer_qt.h"
#include "ui/qt/window_qt.h"

namespace qtwindow {

Control* FindControl(int controlId) {
  if (!Layer) return nullptr;
  const auto found = Layer->controls.find(controlId);
  return found == Layer->controls.end() ? nullptr : &found->second;
}

void DestroyControl(int controlId) {
  const auto found = Layer->controls.find(controlId);
  if (found == Layer->controls.end()) return;
  QWidget* widget = found->second.widget;
  Layer->controls.erase(found);
  delete widget;
}

void DestroyControlsOf(int windowId) {
  std::vector<int> ids;
  for (const auto& [id, control] : Layer->controls) {
    if (control.window == windowId) ids.push_back(id);
  }
  for (const int id : ids) DestroyControl(id);
}

QWidget* ControlWidget(int controlId) {
  Control* control = FindControl(controlId);
  return control ? control->widget : nullptr;
}

namespace {

constexpr int kAlignmentMask = 0x3;       // SS_LEFT 0, SS_CENTER 1, SS_RIGHT 2
constexpr int kLabelCentreImage = 0x200;  // SS_CENTERIMAGE: centred vertically
constexpr int kMaxPointSize = 1000;
constexpr QPalette::ColorGroup kColourGroups[] = {QPalette::Active, QPalette::Inactive,
                                                  QPalette::Disabled};

// An option stays on when clicked again; the backend clears the rest of its group.
class RadioOption : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override { setChecked(true); }
};

void ClearRestOfGroup(int controlId) {
  const Control* chosen = FindControl(controlId);
  if (!chosen) return;
  for (auto& [id, control] : Layer->controls) {
    if (id != controlId && control.kind == ControlKind::RadioOption &&
        control.radioGroup == chosen->radioGroup) {
      static_cast<QRadioButton*>(control.widget)->setChecked(false);
    }
  }
}

void QueueControlEvent(int window, int controlId) {
  QueueEvent({kEventControl, window, controlId, controlId});
}

// The closed height of a list follows its font; the given height is that of
// the opened list, which decides how many entries show at once.
void FitList(Control& control) {
  auto* list = static_cast<QComboBox*>(control.widget);
  const int closed = std::min(list->sizeHint().height(), control.listHeight);
  list->resize(list->width(), std::max(closed, 1));
  const int entryHeight = std::max(list->fontMetrics().height() + 2, 1);
  list->setMaxVisibleItems(std::max(1, (control.listHeight - closed) / entryHeight));
}

// Puts a new control under `id` into the window chosen by SetControlParent.
// Returns nullptr (and deletes nothing) when no window is chosen.
template <typename Widget>
Widget* AddControl(int id, ControlKind kind, int x, int y, int width, int height) {
  if (!Layer) return nullptr;
  AppWindow* window = OpenWindow(Layer->parentWindow);
  if (!window) return nullptr;
  DestroyControl(id);
  auto* widget = new Widget(window->client);
  widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
  if (Layer->defaultFont) widget->setFont(*Layer->defaultFont);
  widget->setProperty(kControlIdProperty, id);

  Control control;
  control.widget = widget;
  control.kind = kind;
  control.window = Layer->parentWindow;
  control.listHeight = height;
  if (kind == ControlKind::RadioOption) {
    const bool continues = Layer->lastCreatedWasRadio && Layer->lastCreatedWindow == control.window;
    control.radioGroup = continues ? Layer->lastRadioGroup : ++Layer->lastRadioGroup;
  }
  Layer->lastCreatedWasRadio = kind == ControlKind::RadioOption;
  Layer->lastCreatedWindow = control.window;
  Layer->controls[id] = control;
  widget->show();
  return widget;
}

QColor ColourOf(int32_t colour) {
  const auto value = static_cast<uint32_t>(colour);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

void SetRoles(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles, int32_t colour) {
  QPalette palette = widget->palette();
  const QPalette standard = QApplication::palette(widget);
  for (const QPalette::ColorRole role : roles) {
    for (const QPalette::ColorGroup group : kColourGroups) {
      palette.setColor(group, role, colour == -1 ? standard.color(group, role) : ColourOf(colour));
    }
  }
  widget->setPalette(palette);
}

// A label keeps its text colour while its window is disabled (a dialog is
// open), as on Win32; only a label disabled itself shows greyed text.
void MatchDisabledLabelText(const Control& control) {
  if (control.kind != ControlKind::Label) return;
  QWidget* label = control.widget;
  QPalette palette = label->palette();
  const bool ownDisabled = !label->isEnabledTo(label->window());
  palette.setColor(
      QPalette::Disabled, QPalette::WindowText,
      ownDisabled ? QApplication::palette(label).color(QPalette::Disabled, QPalette::WindowText)
                  : palette.color(QPalette::Active, QPalette::WindowText));
  label->setPalette(palette);
}

QFont FontOfHandle(NativeHandle handle, bool& known) {
  const auto found = Layer->fonts.find(handle);
  known = found != Layer->fonts.end();
  return known ? found->second : QApplication::font();
}

}  // namespace
}  // namespace qtwindow

using namespace qtwindow;

void SetControlParent(NativeHandle window) {
  if (Layer) Layer->parentWindow = WindowIdOfHandle(window);
}

void CreateLabel(int id, int x, int y, int width, int height, std::string_view text, int flags) {
  auto* label = AddControl<QLabel>(id, ControlKind::Label, x, y, width, height);
  if (!label) return;
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setIndent(0);
  label->setMargin(0);
  Qt::Alignment alignment = (flags & kLabelCentreImage) ? Qt::AlignVCenter : Qt::AlignTop;
  switch (flags & kAlignmentMask) {
    case kLabelCentred:
      alignment |= Qt::AlignHCenter;
      break;
    case kLabelRight:
      alignment |= Qt::AlignRight;
      break;
    default:
      alignment |= Qt::AlignLeft;
      break;
  }
  label->setAlignment(alignment);
  if (flags & kLabelSunken) label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  label->setText(ToQString(text));
  MatchDisabledLabelText(Layer->controls[id]);
}

void CreatePushButton(int id, int x, int y, int width, int height, std::string_view text) {
  auto* button = AddControl<QPushButton>(id, ControlKind::PushButton, x, y, width, height);
  if (!button) return;
  button->setAutoDefault(false);
  button->setText(ToQString(text));
  const int window = Layer->controls[id].window;
  QObject::connect(button, &QPushButton::clicked, [window, id] { QueueControlEvent(window, id); });
}

void CreateDropDownList(int id, int x, int y, int width, int height) {
  auto* list = AddControl<QComboBox>(id, ControlKind::DropDownList, x, y, width, height);
  if (!list) return;
  list->setEditable(false);
  FitList(Layer->controls[id]);
  const int window = Layer->controls[id].window;
  QObject::connect(list, &QComboBox::activated, [window, id] { QueueControlEvent(window, id); });
}

void CreateGroupFrame(int id, int x, int y, int width, int height, std::string_view text) {
  auto* frame = AddControl<QGroupBox>(id, ControlKind::GroupFrame, x, y, width, height);
  if (!frame) return;
  frame->setFocusPolicy(Qt::NoFocus);
  frame->setTitle(ToQString(text));
  frame->lower();  // under the controls it frames, whenever they were made
}

void CreateRadioOption(int id, int x, int y, int width, int height, std::string_view text) {
  auto* option = AddControl<RadioOption>(id, ControlKind::RadioOption, x, y, width, height);
  if (!option) return;
  option->setAutoExclusive(false);
  option->setText(ToQString(text));
  const int window = Layer->controls[id].window;
  QObject::connect(option, &QRadioButton::clicked, [window, id] {
    ClearRestOfGroup(id);
    QueueControlEvent(window, id);
  });
}

void CreateCheckBox(int id, int x, int y, int width, int height, std::string_view text) {
  auto* box = AddControl<QCheckBox>(id, ControlKind::CheckBox, x, y, width, height);
  if (!box) return;
  box->setText(ToQString(text));
  const int window = Layer->controls[id].window;
  QObject::connect(box, &QCheckBox::clicked, [window, id] { QueueControlEvent(window, id); });
}

void CreateTextField(int id, int x, int y, int width, int height, std::string_view text) {
  auto* field = AddControl<QLineEdit>(id, ControlKind::TextField, x, y, width, height);
  if (!field) return;
  field->setText(ToQString(text));
  const int window = Layer->controls[id].window;
  QObject::connect(field, &QLineEdit::textEdited, [window, id] { QueueControlEvent(window, id); });
}

void CreatePicture(int id, int x, int y, int width, int height, NativeHandle picture) {
  auto* label = AddControl<QLabel>(id, ControlKind::Picture, x, y, width, height);
  if (!label) return;
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const auto found = Layer->pictures.find(picture);
  if (picture != 0 && found != Layer->pictures.end()) label->setPixmap(found->second);
}

void CreateTextBox(int id, int x, int y, int width, int height, std::string_view text) {
  auto* box = AddControl<QPlainTextEdit>(id, ControlKind::TextBox, x, y, width, height);
  if (!box) return;
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setPlainText(ToQString(text));
}

void SetControlText(int id, std::string_view text) {
  Control* control = FindControl(id);
  if (!control) return;
  if (control->kind == ControlKind::Label) {
    if (control->labelTextSet && control->labelText == text) return;  // nothing to repaint
    control->labelText.assign(text);
    control->labelTextSet = true;
  }
  const QString value = ToQString(text);
  switch (control->kind) {
    case ControlKind::Label:
      static_cast<QLabel*>(control->widget)->setText(value);
      break;
    case ControlKind::PushButton:
    case ControlKind::RadioOption:
    case ControlKind::CheckBox:
      static_cast<QAbstractButton*>(control->widget)->setText(value);
      break;
    case ControlKind::GroupFrame:
      static_cast<QGroupBox*>(control->widget)->setTitle(value);
      break;
    case ControlKind::TextField:
      static_cast<QLineEdit*>(control->widget)->setText(value);
      break;
    case ControlKind::TextBox:
      static_cast<QPlainTextEdit*>(control->widget)->setPlainText(value);
      break;
    case ControlKind::DropDownList:  // a non-editable list shows only its entries
    case ControlKind::Picture:
      break;
  }
}

std::string GetControlText(int id) {
  const Control* control = FindControl(id);
  if (!control) return {};
  switch (control->kind) {
    case ControlKind::Label:
      return FromQString(static_cast<QLabel*>(control->widget)->text());
    case ControlKind::PushButton:
    case ControlKind::RadioOption:
    case ControlKind::CheckBox:
      return FromQString(static_cast<QAbstractButton*>(control->widget)->text());
    case ControlKind::GroupFrame:
      return FromQString(static_cast<QGroupBox*>(control->widget)->title());
    case ControlKind::TextField:
      return FromQString(static_cast<QLineEdit*>(control->widget)->text());
    case ControlKind::TextBox:
      return FromQString(static_cast<QPlainTextEdit*>(control->widget)->toPlainText());
    case ControlKind::DropDownList:
      return FromQString(static_cast<QComboBox*>(control->widget)->currentText());
    case ControlKind::Picture:
      break;
  }
  return {};
}

void AppendListEntry(int id, std::string_view text) {
  const Control* control = FindControl(id);
  if (!control || control->kind != ControlKind::DropDownList) return;
  auto* list = static_cast<QComboBox*>(control->widget);
  // A new entry never becomes the choice by itself.
  const int chosen = list->currentIndex();
  list->addItem(ToQString(text));
  list->setCurrentIndex(chosen);
}

void SetControlValue(int id, int value) {
  const Control* control = FindControl(id);
  if (!control) return;
  switch (control->kind) {
    case ControlKind::DropDownList: {
      auto* list = static_cast<QComboBox*>(control->widget);
      list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
      break;
    }
    case ControlKind::CheckBox:
      static_cast<QCheckBox*>(control->widget)->setChecked(value != 0);
      break;
    case ControlKind::RadioOption:
      static_cast<QRadioButton*>(control->widget)->setChecked(value != 0);
      if (value != 0) ClearRestOfGroup(id);
      break;
    default:
      break;
  }
}

int GetControlValue(int id) {
  const Control* control = FindControl(id);
  if (!control) return 0;
  switch (control->kind) {
    case ControlKind::DropDownList:
      return static_cast<QComboBox*>(control->widget)->currentIndex();
    case ControlKind::CheckBox:
    case ControlKind::RadioOption:
      return static_cast<QAbstractButton*>(control->widget)->isChecked() ? 1 : 0;
    default:
      return 0;
  }
}

void SetControlDisabled(int id, int disabled) {
  Control* control = FindControl(id);
  if (!control) return;
  control->widget->setEnabled(disabled == 0);
  MatchDisabledLabelText(*control);
}

void SetControlColour(int id, int kind, int32_t colour) {
  Control* control = FindControl(id);
  if (!control) return;
  int32_t* last = kind == kColourText ? &control->textColour
                  : kind == kColourBack ? &control->backColour
                                        : nullptr;
  if (last != nullptr) {
    if (*last == colour) return;  // the same colour again: nothing to repaint
    *last = colour;
  }
  QWidget* widget = control->widget;
  if (kind == kColourText) {
    SetRoles(widget, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, colour);
    MatchDisabledLabelText(*control);
  } else if (kind == kColourBack) {
    SetRoles(widget, {QPalette::Window, QPalette::Base, QPalette::Button}, colour);
    // A field paints its own base; the others paint a back colour only when they have one.
    if (control->kind != ControlKind::TextField && control->kind != ControlKind::TextBox)
      widget->setAutoFillBackground(colour != -1);
  }
  widget->update();
}

void SetControlFont(int id, NativeHandle font) {
  if (!Layer) return;
  bool known = false;
  const QFont chosen = FontOfHandle(font, known);
  if (font != 0 && !known) return;
  if (id == kSetDefaultFont) {
    if (font == 0) {
      Layer->defaultFont.reset();
    } else {
      Layer->defaultFont = chosen;
    }
    return;
  }
  Control* control = FindControl(id);
  if (!control) return;
  control->widget->setFont(chosen);
  if (control->kind == ControlKind::DropDownList) FitList(*control);
}

NativeHandle LoadFontFace(int fontId, std::string_view face, int pointSize, int style) {
  if (!Layer || face.empty() || pointSize <= 0 || pointSize > kMaxPointSize) return 0;
  QFont font(ToQString(face));
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  // The character height of the Win32 font: points at the display's dots per inch.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize * dpi / 72.0))));
  font.setWeight((style & kFontBold) ? QFont::Bold : QFont::Normal);
  const NativeHandle handle = NewHandle();
  if (const auto old = Layer->fontIds.find(fontId); old != Layer->fontIds.end()) {
    Layer->fonts.erase(old->second);  // controls keep their copies
  }
  Layer->fontIds[fontId] = handle;
  Layer->fonts[handle] = font;
  return handle;
}

NativeHandle FontHandle(int fontId) {
  if (!Layer) return 0;
  const auto found = Layer->fontIds.find(fontId);
  return found == Layer->fontIds.end() ? 0 : found->second;
}

NativeHandle LoadPictureFile(int pictureId, std::string_view file) {
  if (!Layer) return 0;
  if (const auto old = Layer->pictureIds.find(pictureId); old != Layer->pictureIds.end()) {
    Layer->pictures.erase(old->second);  // picture controls keep their copies
    Layer->pictureIds.erase(old);
  }
  QImageReader reader(ToQString(file), "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image;
  if (file.empty() || !reader.read(&image)) return 0;
  const NativeHandle handle = NewHandle();
  Layer->pictureIds[pictureId] = handle;
  Layer->pictures[handle] = QPixmap::fromImage(image);
  return handle;
}

NativeHandle PictureHandle(int pictureId) {
  if (!Layer) return 0;
  const auto found = Layer->pictureIds.find(pictureId);
  return found == Layer->pictureIds.end() ? 0 : found->second;
}

void CreateMenuBar(int /*menuId*/, NativeHandle window) {
  const int windowId = WindowIdOfHandle(window);
  AppWindow* target = OpenWindow(windowId);
  if (!target) return;
  delete target->menuBar;
  target->menuBar = new QMenuBar(target->frame);
  target->menuBar->setNativeMenuBar(false);
  FitMenuBar(*target);
  target->menuBar->show();
  Layer->menuWindow = windowId;
  Layer->currentMenu = nullptr;
}

void AddMenuTitle(std::string_view text) {
  AppWindow* window = OpenWindow(Layer ? Layer->menuWindow : -1);
  if (!window || !window->menuBar) return;
  Layer->currentMenu = window->menuBar->addMenu(ToQString(text));
  FitMenuBar(*window);
}

void AddMenuEntry(int entryId, std::string_view text) {
  if (!Layer || !Layer->currentMenu) return;
  QAction* action = Layer->currentMenu->addAction(ToQString(text));
  const int window = Layer->menuWindow;
  QObject::connect(action, &QAction::triggered, [window, entryId] {
    QueueEvent({kEventMenu, window, entryId, entryId});
  });
}

void AddMenuSeparator() {
  if (Layer && Layer->currentMenu) Layer->currentMenu->addSeparator();
}
