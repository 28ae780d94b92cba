// The backend interface: the whole contract between the platform (windows,
// queue, models) and a backend that shows the screen and reads the user's
// input. The platform keeps the windows and the screen's cells and draws its
// own popup, dialogs and open-file dialog from its models (DrawScreen); a
// backend presents that drawing and turns what the user does into
// InputEvents. A backend may instead show native popups and dialogs through
// track_popup, run_dialog and open_file; a backend that draws ours points
// them at RunOwnPopup, RunOwnDialog and RunOwnOpenFile.
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
  int save;           // kSave*: an open dialog, or one for a file to write
  long long quiet_replace_size;  // kSaveAsks: a regular file of this size is replaced
                                 // without asking (< 0: every existing file asks)
};

/// open_file's answer when several files were chosen at once (dropped): the
/// view's file holds their paths, each ended by a zero, and one more zero.
constexpr int kOpenFileSeveral = 2;

/// OpenFileView.save: a save dialog takes a new name in an existing host
/// folder (or any device folder); kSaveAsks also asks before it gives back
/// an existing file, unless that is a regular file of quiet_replace_size bytes.
constexpr int kSaveNone = 0;
constexpr int kSaveDialog = 1;
constexpr int kSaveAsks = 2;

/// The screen as the user should see it: the composed windows with the
/// popup, dialog or open-file dialog on show drawn over them. `marks` holds
/// kMark* bits per cell; the cursor is shown at cursor_row, cursor_column
/// when cursor_row >= 0.
constexpr unsigned char kMarkReverse = 1;

struct DrawnScreen {
  int columns;
  int rows;
  const char16_t* cells;       // rows * columns, row by row
  const unsigned char* marks;  // the same cells' kMark* bits
  int cursor_row;
  int cursor_column;
};

struct PlatformBackend {
  const char* name;
  int (*start)();  // takes the screen; 0 on success
  void (*stop)();  // gives the screen back
  void (*screen_size)(int* columns, int* rows);
  void (*present)();  // the screen changed: draw DrawScreen's cells
  /// Blocks until there is input, or `watch_fd` (when >= 0) is readable;
  /// returns the event's kind.
  int (*next_input)(InputEvent* event, int watch_fd);
  int (*track_popup)(const MenuView* menu);     // the chosen item's id, or 0
  int (*run_dialog)(const DialogView* dialog);  // waits for one action: kDialog*
  int (*open_file)(OpenFileView* view);         // 1 chosen, 0 cancelled, or
                                                // kOpenFileSeveral
  void (*bring_forward)();                      // another copy asked for this program's window
};

/// The backend the windows are shown on; every program and test chooses one
/// before it creates a window (there is no default).
void UsePlatformBackend(const PlatformBackend* backend);
const PlatformBackend* CurrentBackend();

/// Fills `frame` with the screen as the windows, menu bar and title make it
/// now. The cells stay valid until the next window operation.
void ComposeScreen(ScreenFrame* frame);

/// The whole screen as it should show now; valid until the next window
/// operation or DrawScreen.
void DrawScreen(DrawnScreen* screen);

/// The platform's own popup, dialog and open-file dialog, drawn by
/// DrawScreen and run on the backend's next_input.
int RunOwnPopup(const MenuView* menu);
int RunOwnDialog(const DialogView* dialog);
int RunOwnOpenFile(OpenFileView* view);

/// The popup, open-file dialog or dialog on show, or null (for a backend
/// that answers them another way but shows ours).
const MenuView* PopupOnShow();
const OpenFileView* OpenFileOnShow();

/// The main window's client area as painted (for tests of what the program
/// drew); false when there is no such window.
bool AppClientArea(const char16_t** cells, int* columns, int* rows);
