// DrawScreen: the one drawing of the screen that every backend presents.
// The composed windows, the soft keys and a dialog's OK marked in reverse,
// and over them the popup (box characters, a check mark before checked
// items) or the full-screen open-file dialog.
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
  FileDialogLayout layout = FileDialogRows(canvas->rows);

  canvas->Text(0, 0, dialog->view->title, columns - 3);
  canvas->Text(0, columns - 2, u"OK", 2, kMarkReverse);
  std::u16string folder = Utf8ToUtf16(chooser.folder);
  canvas->Text(1, 0, std::u16string_view(folder).substr(TailInCells(folder, columns)), columns);

  ScrollFileDialog(dialog, canvas->rows);
  int count = static_cast<int>(chooser.entries.size());
  int row = layout.list_top;
  for (int i = dialog->top; i < count && row < layout.list_top + layout.list_rows; ++i, ++row) {
    unsigned char mark = i == dialog->highlighted ? kMarkReverse : 0;
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

  int starts[kMaxFileFilters];
  int ends[kMaxFileFilters];
  canvas->Text(layout.type_row, 0, FileTypeLine(dialog->view, starts, ends), columns);
  std::u16string hint =
      dialog->message != nullptr ? Utf8ToUtf16(dialog->message) : u"Enter:open Tab:type Esc:cancel";
  canvas->Text(layout.hint_row, 0, hint, columns);

  // The cursor stays at the end of the name line.
  int label = canvas->Text(layout.name_row, 0, u"Name: ", columns);
  std::u16string_view name = chooser.name;
  int used = canvas->Text(layout.name_row, label, name.substr(TailInCells(name, columns - label - 1)),
                          columns - label - 1);
  canvas->cursor_row = layout.name_row;
  canvas->cursor_column = label + used;
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

const MenuView* PopupOnShow() {
  return g_popup != nullptr ? g_popup->menu : nullptr;
}
const OpenFileView* OpenFileOnShow() {
  return g_file_dialog != nullptr ? g_file_dialog->view : nullptr;
}

void DrawScreen(DrawnScreen* screen) {
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
  if (g_file_dialog != nullptr) {
    DrawFileDialog(&canvas, g_file_dialog);
  } else {
    if (frame.bar_row >= 0) {
      canvas.Mark(frame.bar_row, frame.left_key_start, frame.left_key_end, kMarkReverse);
      canvas.Mark(frame.bar_row, frame.right_key_start, frame.right_key_end, kMarkReverse);
    }
    const PlatformWindow* top = LiveWindow(ActiveWindow());
    if (top != nullptr && top->kind == kWindowDialog &&
        (top->dialog.shell_flags & SHIDIF_DONEBUTTON)) {
      canvas.Mark(0, frame.columns - 2, frame.columns, kMarkReverse);
    }
    if (g_popup != nullptr) DrawPopup(&canvas, *g_popup, frame.bar_row);
  }
  *screen = DrawnScreen{canvas.columns,    canvas.rows,       canvas.cells.data(),
                        canvas.marks.data(), canvas.cursor_row, canvas.cursor_column};
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
