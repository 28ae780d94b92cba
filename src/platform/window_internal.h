// The window layer's own records, shared by its files. Nothing outside
// src/platform includes this: backends see only platform/backend.h.
#pragma once

#include <string>
#include <vector>

#include "host/single_instance.h"
#include "platform/backend.h"
#include "platform/dialog_api.h"
#include "platform/file_dialog.h"
#include "platform/own_views.h"
#include "platform/popup_model.h"
#include "platform/resource_api.h"
#include "platform/win_defs.h"

constexpr int kWindowApp = 0;     // made by CreateWindowExW
constexpr int kWindowBar = 1;     // a menu bar
constexpr int kWindowDialog = 2;  // a modal dialog
constexpr int kWindowRemote = 3;  // stands for a window of another process

constexpr int kMaxMenuItems = 16;
constexpr int kMaxBarPopups = 4;
constexpr int kMaxBarButtons = 2;
constexpr int kMaxButtonText = 40;
constexpr int kMaxDialogTexts = 16;

struct PlatformMenu {
  MenuItemView items[kMaxMenuItems];
  int count = 0;
};

struct PlatformDc {
  HWND window = nullptr;
};

struct MenuBarButton {
  char16_t text[kMaxButtonText] = {};
  UINT command = 0;
  BYTE state = 0;
  BYTE style = 0;
  WORD popup = NOMENU;
};

struct MenuBarData {
  MenuBarButton buttons[kMaxBarButtons];
  int button_count = 0;
  PlatformMenu popups[kMaxBarPopups];
  int popup_count = 0;
};

struct DialogData {
  DLGPROC procedure = nullptr;
  int ended = 0;
  INT_PTR result = 0;
  DWORD shell_flags = 0;  // SHIDIF_* from SHInitDialog
  DialogTextView texts[kMaxDialogTexts];
  int text_count = 0;
};

struct PlatformWindow {
  int alive = 0;
  int kind = kWindowApp;
  long serial = 0;  // unique within the process, for other copies
  WNDPROC procedure = nullptr;
  std::u16string class_name;
  std::u16string title;
  DWORD style = 0;
  RECT rect = {};         // screen cells
  HWND parent = nullptr;  // the owner of a menu bar or dialog
  int visible = 0;
  int invalid = 0;
  int erase = 0;
  int claimed = 0;              // holds the class name's claim
  std::vector<char16_t> cells;  // the client area as shown: the rows of `content` in view
  // Everything the last paint drew, also below the window's bottom edge: a
  // text taller than the window is kept whole, and the window shows the rows
  // from view_top on (after a paint that changed them, its end).
  std::vector<char16_t> content;   // content_rows rows of the client's width
  std::vector<char16_t> previous;  // content before the paint in progress
  int content_rows = 0;
  int view_top = 0;
  PlatformDc dc;
  MenuBarData bar;
  DialogData dialog;
  DWORD process_id = 0;  // a remote window's process
};

/// The window behind a handle (the lowest bit ignored), or null when the
/// handle is unknown or destroyed.
PlatformWindow* LiveWindow(HWND window);

/// A new record in the window table, not yet alive.
HWND NewTableWindow(int kind);

/// No window is active (its window is going).
void ClearActiveWindow();

/// Empties the window table.
void ResetWindowTableForTest();

/// A window of the layer's own kinds (menu bar, dialog, remote stand-in).
HWND CreateInternalWindow(int kind, HWND parent, const RECT& rect, const char16_t* title,
                          WNDPROC procedure);

/// Makes the window the active one; WM_ACTIVATE goes to both windows.
void ActivateWindow(HWND window);
HWND ActiveWindow();

/// The first live visible window made by CreateWindowExW with no parent.
HWND FirstAppWindow();

/// The window under a screen cell, menu bars and dialogs first.
HWND WindowAt(int column, int row);

/// The menu bar whose owner is `owner`, or null.
HWND MenuBarOf(HWND owner);

