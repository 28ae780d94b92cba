// Painting: the paint calls and DrawTextW into a window's content, and the
// window's view of that content. A line wider than the window wraps into
// the rows below (WrapPoint); the text itself is left as it is. A text
// taller than the window is kept whole; after a paint that changed it the
// window shows its end, and the view scrolls (ScrollWindowView) until the
// next such paint.
#include <algorithm>

#include "host/text.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

LONG ClientWidth(const PlatformWindow* w) {
  return w->rect.right - w->rect.left > 0 ? w->rect.right - w->rect.left : 0;
}
LONG ClientHeight(const PlatformWindow* w) {
  return w->rect.bottom - w->rect.top > 0 ? w->rect.bottom - w->rect.top : 0;
}

int LastViewTop(const PlatformWindow* w) {
  int last = w->content_rows - static_cast<int>(ClientHeight(w));
  return last > 0 ? last : 0;
}

// Makes the content at least `rows` rows tall; false past the limit.
bool GrowContent(PlatformWindow* w, LONG rows) {
  if (rows <= w->content_rows) return true;
  if (rows > kMaxContentRows) return false;
  w->content.resize(static_cast<size_t>(rows) * static_cast<size_t>(ClientWidth(w)), u' ');
  w->content_rows = static_cast<int>(rows);
  return true;
}

}  // namespace

size_t WrapPoint(const char16_t* line, size_t length, size_t width) {
  if (width == 0 || length <= width) return length;
  // A path breaks before a separator in the row's last third, so that a
  // folder's name starts the next row whole.
  size_t cut = width;
  for (size_t i = width - 1; i > width - width / 3 - 1 && i > 0; --i) {
    if (line[i] == u'/' || line[i] == u'\\') {
      cut = i;
      break;
    }
  }
  // A surrogate pair stays together.
  bool high = line[cut - 1] >= 0xD800 && line[cut - 1] <= 0xDBFF;
  bool low = line[cut] >= 0xDC00 && line[cut] <= 0xDFFF;
  if (high && low && cut > 1) --cut;
  return cut;
}

void ShowContentView(PlatformWindow* w) {
  const size_t width = static_cast<size_t>(ClientWidth(w));
  const size_t height = static_cast<size_t>(ClientHeight(w));
  w->cells.assign(width * height, u' ');
  for (size_t row = 0; row < height; ++row) {
    size_t from = static_cast<size_t>(w->view_top) + row;
    if (from >= static_cast<size_t>(w->content_rows)) break;
    std::copy_n(w->content.begin() + static_cast<std::ptrdiff_t>(from * width), width,
                w->cells.begin() + static_cast<std::ptrdiff_t>(row * width));
  }
  MarkScreenChanged();
}

bool ScrollWindowView(PlatformWindow* w, int rows) {
  int top = rows == kViewStart ? 0 : rows == kViewEnd ? LastViewTop(w) : w->view_top + rows;
  if (top > LastViewTop(w)) top = LastViewTop(w);
  if (top < 0) top = 0;
  if (top == w->view_top) return false;
  w->view_top = top;
  ShowContentView(w);
  return true;
}

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
  w->previous = w->content;
  // The class brush is white: erasing blanks the grid.
  if (w->erase) {
    w->content.assign(static_cast<size_t>(ClientWidth(w)) * static_cast<size_t>(ClientHeight(w)),
                      u' ');
    w->content_rows = static_cast<int>(ClientHeight(w));
  }
  w->invalid = 0;
  w->erase = 0;
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* /*paint*/) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  // New text brings the view to its end; a repaint of the same text keeps
  // the place the user scrolled to.
  if (w->content != w->previous) {
    w->view_top = LastViewTop(w);
  } else if (w->view_top > LastViewTop(w)) {
    w->view_top = LastViewTop(w);
  }
  w->previous.clear();
  ShowContentView(w);
  // Shown at once: a conversion paints from inside a command, long before the
  // loop waits for input again.
  PresentNow();
  return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (dc == nullptr || text == nullptr || rect == nullptr || format != 0) return 0;
  PlatformWindow* w = LiveWindow(dc->window);
  if (w == nullptr) return 0;
  const LONG width = ClientWidth(w);
  const LONG height = ClientHeight(w);
  const LONG left = rect->left > 0 ? rect->left : 0;
  const LONG right = rect->right < width ? rect->right : width;
  const LONG top = rect->top > 0 ? rect->top : 0;
  // A rectangle that reaches the window's bottom edge goes on below it, into
  // the rows the view scrolls to; a smaller one clips.
  const bool open_below = rect->bottom >= height;
  const LONG bottom = open_below ? kMaxContentRows : rect->bottom;
  const size_t length = count < 0 ? WideLength(text) : static_cast<size_t>(count);
  const size_t row_width = right > rect->left ? static_cast<size_t>(right - rect->left) : 0;
  LONG row = rect->top;
  size_t at = 0;
  while (at < length) {
    size_t end = at;
    while (end < length && text[end] != u'\r' && text[end] != u'\n') ++end;
    // A line wider than the rectangle goes on in the rows below it.
    for (;;) {
      size_t cut = WrapPoint(text + at, end - at, row_width);
      LONG column = rect->left;
      for (size_t i = at; i < at + cut; ++i, ++column) {
        if (row >= top && column >= left && column < right && GrowContent(w, row + 1)) {
          w->content[static_cast<size_t>(row) * static_cast<size_t>(width) +
                     static_cast<size_t>(column)] = text[i] < 0x20 ? u' ' : text[i];
        }
      }
      at += cut;
      if (at == end) break;
      if (++row >= bottom) return static_cast<int>(row - rect->top);  // nothing more shows
    }
    if (at == length) break;
    // CR LF is one line end; a lone CR or LF is one too.
    at += text[at] == u'\r' && at + 1 < length && text[at + 1] == u'\n' ? 2 : 1;
    if (++row >= bottom) return static_cast<int>(row - rect->top);
  }
  return static_cast<int>(row - rect->top + 1);
}
