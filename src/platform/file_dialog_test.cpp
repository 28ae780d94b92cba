// The open-file dialog's model: what keys and clicks do to the list, the name
// line and the filter, and what the dialog gives back. (Which names a folder
// lists and what Enter means are the chooser's, tested beside it.)
#include "platform/file_dialog.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "host/text.h"
#include "test_util.h"

namespace {

InputEvent Key(int key, int modifiers = 0, int character = 0) {
  return InputEvent{kEventKey, key, modifiers, 0, 0, character};
}
InputEvent Char(char c) {
  return Key(0, 0, c);
}
InputEvent Click(int column, int row) {
  return InputEvent{kEventClick, 0, 0, column, row, 0};
}

TEST(FileDialogTest, EventsOnTheListNameAndFilter) {
  TempDir dir;
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(dir.path().c_str(), resolved), nullptr);
  std::string root = resolved;
  mkdir((root + "/sub").c_str(), 0755);
  for (const char* name : {"a.gpx", "b.gpx", "c.plt"}) WriteFile(root + "/" + name, "x");
  // The list on a 40x12 screen from row 2: "../" "sub/" "a.gpx" "b.gpx", with
  // "sub/" highlighted and the start's name on the name line.
  const FileFilterView filters[] = {{u"gpx", u"*.gpx"}, {u"plt", u"*.plt"}};
  struct {
    const char* name;
    std::vector<InputEvent> events;
    int result;          // of the last event
    const char* chosen;  // the view's file when chosen, relative to the folder
    const char* name_line;
    int filter_index;
  } cases[] = {
      {"enter on the start's name", {Key(VK_RETURN)}, 1, "a.gpx", "a.gpx", 1},
      {"down puts the next file on the name line", {Key(VK_DOWN), Key(VK_DOWN)}, -1, nullptr,
       "b.gpx", 1},
      {"up to a folder empties it", {Key(VK_UP)}, -1, nullptr, "", 1},
      {"end and home", {Key(VK_END), Key(VK_HOME)}, -1, nullptr, "", 1},
      {"typing replaces nothing, adds", {Char('x'), Char('!')}, -1, nullptr, "a.gpxx!", 1},
      {"backspace", {Key(VK_BACK), Key(VK_BACK)}, -1, nullptr, "a.g", 1},
      {"ctrl+u clears", {Key('U', kModControl)}, -1, nullptr, "", 1},
      {"tab and shift+tab change the filter", {Key(VK_TAB)}, -1, nullptr, "a.gpx", 2},
      {"shift+tab wraps", {Key(VK_TAB, kModShift)}, -1, nullptr, "a.gpx", 2},
      {"click on a filter", {Click(12, 10)}, -1, nullptr, "a.gpx", 2},
      {"click on an entry opens it", {Click(3, 5)}, 1, "b.gpx", "b.gpx", 1},
      {"caption OK", {Click(39, 0)}, 1, "a.gpx", "a.gpx", 1},
      {"escape", {Key(VK_ESCAPE)}, 0, nullptr, "a.gpx", 1},
      {"the input ends", {InputEvent{kEventEnd, 0, 0, 0, 0, 0}}, 0, nullptr, "a.gpx", 1},
      {"a missing name is refused", {Key('U', kModControl), Char('z'), Key(VK_RETURN)}, -1, nullptr,
       "z", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char16_t file[64] = {};
    CopyWide(file, 64, Utf8ToUtf16(root + "/a.gpx"));
    OpenFileView view = {u"Open", filters, 2, 1, file, 64, 1};
    FileDialogModel dialog;
    StartFileDialog(&dialog, &view);
    int result = -1;
    for (const InputEvent& event : c.events) result = FileDialogHandle(&dialog, event, 40, 12);
    EXPECT_EQ(result, c.result);
    if (c.chosen != nullptr) {
      EXPECT_EQ(Utf16ToUtf8(file), root + "/" + c.chosen);
    }
    EXPECT_EQ(Utf16ToUtf8(dialog.chooser.name), c.name_line);
    EXPECT_EQ(view.filter_index, c.filter_index);
  }
}

TEST(FileDialogTest, RowsAndTails) {
  FileDialogLayout small = FileDialogRows(4);
  EXPECT_EQ(small.list_rows, 1);  // never less than one row of list
  FileDialogLayout normal = FileDialogRows(24);
  EXPECT_EQ(normal.list_top, 2);
  EXPECT_EQ(normal.list_rows, 19);
  EXPECT_EQ(normal.name_row, 21);
  EXPECT_EQ(normal.type_row, 22);
  EXPECT_EQ(normal.hint_row, 23);
  EXPECT_EQ(TailInCells(u"abcdef", 4), 2u);
  EXPECT_EQ(TailInCells(u"abc", 4), 0u);
  int starts[kMaxFileFilters];
  int ends[kMaxFileFilters];
  const FileFilterView filters[] = {{u"gpx", u"*.gpx"}, {u"plt", u"*.plt"}};
  OpenFileView view = {u"Open", filters, 2, 2, nullptr, 0, 0};
  EXPECT_EQ(Utf16ToUtf8(FileTypeLine(&view, starts, ends)), "Type:  gpx  [plt]");
  EXPECT_EQ(starts[1], 12);
  EXPECT_EQ(ends[1], 17);
}

}  // namespace
