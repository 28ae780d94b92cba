// wayconv: converts one GPS recording into the device's 80008-byte track file.
// The options, the same on every host; each host's entry point and window are
// in front_end_posix.cpp and front_end_win32.cpp.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/front_end.h"
#include "host/option_value.h"
#include "host/text.h"
#include "trackfile/track_commands.h"

#ifndef WAYCONV_VERSION
#error "WAYCONV_VERSION comes from the CMake project version"
#endif

namespace {

const char kUsage[] =
    "usage: wayconv [INPUT...]\n"
    "       wayconv --window [INPUT...]\n"
    "       wayconv --batch [--kind gpx|mps|plt|nmea] [--output PATH]\n"
    "                       [--split|--no-split] [--thin even|shape] [--strict]\n"
    "                       INPUT...\n"
    "       wayconv --show TRACKFILE\n"
    "       wayconv --export gpx|csv|svg [--output PATH] TRACKFILE\n"
    "\n"
    "Converts one GPS recording (GPX, MapSource .mps, OziExplorer .plt or an\n"
    "NMEA log) into the 80008-byte binary track file.\n"
    "Several INPUTs go into one track file, in the order given: each starts a\n"
    "new track, and all are thinned together to the 9996 points the file holds.\n"
    "\n"
    "On a terminal, wayconv opens its window: the conversion log fills the\n"
    "screen, with the soft keys \"Open file\" and \"Tools\" on the bottom row.\n"
    "INPUT, if given, is converted at once (several together; a running copy\n"
    "is handed them). Keys (a mouse click works too):\n"
    "  F1            Open file: choose an input file and convert it\n"
    "  F2            Tools: Set output file, Break track at 1000 m space,\n"
    "                Keep shape when thinning, About, Exit (arrows and\n"
    "                Enter choose, Esc closes)\n"
    "  Ctrl+A        About\n"
    "  Ctrl+Q        save the settings and exit\n"
    "  PgUp, PgDn    scroll the log (so do Up, Down, Home, End and the wheel)\n"
    "In the file dialog: Up and Down move, typing finds the entry, Enter (or a\n"
    "double click) opens a folder or chooses the file, Backspace on an empty\n"
    "name goes up a folder, Tab changes the file type, Ctrl+U clears the name,\n"
    "Esc cancels. Ctrl+C closes without saving.\n"
    "Insert (or Space) marks files; Enter then converts the marked ones together.\n"
    "\n"
    "When standard output is not a terminal, 'wayconv INPUT' is a batch run.\n"
    "\n"
    "  --window       open the window on the X display instead (same keys; files\n"
    "                 dropped on it are converted; its close button saves nothing)\n"
    "  --batch        convert with no window and print the log to standard output;\n"
    "                 INPUT - reads standard input (once at most)\n"
    "  --kind KIND    read every INPUT as gpx, mps, plt or nmea, in any case\n"
    "                 (default: each by its extension: .gpx, .mps, .plt, anything\n"
    "                 else is nmea)\n"
    "  --output PATH  write the track file to PATH (default: the saved output file,\n"
    "                 \\My Documents\\GPS Tracks and Waypoints\\Tracks.bin)\n"
    "  --split        start a new track where two points lie over 1000 m apart\n"
    "                 (default)\n"
    "  --no-split     keep all points in one track\n"
    "  --thin MODE    thin over 9996 points at even steps (even, the default) or\n"
    "                 by their shape (shape: every break and the ends of every\n"
    "                 INPUT stay, and the stored line strays least from the\n"
    "                 recording)\n"
    "  --strict       read only $GPRMC sentences and GPX trkpt elements, as the\n"
    "                 device did; without it, an NMEA log with fewer than two\n"
    "                 $GPRMC fixes is read as RMC of all talkers, then as GGA\n"
    "                 fixes, and a GPX file without track points as a route\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Reading a track file back (no window, no settings):\n"
    "  --show         print its points, tracks (first point, length in km) and\n"
    "                 bounding box\n"
    "  --export FMT   write it as gpx (GPX 1.1), csv (track,point,latitude,\n"
    "                 longitude) or svg (a picture of the tracks) to standard\n"
    "                 output, or with --output PATH to that file\n"
    "They exit with 0 when done, 2 when TRACKFILE is not a readable track file\n"
    "or the output cannot be created, 3 when a write failed, 64 on a usage error.\n"
    "\n"
    "A path that starts with a backslash is a device path under $WAYCONV_ROOT\n"
    "(default: your home folder).\n"
    "\n"
    "Exit status of a batch run: 0 written, 2 the input or output could not be\n"
    "opened or the input has the wrong format, 3 the write failed, 10 the input\n"
    "holds fewer than two points or could not be read, 64 usage error; then a\n"
    "'wayconv: ' line on standard error says why. Exit status of the window:\n"
    "0 closed (or a running copy brought forward), 1 the terminal cannot show\n"
    "it, 128+N closed by signal N.\n";

// Writes `text` to standard output; false, after saying so on standard
// error, when it cannot be written (a full disk, a closed pipe).
bool PrintOut(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    PrintError(std::string("cannot write to standard output: ") + std::strerror(errno));
    return false;
  }
  return true;
}

