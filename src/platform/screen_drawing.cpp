// DrawScreen: the one drawing of the screen, pushed to every backend as a
// Frame that also says what is on show.
// The composed windows, the soft keys and a dialog's OK marked in reverse,
// and over them the popup (box characters, a check mark before checked
// items) or the full-screen open-file dialog.
//
// The main window's log scrolls: while rows of it lie above the view,
// "↑ more" stands in reverse video at the right end of the window's first
// row; while rows lie below (the user scrolled up), "↓ more" at the right
// end of its last row. On a screen smaller than 40x12 nothing but a centred
// notice shows.
#include <algorithm>
#include <string>
#include <vector>

#include "host/text.h"
#include "platform/shell_api.h"
#include "platform/window_internal.h"

namespace {

PopupModel* g_popup = nullptr;
FileDialogModel* g_file_dialog = nullptr;

constexpr char16_t kCheckMark = u'\u2713';
constexpr char16_t kHorizontal = u'\u2500';
constexpr char16_t kVertical = u'\u2502';
constexpr char16_t kTopLeft = u'\u250C';
constexpr char16_t kTopRight = u'\u2510';
constexpr char16_t kBottomLeft = u'\u2514';
constexpr char16_t kBottomRight = u'\u2518';
constexpr char16_t kTeeLeft = u'\u251C';
constexpr char16_t kTeeRight = u'\u2524';

struct Canvas {
  int columns = 0;
  int rows = 0;
  std::vector<char16_t> cells;
  std::vector<unsigned char> marks;
  int cursor_row = -1;
  int cursor_column = 0;

  void Put(int row, int column, char16_t c, unsigned char mark = 0) {
    if (row < 0 || row >= rows || column < 0 || column >= columns) return;
    size_t at = static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column);
    cells[at] = c;
    marks[at] = mark;
  }
  // Puts at most `width` characters of `text`; returns the cells used.
  int Text(int row, int column, std::u16string_view text, int width, unsigned char mark = 0) {
    if (row < 0 || row >= rows || column < 0 || column >= columns) return 0;
    if (width > columns - column) width = columns - column;
    int used = 0;
    // One cell per UTF-16 unit, as the windows' cells hold text.
    for (size_t i = 0; i < text.size() && used < width; ++i) Put(row, column + used++, text[i], mark);
    return used;
  }
  void Mark(int row, int start, int end, unsigned char mark) {
    if (row < 0 || row >= rows) return;
    for (int c = start < 0 ? 0 : start; c < end && c < columns; ++c) {
      marks[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(c)] = mark;
    }
  }
  void Line(int row, int left, int width, char16_t start, char16_t end) {
    Put(row, left, start);
    for (int c = left + 1; c < left + width - 1; ++c) Put(row, c, kHorizontal);
    Put(row, left + width - 1, end);
  }
};

Canvas g_canvas;

void DrawPopup(Canvas* canvas, const PopupModel& popup, int bar_row) {
  const MenuView* menu = popup.menu;
  PopupBox box = PopupGeometry(menu, canvas->columns, canvas->rows, bar_row);
  canvas->Line(box.top, box.left, box.width, kTopLeft, kTopRight);
  for (int i = 0; i < menu->count; ++i) {
    int row = box.top + 1 + i;
    if (row >= canvas->rows) break;
    const MenuItemView& item = menu->items[i];
    if (item.text == nullptr) {
      canvas->Line(row, box.left, box.width, kTeeLeft, kTeeRight);
      continue;
    }
    unsigned char mark = i == popup.selected ? kMarkReverse : 0;
    canvas->Put(row, box.left, kVertical);
    for (int c = box.left + 1; c < box.left + box.width - 1; ++c) canvas->Put(row, c, u' ', mark);
    if (item.checked) canvas->Put(row, box.left + 2, kCheckMark, mark);
    canvas->Text(row, box.left + 4, item.text, box.width - 6, mark);
    canvas->Put(row, box.left + box.width - 1, kVertical);
  }
  canvas->Line(box.top + box.height - 1, box.left, box.width, kBottomLeft, kBottomRight);
}

