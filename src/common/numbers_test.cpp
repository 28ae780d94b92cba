#include "common/numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

double CAtof(const std::string& text) {
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text.c_str(), nullptr, c_locale);
}

void ExpectSameAsAtof(const std::string& text) {
  double expected = CAtof(text);
  double got = ParseDouble(text.c_str());
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(got)) << text;
    EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
  } else {
    EXPECT_EQ(got, expected) << text;
    EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
  }
}

TEST(ParseDouble, AgreesWithTheRuntimeOnTheseForms) {
  const char* cases[] = {
      "48.1375", "  -33.9", "\t+11.575,", "1e3", "1E-3x", "-0", "-0.0", ".5", "-.5", "5.",
      "0x1p4", "0X.8", "-0x10", "inf", "-Infinity", "nan", "-nan", "NaN(123)", "1e999",
      "-1e999", "1e-400", "4.9e-324", "abc", "", "-", "+", ".", "e5", "0x", "1.5e", "1.5e+",
      "007", "1,5", "123456789012345678901234567890", "0.1000000000000000055511151231257827",
      "\v\f\r\n 3", "1e-310", "9007199254740992", "9007199254740993", "900719925474099.3",
      "0.9007199254740993", "12345678901234567890", "1234567890123456789.5",
      "0.0000000000000000000001", "0.00000000000000000000001", "1.000000000000000000001",
  };
  for (const char* text : cases) ExpectSameAsAtof(text);
}

TEST(ParseDouble, AgreesWithTheRuntimeOnGeneratedText) {
  std::mt19937 random(20261207);
  const std::string alphabet = "0123456789.-+eExX pn,a";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    int length = static_cast<int>(random() % 14);
    for (int j = 0; j < length; ++j) text += alphabet[random() % alphabet.size()];
    ExpectSameAsAtof(text);
  }
  // Plain decimals of up to 26 digits: the exact fast path and the general
  // one must meet at the 53-bit and 19-digit limits.
  for (int i = 0; i < 20000; ++i) {
    int length = 1 + static_cast<int>(random() % 26);
    int dot = static_cast<int>(random() % (length + 1));
    std::string text;
    for (int j = 0; j < length; ++j) {
      if (j == dot) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    ExpectSameAsAtof(text);
  }
}

TEST(ParseDouble, IgnoresTheProcessLocale) {
  // A comma-decimal locale must not change how "48.1375" reads. Such a locale
  // may not be installed; then the C locale stands and the check still holds.
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"};
  std::string old = setlocale(LC_ALL, nullptr);
  for (const char* name : names) {
    if (setlocale(LC_ALL, name) != nullptr) break;
  }
  EXPECT_EQ(ParseDouble("48.1375"), 48.1375);
  setlocale(LC_ALL, old.c_str());
}

}  // namespace
