// Windows, the message queue and painting: the part of the handheld API that
// the shell's window procedure and message loop call.
//
// The screen is a grid of character cells. Row 0 is the title row, showing the
// title of the active top-level window; the rest is the work area, where a
// window created with CW_USEDEFAULT is placed. A menu bar takes the bottom row.
// One thread, one queue: posted messages come first, then the quit message,
// then a paint for an invalidated window, then the next input of the backend.
#pragma once

#include "platform/win_defs.h"

BOOL RegisterClassW(const WNDCLASSW* window_class);

/// Sends WM_CREATE before it returns; a WM_CREATE result of -1 fails the
/// creation. A top-level window of a registered class also claims its class
/// name for this user, so that FindWindowW in another process finds it; when a
/// live process holds that claim already, the creation fails.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);

/// Sends WM_DESTROY and forgets the window; later calls with its handle fail.
BOOL DestroyWindow(HWND window);

/// WM_CLOSE destroys the window; every other message returns 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

BOOL GetMessageW(MSG* message, HWND filter, UINT first, UINT last);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

/// The state of a key when the message being handled was read: the high bit
/// set while it is down. Only VK_CONTROL, VK_SHIFT and VK_MENU are tracked.
short GetKeyState(int virtual_key);

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

/// Format 0 only: from the top-left of `rect`, no wrapping, CR LF, LF and CR
/// each end a line, clipped at the rectangle's edges. `count` -1 means up to
/// the terminator. Returns the height drawn, or 0 for any other format.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL ShowWindow(HWND window, int show);

/// The top-level window of that class (and title, unless null): in this
/// process, else in another copy run by the same user.
HWND FindWindowW(LPCWSTR class_name, LPCWSTR title);

/// Activates the window. The lowest bit of the handle may be set (the device's
/// way of raising a window with its dialogs). A window of another process is
/// asked to come forward through its claim.
BOOL SetForegroundWindow(HWND window);

/// The process that owns the window; 0 for an unknown handle.
DWORD GetWindowThreadProcessId(HWND window, DWORD* process_id);

HGDIOBJ GetStockObject(int object);

/// Forgets every window, class, queued message and claim, and returns to the
/// headless backend: a fresh start for the next test.
void ResetPlatformForTest();
