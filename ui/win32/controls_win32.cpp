// Controls, fonts, pictures and the menu bar of the Win32 backend.
//
// Every control is a standard window class (STATIC, BUTTON, COMBOBOX, EDIT).
// Labels are statics without SS_NOTIFY, so a click on one goes through to
// the window as WM_LBUTTONDOWN. Radio options are plain BS_RADIOBUTTONs
// grouped by the backend: options created one after another in a window form
// a group, any other control in between starts a new one. Colours are
// answered in WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT with one solid brush per
// coloured control. What Win32 reports to the parent window as WM_COMMAND (a
// click, a list choice, a typed edit, a focus change of a field or list)
// becomes a control event.
#include "ui/window.h"

#include <algorithm>

#include "ui/win32/layer_win32.h"
#include "ui/win32/window_win32.h"

namespace win32window {

Control* FindControl(int controlId) {
  const auto found = Layer.controls.find(controlId);
  return found == Layer.controls.end() ? nullptr : &found->second;
}

Control* ControlOfHandle(HWND hwnd, int* controlId) {
  if (hwnd == nullptr) return nullptr;
  // The native id is the low 16 bits of ours: the common case is one look-up
  // (every grid cell asks for its colours at each repaint).
  const int nativeId = GetDlgCtrlID(hwnd);
  if (const auto found = Layer.controls.find(nativeId);
      found != Layer.controls.end() && found->second.hwnd == hwnd) {
    if (controlId) *controlId = nativeId;
    return &found->second;
  }
  for (auto& [id, control] : Layer.controls) {
    if (control.hwnd == hwnd) {
      if (controlId) *controlId = id;
      return &control;
    }
  }
  return nullptr;
}

void DestroyControl(int controlId) {
  const auto found = Layer.controls.find(controlId);
  if (found == Layer.controls.end()) return;
  const Control control = found->second;
  Layer.controls.erase(found);
  DestroyWindow(control.hwnd);
  if (control.backBrush) DeleteObject(control.backBrush);
}

void DestroyControlsOf(int windowId) {
  std::vector<int> ids;
  for (const auto& [id, control] : Layer.controls) {
    if (control.window == windowId) ids.push_back(id);
  }
  for (const int id : ids) DestroyControl(id);
}

NativeHandle ControlNativeHandle(int controlId) {
  const Control* control = FindControl(controlId);
  return control ? reinterpret_cast<NativeHandle>(control->hwnd) : 0;
}

std::string ToControlLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

std::string FromControlLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

namespace {

constexpr int kAlignmentMask = 0x3;  // SS_LEFT 0, SS_CENTER 1, SS_RIGHT 2
constexpr int kMaxPointSize = 1000;

COLORREF ColourRef(int32_t colour) { return static_cast<COLORREF>(colour) & 0x00FFFFFF; }

bool TakesFocus(ControlKind kind) {
  return kind != ControlKind::Label && kind != ControlKind::GroupFrame &&
         kind != ControlKind::Picture;
}

bool KnownFont(HFONT font) {
  for (const auto& [id, loaded] : Layer.fontIds) {
    if (loaded == font) return true;
  }
  return std::find(Layer.retiredFonts.begin(), Layer.retiredFonts.end(), font) !=
         Layer.retiredFonts.end();
}

bool KnownPicture(HBITMAP picture) {
  for (const auto& [id, loaded] : Layer.pictureIds) {
    if (loaded == picture) return true;
  }
  return std::find(Layer.retiredPictures.begin(), Layer.retiredPictures.end(), picture) !=
         Layer.retiredPictures.end();
}

void ProduceControlEvent(int windowId, int controlId) {
  Layer.producedCode = kEventControl;
  Layer.producedSource = controlId;
  Layer.producedWindow = windowId;
}

void ClearRestOfGroup(int controlId) {
  const Control* chosen = FindControl(controlId);
  if (!chosen) return;
  for (auto& [id, control] : Layer.controls) {
    if (id != controlId && control.kind == ControlKind::RadioOption &&
        control.radioGroup == chosen->radioGroup) {
      SendMessageW(control.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
}

// Makes the control `id` in the window chosen by SetControlParent; an old
// control under the id goes first. nullptr when no window is chosen.
Control* AddControl(int id, ControlKind kind, const wchar_t* windowClass, DWORD style,
                    DWORD exStyle, int x, int y, int width, int height, std::string_view text) {
  AppWindow* window = OpenWindow(Layer.parentWindow);
  if (!window) return nullptr;
  DestroyControl(id);
  const HWND hwnd = CreateWindowExW(
      exStyle, windowClass, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
      x, y, std::max(width, 0), std::max(height, 0), window->hwnd,
      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id & 0xFFFF)), Layer.instance, nullptr);
  if (!hwnd) return nullptr;
  // Group frames stay under every other control, whenever either was made:
  // a frame above a control would hide it (controls clip their siblings).
  SetWindowPos(hwnd, kind == ControlKind::GroupFrame ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  const HFONT font =
      Layer.defaultFont ? Layer.defaultFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  Control control;
  control.hwnd = hwnd;
  control.kind = kind;
  control.window = Layer.parentWindow;
  control.createdAt = ++Layer.creations;
  if (kind == ControlKind::RadioOption) {
    const Control* previous = Layer.lastCreatedExists ? FindControl(Layer.lastCreatedId) : nullptr;
    const bool continues = previous && previous->kind == ControlKind::RadioOption &&
                           previous->window == control.window;
    control.radioGroup = continues ? previous->radioGroup : ++Layer.radioGroups;
  }
  Layer.lastCreatedId = id;
  Layer.lastCreatedExists = true;
  Layer.controls[id] = control;
  return &Layer.controls[id];
}

}  // namespace

bool AnswerControlColour(HDC dc, HWND hwnd, LRESULT& result) {
  const Control* control = ControlOfHandle(hwnd, nullptr);
  if (!control || (control->textColour == -1 && control->backColour == -1)) return false;
  if (control->textColour != -1) SetTextColor(dc, ColourRef(control->textColour));
  if (control->backBrush) {
    SetBkColor(dc, ColourRef(control->backColour));
    result = reinterpret_cast<LRESULT>(control->backBrush);
    return true;
  }
  // A text colour alone: the system's back colour of the kind (a label sits
  // on the button face, a field on the window colour).
  const bool field = control->kind == ControlKind::TextField && IsWindowEnabled(hwnd);
  const int system = field ? COLOR_WINDOW : COLOR_BTNFACE;
  SetBkColor(dc, GetSysColor(system));
  result = reinterpret_cast<LRESULT>(GetSysColorBrush(system));
  return true;
}

void NoteCommand(int windowId, WPARAM wParam, LPARAM lParam) {
  const int notification = HIWORD(wParam);
  if (lParam == 0) {
    if (notification == 0 && Layer.menuWindow == windowId) {  // a menu entry, not an accelerator
      Layer.producedCode = kEventMenu;
      Layer.producedSource = LOWORD(wParam);
      Layer.producedWindow = windowId;
    }
    return;
  }
  int id = 0;
  const Control* control = ControlOfHandle(reinterpret_cast<HWND>(lParam), &id);
  if (!control) return;
  switch (control->kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
      if (notification == BN_CLICKED) ProduceControlEvent(control->window, id);
      break;
    case ControlKind::RadioOption:
      if (notification == BN_CLICKED) {
        SendMessageW(control->hwnd, BM_SETCHECK, BST_CHECKED, 0);
        ClearRestOfGroup(id);
        ProduceControlEvent(control->window, id);
      }
      break;
    case ControlKind::DropDownList:
      if (notification == CBN_SELCHANGE || notification == CBN_SETFOCUS ||
          notification == CBN_KILLFOCUS) {
        ProduceControlEvent(control->window, id);
      }
      break;
    case ControlKind::TextField:
      if ((notification == EN_CHANGE && !Layer.settingText) || notification == EN_SETFOCUS ||
          notification == EN_KILLFOCUS) {
        ProduceControlEvent(control->window, id);
      }
      break;
    default:
      break;
  }
}

bool MoveFocusByTab(HWND from, bool backwards) {
  const int windowId = WindowIdOfHandle(from);
  std::vector<const Control*> order;
  for (const auto& [id, control] : Layer.controls) {
    if (control.window == windowId && TakesFocus(control.kind) && IsWindowEnabled(control.hwnd) &&
        IsWindowVisible(control.hwnd)) {
      order.push_back(&control);
    }
  }
  if (order.empty()) return false;
  std::sort(order.begin(), order.end(),
            [](const Control* a, const Control* b) { return a->createdAt < b->createdAt; });
  const HWND focus = GetFocus();
  const auto count = static_cast<long>(order.size());
  long current = -1;
  for (long i = 0; i < count; ++i) {
    if (order[i]->hwnd == focus || IsChild(order[i]->hwnd, focus)) current = i;
  }
  long next = 0;
  if (current < 0) {
    next = backwards ? count - 1 : 0;
  } else {
    next = (current + (backwards ? count - 1 : 1)) % count;
  }
  const Control* target = order[static_cast<std::size_t>(next)];
  SetFocus(target->hwnd);
  if (target->kind == ControlKind::TextField) SendMessageW(target->hwnd, EM_SETSEL, 0, -1);
  return true;
}

}  // namespace win32window

using namespace win32window;

void SetControlParent(NativeHandle window) {
  Layer.parentWindow = WindowIdOfHandle(reinterpret_cast<HWND>(window));
  if (Layer.parentWindow >= 0 &&
      reinterpret_cast<HWND>(window) != Layer.windows[Layer.parentWindow].hwnd) {
    Layer.parentWindow = -1;  // a control's handle is no window to put controls in
  }
}

void CreateLabel(int id, int x, int y, int width, int height, std::string_view text, int flags) {
  const DWORD style = static_cast<DWORD>(flags & (kAlignmentMask | SS_CENTERIMAGE)) | SS_NOPREFIX;
  const DWORD exStyle = (flags & kLabelSunken) ? WS_EX_STATICEDGE : 0;
  Control* label =
      AddControl(id, ControlKind::Label, L"STATIC", style, exStyle, x, y, width, height, text);
  if (!label) return;
  label->labelText.assign(text);
  label->labelTextSet = true;
}

void CreatePushButton(int id, int x, int y, int width, int height, std::string_view text) {
  AddControl(id, ControlKind::PushButton, L"BUTTON", BS_PUSHBUTTON, 0, x, y, width, height, text);
}

void CreateDropDownList(int id, int x, int y, int width, int height) {
  AddControl(id, ControlKind::DropDownList, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0, x, y,
             width, height, "");
}

void CreateGroupFrame(int id, int x, int y, int width, int height, std::string_view text) {
  AddControl(id, ControlKind::GroupFrame, L"BUTTON", BS_GROUPBOX, 0, x, y, width, height, text);
}

void CreateRadioOption(int id, int x, int y, int width, int height, std::string_view text) {
  AddControl(id, ControlKind::RadioOption, L"BUTTON", BS_RADIOBUTTON, 0, x, y, width, height,
             text);
}

void CreateCheckBox(int id, int x, int y, int width, int height, std::string_view text) {
  AddControl(id, ControlKind::CheckBox, L"BUTTON", BS_AUTOCHECKBOX, 0, x, y, width, height, text);
}

void CreateTextField(int id, int x, int y, int width, int height, std::string_view text) {
  Layer.settingText = true;
  AddControl(id, ControlKind::TextField, L"EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, x,
             y, width, height, text);
  Layer.settingText = false;
}

void CreatePicture(int id, int x, int y, int width, int height, NativeHandle picture) {
  Control* control =
      AddControl(id, ControlKind::Picture, L"STATIC", SS_BITMAP, 0, x, y, width, height, "");
  const auto bitmap = reinterpret_cast<HBITMAP>(picture);
  if (control && bitmap && KnownPicture(bitmap)) {
    SendMessageW(control->hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  }
}

void CreateTextBox(int id, int x, int y, int width, int height, std::string_view text) {
  constexpr DWORD kStyle = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                           WS_VSCROLL | WS_HSCROLL;
  Layer.settingText = true;
  AddControl(id, ControlKind::TextBox, L"EDIT", kStyle, WS_EX_CLIENTEDGE, x, y, width, height,
             ToControlLineEnds(text));
  Layer.settingText = false;
}

void SetControlText(int id, std::string_view text) {
  Control* control = FindControl(id);
  if (!control) return;
  switch (control->kind) {
    case ControlKind::Label:
      if (control->labelTextSet && control->labelText == text) return;  // nothing to repaint
      control->labelText.assign(text);
      control->labelTextSet = true;
      break;
    case ControlKind::DropDownList:  // a non-editable list shows only its entries
    case ControlKind::Picture:
      return;
    default:
      break;
  }
  const std::wstring wide =
      control->kind == ControlKind::TextBox ? Wide(ToControlLineEnds(text)) : Wide(text);
  Layer.settingText = true;
  SetWindowTextW(control->hwnd, wide.c_str());
  Layer.settingText = false;
}

std::string GetControlText(int id) {
  const Control* control = FindControl(id);
  if (!control || control->kind == ControlKind::Picture) return {};
  const std::string text = WindowText(control->hwnd);
  return control->kind == ControlKind::TextBox ? FromControlLineEnds(text) : text;
}

void AppendListEntry(int id, std::string_view text) {
  const Control* control = FindControl(id);
  if (!control || control->kind != ControlKind::DropDownList) return;
  SendMessageW(control->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void SetControlValue(int id, int value) {
  const Control* control = FindControl(id);
  if (!control) return;
  switch (control->kind) {
    case ControlKind::DropDownList: {
      const auto count = SendMessageW(control->hwnd, CB_GETCOUNT, 0, 0);
      SendMessageW(control->hwnd, CB_SETCURSEL, value >= 0 && value < count ? value : -1, 0);
      break;
    }
    case ControlKind::CheckBox:
      SendMessageW(control->hwnd, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::RadioOption:
      SendMessageW(control->hwnd, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
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
      return static_cast<int>(SendMessageW(control->hwnd, CB_GETCURSEL, 0, 0));  // CB_ERR is -1
    case ControlKind::CheckBox:
    case ControlKind::RadioOption:
      return SendMessageW(control->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    default:
      return 0;
  }
}

void SetControlDisabled(int id, int disabled) {
  if (const Control* control = FindControl(id)) EnableWindow(control->hwnd, disabled == 0);
}

void SetControlColour(int id, int kind, int32_t colour) {
  Control* control = FindControl(id);
  if (!control) return;
  if (colour < -1) colour = -1;
  if (kind == kColourText) {
    if (control->textColour == colour) return;  // the same colour again: nothing to repaint
    control->textColour = colour;
  } else if (kind == kColourBack) {
    if (control->backColour == colour) return;
    control->backColour = colour;
    if (control->backBrush) DeleteObject(control->backBrush);
    control->backBrush = colour == -1 ? nullptr : CreateSolidBrush(ColourRef(colour));
  }
  InvalidateRect(control->hwnd, nullptr, TRUE);
}

void SetControlFont(int id, NativeHandle font) {
  const auto chosen = reinterpret_cast<HFONT>(font);
  if (chosen && !KnownFont(chosen)) return;
  if (id == kSetDefaultFont) {
    Layer.defaultFont = chosen;
    return;
  }
  const Control* control = FindControl(id);
  if (!control) return;
  const HFONT shown = chosen ? chosen : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(control->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
}

NativeHandle LoadFontFace(int fontId, std::string_view face, int pointSize, int style) {
  if (!Layer.initialised || face.empty() || pointSize <= 0 || pointSize > kMaxPointSize) return 0;
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  const HFONT font = CreateFontW(FontHeightFor(pointSize, dpi), 0, 0, 0,
                                 (style & kFontBold) ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(face).c_str());
  if (!font) return 0;
  if (const auto old = Layer.fontIds.find(fontId); old != Layer.fontIds.end()) {
    Layer.retiredFonts.push_back(old->second);  // controls given it go on showing it
  }
  Layer.fontIds[fontId] = font;
  return reinterpret_cast<NativeHandle>(font);
}

NativeHandle FontHandle(int fontId) {
  const auto found = Layer.fontIds.find(fontId);
  return found == Layer.fontIds.end() ? 0 : reinterpret_cast<NativeHandle>(found->second);
}

NativeHandle LoadPictureFile(int pictureId, std::string_view file) {
  if (!Layer.initialised) return 0;
  if (const auto old = Layer.pictureIds.find(pictureId); old != Layer.pictureIds.end()) {
    Layer.retiredPictures.push_back(old->second);  // picture controls go on showing it
    Layer.pictureIds.erase(old);
  }
  if (file.empty()) return 0;
  const auto bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, Wide(file).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!bitmap) return 0;
  Layer.pictureIds[pictureId] = bitmap;
  return reinterpret_cast<NativeHandle>(bitmap);
}

NativeHandle PictureHandle(int pictureId) {
  const auto found = Layer.pictureIds.find(pictureId);
  return found == Layer.pictureIds.end() ? 0 : reinterpret_cast<NativeHandle>(found->second);
}

void CreateMenuBar(int /*menuId*/, NativeHandle window) {
  const int windowId = WindowIdOfHandle(reinterpret_cast<HWND>(window));
  AppWindow* target = OpenWindow(windowId);
  if (!target || target->hwnd != reinterpret_cast<HWND>(window)) return;
  const HMENU old = target->menuBar;
  target->menuBar = CreateMenu();
  // The window keeps its outer size: the bar's height comes off the client area.
  SetMenu(target->hwnd, target->menuBar);
  if (old) DestroyMenu(old);
  Layer.menuWindow = windowId;
  Layer.currentMenu = nullptr;
}

void AddMenuTitle(std::string_view text) {
  AppWindow* window = OpenWindow(Layer.menuWindow);
  if (!window || !window->menuBar) return;
  const HMENU dropDown = CreatePopupMenu();
  if (!dropDown) return;
  AppendMenuW(window->menuBar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(dropDown),
              Wide(text).c_str());
  Layer.currentMenu = dropDown;
  DrawMenuBar(window->hwnd);
}

void AddMenuEntry(int entryId, std::string_view text) {
  if (!Layer.currentMenu) return;
  AppendMenuW(Layer.currentMenu, MF_STRING, static_cast<UINT_PTR>(entryId & 0xFFFF),
              Wide(text).c_str());
}

void AddMenuSeparator() {
  if (Layer.currentMenu) AppendMenuW(Layer.currentMenu, MF_SEPARATOR, 0, nullptr);
}
