#include "backends/x11/x11_map.h"

#include <gtest/gtest.h>

#include "backends/x11/x11_internal.h"

namespace {

TEST(X11MapTest, KeysBecomeKeyEvents) {
  struct Case {
    unsigned long keysym;
    unsigned state;
    bool taken;
    int key;
    int modifiers;
  };
  const Case cases[] = {
      {0xFFBE, 0, true, VK_F1, 0},                   // F1: the left soft key
      {0xFFBF, 0, true, VK_F2, 0},                   // F2: the right soft key
      {'a', kXControl, true, 'A', kModControl},      // Ctrl+A: About
      {'q', kXControl, true, 'Q', kModControl},      // Ctrl+Q: save and exit
      {'Q', kXControl | kXShift, true, 'Q', kModControl | kModShift},
      {0xFF0D, 0, true, VK_RETURN, 0},               // Return
      {0xFF8D, 0, true, VK_RETURN, 0},               // keypad Enter
      {0xFF1B, 0, true, VK_ESCAPE, 0},
      {0xFF09, 0, true, VK_TAB, 0},
      {0xFE20, kXShift, true, VK_TAB, kModShift},    // Shift+Tab as ISO_Left_Tab
      {0xFF08, 0, true, VK_BACK, 0},
      {0xFF52, 0, true, VK_UP, 0},
      {0xFF54, 0, true, VK_DOWN, 0},
      {0xFF55, 0, true, VK_PRIOR, 0},                // PgUp
      {0xFF56, 0, true, VK_NEXT, 0},                 // PgDn
      {0xFF9A, 0, true, VK_PRIOR, 0},                // keypad PgUp
      {0xFF50, 0, true, VK_HOME, 0},
      {0xFF57, 0, true, VK_END, 0},
      {'7', kXAlt, true, '7', kModAlt},
      {'.', 0, false, 0, 0},                         // types, but is no key event
      {0xFFE3, kXControl, false, 0, 0},              // Control itself
      {0xFFC0, 0, false, 0, 0},                      // F3
      {0xFF51, 0, false, 0, 0},                      // Left: the terminal passes it on neither
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keysym);
    InputEvent event = {};
    EXPECT_EQ(KeysymToInput(c.keysym, c.state, &event), c.taken);
    if (!c.taken) continue;
    EXPECT_EQ(event.kind, kEventKey);
    EXPECT_EQ(event.key, c.key);
    EXPECT_EQ(event.modifiers, c.modifiers);
  }
}

TEST(X11MapTest, KeysymsTypeCharacters) {
  EXPECT_EQ(KeysymToCharacter('~'), U'~');
  EXPECT_EQ(KeysymToCharacter(' '), U' ');
  EXPECT_EQ(KeysymToCharacter(0xE9), U'\u00E9');        // eacute, Latin-1
  EXPECT_EQ(KeysymToCharacter(0x010020AC), U'\u20AC');  // a Unicode keysym
  EXPECT_EQ(KeysymToCharacter(0x0101F600), U'\U0001F600');
  EXPECT_EQ(KeysymToCharacter(0x0100D800), 0u);  // no surrogates
  EXPECT_EQ(KeysymToCharacter(0x01000085), 0u);  // no control characters
  EXPECT_EQ(KeysymToCharacter(0xFF0D), 0u);      // Return types nothing
  EXPECT_EQ(KeysymToCharacter(0x7F), 0u);
}

