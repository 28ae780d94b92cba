// The device's binary track file, built in memory as the TrackImage and
// written in one piece. Always 80008 bytes, little-endian:
//
//   offset 0          int32  point count (filled slots)
//   offset 4          int32  reserved, 0
//   offset 8 + 8*i    int32  slot i longitude, semicircles
//   offset 12 + 8*i   uint32 slot i latitude: low 31 bits of the semicircle
//                            value; bit 31 set on the first point of a track
//
// 10000 slots; at most 9996 are filled and the rest stay zero. One semicircle
// is 180/2^31 degrees.
//
// Reading a file back: the longitude is the signed longitude word; the
// latitude is the latitude word with bit 31 cleared and sign-extended from
// bit 30. A track starts at each slot whose flag is set (and at slot 0, which
// the converter always flags). A count from 0 to 10000 is valid; slots from
// the count upwards are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/types.h"

constexpr size_t kTrackFileSize = 80008;
constexpr int kSlotCount = 10000;
constexpr int kMaxStoredPoints = 9996;
constexpr uint32_t kTrackStartFlag = 0x80000000u;
constexpr double kMetersPerDegreeLatitude = 111195.48679259;
constexpr double kTrackBreakMeters = 1000.0;
constexpr double kDegreesPerSemicircle = 180.0 / 2147483648.0;

extern unsigned char TrackImage[kTrackFileSize];  // the file as it will be written
extern int PointCount;                            // slots filled so far
extern int NewTrackPending;                       // the next stored point starts a track
extern int TrackCounter;                          // tracks announced in this run
extern TrackPoint PreviousPoint;                  // last point seen by the break test

/// Metres per degree of longitude on the parallel of i whole degrees, i = 0..90.
double LonMetersPerDegree(int i);

/// The semicircle value of an angle in degrees, before any fitting to 32 bits:
/// floor(d * 2^31 * (1/180) + 0.5), in that order, in double.
double SemicircleValue(double degrees);

/// The longitude word: the semicircle value reduced modulo 2^32.
uint32_t LongitudeWord(double longitude);

/// The latitude word without the track-start flag: the semicircle value held
/// to [-2^30, 2^30 - 1], then its low 31 bits, so no latitude changes sign.
uint32_t LatitudeWord(double latitude);

/// The longitude in degrees of a longitude word.
double LongitudeFromWord(uint32_t word);

/// The latitude in degrees of a latitude word, with or without the flag.
double LatitudeFromWord(uint32_t word);

/// The point count of a whole image (kTrackFileSize bytes), unchecked.
int32_t ImagePointCount(const unsigned char* image);

/// Decodes slot `index` of a whole image; returns 1 when it starts a track.
int DecodeSlot(const unsigned char* image, int index, TrackPoint* point);

/// Encodes `point` into slot `index` (0..9999, not checked). When a track is
/// pending, announces it in the log and flags the slot as a track start.
void StorePoint(const TrackPoint& point, int index);

/// 1 when the points lie farther apart than `threshold` metres, else 0.
int IsTrackBreak(const TrackPoint& previous, const TrackPoint& current, double threshold);

/// Zeroes the image and the point count.
void ClearTrackImage();

/// Writes PointCount into the image header.
void StorePointCount();

/// Back to a fresh start: empty image, no track pending, counters at zero.
void ResetTrackFileForTest();
