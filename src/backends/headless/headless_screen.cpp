// The headless screen as text: the composed screen, with the popup or the
// open-file dialog that is on show drawn over it.
#include "backends/headless/headless_screen.h"

#include <string>
#include <vector>

#include "backends/headless/headless_backend.h"
#include "host/text.h"
#include "platform/window_internal.h"

namespace {

const MenuView* g_popup = nullptr;
const OpenFileView* g_open_file = nullptr;

constexpr char16_t kCheckMark = u'\u2713';

struct Canvas {
  int columns;
  int rows;
  std::vector<char16_t> cells;

  void Put(int row, int column, std::u16string_view text) {
    if (row < 0 || row >= rows) return;
    for (size_t i = 0; i < text.size(); ++i) {
      int c = column + static_cast<int>(i);
      if (c >= 0 && c < columns) cells[static_cast<size_t>(row * columns + c)] = text[i];
    }
  }
  void Blank(int from_row, int to_row) {
    std::u16string blank(static_cast<size_t>(columns), u' ');
    for (int row = from_row; row < to_row && row < rows; ++row) Put(row, 0, blank);
  }
};

// Rows as UTF-8 lines with their trailing blanks cut.
std::string RowsText(const char16_t* cells, int columns, int rows, bool drop_empty_tail) {
  std::vector<std::string> lines;
  for (int row = 0; row < rows; ++row) {
    std::u16string_view line(cells + static_cast<size_t>(row) * static_cast<size_t>(columns),
                             static_cast<size_t>(columns));
    size_t end = line.find_last_not_of(u' ');
    lines.push_back(Utf16ToUtf8(line.substr(0, end == std::u16string_view::npos ? 0 : end + 1)));
  }
  while (drop_empty_tail && !lines.empty() && lines.back().empty()) lines.pop_back();
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void DrawPopup(Canvas* canvas, int bar_row) {
  size_t longest = 0;
  for (int i = 0; i < g_popup->count; ++i) {
    if (g_popup->items[i].text != nullptr) {
      size_t length = WideLength(g_popup->items[i].text);
      if (length > longest) longest = length;
    }
  }
  int width = static_cast<int>(longest) + 4;
  int height = g_popup->count + 2;
  int bottom = (bar_row >= 0 ? bar_row : canvas->rows) - 1;
  int top = bottom - height + 1 > 1 ? bottom - height + 1 : 1;
  int left = canvas->columns - width > 0 ? canvas->columns - width : 0;
  std::u16string border(longest + 4, u'-');
  border.front() = u'+';
  border.back() = u'+';
  canvas->Put(top, left, border);
  for (int i = 0; i < g_popup->count; ++i) {
    const MenuItemView& item = g_popup->items[i];
    std::u16string line = u"|";
    if (item.text == nullptr) {
      line += std::u16string(longest + 2, u'-');
    } else {
      line += item.checked ? kCheckMark : u' ';
      line += u' ';
      line += item.text;
      line += std::u16string(longest - WideLength(item.text), u' ');
    }
    line += u'|';
    canvas->Put(top + 1 + i, left, line);
  }
  canvas->Put(top + height - 1, left, border);
}

void DrawOpenFile(Canvas* canvas) {
  canvas->Blank(0, canvas->rows);
  canvas->Put(0, 0, g_open_file->title);
  std::u16string name = u"Name: ";
  name += g_open_file->file;
  canvas->Put(1, 0, name);
  std::u16string types = u"Type:";
  for (int i = 0; i < g_open_file->filter_count; ++i) {
    bool selected = i + 1 == g_open_file->filter_index;
    types += selected ? u" [" : u"  ";
    types += g_open_file->filters[i].name;
    types += selected ? u"]" : u" ";
  }
  canvas->Put(2, 0, types);
}

}  // namespace

void SetHeadlessPopup(const MenuView* menu) {
  g_popup = menu;
}
void SetHeadlessOpenFile(const OpenFileView* view) {
  g_open_file = view;
}

std::string HeadlessScreenText() {
  ScreenFrame frame;
  ComposeScreen(&frame);
  Canvas canvas{
      frame.columns, frame.rows,
      std::vector<char16_t>(frame.cells, frame.cells + static_cast<size_t>(frame.columns) *
                                                           static_cast<size_t>(frame.rows))};
  if (g_popup != nullptr) DrawPopup(&canvas, frame.bar_row);
  if (g_open_file != nullptr) DrawOpenFile(&canvas);
  return RowsText(canvas.cells.data(), canvas.columns, canvas.rows, false);
}

std::string HeadlessClientText() {
  PlatformWindow* w = LiveWindow(FirstAppWindow());
  if (w == nullptr) return std::string();
  int columns = static_cast<int>(w->rect.right - w->rect.left);
  int rows = static_cast<int>(w->rect.bottom - w->rect.top);
  if (columns <= 0 || rows <= 0) return std::string();
  return RowsText(w->cells.data(), columns, rows, true);
}
