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

/// True when the command line holds --show or --export (before any "--").
bool IsTrackFileCommand(int argc, char** argv);

/// Runs the command; --help prints `usage` and --version the version. Returns 0, kTrackFileExitBadInput (the track file cannot
/// be read or is not one, or the output cannot be created),
/// kTrackFileExitWriteFailed, or kTrackFileExitUsage; every failure is
/// explained by a "wayconv: " line on standard error.
int RunTrackFileCommand(int argc, char** argv, const char* usage);
