// The headless screen as text: exactly the cells of the frame DrawScreen gives the
// terminal backend, popup and dialogs included.
#include <string>
#include <vector>

#include "backends/headless/headless_backend.h"
#include "host/text.h"

namespace {

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

}  // namespace

std::string HeadlessScreenText() {
  Frame screen;
  DrawScreen(&screen);
  return RowsText(screen.cells, screen.columns, screen.rows, false);
}

std::string HeadlessClientText() {
  const char16_t* cells = nullptr;
  int columns = 0;
  int rows = 0;
  if (!AppClientArea(&cells, &columns, &rows)) return std::string();
  return RowsText(cells, columns, rows, true);
}
