// The NMEA scanners against the C runtime's own sscanf on generated text.
// msvcrt's sscanf reads some of these differently, so this comparison runs on
// POSIX hosts only; the fixed values of nmea_reader_test.cpp hold everywhere.
#include <cstdio>
#include <random>
#include <string>

#include "readers/nmea_reader.h"
#include "reader_test_util.h"

namespace {

TEST(NmeaScanners, MatchRuntimeSscanf) {
  // Strings of the bytes that matter to the scanners, against the runtime's
  // sscanf (the tests run in the "C" locale). A failed read keeps the value.
  const std::string alphabet = " \t\v\r+-0123456789aAfFxXg,.*\x80\xff";
  const char* formats[] = {"%1d", "%2d", "%3d", "%d", "%x", "%1x", "%2x", "%3x"};
  const int widths[] = {1, 2, 3, -1, -1, 1, 2, 3};
  std::mt19937 random(4807038);
  for (int i = 0; i < 200000; ++i) {
    std::string text = RandomBytes(&random, random() % 8, alphabet);
    // Long digit runs reach the conversion's overflow rules.
    if (i % 10 == 0) text += RandomBytes(&random, 10 + random() % 20, "0123456789abcdef");
    for (int f = 0; f < 8; ++f) {
      SCOPED_TRACE(std::string(formats[f]) + " on \"" + text + "\"");
      unsigned expected = 0xABCDu, actual = 0xABCDu;
      int read = std::sscanf(text.c_str(), formats[f], &expected);
      bool scanned = f < 4 ? ScanDecimal(text.c_str(), widths[f], reinterpret_cast<int*>(&actual))
                           : ScanHex(text.c_str(), widths[f], &actual);
      ASSERT_EQ(scanned, read == 1);
      ASSERT_EQ(actual, expected);
    }
  }
}

}  // namespace
