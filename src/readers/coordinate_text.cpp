#include "readers/coordinate_text.h"

#include <cstdint>
#include <cstring>

#include "common/numbers.h"
#include "readers/plt_reader.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the number that starts at `p`, or null when none starts there.
const char* NumberEnd(const char* p, const char* end) {
  if (p < end && (*p == '-' || *p == '+')) ++p;
  const char* digits = p;
  while (p < end && IsDigit(*p)) ++p;
  bool whole = p > digits;
  bool fraction = false;
  if (p < end && *p == '.') {
    const char* fraction_digits = ++p;
    while (p < end && IsDigit(*p)) ++p;
    fraction = p > fraction_digits;
  }
  if (!whole && !fraction) return nullptr;
  if (p < end && (*p == 'e' || *p == 'E')) {
    const char* exponent = p + 1;
    if (exponent < end && (*exponent == '-' || *exponent == '+')) ++exponent;
    const char* exponent_digits = exponent;
    while (exponent < end && IsDigit(*exponent)) ++exponent;
    if (exponent > exponent_digits) p = exponent;
  }
  return p;
}

}  // namespace

void CoordinateText::Append(const char* text, size_t size) {
  if (length == 0) {
    while (size > 0 && IsXmlSpace(*text)) {
      ++text;
      --size;
    }
  }
  if (size == 0 || overflow) return;
  if (size >= kCoordinateTextSize - length) {
    overflow = true;
    return;
  }
  std::memcpy(bytes + length, text, size);
  length += size;
  bytes[length] = 0;
}

const char* ReadPlainDecimal(const char* p, const char* end, double* value) {
  // m / 10^k is correctly rounded when m < 2^53 and k <= 22 (both are exact
  // doubles and one IEEE division rounds), as the general conversion is.
  static constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  uint64_t mantissa = 0;
  const char* digits = p;
  unsigned digit;
  // Past 19 digits the mantissa wraps (unsigned arithmetic); the count
  // below then refuses the number.
  while (p < end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
    mantissa = mantissa * 10 + digit;
    ++p;
  }
  auto count = static_cast<int>(p - digits);
  int decimals = 0;
  if (p < end && *p == '.') {
    const char* fraction = ++p;
    while (p < end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
      mantissa = mantissa * 10 + digit;
      ++p;
    }
    decimals = static_cast<int>(p - fraction);
    count += decimals;
  }
  if (count == 0 || count > 19 || decimals > 22 || mantissa >= (uint64_t{1} << 53)) return nullptr;
  if (p < end && (*p == 'e' || *p == 'E')) return nullptr;
  double magnitude = static_cast<double>(mantissa) / kPowersOf10[decimals];
  *value = negative ? -magnitude : magnitude;
  return p;
}

bool ReadNumberText(const char* text, size_t size, double* value) {
  const char* end = text + size;
  while (text < end && IsXmlSpace(*text)) ++text;
  while (end > text && IsXmlSpace(end[-1])) --end;
  // Most coordinates have the plain form; anything else must be a whole
  // number of the general form, which ParseDouble reads.
  if (ReadPlainDecimal(text, end, value) == end) return true;
  if (NumberEnd(text, end) != end) return false;
  // The byte at `end` is white space, a separator or the text's
  // terminator, which ends the number there.
  *value = ParseDouble(text);
  return true;
}

bool ReadDegrees(const CoordinateText& text, double* value) {
  return !text.overflow && ReadNumberText(text.bytes, text.length, value);
}

bool ReadLonLat(const CoordinateText& text, char separator, TrackPoint* point) {
  if (text.overflow) return false;
  return ReadLonLatSpan(text.bytes, text.bytes + text.length, separator, point);
}

bool ReadLonLatSpan(const char* p, const char* end, char separator, TrackPoint* point) {
  auto is_separator = [separator](char c) {
    return separator == ' ' ? IsXmlSpace(c) : c == separator;
  };
  const char* fields[2];
  size_t sizes[2];
  for (int i = 0; i < 2; ++i) {
    if (i > 0) {
      if (p == end) return false;
      ++p;  // the separator
      if (separator == ' ') {
        while (p < end && IsXmlSpace(*p)) ++p;
      }
    }
    fields[i] = p;
    while (p < end && !is_separator(*p)) ++p;
    sizes[i] = static_cast<size_t>(p - fields[i]);
  }
  if (!ReadNumberText(fields[0], sizes[0], &point->longitude) ||
      !ReadNumberText(fields[1], sizes[1], &point->latitude)) {
    return false;
  }
  return LatitudeInRange(point->latitude) && LongitudeInRange(point->longitude);
}
