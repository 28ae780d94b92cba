#include "readers/coordinate_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/numbers.h"

namespace {

// The plain form is converted apart from ParseDouble, for speed; its value
// must be the same to the last bit. Random numbers of every length around
// the limits (19 digits, 2^53, 22 decimals), signed or not.
TEST(ReadPlainDecimal, GivesParseDoubleBitForBit) {
  std::mt19937_64 random(20261208);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); };
  int taken = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    int sign = below(4);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    int whole = below(4) == 0 ? below(21) : below(4);
    for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + below(10));
    if (below(5) != 0) {
      text += '.';
      int fraction = below(3) == 0 ? below(25) : below(10);
      for (int d = 0; d < fraction; ++d) text += static_cast<char>('0' + below(10));
    }
    double value = -1.0;
    const char* end = ReadPlainDecimal(text.data(), text.data() + text.size(), &value);
    if (end == nullptr) continue;
    ++taken;
    ASSERT_EQ(end, text.data() + text.size()) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(ParseDouble(text.c_str())))
        << text;
  }
  EXPECT_GT(taken, 100000);
}

TEST(ReadPlainDecimal, TakesOnlyThePlainForm) {
  struct Case {
    const char* text;
    int end;  // bytes taken, or -1 for none
    double value;
  } cases[] = {
      {"8.5417000,47.3", 9, 8.5417},
      {"-47.25 ", 6, -47.25},
      {"+.5", 3, 0.5},
      {"5.", 2, 5.0},
      {"9007199254740991", 16, 9007199254740991.0},  // 2^53 - 1
      {"0.000000000000000001", 20, 1e-18},            // 19 digits
      {"9007199254740992", -1, 0},                    // 2^53: the general path
      {".00000000000000000001", -1, 0},               // 20 digits
      {"1234567890.1234567890", -1, 0},               // 20 digits
      {"1e5", -1, 0},
      {"1.5E-3", -1, 0},
      {".", -1, 0},
      {"-", -1, 0},
      {"", -1, 0},
      {"x1", -1, 0},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    double value = -1.0;
    const char* end = ReadPlainDecimal(text.data(), text.data() + text.size(), &value);
    if (c.end < 0) {
      EXPECT_EQ(end, nullptr) << c.text;
      EXPECT_EQ(value, -1.0) << c.text;
    } else {
      EXPECT_EQ(end, text.data() + c.end) << c.text;
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  // The end bounds the number even where digits go on.
  const char digits[] = "12345";
  double value = 0.0;
  EXPECT_EQ(ReadPlainDecimal(digits, digits + 3, &value), digits + 3);
  EXPECT_EQ(value, 123.0);
}

TEST(ReadNumberText, TakesOneWholeNumber) {
  struct Case {
    const char* text;
    bool number;
    double value;
  } cases[] = {
      {" \t8.5\n", true, 8.5},
      {"-0.0", true, -0.0},
      {"1e3", true, 1000.0},
      {"-2.5E-1", true, -0.25},
      {"12345678901234567890", true, 12345678901234567890.0},
      {"0.1234567890123456789012345", true, 0.1234567890123456789012345},
      {"1e", false, 0},
      {"1.5.2", false, 0},
      {"8.5 47.5", false, 0},
      {"1x", false, 0},
      {".", false, 0},
      {"  ", false, 0},
      {"inf", false, 0},
      {"0x10", false, 0},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    double value = 7.0;
    EXPECT_EQ(ReadNumberText(text.c_str(), text.size(), &value), c.number) << c.text;
    if (c.number) {
      EXPECT_EQ(value, c.value) << c.text;
      EXPECT_EQ(std::signbit(value), std::signbit(c.value)) << c.text;
    }
  }
}

}  // namespace
