#include "common/numbers.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

// Blank, or one of \t \n \v \f \r (9 to 13).
bool IsCSpace(char c) { return c == ' ' || static_cast<unsigned char>(c) - 9u < 5u; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The plain form "ddd.ddd" converts exactly as m / 10^k when the digits m
// fit in 53 bits and k is at most 22: both are then exact doubles and one
// IEEE division rounds correctly, as the general conversion does. Returns
// false for anything else (an exponent, more digits), which then takes the
// general path.
bool ParseSimpleDecimal(const char* s, double* value) {
  static constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr int kMaxDigits = 19;  // 19 digits never overflow 64 bits
  constexpr uint64_t kExactLimit = uint64_t{1} << 53;
  uint64_t mantissa = 0;
  const char* start = s;
  unsigned digit;
  while ((digit = static_cast<unsigned char>(*s) - unsigned{'0'}) < 10) {
    mantissa = mantissa * 10 + digit;
    ++s;
  }
  int digits = static_cast<int>(s - start);
  int decimals = 0;
  if (*s == '.') {
    const char* fraction = ++s;
    // Past 19 digits the mantissa wraps (unsigned arithmetic); the count
    // below then sends the number to the general path.
    while ((digit = static_cast<unsigned char>(*s) - unsigned{'0'}) < 10) {
      mantissa = mantissa * 10 + digit;
      ++s;
    }
    decimals = static_cast<int>(s - fraction);
    digits += decimals;
  }
  if (digits > kMaxDigits || decimals > 22 || mantissa > kExactLimit) return false;
  if (*s == 'e' || *s == 'E') return false;
  *value = static_cast<double>(mantissa) / kPowersOf10[decimals];
  return true;
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Past the characters a number can be made of (decimal, or hexadecimal with a
// "p" exponent); from_chars stops at the first that does not fit, so this
// only bounds its work.
const char* NumberEnd(const char* s) {
  while (IsHexDigit(*s) || *s == '.' || *s == 'p' || *s == 'P' || *s == '+' || *s == '-') ++s;
  return s;
}

// A number from_chars found out of range, as strtod gives it: infinity when
// the magnitude is too large, zero when too small. The order of magnitude
// decides: where the first nonzero digit stands relative to the point, plus
// the exponent (a power of ten, or of two for hexadecimal digits).
double OutOfRange(const char* s, const char* end, bool hex) {
  int64_t order = 0;
  while (s < end && *s == '0') ++s;
  if (s < end && *s == '.') {
    for (++s; s < end && *s == '0'; ++s) --order;
  } else {
    for (; s < end && IsHexDigit(*s) && !(!hex && (*s == 'e' || *s == 'E')); ++s) ++order;
  }
  while (s < end && *s != (hex ? 'p' : 'e') && *s != (hex ? 'P' : 'E')) ++s;
  int64_t exponent = 0;
  if (s < end) {
    ++s;
    bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    for (; s < end && IsDigit(*s); ++s) {
      if (exponent < 100000000) exponent = exponent * 10 + (*s - '0');
    }
    if (negative) exponent = -exponent;
  }
  if (hex) order *= 4;
  return order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// "inf", "infinity" or "nan", "nan(chars)" in any case, as strtod reads them,
// into *value. False for anything else.
bool ParseSpecial(const char* s, double* value) {
  auto starts = [&](const char* word) {
    for (size_t i = 0; word[i] != 0; ++i) {
      if ((s[i] | 0x20) != word[i]) return false;
    }
    return true;
  };
  if (starts("inf")) {
    *value = std::numeric_limits<double>::infinity();
    return true;
  }
  if (starts("nan")) {
    *value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  return false;
}

}  // namespace

double ParseDouble(const char* text) {
  const char* s = text;
  while (IsCSpace(*s)) ++s;
  const char* body = s;
  bool negative = false;
  if (*body == '+' || *body == '-') {
    negative = *body == '-';
    ++body;
  }
  // Everything goes through from_chars, which rounds exactly and knows no
  // locale, on every C runtime alike (strtod_l reads no hexadecimal, "inf" or
  // "nan" on some). The sign is taken here, as from_chars takes none.
  double value = 0.0;
  if (IsDigit(*body) || (*body == '.' && IsDigit(body[1]))) {
    bool hex = body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    const char* digits = hex ? body + 2 : body;
    auto format = hex ? std::chars_format::hex : std::chars_format::general;
    if (!hex && ParseSimpleDecimal(body, &value)) return negative ? -value : value;
    // "0x" with no hexadecimal digits after it is the number 0 followed by
    // "x" (from_chars would take a sign there).
    if (hex && !IsHexDigit(digits[0]) && !(digits[0] == '.' && IsHexDigit(digits[1]))) {
      return negative ? -0.0 : 0.0;
    }
    auto [stop, error] = std::from_chars(digits, NumberEnd(digits), value, format);
    if (error == std::errc::result_out_of_range) value = OutOfRange(digits, stop, hex);
  } else if (!ParseSpecial(body, &value)) {
    return 0.0;  // no number at all, whatever sign came before
  }
  return negative ? -value : value;
}
