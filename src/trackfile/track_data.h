// A track file read back: its points in degrees, cut into tracks, and the
// small pieces of locale-free text formatting the three commands share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/types.h"

/// Exit status of the track-file commands.
constexpr int kTrackFileExitOk = 0;
constexpr int kTrackFileExitBadInput = 2;  // unreadable or not a track file; output not opened
constexpr int kTrackFileExitWriteFailed = 3;
constexpr int kTrackFileExitUsage = 64;

/// Mean radius of the earth for track lengths.
constexpr double kEarthRadiusKm = 6371.0088;

/// Points [first, first + count) of TrackData::points.
struct Track {
  int first = 0;
  int count = 0;
};

struct TrackData {
  std::vector<TrackPoint> points;  // the first `count` slots, decoded
  std::vector<Track> tracks;       // in file order; a track starts at slot 0 and at each flag
};

/// South, west, north and east edges of all points; meaningless when empty.
struct TrackBounds {
  double south = 0.0, west = 0.0, north = 0.0, east = 0.0;
};

/// Decodes the first `count` slots (0..10000, checked by the caller) of a
/// whole image into `data`.
void DecodeTrackImage(const unsigned char* image, int count, TrackData* data);

/// Reads the track file at `path` (UTF-8; a leading backslash makes it a
/// device path) into `data`. Returns 0, or kTrackFileExitBadInput with a
/// `reason` that names the file and says what is wrong.
int LoadTrackFile(const std::string& path, TrackData* data, std::string* reason);

/// Great-circle distance in km on a sphere of kEarthRadiusKm (haversine).
double DistanceKm(const TrackPoint& a, const TrackPoint& b);

/// Sum of the distances between consecutive points of `track`.
double TrackLengthKm(const TrackData& data, const Track& track);

TrackBounds BoundsOf(const std::vector<TrackPoint>& points);

/// Appends `value` with `decimals` digits after a '.', whatever the locale.
void AppendFixed(std::string* out, double value, int decimals);

/// Appends `value` in decimal.
void AppendInt(std::string* out, long long value);

/// Appends `text` right-aligned in `width` characters (never cut).
void AppendPadded(std::string* out, const std::string& text, size_t width);

/// The last component of a host or device path.
std::string BaseName(const std::string& path);
