// The terminal backend's translations: keys into the message loop's key
// events, and wide text into the glyphs a terminal row shows.
#include "backends/terminal/terminal_map.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "platform/win_defs.h"
#include "backends/terminal/terminal_curses.h"

namespace {

TEST(TerminalMapTest, KeysBecomeVirtualKeys) {
  struct Case {
    int code;
    bool function_key;
    bool passed;
    int virtual_key;
    int modifiers;
  } cases[] = {
      {KEY_F(1), true, true, VK_F1, 0},
      {KEY_F(2), true, true, VK_F2, 0},
      {KEY_F(3), true, false, 0, 0},
      {KEY_UP, true, false, 0, 0},
      {KEY_ENTER, true, true, kVkReturn, 0},
      {KEY_BACKSPACE, true, true, kVkBack, 0},
      // Ctrl+A and Ctrl+Q arrive as control characters; Ctrl+Q only because
      // flow control is off.
      {1, false, true, 'A', kModControl},
      {17, false, true, 'Q', kModControl},
      {26, false, true, 'Z', kModControl},
      {'\r', false, true, kVkReturn, 0},
      {'\n', false, true, kVkReturn, 0},
      {'\t', false, true, kVkTab, 0},
      {0x7F, false, true, kVkBack, 0},
      {'\b', false, true, kVkBack, 0},
      {0x1B, false, true, kVkEscape, 0},
      {'q', false, true, 'Q', 0},
      {'Q', false, true, 'Q', kModShift},
      {'7', false, true, '7', 0},
      {' ', false, false, 0, 0},
      {0xE9, false, false, 0, 0},
  };
  for (const Case& c : cases) {
    InputEvent event = {0, 0, 0, 0, 0, 0};
    ASSERT_EQ(KeyToInput(c.code, c.function_key, &event), c.passed) << c.code;
    if (!c.passed) continue;
    EXPECT_EQ(event.kind, kEventKey) << c.code;
    EXPECT_EQ(event.key, c.virtual_key) << c.code;
    EXPECT_EQ(event.modifiers, c.modifiers) << c.code;
  }
}

// SGR (1006) mouse reports: any column, the left button's release is the
// click, the wheel's presses; everything else is no report or no action.
TEST(TerminalMapTest, SgrMouseReports) {
  struct Case {
    const char* body;
    bool parsed;
    int action;
    int column;
    int row;
  } cases[] = {
      {"0;1;1m", true, kMouseRelease, 0, 0},
      {"0;298;24m", true, kMouseRelease, 297, 23},  // past column 223
      {"0;5;5M", true, kMouseNone, 4, 4},           // the press
      {"16;5;5m", true, kMouseRelease, 4, 4},       // with Ctrl held
      {"2;5;5m", true, kMouseNone, 4, 4},           // the right button
      {"32;5;5M", true, kMouseNone, 4, 4},          // a drag
      {"64;10;3M", true, kMouseWheelUp, 9, 2},
      {"65;10;3M", true, kMouseWheelDown, 9, 2},
      {"0;0;1m", false, 0, 0, 0},  // cells count from 1
      {"0;5m", false, 0, 0, 0},
      {"0;5;5", false, 0, 0, 0},
      {"0;5;5x", false, 0, 0, 0},
      {"0;5;5mm", false, 0, 0, 0},
      {";5;5m", false, 0, 0, 0},
      {"0;99999999999;5m", true, kMouseRelease, 999998, 4},  // held to a bound
      {"", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    MouseReport report = {-1, -1, -1};
    ASSERT_EQ(ParseSgrMouse(c.body, &report), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(report.action, c.action);
    EXPECT_EQ(report.column, c.column);
    EXPECT_EQ(report.row, c.row);
  }
}

TEST(TerminalMapTest, KeysThatMoveOnALineOrAList) {
  struct Case {
    int code;
    int virtual_key;
    int modifiers;
  } cases[] = {
      {KEY_UP, VK_UP, 0},       {KEY_DOWN, VK_DOWN, 0},
      {KEY_LEFT, VK_LEFT, 0},   {KEY_RIGHT, VK_RIGHT, 0},
      {KEY_PPAGE, VK_PRIOR, 0}, {KEY_NPAGE, VK_NEXT, 0},
      {KEY_HOME, VK_HOME, 0},   {KEY_END, VK_END, 0},
      {KEY_DC, VK_DELETE, 0},   {KEY_BTAB, VK_TAB, kModShift},
  };
  for (const Case& c : cases) {
    InputEvent event = {0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(NavigationToInput(c.code, true, &event)) << c.code;
    EXPECT_EQ(event.key, c.virtual_key) << c.code;
    EXPECT_EQ(event.modifiers, c.modifiers) << c.code;
  }
  InputEvent event = {0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(NavigationToInput(KEY_F(5), true, &event));
  EXPECT_FALSE(NavigationToInput('a', false, &event));
}

class TerminalGlyphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    saved_ = current != nullptr ? current : "C";
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  }
  void TearDown() override { std::setlocale(LC_CTYPE, saved_.c_str()); }
  std::string saved_;
};

TEST_F(TerminalGlyphTest, RowsFitTheirColumns) {
  struct Case {
    std::u16string text;
    int columns;
    std::wstring glyphs;
    int width;
  } cases[] = {
      {u"abc", 5, L"abc", 3},
      {u"abcdef", 3, L"abc", 3},
      {u"", 3, L"", 0},
      // A pair of surrogates is one glyph; this one is two columns wide and
      // is left off rather than cut in half.
      {u"a\U0001F600b", 4, L"a\U0001F600b", 4},
      {u"a\U0001F600b", 2, L"a", 1},
      {u"\u5730\u56FE", 3, L"\u5730", 2},
      // Bytes of a non-UTF-8 name, control characters: a stand-in each.
      {std::u16string(1, u'\xDC81') + u"x", 5, L"\uFFFDx", 2},
      {u"a\tb\x1B", 5, L"a\uFFFDb\uFFFD", 4},
      {u"a\u202Eb\u2066", 5, L"a\uFFFDb\uFFFD", 4},
      {std::u16string(1, u'\xD800'), 5, L"\uFFFD", 1},
      // A combining mark joins the glyph before it; alone it is dropped.
      {u"e\u0301t", 2, L"e\u0301t", 2},
      {u"\u0301x", 2, L"x", 1},
  };
  for (const Case& c : cases) {
    int width = -1;
    EXPECT_EQ(FitGlyphs(c.text, c.columns, &width), c.glyphs) << c.columns;
    EXPECT_EQ(width, c.width) << c.columns;
  }
}

TEST_F(TerminalGlyphTest, TailKeepsTheEndInView) {
  struct Case {
    std::u16string text;
    int columns;
    size_t start;
  } cases[] = {
      {u"abcdef", 10, 0},
      {u"abcdef", 3, 3},
      {u"abcdef", 0, 6},
      {u"ab\u5730", 3, 1},
      {u"ab\u5730", 2, 2},
      {u"a\U0001F600", 2, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TailThatFits(c.text, c.columns), c.start) << c.columns;
  }
}

}  // namespace
