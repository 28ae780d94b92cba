// wayconv: converts one GPS recording into the device's 80008-byte track file.
// The options, the same on every host; each host's entry point and window are
// in front_end_posix.cpp and front_end_win32.cpp.
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/front_end.h"
#include "host/command_line.h"
#include "host/text.h"
#include "trackfile/track_commands.h"

#ifndef WAYCONV_VERSION
#error "WAYCONV_VERSION comes from the CMake project version"
#endif

namespace {

const char kUsage[] =
    "usage: wayconv [INPUT...]\n"
    "       wayconv --window [INPUT...]\n"
    "       wayconv --batch [--kind KIND] [--output PATH]\n"
    "                       [--split|--no-split] [--thin even|shape] [--strict]\n"
    "                       [--force] INPUT...\n"
    "       wayconv --show TRACKFILE\n"
    "       wayconv --export gpx|csv|svg [--output PATH] TRACKFILE\n"
    "\n"
    "Converts one GPS recording (GPX, MapSource .mps, OziExplorer .plt, an\n"
    "NMEA log, FIT, TCX, KML/KMZ, GeoJSON or IGC, each also gzip-compressed)\n"
    "into the 80008-byte binary track file.\n"
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
    "  --kind KIND    read every INPUT as gpx, mps, plt, nmea, fit, tcx, kml,\n"
    "                 geojson or igc, in any case (default: each by its extension,\n"
    "                 after taking off .gz: .gpx, .mps, .plt, .fit, .tcx, .kml,\n"
    "                 .kmz, .geojson, .json, .igc; anything else is nmea); gzip\n"
    "                 data is read whatever its name\n"
    "  --output PATH  write the track file to PATH (default: the saved output file,\n"
    "                 \\My Documents\\GPS Tracks and Waypoints\\Tracks.bin)\n"
    "  --split        start a new track where two points lie over 1000 m apart\n"
    "                 (default: the saved setting, on unless turned off in the\n"
    "                 window)\n"
    "  --no-split     keep all points in one track\n"
    "  --thin MODE    thin over 9996 points at even steps (even, the default) or\n"
    "                 by their shape (shape: every break and the ends of every\n"
    "                 INPUT stay, and the stored line strays least from the\n"
    "                 recording)\n"
    "  --strict       read only $GPRMC sentences and GPX trkpt elements, as the\n"
    "                 device did; without it, an NMEA log with fewer than two\n"
    "                 $GPRMC fixes is read as RMC of all talkers, then as GGA\n"
    "                 fixes, and a GPX file without track points as a route\n"
    "  --force        replace an existing output that is not a track file (or, with\n"
    "                 --export, not of its format) or that is read-only\n"
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

// The one table of options, for every front end. A row per spelling; the
// interpretation below gives each id its meaning. A new option is a row
// here, an id, and a case where its front end reads the line.
enum OptionId {
  kOptHelp,
  kOptVersion,
  kOptBatch,
  kOptWindow,
  kOptKind,
  kOptOutput,
  kOptSplit,
  kOptNoSplit,
  kOptStrict,
  kOptForce,
  kOptThin,
  kOptShow,
  kOptExport,
};

const OptionSpec kOptions[] = {
    // spelling      id            takes a value
    {"--help",     kOptHelp,     false},
    {"-h",         kOptHelp,     false},
    {"--version",  kOptVersion,  false},
    {"--batch",    kOptBatch,    false},
    {"--window",   kOptWindow,   false},
    {"--kind",     kOptKind,     true},
    {"--output",   kOptOutput,   true},
    {"--split",    kOptSplit,    false},
    {"--no-split", kOptNoSplit,  false},
    {"--strict",   kOptStrict,   false},
    {"--force",    kOptForce,    false},
    {"--thin",     kOptThin,     true},
    {"--show",     kOptShow,     false},
    {"--export",   kOptExport,   true},
};
constexpr int kOptionCount = static_cast<int>(sizeof kOptions / sizeof kOptions[0]);

// --help and --version, in whichever front end they stand: 0 printed, 1 when
// standard output cannot be written.
int PrintInformation(int id) {
  std::string text = id == kOptHelp ? std::string(kUsage)
                                    : std::string("wayconv ") + WAYCONV_VERSION + "\n";
  return WriteStandardOutput(text) ? 0 : 1;
}

// --show or --export anywhere, also as the value of an option that should
// have had one of its own ("--output --show": then no command is given).
bool IsTrackFileCommand(const CommandLine& line) {
  for (const ReadOption& option : line.options) {
    if (option.id == kOptShow || option.id == kOptExport) return true;
    const std::string& v = option.value;
    if (option.value_was_next && (v == "--show" || v == "--export" || v.rfind("--export=", 0) == 0)) {
      return true;
    }
  }
  return false;
}

// The track-file commands' reading of the line: -1 with `command` filled,
// else the exit status to end with.
int ReadTrackCommand(const CommandLine& line, TrackCommand* command) {
  bool have_output = false;
  for (const ReadOption& option : line.options) {
    int chosen = 0;
    switch (option.id) {
      case kOptHelp:
      case kOptVersion:
        return PrintInformation(option.id);
      case kOptShow:
        chosen = kTrackShow;
        break;
      case kOptExport:
        chosen = ParseExportFormat(option.value);
        if (chosen == 0) return UsageError("--export takes gpx, csv or svg");
        break;
      case kOptOutput:
        if (option.value.empty()) return UsageError("--output needs a path");
        command->output = option.value;
        have_output = true;
        continue;
      case kOptForce:
        command->force = true;
        continue;
      case kOptBatch:
      case kOptSplit:
      case kOptNoSplit:
      case kOptKind:
        return UsageError(option.spelling + " is for conversions, not for --show or --export");
      default:
        return UsageError("unknown option '" + option.spelling + "'");
    }
    if (command->command != 0 && command->command != chosen) {
      return UsageError("give one of --show and --export, once");
    }
    command->command = chosen;
  }
  if (command->command == 0) return UsageError("give --show or --export FORMAT");
  if (command->command == kTrackShow && have_output) {
    return UsageError("--show prints to standard output; --output goes with --export");
  }
  if (line.operands.empty()) return UsageError("no track file given");
  if (line.operands.size() > 1) return UsageError("give exactly one track file");
  command->input = line.operands[0];
  return -1;
}

int RunTrackFileLine(const CommandLine& line) {
  TrackCommand command;
  int status = ReadTrackCommand(line, &command);
  return status >= 0 ? status : RunTrackFileCommand(command);
}

// A conversion's reading of the line (batch or window): -1 with `read`
// filled, else the exit status to end with.
struct ConversionLine {
  BatchOptions options;
  bool batch = false;
  bool desktop = false;
  bool batch_options = false;  // options only a batch run uses
  bool have_input = false;
  bool have_stdin = false;  // "-" given
};

int ReadConversionLine(const CommandLine& line, ConversionLine* read) {
  BatchOptions& options = read->options;
  for (const ReadOption& option : line.options) {
    switch (option.id) {
      case kOptHelp:
      case kOptVersion:
        return PrintInformation(option.id);
      case kOptBatch:
        read->batch = true;
        break;
      case kOptWindow:
        read->desktop = true;
        break;
      case kOptSplit:
      case kOptNoSplit:
        options.split = option.id == kOptSplit ? 1 : 0;
        read->batch_options = true;
        break;
      case kOptStrict:
        options.strict = true;
        break;
      case kOptForce:
        options.force = true;
        read->batch_options = true;
        break;
      case kOptThin:
        if (option.value != "even" && option.value != "shape") {
          return UsageError("--thin takes even or shape");
        }
        options.thin = option.value == "shape" ? 1 : 0;
        break;
      case kOptKind:
        read->batch_options = true;
        options.kind = ParseKindName(option.value);
        if (options.kind == 0) {
          return UsageError("--kind takes gpx, mps, plt, nmea, fit, tcx, kml, geojson or igc");
        }
        break;
      case kOptOutput:
        if (option.value.empty()) return UsageError("--output needs a path");
        options.output = option.value;
        read->batch_options = true;
        break;
      default:
        return UsageError("unknown option '" + option.spelling + "'");
    }
  }
  for (const std::string& operand : line.operands) {
    if (operand == "-" && read->have_stdin) {
      return UsageError("standard input (-) can be read only once");
    }
    read->have_stdin = read->have_stdin || operand == "-";
    options.inputs.push_back(operand);
  }
  read->have_input = !line.operands.empty();
  return -1;
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
  CommandLine line = ReadCommandLine(argc, argv, kOptions, kOptionCount);
  if (IsTrackFileCommand(line)) return RunTrackFileLine(line);
  ConversionLine read;
  int status = ReadConversionLine(line, &read);
  if (status >= 0) return status;
  const BatchOptions& options = read.options;
  bool batch = read.batch;
  bool desktop = read.desktop;
  bool batch_options = read.batch_options;
  bool have_input = read.have_input;
  bool have_stdin = read.have_stdin;
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
