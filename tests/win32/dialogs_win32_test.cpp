// The Win32 backend's standard dialogs under Wine: the message box and the
// file dialogs disable exactly the windows they should, the file dialogs'
// filter and the names they give back. A helper thread plays the user: it
// waits for the dialog, notes what is enabled, and answers it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/cp1251.h"
#include "tests/win32/win32_test_support.h"
#include "ui/window.h"
#include "ui/win32/window_win32.h"

namespace {

using win32test::LayerTest;
using win32test::NativeText;
using win32test::WindowHwnd;

constexpr int kFileNameBox = 0x47C;  // the file name field of the file dialogs (cmb13)

TEST(Arithmetic, FileDialogFilterIsThePatternSeparatedByNuls) {
  using namespace std::string_literals;
  const struct {
    std::string_view pattern;
    std::wstring filter;
  } kCases[] = {
      {"Файлы Cabrilio|*.cbr"_cp, L"Файлы Cabrilio\0*.cbr\0\0"s},
      {"A|*.a|B|*.b;*.c", L"A\0*.a\0B\0*.b;*.c\0\0"s},
      {"A|*.a|B", L"A\0*.a\0\0"s},
      {"A| |B|*.b", L"B\0*.b\0\0"s},
      {"A|", L""s},
      {"", L""s},
      {"|*.x", L"\0*.x\0\0"s},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pattern));
    EXPECT_EQ(win32window::FileDialogFilter(c.pattern), c.filter);
  }
}

// The dialog of this process with the title, once it shows (up to 5 s).
HWND FindDialog(const wchar_t* title) {
  for (int i = 0; i < 250; ++i) {
    if (HWND dialog = FindWindowW(L"#32770", title)) {
      if (IsWindowVisible(dialog)) return dialog;
    }
    Sleep(20);
  }
  return nullptr;
}

struct Scenario {
  std::vector<int> windows;  // ids whose state is noted while the dialog shows
  std::vector<bool> enabledWhileOpen;
  std::wstring shownText;  // a message box's text
  bool found = false;
};

// Opens windows 0, 1, 2 and 3; 2 is disabled and 3 hidden beforehand.
void OpenFourWindows() {
  ASSERT_NE(OpenAppWindow(0, 0, 0, 300, 200, "главное"_cp, kMainWindowFlags), 0);
  ASSERT_NE(OpenAppWindow(1, 0, 0, 200, 100, "первое"_cp, kDialogWindowFlags), 0);
  ASSERT_NE(OpenAppWindow(2, 0, 0, 200, 100, "второе"_cp, kDialogWindowFlags), 0);
  ASSERT_NE(OpenAppWindow(3, 0, 0, 200, 100, "третье"_cp, kDialogWindowFlags), 0);
  SetAppWindowDisabled(2, 1);
  ShowWindow(WindowHwnd(3), SW_HIDE);
  ActivateAppWindow(0);
}

void NoteWindows(Scenario& scenario) {
  for (const int id : {0, 1, 2, 3}) {
    scenario.windows.push_back(id);
    scenario.enabledWhileOpen.push_back(IsWindowEnabled(WindowHwnd(id)) != FALSE);
  }
}

void ExpectOnlyTheEnabledVisibleOnesWereDisabled(const Scenario& scenario) {
  ASSERT_TRUE(scenario.found) << "the dialog never showed";
  const bool whileOpen[] = {false, false, false, true};  // 2 was disabled, 3 is hidden
  const bool after[] = {true, true, false, true};
  for (std::size_t i = 0; i < scenario.windows.size(); ++i) {
    SCOPED_TRACE(scenario.windows[i]);
    EXPECT_EQ(scenario.enabledWhileOpen[i], whileOpen[i]);
    EXPECT_EQ(IsWindowEnabled(WindowHwnd(scenario.windows[i])) != FALSE, after[i]);
  }
}

