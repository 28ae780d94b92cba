// The terminal backend: the frames the platform pushes shown with curses;
// keys, clicks and the wheel turned into input events.
#include "backends/terminal/terminal_backend.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cwchar>
#include <string>

#include "backends/terminal/terminal_curses.h"
#include "backends/terminal/terminal_map.h"
#include "backends/terminal/terminal_session.h"

namespace {

CloseOnce g_close;           // the message loop was told the windows close
int g_close_signal = 0;      // kept after the terminal is given back

// Box characters as curses draws them on any terminal, and the check mark
// where the locale cannot show it; null for an ordinary character.
const cchar_t* BoxGlyph(char16_t c) {
  switch (c) {
    case u'\u2500': return WACS_HLINE;
    case u'\u2502': return WACS_VLINE;
    case u'\u250C': return WACS_ULCORNER;
    case u'\u2510': return WACS_URCORNER;
    case u'\u2514': return WACS_LLCORNER;
    case u'\u2518': return WACS_LRCORNER;
    case u'\u251C': return WACS_LTEE;
    case u'\u2524': return WACS_RTEE;
    default: return nullptr;
  }
}

attr_t Attributes(unsigned char mark) {
  return (mark & kMarkReverse) ? A_REVERSE : A_NORMAL;
}

// Draws `text` from row, column in at most `width` columns; returns the
// columns used.
int DrawText(int row, int column, std::u16string_view text, int width, attr_t attributes) {
  if (row < 0 || row >= LINES || column < 0 || column >= COLS) return 0;
  if (width > COLS - column) width = COLS - column;
  int used = 0;
  std::wstring glyphs = FitGlyphs(text, width, &used);
  wattr_set(stdscr, attributes, 0, nullptr);
  mvwaddnwstr(stdscr, row, column, glyphs.c_str(), static_cast<int>(glyphs.size()));
  wattr_set(stdscr, A_NORMAL, 0, nullptr);
  return used;
}

// One row of cells: runs of equal marks as text, box characters and the
// check mark one by one.
void DrawRow(const Frame& screen, int row) {
  size_t base = static_cast<size_t>(row) * static_cast<size_t>(screen.columns);
  const char16_t* cells = screen.cells + base;
  const unsigned char* marks = screen.marks + base;
  int column = 0;
  int start = 0;
  auto flush = [&](int end) {
    if (end > start) {
      column += DrawText(row, column, std::u16string_view(cells + start, static_cast<size_t>(end - start)),
                         COLS - column, Attributes(marks[start]));
    }
  };
  for (int i = 0; i < screen.columns; ++i) {
    const cchar_t* box = BoxGlyph(cells[i]);
    bool check = cells[i] == u'\u2713' && wcwidth(L'\u2713') != 1;
    if (box == nullptr && !check && marks[i] == marks[start]) continue;
    flush(i);
    start = i;
    if (box == nullptr && !check) continue;
    if (column < COLS) {
      wattr_set(stdscr, Attributes(marks[i]), 0, nullptr);
      if (box != nullptr) {
        mvwadd_wch(stdscr, row, column, box);
      } else {
        mvwaddnwstr(stdscr, row, column, L"*", 1);
      }
      wattr_set(stdscr, A_NORMAL, 0, nullptr);
    }
    ++column;
    start = i + 1;
  }
  flush(screen.columns);
}

void Present(const Frame& screen) {
  if (!EnsureScreen()) return;
  werase(stdscr);
  for (int row = 0; row < screen.rows && row < LINES; ++row) DrawRow(screen, row);
  if (screen.cursor_row >= 0) {
    wmove(stdscr, screen.cursor_row, screen.cursor_column);
    curs_set(1);
  } else {
    curs_set(0);
  }
  wnoutrefresh(stdscr);
  doupdate();
}

int Start() {
  g_close = CloseOnce();
  g_close_signal = 0;
  return OpenTerminal();
}

void Stop() {
  g_close_signal = CloseSignal();
  CloseTerminal();
}

void ScreenSizeNow(int* columns, int* rows) {
  if (EnsureScreen()) {
    *columns = COLS;
    *rows = LINES;
    return;
  }
  struct winsize size;
  bool known = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
  *columns = known ? size.ws_col : 80;
  *rows = known ? size.ws_row : 24;
}

int NextInput(InputEvent* event, int watch_fd) {
  for (;;) {
    TermEvent taken;
    WaitTermEvent(&taken, watch_fd);
    switch (taken.kind) {
      case kTermChar:
      case kTermKey:
      {
        bool printable = taken.kind == kTermChar && taken.code >= 0x20 && taken.code != 0x7F;
        bool known = KeyToInput(taken.code, taken.kind == kTermKey, event) ||
                     NavigationToInput(taken.code, taken.kind == kTermKey, event);
        // A character with no key of its own still types in a dialog.
        if (!known && printable) *event = InputEvent{kEventKey, 0, 0, 0, 0, 0};
        if (!known && !printable) break;
        event->character = printable ? taken.code : 0;
        return kEventKey;
      }
      case kTermClick: {
        int kind = taken.code == 1 ? kEventDoubleClick : kEventClick;
        *event = InputEvent{kind, 0, 0, taken.column, taken.row, 0};
        return kind;
      }
      case kTermWheel:
        *event = InputEvent{kEventWheel, taken.code, 0, taken.column, taken.row, 0};
        return kEventWheel;
      case kTermResize:
        return kEventResize;
      case kTermWatch:
        return kEventWatch;
      case kTermClose:
        event->kind = CloseEventKind(&g_close);
        return event->kind;
      default:
        return kEventEnd;
    }
  }
}

void BringForward() {
  // A terminal cannot be raised: it flashes and beeps instead.
  if (!EnsureScreen()) return;
  beep();
  flash();
}

const PlatformBackend kTerminal = {"terminal", Start,     Stop,        ScreenSizeNow,
                                   Present,    NextInput, BringForward};

}  // namespace

const PlatformBackend* TerminalBackend() {
  return &kTerminal;
}

int TerminalCloseSignal() {
  return g_close_signal != 0 ? g_close_signal : CloseSignal();
}
