// The screen as a whole: what it shows (the title row, the windows' cells,
// the menu bar's soft keys, a dialog).
#include "host/text.h"
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

std::vector<char16_t> g_screen;  // grows with the screen, reused across frames

void PutText(int columns, int row, int column, const char16_t* text, int limit) {
  for (int i = 0; text[i] != 0 && i < limit && column + i < columns; ++i) {
    if (column + i >= 0) g_screen[static_cast<size_t>(row * columns + column + i)] = text[i];
  }
}

void PutCells(int columns, int rows, const PlatformWindow* w) {
  const LONG width = w->rect.right - w->rect.left;
  const LONG height = w->rect.bottom - w->rect.top;
  for (LONG y = 0; y < height; ++y) {
    LONG row = w->rect.top + y;
    if (row < 0 || row >= rows) continue;
    for (LONG x = 0; x < width; ++x) {
      LONG column = w->rect.left + x;
      if (column < 0 || column >= columns) continue;
      g_screen[static_cast<size_t>(row * columns + column)] =
          w->cells[static_cast<size_t>(y * width + x)];
    }
  }
}

// A dialog shows its caption in the title row (with OK at the right when it
// has the done button) and its texts in the work area.
void PutDialog(int columns, int rows, const PlatformWindow* w) {
  for (LONG row = w->rect.top; row < w->rect.bottom && row < rows; ++row) {
    for (LONG column = w->rect.left; column < w->rect.right && column < columns; ++column) {
      if (row >= 0 && column >= 0) g_screen[static_cast<size_t>(row * columns + column)] = u' ';
    }
  }
  for (int i = 0; i < w->dialog.text_count; ++i) {
    const DialogTextView& t = w->dialog.texts[i];
    int row = w->rect.top + t.row;
    if (row >= 1 && row < rows) PutText(columns, row, w->rect.left + t.column, t.text, t.width);
  }
}

}  // namespace







void ComposeScreen(ScreenFrame* frame) {
  int columns = 0;
  int rows = 0;
  ScreenSize(&columns, &rows);
  g_screen.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), u' ');
  *frame = ScreenFrame{columns, rows, g_screen.data(), -1, 0, 0, 0, 0};

  HWND active = ActiveWindow();
  const PlatformWindow* top = LiveWindow(active);
  bool empty_bar = false;
  if (top != nullptr) {
    PutText(columns, 0, 0, top->title.c_str(), columns);
    if (top->kind == kWindowDialog) {
      if (top->dialog.shell_flags & SHIDIF_DONEBUTTON) PutText(columns, 0, columns - 2, u"OK", 2);
      empty_bar = (top->dialog.shell_flags & SHIDIF_EMPTYMENU) != 0;
    }
  }
  for (int kind : {kWindowApp, kWindowBar, kWindowDialog}) {
    ForEachWindow([&](PlatformWindow* w) {
      if (w->kind != kind || !w->visible) return;
      if (kind == kWindowApp) PutCells(columns, rows, w);
      if (kind == kWindowDialog) PutDialog(columns, rows, w);
      if (kind != kWindowBar) return;
      if (w->parent != nullptr && LiveWindow(w->parent) != nullptr &&
          !LiveWindow(w->parent)->visible) {
        return;
      }
      frame->bar_row = w->rect.top;
      if (empty_bar || w->rect.top < 0 || w->rect.top >= rows) return;
      // The first button sits at the left edge, the second at the right.
      const MenuBarData& bar = w->bar;
      if (bar.button_count > 0) {
        int length = static_cast<int>(WideLength(bar.buttons[0].text));
        PutText(columns, w->rect.top, 0, bar.buttons[0].text, columns);
        frame->left_key_end = length < columns ? length : columns;
      }
      if (bar.button_count > 1) {
        int length = static_cast<int>(WideLength(bar.buttons[1].text));
        int start = columns - length > 0 ? columns - length : 0;
        PutText(columns, w->rect.top, start, bar.buttons[1].text, columns);
        frame->right_key_start = start;
        frame->right_key_end = columns;
      }
    });
  }
}

int BarRow() {
  ScreenFrame frame;
  ComposeScreen(&frame);
  return frame.bar_row;
}

