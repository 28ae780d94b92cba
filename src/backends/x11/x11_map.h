// What the X11 backend translates and measures, kept apart from the display so
// that it can be tested without one: keys into the message loop's key events,
// a dropped text/uri-list into a path, the resource database's Xft.dpi into a
// scale, and the window's pixels into the screen's cells and back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

/// X modifier bits as a KeyPress reports them (ShiftMask, ControlMask, Mod1Mask).
constexpr unsigned kXShift = 1u << 0;
constexpr unsigned kXControl = 1u << 2;
constexpr unsigned kXAlt = 1u << 3;

/// Turns a keysym (as XLookupString gives it, Shift applied) and the modifier
/// state into a key event: F1, F2, Enter, Esc, Tab, Backspace, Up, Down,
/// PgUp, PgDn, Home, End, letters and digits (Ctrl+letter included), as the
/// terminal passes them on. False for a key the program has no use for. The
/// event's character is left 0: KeysymToCharacter gives it.
bool KeysymToInput(unsigned long keysym, unsigned state, InputEvent* event);

/// The character a keysym types (Latin-1 and Unicode keysyms), or 0.
char32_t KeysymToCharacter(unsigned long keysym);

/// The first local file named in a text/uri-list (lines of URIs, '#' lines
/// are comments): "file:///p", "file://localhost/p" or "file://HOST/p" with
/// HOST this machine's name; %XX decoded. Empty when there is none.
std::string FirstFileOfUriList(std::string_view list, std::string_view host_name);

/// Every local file the list names, in its order.
std::vector<std::string> FilesOfUriList(std::string_view list, std::string_view host_name);

/// Xft.dpi from the resource manager's string; 96 when it is not there or
/// not a number between 48 and 480.
int DpiFromResources(const char* resources);

/// The window's measures in pixels for a font cell of `cell_width` by
/// `cell_height` at `dpi`. Lines and margins scale with the dpi.
struct WindowMetrics {
  int cell_width;
  int cell_height;
  int margin;  // left and right of the cells
  int title_height;
  int bar_height;
  int body_top;  // y of row 1
  int line;      // the width of a drawn line
};

WindowMetrics MetricsFor(int cell_width, int cell_height, int dpi);

/// The font's pixel size for `dpi` (the device's proportions at 96 dpi).
int FontPixelsFor(int dpi);

/// The default window size at `dpi`: 480x640 at 96.
void DefaultWindowSize(int dpi, int* width, int* height);

/// The grid the window's pixels hold: row 0 the title band, the last row the
/// soft-key bar, the rows between the body. At least 1 column and 3 rows.
void GridFor(const WindowMetrics& metrics, int width, int height, int* columns, int* rows);

/// The smallest window whose grid (as GridFor makes it) holds `columns` x
/// `rows`, for the window manager's minimum size.
void MinimumWindowSize(const WindowMetrics& metrics, int columns, int rows, int* width,
                       int* height);

/// The cell under a pixel of a `width` x `height` window with a grid of
/// `columns` x `rows`: the title band is row 0, the bar the last row.
void CellAt(const WindowMetrics& metrics, int width, int height, int columns, int rows, int x, int y,
            int* column, int* row);

/// The top pixel row and height of grid row `row`.
void RowBand(const WindowMetrics& metrics, int height, int rows, int row, int* top, int* band);

/// The top pixel row of a box line drawn through the middle of a band.
int LineTop(const WindowMetrics& metrics, int band_top, int band);

/// The pixel rows [*top, *bottom) of a popup item's highlight on grid row
/// `row`: the row's band, grown up to the box line above (the border or a
/// separator) and down to the one below where there is one, so that it fills
/// the item's whole cell between the lines.
void HighlightSpan(const WindowMetrics& metrics, int height, int rows, int row, bool line_above,
                   bool line_below, int* top, int* bottom);
