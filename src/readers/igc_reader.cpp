#include "readers/igc_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "common/globals.h"
#include "readers/byte_scan.h"
#include "readers/plt_reader.h"
#include "readers/text_line.h"

namespace {

constexpr int kLatitudeHemisphereAt = 14;
constexpr int kLongitudeAt = 15;
constexpr int kLongitudeHemisphereAt = 23;
constexpr int kValidityAt = 24;
constexpr double kThousandthsPerDegree = 60000.0;
constexpr uint32_t kThousandthsDigits = 100000;  // MMmmm: five digits

// The eight bytes at `p` as a little-endian word, whatever the host.
uint64_t LoadLittle64(const char* p) {
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
  return x;
}

// Whether the eight bytes of `x` are all ASCII digits: each byte's high
// nibble is 3, and adding 6 leaves it 3 (the low nibble is at most 9). A
// carry between bytes comes only from a byte that fails already.
bool EightDigits(uint64_t x) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  return ((x & kHigh) | (((x + 0x0606060606060606ULL) & kHigh) >> 4)) == 0x3333333333333333ULL;
}

// The number eight checked digits spell, the first byte the most
// significant: pairs, then fours, then the whole, in three multiplications.
uint32_t EightDigitValue(uint64_t x) {
  x -= 0x3030303030303030ULL;
  x = x * 10 + (x >> 8);
  x = ((x & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
       ((x >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >>
      32;
  return static_cast<uint32_t>(x);
}

}  // namespace

int ParseIgcBRecord(const char* line, size_t length, TrackPoint* point) {
  if (length < static_cast<size_t>(kIgcBRecordSize) || line[0] != 'B') return kIgcNotBRecord;
  // Time and latitude digits (1 to 13, in two overlapping groups), then the
  // longitude's (15 to 22).
  uint64_t time_group = LoadLittle64(line + 1);
  uint64_t latitude_group = LoadLittle64(line + 6);
  uint64_t longitude_group = LoadLittle64(line + kLongitudeAt);
  if (!EightDigits(time_group) || !EightDigits(latitude_group) || !EightDigits(longitude_group)) {
    return kIgcNotBRecord;
  }
  char north = line[kLatitudeHemisphereAt];
  char east = line[kLongitudeHemisphereAt];
  char validity = line[kValidityAt];
  if ((north != 'N' && north != 'S') || (east != 'E' && east != 'W') ||
      (validity != 'A' && validity != 'V')) {
    return kIgcNotBRecord;
  }
  // The latitude group is the last time digit, DD and MMmmm.
  uint32_t latitude_digits = EightDigitValue(latitude_group) % 10000000;
  uint32_t longitude_digits = EightDigitValue(longitude_group);
  double latitude = static_cast<int>(latitude_digits / kThousandthsDigits) +
                    static_cast<int>(latitude_digits % kThousandthsDigits) / kThousandthsPerDegree;
  double longitude = static_cast<int>(longitude_digits / kThousandthsDigits) +
                     static_cast<int>(longitude_digits % kThousandthsDigits) / kThousandthsPerDegree;
  if (north == 'S') latitude = -latitude;
  if (east == 'W') longitude = -longitude;
  if (!LatitudeInRange(latitude) || !LongitudeInRange(longitude)) return kIgcOutOfRange;
  point->latitude = latitude;
  point->longitude = longitude;
  return kReadOk;
}

// Lines are taken from the read buffer in place when they lie whole in it,
// else through ReadTextLine; both end a line and pass over blank ones alike.
int ReadIgcPoint(TrackPoint* point) {
  ByteStream* in = InputStream;
  unsigned char* p = in->next;
  unsigned char* end = in->end;
  while (p < end && EndsLine(*p)) ++p;
  in->next = p;
  if (p < end) {
    unsigned char* line_end = FindLineEnd(p, end);
    if (line_end < end) {
      in->next = line_end + 1;
      return ParseIgcBRecord(reinterpret_cast<const char*>(p), static_cast<size_t>(line_end - p),
                             point);
    }
  }
  int length = ReadTextLine(in, LineBuffer, kLineLimit);
  if (length < 0) return kReadEnd;
  return ParseIgcBRecord(LineBuffer, static_cast<size_t>(length), point);
}
