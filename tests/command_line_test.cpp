// The command line: which action each argument list asks for.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CommandLineTest, ActionsAndUsageErrors) {
  const struct {
    std::vector<std::string> arguments;
    CommandAction action;
  } kCases[] = {
      {{}, CommandAction::RunWindow},
      {{"--help"}, CommandAction::PrintHelp},
      {{"-h"}, CommandAction::PrintHelp},
      {{"--version"}, CommandAction::PrintVersion},
      {{"--versions"}, CommandAction::UsageError},
      {{"--version", "x"}, CommandAction::UsageError},
      {{"-"}, CommandAction::UsageError},
      {{"report.cbr"}, CommandAction::UsageError},
      {{""}, CommandAction::UsageError},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.error.empty(), c.action != CommandAction::UsageError);
  }
}

}  // namespace