void DrawFileDialog(Canvas* canvas, FileDialogModel* dialog) {
  int columns = canvas->columns;
  std::fill(canvas->cells.begin(), canvas->cells.end(), u' ');
  std::fill(canvas->marks.begin(), canvas->marks.end(), 0);
  const ChooserState& chooser = dialog->chooser;
  FileDialogLayout layout = FileDialogRows(canvas->rows, dialog->view);

  canvas->Text(0, 0, dialog->view->title, columns - 3);
  canvas->Text(0, columns - 2, u"OK", 2, kMarkReverse);
  std::u16string folder = Utf8ToUtf16(chooser.folder);
  canvas->Text(1, 0, std::u16string_view(folder).substr(TailInCells(folder, columns)), columns);

  ScrollFileDialog(dialog, canvas->rows);
  int count = static_cast<int>(chooser.entries.size());
  int row = layout.list_top;
  for (int i = dialog->top; i < count && row < layout.list_top + layout.list_rows; ++i, ++row) {
    unsigned char mark = i == dialog->highlighted ? kMarkReverse : 0;
    if (ChooserMarked(chooser, i)) canvas->Text(row, 0, u"*", 1);
    canvas->Text(row, 1, FileEntryText(chooser.entries[static_cast<size_t>(i)]), columns - 1, mark);
  }
  bool only_parent = count == 0 || (count == 1 && chooser.entries[0].name == "..");
  const char16_t* note = chooser.unreadable ? u"(cannot read this folder)"
                         : chooser.cut      ? u"(more not shown)"
                         : only_parent      ? u"(no matching files)"
                                            : nullptr;
  if (note != nullptr && row < layout.list_top + layout.list_rows) {
    canvas->Text(row, 1, note, columns - 1);
  }

  if (layout.type_row >= 0) {
    int starts[kMaxFileFilters];
    int ends[kMaxFileFilters];
    canvas->Text(layout.type_row, 0, FileTypeLine(dialog->view, starts, ends, columns), columns);
  }
  canvas->Text(layout.hint_row, 0, FileHintLine(*dialog), columns,
               dialog->question.empty() ? 0 : kMarkReverse);

  // The name line shows its cursor; a name too long for the row shows the
  // part that ends at the cursor.
  int label = canvas->Text(layout.name_row, 0, u"Name: ", columns);
  std::u16string_view name = chooser.name;
  size_t cursor = dialog->cursor < name.size() ? dialog->cursor : name.size();
  int room = columns - label - 1;
  // How many files are marked, at the row's end.
  std::u16string marks = FileMarkNote(*dialog);
  if (!marks.empty() && static_cast<int>(marks.size()) + 1 < room) {
    room -= static_cast<int>(marks.size()) + 1;
    canvas->Text(layout.name_row, columns - static_cast<int>(marks.size()), marks,
                 static_cast<int>(marks.size()));
  }
  size_t first = TailInCells(name.substr(0, cursor), room);
  canvas->Text(layout.name_row, label, name.substr(first), room);
  canvas->cursor_row = layout.name_row;
  canvas->cursor_column = label + static_cast<int>(cursor - first);
}

// The marks of a scrolled window: more of its text above or below the view.
void DrawViewMarks(Canvas* canvas, const PlatformWindow* w) {
  int width = static_cast<int>(w->rect.right - w->rect.left);
  int height = static_cast<int>(w->rect.bottom - w->rect.top);
  if (width < 6 || height < 2) return;
  int left = static_cast<int>(w->rect.right) - 6;
  if (w->view_top > 0) {
    canvas->Text(static_cast<int>(w->rect.top), left, u"\u2191 more", 6, kMarkReverse);
  }
  if (w->view_top + height < w->content_rows) {
    canvas->Text(static_cast<int>(w->rect.bottom) - 1, left, u"\u2193 more", 6, kMarkReverse);
  }
}

// The notice on a screen too small to use, centred, broken between words
// where a row is too narrow. It names the screen as the backend calls it
// (a terminal, a window).
void DrawTooSmall(Canvas* canvas) {
  std::fill(canvas->cells.begin(), canvas->cells.end(), u' ');
  std::fill(canvas->marks.begin(), canvas->marks.end(), 0);
  std::vector<std::u16string> lines;
  const PlatformBackend* backend = CurrentBackend();
  const char16_t* name = backend != nullptr && backend->screen_name != nullptr
                             ? backend->screen_name
                             : u"terminal";
  std::u16string notice = u"Make the " + std::u16string(name) + u" at least " +
                          Utf8ToUtf16(std::to_string(kMinColumns) + "x" +
                                      std::to_string(kMinRows));
  std::u16string_view words = notice;
  std::u16string line;
  while (!words.empty()) {
    size_t space = words.find(u' ');
    std::u16string_view word = words.substr(0, space);
    words = space == std::u16string_view::npos ? std::u16string_view() : words.substr(space + 1);
    if (!line.empty() && line.size() + 1 + word.size() > static_cast<size_t>(canvas->columns)) {
      lines.push_back(line);
      line.clear();
    }
    if (!line.empty()) line += u' ';
    line += word;
  }
  lines.push_back(line);
  int top = (canvas->rows - static_cast<int>(lines.size())) / 2;
  for (size_t i = 0; i < lines.size(); ++i) {
    int size = static_cast<int>(lines[i].size());
    int left = size < canvas->columns ? (canvas->columns - size) / 2 : 0;
    canvas->Text(top + static_cast<int>(i), left, lines[i], canvas->columns);
  }
}

