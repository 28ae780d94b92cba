#include "common/numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cstring>

namespace {

locale_t CLocale() {
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c_locale;
}

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
      const char* limit = body + std::strlen(body);
      auto [end, error] = std::from_chars(body, limit, value, std::chars_format::general);
      if (error == std::errc()) return negative ? -value : value;
    }
    return strtod_l(s, nullptr, CLocale());
  }
  if (*body == 'i' || *body == 'I' || *body == 'n' || *body == 'N') {
    return strtod_l(s, nullptr, CLocale());
  }
  return 0.0;
}
