// The window table, at the bottom of the window layer: the windows' records,
// geometry, activation and the calls into a window's procedure. It calls
// nothing above it (creation, claims, the queue, the screen are above).
#include <unistd.h>

#include <memory>

#include "platform/window_api.h"
#include "platform/window_internal.h"

struct PlatformBrush {
  int stock;
};

namespace {

std::vector<std::unique_ptr<PlatformWindow>> g_owned;  // kept until reset: handles stay checkable
std::vector<PlatformWindow*> g_windows;
long g_next_serial = 1;
HWND g_active = nullptr;
const PlatformBrush kWhiteBrush = {WHITE_BRUSH};


}  // namespace

HWND NewTableWindow(int kind) {
  g_owned.push_back(std::make_unique<PlatformWindow>());
  PlatformWindow* w = g_owned.back().get();
  w->kind = kind;
  w->serial = g_next_serial++;
  w->dc.window = w;
  g_windows.push_back(w);
  return w;
}

namespace {

LONG Width(const RECT& r) {
  return r.right - r.left;
}
LONG Height(const RECT& r) {
  return r.bottom - r.top;
}

bool Contains(const RECT& r, int column, int row) {
  return column >= r.left && column < r.right && row >= r.top && row < r.bottom;
}

}  // namespace

std::vector<PlatformWindow*>& AllWindowsForLayer() {
  return g_windows;
}

PlatformWindow* LiveWindow(HWND window) {
  auto bits = reinterpret_cast<uintptr_t>(window) & ~static_cast<uintptr_t>(1);
  if (bits == 0) return nullptr;
  for (PlatformWindow* w : g_windows) {
    if (reinterpret_cast<uintptr_t>(w) == bits) return w->alive ? w : nullptr;
  }
  return nullptr;
}

void ResizeCells(PlatformWindow* w) {
  LONG width = Width(w->rect) > 0 ? Width(w->rect) : 0;
  LONG height = Height(w->rect) > 0 ? Height(w->rect) : 0;
  w->cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), u' ');
  w->content = w->cells;
  w->content_rows = static_cast<int>(height);
  w->view_top = 0;
}



HWND CreateInternalWindow(int kind, HWND parent, const RECT& rect, const char16_t* title,
                          WNDPROC procedure) {
  HWND hwnd = NewTableWindow(kind);
  PlatformWindow* w = hwnd;
  w->alive = 1;
  w->parent = parent;
  w->rect = rect;
  w->title = title != nullptr ? title : u"";
  w->procedure = procedure;
  w->visible = kind != kWindowRemote;
  ResizeCells(w);
  MarkScreenChanged();
  return hwnd;
}





BOOL GetClientRect(HWND window, RECT* rect) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, Width(w->rect), Height(w->rect)};
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || width < 0 || height < 0) return FALSE;
  bool resized = width != Width(w->rect) || height != Height(w->rect);
  w->rect = RECT{x, y, x + width, y + height};
  if (resized) {
    ResizeCells(w);
    w->invalid = 1;
    w->erase = 1;
    SendMessageW(window, WM_SIZE, 0,
                 MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
  }
  if (repaint) InvalidateRect(window, nullptr, TRUE);
  MarkScreenChanged();
  return TRUE;
}

BOOL ShowWindow(HWND window, int show) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  BOOL was_visible = w->visible;
  w->visible = show != SW_HIDE;
  if (w->visible && w->parent == nullptr && w->kind == kWindowApp) ActivateWindow(window);
  MarkScreenChanged();
  return was_visible;
}

void ActivateWindow(HWND window) {
  if (window == g_active || LiveWindow(window) == nullptr) return;
  HWND previous = g_active;
  g_active = window;
  if (LiveWindow(previous) != nullptr) {
    SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
  }
  SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  MarkScreenChanged();
}

HWND ActiveWindow() {
  return LiveWindow(g_active) != nullptr ? g_active : nullptr;
}

HWND FirstAppWindow() {
  for (PlatformWindow* w : g_windows) {
    if (w->alive && w->visible && w->kind == kWindowApp && w->parent == nullptr) return w;
  }
  return nullptr;
}

HWND MenuBarOf(HWND owner) {
  for (PlatformWindow* w : g_windows) {
    if (w->alive && w->kind == kWindowBar && w->parent == owner) return w;
  }
  return nullptr;
}

HWND WindowAt(int column, int row) {
  // Dialogs lie over everything, menu bars over windows; later ones on top.
  for (int kind : {kWindowDialog, kWindowBar, kWindowApp}) {
    for (auto it = g_windows.rbegin(); it != g_windows.rend(); ++it) {
      PlatformWindow* w = *it;
      if (w->alive && w->visible && w->kind == kind && Contains(w->rect, column, row)) return w;
    }
  }
  return nullptr;
}


DWORD GetWindowThreadProcessId(HWND window, DWORD* process_id) {
  PlatformWindow* w = LiveWindow(window);
  DWORD pid = 0;
  if (w != nullptr) {
    pid = w->kind == kWindowRemote ? w->process_id : static_cast<DWORD>(getpid());
  }
  if (process_id != nullptr) *process_id = pid;
  return pid != 0 ? 1 : 0;
}


HGDIOBJ GetStockObject(int object) {
  return object == WHITE_BRUSH ? &kWhiteBrush : nullptr;
}


LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PlatformWindow* w = LiveWindow(window);
  if (w != nullptr && w->kind == kWindowRemote && message == WM_COPYDATA) {
    return SendRemoteCopyData(w, reinterpret_cast<const COPYDATASTRUCT*>(lparam));
  }
  if (w == nullptr || w->procedure == nullptr) return 0;
  return w->procedure(window, message, wparam, lparam);
}

BOOL InvalidateRect(HWND window, const RECT* /*rect*/, BOOL erase) {
  // The whole window is always repainted; its grid is small.
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  w->invalid = 1;
  if (erase) w->erase = 1;
  return TRUE;
}

void ClearActiveWindow() {
  g_active = nullptr;
}

void ResetWindowTableForTest() {
  for (PlatformWindow* w : g_windows) w->alive = 0;
  g_windows.clear();
  g_owned.clear();
  g_active = nullptr;
}
