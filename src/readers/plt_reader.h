// OziExplorer track files: after a six-line header (checked by the conversion
// run), one point per line, "latitude,longitude,..." in decimal degrees.
#pragma once

#include "common/types.h"

/// Result codes of ReadPltPoint beside kReadOk and kReadEnd.
constexpr int kPltNoComma = 1;
constexpr int kPltOutOfRange = 3;

/// Reads the next point line of the input stream into `point`.
int ReadPltPoint(TrackPoint* point);

/// The coordinate bounds every reader applies. They are wider than the globe;
/// a NaN is never in range.
bool LatitudeInRange(double latitude);
bool LongitudeInRange(double longitude);
