// The open-file dialog's model, full screen as on the device:
//
//   Open                                   OK    title; OK chooses
//   /home/user/tracks                            the folder shown
//    ../                                         its list: folders, then
//    walk.gpx                                    files under the filter
//   Name: walk.gpx                               the name line
//   Type: [gpx]  mps   plt   nmea                the filters (Tab cycles);
//                                                not shown with one filter
//   Enter:open Tab:type Esc:cancel               keys, what went wrong, or
//                                                the replace question
//
// Up, Down, Page Up and Page Down move along the list (a file's name goes to
// the name line, a folder empties it); a click selects an entry, a double
// click opens it, the wheel scrolls the list. The name line is edited with
// Left, Right, Home, End, Backspace, Delete, Ctrl+W (the word before the
// cursor) and Ctrl+U (the whole line); as it changes, the list
// moves to the first entry that starts with it. Enter takes the name line,
// or with it empty the entry (in an open dialog, a typed start of a name
// that names no file takes the entry the list found for it); Backspace on
// an empty name goes up a folder, and going up selects the folder left.
//
// A dialog that lets several files be chosen marks the file under the
// cursor with Insert, or with Space while the name line is empty or holds
// that file's name (elsewhere Space is typed), and moves down; a marked file
// shows '*' beside its name and the name line says how many are marked.
// With any marked, Enter chooses them all, in the listing's order.
//
// A save dialog says "choose" and asks "Replace NAME? It is not a track
// file. (y/N)" before it gives back an existing file that is not of the
// view's quiet size; only y says yes, and any other key goes back to the
// dialog. The decisions about folders and names are the file chooser's; this
// model keeps the list's position, the name line's cursor and the dialog's
// rows, and turns events into them.
#pragma once

#include <string>
#include <vector>

#include "platform/own_views.h"
#include "platform/file_chooser.h"

struct FileDialogModel {
  OpenFileView* view;
  ChooserState chooser;
  int highlighted;          // index into chooser.entries
  int top;                  // the first entry in view
  size_t cursor;            // in chooser.name, UTF-16 units
  const char* message;      // why the last Enter was refused, until the next event
  std::u16string question;  // the replace question on show, else empty
  std::u16string pending;   // the path the question is about
  bool can_mark;            // several files may be marked and chosen together
  std::vector<std::u16string> chosen;  // the marked files Enter chose, in order
};

/// The dialog's rows on a screen `rows` high; type_row is -1 when the view
/// has a single filter (or none).
struct FileDialogLayout {
  int list_top;
  int list_rows;
  int name_row;
  int type_row;
  int hint_row;
};
FileDialogLayout FileDialogRows(int rows, const OpenFileView* view = nullptr);

/// Starts the dialog on the view's file: its folder listed under the
/// filter. An empty file starts in `start_folder` when that is a folder.
void StartFileDialog(FileDialogModel* dialog, OpenFileView* view,
                     const std::string& start_folder = {});

/// What an event does: -1 the dialog goes on, 0 cancelled, 1 chosen (the
/// path is in the view's file). A resize is the caller's.
int FileDialogHandle(FileDialogModel* dialog, const InputEvent& event, int columns, int rows);

/// The filter row, with where each filter's name sits on it. When the row
/// is narrower than the line (`columns` > 0), the first types give way ("<"
/// after "Type:") until the selected one fits; the types left out have
/// empty spans (-1).
std::u16string FileTypeLine(const OpenFileView* view, int* starts, int* ends, int columns = 0);

/// The key hint row: the question, the refusal, or the keys.
std::u16string FileHintLine(const FileDialogModel& dialog);

/// What the name line adds about the marked files: "(N marked)", or
/// nothing when none is.
std::u16string FileMarkNote(const FileDialogModel& dialog);

/// The entry as listed: a folder ends in '/'.
std::u16string FileEntryText(const ChooserEntry& entry);

/// Keeps the highlighted entry in view.
void ScrollFileDialog(FileDialogModel* dialog, int rows);

/// Where the longest tail of `text` that fits in `columns` cells (one per
/// UTF-16 unit) starts.
size_t TailInCells(std::u16string_view text, int columns);
