// The canvas: the window's screen as cells with marks.
#include "backends/x11/x11_internal.h"
#include "host/text.h"

namespace {

Canvas g_canvas;

constexpr char32_t kStandIn = 0xFFFD;

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

size_t Index(int row, int column) {
  return static_cast<size_t>(row) * static_cast<size_t>(g_canvas.columns) +
         static_cast<size_t>(column);
}

void AppendUtf8(std::string* out, char32_t point) {
  if (point < 0x80) {
    *out += static_cast<char>(point);
  } else if (point < 0x800) {
    *out += static_cast<char>(0xC0 | (point >> 6));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    *out += static_cast<char>(0xE0 | (point >> 12));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (point >> 18));
    *out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

Canvas& TheCanvas() {
  return g_canvas;
}

void ClearCanvas(int columns, int rows) {
  Canvas fresh;
  fresh.columns = columns > 0 ? columns : 1;
  fresh.rows = rows > 0 ? rows : 1;
  size_t cells = static_cast<size_t>(fresh.columns) * static_cast<size_t>(fresh.rows);
  // Keep the buffers: a frame is composed for every change.
  fresh.glyphs = std::move(g_canvas.glyphs);
  fresh.marks = std::move(g_canvas.marks);
  fresh.glyphs.assign(cells, U' ');
  fresh.marks.assign(cells, 0);
  g_canvas = std::move(fresh);
}

void CanvasFromDrawing(const DrawnScreen& screen) {
  ClearCanvas(screen.columns, screen.rows);
  size_t count = g_canvas.glyphs.size();
  size_t columns = static_cast<size_t>(g_canvas.columns);
  for (size_t i = 0; i < count; ++i) {
    char16_t c = screen.cells[i];
    uint8_t marks = (screen.marks[i] & kMarkReverse) ? kCellSelected : 0;
    g_canvas.marks[i] = marks;
    if (IsHigh(c) && i + 1 < count && (i + 1) % columns != 0 && IsLow(screen.cells[i + 1])) {
      g_canvas.glyphs[i] = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                           (screen.cells[i + 1] - 0xDC00);
      ++i;
      g_canvas.glyphs[i] = 0;
      g_canvas.marks[i] = marks;
      continue;
    }
    bool shown = !IsHigh(c) && !IsLow(c) && c >= 0x20 && !(c >= 0x7F && c < 0xA0) &&
                 !IsBidiControl(c);
    g_canvas.glyphs[i] = shown ? c : kStandIn;
  }
  g_canvas.cursor_row = screen.cursor_row < g_canvas.rows ? screen.cursor_row : -1;
  g_canvas.cursor_column = screen.cursor_column;
}

bool FindPopupBox(Canvas* canvas) {
  canvas->popup_width = 0;
  const std::vector<char32_t>& g = canvas->glyphs;
  auto at = [&](int row, int column) -> char32_t {
    if (row < 0 || row >= canvas->rows || column < 0 || column >= canvas->columns) return 0;
    return g[Index(row, column)];
  };
  for (int row = 0; row < canvas->rows; ++row) {
    for (int column = 0; column < canvas->columns; ++column) {
      if (at(row, column) != U'\u250C') continue;
      int right = column + 1;
      while (at(row, right) == U'\u2500') ++right;
      if (at(row, right) != U'\u2510' || right == column + 1) continue;
      int bottom = row + 1;
      while (at(bottom, column) == U'\u2502' || at(bottom, column) == U'\u251C') ++bottom;
      // The box may be cut at the screen's bottom.
      bool closed = at(bottom, column) == U'\u2514';
      if (!closed && bottom != canvas->rows) continue;
      canvas->popup_left = column;
      canvas->popup_top = row;
      canvas->popup_width = right - column + 1;
      canvas->popup_height = (closed ? bottom + 1 : bottom) - row;
      return true;
    }
  }
  return false;
}

std::string CanvasText() {
  std::string out;
  for (int row = 0; row < g_canvas.rows; ++row) {
    std::string line;
    for (int column = 0; column < g_canvas.columns; ++column) {
      char32_t glyph = g_canvas.glyphs[Index(row, column)];
      AppendUtf8(&line, glyph != 0 ? glyph : U' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  }
  return out;
}