TEST(X11MapTest, UriListsNameLocalFiles) {
  struct Case {
    const char* list;
    const char* path;
  };
  const Case cases[] = {
      {"file:///home/ann/walk.gpx\r\n", "/home/ann/walk.gpx"},
      {"file:///home/ann/walk.gpx", "/home/ann/walk.gpx"},  // no line end
      {"FILE:///a", "/a"},
      {"file://localhost/tmp/x.plt\r\n", "/tmp/x.plt"},
      {"file://box/tmp/x.plt\r\n", "/tmp/x.plt"},            // this machine's name
      {"file://elsewhere/tmp/x.plt\r\n", ""},                // another machine's file
      {"# comment\r\nhttp://example.org/a.gpx\r\nfile:///b.gpx\r\nfile:///c.gpx\r\n", "/b.gpx"},
      {"file:///My%20Tracks/caf%C3%A9.gpx", "/My Tracks/caf\xC3\xA9.gpx"},
      {"file:///odd%zzname%2", "/odd%zzname%2"},  // not an escape: kept
      {"file:///nul%00byte", ""},                  // a NUL cannot be in a path
      {"file://", ""},
      {"", ""},
      {"\r\n\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(FirstFileOfUriList(c.list, "box"), c.path);
  }
  // Every local file, in the list's order.
  EXPECT_EQ(FilesOfUriList("# comment\r\nfile:///b.gpx\r\nhttp://example.org/a.gpx\r\n"
                           "file://elsewhere/x\r\nfile:///a%20b.plt\nfile:///b.gpx",
                           "box"),
            (std::vector<std::string>{"/b.gpx", "/a b.plt", "/b.gpx"}));
}

TEST(X11MapTest, DpiComesFromXftDpi) {
  EXPECT_EQ(DpiFromResources(nullptr), 96);
  EXPECT_EQ(DpiFromResources(""), 96);
  EXPECT_EQ(DpiFromResources("Xft.dpi:\t192\n"), 192);
  EXPECT_EQ(DpiFromResources("Xcursor.size:\t24\nXft.dpi:\t144.6\nXft.hinting:\t1\n"), 145);
  EXPECT_EQ(DpiFromResources("Xft.dpi: 120"), 120);
  EXPECT_EQ(DpiFromResources("Xft.dpi:\tlots\n"), 96);
  EXPECT_EQ(DpiFromResources("Xft.dpi:\t9999999999999\n"), 96);  // out of range, no overflow
  EXPECT_EQ(DpiFromResources("Xft.dpi:\t12\n"), 96);
  EXPECT_EQ(DpiFromResources("MyXft.dpi:\t200\n"), 96);
}

TEST(X11MapTest, SizesScaleWithTheDpi) {
  int width = 0, height = 0;
  DefaultWindowSize(96, &width, &height);
  EXPECT_EQ(width, 480);
  EXPECT_EQ(height, 640);
  DefaultWindowSize(192, &width, &height);
  EXPECT_EQ(width, 960);
  EXPECT_EQ(height, 1280);
  EXPECT_EQ(FontPixelsFor(192), 2 * FontPixelsFor(96));
  WindowMetrics single = MetricsFor(9, 20, 96);
  WindowMetrics twice = MetricsFor(18, 40, 192);
  EXPECT_EQ(twice.margin, 2 * single.margin);
  EXPECT_EQ(twice.title_height, 2 * single.title_height);
  EXPECT_EQ(twice.bar_height, 2 * single.bar_height);
  EXPECT_EQ(twice.line, 2 * single.line);
  // The same window at twice the dpi holds the same grid.
  int columns = 0, rows = 0, columns2 = 0, rows2 = 0;
  GridFor(single, 480, 640, &columns, &rows);
  GridFor(twice, 960, 1280, &columns2, &rows2);
  EXPECT_EQ(columns, columns2);
  EXPECT_EQ(rows, rows2);
}

// The window manager's minimum: exactly the smallest screen's grid, not a
// pixel more, at every dpi and cell size; a pixel less loses a column or a row.
TEST(X11MapTest, MinimumWindowHoldsTheSmallestScreen) {
  struct Case {
    int cell_width, cell_height, dpi;
  };
  const Case cases[] = {{9, 20, 96}, {18, 40, 192}, {13, 29, 144}, {7, 15, 72}, {24, 20, 96}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cell_width) + "x" + std::to_string(c.cell_height) + " at " +
                 std::to_string(c.dpi));
    WindowMetrics m = MetricsFor(c.cell_width, c.cell_height, c.dpi);
    int width = 0, height = 0, columns = 0, rows = 0;
    MinimumWindowSize(m, kMinScreenColumns, kMinScreenRows, &width, &height);
    GridFor(m, width, height, &columns, &rows);
    EXPECT_EQ(columns, kMinScreenColumns);
    EXPECT_EQ(rows, kMinScreenRows);
    GridFor(m, width - 1, height - 1, &columns, &rows);
    EXPECT_EQ(columns, kMinScreenColumns - 1);
    EXPECT_EQ(rows, kMinScreenRows - 1);
  }
  // The default font's cells at 96 dpi.
  int width = 0, height = 0;
  MinimumWindowSize(MetricsFor(9, 20, 96), kMinScreenColumns, kMinScreenRows, &width, &height);
  EXPECT_EQ(width, 376);
  EXPECT_EQ(height, 280);
}

