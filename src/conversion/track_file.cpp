#include "conversion/track_file.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "common/message_log.h"

unsigned char TrackImage[kTrackFileSize];
int PointCount = 0;
int NewTrackPending = 0;
int TrackCounter = 0;
TrackPoint PreviousPoint;

namespace {

constexpr double kPi = 3.141592653589793;

void PutWord(size_t offset, uint32_t word) {
  TrackImage[offset] = static_cast<unsigned char>(word);
  TrackImage[offset + 1] = static_cast<unsigned char>(word >> 8);
  TrackImage[offset + 2] = static_cast<unsigned char>(word >> 16);
  TrackImage[offset + 3] = static_cast<unsigned char>(word >> 24);
}

uint32_t GetWord(const unsigned char* image, size_t offset) {
  return static_cast<uint32_t>(image[offset]) | static_cast<uint32_t>(image[offset + 1]) << 8 |
         static_cast<uint32_t>(image[offset + 2]) << 16 |
         static_cast<uint32_t>(image[offset + 3]) << 24;
}

// Rounds to 8 decimal places through the exact decimal expansion, the way a
// printed "%.8f" value reads back.
double RoundTo8Places(double value) {
  char text[64];
  auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 8);
  double rounded = 0.0;
  std::from_chars(text, printed.ptr, rounded);
  return rounded;
}

struct LonTable {
  double meters[91];
  LonTable() {
    for (int i = 0; i <= 90; ++i) {
      meters[i] = RoundTo8Places(6371032.0 * kPi / 180.0 * std::cos(i * kPi / 180.0));
    }
    meters[90] = 0.0;
  }
};

// Appends "s" to a wide buffer.
char16_t* PutAscii(char16_t* out, const char* s) {
  while (*s != 0) *out++ = static_cast<char16_t>(*s++);
  return out;
}

char16_t* PutFixed6(char16_t* out, double value) {
  char text[400];
  auto printed = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, 6);
  *printed.ptr = 0;
  return PutAscii(out, text);
}

}  // namespace

double LonMetersPerDegree(int i) {
  static const LonTable table;
  return table.meters[i];
}

double SemicircleValue(double degrees) {
  double value = degrees * 2147483648.0;
  value = value * 0.005555555555555556;
  value = value + 0.5;
  return std::floor(value);
}

uint32_t LongitudeWord(double longitude) {
  double value = SemicircleValue(longitude);
  if (!std::isfinite(value)) return 0;
  // Reduce modulo 2^32 in double (exact for these magnitudes), then convert.
  double reduced = std::fmod(value, 4294967296.0);
  if (reduced < 0) reduced += 4294967296.0;
  return static_cast<uint32_t>(reduced);
}

uint32_t LatitudeWord(double latitude) {
  double value = SemicircleValue(latitude);
  int32_t held;
  if (!(value >= -1073741824.0)) {  // also NaN
    held = -1073741824;
  } else if (value > 1073741823.0) {
    held = 1073741823;
  } else {
    held = static_cast<int32_t>(value);
  }
  return static_cast<uint32_t>(held) & 0x7FFFFFFFu;
}

double LongitudeFromWord(uint32_t word) {
  return static_cast<int32_t>(word) * kDegreesPerSemicircle;
}

double LatitudeFromWord(uint32_t word) {
  // Shifting the flag out and back in arithmetically extends the sign from
  // bit 30 (both shifts are defined in C++20).
  int32_t value = static_cast<int32_t>(word << 1) >> 1;
  return value * kDegreesPerSemicircle;
}

int32_t ImagePointCount(const unsigned char* image) {
  return static_cast<int32_t>(GetWord(image, 0));
}

int DecodeSlot(const unsigned char* image, int index, TrackPoint* point) {
  size_t offset = 8 + 8 * static_cast<size_t>(index);
  uint32_t latitude_word = GetWord(image, offset + 4);
  point->longitude = LongitudeFromWord(GetWord(image, offset));
  point->latitude = LatitudeFromWord(latitude_word);
  return (latitude_word & kTrackStartFlag) != 0 ? 1 : 0;
}

void StorePoint(const TrackPoint& point, int index) {
  uint32_t longitude_word = LongitudeWord(point.longitude);
  uint32_t latitude_word = LatitudeWord(point.latitude);
  if (NewTrackPending) {
    NewTrackPending = 0;
    ++TrackCounter;
    // "Track %d at %f , %f \r\n", formatted without the process locale.
    char16_t text[1000];
    char number[16];
    auto printed = std::to_chars(number, number + sizeof number - 1, TrackCounter);
    *printed.ptr = 0;
    char16_t* out = PutAscii(text, "Track ");
    out = PutAscii(out, number);
    out = PutAscii(out, " at ");
    out = PutFixed6(out, point.latitude);
    out = PutAscii(out, " , ");
    out = PutFixed6(out, point.longitude);
    out = PutAscii(out, " \r\n");
    *out = 0;
    AppendLog(text);
    latitude_word |= kTrackStartFlag;
  }
  size_t offset = 8 + 8 * static_cast<size_t>(index);
  PutWord(offset, longitude_word);
  PutWord(offset + 4, latitude_word);
}

int IsTrackBreak(const TrackPoint& previous, const TrackPoint& current, double threshold) {
  double dy = std::fabs(current.latitude - previous.latitude) * kMetersPerDegreeLatitude;
  if (dy > threshold) return 1;
  double mean = std::floor((previous.latitude + current.latitude + 1.0) * 0.5);
  double dx = 0.0;
  // |mean| <= 89 picks a table entry; anything else (beyond the cut-off, or
  // not a number) counts no longitude distance.
  if (mean >= -89.0 && mean <= 89.0) {
    int k = static_cast<int>(mean);
    if (k < 0) k = -k;
    dx = LonMetersPerDegree(k) * std::fabs(current.longitude - previous.longitude);
  }
  if (dx > threshold) return 1;
  if (dx * dx + dy * dy > threshold * threshold) return 1;
  return 0;
}

void ClearTrackImage() {
  std::memset(TrackImage, 0, sizeof TrackImage);
  PointCount = 0;
}

void StorePointCount() { PutWord(0, static_cast<uint32_t>(PointCount)); }

void ResetTrackFileForTest() {
  ClearTrackImage();
  NewTrackPending = 0;
  TrackCounter = 0;
  PreviousPoint = TrackPoint{};
}
