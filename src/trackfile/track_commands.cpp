#include "trackfile/track_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/option_value.h"
#include "host/text.h"
#include "trackfile/track_data.h"
#include "trackfile/track_export.h"
#include "trackfile/track_show.h"
#include "trackfile/track_svg.h"

#ifndef WAYCONV_VERSION
#error "WAYCONV_VERSION comes from the CMake project version"
#endif

namespace {

enum class Command { kNone, kShow, kGpx, kCsv, kSvg };

void Complain(const std::string& message) {
  std::fprintf(stderr, "wayconv: %s\n", EscapeForTerminal(message).c_str());
}

int Usage(const std::string& message) {
  Complain(message + "; try 'wayconv --help'");
  return kTrackFileExitUsage;
}

int WriteStandardOutput(const std::string& text) {
  size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0 || written != text.size()) {
    Complain(std::string("cannot write to standard output: ") + std::strerror(errno));
    return kTrackFileExitWriteFailed;
  }
  return kTrackFileExitOk;
}

// Whether the regular file at `host` starts as `command` writes its files.
bool HoldsExportOf(const std::string& host, Command command) {
  ByteStream* in = StreamOpen(Utf8ToUtf16(host).c_str(), "rb");
  if (in == nullptr) return false;
  char head[512];
  std::string text(head, StreamRead(head, 1, sizeof head, in));
  StreamClose(in);
  switch (command) {
    case Command::kCsv: return text.rfind("track,point,latitude,longitude", 0) == 0;
    case Command::kGpx: return text.find("<gpx") != std::string::npos;
    case Command::kSvg: return text.find("<svg") != std::string::npos;
    default: return false;
  }
}

// Why `output` must not be replaced, or empty: it is the track file itself,
// or (without --force) an existing file of another kind, or read-only.
std::string OutputRefusal(const std::string& output, const std::string& host,
                          const std::string& input, Command command, bool force) {
  bool refused = false;
  ResolveLinks(host, &refused);
  if (refused) {
    return output + " is a link another user made in a shared folder; it is not followed, give "
                    "another --output";
  }
  if (SameFile(host, HostPath(Utf8ToUtf16(input).c_str()))) {
    return output + " is the track file itself; give another --output";
  }
  struct stat st;
  if (force || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
  if (!HoldsExportOf(host, command)) {
    return output + " exists and is not a file of that format; add --force to replace it";
  }
  if (IsReadOnlyFile(host)) return output + " is read-only; add --force to replace it";
  return std::string();
}

// Through the program's byte stream: a temporary beside the target, renamed
// over it once complete, so a failure leaves the old file as it was.
int WriteFileAtomically(const std::string& path, const std::string& text,
                        const std::string& input, Command command, bool force) {
  std::u16string wide = Utf8ToUtf16(path);
  std::string host = HostPath(wide.c_str());
  struct stat st;
  if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    Complain("cannot write " + path + ": it is a folder; give a file name");
    return kTrackFileExitBadInput;
  }
  std::string refusal = OutputRefusal(path, host, input, command, force);
  if (!refusal.empty()) {
    Complain(refusal);
    return kTrackFileExitBadInput;
  }
  AtomicReplaceReadOnly = force;
  errno = 0;
  ByteStream* out = StreamOpen(wide.c_str(), "wb");
  if (out == nullptr) {
    int error = errno != 0 ? errno : EIO;
    if (error == ENODEV && IsReservedDeviceName(host)) {
      Complain(path + " is a device name on Windows; give another name");
    } else if (error == ENXIO) {
      Complain("no program is reading " + path + "; start the reader first");
    } else {
      Complain("cannot create " + path + ": " + std::strerror(error) +
               "; check the folder and its permissions");
    }
    return kTrackFileExitBadInput;
  }
  size_t written = StreamWrite(text.data(), 1, text.size(), out);
  int write_error = errno;
  int closed = StreamClose(out);
  if (written != text.size() || closed != 0) {
    int error = written != text.size() ? write_error : errno;
    Complain("cannot write " + path + ": " + std::strerror(error != 0 ? error : EIO) +
             "; nothing was changed there");
    return kTrackFileExitWriteFailed;
  }
  return kTrackFileExitOk;
}

}  // namespace

bool IsTrackFileCommand(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--") == 0) return false;
    if (std::strcmp(arg, "--show") == 0 || std::strcmp(arg, "--export") == 0 ||
        std::strncmp(arg, "--export=", 9) == 0) {
      return true;
    }
  }
  return false;
}

int RunTrackFileCommand(int argc, char** argv, const char* usage) {
  Command command = Command::kNone;
  std::string output, input;
  bool have_output = false, have_input = false, options_done = false, force = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string value;
    if (!options_done && arg[0] == '-' && arg[1] != 0) {
      Command chosen = Command::kNone;
      if (std::strcmp(arg, "--") == 0) {
        options_done = true;
        continue;
      } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(usage, stdout);
        return kTrackFileExitOk;
      } else if (std::strcmp(arg, "--version") == 0) {
        std::printf("wayconv %s\n", WAYCONV_VERSION);
        return kTrackFileExitOk;
      } else if (std::strcmp(arg, "--show") == 0) {
        chosen = Command::kShow;
      } else if (OptionValue(argc, argv, &i, "--export", &value)) {
        if (value == "gpx") chosen = Command::kGpx;
        if (value == "csv") chosen = Command::kCsv;
        if (value == "svg") chosen = Command::kSvg;
        if (chosen == Command::kNone) return Usage("--export takes gpx, csv or svg");
      } else if (OptionValue(argc, argv, &i, "--output", &value)) {
        if (value.empty()) return Usage("--output needs a path");
        output = value;
        have_output = true;
        continue;
      } else if (std::strcmp(arg, "--force") == 0) {
        force = true;
        continue;
      } else if (std::strcmp(arg, "--batch") == 0 || std::strcmp(arg, "--split") == 0 ||
                 std::strcmp(arg, "--no-split") == 0 || std::strncmp(arg, "--kind", 6) == 0) {
        return Usage(std::string(arg) + " is for conversions, not for --show or --export");
      } else {
        return Usage(std::string("unknown option '") + arg + "'");
      }
      if (command != Command::kNone && command != chosen) {
        return Usage("give one of --show and --export, once");
      }
      command = chosen;
      continue;
    }
    if (have_input) return Usage("give exactly one track file");
    input = arg;
    have_input = true;
  }
  // "--output --show" names a file: then no command was given at all.
  if (command == Command::kNone) return Usage("give --show or --export FORMAT");
  if (command == Command::kShow && have_output) {
    return Usage("--show prints to standard output; --output goes with --export");
  }
  if (!have_input) return Usage("no track file given");

  TrackData data;
  std::string reason;
  if (LoadTrackFile(input, &data, &reason) != kTrackFileExitOk) {
    Complain(reason);
    return kTrackFileExitBadInput;
  }
  std::string text;
  switch (command) {
    case Command::kShow: text = FormatSummary(data, input); break;
    case Command::kGpx: text = ExportGpx(data); break;
    case Command::kCsv: text = ExportCsv(data); break;
    case Command::kSvg: text = ExportSvg(data, input); break;
    case Command::kNone: break;
  }
  return have_output ? WriteFileAtomically(output, text, input, command, force)
                     : WriteStandardOutput(text);
}
