// The backend interface: the whole contract between the platform (windows,
// queue, models) and a backend that shows the screen and reads the user's
// input. The platform keeps the windows, runs its own popup, dialogs and
// file dialogs, and pushes each change to the backend as a Frame: the cells
// with their marks and everything a backend may want to draw differently
// (soft keys, title, the box on show) as data. A backend draws the frame it
// is given and never asks the platform anything while it draws; it turns
// what the user does into InputEvents (a key, a click or double click, a
// wheel notch, a dropped file), which the platform's models handle the same
// way for every backend.
//
// While a backend waits for input it also watches the descriptor the
// platform gives it and reports kEventWatch when that is readable; the
// platform then answers other copies of the program. A backend never knows
// what the descriptor is.
#pragma once

#include "platform/win_defs.h"

/// What next_input read.
constexpr int kEventKey = 1;     // key (a VK_ code), modifiers, character (0 for none)
constexpr int kEventClick = 2;   // column, row of the screen
constexpr int kEventResize = 3;  // the screen changed size
constexpr int kEventClose = 4;   // the system closes the program's windows
constexpr int kEventEnd = 5;     // no input will ever come again
constexpr int kEventWatch = 6;   // the platform's watch descriptor is readable
constexpr int kEventWheel = 7;   // column, row of the pointer; key: kWheelUp or kWheelDown
constexpr int kEventDoubleClick = 8;  // column, row: a second click on the same cell in quick
                                      // succession (the first came as kEventClick)
constexpr int kEventDrop = 9;  // text: the paths of the files dropped on the window

/// The `key` of a kEventWheel: one notch towards the start (up) or the end.
constexpr int kWheelUp = -1;
constexpr int kWheelDown = 1;

constexpr int kModControl = 1;
constexpr int kModShift = 2;
constexpr int kModAlt = 4;

struct InputEvent {
  int kind;
  int key;
  int modifiers;
  int column;
  int row;
  int character;  // the Unicode character a key typed, 0 for none
  // kEventDrop's paths, each ended by a zero and one more zero after the
  // last; valid until the next next_input.
  const char16_t* text = nullptr;
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

/// The smallest screen the windows are laid out on; below it a frame shows
/// only a notice that asks for a bigger screen.
constexpr int kMinScreenColumns = 40;
constexpr int kMinScreenRows = 12;

/// What a frame shows over the windows.
constexpr int kBoxNone = 0;
constexpr int kBoxPopup = 1;       // Frame::popup
constexpr int kBoxDialog = 2;      // Frame::dialog
constexpr int kBoxFileDialog = 3;  // Frame::file_dialog, covering the whole screen

/// A cell's marks.
constexpr unsigned char kMarkReverse = 1;

struct SoftKeyView {
  int start, end;  // its span on the bar row; empty (start == end) when there is none
  int pressed;     // its popup is open
};

struct PopupView {
  int top, left, width, height;  // the box, border included; it may run past the screen's bottom
  const MenuItemView* items;
  int count;
  int selected;  // the highlighted item
};

struct DialogFrameView {
  int done_button;  // OK in the last two cells of the title row
};

struct FileDialogFrameView {
  int list_top, list_rows;  // the rows of the file list
  int selected_row;         // the highlighted entry's row, or -1
  int name_row;
  int type_row;  // -1 when there is no type line
  int hint_row;
  int filter_index;  // 1-based, on the type line
  int filter_count;
};

/// The screen as the user should see it: the composed windows with the box
/// on show drawn over them, as cells with kMark* bits, and what each part
/// is. The cursor is shown at cursor_row, cursor_column when cursor_row >= 0.
/// Everything stays valid until the backend returns from present.
struct Frame {
  int columns;
  int rows;
  const char16_t* cells;       // rows * columns, row by row
  const unsigned char* marks;  // the same cells' kMark* bits
  int cursor_row;
  int cursor_column;
  const char16_t* title;  // the text of row 0
  int bar_row;            // the soft keys' row, or -1 (none, or covered)
  SoftKeyView keys[2];    // left, right
  int box;                // kBox*
  PopupView popup;
  DialogFrameView dialog;
  FileDialogFrameView file_dialog;
  int accepts_drop;  // a file dropped now would be taken
};

struct PlatformBackend {
  const char* name;
  int (*start)();  // takes the screen; 0 on success
  void (*stop)();  // gives the screen back
  void (*screen_size)(int* columns, int* rows);
  void (*present)(const Frame& frame);  // the screen changed: draw this
  /// Blocks until there is input, or `watch_fd` (when >= 0) is readable;
  /// returns the event's kind.
  int (*next_input)(InputEvent* event, int watch_fd);
  void (*bring_forward)();  // another copy asked for this program's window
  /// What the notice on a screen below kMinScreenColumns x kMinScreenRows
  /// asks the user to make bigger; null: "terminal".
  const char16_t* screen_name = nullptr;
};

/// The backend the windows are shown on; every program and test chooses one
/// before it creates a window (there is no default).
void UsePlatformBackend(const PlatformBackend* backend);
const PlatformBackend* CurrentBackend();

/// The frame as the screen stands now (what present would be given), for
/// test doubles that look at the screen between frames; valid until the
/// next window operation.
void DrawScreen(Frame* frame);

/// The main window's client area as painted (for tests of what the program
/// drew); false when there is no such window.
bool AppClientArea(const char16_t** cells, int* columns, int* rows);
