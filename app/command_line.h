// What the command line asks for. Only the window starts the display; every
// other answer is printed (UTF-8, the terminal's encoding) without touching
// the display or any file of the program.
#pragma once

#include <string>
#include <vector>

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // no display, no main window
inline constexpr int kExitUsage = 2;    // an option the program does not know

enum class CommandAction {
  RunWindow,     // no options: the logger itself
  PrintHelp,     // --help
  PrintVersion,  // --version
  UsageError,    // anything else
};

struct CommandLine {
  CommandAction action = CommandAction::RunWindow;
  std::vector<std::string> operands;  // file names after an option that takes them
  std::string error;                  // what was wrong, for UsageError
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
// The usage text printed by --help (and after a usage error), UTF-8.
std::string UsageText();
// The whole program from main: parses, answers or runs the window; the exit code.
int RunCommandLine(int argc, char** argv);
