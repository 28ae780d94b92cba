#include "readers/igc_reader.h"

#include "common/globals.h"
#include "readers/plt_reader.h"
#include "readers/text_line.h"

namespace {

constexpr int kTimeAt = 1;
constexpr int kLatitudeAt = 7;
constexpr int kLatitudeHemisphereAt = 14;
constexpr int kLongitudeAt = 15;
constexpr int kLongitudeHemisphereAt = 23;
constexpr int kValidityAt = 24;
constexpr double kThousandthsPerDegree = 60000.0;

// The value of `count` digits at `text`, or -1 when one is no digit.
int Digits(const char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    unsigned digit = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
    if (digit > 9) return -1;
    value = value * 10 + static_cast<int>(digit);
  }
  return value;
}

}  // namespace

int ParseIgcBRecord(const char* line, TrackPoint* point) {
  if (line[0] != 'B') return kIgcNotBRecord;
  // Each test below stops at the terminator of a short line before reading
  // past it: a NUL is neither a digit nor a hemisphere letter.
  if (Digits(line + kTimeAt, 6) < 0) return kIgcNotBRecord;
  int latitude_degrees = Digits(line + kLatitudeAt, 2);
  if (latitude_degrees < 0) return kIgcNotBRecord;
  int latitude_thousandths = Digits(line + kLatitudeAt + 2, 5);
  if (latitude_thousandths < 0) return kIgcNotBRecord;
  char north = line[kLatitudeHemisphereAt];
  if (north != 'N' && north != 'S') return kIgcNotBRecord;
  int longitude_degrees = Digits(line + kLongitudeAt, 3);
  if (longitude_degrees < 0) return kIgcNotBRecord;
  int longitude_thousandths = Digits(line + kLongitudeAt + 3, 5);
  if (longitude_thousandths < 0) return kIgcNotBRecord;
  char east = line[kLongitudeHemisphereAt];
  if (east != 'E' && east != 'W') return kIgcNotBRecord;
  char validity = line[kValidityAt];
  if (validity != 'A' && validity != 'V') return kIgcNotBRecord;
  double latitude = latitude_degrees + latitude_thousandths / kThousandthsPerDegree;
  double longitude = longitude_degrees + longitude_thousandths / kThousandthsPerDegree;
  if (north == 'S') latitude = -latitude;
  if (east == 'W') longitude = -longitude;
  if (!LatitudeInRange(latitude) || !LongitudeInRange(longitude)) return kIgcOutOfRange;
  point->latitude = latitude;
  point->longitude = longitude;
  return kReadOk;
}

int ReadIgcPoint(TrackPoint* point) {
  if (ReadTextLine(InputStream, LineBuffer, kLineLimit) < 0) return kReadEnd;
  return ParseIgcBRecord(LineBuffer, point);
}
