// The types every layer shares: one GPS point, the input format codes and the
// result codes of the point readers.
#pragma once

/// One point in decimal degrees, north and east positive.
struct TrackPoint {
  double latitude = 0.0;
  double longitude = 0.0;
};

/// Input formats. The numbers are also the 1-based filter indexes of the
/// open-file dialog.
constexpr int kInputGpx = 1;
constexpr int kInputMps = 2;
constexpr int kInputPlt = 3;
constexpr int kInputNmea = 4;
constexpr int kInputFit = 5;
constexpr int kInputTcx = 6;
constexpr int kInputKml = 7;
constexpr int kInputGeoJson = 8;
constexpr int kInputIgc = 9;

/// What a point reader returns: 0 a point was produced; positive, the record
/// just read is not a usable point and is skipped (the value says why, per
/// reader); negative, the end of the input or a read error.
constexpr int kReadOk = 0;
constexpr int kReadEnd = -1;
constexpr int kReadBadKind = -100;