// A popup item's highlight fills its cell: from the line above (when the
// border or a separator lies there) to the line below, else its own band.
TEST(X11MapTest, PopupHighlightReachesTheLinesAroundIt) {
  struct Case {
    int dpi;
    bool above, below;
    int top, bottom;
  };
  // Row 5 of a 480x640 window at 96 dpi is the band [120, 140); the lines of
  // rows 4 and 6 are the pixel rows 110 and 150. At 192 dpi the band is
  // [240, 280) and the lines, two pixels thick, [219, 221) and [299, 301).
  const Case cases[] = {
      {96, false, false, 120, 140},  {96, true, false, 111, 140},
      {96, false, true, 120, 150},   {96, true, true, 111, 150},
      {192, true, true, 221, 299},   {192, false, false, 240, 280},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dpi) + (c.above ? " above" : "") + (c.below ? " below" : ""));
    int scale = c.dpi / 96;
    WindowMetrics m = MetricsFor(9 * scale, 20 * scale, c.dpi);
    int top = 0, bottom = 0;
    HighlightSpan(m, 640 * scale, 30, 5, c.above, c.below, &top, &bottom);
    EXPECT_EQ(top, c.top);
    EXPECT_EQ(bottom, c.bottom);
  }
  // Next to the bar, the line below runs through the bar's taller band.
  WindowMetrics m = MetricsFor(9, 20, 96);
  int top = 0, bottom = 0;
  HighlightSpan(m, 640, 30, 28, false, true, &top, &bottom);
  EXPECT_EQ(top, m.body_top + 27 * 20);
  EXPECT_EQ(bottom, 640 - m.bar_height / 2);
}

