#include "app/batch.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/standard_input.h"
#include "common/globals.h"
#include "common/input_kind.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/input_survey.h"
#include "conversion/track_file.h"
#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "shell/settings.h"

namespace {

// Set when the log reports a broken MapSource track record, after which the
// run may still succeed with the points read before it.
bool g_track_read_error = false;
// errno of the first log text that could not be printed, 0 while all could.
int g_log_error = 0;
int g_track_read_input = 0;  // the input whose count reported it

// Prints a log text as UTF-8, with every "\r\n" as "\n", as soon as it comes.
// The names in it are the user's: their control characters are shown
// escaped, never sent to the terminal (the log itself keeps them).
void PrintLogText(const char16_t* text, size_t length, int /*how*/) {
  std::u16string_view view(text, length);
  if (view == u"Track read error!\r\n") {
    g_track_read_error = true;
    g_track_read_input = RunInputIndex;
  }
  std::string bytes = Utf16ToUtf8(view);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  out = EscapeForTerminal(out, true);
  size_t written = std::fwrite(out.data(), 1, out.size(), stdout);
  if ((std::fflush(stdout) != 0 || written != out.size()) && g_log_error == 0) {
    g_log_error = errno != 0 ? errno : EIO;
  }
}

// ": <the system's reason>", or nothing when there is none.
std::string Reason(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
}

std::string LinkRefusal(const std::string& output) {
  return output + " is a link another user made in a shared folder; it is not followed, give "
                  "another --output";
}

bool IsFifo(const std::string& host) {
#ifdef S_ISFIFO
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
#else
  (void)host;
  return false;
#endif
}

// Whether the regular file at `host` is a track file: 80008 bytes that start
// with a point count the file can hold.
bool IsTrackFileAt(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0 || st.st_size != static_cast<off_t>(kTrackFileSize)) {
    return false;
  }
  ByteStream* in = StreamOpen(Utf8ToUtf16(host).c_str(), "rb");
  if (in == nullptr) return false;
  unsigned char header[4];
  bool read = StreamRead(header, 1, sizeof header, in) == sizeof header;
  StreamClose(in);
  return read && ImagePointCount(header) >= 0 && ImagePointCount(header) <= kSlotCount;
}

// Why the output must not be replaced, before anything is read: a link
// another user planted, the input itself, or (without --force) a file that
// is not a track file (a recording given as --output by mistake, say) or a
// read-only one. Empty when it may be replaced.
std::string OutputRefusal(const std::vector<std::string>& inputs, bool force) {
  std::string output = HostPath(OutputPath);
  bool refused = false;
  ResolveLinks(output, &refused);
  if (refused) return LinkRefusal(output);
  for (const std::string& input : inputs) {
    if (!input.empty() && SameFile(input, output)) {
      return output + " is the input file; give another --output";
    }
  }
  struct stat st;
  if (force || stat(output.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
  if (!IsTrackFileAt(output)) {
    return output + " exists and is not a track file; add --force to replace it";
  }
  if (IsReadOnlyFile(output)) return output + " is read-only; add --force to replace it";
  return std::string();
}

// The kinds read by a parser of XML or JSON, whose read error is a document
// that stops being well formed.
bool IsStructuredKind(int kind) {
  return kind == kInputTcx || kind == kInputKml || kind == kInputGeoJson;
}

// The one line that says why no track file was written.
std::string FailureText(int result, const std::string& input_name) {
  std::string output = HostPath(OutputPath);
  switch (RunFailure) {
    case kRunInputOpenFailed: {
      struct stat st;
      std::string host = HostPath(InputPath);
      if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return input_name + " is a folder; give a file";
      }
      if (stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // It is read twice, which only a regular file allows.
        return input_name + " is not a regular file; pipe it into 'wayconv --batch -' instead";
      }
      return "cannot open " + input_name + Reason(RunErrno);
    }
    case kRunInputReadFailed:
      return "cannot read " + input_name + Reason(RunErrno);
    case kRunOutputIsInput:
      return output + " is the input file; give another --output";
    case kRunOutputOpenFailed: {
      bool refused = false;
      ResolveLinks(output, &refused);
      if (refused) return LinkRefusal(output);
      if (IsReservedDeviceName(output)) {
        return output + " is a device name on Windows; give another name";
      }
      if (RunErrno == ENXIO && IsFifo(output)) {
        return "no program is reading " + output + "; start the reader first";
      }
      if (IsReadOnlyFile(output)) return output + " is read-only; add --force to replace it";
      return "cannot write " + output + Reason(RunErrno);
    }
    case kRunOutputWriteFailed:
      return "cannot write " + output + Reason(RunErrno);
    case kRunInputRejected: {
      std::string text = DescribeRejectedInput(input_name, result);
      if (!text.empty()) return text;
      break;
    }
    default:
      break;
  }
  return "no track file written; the messages above say why";
}

}  // namespace

