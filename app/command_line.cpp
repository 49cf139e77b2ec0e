// The command line: --help, --version, the check of a report and its copy
// for sending, or the window. Texts are Windows-1251 inside, like every
// program text, and UTF-8 on the terminal.
#include "app/command_line.h"

#include <cstdio>
#include <string_view>

#include "app/app.h"
#include "base/cp1251.h"
#include "base/version.h"
#include "report/check.h"
#include "settings/settings.h"

namespace {

struct OptionEntry {
  std::string_view name;
  CommandAction action;
  std::size_t operands;  // file names it takes
};
constexpr OptionEntry kOptions[] = {
    {"--help", CommandAction::PrintHelp, 0},       {"-h", CommandAction::PrintHelp, 0},
    {"--version", CommandAction::PrintVersion, 0}, {"--check", CommandAction::CheckReport, 1},
    {"--export", CommandAction::ExportReport, 2},
};
constexpr std::string_view kSplitOption = "--split-rst";

void Print(std::FILE* stream, std::string_view cp1251Text) {
  const std::string text = cp1251::ToUtf8(cp1251Text);
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& given) {
  CommandLine line;
  if (given.empty()) return line;
  // --split-rst may stand anywhere; the rest is an option and its files.
  std::vector<std::string> arguments;
  for (const std::string& argument : given) {
    if (argument == kSplitOption) {
      line.splitReports = true;
    } else {
      arguments.push_back(argument);
    }
  }
  std::size_t wanted = 0;
  if (!arguments.empty()) {
    for (const OptionEntry& option : kOptions) {
      if (arguments[0] == option.name) {
        line.action = option.action;
        line.operands.assign(arguments.begin() + 1, arguments.end());
        wanted = option.operands;
        break;
      }
    }
  }
  if (line.action == CommandAction::RunWindow) {
    line.action = CommandAction::UsageError;
    line.error = arguments.empty()
                     ? std::string(kSplitOption) + std::string(" только вместе с --export"_cp)
                     : std::string("неизвестный параметр: "_cp) + arguments[0];
  } else if (line.operands.size() > wanted) {
    line.action = CommandAction::UsageError;
    line.error = std::string("лишний параметр: "_cp) + line.operands[wanted];
  } else if (line.operands.size() < wanted) {
    line.error = std::string(line.operands.empty() ? "не указан файл отчёта после "_cp
                                                   : "не указан файл копии после "_cp) +
                 arguments[0];
    line.action = CommandAction::UsageError;
  } else if (line.splitReports && line.action != CommandAction::ExportReport) {
    line.action = CommandAction::UsageError;
    line.error = std::string(kSplitOption) + std::string(" только вместе с --export"_cp);
  } else {
    for (const std::string& operand : line.operands) {
      if (operand.empty()) {
        line.action = CommandAction::UsageError;
        line.error = std::string("пустое имя файла после "_cp) + arguments[0];
        break;
      }
    }
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
      "  --check ФАЙЛ   проверить отчёт перед отправкой (длина подтура из\n"
      "                 corvane.ini текущей папки); отчёт не меняется\n"
      "  --export ФАЙЛ КОПИЯ [--split-rst]\n"
      "                 записать копию для отправки: та же шапка и только\n"
      "                 полные связи по времени; --split-rst пишет рапорт\n"
      "                 и номер раздельно (599 001)\n"
      "\n"
      "Коды выхода: 0 - успешно, 1 - нет дисплея или окно не открылось,\n"
      "2 - неверные параметры.\n"
      "--check: 0 - замечаний нет, 1 - есть замечания, 2 - отчёт не прочитать.\n"
      "--export: 0 - копия записана, 1 - не записана, 2 - отчёт не прочитать.\n"_cp);
}

namespace {

// --check and --export: the report read as "Открыть" reads it, with the
// sub-tour length of corvane.ini in the current folder (read, never written).
int CheckOrExport(const CommandLine& line) {
  const std::string& report = line.operands[0];
  LoadSettings();
  CheckInput input;
  if (!ReadReportForCheck(report, AppSettings.TimeMin, &input)) {
    Print(stderr, std::string("corvane: не удалось прочитать отчёт: "_cp) + report + "\n");
    return kExitUnreadable;
  }
  const CheckResult result = CheckReport(input);
  if (line.action == CommandAction::CheckReport) {
    Print(stdout,
          std::string("Проверка отчёта "_cp) + report + "\n" + CheckReportText(input, result));
    return result.findings.empty() ? kExitOk : kExitFindings;
  }
  const std::string& copy = line.operands[1];
  std::string refusal;
  switch (WriteSendCopy(report, copy, SendCopyText(input, result, line.splitReports))) {
    case SendCopyWrite::Written:
      Print(stdout, std::string("Копия для отправки записана: "_cp) + copy +
                        std::string(" (связей: "_cp) + std::to_string(result.sendRows.size()) +
                        ")\n");
      return kExitOk;
    case SendCopyWrite::IsReport:
      refusal = "копия не может заменить сам отчёт: "_cp;
      break;
    case SendCopyWrite::IsSettings:
      refusal = "копия не может заменить файл настроек: "_cp;
      break;
    case SendCopyWrite::Failed:
      refusal = "не удалось записать копию: "_cp;
      break;
  }
  Print(stderr, "corvane: " + refusal + copy + "\n");
  return kExitFindings;
}

}  // namespace

std::vector<std::string> ArgumentsFromUtf8(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(cp1251::FromUtf8(argv[i]));
  return arguments;
}

int RunCommandLine(const std::vector<std::string>& arguments) {
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
    case CommandAction::CheckReport:
    case CommandAction::ExportReport:
      return CheckOrExport(line);
    case CommandAction::RunWindow:
      break;
  }
  return RunCorvane();
}
