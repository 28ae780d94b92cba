// The batch front end: one conversion with no window, for scripts.
#pragma once

#include <string>
#include <vector>

#include "host/command_line.h"

/// What the command line asked for.
struct BatchOptions {
  std::vector<std::string> inputs;  // host paths as given, in order; "-" for standard input
  std::string output;   // empty: the saved or default output path
  int kind = 0;         // 0: from the input's extension (NMEA for standard input)
  int split = -1;       // -1: the saved or default setting
  int thin = -1;        // -1: the saved setting; 0 even; 1 by shape
  bool strict = false;  // the device's reading only, whatever StrictInput says
  bool force = false;   // replace an existing output that is not a track file, or read-only
};

/// Exit status for a command-line mistake.
constexpr int kExitUsage = kExitUsageError;

/// Loads the saved settings, applies the options over them for this run only
/// (nothing is saved), runs one conversion of all the inputs into one track
/// file and prints each log text to
/// standard output as it is appended. After a failed run one `wayconv: ` line
/// on standard error says why (the system's reason, or what the input holds);
/// after a run that converted a MapSource file only up to a broken track
/// record, a warning. Returns the conversion's result code, or kExitUsage.
int RunBatch(const BatchOptions& options);

/// Parses "gpx", "mps", "plt" or "nmea" in any case; 0 for anything else.
int ParseKindName(const std::string& name);
