#include "common/numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cstdint>

namespace {

locale_t CLocale() {
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c_locale;
}

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

// Past the characters a decimal number can be made of; from_chars stops at
// the first that does not fit, so this only bounds its work.
const char* NumberEnd(const char* s) {
  while (IsDigit(*s) || *s == '.' || *s == 'e' || *s == 'E' || *s == '+' || *s == '-') ++s;
  return s;
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
  // The common case, a plain decimal number, goes through from_chars, which
  // is exact and needs no locale. Hexadecimal forms and values out of range
  // take strtod in the C locale, which handles them the runtime's way.
  if (IsDigit(*body) || (*body == '.' && IsDigit(body[1]))) {
    bool hex = body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    if (!hex) {
      double value = 0.0;
      if (ParseSimpleDecimal(body, &value)) return negative ? -value : value;
      auto [end, error] = std::from_chars(body, NumberEnd(body), value, std::chars_format::general);
      if (error == std::errc()) return negative ? -value : value;
    }
    return strtod_l(s, nullptr, CLocale());
  }
  if (*body == 'i' || *body == 'I' || *body == 'n' || *body == 'N') {
    return strtod_l(s, nullptr, CLocale());
  }
  return 0.0;
}
