// `wayconv --show`: a short summary of a track file, one item per line.
#pragma once

#include <string>

#include "trackfile/track_data.h"

/// The summary of `data`, read from `path`:
///
///   file      walk.bin
///   points    48
///   tracks    2
///   track 1      24 points  first  47.369380    8.539197  length     1.871 km
///   track 2      24 points  first  47.383848    8.543602  length     1.694 km
///   box       south 47.369380  west 8.539197  north 47.390000  east 8.560000
///
/// The label takes the first 10 columns; the numbers of the track lines are
/// right-aligned in fixed widths. An empty file shows "box       none".
std::string FormatSummary(const TrackData& data, const std::string& path);
