#include "common/numbers.h"

#include <cmath>
#include <clocale>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// The values atof gives in the "C" locale, written out so that every C runtime
// is held to them (some read no hexadecimal, "inf" or "nan").
TEST(ParseDouble, ReadsTheFormsOfAtof) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"48.1375", 48.1375}, {"  -33.9", -33.9}, {"\t+11.575,", 11.575}, {"1e3", 1000.0},
      {"1E-3x", 0.001}, {"-0", -0.0}, {"-0.0", -0.0}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5.0},
      {"007", 7.0}, {"1,5", 1.0}, {"\v\f\r\n 3", 3.0}, {"1.5e", 1.5}, {"1.5e+", 1.5},
      // Hexadecimal, with a binary exponent.
      {"0x1p4", 16.0}, {"0X.8", 0.5}, {"-0x10", -16.0}, {"0x", 0.0}, {"-0x", -0.0},
      {"0x1.8p1", 3.0}, {"0xAp-1", 5.0}, {"0x1p", 1.0}, {"0x1p-1074", 4.9406564584124654e-324},
      {"0x1.fffffffffffff8p1023", kInf},  // rounds up past the largest double
      {"0x1p99999", kInf}, {"0x1p-99999", 0.0}, {"-0x1p-99999", -0.0},
      // Infinity and NaN in any case; "in" is no number.
      {"inf", kInf}, {"-Infinity", -kInf}, {"INFx", kInf}, {"in", 0.0}, {"-in", 0.0},
      {"nan", kNan}, {"-nan", -kNan}, {"NaN(123)", kNan},
      // Out of range: infinity, or zero; subnormals as they are.
      {"1e999", kInf}, {"-1e999", -kInf}, {"1e-400", 0.0}, {"-1e-400", -0.0},
      {"0.0000001e-330", 0.0}, {"12345e305", kInf}, {"0.00001e309", 1e304},
      {"4.9e-324", 4.9406564584124654e-324}, {"1e-310", 1e-310}, {"2e-324", 0.0},
      // No number at all.
      {"abc", 0.0}, {"", 0.0}, {"-", 0.0}, {"+", 0.0}, {".", 0.0}, {"e5", 0.0},
      // Exactly rounded long decimals, on both sides of the 53-bit fast path.
      {"123456789012345678901234567890", 1.2345678901234568e29},
      {"0.1000000000000000055511151231257827", 0.1},
      {"9007199254740992", 9007199254740992.0}, {"9007199254740993", 9007199254740992.0},
      {"900719925474099.3", 900719925474099.25}, {"0.9007199254740993", 0.9007199254740993},
      {"12345678901234567890", 12345678901234567890.0},
      {"0.0000000000000000000001", 1e-22}, {"0.00000000000000000000001", 1e-23},
      {"1.000000000000000000001", 1.0},
  };
  for (const Case& c : cases) {
    double got = ParseDouble(c.text);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(got)) << c.text;
    } else {
      EXPECT_EQ(got, c.value) << c.text;
    }
    EXPECT_EQ(std::signbit(got), std::signbit(c.value)) << c.text;
  }
}

TEST(ParseDouble, IgnoresTheProcessLocale) {
  // A comma-decimal locale must not change how "48.1375" reads. Such a locale
  // may not be installed; then the C locale stands and the check still holds.
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8", "German"};
  std::string old = std::setlocale(LC_ALL, nullptr);
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name) != nullptr) break;
  }
  EXPECT_EQ(ParseDouble("48.1375"), 48.1375);
  std::setlocale(LC_ALL, old.c_str());
}

}  // namespace
