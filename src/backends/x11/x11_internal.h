// Shared by the X11 backend's files: the canvas (the screen as cells with
// marks, as the platform draws it) and the window with its events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

// ---- The canvas: what the window shows, as cells. The text hook writes it
// out as it is; the painter draws it with the title band, the soft-key bar,
// buttons and box lines.

constexpr uint8_t kCellSelected = 1;  // highlighted (a chosen item, a soft key)

struct Canvas {
  int columns = 0;
  int rows = 0;
  std::vector<char32_t> glyphs;  // rows * columns; 0 is the second half of a pair
  std::vector<uint8_t> marks;
  int bar_row = -1;                // the soft-key row, or -1
  int left_start = 0, left_end = 0;    // the soft keys' spans on it
  int right_start = 0, right_end = 0;
  bool caption_ok = false;         // OK at the right of the title row
  bool menu_open = false;          // the right soft key's popup is on show
  int popup_left = 0, popup_top = 0, popup_width = 0, popup_height = 0;  // width 0: none
  int popup_selected_row = -1;     // the highlighted item's row, or -1
  bool popup_line_above = false;   // a box line (border, separator) above that row
  bool popup_line_below = false;   // and below it
  int cursor_row = -1, cursor_column = 0;  // the caret of a name line, row -1 none
};

Canvas& TheCanvas();

/// Blank cells, no popup, no caret, no soft keys.
void ClearCanvas(int columns, int rows);

/// The platform's drawing as the canvas: one cell per UTF-16 unit, as the
/// windows hold text; a surrogate pair's glyph stands on its first cell (the
/// second is 0), control characters and lone surrogates show as U+FFFD, a
/// reversed cell is selected; the caret where the drawing has its cursor.
void CanvasFromDrawing(const Frame& screen);

/// The frame as the canvas: its cells (as CanvasFromDrawing), the soft keys,
/// the caption's OK, the popup's box cut at the screen's bottom with its
/// highlighted item's row and the box lines around it, and a file list's
/// highlight and a file dialog's question across their whole rows.
void CanvasFromFrame(const Frame& frame);

/// The canvas as text: one line per row, trailing blanks cut.
std::string CanvasText();

// ---- The window (x11_window.cpp).

/// Opens the display and installs the close-signal handlers; 0 on success,
/// else kNoDisplay. The window itself is made on first use.
constexpr int kNoDisplay = 1;
int OpenDisplay();
void CloseDisplay();

/// Makes and maps the window if that has not happened yet.
bool EnsureWindow();

/// The grid the window holds now.
void WindowGrid(int* columns, int* rows);

/// Paints the canvas into the window and, when WAYCONV_X11_FRAME_FILE names a
/// file, writes the canvas there (a header line, then the rows).
void ShowCanvas();

/// What WaitWindowEvent reports.
constexpr int kWinKey = 1;     // key: the key event (key 0: none), character: what it types
constexpr int kWinClick = 2;   // column, row: the left button went up there; clicks 1 or 2
constexpr int kWinWheel = 3;   // column, row; wheel -1 up, +1 down
constexpr int kWinResize = 4;  // the grid changed
constexpr int kWinClose = 5;   // the window manager or a signal closes the window; until it ends
constexpr int kWinEnd = 6;     // the display connection is gone
constexpr int kWinDrop = 7;    // files were dropped: TakeDroppedPaths()
constexpr int kWinWatch = 8;   // the descriptor the caller watches is readable

struct WinEvent {
  int kind;
  InputEvent key;
  char32_t character;
  int column;
  int row;
  int clicks;
  int wheel;
};

/// Blocks in poll() on the display, the signal pipe and `watch_fd` (when
/// >= 0; the platform's socket on which other copies call) until there is
/// something to report. Exposure, hovering and the pressed look are handled
/// inside.
void WaitWindowEvent(WinEvent* event, int watch_fd);

/// Whether a file dropped now would be taken (the main screen, the input
/// dialog).
void AcceptDrops(bool accept);
std::vector<std::string> TakeDroppedPaths();

/// Raises and focuses the window through the window manager, or flashes its
/// title when that cannot be done.
void BringWindowForward();

/// The signal (SIGINT, SIGTERM, SIGHUP) that closed the window, or 0.
int WindowCloseSignal();

