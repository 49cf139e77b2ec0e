// The Windows program's entry: its arguments are taken from the wide command
// line, so that a Cyrillic file name arrives whole whatever the system's ANSI
// code page (the narrow argv would hold that page's bytes, or "?").
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "base/cp1251.h"

int main() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const std::wstring argument(wide[i]);
    arguments.push_back(cp1251::FromUtf16(std::u16string(argument.begin(), argument.end())));
  }
  if (wide != nullptr) LocalFree(wide);
  return RunCommandLine(arguments);
}
