// Creating and destroying windows: classes, CreateWindowExW (which claims the
// class name for the other copies first), DestroyWindow, DefWindowProcW, and
// the reset of the whole layer for tests.
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

struct WindowClass {
  std::u16string name;
  WNDPROC procedure;
  UINT style;
  HINSTANCE instance;
};

std::vector<WindowClass> g_classes;

const WindowClass* FindClass(const char16_t* name) {
  if (name == nullptr) return nullptr;
  for (const WindowClass& c : g_classes) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

}  // namespace

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
  rect.right = rect.left + (width == CW_USEDEFAULT ? (area.right - area.left) : width);
  rect.bottom = rect.top + (width == CW_USEDEFAULT ? (area.bottom - area.top) : height);
  // One copy per user: the claim is taken before WM_CREATE, so that a copy
  // that loses a start-up race does nothing at all.
  int claimed = 0;
  if (parent == nullptr) {
    int claim = ClaimClassName(class_name);
    if (claim == kClaimTaken) return nullptr;
    claimed = claim == kClaimHeld;
  }
  HWND hwnd = NewTableWindow(kWindowApp);
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
  bool was_active = ActiveWindow() == w;
  // Menu bars and dialogs die with their owner.
  std::vector<PlatformWindow*> owned;
  ForEachWindow([&](PlatformWindow* other) {
    if (other->parent == w) owned.push_back(other);
  });
  for (PlatformWindow* other : owned) DestroyWindow(other);
  w->alive = 0;
  w->visible = 0;
  w->cells.clear();
  w->cells.shrink_to_fit();
  if (w->claimed) ReleaseClaim();
  w->claimed = 0;
  if (was_active) {
    ClearActiveWindow();
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

void ResetPlatformForTest() {
  ResetClaimForTest();
  ResetWindowTableForTest();
  g_classes.clear();
  ResetQueueForTest();
  ResetBackendForTest();
  ResetDrawingForTest();
}
