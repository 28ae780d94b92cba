// The command-line reader against a small table: spellings, values given
// both ways, the end of the options, and what it leaves to its caller.
#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum { kHelp, kKind, kQuiet };

const OptionSpec kTable[] = {
    {"--help", kHelp, false}, {"-h", kHelp, false}, {"--kind", kKind, true}, {"--quiet", kQuiet, false}};

CommandLine Read(std::vector<std::string> args) {
  std::vector<char*> argv;
  std::string program = "wayconv";
  argv.push_back(program.data());
  for (std::string& arg : args) argv.push_back(arg.data());
  return ReadCommandLine(static_cast<int>(argv.size()), argv.data(), kTable, 4);
}

// The options as "id:value" (with "+" for a value taken from the next
// argument), then "|" and the operands.
std::string Describe(const CommandLine& line) {
  std::string text;
  for (const ReadOption& option : line.options) {
    text += std::to_string(option.id) + ":" + option.value + (option.value_was_next ? "+" : "") + " ";
  }
  text += "|";
  for (const std::string& operand : line.operands) text += " " + operand;
  return text;
}

TEST(CommandLineTest, ReadsTheLineInOrder) {
  struct Case {
    std::vector<std::string> args;
    std::string read;
  } cases[] = {
      {{}, "|"},
      {{"a.plt"}, "| a.plt"},
      {{"--help", "-h"}, "0: 0: |"},
      {{"--kind", "gpx", "a"}, "1:gpx+ | a"},
      {{"--kind=gpx", "a"}, "1:gpx | a"},
      {{"--kind="}, "1: |"},
      // A value missing at the end reads as empty; the next option is a value.
      {{"a", "--kind"}, "1: | a"},
      {{"--kind", "--quiet"}, "1:--quiet+ |"},
      // Unknown spellings come back unknown, in their place.
      {{"--quiet=1", "--kindly", "-x", "--Help"}, "-1: -1: -1: -1: |"},
      // "-" is an operand; "--" ends the options, once.
      {{"-", "--", "--help", "--"}, "| - --help --"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    EXPECT_EQ(Describe(Read(c.args)), c.read) << joined;
  }
}

TEST(CommandLineTest, KeepsTheSpellingForMessages) {
  CommandLine line = Read({"--kind=gpx", "--bogus", "--quiet"});
  ASSERT_EQ(line.options.size(), 3u);
  EXPECT_EQ(line.options[0].spelling, "--kind=gpx");
  EXPECT_EQ(line.options[1].spelling, "--bogus");
  EXPECT_TRUE(HasOption(line, kQuiet));
  EXPECT_FALSE(HasOption(line, kHelp));
}

}  // namespace
