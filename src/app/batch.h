// The batch front end: one conversion with no window, for scripts.
#pragma once

#include <string>

/// What the command line asked for.
struct BatchOptions {
  std::string input;   // host path as given
  std::string output;  // empty: the saved or default output path
  int kind = 0;        // 0: from the input's extension
  int split = -1;      // -1: the saved or default setting
};

/// Exit status for a command-line mistake.
constexpr int kExitUsage = 64;

/// Loads the saved settings, applies the options over them for this run only
/// (nothing is saved), runs one conversion and prints each log text to standard output as it is
/// appended. Returns the conversion's result code, or kExitUsage.
int RunBatch(const BatchOptions& options);

/// Prints "wayconv: <message>" on standard error.
void PrintError(const std::string& message);

/// Parses "gpx", "mps", "plt" or "nmea"; 0 for anything else.
int ParseKindName(const std::string& name);
