#include "readers/nmea_reader.h"

#include <cstdint>
#include <cstring>

#include "common/globals.h"
#include "common/numbers.h"
#include "readers/byte_scan.h"
#include "readers/plt_reader.h"
#include "readers/text_line.h"

int NmeaReadMode = kNmeaGprmcOnly;

namespace {

constexpr char kRmcPrefix[] = "$GPRMC,";
constexpr int kRmcPrefixLength = sizeof kRmcPrefix - 1;
constexpr int kTimeFieldOffset = 11;  // where the scan for the time field's comma starts
constexpr int kLatitudeDegreeDigits = 2;
constexpr int kLongitudeDegreeDigits = 3;

bool IsCSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(unsigned char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16) {
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  }
  return -1;
}

struct ScannedNumber {
  bool negative = false;
  bool overflow = false;  // the digits exceed 64 bits
  uint64_t magnitude = 0;
};

// The field reading of the runtime's scanf for %d and %x: white space, then
// sign, a leading "0" (and for base 16 an "x" after it) and digits, all
// counted against `width` (-1: none). False when no digit was taken.
bool ScanNumber(const char* text, int width, int base, ScannedNumber* number) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (IsCSpace(*s)) ++s;
  if (*s == '-' || *s == '+') {
    number->negative = *s == '-';
    ++s;
    if (width > 0) --width;
  }
  bool digits = false;
  if (width != 0 && *s == '0') {
    digits = true;
    ++s;
    if (width > 0) --width;
    if (width != 0 && base == 16 && (*s == 'x' || *s == 'X')) {
      ++s;
      if (width > 0) --width;
    }
  }
  while (width != 0) {
    int digit = DigitValue(*s, base);
    if (digit < 0) break;
    digits = true;
    uint64_t limit = (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base);
    if (number->magnitude > limit) {
      number->overflow = true;
    } else {
      number->magnitude =
          number->magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    ++s;
    if (width > 0) --width;
  }
  return digits;
}

// Skips to the next comma from `p`. Null when a byte below 0x20 comes first;
// bytes are compared as signed, so 0x80-0xFF stop the scan too, and the
// terminating NUL always does.
const char* FindComma(const char* p) {
  for (;; ++p) {
    if (*p == ',') return p;
    if (static_cast<signed char>(*p) < 0x20) return nullptr;
  }
}

// True when the field at `field` holds at least `digits` bytes before its
// comma or the end of the line, and its degrees read with "%<digits>d".
bool ReadDegrees(const char* field, int digits, int* degrees) {
  for (int i = 0; i < digits; ++i) {
    if (field[i] == ',' || field[i] == 0) return false;
  }
  return ScanDecimal(field, digits, degrees);
}

}  // namespace

bool ScanDecimal(const char* text, int width, int* value) {
  // The common case, a field that starts with `width` digits (at most 9, so
  // no overflow), without the general scan.
  if (width > 0 && width <= 9) {
    int digits = 0;
    int result = 0;
    unsigned digit;
    while (digits < width &&
           (digit = static_cast<unsigned char>(text[digits]) - unsigned{'0'}) < 10) {
      result = result * 10 + static_cast<int>(digit);
      ++digits;
    }
    if (digits == width) {
      *value = result;
      return true;
    }
  }
  ScannedNumber number;
  if (!ScanNumber(text, width, 10, &number)) return false;
  // strtol's rules, then the narrowing to int that scanf's store makes.
  constexpr uint64_t kMinMagnitude = uint64_t{1} << 63;
  int64_t wide;
  if (number.negative) {
    wide = number.overflow || number.magnitude >= kMinMagnitude
               ? INT64_MIN
               : -static_cast<int64_t>(number.magnitude);
  } else {
    wide = number.overflow || number.magnitude > INT64_MAX ? INT64_MAX
                                                           : static_cast<int64_t>(number.magnitude);
  }
  *value = static_cast<int>(wide);
  return true;
}

bool ScanHex(const char* text, int width, unsigned* value) {
  // The common case, a checksum of a few hexadecimal digits without sign,
  // space or "0x", when no width cuts it short.
  if (width < 0 && !(text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))) {
    uint64_t result = 0;
    int digits = 0;
    int digit;
    while (digits < 16 && (digit = DigitValue(static_cast<unsigned char>(text[digits]), 16)) >= 0) {
      result = result * 16 + static_cast<uint64_t>(digit);
      ++digits;
    }
    if (digits > 0 && digits < 16) {
      *value = static_cast<unsigned>(result);
      return true;
    }
  }
  ScannedNumber number;
  if (!ScanNumber(text, width, 16, &number)) return false;
  // strtoul's rules: all ones on overflow whatever the sign, otherwise a
  // minus sign negates modulo 2^64. scanf then keeps the low 32 bits.
  uint64_t wide = number.overflow   ? UINT64_MAX
                  : number.negative ? 0 - number.magnitude
                                    : number.magnitude;
  *value = static_cast<unsigned>(wide);
  return true;
}

