// Painting the canvas with Xft: the title band on row 0, the body's cells in
// the monospace font, the soft keys as two buttons in the bar on the last row,
// the popup as a box with a shadow, and box-drawing characters as lines, so
// that every border is crisp at any dpi. Everything is drawn into a pixmap and
// copied to the window in one go.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/x11/x11_display.h"
#include "backends/x11/x11_internal.h"

namespace {

struct Colour {
  XftColor xft;
  bool ready = false;
};

enum ColourName {
  kInk,          // body text
  kPaper,        // body background
  kTitlePaper,   // the title band
  kTitleInk,
  kFlashPaper,   // the title band while it flashes
  kSelectPaper,  // a highlighted item
  kSelectInk,
  kBarPaper,     // the soft-key bar
  kBarLine,
  kKeyPaper,     // a soft key at rest
  kKeyHover,
  kKeyPressed,
  kKeyBorder,
  kKeyFocus,     // the border of a hovered or pressed key
  kOkPaper,      // the caption's OK button
  kOkHover,
  kOkPressed,
  kOkBorder,
  kPopupPaper,
  kPopupBorder,
  kShadow,
  kColourCount
};

const unsigned kRgb[kColourCount] = {
    0x1E2329, 0xFCFCFD, 0x24476B, 0xFFFFFF, 0xE8A33D, 0x2F6DB5, 0xFFFFFF,
    0xE4E8EE, 0xC2C9D3, 0xFFFFFF, 0xEDF3FB, 0xC6D8EF, 0x8D98A7, 0x2F6DB5, 0x36618F,
    0x4876A8, 0x1A3654, 0x8FB0D3, 0xFFFFFF, 0x4A5563, 0xBCC3CC,
};

Colour g_colours[kColourCount];
X11Display g_display;

XftColor* Ink(int name) {
  Colour& colour = g_colours[name];
  if (!colour.ready) {
    XRenderColor value;
    value.red = static_cast<unsigned short>(((kRgb[name] >> 16) & 0xFF) * 0x101);
    value.green = static_cast<unsigned short>(((kRgb[name] >> 8) & 0xFF) * 0x101);
    value.blue = static_cast<unsigned short>((kRgb[name] & 0xFF) * 0x101);
    value.alpha = 0xFFFF;
    X11Display& x = g_display;
    colour.ready = XftColorAllocValue(x.display, DefaultVisual(x.display, x.screen),
                                      DefaultColormap(x.display, x.screen), &value, &colour.xft) != 0;
  }
  return &colour.xft;
}

XftFont* g_title_font = nullptr;  // bold, for the title band
// Every font opened, once per opening: Xft counts references, and the same
// name opened twice is one font with two.
std::vector<XftFont*> g_opened;

void Fill(int name, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  XftDrawRect(g_display.draw, Ink(name), x, y, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
}

// A rectangle's outline, `line` pixels thick.
void Frame(int name, int x, int y, int width, int height) {
  int line = g_display.metrics.line;
  Fill(name, x, y, width, line);
  Fill(name, x, y + height - line, width, line);
  Fill(name, x, y, line, height);
  Fill(name, x + width - line, y, line, height);
}

int TextWidth(XftFont* font, const std::u32string& text) {
  if (text.empty()) return 0;
  XGlyphInfo extents;
  XftTextExtents32(g_display.display, font, reinterpret_cast<const FcChar32*>(text.data()),
                   static_cast<int>(text.size()), &extents);
  return extents.xOff;
}

void DrawLabel(XftFont* font, int ink, const std::u32string& text, int x, int y, int band) {
  if (text.empty()) return;
  int baseline = y + (band - (font->ascent + font->descent)) / 2 + font->ascent;
  XftDrawString32(g_display.draw, Ink(ink), font, x, baseline,
                  reinterpret_cast<const FcChar32*>(text.data()), static_cast<int>(text.size()));
}

// The cells [start, end) of a row as text, blanks at both ends cut.
std::u32string RowText(int row, int start, int end) {
  const Canvas& canvas = TheCanvas();
  std::u32string text;
  for (int column = start; column < end && column < canvas.columns; ++column) {
    char32_t glyph = canvas.glyphs[static_cast<size_t>(row * canvas.columns + column)];
    text += glyph != 0 ? glyph : U' ';
  }
  size_t first = text.find_first_not_of(U' ');
  if (first == std::u32string::npos) return std::u32string();
  size_t last = text.find_last_not_of(U' ');
  return text.substr(first, last - first + 1);
}

int CellX(int column) {
  return g_display.metrics.margin + column * g_display.metrics.cell_width;
}

void Band(int row, int* top, int* band) {
  RowBand(g_display.metrics, g_display.height, TheCanvas().rows, row, top, band);
}

// Box-drawing characters as lines through the cell's middle; false for any
// other glyph.
bool DrawBoxGlyph(char32_t glyph, int ink, int x, int y, int width, int height) {
  bool left = false, right = false, up = false, down = false;
  switch (glyph) {
    case U'\u2500': left = right = true; break;               // ─
    case U'\u2502': up = down = true; break;                  // │
    case U'\u250C': right = down = true; break;               // ┌
    case U'\u2510': left = down = true; break;                // ┐
    case U'\u2514': right = up = true; break;                 // └
    case U'\u2518': left = up = true; break;                  // ┘
    case U'\u251C': up = down = right = true; break;          // ├
    case U'\u2524': up = down = left = true; break;           // ┤
    case U'\u252C': left = right = down = true; break;        // ┬
    case U'\u2534': left = right = up = true; break;          // ┴
    case U'\u253C': left = right = up = down = true; break;   // ┼
    default: return false;
  }
  int line = g_display.metrics.line;
  int middle_x = x + width / 2 - line / 2;
  int middle_y = LineTop(g_display.metrics, y, height);
  if (left) Fill(ink, x, middle_y, middle_x - x + line, line);
  if (right) Fill(ink, middle_x, middle_y, x + width - middle_x, line);
  if (up) Fill(ink, middle_x, y, line, middle_y - y + line);
  if (down) Fill(ink, middle_x, middle_y, line, y + height - middle_y);
  return true;
}

struct GlyphRun {
  std::vector<XftCharFontSpec> specs;
};

void AddGlyph(GlyphRun* run, char32_t glyph, int x, int baseline) {
  X11Display& d = g_display;
  XftFont* font = d.mono;
  if (!XftCharExists(d.display, font, glyph)) {
    if (d.fallback != nullptr && XftCharExists(d.display, d.fallback, glyph)) {
      font = d.fallback;
    } else {
      glyph = XftCharExists(d.display, font, 0xFFFD) ? 0xFFFD : U'?';
    }
  }
  XftCharFontSpec placed;
  placed.font = font;
  placed.ucs4 = glyph;
  placed.x = static_cast<short>(x);
  placed.y = static_cast<short>(baseline);
  run->specs.push_back(placed);
}

void FlushRun(GlyphRun* run, int ink) {
  if (run->specs.empty()) return;
  XftDrawCharFontSpec(g_display.draw, Ink(ink), run->specs.data(),
                      static_cast<int>(run->specs.size()));
  run->specs.clear();
}

bool InPopup(int row, int column) {
  const Canvas& c = TheCanvas();
  return c.popup_width > 0 && row >= c.popup_top && row < c.popup_top + c.popup_height &&
         column >= c.popup_left && column < c.popup_left + c.popup_width;
}

// The cells of a row inside the popup's box or outside it, as `popup` says,
// with their highlights, in a band of `band` pixels from `top`.
void DrawCells(int row, int top, int band, bool popup) {
  const Canvas& canvas = TheCanvas();
  const WindowMetrics& m = g_display.metrics;
  int baseline = top + (band - (g_display.mono->ascent + g_display.mono->descent)) / 2 +
                 g_display.mono->ascent;
  GlyphRun normal, selected;
  for (int column = 0; column < canvas.columns; ++column) {
    if (InPopup(row, column) != popup) continue;
    size_t at = static_cast<size_t>(row * canvas.columns + column);
    char32_t glyph = canvas.glyphs[at];
    uint8_t marks = canvas.marks[at];
    int x = CellX(column);
    bool is_selected = (marks & kCellSelected) != 0;
    if (is_selected && !popup) Fill(kSelectPaper, x, top, m.cell_width, band);
    int ink = is_selected ? kSelectInk : kInk;
    if (glyph == U' ' || glyph == 0) continue;
    if (DrawBoxGlyph(glyph, popup ? kPopupBorder : ink, x, top, m.cell_width, band)) continue;
    AddGlyph(is_selected ? &selected : &normal, glyph, x, baseline);
  }
  FlushRun(&normal, kInk);
  FlushRun(&selected, kSelectInk);
}

void ButtonRect(int button, int* x, int* y, int* width, int* height) {
  const X11Display& d = g_display;
  const WindowMetrics& m = d.metrics;
  int pad = m.margin * 3 / 4;
  if (button == kOkButton) {
    int text = TextWidth(d.label, U"OK");
    *width = text + 4 * m.margin;
    *height = m.title_height - 2 * pad;
    *x = d.width - m.margin - *width;
    *y = pad;
    return;
  }
  *y = d.height - m.bar_height + pad;
  *height = m.bar_height - 2 * pad;
  *width = d.width / 2 - m.margin - m.margin / 2;
  *x = button == kLeftKey ? m.margin : d.width / 2 + m.margin / 2;
}

bool HasButton(int button) {
  const Canvas& c = TheCanvas();
  if (button == kOkButton) return c.caption_ok;
  if (c.bar_row != c.rows - 1) return false;
  return button == kLeftKey ? c.left_end > c.left_start : c.right_end > c.right_start;
}

void DrawTitle() {
  const Canvas& canvas = TheCanvas();
  X11Display& d = g_display;
  const WindowMetrics& m = d.metrics;
  bool flash = d.flash_phase % 2 == 1;
  Fill(flash ? kFlashPaper : kTitlePaper, 0, 0, d.width, m.title_height);
  int end = canvas.caption_ok ? canvas.columns - 2 : canvas.columns;
  DrawLabel(g_title_font, flash ? kInk : kTitleInk, RowText(0, 0, end), m.margin, 0,
            m.title_height);
  if (!canvas.caption_ok) return;
  int x, y, width, height;
  ButtonRect(kOkButton, &x, &y, &width, &height);
  int paper = d.pressed == kOkButton ? kOkPressed : d.hover == kOkButton ? kOkHover : kOkPaper;
  Fill(paper, x, y, width, height);
  Frame(kOkBorder, x, y, width, height);
  std::u32string ok = U"OK";
  int shift = d.pressed == kOkButton ? m.line : 0;
  DrawLabel(d.label, kTitleInk, ok, x + (width - TextWidth(d.label, ok)) / 2 + shift, y + shift,
            height);
}

void DrawBar() {
  const Canvas& canvas = TheCanvas();
  X11Display& d = g_display;
  const WindowMetrics& m = d.metrics;
  int top = d.height - m.bar_height;
  Fill(kBarPaper, 0, top, d.width, m.bar_height);
  Fill(kBarLine, 0, top, d.width, m.line);
  int row = canvas.rows - 1;
  if (!HasButton(kLeftKey) && !HasButton(kRightKey)) {
    // No soft keys on this row (a full-screen dialog's hints): its cells. A
    // row highlighted as a whole (a question) fills the bar from edge to edge.
    size_t first = static_cast<size_t>(row * canvas.columns);
    if ((canvas.marks[first] & kCellSelected) &&
        (canvas.marks[first + static_cast<size_t>(canvas.columns) - 1] & kCellSelected)) {
      Fill(kSelectPaper, 0, top, d.width, m.bar_height);
    }
    DrawCells(row, top, m.bar_height, false);
    return;
  }
  for (int button : {kLeftKey, kRightKey}) {
    if (!HasButton(button)) continue;
    int x, y, width, height;
    ButtonRect(button, &x, &y, &width, &height);
    bool pressed = d.pressed == button || (button == kRightKey && canvas.menu_open);
    bool hover = d.hover == button;
    Fill(pressed ? kKeyPressed : hover ? kKeyHover : kKeyPaper, x, y, width, height);
    Frame(pressed || hover ? kKeyFocus : kKeyBorder, x, y, width, height);
    std::u32string text = button == kLeftKey ? RowText(row, canvas.left_start, canvas.left_end)
                                             : RowText(row, canvas.right_start, canvas.right_end);
    int shift = pressed ? m.line : 0;
    DrawLabel(d.label, kInk, text, x + (width - TextWidth(d.label, text)) / 2 + shift, y + shift,
              height);
  }
}

void DrawPopup() {
  const Canvas& canvas = TheCanvas();
  const WindowMetrics& m = g_display.metrics;
  if (canvas.popup_width <= 0) return;
  int top_y, top_band, bottom_y, bottom_band;
  Band(canvas.popup_top, &top_y, &top_band);
  Band(canvas.popup_top + canvas.popup_height - 1, &bottom_y, &bottom_band);
  // The box runs through the middle of its border cells, as the lines do.
  int x0 = CellX(canvas.popup_left) + m.cell_width / 2 - m.line / 2;
  int x1 = CellX(canvas.popup_left + canvas.popup_width - 1) + m.cell_width / 2 - m.line / 2 + m.line;
  int y0 = LineTop(m, top_y, top_band);
  int y1 = LineTop(m, bottom_y, bottom_band) + m.line;
  int shadow = 3 * m.line;
  Fill(kShadow, x0 + shadow, y0 + shadow, x1 - x0, y1 - y0);
  Fill(kPopupPaper, x0, y0, x1 - x0, y1 - y0);
  if (canvas.popup_selected_row >= 1) {
    // The highlighted item's whole cell: between the box's sides and the
    // lines above and below it.
    int top, bottom;
    HighlightSpan(m, g_display.height, canvas.rows, canvas.popup_selected_row,
                  canvas.popup_line_above, canvas.popup_line_below, &top, &bottom);
    Fill(kSelectPaper, x0 + m.line, top, x1 - x0 - 2 * m.line, bottom - top);
  }
  for (int row = canvas.popup_top; row < canvas.popup_top + canvas.popup_height; ++row) {
    if (row < 1 || row >= canvas.rows) continue;
    int top, band;
    Band(row, &top, &band);
    DrawCells(row, top, band, true);
  }
}

void DrawCaret() {
  const Canvas& canvas = TheCanvas();
  if (canvas.cursor_row < 0) return;
  int top, band;
  Band(canvas.cursor_row, &top, &band);
  const WindowMetrics& m = g_display.metrics;
  Fill(kInk, CellX(canvas.cursor_column), top + m.line, 2 * m.line, band - 2 * m.line);
}

bool EnsureBuffer() {
  X11Display& d = g_display;
  if (d.buffer != 0 && d.buffer_width == d.width && d.buffer_height == d.height) return true;
  if (d.draw != nullptr) XftDrawDestroy(d.draw);
  if (d.buffer != 0) XFreePixmap(d.display, d.buffer);
  d.draw = nullptr;
  d.buffer = XCreatePixmap(d.display, d.window, static_cast<unsigned>(d.width),
                           static_cast<unsigned>(d.height),
                           static_cast<unsigned>(DefaultDepth(d.display, d.screen)));
  d.buffer_width = d.width;
  d.buffer_height = d.height;
  d.draw = XftDrawCreate(d.display, d.buffer, DefaultVisual(d.display, d.screen),
                         DefaultColormap(d.display, d.screen));
  return d.draw != nullptr;
}

XftFont* OpenFont(const std::string& family, const char* style, int pixels) {
  std::string name = family + ":pixelsize=" + std::to_string(pixels) + style;
  XftFont* font = XftFontOpenName(g_display.display, g_display.screen, name.c_str());
  if (font != nullptr) g_opened.push_back(font);
  return font;
}

}  // namespace

X11Display& Xd() {
  return g_display;
}

bool OpenFonts() {
  X11Display& d = g_display;
  int pixels = FontPixelsFor(d.dpi);
  // The cells' font: DejaVu Sans Mono unless WAYCONV_FONT names another family.
  const char* chosen = std::getenv("WAYCONV_FONT");
  std::string family = chosen != nullptr && chosen[0] != 0 ? chosen : "DejaVu Sans Mono";
  d.mono = OpenFont(family, ":spacing=mono", pixels);
  if (d.mono == nullptr) d.mono = OpenFont("monospace", "", pixels);
  if (d.mono == nullptr) return false;
  d.label = OpenFont("DejaVu Sans", "", pixels);
  g_title_font = OpenFont("DejaVu Sans", ":bold", pixels + pixels / 8);
  d.fallback = OpenFont("DejaVu Sans", "", pixels);
  if (d.label == nullptr) d.label = d.mono;
  if (g_title_font == nullptr) g_title_font = d.label;
  XGlyphInfo extents;
  FcChar32 m = 'M';
  XftTextExtents32(d.display, d.mono, &m, 1, &extents);
  int line_gap = static_cast<int>(std::lround(2.0 * d.dpi / 96));
  d.metrics = MetricsFor(extents.xOff, d.mono->ascent + d.mono->descent + line_gap, d.dpi);
  return true;
}

void CloseFonts() {
  X11Display& d = g_display;
  for (Colour& colour : g_colours) {
    if (colour.ready) {
      XftColorFree(d.display, DefaultVisual(d.display, d.screen),
                   DefaultColormap(d.display, d.screen), &colour.xft);
      colour.ready = false;
    }
  }
  if (d.draw != nullptr) XftDrawDestroy(d.draw);
  if (d.buffer != 0) XFreePixmap(d.display, d.buffer);
  d.draw = nullptr;
  d.buffer = 0;
  for (XftFont* font : g_opened) XftFontClose(d.display, font);
  g_opened.clear();
  d.mono = d.label = d.fallback = g_title_font = nullptr;
}

int ButtonAt(int x, int y) {
  for (int button : {kLeftKey, kRightKey, kOkButton}) {
    if (!HasButton(button)) continue;
    int bx, by, width, height;
    ButtonRect(button, &bx, &by, &width, &height);
    if (x >= bx && x < bx + width && y >= by && y < by + height) return button;
  }
  return kNoKey;
}

void PaintCanvas() {
  X11Display& d = g_display;
  if (d.window == 0 || !EnsureBuffer()) return;
  const Canvas& canvas = TheCanvas();
  Fill(kPaper, 0, 0, d.width, d.height);
  DrawTitle();
  for (int row = 1; row < canvas.rows - 1; ++row) {
    int top, band;
    Band(row, &top, &band);
    DrawCells(row, top, band, false);
  }
  DrawBar();
  DrawPopup();
  DrawCaret();
  GC gc = DefaultGC(d.display, d.screen);
  XCopyArea(d.display, d.buffer, d.window, gc, 0, 0, static_cast<unsigned>(d.width),
            static_cast<unsigned>(d.height), 0, 0);
  XFlush(d.display);
}
