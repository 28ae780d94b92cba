// `wayconv --export gpx|csv`: the points of a track file as text. Degrees are
// written with 9 decimals (a semicircle is about 8.4e-8 degrees, so they read
// back to the same semicircle) and '.' as the decimal separator.
#pragma once

#include <string>

#include "trackfile/track_data.h"

/// GPX 1.1: one <trk> per track, each with one <trkseg> of <trkpt lat lon>.
std::string ExportGpx(const TrackData& data);

/// "track,point,latitude,longitude", then one line per point; tracks and
/// the points within each track are numbered from 1.
std::string ExportCsv(const TrackData& data);