namespace {

// The XOR of the bytes in [p, end), as unsigned values: eight at a time,
// then the eight lanes folded into one byte.
unsigned XorBytes(const char* p, const char* end) {
  uint64_t lanes = 0;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    lanes ^= word;
    p += 8;
  }
  lanes ^= lanes >> 32;
  lanes ^= lanes >> 16;
  lanes ^= lanes >> 8;
  auto sum = static_cast<unsigned>(lanes & 0xFF);
  for (; p < end; ++p) sum ^= static_cast<unsigned char>(*p);
  return sum;
}

}  // namespace

int CheckNmeaChecksum(const char* line) {
  if (line[0] != '$') return kChecksumNoDollar;
  const char* p = std::strchr(line + 1, '*');  // null when the text ends first
  if (p == nullptr) return kChecksumNoStar;
  unsigned sum = XorBytes(line + 1, p);
  unsigned value = 0;  // stays 0 when no number can be read
  ScanHex(p + 1, -1, &value);
  if (value == 0 && p[1] != '0') return kChecksumUnreadable;
  return value == sum ? kChecksumOk : kChecksumMismatch;
}

namespace {

// Reads a coordinate field of `digits` degree digits and decimal minutes,
// then its hemisphere field: `positive` or `negative` and a comma.
// ReadDegrees makes sure the degree digits lie inside the field, so the
// scans after it start inside the line. On success *next is the field after
// the hemisphere's.
inline bool ReadCoordinateField(const char* field, int digits, char positive, char negative, double* value,
                         const char** next) {
  int degrees = 0;
  if (!ReadDegrees(field, digits, &degrees)) return false;
  double minutes = ParseDouble(field + digits);
  *value = minutes * kDegreesPerMinute + degrees;
  const char* comma = FindComma(field + digits);
  if (comma == nullptr) return false;
  if (comma[1] == negative) {
    *value = -*value;
  } else if (comma[1] != positive) {
    return false;
  }
  if (comma[2] != ',') return false;
  *next = comma + 3;
  return true;
}

// Reads the latitude and longitude fields from `field` on, each with its
// hemisphere, into `point`, and checks their ranges: kReadOk or the
// reader's result for the first field at fault.
[[gnu::always_inline]] inline int ReadPosition(const char* field, TrackPoint* point) {
  if (!ReadCoordinateField(field, kLatitudeDegreeDigits, 'N', 'S', &point->latitude, &field)) {
    return kNmeaBadLatitude;
  }
  if (!ReadCoordinateField(field, kLongitudeDegreeDigits, 'E', 'W', &point->longitude, &field)) {
    return kNmeaBadLongitude;
  }
  if (!LatitudeInRange(point->latitude) || !LongitudeInRange(point->longitude)) {
    return kNmeaBadLatitude;
  }
  return kReadOk;
}

bool IsGprmc(const unsigned char* line, ptrdiff_t length) {
  return length >= kRmcPrefixLength && std::memcmp(line, kRmcPrefix, kRmcPrefixLength) == 0;
}

bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

// "$", two upper-case letters and the four bytes of `type`, in the first
// `length` bytes.
bool IsTalkerPrefix(const unsigned char* line, ptrdiff_t length, const char* type) {
  return length >= kRmcPrefixLength && line[0] == '$' && IsUpper(line[1]) && IsUpper(line[2]) &&
         std::memcmp(line + 3, type, 4) == 0;
}

// Passes over the next line when it lies whole in the read window and is
// not a sentence the reader wants (Wanted(line, length, type)): such a line
// only needs its first bytes compared, not copying. False, with the stream
// at the line's start, when ReadTextLine must read it.
template <typename Wanted>
bool SkipOtherSentence(ByteStream* in, Wanted wanted) {
  unsigned char* p = in->next;
  unsigned char* end = in->end;
  while (p < end && EndsLine(*p)) ++p;
  in->next = p;
  unsigned char* line_end = FindLineEnd(p, end);
  if (line_end == end) return false;
  if (wanted(p, line_end - p)) return false;
  in->next = line_end + 1;
  return true;
}

// The fields of an RMC sentence whose name has been checked, by the
// device's rules; `length` is the line's.
[[gnu::always_inline]] inline int ReadRmcFields(const char* line, int length, TrackPoint* point) {
  if (CheckNmeaChecksum(line) != kChecksumOk) return kNmeaBadChecksum;

  // The time field is passed over. A line that ends before the scan's start
  // has no time field at all.
  if (length < kTimeFieldOffset) return kNmeaBadLatitude;
  const char* comma = FindComma(line + kTimeFieldOffset);
  if (comma == nullptr) return kNmeaBadLatitude;
  if (comma[1] != 'A' || comma[2] != ',') return kNmeaNoFix;

  // Latitude: two digits of degrees, then decimal minutes; longitude: three.
  const char* field = comma + 3;
  return ReadPosition(field, point);
}

// The last fix taken in a fallback mode: its time field, for the repeat test.
char g_fix_time[kLineBufferSize];
int g_fix_time_length = 0;

// True when the fix of the sentence `line` is not a repeat of the fix taken
// before it, and remembers its time. The time field is the text between the
// first and the second comma; an empty one never counts as a repeat, since
// it cannot tell two fixes apart.
bool TakeFixOnce(const char* line) {
  const char* time = line + kRmcPrefixLength;
  const char* end = std::strchr(time, ',');
  if (end == nullptr || end == time) return true;
  auto length = static_cast<int>(end - time);
  if (length == g_fix_time_length &&
      std::memcmp(time, g_fix_time, static_cast<size_t>(length)) == 0) {
    return false;
  }
  std::memcpy(g_fix_time, time, static_cast<size_t>(length));
  g_fix_time_length = length;
  return true;
}

int ReadGgaFields(const char* line, TrackPoint* point) {
  if (CheckNmeaChecksum(line) != kChecksumOk) return kNmeaBadChecksum;
  const char* quality = GgaQualityField(line);
  if (quality == nullptr || !IsGgaFixQuality(quality)) return kNmeaNoFix;
  // The quality field lies five commas on, so the time field's comma exists.
  const char* field = FindComma(line + kRmcPrefixLength) + 1;
  return ReadPosition(field, point);
}

// The fallback modes: RMC or GGA of any talker, each fix once.
int ReadFallbackNmeaPoint(TrackPoint* point) {
  const char* type = NmeaReadMode == kNmeaAnyRmc ? "RMC," : "GGA,";
  auto wanted = [type](const unsigned char* p, ptrdiff_t length) {
    return IsTalkerPrefix(p, length, type);
  };
  if (SkipOtherSentence(InputStream, wanted)) return kNmeaNotRmc;
  int length = ReadTextLine(InputStream, LineBuffer, kLineLimit);
  if (length < 0) return kReadEnd;
  const char* line = LineBuffer;
  if (!IsTalkerSentence(line, type)) return kNmeaNotRmc;
  int result =
      NmeaReadMode == kNmeaAnyRmc ? ReadRmcFields(line, length, point) : ReadGgaFields(line, point);
  if (result != kReadOk) return result;
  return TakeFixOnce(line) ? kReadOk : kNmeaRepeatedFix;
}

}  // namespace

