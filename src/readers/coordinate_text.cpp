#include "readers/coordinate_text.h"

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
}

bool ReadNumberText(const char* text, size_t size, double* value) {
  const char* end = text + size;
  while (text < end && IsXmlSpace(*text)) ++text;
  while (end > text && IsXmlSpace(end[-1])) --end;
  const char* number_end = NumberEnd(text, end);
  if (number_end != end) return false;
  char copy[kCoordinateTextSize];
  auto length = static_cast<size_t>(end - text);
  if (length >= sizeof copy) return false;
  std::memcpy(copy, text, length);
  copy[length] = 0;
  *value = ParseDouble(copy);
  return true;
}

bool ReadDegrees(const CoordinateText& text, double* value) {
  return !text.overflow && ReadNumberText(text.bytes, text.length, value);
}

bool ReadLonLat(const CoordinateText& text, char separator, TrackPoint* point) {
  if (text.overflow) return false;
  const char* p = text.bytes;
  const char* end = p + text.length;
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
