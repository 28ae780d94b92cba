// ParseDouble against the C runtime's own strtod in the "C" locale, on
// generated text. Only glibc's strtod reads every form atof has (hexadecimal,
// "inf", "nan"), so this comparison runs on POSIX hosts only; the fixed values
// of numbers_test.cpp hold everywhere.
#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/numbers.h"

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
  } else {
    EXPECT_EQ(got, expected) << text;
  }
  EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
}

TEST(ParseDouble, AgreesWithTheRuntimeOnGeneratedText) {
  std::mt19937 random(20261207);
  const std::string alphabet = "0123456789.-+eExXpPnaif, ";
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
  // Magnitudes at the edges of the range, decimal and hexadecimal.
  for (int i = 0; i < 20000; ++i) {
    std::string text = (random() % 2 ? "0x" : "") + std::to_string(random() % 100000) + "." +
                       std::to_string(random() % 1000) + (random() % 2 ? "e" : "p") +
                       (random() % 2 ? "-" : "") + std::to_string(random() % 1200);
    ExpectSameAsAtof(text);
    ExpectSameAsAtof("0.000" + text);
  }
}

}  // namespace
