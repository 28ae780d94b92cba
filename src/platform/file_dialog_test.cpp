// The open-file dialog's model: what keys and clicks do to the list, the name
// line and the filter, and what the dialog gives back. (Which names a folder
// lists and what Enter means are the chooser's, tested beside it.)
#include "platform/file_dialog.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <iterator>
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
      {"down puts the next file on the name line",
       {Key(VK_DOWN), Key(VK_DOWN)},
       -1,
       nullptr,
       "b.gpx",
       1},
      {"up to a folder empties it", {Key(VK_UP)}, -1, nullptr, "", 1},
      {"page down and up", {Key(VK_NEXT), Key(VK_PRIOR)}, -1, nullptr, "", 1},
      {"typing replaces nothing, adds", {Char('x'), Char('!')}, -1, nullptr, "a.gpxx!", 1},
      {"backspace", {Key(VK_BACK), Key(VK_BACK)}, -1, nullptr, "a.g", 1},
      {"ctrl+u clears", {Key('U', kModControl)}, -1, nullptr, "", 1},
      // The name line's cursor: typing and deleting happen where it is.
      {"home, end", {Key(VK_HOME), Char('x'), Key(VK_END), Char('y')}, -1, nullptr, "xa.gpxy", 1},
      {"left, right",
       {Key(VK_LEFT), Key(VK_LEFT), Key(VK_LEFT), Char('_'), Key(VK_RIGHT), Char('-')},
       -1,
       nullptr,
       "a._g-px",
       1},
      {"delete",
       {Key(VK_HOME), Key(VK_DELETE), Key(VK_END), Key(VK_DELETE)},
       -1,
       nullptr,
       ".gpx",
       1},
      {"backspace at the start", {Key(VK_HOME), Key(VK_BACK)}, -1, nullptr, "a.gpx", 1},
      {"ctrl+u the whole line",
       {Key(VK_LEFT), Key(VK_LEFT), Key('U', kModControl), Char('z')},
       -1,
       nullptr,
       "z",
       1},
      {"ctrl+w a word",
       {Key('U', kModControl), Char('a'), Char('/'), Char('b'), Char('c'), Key('W', kModControl)},
       -1,
       nullptr,
       "a/",
       1},
      {"ctrl+w over the separator",
       {Key('U', kModControl), Char('a'), Char('/'), Key('W', kModControl)},
       -1,
       nullptr,
       "",
       1},
      {"tab and shift+tab change the filter", {Key(VK_TAB)}, -1, nullptr, "a.gpx", 2},
      {"shift+tab wraps", {Key(VK_TAB, kModShift)}, -1, nullptr, "a.gpx", 2},
      {"click on a filter", {Click(12, 10)}, -1, nullptr, "a.gpx", 2},
      // Another type lists other files: the typed start finds its entry again.
      {"tab runs the type-ahead again",
       {Key('U', kModControl), Char('c'), Key(VK_TAB), Key(VK_RETURN)},
       1,
       "c.plt",
       "",
       2},
      {"so does a click on a filter",
       {Key('U', kModControl), Char('c'), Click(12, 10), Key(VK_RETURN)},
       1,
       "c.plt",
       "",
       2},
      {"click on an entry selects it", {Click(3, 5)}, -1, nullptr, "b.gpx", 1},
      {"double click opens it",
       {Click(3, 5), InputEvent{kEventDoubleClick, 0, 0, 3, 5, 0}},
       1,
       "b.gpx",
       "b.gpx",
       1},
      {"caption OK", {Click(39, 0)}, 1, "a.gpx", "a.gpx", 1},
      {"escape", {Key(VK_ESCAPE)}, 0, nullptr, "a.gpx", 1},
      {"the input ends", {InputEvent{kEventEnd, 0, 0, 0, 0, 0}}, 0, nullptr, "a.gpx", 1},
      {"a missing name is refused",
       {Key('U', kModControl), Char('z'), Key(VK_RETURN)},
       -1,
       nullptr,
       "z",
       1},
      {"a typed start takes the entry found",
       {Key('U', kModControl), Char('B'), Key(VK_RETURN)},
       1,
       "b.gpx",
       "",
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char16_t file[64] = {};
    CopyWide(file, 64, Utf8ToUtf16(root + "/a.gpx"));
    OpenFileView view = {u"Open", filters, 2, 1, file, 64, 1, kSaveNone, -1};
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

TEST(FileDialogTest, MarkingChoosesSeveralInListingOrder) {
  TempDir dir;
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(dir.path().c_str(), resolved), nullptr);
  std::string root = resolved;
  mkdir((root + "/sub").c_str(), 0755);
  for (const char* name : {"a b.gpx", "b.gpx", "c.gpx"}) WriteFile(root + "/" + name, "x");
  // "../" "sub/" "a b.gpx" "b.gpx" "c.gpx"; the start highlights "sub/" with
  // "a b.gpx" on the name line.
  const FileFilterView filters[] = {{u"gpx", u"*.gpx"}};
  struct {
    const char* name;
    std::vector<InputEvent> events;
    bool can_mark;
    int result;                        // of the last event
    std::vector<std::string> chosen;   // relative to the folder
    std::string note;                  // what the name line says of the marks
    std::string name_line;
  } cases[] = {
      {"insert and space mark, enter takes them in listing order",
       {Key(VK_DOWN), Key(VK_INSERT), Key(VK_DOWN), Char(' '), Key(VK_RETURN)},
       true, 1, {"a b.gpx", "c.gpx"}, "(2 marked)", "c.gpx"},
      {"a second press unmarks",
       {Key(VK_DOWN), Char(' '), Key(VK_UP), Key(VK_INSERT)},
       true, -1, {}, "", "b.gpx"},
      {"a folder is never marked", {Key(VK_INSERT)}, true, -1, {}, "", "a b.gpx"},
      {"space after typed text is typed",
       {Key('U', kModControl), Char('a'), Char(' ')},
       true, -1, {}, "", "a "},
      {"without marking, space is typed", {Key(VK_DOWN), Char(' ')}, false, -1, {}, "",
       "a b.gpx "},
      {"enter with none marked takes the cursor's file", {Key(VK_DOWN), Key(VK_RETURN)}, true,
       1, {}, "", "a b.gpx"},
      {"another folder drops the marks",
       {Key(VK_DOWN), Key(VK_INSERT), Key('U', kModControl), Key(VK_BACK)},
       true, -1, {}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char16_t file[128] = {};
    CopyWide(file, 128, Utf8ToUtf16(root + "/a b.gpx"));
    OpenFileView view = {u"Open", filters, 1, 1, file, 128, 1, kSaveNone, -1};
    FileDialogModel dialog;
    StartFileDialog(&dialog, &view);
    dialog.can_mark = c.can_mark;
    int result = -1;
    for (const InputEvent& event : c.events) result = FileDialogHandle(&dialog, event, 40, 12);
    EXPECT_EQ(result, c.result);
    std::vector<std::string> chosen;
    for (const std::u16string& path : dialog.chosen) chosen.push_back(Utf16ToUtf8(path));
    std::vector<std::string> expected;
    for (const std::string& name : c.chosen) expected.push_back(root + "/" + name);
    EXPECT_EQ(chosen, expected);
    if (!expected.empty()) {
      EXPECT_EQ(Utf16ToUtf8(file), expected.front());
    }
    EXPECT_EQ(Utf16ToUtf8(FileMarkNote(dialog)), c.note);
    EXPECT_EQ(Utf16ToUtf8(dialog.chooser.name), c.name_line);
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
  OpenFileView view = {u"Open", filters, 2, 2, nullptr, 0, 0, kSaveNone, -1};
  EXPECT_EQ(Utf16ToUtf8(FileTypeLine(&view, starts, ends)), "Type:  gpx  [plt]");
  EXPECT_EQ(starts[1], 12);
  EXPECT_EQ(ends[1], 17);

  // A row too narrow for every type: the first ones give way until the
  // selected one shows, and the spans say where the shown ones are.
  const FileFilterView many[] = {{u"gpx", u"*.gpx"}, {u"mps", u"*.mps"}, {u"plt", u"*.plt"},
                                 {u"nmea", u"*.nmea"}, {u"All files", u"*"}};
  struct Case {
    int selected;
    int columns;
    const char* line;
  } cases[] = {
      {1, 20, "Type: [gpx]  mps   plt   nmea   All files "},  // the selected one shows
      {5, 0, "Type:  gpx   mps   plt   nmea  [All files]"},
      {5, 30, "Type: <  nmea  [All files]"},
      {4, 30, "Type:  gpx   mps   plt  [nmea]  All files "},
      {4, 29, "Type: <  mps   plt  [nmea]  All files "},
      {5, 10, "Type: < [All files]"},  // the selected one alone, even cut
  };
  for (const Case& c : cases) {
    OpenFileView wide = {u"Open", many, 5, c.selected, nullptr, 0, 0, kSaveNone, -1};
    EXPECT_EQ(Utf16ToUtf8(FileTypeLine(&wide, starts, ends, c.columns)), c.line) << c.columns;
    int shown = std::string(c.line).find('<') == std::string::npos ? 0 : 1;
    EXPECT_EQ(starts[0] < 0, shown == 1);
    EXPECT_GT(ends[c.selected - 1], starts[c.selected - 1]);
  }
}

// Type-ahead, going up, the wheel: where the list's cursor goes, and that
// the name line keeps what was typed.
TEST(FileDialogTest, ListCursorFollowsTypingAndGoingUp) {
  TempDir dir;
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(dir.path().c_str(), resolved), nullptr);
  std::string root = resolved;
  for (const char* folder : {"/Deep", "/deep2", "/mid", "/mid/inner"})
    mkdir((root + folder).c_str(), 0755);
  for (int i = 0; i < 20; ++i) WriteFile(root + "/f" + std::to_string(100 + i) + ".gpx", "x");
  WriteFile(root + "/Walk.gpx", "x");
  // Listed: ../ Deep/ deep2/ mid/ f100.gpx ... f119.gpx Walk.gpx
  const FileFilterView filters[] = {{u"gpx", u"*.gpx"}};
  auto entry = [](const FileDialogModel& d) {
    return d.chooser.entries[static_cast<size_t>(d.highlighted)].name;
  };
  char16_t file[64] = {};
  OpenFileView view = {u"Open", filters, 1, 1, file, 64, 1, kSaveNone, -1};
  FileDialogModel dialog;
  StartFileDialog(&dialog, &view, root + "/mid/inner");
  EXPECT_EQ(dialog.chooser.folder, root + "/mid/inner");  // a start folder for an empty name

  FileDialogHandle(&dialog, Key(VK_BACK), 40, 12);  // up: the folder left is selected
  EXPECT_EQ(dialog.chooser.folder, root + "/mid");
  EXPECT_EQ(entry(dialog), "inner");
  FileDialogHandle(&dialog, Key(VK_UP), 40, 12);  // onto ".."
  FileDialogHandle(&dialog, Key(VK_RETURN), 40, 12);
  EXPECT_EQ(dialog.chooser.folder, root);
  EXPECT_EQ(entry(dialog), "mid");

  struct {
    const char* typed;
    const char* highlighted;
  } typing[] = {{"w", "Walk.gpx"},
                {"D", "Deep"},
                {"DEEP2", "deep2"},
                {"f11", "f110.gpx"},
                {"zz", "f110.gpx"}};  // no match: the cursor stays
  for (const auto& t : typing) {
    SCOPED_TRACE(t.typed);
    if (std::string(t.typed) != "zz") FileDialogHandle(&dialog, Key('U', kModControl), 40, 12);
    for (const char* c = t.typed; *c != 0; ++c) FileDialogHandle(&dialog, Char(*c), 40, 12);
    EXPECT_EQ(entry(dialog), t.highlighted);
    EXPECT_NE(Utf16ToUtf8(dialog.chooser.name).find(t.typed), std::string::npos);
  }

  // 40x12 with one filter: 8 list rows from row 2. The wheel moves the view
  // three rows a notch, and the cursor stays in it.
  FileDialogHandle(&dialog, Key('U', kModControl), 40, 12);
  FileDialogHandle(&dialog, Key(VK_PRIOR), 40, 12);
  FileDialogHandle(&dialog, Key(VK_PRIOR), 40, 12);
  ASSERT_EQ(dialog.highlighted, 0);
  InputEvent down = {kEventWheel, kWheelDown, 0, 5, 5, 0};
  FileDialogHandle(&dialog, down, 40, 12);
  EXPECT_EQ(dialog.top, 3);
  EXPECT_EQ(dialog.highlighted, 3);
  for (int i = 0; i < 10; ++i) FileDialogHandle(&dialog, down, 40, 12);
  EXPECT_EQ(dialog.top, 25 - 8);
  EXPECT_EQ(dialog.highlighted, 25 - 8);
  FileDialogHandle(&dialog, InputEvent{kEventWheel, kWheelUp, 0, 5, 5, 0}, 40, 12);
  EXPECT_EQ(dialog.top, 14);
  EXPECT_EQ(dialog.highlighted, 17);  // still in view
}

// The save dialog: a missing host folder is refused in the dialog, a device
// folder is not; an existing file that is not of the quiet size asks first.
TEST(FileDialogTest, SaveDialogRefusesMissingFoldersAndAsksBeforeReplacing) {
  TempDir dir;
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(dir.path().c_str(), resolved), nullptr);
  std::string root = resolved;
  WriteFile(root + "/walk.gpx", "<gpx/>");
  WriteFile(root + "/old.bin", std::string(10, 'x'));
  const FileFilterView filters[] = {{u"bin", u"*.bin"}};
  struct {
    const char* name;
    std::vector<InputEvent> events;  // after the name is typed and Enter pressed
    int result;
    const char* chosen;  // relative to the folder
    const char* hint;    // the hint row after the events
  } cases[] = {
      {"new name", {}, 1, "new.bin", ""},
      {"the quiet size: no question", {}, 1, "old.bin", ""},
      {"another file asks", {}, -1, nullptr, "Replace walk.gpx? It is not a track file. (y/N)"},
      {"y replaces", {Char('y')}, 1, "walk.gpx", ""},
      {"Y replaces", {Key('Y', kModShift, 'Y')}, 1, "walk.gpx", ""},
      {"n keeps", {Key('N', 0, 'n')}, -1, nullptr, "Enter:choose Esc:cancel"},
      {"Enter keeps", {Key(VK_RETURN)}, -1, nullptr, "Enter:choose Esc:cancel"},
      {"Esc keeps the dialog", {Key(VK_ESCAPE)}, -1, nullptr, "Enter:choose Esc:cancel"},
      {"a missing folder", {}, -1, nullptr, "No such folder"},
      {"a device folder is made later", {}, 1, "\\New\\x.bin", ""},
  };
  const char* typed[] = {"new.bin",  "old.bin",  "walk.gpx", "walk.gpx", "walk.gpx",
                         "walk.gpx", "walk.gpx", "walk.gpx", "no/x.bin", "\\New\\x.bin"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.name);
    char16_t file[128] = {};
    OpenFileView view = {u"Set output file", filters, 1, 1, file, 128, 0, kSaveAsks, 10};
    FileDialogModel dialog;
    StartFileDialog(&dialog, &view, root);
    for (const char* p = typed[i]; *p != 0; ++p) FileDialogHandle(&dialog, Char(*p), 40, 12);
    int result = FileDialogHandle(&dialog, Key(VK_RETURN), 40, 12);
    for (const InputEvent& event : c.events) result = FileDialogHandle(&dialog, event, 40, 12);
    EXPECT_EQ(result, c.result);
    if (c.chosen != nullptr) {
      std::string expected = c.chosen[0] == '\\' ? c.chosen : root + "/" + c.chosen;
      EXPECT_EQ(Utf16ToUtf8(file), expected);
    }
    if (result != 1) {
      EXPECT_EQ(Utf16ToUtf8(FileHintLine(dialog)), c.hint);
    }
  }
  EXPECT_EQ(ReadFile(root + "/walk.gpx"), "<gpx/>");
}

}  // namespace
