// The terminal backend: the screen the window layer composes, drawn with
// curses; keys and clicks for the message loop; the Tools popup above the
// right soft key; dialogs with OK in the caption. The open-file dialog is in
// terminal_file_dialog.cpp.
#include "backends/terminal/terminal_backend.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cwchar>
#include <string>

#include "backends/terminal/terminal_map.h"
#include "backends/terminal/terminal_session.h"
#include "host/text.h"
#include "platform/window_internal.h"
#include "backends/terminal/terminal_internal.h"

namespace {

const MenuView* g_popup = nullptr;  // the popup on show
int g_popup_selected = 0;
bool g_caption_ok = false;  // a dialog with OK in its caption is on show
bool g_loop_closed = false;  // the message loop was told the windows close
int g_close_signal = 0;      // kept after the terminal is given back

struct PopupBox {
  int top;
  int left;
  int width;
  int height;
};

// Above the right soft key, as on the device; pushed down to the row under
// the title when the screen is too low, and cut at the screen's bottom.
PopupBox PopupGeometry(const MenuView* menu) {
  int longest = 0;
  for (int i = 0; i < menu->count; ++i) {
    if (menu->items[i].text != nullptr) {
      int width = 0;
      FitGlyphs(menu->items[i].text, COLS, &width);
      if (width > longest) longest = width;
    }
  }
  int width = longest + 6;  // border, blank, check mark, blank, text, blank, border
  int height = menu->count + 2;
  HWND bar = nullptr;
  ForEachWindow([&](PlatformWindow* w) {
    if (w->kind == kWindowBar && w->visible) bar = w;
  });
  int bottom = (bar != nullptr ? static_cast<int>(bar->rect.top) : LINES) - 1;
  int top = bottom - height + 1 > 1 ? bottom - height + 1 : 1;
  int left = COLS - width > 0 ? COLS - width : 0;
  return PopupBox{top, left, width, height};
}

wchar_t CheckMark() {
  return wcwidth(L'\u2713') == 1 ? L'\u2713' : L'*';
}

void PutCorner(int row, int column, const cchar_t* glyph) {
  if (row >= 0 && row < LINES && column >= 0 && column < COLS) mvwadd_wch(stdscr, row, column, glyph);
}

void DrawLine(int row, int left, int width, const cchar_t* start, const cchar_t* end) {
  if (row < 0 || row >= LINES) return;
  PutCorner(row, left, start);
  for (int c = left + 1; c < left + width - 1 && c < COLS; ++c) mvwadd_wch(stdscr, row, c, WACS_HLINE);
  PutCorner(row, left + width - 1, end);
}

void DrawPopup() {
  PopupBox box = PopupGeometry(g_popup);
  DrawLine(box.top, box.left, box.width, WACS_ULCORNER, WACS_URCORNER);
  for (int i = 0; i < g_popup->count; ++i) {
    int row = box.top + 1 + i;
    if (row >= LINES) break;
    const MenuItemView& item = g_popup->items[i];
    if (item.text == nullptr) {
      DrawLine(row, box.left, box.width, WACS_LTEE, WACS_RTEE);
      continue;
    }
    attr_t attributes = i == g_popup_selected ? A_REVERSE : A_NORMAL;
    PutCorner(row, box.left, WACS_VLINE);
    std::u16string line(static_cast<size_t>(box.width - 2), u' ');
    TerminalDrawText(row, box.left + 1, line, box.width - 2, attributes);
    if (item.checked) {
      wchar_t mark[2] = {CheckMark(), 0};
      wattr_set(stdscr, attributes, 0, nullptr);
      mvwaddnwstr(stdscr, row, box.left + 2, mark, 1);
      wattr_set(stdscr, A_NORMAL, 0, nullptr);
    }
    TerminalDrawText(row, box.left + 4, item.text, box.width - 6, attributes);
    PutCorner(row, box.left + box.width - 1, WACS_VLINE);
  }
  DrawLine(box.top + box.height - 1, box.left, box.width, WACS_LLCORNER, WACS_LRCORNER);
}

// The next item that can be chosen from `from` in `step` direction, round
// the end; `from` itself when there is no other.
int NextChoosable(const MenuView* menu, int from, int step) {
  for (int i = 1; i <= menu->count; ++i) {
    int at = ((from + step * i) % menu->count + menu->count) % menu->count;
    if (menu->items[at].text != nullptr) return at;
  }
  return from;
}

int Start() {
  g_popup = nullptr;
  g_caption_ok = false;
  g_loop_closed = false;
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

int NextInput(InputEvent* event) {
  for (;;) {
    TermEvent taken;
    WaitTermEvent(&taken);
    switch (taken.kind) {
      case kTermChar:
      case kTermKey:
        if (KeyToInput(taken.code, taken.kind == kTermKey, event)) return kInputKey;
        break;
      case kTermClick:
        *event = InputEvent{kInputClick, 0, 0, taken.column, taken.row};
        return kInputClick;
      case kTermResize:
        *event = InputEvent{kInputResize, 0, 0, 0, 0};
        return kInputResize;
      case kTermClose:
        // Once as the system closing the windows; should the loop ask again,
        // there is no more input.
        *event = InputEvent{g_loop_closed ? kInputEnd : kInputClose, 0, 0, 0, 0};
        g_loop_closed = true;
        return event->kind;
      default:
        *event = InputEvent{kInputEnd, 0, 0, 0, 0};
        return kInputEnd;
    }
  }
}

int TrackPopup(const MenuView* menu) {
  if (menu->count <= 0) return 0;
  g_popup = menu;
  g_popup_selected = NextChoosable(menu, -1 + menu->count, 1);
  int chosen = -1;
  while (chosen < 0) {
    TerminalPresent();
    TermEvent event;
    WaitTermEvent(&event);
    const MenuItemView& selected = menu->items[g_popup_selected];
    if (IsEnter(event)) {
      chosen = selected.text != nullptr ? static_cast<int>(selected.id) : 0;
    } else if (IsEscape(event) || event.kind == kTermClose || event.kind == kTermEnd ||
               (event.kind == kTermKey && (event.code == KEY_F(1) || event.code == KEY_F(2)))) {
      chosen = 0;
    } else if (event.kind == kTermKey && (event.code == KEY_UP || event.code == KEY_DOWN)) {
      g_popup_selected = NextChoosable(menu, g_popup_selected, event.code == KEY_UP ? -1 : 1);
    } else if (event.kind == kTermResize) {
      HandleScreenResize();
    } else if (event.kind == kTermClick) {
      PopupBox box = PopupGeometry(menu);
      int item = event.row - box.top - 1;
      bool inside = event.column >= box.left && event.column < box.left + box.width &&
                    event.row >= box.top && event.row < box.top + box.height;
      if (!inside) {
        chosen = 0;
      } else if (item >= 0 && item < menu->count && menu->items[item].text != nullptr) {
        chosen = static_cast<int>(menu->items[item].id);
      }
    }
  }
  g_popup = nullptr;
  return chosen;
}

int RunDialog(const DialogView* dialog) {
  g_caption_ok = dialog->done_button != 0;
  int action = 0;
  while (action == 0) {
    TerminalPresent();
    TermEvent event;
    WaitTermEvent(&event);
    if (IsEnter(event)) {
      action = kDialogOk;
    } else if (IsEscape(event)) {
      action = kDialogClose;
    } else if (event.kind == kTermClose || event.kind == kTermEnd) {
      action = kDialogGone;
    } else if (event.kind == kTermResize) {
      HandleScreenResize();
    } else if (event.kind == kTermClick && g_caption_ok && event.row == 0 &&
               event.column >= COLS - 2) {
      action = kDialogOk;
    }
  }
  g_caption_ok = false;
  return action;
}

void BringForward() {
  // A terminal cannot be raised: it flashes and beeps instead.
  if (!EnsureScreen()) return;
  beep();
  flash();
}

const PlatformBackend kTerminal = {"terminal", Start,      Stop,      ScreenSizeNow,    TerminalPresent,
                                   NextInput,  TrackPopup, RunDialog, TerminalOpenFile, BringForward};

}  // namespace

const PlatformBackend* TerminalBackend() {
  return &kTerminal;
}

int TerminalCloseSignal() {
  return g_close_signal != 0 ? g_close_signal : CloseSignal();
}

int TerminalDrawText(int row, int column, std::u16string_view text, int width, attr_t attributes) {
  if (row < 0 || row >= LINES || column < 0 || column >= COLS) return 0;
  if (width > COLS - column) width = COLS - column;
  int used = 0;
  std::wstring glyphs = FitGlyphs(text, width, &used);
  wattr_set(stdscr, attributes, 0, nullptr);
  mvwaddnwstr(stdscr, row, column, glyphs.c_str(), static_cast<int>(glyphs.size()));
  wattr_set(stdscr, A_NORMAL, 0, nullptr);
  return used;
}

void TerminalMark(int row, int start, int end, attr_t attributes) {
  if (row < 0 || row >= LINES) return;
  if (start < 0) start = 0;
  if (end > COLS) end = COLS;
  if (end > start) mvwchgat(stdscr, row, start, end - start, attributes, 0, nullptr);
}

void TerminalPresent() {
  if (!EnsureScreen()) return;
  if (!DrawOpenFileDialog()) {
    ScreenFrame frame;
    ComposeScreen(&frame);
    werase(stdscr);
    curs_set(0);
    for (int row = 0; row < frame.rows && row < LINES; ++row) {
      std::u16string_view cells(frame.cells + static_cast<size_t>(row) * static_cast<size_t>(frame.columns),
                                static_cast<size_t>(frame.columns));
      TerminalDrawText(row, 0, cells, frame.columns, A_NORMAL);
    }
    if (frame.bar_row >= 0) {
      TerminalMark(frame.bar_row, frame.left_key_start, frame.left_key_end, A_REVERSE);
      TerminalMark(frame.bar_row, frame.right_key_start, frame.right_key_end, A_REVERSE);
    }
    if (g_caption_ok) TerminalMark(0, COLS - 2, COLS, A_REVERSE);
    if (g_popup != nullptr) DrawPopup();
  }
  wnoutrefresh(stdscr);
  doupdate();
}
