// The command line of every front end, read once against a table of
// options, and the one place the program talks to the user outside a
// window: its "wayconv: " messages, usage errors and standard output.
//
// An option is "--name", or "--name VALUE" / "--name=VALUE" when its row
// takes a value (a value missing at the end of the line reads as empty);
// "--" ends the options, and "-" alone is an operand. The reader keeps the
// order of the line and does not judge it: an option the table does not
// know comes back as kOptionUnknown, so that whoever interprets the line
// meets each mistake where it stands (an earlier --help still wins).
#pragma once

#include <string>
#include <vector>

/// The exit status of a usage error.
constexpr int kExitUsageError = 64;

/// The id of an option the table does not know.
constexpr int kOptionUnknown = -1;

struct OptionSpec {
  const char* name;  // as typed: "--kind", "-h"
  int id;            // the caller's; several spellings may share one
  bool takes_value;
};

struct ReadOption {
  int id;
  std::string spelling;  // the argument as given, "--kind=gpx" included
  std::string value;
  bool value_was_next;  // the value is the argument after the option's
};

struct CommandLine {
  std::vector<ReadOption> options;  // in the order of the line
  std::vector<std::string> operands;
};

/// Reads argv[1..argc-1] against `table`.
CommandLine ReadCommandLine(int argc, char** argv, const OptionSpec* table, int table_size);

/// Whether the line holds an option with `id`.
bool HasOption(const CommandLine& line, int id);

/// "wayconv: MESSAGE" on standard error.
void PrintError(const std::string& message);

/// Says what is wrong with the command line and where to look; returns
/// kExitUsageError.
int UsageError(const std::string& message);

/// Writes `text` to standard output; false, after saying so on standard
/// error, when it cannot be written (a full disk, a closed pipe).
bool WriteStandardOutput(const std::string& text);