int UsageError(const std::string& message) {
  PrintError(message + "; try 'wayconv --help'");
  return kExitUsage;
}

}  // namespace

std::u16string InputCommandLine(const char* const* paths, int count) {
  std::u16string line;
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += u' ';
    if (count > 1) line += u'"';
    line += Utf8ToUtf16(paths[i]);
    if (count > 1) line += u'"';
  }
  return line;
}

int RunCommandLine(int argc, char** argv) {
  if (IsTrackFileCommand(argc, argv)) return RunTrackFileCommand(argc, argv, kUsage);
  BatchOptions options;
  bool batch = false;
  bool desktop = false;
  bool have_input = false;
  bool have_stdin = false;  // "-" given
  bool batch_options = false;  // options only a batch run uses
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string value;
    if (!options_done && arg[0] == '-' && arg[1] != 0) {
      if (std::strcmp(arg, "--") == 0) {
        options_done = true;
      } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        return PrintOut(kUsage) ? 0 : 1;
      } else if (std::strcmp(arg, "--version") == 0) {
        return PrintOut(std::string("wayconv ") + WAYCONV_VERSION + "\n") ? 0 : 1;
      } else if (std::strcmp(arg, "--batch") == 0) {
        batch = true;
      } else if (std::strcmp(arg, "--window") == 0) {
        desktop = true;
      } else if (std::strcmp(arg, "--split") == 0) {
        options.split = 1;
        batch_options = true;
      } else if (std::strcmp(arg, "--no-split") == 0) {
        options.split = 0;
        batch_options = true;
      } else if (std::strcmp(arg, "--strict") == 0) {
        options.strict = true;
      } else if (OptionValue(argc, argv, &i, "--kind", &value)) {
        batch_options = true;
        options.kind = ParseKindName(value);
        if (options.kind == 0) return UsageError("--kind takes gpx, mps, plt or nmea");
      } else if (OptionValue(argc, argv, &i, "--thin", &value)) {
        if (value != "even" && value != "shape") return UsageError("--thin takes even or shape");
        options.thin = value == "shape" ? 1 : 0;
      } else if (OptionValue(argc, argv, &i, "--output", &value)) {
        if (value.empty()) return UsageError("--output needs a path");
        options.output = value;
        batch_options = true;
      } else {
        return UsageError(std::string("unknown option '") + arg + "'");
      }
      continue;
    }
    if (std::strcmp(arg, "-") == 0 && have_stdin) {
      return UsageError("standard input (-) can be read only once");
    }
    have_stdin = have_stdin || std::strcmp(arg, "-") == 0;
    options.inputs.push_back(arg);
    have_input = true;
  }
  if (desktop && batch) return UsageError("--window and --batch exclude each other");
  // On a terminal the window runs; with the output going elsewhere, or when
  // asked for, the batch front end. --window opens the desktop window wherever
  // the output goes (a program started from a menu has no terminal).
  batch = !desktop && (batch || !OutputIsTerminal());
  if (!batch) {
    if (batch_options) {
      return UsageError("--kind, --output, --split and --no-split need --batch (the window uses "
                        "the saved settings)");
    }
    if (options.thin >= 0) {
      return UsageError("--thin needs --batch (the window reads ThinShape from the settings)");
    }
    if (options.strict) {
      return UsageError("--strict needs --batch (the window reads StrictInput from the settings)");
    }
    if (have_stdin) {
      return UsageError("standard input (-) is read in batch mode only; add --batch");
    }
    std::vector<const char*> inputs;
    for (const std::string& input : options.inputs) inputs.push_back(input.c_str());
    return RunWindow(inputs.data(), static_cast<int>(inputs.size()), desktop);
  }
  if (!have_input) return UsageError("no input file given");
  return RunBatch(options);
}
