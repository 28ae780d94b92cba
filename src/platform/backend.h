// A backend shows the screen and reads the user's input. The window layer
// keeps the windows, the queue and the screen's cells; a backend only draws
// what ComposeScreen gives it and turns what the user does into InputEvents,
// popup choices and dialog answers. While it waits anywhere, a backend also
// watches ClaimWatchFd() and calls ServeClaim() when it is readable, so that
// another copy of the program is answered at once.
#pragma once

#include "platform/win_defs.h"

/// What next_input read.
constexpr int kInputKey = 1;     // key (a VK_ code), modifiers
constexpr int kInputClick = 2;   // column, row of the screen
constexpr int kInputResize = 3;  // the screen changed size
constexpr int kInputClose = 4;   // the system closes the program's windows
constexpr int kInputEnd = 5;     // no input will ever come again

constexpr int kModControl = 1;
constexpr int kModShift = 2;
constexpr int kModAlt = 4;

struct InputEvent {
  int kind;
  int key;
  int modifiers;
  int column;
  int row;
};

/// The whole screen as cells, row 0 the title row. The soft keys' spans on the
/// bar row are given so that a backend can highlight them; spans are empty
/// (start == end) when there is no such key or no menu bar (bar_row -1).
struct ScreenFrame {
  int columns;
  int rows;
  const char16_t* cells;  // rows * columns, row by row
  int bar_row;
  int left_key_start, left_key_end;
  int right_key_start, right_key_end;
};

struct MenuItemView {
  const char16_t* text;  // null for a separator
  UINT id;
  int checked;
};

struct MenuView {
  const MenuItemView* items;
  int count;
};

/// A static text of a dialog, in cells relative to the work area's top-left.
struct DialogTextView {
  const char16_t* text;
  int column;
  int row;
  int width;
};

struct DialogView {
  const char16_t* caption;
  int done_button;  // OK shown in the caption
  int empty_menu;   // the menu bar row is empty while the dialog shows
  const DialogTextView* texts;
  int count;
};

/// What run_dialog reports.
constexpr int kDialogOk = 1;     // OK (caption button or Enter)
constexpr int kDialogClose = 2;  // closed another way
constexpr int kDialogGone = 3;   // the input ended

struct FileFilterView {
  const char16_t* name;
  const char16_t* pattern;
};

constexpr int kMaxFileFilters = 8;

struct OpenFileView {
  const char16_t* title;
  const FileFilterView* filters;
  int filter_count;
  int filter_index;   // 1-based, in and out
  char16_t* file;     // the initial name in, the chosen path out
  int file_capacity;  // characters, terminator included
  int must_exist;     // only an existing file may be chosen
};

struct PlatformBackend {
  const char* name;
  int (*start)();  // takes the screen; 0 on success
  void (*stop)();  // gives the screen back
  void (*screen_size)(int* columns, int* rows);
  void (*present)();                            // the screen changed: draw ComposeScreen's frame
  int (*next_input)(InputEvent* event);         // blocks; returns the event's kind
  int (*track_popup)(const MenuView* menu);     // the chosen item's id, or 0
  int (*run_dialog)(const DialogView* dialog);  // waits for one action: kDialog*
  int (*open_file)(OpenFileView* view);         // 1 chosen, 0 cancelled
  void (*bring_forward)();                      // another copy asked for this program's window
};

void UsePlatformBackend(const PlatformBackend* backend);
const PlatformBackend* CurrentBackend();

/// Fills `frame` with the screen as the windows, menu bar and title make it
/// now. The cells stay valid until the next window operation.
void ComposeScreen(ScreenFrame* frame);

/// The socket on which another copy of the program may call, or -1.
int ClaimWatchFd();

/// Answers the requests waiting on ClaimWatchFd(); never blocks for long.
void ServeClaim();
