// The open-file dialog's model, full screen as on the device:
//
//   Open                                   OK    title; OK chooses
//   /home/user/tracks                            the folder shown
//    ../                                         its list: folders, then
//    walk.gpx                                    files under the filter
//   Name: walk.gpx                               the name line
//   Type: [gpx]  mps   plt   nmea                the filters (Tab cycles)
//   Enter:open Tab:type Esc:cancel               keys, or what went wrong
//
// Moving along the list puts a file's name on the name line (a folder
// empties it); Enter takes the name line, or with it empty the entry. The
// decisions about folders and names are the file chooser's; this model keeps
// the list's position and the dialog's rows, and turns events into them.
#pragma once

#include <string>

#include "platform/backend.h"
#include "platform/file_chooser.h"

struct FileDialogModel {
  OpenFileView* view;
  ChooserState chooser;
  int highlighted;      // index into chooser.entries
  int top;              // the first entry in view
  const char* message;  // why the last Enter was refused, until the next event
};

/// The dialog's rows on a screen `rows` high.
struct FileDialogLayout {
  int list_top;
  int list_rows;
  int name_row;
  int type_row;
  int hint_row;
};
FileDialogLayout FileDialogRows(int rows);

/// Starts the dialog on the view's file: its folder listed under the filter.
void StartFileDialog(FileDialogModel* dialog, OpenFileView* view);

/// What an event does: -1 the dialog goes on, 0 cancelled, 1 chosen (the
/// path is in the view's file). A resize is the caller's.
int FileDialogHandle(FileDialogModel* dialog, const InputEvent& event, int columns, int rows);

/// The filter row, with where each filter's name sits on it.
std::u16string FileTypeLine(const OpenFileView* view, int* starts, int* ends);

/// The entry as listed: a folder ends in '/'.
std::u16string FileEntryText(const ChooserEntry& entry);

/// Keeps the highlighted entry in view.
void ScrollFileDialog(FileDialogModel* dialog, int rows);

/// Where the longest tail of `text` that fits in `columns` cells (one per
/// UTF-16 unit) starts.
size_t TailInCells(std::u16string_view text, int columns);