TEST(X11MapTest, PixelsMapToCells) {
  WindowMetrics m = MetricsFor(9, 20, 96);
  int columns = 0, rows = 0;
  GridFor(m, 480, 640, &columns, &rows);
  EXPECT_EQ(columns, (480 - 2 * m.margin) / 9);
  EXPECT_EQ(rows, 2 + (640 - m.body_top - m.bar_height) / 20);
  struct Case {
    int x, y, column, row;
  };
  const Case cases[] = {
      {0, 0, 0, 0},                                  // the title band
      {479, m.title_height - 1, columns - 1, 0},
      {m.margin, m.title_height, 0, 1},              // between title and body: row 1
      {m.margin + 9, m.body_top + 20, 1, 2},
      {m.margin + 8, m.body_top + 19, 0, 1},
      {240, 639, (240 - m.margin) / 9, rows - 1},     // the bar
      {240, 640 - m.bar_height - 1, (240 - m.margin) / 9, rows - 2},  // the gap above the bar
      {-5, -5, 0, 0},                                // outside: clamped
      {5000, 300, columns - 1, 1 + (300 - m.body_top) / 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    int column = -1, row = -1;
    CellAt(m, 480, 640, columns, rows, c.x, c.y, &column, &row);
    EXPECT_EQ(column, c.column);
    EXPECT_EQ(row, c.row);
  }
  // Each row's band: the title, the body's rows one cell high, the bar.
  int top = 0, band = 0;
  RowBand(m, 640, rows, 0, &top, &band);
  EXPECT_EQ(top, 0);
  EXPECT_EQ(band, m.title_height);
  RowBand(m, 640, rows, 3, &top, &band);
  EXPECT_EQ(top, m.body_top + 2 * 20);
  EXPECT_EQ(band, 20);
  RowBand(m, 640, rows, rows - 1, &top, &band);
  EXPECT_EQ(top, 640 - m.bar_height);
  EXPECT_EQ(band, m.bar_height);
  // A tiny window still has a grid.
  GridFor(m, 10, 10, &columns, &rows);
  EXPECT_EQ(columns, 1);
  EXPECT_EQ(rows, 3);
}

// The platform's drawing of a 6x4 screen, row by row.
struct Drawing {
  std::u16string cells;
  std::vector<unsigned char> marks;
  Frame screen() const {
    Frame frame = {};
    frame.columns = 6;
    frame.rows = 4;
    frame.cells = cells.data();
    frame.marks = marks.data();
    frame.cursor_row = -1;
    frame.bar_row = -1;
    return frame;
  }
};

TEST(X11CanvasTest, CellsComeFromTheDrawing) {
  Drawing d;
  d.cells = u"Title "
            u"a\U0001F600bc "     // a pair takes two cells, its glyph the first
            u"x\ty\xD800z "       // a control character, a lone surrogate
            u"OK  \U0001F600";    // a pair on a row's last two cells
  d.marks.assign(24, 0);
  d.marks[6] = d.marks[7] = d.marks[8] = kMarkReverse;
  CanvasFromDrawing(d.screen());
  const Canvas& c = TheCanvas();
  EXPECT_EQ(c.glyphs[7], U'\U0001F600');
  EXPECT_EQ(c.glyphs[8], 0u);
  EXPECT_EQ(c.marks[8], kCellSelected);
  EXPECT_EQ(c.marks[9], 0);
  EXPECT_EQ(CanvasText(), "Title\n"
                          "a\xF0\x9F\x98\x80 bc\n"
                          "x\xEF\xBF\xBDy\xEF\xBF\xBDz\n"
                          "OK  \xF0\x9F\x98\x80\n");
  // A high surrogate at a row's end does not pair with the next row's start.
  d.cells = u"     \xD83D"
            u"\xDE00     "
            u"      "
            u"      ";
  CanvasFromDrawing(d.screen());
  EXPECT_EQ(c.glyphs[5], 0xFFFDu);
  EXPECT_EQ(c.glyphs[6], 0xFFFDu);
}

TEST(X11CanvasTest, TakesWhatIsOnShowFromTheFrame) {
  Drawing d;
  d.marks.assign(24, 0);
  d.cells = u"Title " u" ┌──┐ " u" └──┘ " u"Op  To";
  Frame frame = d.screen();
  frame.bar_row = 3;
  frame.keys[0] = SoftKeyView{0, 2, 0};
  frame.keys[1] = SoftKeyView{4, 6, 1};
  frame.box = kBoxPopup;
  frame.popup = PopupView{1, 1, 4, 5, nullptr, 0, 0};  // runs past the bottom
  CanvasFromFrame(frame);
  const Canvas& c = TheCanvas();
  EXPECT_EQ(c.bar_row, 3);
  EXPECT_EQ(c.left_end, 2);
  EXPECT_EQ(c.right_start, 4);
  EXPECT_TRUE(c.menu_open);
  EXPECT_FALSE(c.caption_ok);
  EXPECT_EQ(c.popup_left, 1);
  EXPECT_EQ(c.popup_top, 1);
  EXPECT_EQ(c.popup_width, 4);
  EXPECT_EQ(c.popup_height, 3);
  // A file dialog: OK in the caption, no soft keys, the highlight across its row.
  d.marks[13] = kMarkReverse;
  frame = d.screen();
  frame.bar_row = 3;
  frame.box = kBoxFileDialog;
  frame.file_dialog = FileDialogFrameView{1, 2, 2, 3, -1, 3, 1, 1};
  CanvasFromFrame(frame);
  EXPECT_TRUE(c.caption_ok);
  EXPECT_EQ(c.bar_row, -1);
  EXPECT_EQ(c.popup_width, 0);
  EXPECT_FALSE(c.menu_open);
  for (int column = 0; column < 6; ++column) {
    EXPECT_EQ(c.marks[12 + column], kCellSelected) << column;
    EXPECT_EQ(c.marks[6 + column], 0) << column;
  }
  // A dialog shows OK only with its done button.
  frame = d.screen();
  frame.box = kBoxDialog;
  CanvasFromFrame(frame);
  EXPECT_FALSE(c.caption_ok);
  frame.dialog.done_button = 1;
  CanvasFromFrame(frame);
  EXPECT_TRUE(c.caption_ok);
}

// The popup's highlighted item, found from the items: its row and whether a
// box line (the border or a separator) lies above and below it.
TEST(X11CanvasTest, PopupHighlightKnowsTheLinesAroundIt) {
  const MenuItemView spaced[] = {{u"Set", 1, 0}, {nullptr, 0, 0}, {u"Break", 2, 1},
                                 {nullptr, 0, 0}, {u"About", 3, 0}, {nullptr, 0, 0},
                                 {u"Exit", 4, 0}};
  const MenuItemView packed[] = {{u"a", 1, 0}, {u"b", 2, 0}, {u"c", 3, 0}};
  struct Case {
    const char* what;
    const MenuItemView* items;
    int count, top, selected;
    int row;  // -1: no highlight
    bool above, below;
  };
  const Case cases[] = {
      {"first of spaced", spaced, 7, 1, 0, 2, true, true},
      {"middle of spaced", spaced, 7, 1, 4, 6, true, true},
      {"last of spaced", spaced, 7, 1, 6, 8, true, true},
      {"first of packed", packed, 3, 1, 0, 2, true, false},
      {"middle of packed", packed, 3, 1, 1, 3, false, false},
      {"last of packed", packed, 3, 1, 2, 4, false, true},
      {"bottom border cut off", packed, 3, 6, 2, 9, false, false},
      {"item cut off", packed, 3, 7, 2, -1, false, false},
      {"a separator", spaced, 7, 1, 1, -1, false, false},
      {"past the items", packed, 3, 1, 3, -1, false, false},
  };
  const std::u16string cells(60, u' ');
  const std::vector<unsigned char> marks(60, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Frame frame = {};
    frame.columns = 6;
    frame.rows = 10;
    frame.cells = cells.data();
    frame.marks = marks.data();
    frame.cursor_row = -1;
    frame.bar_row = -1;
    frame.box = kBoxPopup;
    frame.popup = PopupView{c.top, 0, 6, c.count + 2, c.items, c.count, c.selected};
    CanvasFromFrame(frame);
    const Canvas& canvas = TheCanvas();
    EXPECT_EQ(canvas.popup_selected_row, c.row);
    EXPECT_EQ(canvas.popup_line_above, c.above);
    EXPECT_EQ(canvas.popup_line_below, c.below);
  }
}

// A file dialog's question on its hint row is highlighted across the row;
// the hints themselves are not.
TEST(X11CanvasTest, QuestionBarSpansTheDialog) {
  struct Case {
    const char* what;
    std::vector<int> reversed;  // the hint row's reversed columns in the drawing
    bool bar;
  };
  const Case cases[] = {
      {"hints", {}, false},
      {"question", {0, 1, 2}, true},
      {"question filling the row", {0, 1, 2, 3, 4, 5}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d;
    d.cells = u"Title " u" a    " u"Name: " u"Rep?  ";
    d.marks.assign(24, 0);
    for (int column : c.reversed) d.marks[static_cast<size_t>(18 + column)] = kMarkReverse;
    Frame frame = d.screen();
    frame.box = kBoxFileDialog;
    frame.file_dialog = FileDialogFrameView{1, 1, -1, 2, -1, 3, 1, 1};
    CanvasFromFrame(frame);
    const Canvas& canvas = TheCanvas();
    for (int column = 0; column < 6; ++column) {
      EXPECT_EQ(canvas.marks[static_cast<size_t>(18 + column)], c.bar ? kCellSelected : 0)
          << column;
      EXPECT_EQ(canvas.marks[static_cast<size_t>(12 + column)], 0) << column;  // the name line
    }
  }
}

}  // namespace
