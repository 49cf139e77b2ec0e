// The steps every modal dialog of the program shares: the main window is
// disabled while the dialog's own loop runs, and on leaving it is enabled and
// made active again with new controls going back into it.
#pragma once

#include <string_view>

#include "ui/window.h"

inline constexpr int kMainWindowId = 0;
inline constexpr int kKeyEscape = 27;

// Opens dialog window `id` centred, disables the main window and makes the
// dialog the parent of new controls. 0 when the window cannot be opened (the
// main window then stays as it was, and the caller must not wait for events).
inline NativeHandle OpenModalWindow(int id, int width, int height, std::string_view title) {
  const NativeHandle window = OpenAppWindow(id, 0, 0, width, height, title, kDialogWindowFlags);
  if (window == 0) return 0;
  SetAppWindowDisabled(kMainWindowId, 1);
  SetControlParent(window);
  return window;
}

// Closes dialog window `id` and gives the main window back.
inline void CloseModalWindow(int id) {
  CloseAppWindow(id);
  SetControlParent(AppWindowHandle(kMainWindowId));
  SetAppWindowDisabled(kMainWindowId, 0);
  ActivateAppWindow(kMainWindowId);
}

// The close button or Escape pressed: the events that leave every dialog.
inline bool IsDialogCancel(int code) {
  return code == kEventClose || (code == kEventKeyDown && EventKeyCode() == kKeyEscape);
}