void ResetNmeaFixTime() { g_fix_time_length = 0; }

bool IsTalkerSentence(const char* line, const char* type) {
  return line[0] == '$' && IsUpper(static_cast<unsigned char>(line[1])) &&
         IsUpper(static_cast<unsigned char>(line[2])) && std::strncmp(line + 3, type, 4) == 0;
}

bool IsGgaFixQuality(const char* quality) {
  char q = quality[0];
  return (q == '1' || q == '2' || q == '4' || q == '5') && (quality[1] == ',' || quality[1] == '*');
}

const char* GgaQualityField(const char* line) {
  // Time, latitude, hemisphere, longitude, hemisphere, then the quality.
  const char* comma = line + kRmcPrefixLength - 1;
  for (int field = 0; field < 5; ++field) {
    comma = FindComma(comma + 1);
    if (comma == nullptr) return nullptr;
  }
  return comma + 1;
}

int ReadNmeaPoint(TrackPoint* point) {
  if (NmeaReadMode != kNmeaGprmcOnly) return ReadFallbackNmeaPoint(point);
  return ReadGprmcPoint(point);
}

int ReadGprmcPoint(TrackPoint* point) {
  // Most lines of a receiver's log are other sentences (GGA, GSA, GSV).
  if (SkipOtherSentence(InputStream, IsGprmc)) return kNmeaNotRmc;
  int length = ReadTextLine(InputStream, LineBuffer, kLineLimit);
  if (length < 0) return kReadEnd;
  const char* line = LineBuffer;
  if (length < kRmcPrefixLength || std::memcmp(line, kRmcPrefix, kRmcPrefixLength) != 0) {
    return kNmeaNotRmc;
  }
  return ReadRmcFields(line, length, point);
}
