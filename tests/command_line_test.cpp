// The command line: which action each argument list asks for, and the exit
// codes of the report check and the copy for sending, which leave the report
// and corvane.ini as they were.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

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
      {{"--check", "a.cbr"}, CommandAction::CheckReport},
      {{"--check"}, CommandAction::UsageError},
      {{"--check", "a.cbr", "b.cbr"}, CommandAction::UsageError},
      {{"--check", ""}, CommandAction::UsageError},
      {{"--check", "a.cbr", "--split-rst"}, CommandAction::UsageError},
      {{"--export", "a.cbr", "b.cbr"}, CommandAction::ExportReport},
      {{"--export", "a.cbr", "b.cbr", "--split-rst"}, CommandAction::ExportReport},
      {{"--split-rst", "--export", "a.cbr", "b.cbr"}, CommandAction::ExportReport},
      {{"--export", "a.cbr"}, CommandAction::UsageError},
      {{"--export", "a.cbr", "b.cbr", "c.cbr"}, CommandAction::UsageError},
      {{"--split-rst"}, CommandAction::UsageError},
      {{"--version", "--split-rst"}, CommandAction::UsageError},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.error.empty(), c.action != CommandAction::UsageError);
  }
  EXPECT_TRUE(ParseCommandLine({"--export", "a", "b", "--split-rst"}).splitReports);
  EXPECT_FALSE(ParseCommandLine({"--export", "a", "b"}).splitReports);
  EXPECT_EQ(ParseCommandLine({"--export", "a", "b"}).operands,
            (std::vector<std::string>{"a", "b"}));
}

int RunWith(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "corvane");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return RunCommandLine(ArgumentsFromUtf8(static_cast<int>(argv.size()), argv.data()));
}

using CommandLineRunTest = TempDirTest;

TEST_F(CommandLineRunTest, CheckAndExportExitCodes) {
  const std::string head =
      "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\nCONTEST: KP\r\nCALLSIGN: UA3XYZ\r\n"
      "CATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-POWER: LOW\r\nCATEGORY-BAND: ALL\r\n"
      "CATEGORY-MODE: CW\r\n";
  const std::string qso =
      "QSO: 14200 CW 2010-03-07 0905 UA3XYZ        599001     RA3A          599002      \r\n";
  const std::string entry =
      "QSO: 14200 CW                 UA3XYZ        599002                               \r\n";
  const std::string end = "END-OF-LOG: \r\n";
  WriteFileBytes("clean.CBR", head + qso + entry + end);
  WriteFileBytes("repeat.CBR", head + qso + qso + entry + end);
  WriteFileBytes("corvane.ini", "[Main]\r\nTimeMin = 60\r\n");
  const std::string ini = ReadFileBytes("corvane.ini");
  const struct {
    std::vector<std::string> arguments;
    int code;
    const char* copy;  // the file that must exist afterwards, or nullptr
  } kCases[] = {
      {{"--check", "clean.CBR"}, 0, nullptr},
      {{"--check", "repeat.CBR"}, 1, nullptr},
      {{"--check", "missing.CBR"}, 2, nullptr},
      {{"--check", "."}, 2, nullptr},
      {{"--check"}, 2, nullptr},
      {{"--export", "repeat.CBR", "send.CBR"}, 0, "send.CBR"},
      {{"--export", "clean.CBR", "clean.CBR"}, 1, nullptr},
      {{"--export", "clean.CBR", "./clean.CBR"}, 1, nullptr},
      {{"--export", "clean.CBR", "corvane.ini"}, 1, nullptr},
      {{"--export", "clean.CBR", "no/such/folder.CBR"}, 1, nullptr},
      {{"--export", "missing.CBR", "x.CBR"}, 2, nullptr},
      {{"--export", "clean.CBR", "split.CBR", "--split-rst"}, 0, "split.CBR"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments[0] + " " + (c.arguments.size() > 1 ? c.arguments[1] : ""));
    EXPECT_EQ(RunWith(c.arguments), c.code);
    EXPECT_EQ(ReadFileBytes("clean.CBR"), head + qso + entry + end);
    EXPECT_EQ(ReadFileBytes("corvane.ini"), ini);
    if (c.copy != nullptr) {
      EXPECT_TRUE(PathExists(c.copy));
    }
  }
  EXPECT_FALSE(PathExists("x.CBR"));
  EXPECT_EQ(ReadFileBytes("send.CBR"), head + qso + qso + end);
  EXPECT_EQ(ReadFileBytes("split.CBR"),
            head +
                "QSO: 14200 CW 2010-03-07 0905 UA3XYZ        599 001    RA3A          599 002    "
                " \r\n" +
                end);
}

}  // namespace
