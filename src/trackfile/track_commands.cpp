#include "trackfile/track_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/atomic_file.h"
#include "host/command_line.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "trackfile/track_data.h"
#include "trackfile/track_export.h"
#include "trackfile/track_show.h"
#include "trackfile/track_svg.h"

namespace {

// Whether the regular file at `host` starts as `command` writes its files.
bool HoldsExportOf(const std::string& host, int command) {
  ByteStream* in = StreamOpen(Utf8ToUtf16(host).c_str(), "rb");
  if (in == nullptr) return false;
  char head[512];
  std::string text(head, StreamRead(head, 1, sizeof head, in));
  StreamClose(in);
  switch (command) {
    case kTrackExportCsv: return text.rfind("track,point,latitude,longitude", 0) == 0;
    case kTrackExportGpx: return text.find("<gpx") != std::string::npos;
    case kTrackExportSvg: return text.find("<svg") != std::string::npos;
    default: return false;
  }
}

// Why `output` must not be replaced, or empty: it is the track file itself,
// or (without --force) an existing file of another kind, or read-only.
std::string OutputRefusal(const std::string& output, const std::string& host,
                          const std::string& input, int command, bool force) {
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
                        const std::string& input, int command, bool force) {
  std::u16string wide = Utf8ToUtf16(path);
  std::string host = HostPath(wide.c_str());
  struct stat st;
  if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    PrintError("cannot write " + path + ": it is a folder; give a file name");
    return kTrackFileExitBadInput;
  }
  std::string refusal = OutputRefusal(path, host, input, command, force);
  if (!refusal.empty()) {
    PrintError(refusal);
    return kTrackFileExitBadInput;
  }
  AtomicReplaceReadOnly = force;
  errno = 0;
  ByteStream* out = StreamOpen(wide.c_str(), "wb");
  if (out == nullptr) {
    int error = errno != 0 ? errno : EIO;
    if (error == ENODEV && IsReservedDeviceName(host)) {
      PrintError(path + " is a device name on Windows; give another name");
    } else if (error == ENXIO) {
      PrintError("no program is reading " + path + "; start the reader first");
    } else {
      PrintError("cannot create " + path + ": " + std::strerror(error) +
                 "; check the folder and its permissions");
    }
    return kTrackFileExitBadInput;
  }
  size_t written = StreamWrite(text.data(), 1, text.size(), out);
  int write_error = errno;
  int closed = StreamClose(out);
  if (written != text.size() || closed != 0) {
    int error = written != text.size() ? write_error : errno;
    PrintError("cannot write " + path + ": " + std::strerror(error != 0 ? error : EIO) +
               "; nothing was changed there");
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
  if (!command.output.empty()) {
    return WriteFileAtomically(command.output, text, command.input, command.command,
                               command.force);
  }
  return WriteStandardOutput(text) ? kTrackFileExitOk : kTrackFileExitWriteFailed;
}
