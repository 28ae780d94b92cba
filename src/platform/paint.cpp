// Painting: the paint calls and DrawTextW into a window's cells.
#include "platform/window_api.h"
#include "platform/window_internal.h"


BOOL UpdateWindow(HWND window) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  if (w->invalid && w->visible) SendMessageW(window, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || paint == nullptr) return nullptr;
  paint->hdc = &w->dc;
  paint->fErase = w->erase;
  GetClientRect(window, &paint->rcPaint);
  // The class brush is white: erasing blanks the grid.
  if (w->erase) {
    for (char16_t& cell : w->cells) cell = u' ';
  }
  w->invalid = 0;
  w->erase = 0;
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* /*paint*/) {
  if (LiveWindow(window) == nullptr) return FALSE;
  // Shown at once: a conversion paints from inside a command, long before the
  // loop waits for input again.
  MarkScreenChanged();
  PresentNow();
  return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (dc == nullptr || text == nullptr || rect == nullptr || format != 0) return 0;
  PlatformWindow* w = LiveWindow(dc->window);
  if (w == nullptr) return 0;
  const LONG width = w->rect.right - w->rect.left;
  const LONG height = w->rect.bottom - w->rect.top;
  const LONG left = rect->left > 0 ? rect->left : 0;
  const LONG right = rect->right < width ? rect->right : width;
  const LONG top = rect->top > 0 ? rect->top : 0;
  const LONG bottom = rect->bottom < height ? rect->bottom : height;
  LONG row = rect->top;
  LONG column = rect->left;
  for (int i = 0; count < 0 ? text[i] != 0 : i < count; ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      // CR LF is one line end; a lone CR or LF is one too.
      if (c == u'\r' && (count < 0 || i + 1 < count) && text[i + 1] == u'\n') ++i;
      ++row;
      column = rect->left;
      if (row >= bottom) return static_cast<int>(row - rect->top);  // nothing more shows
      continue;
    }
    if (row >= top && row < bottom && column >= left && column < right) {
      w->cells[static_cast<size_t>(row) * static_cast<size_t>(width) +
               static_cast<size_t>(column)] = c < 0x20 ? u' ' : c;
    }
    ++column;
  }
  return static_cast<int>(row - rect->top + 1);
}
