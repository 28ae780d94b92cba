// What the terminal backend translates, kept apart from the screen so it can
// be tested: the keys the terminal reports into the message loop's key
// events, and wide text into the glyphs a terminal row can show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/backend.h"
#include "platform/backend_plumbing.h"

/// Virtual-key codes of the keys the terminal passes on besides F1, F2,
/// letters and digits (whose codes are their upper-case characters).
constexpr int kVkBack = 0x08;
constexpr int kVkTab = 0x09;
constexpr int kVkReturn = 0x0D;
constexpr int kVkEscape = 0x1B;

/// Turns a key curses reported into a key event of the message loop: F1 and
/// F2 (the soft keys), Ctrl+letter (Ctrl+A, Ctrl+Q reach the accelerators),
/// letters, digits, Enter, Esc, Tab and Backspace. `code` is a curses key code
/// when `function_key` is set, else a character. False for anything else.
bool KeyToInput(int code, bool function_key, InputEvent* event);

/// Turns the keys that move in a list or a line into key events: the
/// arrows, Page Up and Down, Home, End, Delete, and Shift+Tab (as VK_TAB
/// with kModShift). False for anything else.
bool NavigationToInput(int code, bool function_key, InputEvent* event);

/// What the mouse did, as the terminal reported it.
constexpr int kMouseNone = 0;     // nothing the program uses (a press, a drag, another button)
constexpr int kMouseRelease = 1;  // the left button went up: a click
constexpr int kMouseWheelUp = 2;
constexpr int kMouseWheelDown = 3;

struct MouseReport {
  int action;  // kMouse*
  int column;  // 0-based
  int row;
};

/// Reads the body of an SGR (1006) mouse report, what follows "ESC [ <":
/// "BUTTON;COLUMN;ROW" and 'M' (press) or 'm' (release), with 1-based
/// cells of any size. False when it is not such a report.
bool ParseSgrMouse(std::string_view body, MouseReport* report);


/// The next glyph of `text` from position *at: a surrogate pair becomes one
/// code point, and what the terminal cannot show (control characters, lone
/// surrogates, characters the locale has no width for) becomes a stand-in.
/// Advances *at past it and returns its width in columns (0 for a combining
/// mark, which joins the glyph before it).
int NextGlyph(std::u16string_view text, size_t* at, wchar_t* glyph);

/// The glyphs of `text` that fit in `columns` columns, as a terminal row
/// shows them: a glyph two columns wide that would cross the edge is left
/// off. Fills *width with the columns used.
std::wstring FitGlyphs(std::u16string_view text, int columns, int* width = nullptr);

/// Where the longest tail of `text` that fits in `columns` starts (for a name
/// being typed, whose end must stay in view).
size_t TailThatFits(std::u16string_view text, int columns);