int ParseKindName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "gpx") return kInputGpx;
  if (lower == "mps") return kInputMps;
  if (lower == "plt") return kInputPlt;
  if (lower == "nmea") return kInputNmea;
  if (lower == "fit") return kInputFit;
  if (lower == "igc") return kInputIgc;
  if (lower == "tcx") return kInputTcx;
  if (lower == "kml") return kInputKml;
  if (lower == "geojson") return kInputGeoJson;
  return 0;
}

int RunBatch(const BatchOptions& options) {
  const int count = static_cast<int>(options.inputs.size());
  int stdin_inputs = 0;
  std::vector<std::u16string> paths;
  for (const std::string& input : options.inputs) {
    if (input == "-") ++stdin_inputs;
    paths.push_back(Utf8ToUtf16(input));
    if (paths.back().empty() || paths.back().size() >= kInputPathSize) {
      PrintError("the input path must have 1 to 2039 characters; give a shorter path");
      return kExitUsage;
    }
  }
  if (count == 0 || stdin_inputs > 1) {
    PrintError("give one or more input files, standard input (-) at most once");
    return kExitUsage;
  }
  // The saved settings stand unless an option overrides them for this run.
  LoadSettings();
  if (options.output.size() > 0) {
    std::u16string output = Utf8ToUtf16(options.output);
    if (output.size() >= kOutputPathSize) {
      PrintError("the output path must have at most 2047 characters; give a shorter path");
      return kExitUsage;
    }
    CopyWide(OutputPath, kOutputPathSize, output);
  }
  if (options.split >= 0) DoSplit = options.split;
  if (options.thin >= 0) ThinShape = options.thin;
  if (options.strict) StrictInput = 1;
  AtomicReplaceReadOnly = options.force;
  std::vector<std::string> input_hosts;
  for (int i = 0; i < count; ++i) {
    input_hosts.push_back(options.inputs[i] == "-" ? std::string() : HostPath(paths[i].c_str()));
  }
  std::string refusal = OutputRefusal(input_hosts, options.force);
  if (!refusal.empty()) {
    PrintError(refusal);
    return kConvertOpenFailed;
  }

  std::vector<RunInput> inputs(static_cast<size_t>(count));
  std::vector<std::string> names(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const bool from_stdin = options.inputs[i] == "-";
    std::u16string& path = paths[i];
    if (from_stdin) {
      std::string copy;
      if (!CopyStandardInput(&copy)) return kConvertOpenFailed;
      path = Utf8ToUtf16(copy);
      if (path.size() >= kInputPathSize) {
        RemoveStandardInputCopy();
        PrintError("the temporary folder's path is too long; set TMPDIR to a shorter path");
        return kConvertOpenFailed;
      }
    }
    int kind = options.kind;
    if (kind == 0) kind = from_stdin ? kInputNmea : InputKindFromExtension(path.c_str());
    inputs[i] = RunInput{path.c_str(), kind, from_stdin ? u"-" : nullptr};
    names[i] = from_stdin ? "standard input" : options.inputs[i];
  }

  g_track_read_error = false;
  g_log_error = 0;
  g_track_read_input = 0;
  SetLogSink(PrintLogText);
  int result = ConvertTracks(inputs.data(), count);
  SetLogSink(nullptr);
  if (result != kConvertOk) {
    PrintError(FailureText(result, names[RunInputIndex]));
  } else if (g_track_read_error && count == 1) {
    PrintError("warning: " + names[0] +
               (IsStructuredKind(inputs[0].kind) ? " stops being well formed; only "
                                                 : " ends inside a track record; only ") +
               std::to_string(PointCount) + " points were converted");
  } else if (g_track_read_error) {
    PrintError("warning: " + names[g_track_read_input] +
               (IsStructuredKind(inputs[g_track_read_input].kind)
                    ? " stops being well formed; only its first "
                    : " ends inside a track record; only its first ") +
               std::to_string(InputPointCounts[g_track_read_input]) + " points were read");
  }
  // The log does not say that a long recording lost points; the user should know.
  int64_t total = 0;
  for (int points : InputPointCounts) total += points;
  if (result == kConvertOk && total > PointCount) {
    PrintError(std::to_string(total) + " points thinned to " + std::to_string(PointCount));
  }
  // The flaws are the run's; with several inputs the log's lines tell whose.
  const std::string flawed = count == 1 ? names[0] : std::string("one of the inputs");
  if ((InputFlaws & kFlawFitHeaderOrChecksum) != 0) {
    PrintError("warning: " + flawed + " has a FIT signature or checksum that does not match; "
               "its points were read all the same, check them");
  }
  if ((InputFlaws & kFlawCompressedData) != 0) {
    PrintError("warning: the compressed data of " + flawed +
               " is damaged or cut short; only what comes before was read");
  }
  if (stdin_inputs > 0) RemoveStandardInputCopy();
  if (g_log_error != 0 && result == kConvertOk) {
    // The track file is complete, but whoever reads the log learns nothing.
    PrintError(std::string("cannot write the log to standard output: ") +
               std::strerror(g_log_error) + "; the track file was written");
    return kConvertWriteFailed;
  }
  return result;
}