/// Calls `visit` for every live window, in creation order.
template <typename Visit>
void ForEachWindow(Visit visit);
std::vector<PlatformWindow*>& AllWindowsForLayer();
template <typename Visit>
void ForEachWindow(Visit visit) {
  for (PlatformWindow* w : AllWindowsForLayer()) {
    if (w->alive) visit(w);
  }
}

/// Gives the window a blank grid of its client size.
void ResizeCells(PlatformWindow* window);

/// Rows a window's painted content keeps at most.
constexpr int kMaxContentRows = 20000;

/// Moves the window's view of its content by `rows` (negative: towards the
/// start), or to the start or end with kViewStart / kViewEnd; false when the
/// view did not move.
constexpr int kViewStart = -1000000;
constexpr int kViewEnd = 1000000;
bool ScrollWindowView(PlatformWindow* window, int rows);

/// Where a line of `length` UTF-16 units, drawn `width` cells wide, breaks:
/// before the last '/' or '\' in the row's last third, else at the width
/// (a surrogate pair kept whole); `length` when it fits.
size_t WrapPoint(const char16_t* line, size_t length, size_t width);

/// Copies the content rows in view into the window's cells.
void ShowContentView(PlatformWindow* window);

/// Whether the screen is too small to show the windows (below kMinColumns x
/// kMinRows): it then shows only a notice, and input other than a resize,
/// a close and Ctrl+Q is dropped.
constexpr int kMinColumns = kMinScreenColumns;
constexpr int kMinRows = kMinScreenRows;
bool ScreenTooSmall();

/// The screen's size in cells, and the work area: everything below the title
/// row.
void ScreenSize(int* columns, int* rows);
RECT WorkArea();

/// The screen changed: the backend redraws before it next waits, or at once.
void MarkScreenChanged();
void PresentIfChanged();
void PresentNow();

/// The screen changed size: menu bars move, windows are told.
void HandleScreenResize();

/// The claim of a class name by this process, for the other copies:
/// kClaimNone, kClaimTaken or kClaimHeld (host/single_instance.h).
int ClaimClassName(const char16_t* class_name);
void ReleaseClaim();
HWND FindRemoteWindow(const char16_t* class_name, const char16_t* title);
BOOL ForegroundRemoteWindow(PlatformWindow* window);
/// WM_COPYDATA to another copy's window: its window procedure's result, or 0
/// when the bytes (at most 32 KiB) could not be handed over.
LRESULT SendRemoteCopyData(PlatformWindow* window, const COPYDATASTRUCT* data);
void ResetClaimForTest();

/// The socket on which another copy of the program may call, or -1, and the
/// answering of what waits on it (never blocks for long).
int ClaimWatchFd();
void ServeClaim();

/// The popup and open-file dialog on show, drawn by DrawScreen and run by
/// RunOwnPopup and RunOwnOpenFile; null when none is.
void ShowPopup(PopupModel* popup);
PopupModel* ShownPopup();
void ShowFileDialog(FileDialogModel* dialog);
FileDialogModel* ShownFileDialog();
void ResetDrawingForTest();
void ResetFileDialogsForTest();

/// A drop event's paths (each ended by a zero, one more zero after the
/// last) as one string holding each path with its zero.
std::u16string DroppedPaths(const char16_t* text);

/// Dropped files as the open-file dialog's answer: 1 one chosen (the path
/// and the filter its name matches are in the view), kOpenFileSeveral
/// several (their paths each ended by a zero, and one more zero), 0
/// cancelled (the answer does not fit), -1 not taken (no path, or a dialog
/// for a file to write).
int AnswerWithDrop(OpenFileView* view, const char16_t* paths);

/// Files dropped on the main screen, for the open-file dialog its F1 opens
/// next; void once the next input is read.
void KeepDrop(const char16_t* paths);
/// The drop kept, or empty; the keeping ends.
std::u16string TakeKeptDrop();

/// The next input event from the backend; meanwhile answers other copies
/// whenever the claim socket is readable. Returns the event's kind.
int ReadInput(InputEvent* event);

/// The menu bar's row now, or -1.
int BarRow();

/// Message-queue and popup state back to a fresh start.
void ResetQueueForTest();
void ResetBackendForTest();
