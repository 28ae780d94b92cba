// MapSource files (.mps). Only the track records are read; every other
// record is passed over. All integers are little-endian, signed 32-bit.
//
//   signature      6 bytes   "MsRcd" and a zero byte (checked by the
//                            conversion run before the first record)
//   records, one after another:
//     length L     4 bytes   bytes of record data after the type byte
//     type         1 byte    "T" for a track
//     data         L bytes
//   so the next record starts 4 + 1 + L bytes after the start of this one.
//
//   track record data:
//     name         up to 150 bytes and a terminating zero byte
//     (skipped)    5 bytes
//     point count  4 bytes
//     points       31 bytes each:
//       latitude   4 bytes   semicircles, 2^31 of them to 180 degrees
//       longitude  4 bytes   semicircles
//       (skipped)  23 bytes
//
// The points are not checked against L: after a track's last point the next
// record is looked for at the position L gives, wherever the points ended.
//
// The reader is a state machine over MpsReaderState (globals.h): 0, no track
// open, the next call looks for a track record; 1, the stream stands just
// after a track record's type byte; 2, inside a track's points, with
// MpsRemainingPoints of them still to read. MpsNextRecordPos is the offset of
// the record after the one last examined. The conversion run sets the state to
// 0 and the position to the first record before each pass.
#pragma once

#include <cstdint>

#include "common/types.h"

inline constexpr char kMpsSignature[] = "MsRcd";  // with its terminator, the 6 signature bytes
constexpr int kMpsSignatureSize = 6;
static_assert(sizeof kMpsSignature == kMpsSignatureSize);

constexpr int kMpsLengthSize = 4;
constexpr int kMpsRecordHeaderSize = kMpsLengthSize + 1;  // length and type byte
constexpr char kMpsTrackType = 'T';
constexpr int kMpsMaxNameLength = 150;
constexpr int kMpsTrackSkipSize = 5;  // between the name and the point count
constexpr int kMpsCoordinateSize = 4;
constexpr int kMpsPointTrailerSize = 23;
constexpr int kMpsPointSize = 31;
static_assert(2 * kMpsCoordinateSize + kMpsPointTrailerSize == kMpsPointSize);

/// Degrees per semicircle: 180 / 2^31.
constexpr double kMpsDegreesPerSemicircle = 8.381903171539307e-08;
static_assert(kMpsDegreesPerSemicircle == 180.0 / 2147483648.0);

/// MpsReaderState values.
constexpr int32_t kMpsNoTrack = 0;
constexpr int32_t kMpsAtTrackHeader = 1;
constexpr int32_t kMpsInPoints = 2;

/// Results of FindMpsTrack.
constexpr int kMpsFound = 0;
constexpr int kMpsSeekFailed = -1;
constexpr int kMpsNoLength = -2;    // the normal end of the file
constexpr int kMpsNoType = -3;      // the file ends where a type byte belongs
constexpr int kMpsBadLength = -4;   // L + 5 <= 0, or the next position passes 2^31 - 1

/// Results of ReadMpsPoint beside kReadOk.
constexpr int kMpsEmptyTrack = 1;   // the track holds no point; the state is back to 0
constexpr int kMpsNameCut = -2;     // the file ends inside the track name
constexpr int kMpsNameTooLong = -3;
constexpr int kMpsShortSkip = -4;   // fewer than the 5 bytes after the name
constexpr int kMpsShortCount = -5;
constexpr int kMpsNegativeCount = -6;
constexpr int kMpsShortLatitude = -7;
constexpr int kMpsShortLongitude = -8;
constexpr int kMpsTrailerSeekFailed = -9;
constexpr int kMpsNotInTrack = -10;  // called in state 0

/// Seeks to MpsNextRecordPos and walks the records from there until a track
/// record; leaves the stream at its data. Advances MpsNextRecordPos past every
/// record it looks at. A zero-length record's type byte is not read.
int FindMpsTrack();

/// In state 1 reads the track header, then in states 1 and 2 reads one point
/// into `point` and moves past its trailing bytes. Returns to state 0 after a
/// track's last point. A failure leaves state and remaining count as they are.
int ReadMpsPoint(TrackPoint* point);

/// The next point of all track records, in file order: 0, or -1 at the end of
/// the input or on a broken track record, which also logs
/// "Track read error!\r\n". Never positive. Tracks with no points are passed
/// over within the same call.
int ReadMpsTrackPoint(TrackPoint* point);
