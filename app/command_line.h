// What the command line asks for. Only the window starts the display; every
// other answer is printed (UTF-8, the terminal's encoding) without touching
// the display or any file of the program: the check of a report and its copy
// for sending read the report and corvane.ini and write only the copy.
#pragma once

#include <string>
#include <vector>

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // no display, no main window
inline constexpr int kExitUsage = 2;    // an option the program does not know
// --check: nothing to fix, something to fix, the report cannot be read.
// --export: the copy written, the copy not written, the report cannot be read.
inline constexpr int kExitFindings = 1;
inline constexpr int kExitUnreadable = 2;

enum class CommandAction {
  RunWindow,     // no options: the logger itself
  PrintHelp,     // --help
  PrintVersion,  // --version
  CheckReport,   // --check FILE
  ExportReport,  // --export FILE OUT [--split-rst]
  UsageError,    // anything else
};

struct CommandLine {
  CommandAction action = CommandAction::RunWindow;
  std::vector<std::string> operands;  // file names after an option that takes them
  std::string error;                  // what was wrong, for UsageError
  bool splitReports = false;          // --split-rst: "599 001" in the copy
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
// The usage text printed by --help (and after a usage error), UTF-8.
std::string UsageText();
// The whole program from main: parses, answers or runs the window; the exit
// code. The arguments (after the program's name) are Windows-1251.
int RunCommandLine(const std::vector<std::string>& arguments);
// The arguments of a main() whose argv is UTF-8, as on Linux, in Windows-1251.
std::vector<std::string> ArgumentsFromUtf8(int argc, char** argv);
