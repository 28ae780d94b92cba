// wayconv: converts one GPS recording into the device's 80008-byte track file.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/batch.h"

#ifndef WAYCONV_VERSION
#define WAYCONV_VERSION "1.20"
#endif

namespace {

const char kUsage[] =
    "usage: wayconv [--batch] [--kind gpx|mps|plt|nmea] [--output PATH]\n"
    "               [--split|--no-split] INPUT\n"
    "\n"
    "Converts one GPS recording (GPX, MapSource .mps, OziExplorer .plt or an\n"
    "NMEA $GPRMC log) into the 80008-byte binary track file.\n"
    "\n"
    "  --batch         convert with no window and print the log to standard output\n"
    "  --kind KIND     read INPUT as gpx, mps, plt or nmea (default: by its extension;\n"
    "                  .gpx, .mps, .plt, anything else is read as nmea)\n"
    "  --output PATH   write the track file to PATH (default: the saved output file,\n"
    "                  \\My Documents\\GPS Tracks and Waypoints\\Tracks.bin)\n"
    "  --split         start a new track where two points lie over 1000 m apart (default)\n"
    "  --no-split      keep all points in one track\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "A path that starts with a backslash is a device path under $WAYCONV_ROOT\n"
    "(default: your home folder). Exit status: 0 written, 2 input or output could\n"
    "not be opened or the input has the wrong format, 3 write failed, 10 the input\n"
    "holds fewer than two points or could not be read, 64 usage error.\n";

int UsageError(const std::string& message) {
  PrintError(message + "; try 'wayconv --help'");
  return kExitUsage;
}

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
bool OptionValue(int argc, char** argv, int* i, const char* name, std::string* value) {
  size_t length = std::strlen(name);
  const char* arg = argv[*i];
  if (std::strncmp(arg, name, length) != 0) return false;
  if (arg[length] == '=') {
    *value = arg + length + 1;
    return true;
  }
  if (arg[length] != 0) return false;
  if (*i + 1 >= argc) {
    *value = std::string();
    return true;
  }
  *value = argv[++*i];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  BatchOptions options;
  bool batch = false;
  bool have_input = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string value;
    if (!options_done && arg[0] == '-' && arg[1] != 0) {
      if (std::strcmp(arg, "--") == 0) {
        options_done = true;
      } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (std::strcmp(arg, "--version") == 0) {
        std::printf("wayconv %s\n", WAYCONV_VERSION);
        return 0;
      } else if (std::strcmp(arg, "--batch") == 0) {
        batch = true;
      } else if (std::strcmp(arg, "--split") == 0) {
        options.split = 1;
      } else if (std::strcmp(arg, "--no-split") == 0) {
        options.split = 0;
      } else if (OptionValue(argc, argv, &i, "--kind", &value)) {
        options.kind = ParseKindName(value);
        if (options.kind == 0) return UsageError("--kind takes gpx, mps, plt or nmea");
      } else if (OptionValue(argc, argv, &i, "--output", &value)) {
        if (value.empty()) return UsageError("--output needs a path");
        options.output = value;
      } else {
        return UsageError(std::string("unknown option '") + arg + "'");
      }
      continue;
    }
    if (have_input) return UsageError("give exactly one input file");
    options.input = arg;
    have_input = true;
  }
  if (!have_input) return UsageError("no input file given");
  // The interactive window is not built yet, so every run is a batch run;
  // `batch` records that it was asked for explicitly or by a redirected output.
  batch = batch || !isatty(STDOUT_FILENO);
  (void)batch;
  return RunBatch(options);
}
