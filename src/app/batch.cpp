#include "app/batch.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "app/standard_input.h"
#include "common/globals.h"
#include "common/input_kind.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/input_survey.h"
#include "conversion/track_file.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "shell/settings.h"

namespace {

// Set when the log reports a broken MapSource track record, after which the
// run may still succeed with the points read before it.
bool g_track_read_error = false;

// Prints a log text as UTF-8, with every "\r\n" as "\n", as soon as it comes.
void PrintLogText(const char16_t* text, size_t length, int /*how*/) {
  std::u16string_view view(text, length);
  if (view == u"Track read error!\r\n") g_track_read_error = true;
  std::string bytes = Utf16ToUtf8(view);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

// ": <the system's reason>", or nothing when there is none.
std::string Reason(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
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
    case kRunOutputOpenFailed:
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

void PrintError(const std::string& message) {
  std::fprintf(stderr, "wayconv: %s\n", message.c_str());
}

int ParseKindName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "gpx") return kInputGpx;
  if (lower == "mps") return kInputMps;
  if (lower == "plt") return kInputPlt;
  if (lower == "nmea") return kInputNmea;
  if (lower == "tcx") return kInputTcx;
  if (lower == "kml") return kInputKml;
  if (lower == "geojson") return kInputGeoJson;
  return 0;
}

int RunBatch(const BatchOptions& options) {
  const bool from_stdin = options.input == "-";
  std::u16string input = Utf8ToUtf16(options.input);
  if (input.empty() || input.size() >= kInputPathSize) {
    PrintError("the input path must have 1 to 2039 characters; give a shorter path");
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
  if (options.strict) StrictInput = 1;

  if (from_stdin) {
    std::string copy;
    if (!CopyStandardInput(&copy)) return kConvertOpenFailed;
    input = Utf8ToUtf16(copy);
    if (input.size() >= kInputPathSize) {
      RemoveStandardInputCopy();
      PrintError("the temporary folder's path is too long; set TMPDIR to a shorter path");
      return kConvertOpenFailed;
    }
    InputLogName = u"-";
  }
  CopyWide(InputPath, kInputPathSize, input);
  if (options.kind != 0) {
    InputKind = options.kind;
  } else {
    InputKind = from_stdin ? kInputNmea : InputKindFromExtension(InputPath);
  }

  g_track_read_error = false;
  SetLogSink(PrintLogText);
  int result = ConvertTrack();
  SetLogSink(nullptr);
  const std::string name = from_stdin ? "standard input" : options.input;
  if (result != kConvertOk) {
    PrintError(FailureText(result, name));
  } else if (g_track_read_error) {
    bool structured = InputKind == kInputTcx || InputKind == kInputKml || InputKind == kInputGeoJson;
    PrintError("warning: " + name +
               (structured ? " stops being well formed; only " : " ends inside a track record; only ") +
               std::to_string(PointCount) + " points were converted");
  }
  if (from_stdin) {
    RemoveStandardInputCopy();
    InputLogName = nullptr;
  }
  return result;
}
