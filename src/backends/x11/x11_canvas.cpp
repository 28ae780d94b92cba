// The canvas: the window's screen as cells with marks.
#include "backends/x11/x11_internal.h"

namespace {

Canvas g_canvas;

constexpr char32_t kStandIn = 0xFFFD;

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// The next glyph of `text` from *at; every glyph takes one cell.
char32_t NextGlyph(std::u16string_view text, size_t* at) {
  char16_t c = text[*at];
  *at += 1;
  if (IsHigh(c) && *at < text.size() && IsLow(text[*at])) {
    char32_t point = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[*at] - 0xDC00);
    *at += 1;
    return point;
  }
  if (IsHigh(c) || IsLow(c) || c < 0x20 || (c >= 0x7F && c < 0xA0)) return kStandIn;
  return c;
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

void CanvasPut(int row, int column, char32_t glyph, uint8_t marks) {
  if (row < 0 || row >= g_canvas.rows || column < 0 || column >= g_canvas.columns) return;
  g_canvas.glyphs[Index(row, column)] = glyph;
  g_canvas.marks[Index(row, column)] = marks;
}

int CanvasText(int row, int column, std::u16string_view text, int width, uint8_t marks) {
  if (row < 0 || row >= g_canvas.rows || column < 0 || column >= g_canvas.columns) return 0;
  if (width > g_canvas.columns - column) width = g_canvas.columns - column;
  int used = 0;
  size_t at = 0;
  while (at < text.size() && used < width) {
    CanvasPut(row, column + used, NextGlyph(text, &at), marks);
    ++used;
  }
  return used;
}

void CanvasMark(int row, int start, int end, uint8_t marks) {
  if (row < 0 || row >= g_canvas.rows) return;
  if (start < 0) start = 0;
  if (end > g_canvas.columns) end = g_canvas.columns;
  for (int column = start; column < end; ++column) g_canvas.marks[Index(row, column)] |= marks;
}

size_t CanvasTailThatFits(std::u16string_view text, int cells) {
  // Glyph starts from the end: a pair counts as one cell.
  size_t start = text.size();
  int used = 0;
  while (start > 0 && used < cells) {
    size_t back = start - 1;
    if (back > 0 && IsLow(text[back]) && IsHigh(text[back - 1])) --back;
    start = back;
    ++used;
  }
  return start;
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
