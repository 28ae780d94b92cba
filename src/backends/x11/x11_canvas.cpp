// The canvas: the window's screen as cells with marks.
#include "backends/x11/x11_internal.h"

#include <algorithm>

#include "host/text.h"

namespace {

Canvas g_canvas;

constexpr char32_t kStandIn = 0xFFFD;

size_t Index(int row, int column) {
  return static_cast<size_t>(row) * static_cast<size_t>(g_canvas.columns) +
         static_cast<size_t>(column);
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

void CanvasFromDrawing(const Frame& screen) {
  ClearCanvas(screen.columns, screen.rows);
  size_t count = g_canvas.glyphs.size();
  size_t columns = static_cast<size_t>(g_canvas.columns);
  for (size_t i = 0; i < count; ++i) {
    char16_t c = screen.cells[i];
    uint8_t marks = (screen.marks[i] & kMarkReverse) ? kCellSelected : 0;
    g_canvas.marks[i] = marks;
    if (IsHighSurrogate(c) && i + 1 < count && (i + 1) % columns != 0 && IsLowSurrogate(screen.cells[i + 1])) {
      g_canvas.glyphs[i] = CombineSurrogates(c, screen.cells[i + 1]);
      ++i;
      g_canvas.glyphs[i] = 0;
      g_canvas.marks[i] = marks;
      continue;
    }
    bool shown = !IsHighSurrogate(c) && !IsLowSurrogate(c) && c >= 0x20 &&
                 !(c >= 0x7F && c < 0xA0) && !IsBidiControl(c);
    g_canvas.glyphs[i] = shown ? c : kStandIn;
  }
  g_canvas.cursor_row = screen.cursor_row < g_canvas.rows ? screen.cursor_row : -1;
  g_canvas.cursor_column = screen.cursor_column;
}

void CanvasFromFrame(const Frame& frame) {
  CanvasFromDrawing(frame);
  Canvas& canvas = g_canvas;
  if (frame.box == kBoxFileDialog) {
    // The full-screen file dialog covers the soft keys. The highlight of its
    // list runs across the row, as a list's does.
    int row = frame.file_dialog.selected_row;
    if (row >= 0 && row < canvas.rows) {
      auto first = canvas.marks.begin() + static_cast<long>(row) * canvas.columns;
      std::fill(first, first + canvas.columns, kCellSelected);
    }
    // A question on the hint row ("Replace …? (y/N)") is a bar across the
    // dialog, not just under its text.
    int hint = frame.file_dialog.hint_row;
    if (hint >= 0 && hint < canvas.rows) {
      auto first = canvas.marks.begin() + static_cast<long>(hint) * canvas.columns;
      if (std::find(first, first + canvas.columns, kCellSelected) != first + canvas.columns) {
        std::fill(first, first + canvas.columns, kCellSelected);
      }
    }
  } else {
    canvas.bar_row = frame.bar_row;
    canvas.left_start = frame.keys[0].start;
    canvas.left_end = frame.keys[0].end;
    canvas.right_start = frame.keys[1].start;
    canvas.right_end = frame.keys[1].end;
  }
  // The file dialogs and the dialogs with a done button show OK in the caption.
  canvas.caption_ok = frame.box == kBoxFileDialog ||
                      (frame.box == kBoxDialog && frame.dialog.done_button);
  canvas.menu_open = frame.keys[1].pressed != 0;
  if (frame.box == kBoxPopup) {
    const PopupView& popup = frame.popup;
    int bottom = std::min(popup.top + popup.height, canvas.rows);
    canvas.popup_left = popup.left;
    canvas.popup_top = popup.top;
    canvas.popup_width = popup.width;
    canvas.popup_height = bottom - popup.top;
    // The highlight fills the item's cell up to the lines around it: the
    // box's border or a separator.
    int selected = popup.selected;
    int row = popup.top + 1 + selected;
    bool item = popup.items != nullptr && selected >= 0 && selected < popup.count &&
                popup.items[selected].text != nullptr;
    if (item && row < bottom) {
      canvas.popup_selected_row = row;
      canvas.popup_line_above = selected == 0 || popup.items[selected - 1].text == nullptr;
      canvas.popup_line_below = row + 1 < bottom && (selected == popup.count - 1 ||
                                                     popup.items[selected + 1].text == nullptr);
    }
  }
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
