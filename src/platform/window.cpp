// Window classes and windows: creation, destruction, geometry, activation.
#include <unistd.h>

#include <memory>

#include "platform/window_api.h"
#include "platform/window_internal.h"

struct PlatformBrush {
  int stock;
};

namespace {

struct WindowClass {
  std::u16string name;
  WNDPROC procedure;
  UINT style;
  HINSTANCE instance;
};

std::vector<WindowClass> g_classes;
std::vector<std::unique_ptr<PlatformWindow>> g_owned;  // kept until reset: handles stay checkable
std::vector<PlatformWindow*> g_windows;
long g_next_serial = 1;
HWND g_active = nullptr;
const PlatformBrush kWhiteBrush = {WHITE_BRUSH};

const WindowClass* FindClass(const char16_t* name) {
  if (name == nullptr) return nullptr;
  for (const WindowClass& c : g_classes) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

HWND NewWindow(int kind) {
  g_owned.push_back(std::make_unique<PlatformWindow>());
  PlatformWindow* w = g_owned.back().get();
  w->kind = kind;
  w->serial = g_next_serial++;
  w->dc.window = w;
  g_windows.push_back(w);
  return w;
}

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
}

void ScreenSize(int* columns, int* rows) {
  CurrentBackend()->screen_size(columns, rows);
  if (*columns < 1) *columns = 1;
  if (*rows < 2) *rows = 2;
}

RECT WorkArea() {
  int columns = 0;
  int rows = 0;
  ScreenSize(&columns, &rows);
  return RECT{0, 1, columns, rows};
}

HWND CreateInternalWindow(int kind, HWND parent, const RECT& rect, const char16_t* title,
                          WNDPROC procedure) {
  HWND hwnd = NewWindow(kind);
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

BOOL RegisterClassW(const WNDCLASSW* window_class) {
  if (window_class == nullptr || window_class->lpfnWndProc == nullptr ||
      window_class->lpszClassName == nullptr || window_class->lpszClassName[0] == 0 ||
      FindClass(window_class->lpszClassName) != nullptr) {
    return FALSE;
  }
  g_classes.push_back(WindowClass{window_class->lpszClassName, window_class->lpfnWndProc,
                                  window_class->style, window_class->hInstance});
  return static_cast<BOOL>(g_classes.size());
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
  const WindowClass* window_class = FindClass(class_name);
  if (window_class == nullptr) return nullptr;
  if (parent != nullptr && LiveWindow(parent) == nullptr) return nullptr;
  RECT area = WorkArea();
  RECT rect;
  rect.left = x == CW_USEDEFAULT ? area.left : x;
  rect.top = x == CW_USEDEFAULT ? area.top : y;
  rect.right = rect.left + (width == CW_USEDEFAULT ? Width(area) : width);
  rect.bottom = rect.top + (width == CW_USEDEFAULT ? Height(area) : height);
  // One copy per user: the claim is taken before WM_CREATE, so that a copy
  // that loses a start-up race does nothing at all.
  int claimed = 0;
  if (parent == nullptr) {
    int claim = ClaimClassName(class_name);
    if (claim == kClaimTaken) return nullptr;
    claimed = claim == kClaimHeld;
  }
  HWND hwnd = NewWindow(kWindowApp);
  PlatformWindow* w = hwnd;
  w->alive = 1;
  w->claimed = claimed;
  w->procedure = window_class->procedure;
  w->class_name = class_name;
  w->title = title != nullptr ? title : u"";
  w->style = style;
  w->rect = rect;
  w->parent = parent;
  w->visible = (style & WS_VISIBLE) != 0;
  w->invalid = 1;
  w->erase = 1;
  ResizeCells(w);
  CREATESTRUCTW create = {
      param, instance,   menu,    parent, height, width, y, x, static_cast<LONG>(style),
      title, class_name, ex_style};
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!w->alive) return nullptr;
  if (w->visible && parent == nullptr) ActivateWindow(hwnd);
  MarkScreenChanged();
  return hwnd;
}

BOOL DestroyWindow(HWND window) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || w->kind == kWindowRemote) return FALSE;
  SendMessageW(w, WM_DESTROY, 0, 0);
  // Menu bars and dialogs die with their owner.
  for (PlatformWindow* other : g_windows) {
    if (other->alive && other->parent == w) DestroyWindow(other);
  }
  w->alive = 0;
  w->visible = 0;
  w->cells.clear();
  w->cells.shrink_to_fit();
  if (w->claimed) ReleaseClaim();
  w->claimed = 0;
  if (g_active == w) {
    g_active = nullptr;
    HWND next = FirstAppWindow();
    if (next != nullptr) ActivateWindow(next);
  }
  MarkScreenChanged();
  return TRUE;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM /*wparam*/, LPARAM /*lparam*/) {
  if (message == WM_CLOSE) {
    DestroyWindow(window);
  } else if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
  }
  return 0;
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

BOOL SetForegroundWindow(HWND window) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  if (w->kind == kWindowRemote) return ForegroundRemoteWindow(w);
  ActivateWindow(w);
  return TRUE;
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

HWND FindWindowW(LPCWSTR class_name, LPCWSTR title) {
  for (PlatformWindow* w : g_windows) {
    if (w->alive && w->kind == kWindowApp && w->parent == nullptr &&
        (class_name == nullptr || w->class_name == class_name) &&
        (title == nullptr || w->title == title)) {
      return w;
    }
  }
  if (class_name == nullptr) return nullptr;
  return FindRemoteWindow(class_name, title);
}

HGDIOBJ GetStockObject(int object) {
  return object == WHITE_BRUSH ? &kWhiteBrush : nullptr;
}

void ResetPlatformForTest() {
  ResetClaimForTest();
  for (PlatformWindow* w : g_windows) w->alive = 0;
  g_windows.clear();
  g_owned.clear();
  g_classes.clear();
  g_active = nullptr;
  ResetQueueForTest();
  ResetBackendForTest();
  ResetDrawingForTest();
}
