// The standard dialogs of the Win32 backend: the message box and the two
// file dialogs of COMDLG32. While one is open every other visible, enabled
// program window is disabled; afterwards exactly those are enabled again and
// the window that owned the dialog is made active. The file dialogs leave the
// current folder alone, add no extension, take a new name in an existing
// folder for opening and never ask before a file is replaced.
#include "ui/window.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/cp1251.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/window_win32.h"

#include <commdlg.h>  // after windows.h, which it needs

namespace win32window {

std::wstring FileDialogFilter(std::string_view pattern) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= pattern.size()) {
    const std::size_t bar = std::min(pattern.find('|', start), pattern.size());
    parts.push_back(pattern.substr(start, bar - start));
    start = bar + 1;
  }
  std::wstring filter;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    const std::wstring description = Wide(parts[i]);
    const std::wstring patterns = Wide(parts[i + 1]);
    if (patterns.find_first_not_of(L' ') == std::wstring::npos) continue;
    filter += description;
    filter.push_back(L'\0');
    filter += patterns;
    filter.push_back(L'\0');
  }
  if (!filter.empty()) filter.push_back(L'\0');
  return filter;
}

namespace {

constexpr DWORD kPathBuffer = 32768;  // the longest path Windows knows, in wide characters

// Keeps the other program windows disabled while a standard dialog is open.
class StandardDialogScope {
 public:
  StandardDialogScope() : owner_(DialogOwner()), disabled_(DisableEnabledWindows()) {}
  ~StandardDialogScope() {
    EnableWindows(disabled_);
    if (owner_ && IsWindow(owner_) && IsWindowEnabled(owner_)) {
      SetForegroundWindow(owner_);
      SetActiveWindow(owner_);
    }
  }
  StandardDialogScope(const StandardDialogScope&) = delete;
  StandardDialogScope& operator=(const StandardDialogScope&) = delete;
  HWND owner() const { return owner_; }

 private:
  HWND owner_;
  std::vector<int> disabled_;
};

int FilterCount(const std::wstring& filter) {
  return static_cast<int>(std::count(filter.begin(), filter.end(), L'\0') / 2);
}

std::string AskFileName(bool save, std::string_view title, std::string_view defaultFile,
                        std::string_view pattern, int patternIndex) {
  RunBeforeWaitHook();
  if (!Layer.initialised) return {};
  const std::wstring filter = FileDialogFilter(pattern);
  const std::wstring wideTitle = Wide(title);
  std::wstring file(kPathBuffer, L'\0');
  const std::wstring start = Wide(defaultFile);
  std::copy_n(start.begin(), std::min<std::size_t>(start.size(), kPathBuffer - 1), file.begin());

  const StandardDialogScope scope;
  OPENFILENAMEW request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = scope.owner();
  request.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  // Index 0 shows the first filter, as 1 does.
  const int filters = FilterCount(filter);
  request.nFilterIndex = static_cast<DWORD>(patternIndex >= 1 && patternIndex <= filters ? patternIndex : 1);
  request.lpstrFile = file.data();
  request.nMaxFile = kPathBuffer;
  request.lpstrTitle = wideTitle.empty() ? nullptr : wideTitle.c_str();
  request.lpstrDefExt = nullptr;  // a typed name keeps its (missing) extension
  request.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  for (;;) {
    const BOOL chosen = save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (!chosen) return {};
    const std::size_t length = wcsnlen(file.c_str(), kPathBuffer);
    bool lossless = true;
    const std::string bytes = Bytes(file.c_str(), length, &lossless);
    // A name Windows-1251 cannot write could not be opened again: choose another.
    if (lossless) return bytes;
  }
}

}  // namespace
}  // namespace win32window

using namespace win32window;

int ShowMessageBox(std::string_view title, std::string_view text, int flags) {
  RunBeforeWaitHook();
  if (!Layer.initialised) return 0;
  const StandardDialogScope scope;
  return MessageBoxW(scope.owner(), Wide(text).c_str(), Wide(title).c_str(),
                     static_cast<UINT>(flags));
}

std::string AskOpenFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName(false, title, defaultFile, pattern, patternIndex);
}

std::string AskSaveFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName(true, title, defaultFile, pattern, patternIndex);
}
