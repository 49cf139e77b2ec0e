// The command line: --help, --version, or the window. Texts are Windows-1251
// inside, like every program text, and UTF-8 on the terminal.
#include "app/command_line.h"

#include <cstdio>
#include <string_view>

#include "app/app.h"
#include "base/cp1251.h"
#include "base/version.h"

namespace {

struct OptionEntry {
  std::string_view name;
  CommandAction action;
};
constexpr OptionEntry kOptions[] = {
    {"--help", CommandAction::PrintHelp},
    {"-h", CommandAction::PrintHelp},
    {"--version", CommandAction::PrintVersion},
};

void Print(std::FILE* stream, std::string_view cp1251Text) {
  const std::string text = cp1251::ToUtf8(cp1251Text);
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  if (arguments.empty()) return line;
  for (const OptionEntry& option : kOptions) {
    if (arguments[0] == option.name) {
      line.action = option.action;
      line.operands.assign(arguments.begin() + 1, arguments.end());
      break;
    }
  }
  if (line.action == CommandAction::RunWindow) {
    line.action = CommandAction::UsageError;
    line.error = std::string("неизвестный параметр: "_cp) + arguments[0];
  } else if (!line.operands.empty()) {
    line.action = CommandAction::UsageError;
    line.error = std::string("лишний параметр: "_cp) + line.operands[0];
  }
  return line;
}

std::string UsageText() {
  return std::string(
      "Использование: corvane [ПАРАМЕТР]\n"
      "Аппаратный журнал для соревнований с подтурами.\n"
      "Без параметров открывает окно журнала; файлы corvane.ini и отчёты\n"
      "хранятся в текущей папке.\n"
      "\n"
      "  -h, --help     показать эту справку и выйти\n"
      "  --version      показать версию и выйти\n"
      "\n"
      "Коды выхода: 0 - успешно, 1 - нет дисплея или окно не открылось,\n"
      "2 - неверные параметры.\n"_cp);
}

int RunCommandLine(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(cp1251::FromUtf8(argv[i]));
  const CommandLine line = ParseCommandLine(arguments);
  switch (line.action) {
    case CommandAction::PrintHelp:
      Print(stdout, UsageText());
      return kExitOk;
    case CommandAction::PrintVersion:
      Print(stdout, std::string(kTitleText) + "\n");
      return kExitOk;
    case CommandAction::UsageError:
      Print(stderr, "corvane: " + line.error + "\n" + UsageText());
      return kExitUsage;
    case CommandAction::RunWindow:
      break;
  }
  return RunCorvane();
}
