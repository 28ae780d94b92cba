#include "readers/plt_reader.h"

#include <cstring>

#include "common/globals.h"
#include "common/numbers.h"
#include "readers/text_line.h"

bool LatitudeInRange(double latitude) { return latitude >= -100.0 && latitude <= 100.0; }

bool LongitudeInRange(double longitude) { return longitude >= -370.0 && longitude <= 370.0; }

int ReadPltPoint(TrackPoint* point) {
  if (ReadTextLine(InputStream, LineBuffer, kLineLimit) < 0) return kReadEnd;
  const char* comma = std::strchr(LineBuffer, ',');
  if (comma == nullptr) return kPltNoComma;
  // ParseDouble stops at the comma, as atof does.
  point->latitude = ParseDouble(LineBuffer);
  if (!LatitudeInRange(point->latitude)) return kPltOutOfRange;
  point->longitude = ParseDouble(comma + 1);
  if (!LongitudeInRange(point->longitude)) return kPltOutOfRange;
  return kReadOk;
}