// The file dialog's part of the frame: it covers the screen and its soft keys.
void FileDialogFrame(const FileDialogModel& dialog, int rows, Frame* out) {
  const OpenFileView* view = dialog.view;
  FileDialogLayout layout = FileDialogRows(rows, view);
  int selected = dialog.highlighted - dialog.top;
  bool shown = dialog.highlighted >= 0 && selected >= 0 && selected < layout.list_rows &&
               dialog.highlighted < static_cast<int>(dialog.chooser.entries.size());
  out->box = kBoxFileDialog;
  out->title = view->title;
  out->bar_row = -1;
  out->keys[0] = out->keys[1] = SoftKeyView{0, 0, 0};
  out->file_dialog = FileDialogFrameView{layout.list_top, layout.list_rows,
                                         shown ? layout.list_top + selected : -1,
                                         layout.name_row, layout.type_row, layout.hint_row,
                                         view->filter_index, view->filter_count};
  out->accepts_drop = view->must_exist;
}

// The windows' marks (the log's "more", the soft keys, a dialog's OK), the
// popup over them, and what the frame says of both.
void DrawWindowsOver(Canvas* canvas, const ScreenFrame& frame, const PlatformWindow* top,
                     Frame* out) {
  bool dialog = top != nullptr && top->kind == kWindowDialog;
  bool done_dialog = dialog && (top->dialog.shell_flags & SHIDIF_DONEBUTTON);
  const PlatformWindow* app = LiveWindow(FirstAppWindow());
  if (app != nullptr && !dialog) DrawViewMarks(canvas, app);
  if (frame.bar_row >= 0) {
    canvas->Mark(frame.bar_row, frame.left_key_start, frame.left_key_end, kMarkReverse);
    canvas->Mark(frame.bar_row, frame.right_key_start, frame.right_key_end, kMarkReverse);
  }
  if (done_dialog) canvas->Mark(0, frame.columns - 2, frame.columns, kMarkReverse);
  if (dialog) {
    out->box = kBoxDialog;
    out->dialog.done_button = done_dialog;
  }
  if (g_popup != nullptr) {
    DrawPopup(canvas, *g_popup, frame.bar_row);
    PopupBox box = PopupGeometry(g_popup->menu, canvas->columns, canvas->rows, frame.bar_row);
    out->box = kBoxPopup;
    out->popup = PopupView{box.top,  box.left, box.width, box.height, g_popup->menu->items,
                           g_popup->menu->count, g_popup->selected};
  }
  out->accepts_drop = g_popup == nullptr && !done_dialog;
}

}  // namespace

void ShowPopup(PopupModel* popup) {
  g_popup = popup;
  MarkScreenChanged();
}
PopupModel* ShownPopup() {
  return g_popup;
}
void ShowFileDialog(FileDialogModel* dialog) {
  g_file_dialog = dialog;
  MarkScreenChanged();
}
FileDialogModel* ShownFileDialog() {
  return g_file_dialog;
}

void DrawScreen(Frame* screen) {
  ScreenFrame frame;
  ComposeScreen(&frame);
  Canvas& canvas = g_canvas;
  canvas.columns = frame.columns;
  canvas.rows = frame.rows;
  size_t size = static_cast<size_t>(frame.columns) * static_cast<size_t>(frame.rows);
  canvas.cells.assign(frame.cells, frame.cells + size);
  canvas.marks.assign(size, 0);
  canvas.cursor_row = -1;
  canvas.cursor_column = 0;
  Frame out = {};
  out.bar_row = frame.bar_row;
  out.keys[0] = SoftKeyView{frame.left_key_start, frame.left_key_end, 0};
  out.keys[1] = SoftKeyView{frame.right_key_start, frame.right_key_end, g_popup != nullptr};
  const PlatformWindow* top = LiveWindow(ActiveWindow());
  out.title = top != nullptr ? top->title.c_str() : u"";
  if (ScreenTooSmall()) {
    // Nothing but the notice: no soft keys either.
    DrawTooSmall(&canvas);
    out.bar_row = -1;
    out.keys[0] = out.keys[1] = SoftKeyView{0, 0, 0};
  } else if (g_file_dialog != nullptr) {
    DrawFileDialog(&canvas, g_file_dialog);
    FileDialogFrame(*g_file_dialog, canvas.rows, &out);
  } else {
    DrawWindowsOver(&canvas, frame, top, &out);
  }
  out.columns = canvas.columns;
  out.rows = canvas.rows;
  out.cells = canvas.cells.data();
  out.marks = canvas.marks.data();
  out.cursor_row = canvas.cursor_row;
  out.cursor_column = canvas.cursor_column;
  *screen = out;
}

bool AppClientArea(const char16_t** cells, int* columns, int* rows) {
  PlatformWindow* w = LiveWindow(FirstAppWindow());
  if (w == nullptr) return false;
  *columns = static_cast<int>(w->rect.right - w->rect.left);
  *rows = static_cast<int>(w->rect.bottom - w->rect.top);
  *cells = w->cells.data();
  return *columns > 0 && *rows > 0;
}

void ResetDrawingForTest() {
  g_popup = nullptr;
  g_file_dialog = nullptr;
}
