// The views the platform's own popup, dialogs and file dialogs are run on:
// what the window layer hands its models. Backends never see them; they get
// what is on show through the Frame.
#pragma once

#include "platform/backend.h"

/// The whole screen as the windows, menu bar and title compose it, row 0 the
/// title row; the soft keys' spans on the bar row are empty (start == end)
/// when there is no such key or no menu bar (bar_row -1).
struct ScreenFrame {
  int columns;
  int rows;
  const char16_t* cells;  // rows * columns, row by row
  int bar_row;
  int left_key_start, left_key_end;
  int right_key_start, right_key_end;
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

/// What RunOwnDialog reports.
constexpr int kDialogOk = 1;     // OK (caption button or Enter)
constexpr int kDialogClose = 2;  // closed another way
constexpr int kDialogGone = 3;   // the input ended

struct FileFilterView {
  const char16_t* name;
  const char16_t* pattern;
};

constexpr int kMaxFileFilters = 12;

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

/// What the open-file dialog gives when several files were chosen at once (a
/// drop of several): the view's file holds their paths, each ended by a
/// zero, and one more zero.
constexpr int kOpenFileSeveral = 2;

/// OpenFileView.save: a save dialog takes a new name in an existing host
/// folder (or any device folder); kSaveAsks also asks before it gives back
/// an existing file, unless that is a regular file of quiet_replace_size bytes.
constexpr int kSaveNone = 0;
constexpr int kSaveDialog = 1;
constexpr int kSaveAsks = 2;


/// Fills `frame` with the screen as the windows, menu bar and title make it
/// now. The cells stay valid until the next window operation.
void ComposeScreen(ScreenFrame* frame);

/// The platform's own popup, dialog and open-file dialog, drawn into the
/// frame and run on the backend's input.
int RunOwnPopup(const MenuView* menu);
int RunOwnDialog(const DialogView* dialog);
int RunOwnOpenFile(OpenFileView* view);
