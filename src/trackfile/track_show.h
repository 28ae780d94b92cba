// `wayconv --show`: a short summary of a track file, one item per line.
#pragma once

#include <string>

#include "trackfile/track_data.h"

/// The summary of `data`, read from `path`:
///
///   file        walk.bin
///   points      42
///   tracks      2
///   track 1        25 points  first  47.369380    8.539197  length     0.468 km
///   track 2        17 points  first  47.383848    8.543602  length     0.269 km
///   box         south 47.368848  west 8.539197  north 47.384016  east 8.545427
///
/// The label takes the first 12 columns; the numbers of the track lines are
/// right-aligned in fixed widths. A track starts at the first point and at
/// every flagged one. An empty file shows "box         none".
std::string FormatSummary(const TrackData& data, const std::string& path);
