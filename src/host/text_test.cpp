// What reaches a terminal of a name: controls, bidirectional controls and
// bytes that are not UTF-8 shown escaped, everything else as it is.
#include "host/text.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapeForTerminalTest, ControlsBidiAndBadBytes) {
  struct Case {
    std::string in;
    std::string out;
    bool keep_newlines;
  } cases[] = {
      // Plain names, backslashes and other scripts print exactly as they are.
      {"track.plt", "track.plt", false},
      {"\\My Documents\\Tracks.bin", "\\My Documents\\Tracks.bin", false},
      {"Stra\xC3\x9F" "e \xE5\x9C\xB0\xE5\x9B\xBE \xF0\x9F\x98\x80", "Stra\xC3\x9F" "e \xE5\x9C\xB0\xE5\x9B\xBE \xF0\x9F\x98\x80", false},
      // C0, DEL and C1 (U+009B, the one-byte CSI) in one style.
      {"t\x1b]2;PWNED\a\x1b[2J.plt", "t\\x1b]2;PWNED\\x07\\x1b[2J.plt", false},
      {std::string("a\0b", 3), "a\\x00b", false},
      {"a\tb\rc\x7f", "a\\x09b\\x0dc\\x7f", false},
      {"a\xC2\x9B" "31m", "a\\x9b31m", false},
      // Bidirectional controls: U+202E reverses what follows it.
      {"evil\xE2\x80\xAEgpx.exe", "evil\\u202egpx.exe", false},
      {"\xE2\x80\xAA\xE2\x81\xA6\xE2\x81\xA9", "\\u202a\\u2066\\u2069", false},
      {"\xE2\x80\xA9", "\xE2\x80\xA9", false},  // a paragraph separator is no control
      // Bytes that are not UTF-8: a lone byte, a cut sequence, an overlong one.
      {"a\xFF" "b", "a\\xffb", false},
      {"a\xE2\x80", "a\\xe2\\x80", false},
      {"\xC0\xAF", "\\xc0\\xaf", false},
      // Line ends of the log stay when asked to; a carriage return never does.
      {"one\ntwo\r\n", "one\\x0atwo\\x0d\\x0a", false},
      {"one\ntwo\r\n", "one\ntwo\\x0d\n", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeForTerminal(c.in, c.keep_newlines), c.out) << c.in;
  }
}

TEST(EscapeForTerminalTest, NoEscapeByteSurvives) {
  // Every byte value, alone and after a lead byte: no ESC and no C1 control
  // comes out raw.
  for (int lead : {-1, 0xC2, 0xE2}) {
    for (int b = 0; b < 256; ++b) {
      std::string in;
      if (lead >= 0) in += static_cast<char>(lead);
      in += static_cast<char>(b);
      std::string out = EscapeForTerminal(in);
      EXPECT_EQ(out.find('\x1b'), std::string::npos) << lead << " " << b;
      EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos) << lead << " " << b;
      for (unsigned char c : out) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << lead << " " << b;
    }
  }
}

}  // namespace
