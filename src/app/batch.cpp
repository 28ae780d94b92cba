#include "app/batch.h"

#include <cstdio>

#include "common/globals.h"
#include "common/input_kind.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "host/text.h"
#include "shell/settings.h"

namespace {

// Prints a log text as UTF-8, with every "\r\n" as "\n", as soon as it comes.
void PrintLogText(const char16_t* text, size_t length, int /*how*/) {
  std::u16string_view view(text, length);
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

}  // namespace

void PrintError(const std::string& message) {
  std::fprintf(stderr, "wayconv: %s\n", message.c_str());
}

int ParseKindName(const std::string& name) {
  if (name == "gpx") return kInputGpx;
  if (name == "mps") return kInputMps;
  if (name == "plt") return kInputPlt;
  if (name == "nmea") return kInputNmea;
  return 0;
}

int RunBatch(const BatchOptions& options) {
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
  CopyWide(InputPath, kInputPathSize, input);
  InputKind = options.kind != 0 ? options.kind : InputKindFromExtension(InputPath);
  if (options.split >= 0) DoSplit = options.split;

  SetLogSink(PrintLogText);
  int result = ConvertTrack();
  SetLogSink(nullptr);
  if (result != kConvertOk) {
    PrintError("no track file written; the messages above say why");
  }
  return result;
}
