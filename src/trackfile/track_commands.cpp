#include "trackfile/track_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/command_line.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "trackfile/track_data.h"
#include "trackfile/track_export.h"
#include "trackfile/track_show.h"
#include "trackfile/track_svg.h"

namespace {

// Through the program's byte stream: a temporary beside the target, renamed
// over it once complete, so a failure leaves the old file as it was.
int WriteFileAtomically(const std::string& path, const std::string& text) {
  std::u16string wide = Utf8ToUtf16(path);
  struct stat st;
  if (stat(HostPath(wide.c_str()).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    PrintError("cannot write " + path + ": it is a folder; give a file name");
    return kTrackFileExitBadInput;
  }
  errno = 0;
  ByteStream* out = StreamOpen(wide.c_str(), "wb");
  if (out == nullptr) {
    PrintError("cannot create " + path + ": " + std::strerror(errno != 0 ? errno : EIO) +
             "; check the folder and its permissions");
    return kTrackFileExitBadInput;
  }
  size_t written = StreamWrite(text.data(), 1, text.size(), out);
  int closed = StreamClose(out);
  if (written != text.size() || closed != 0) {
    PrintError("cannot write " + path + "; nothing was changed there");
    return kTrackFileExitWriteFailed;
  }
  return kTrackFileExitOk;
}

}  // namespace

int ParseExportFormat(const std::string& name) {
  if (name == "gpx") return kTrackExportGpx;
  if (name == "csv") return kTrackExportCsv;
  if (name == "svg") return kTrackExportSvg;
  return 0;
}

int RunTrackFileCommand(const TrackCommand& command) {
  TrackData data;
  std::string reason;
  if (LoadTrackFile(command.input, &data, &reason) != kTrackFileExitOk) {
    PrintError(reason);
    return kTrackFileExitBadInput;
  }
  std::string text;
  switch (command.command) {
    case kTrackShow: text = FormatSummary(data, command.input); break;
    case kTrackExportGpx: text = ExportGpx(data); break;
    case kTrackExportCsv: text = ExportCsv(data); break;
    case kTrackExportSvg: text = ExportSvg(data, command.input); break;
    default: break;
  }
  if (!command.output.empty()) return WriteFileAtomically(command.output, text);
  return WriteStandardOutput(text) ? kTrackFileExitOk : kTrackFileExitWriteFailed;
}
