// Key and glyph translation for the terminal backend.
#include "backends/terminal/terminal_map.h"

#include <cwchar>
#include <vector>

#include "backends/terminal/terminal_curses.h"
#include "host/text.h"

namespace {

// Shown for what the terminal cannot draw; '?' where the locale has no
// replacement character (a non-UTF-8 terminal).
wchar_t StandIn() {
  return wcwidth(L'\uFFFD') == 1 ? L'\uFFFD' : L'?';
}


InputEvent Key(int virtual_key, int modifiers) {
  return InputEvent{kEventKey, virtual_key, modifiers, 0, 0, 0};
}

}  // namespace

bool KeyToInput(int code, bool function_key, InputEvent* event) {
  if (function_key) {
    if (code == KEY_F(1)) *event = Key(VK_F1, 0);
    else if (code == KEY_F(2)) *event = Key(VK_F2, 0);
    else if (code == KEY_ENTER) *event = Key(kVkReturn, 0);
    else if (code == KEY_BACKSPACE) *event = Key(kVkBack, 0);
    else return false;
    return true;
  }
  switch (code) {
    case '\b':
    case 0x7F:
      *event = Key(kVkBack, 0);
      return true;
    case '\t':
      *event = Key(kVkTab, 0);
      return true;
    case '\r':
    case '\n':
      *event = Key(kVkReturn, 0);
      return true;
    case 0x1B:
      *event = Key(kVkEscape, 0);
      return true;
    default:
      break;
  }
  // Ctrl+letter arrives as 1..26; the terminal no longer keeps Ctrl+Q and
  // Ctrl+S for flow control.
  if (code >= 1 && code <= 26) *event = Key('A' + code - 1, kModControl);
  else if (code >= 'a' && code <= 'z') *event = Key(code - 'a' + 'A', 0);
  else if (code >= 'A' && code <= 'Z') *event = Key(code, kModShift);
  else if (code >= '0' && code <= '9') *event = Key(code, 0);
  else return false;
  return true;
}

bool NavigationToInput(int code, bool function_key, InputEvent* event) {
  if (!function_key) return false;
  switch (code) {
    case KEY_UP: *event = Key(VK_UP, 0); return true;
    case KEY_DOWN: *event = Key(VK_DOWN, 0); return true;
    case KEY_PPAGE: *event = Key(VK_PRIOR, 0); return true;
    case KEY_NPAGE: *event = Key(VK_NEXT, 0); return true;
    case KEY_HOME: *event = Key(VK_HOME, 0); return true;
    case KEY_END: *event = Key(VK_END, 0); return true;
    case KEY_LEFT: *event = Key(VK_LEFT, 0); return true;
    case KEY_RIGHT: *event = Key(VK_RIGHT, 0); return true;
    case KEY_DC: *event = Key(VK_DELETE, 0); return true;
    case KEY_IC: *event = Key(VK_INSERT, 0); return true;
    case KEY_BTAB: *event = Key(VK_TAB, kModShift); return true;
    default: return false;
  }
}

bool ParseSgrMouse(std::string_view body, MouseReport* report) {
  // Three decimal numbers separated by ';', then the final 'M' or 'm'.
  long numbers[3] = {0, 0, 0};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    size_t digits = 0;
    while (at < body.size() && body[at] >= '0' && body[at] <= '9') {
      if (numbers[i] < 100000) numbers[i] = numbers[i] * 10 + (body[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || at >= body.size()) return false;
    char c = body[at++];
    if (i < 2 ? c != ';' : c != 'M' && c != 'm') return false;
  }
  if (at != body.size() || numbers[1] < 1 || numbers[2] < 1) return false;
  long button = numbers[0];
  bool release = body.back() == 'm';
  *report =
      MouseReport{kMouseNone, static_cast<int>(numbers[1] - 1), static_cast<int>(numbers[2] - 1)};
  // Bits 2-4 are Shift, Meta and Control; 32 a motion; 64 the wheel.
  long kind = button & ~28L;
  if (kind == 0 && release) report->action = kMouseRelease;
  if (kind == 64 && !release) report->action = kMouseWheelUp;
  if (kind == 65 && !release) report->action = kMouseWheelDown;
  return true;
}

int NextGlyph(std::u16string_view text, size_t* at, wchar_t* glyph) {
  char16_t c = text[*at];
  char32_t point = c;
  *at += 1;
  if (IsHighSurrogate(c) && *at < text.size() && IsLowSurrogate(text[*at])) {
    point = CombineSurrogates(c, text[*at]);
    *at += 1;
  } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
    // A lone surrogate: a byte of a host name that was not UTF-8.
    *glyph = StandIn();
    return 1;
  }
  // Controls, and the bidirectional ones that would reorder the line.
  if (point < 0x20 || (point >= 0x7F && point < 0xA0) || IsBidiControl(point)) {
    *glyph = StandIn();
    return 1;
  }
  int width = wcwidth(static_cast<wchar_t>(point));
  if (width < 0) {
    *glyph = StandIn();
    return 1;
  }
  *glyph = static_cast<wchar_t>(point);
  return width;
}

std::wstring FitGlyphs(std::u16string_view text, int columns, int* width) {
  std::wstring glyphs;
  int used = 0;
  size_t at = 0;
  while (at < text.size()) {
    wchar_t glyph = 0;
    int glyph_width = NextGlyph(text, &at, &glyph);
    if (glyph_width == 0 && glyphs.empty()) continue;  // a mark with nothing to join
    if (used + glyph_width > columns) break;
    glyphs += glyph;
    used += glyph_width;
  }
  if (width != nullptr) *width = used;
  return glyphs;
}

size_t TailThatFits(std::u16string_view text, int columns) {
  struct Glyph {
    size_t start;
    int width;
  };
  std::vector<Glyph> glyphs;
  size_t at = 0;
  while (at < text.size()) {
    size_t start = at;
    wchar_t glyph = 0;
    glyphs.push_back(Glyph{start, NextGlyph(text, &at, &glyph)});
  }
  int used = 0;
  size_t start = text.size();
  for (size_t i = glyphs.size(); i-- > 0;) {
    if (used + glyphs[i].width > columns) break;
    used += glyphs[i].width;
    start = glyphs[i].start;
  }
  return start;
}
