// The track-file commands: read a track file back, with no window and no
// settings.
//
//   wayconv --show TRACKFILE
//   wayconv --export gpx|csv|svg [--output PATH] TRACKFILE
//
// TRACKFILE and PATH are host paths, or device paths when they start with a
// backslash. Without --output the export goes to standard output; with it,
// the file is written beside PATH and renamed over it when complete.
#pragma once

#include <string>

/// What a track-file command does.
constexpr int kTrackShow = 1;
constexpr int kTrackExportGpx = 2;
constexpr int kTrackExportCsv = 3;
constexpr int kTrackExportSvg = 4;

struct TrackCommand {
  int command = 0;      // kTrack*
  std::string input;    // the track file
  std::string output;   // empty: standard output
  bool force = false;   // replace an existing file not of the format written, or read-only
};

/// The kTrackExport* of "gpx", "csv" or "svg"; 0 for anything else.
int ParseExportFormat(const std::string& name);

/// Runs the command. Returns 0, kTrackFileExitBadInput (the track file
/// cannot be read or is not one, or the output cannot be created) or
/// kTrackFileExitWriteFailed; every failure is explained by a "wayconv: "
/// line on standard error.
int RunTrackFileCommand(const TrackCommand& command);