TEST_F(LayerTest, MessageBoxDisablesTheOtherWindowsAndEnablesExactlyThoseAgain) {
  OpenFourWindows();
  static int hookCalls = 0;
  hookCalls = 0;
  SetBeforeWaitHook([] { ++hookCalls; });
  Scenario scenario;
  std::thread user([&scenario] {
    const HWND box = FindDialog(L"О программе");
    if (!box) return;
    scenario.found = true;
    NoteWindows(scenario);
    scenario.shownText = NativeText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  const int answer = ShowMessageBox("О программе"_cp, "Corvane v7.0\nпрограмма"_cp, kMessageBoxInformation);
  user.join();
  EXPECT_EQ(answer, kAnswerOk);
  EXPECT_EQ(hookCalls, 1);
  EXPECT_EQ(scenario.shownText, L"Corvane v7.0\nпрограмма");
  ExpectOnlyTheEnabledVisibleOnesWereDisabled(scenario);
}

TEST_F(LayerTest, MessageBoxAnswersAsWin32NumbersThem) {
  ASSERT_NE(OpenAppWindow(0, 0, 0, 300, 200, "главное"_cp, kMainWindowFlags), 0);
  const struct {
    int button;
    int answer;
  } kCases[] = {{IDYES, kAnswerYes}, {IDNO, kAnswerNo}, {IDCANCEL, kAnswerCancel}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.button);
    std::thread user([&c] {
      if (const HWND box = FindDialog(L"Вопрос")) PostMessageW(box, WM_COMMAND, c.button, 0);
    });
    const int answer = ShowMessageBox("Вопрос"_cp, "Сохранить?"_cp,
                                      kMessageBoxYesNoCancel | kMessageBoxQuestion);
    user.join();
    EXPECT_EQ(answer, c.answer);
  }
}

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return folder;
}

// Shows a file dialog and answers it with `typed` (or cancels it when empty).
struct FileAnswer {
  bool save = false;
  std::wstring typed;
  std::string result;
  Scenario scenario;
};

void RunFileDialog(FileAnswer& answer) {
  const wchar_t* title = answer.save ? L"Создать файл" : L"Открыть файл";
  std::thread user([&answer, title] {
    const HWND dialog = FindDialog(title);
    if (!dialog) return;
    answer.scenario.found = true;
    NoteWindows(answer.scenario);
    if (answer.typed.empty()) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    SetDlgItemTextW(dialog, kFileNameBox, answer.typed.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  const std::string_view pattern = "Файлы Cabrilio|*.cbr"_cp;
  answer.result = answer.save ? AskSaveFileName("Создать файл"_cp, "", pattern, 0)
                              : AskOpenFileName("Открыть файл"_cp, "", pattern, 0);
  user.join();
  // Whatever the user did, no other dialog is left over.
  if (const HWND left = FindWindowW(L"#32770", title)) PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(LayerTest, FileDialogsGiveTheTypedPathAsItIsOrNothing) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"корвейн-тест";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring existing = folder + L"\\ЕСТЬ.CBR";
  CloseHandle(CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const std::wstring before = CurrentFolder();
  auto bytes = [](const std::wstring& path) {
    return cp1251::FromUtf16(std::u16string(path.begin(), path.end()));
  };
  const struct {
    const char* what;
    bool save;
    std::wstring typed;
    std::string expected;
  } kCases[] = {
      {"open cancelled", false, L"", ""},
      {"save cancelled", true, L"", ""},
      {"open of a new name in an existing folder", false, folder + L"\\новый", bytes(folder + L"\\новый")},
      {"save without an extension added", true, folder + L"\\отчёт", bytes(folder + L"\\отчёт")},
      {"save over an existing file, unasked", true, existing, bytes(existing)},
      {"open of an existing file", false, existing, bytes(existing)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    OpenFourWindows();
    FileAnswer answer;
    answer.save = c.save;
    answer.typed = c.typed;
    RunFileDialog(answer);
    EXPECT_EQ(answer.result, c.expected);
    ExpectOnlyTheEnabledVisibleOnesWereDisabled(answer.scenario);
    EXPECT_EQ(CurrentFolder(), before);
  }
  DeleteFileW(existing.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
