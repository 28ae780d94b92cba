// The window layer on its own: text drawing, the open-file dialog's rules and
// the queue's order, on a stand-in backend of a few lines.
#include <cstdlib>
#include <deque>

#include "host/text.h"
#include "platform/backend.h"
#include "platform/windows.h"
#include "test_util.h"

namespace {

// The stand-in: a 12x6 screen (or a larger one), and as input only the
// answers to file dialogs from a queue: the second type, the path typed on
// an emptied name line, Enter ("" presses Esc).
std::deque<std::string> g_answers;
std::deque<InputEvent> g_input;
int g_columns = 12;
int g_rows = 6;
int g_shown_box = kBoxNone;
int g_shown_filter = 1;
std::vector<Frame> g_frames;  // what was presented (the pointers are void after)
std::vector<bool> g_selected_marked;  // a frame's selected list row shows in reverse

void StandInSize(int* columns, int* rows) {
  *columns = g_columns;
  *rows = g_rows;
}
void StandInPresent(const Frame& frame) {
  g_shown_box = frame.box;
  g_shown_filter = frame.file_dialog.filter_index;
  g_frames.push_back(frame);
  int row = frame.file_dialog.selected_row;
  g_selected_marked.push_back(row >= 0 && row < frame.rows &&
                              (frame.marks[row * frame.columns + 1] & kMarkReverse));
}
InputEvent Key(int key, int modifiers = 0, int character = 0) {
  return InputEvent{kEventKey, key, modifiers, 0, 0, character};
}
int StandInInput(InputEvent* event, int /*watch_fd*/) {
  if (g_input.empty() && g_shown_box == kBoxFileDialog && !g_answers.empty()) {
    std::u16string answer = Utf8ToUtf16(g_answers.front());
    g_answers.pop_front();
    if (answer.empty()) g_input.push_back(Key(VK_ESCAPE));
    if (!answer.empty() && g_shown_filter != 2) g_input.push_back(Key(VK_TAB));
    if (!answer.empty()) g_input.push_back(Key('U', kModControl));
    for (char16_t c : answer) g_input.push_back(Key(0, 0, c));
    if (!answer.empty()) g_input.push_back(Key(VK_RETURN));
  }
  if (g_input.empty()) return kEventEnd;
  *event = g_input.front();
  g_input.pop_front();
  return event->kind;
}
const PlatformBackend kStandIn = {
    "stand-in", [] { return 0; }, [] {}, StandInSize, StandInPresent, StandInInput, [] {}};

// The window's client area, one line per row, trailing blanks and empty rows cut.
std::string ClientText() {
  const char16_t* cells = nullptr;
  int columns = 0;
  int rows = 0;
  if (!AppClientArea(&cells, &columns, &rows)) return std::string();
  std::vector<std::string> lines;
  for (int row = 0; row < rows; ++row) {
    std::u16string_view line(cells + row * columns, static_cast<size_t>(columns));
    size_t end = line.find_last_not_of(u' ');
    lines.push_back(Utf16ToUtf8(line.substr(0, end == std::u16string_view::npos ? 0 : end + 1)));
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

const char16_t* g_paint_text = u"";
RECT g_paint_rect = {0, 0, 0, 0};
int g_drawn_height = 0;
std::vector<UINT> g_seen;

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    g_drawn_height = DrawTextW(dc, g_paint_text, -1, &g_paint_rect, 0);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_COMMAND) g_seen.push_back(LOWORD(wparam));
  if (message == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcW(window, message, wparam, lparam);
}

class WindowTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    ResetPlatformForTest();
    UsePlatformBackend(&kStandIn);
    g_answers.clear();
    g_input.clear();
    g_columns = 12;
    g_rows = 6;
    g_shown_box = kBoxNone;
    g_frames.clear();
    g_selected_marked.clear();
    g_seen.clear();
    // A top-level window claims its class name in the claim folder: a private one.
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = TestWindowProc;
    window_class.lpszClassName = u"TEST";
    ASSERT_TRUE(RegisterClassW(&window_class));
    window_ = CreateWindowExW(0, u"TEST", u"T", WS_VISIBLE, 0, 1, 10, 4, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    ResetPlatformForTest();
    WayconvTest::TearDown();
  }
  SavedEnvironment saved_env_{"XDG_RUNTIME_DIR"};
  HWND window_ = nullptr;
};

TEST_F(WindowTest, DrawTextBreaksLinesAndClips) {
  struct {
    const char16_t* text;
    RECT rect;
    const char* screen;
    int height;
  } cases[] = {
      {u"ab\r\ncd\ref\ngh", {0, 0, 10, 4}, "ab\ncd\nef\ngh\n", 4},
      {u"a\r\n\r\nb", {0, 0, 10, 4}, "a\n\nb\n", 3},
      // Wider than the window: wrapped, before a separator in the row's last
      // third, else at the width.
      {u"0123456789abc", {0, 0, 10, 4}, "0123456789\nabc\n", 2},
      {u"abcdefg/hijkl", {0, 0, 10, 4}, "abcdefg\n/hijkl\n", 2},
      {u"ab\\cdefgh\\ij", {0, 0, 10, 4}, "ab\\cdefgh\n\\ij\n", 2},
      {u"abcd/efghijkl", {0, 0, 10, 4}, "abcd/efghi\njkl\n", 2},
      {u"0123456789\r\n", {0, 0, 10, 4}, "0123456789\n", 2},  // no empty wrapped row
      {u"012345678\U0001F600z", {0, 0, 10, 4}, "012345678\n\U0001F600z\n", 2},
      {u"0123456789012345678901234567890123456789ab\nc",
       {0, 0, 10, 4},
       "0123456789\n0123456789\nab\nc\n",
       6},
      // Taller than the window: kept whole, its end in view.
      {u"1\n2\n3\n4\n5\n6", {0, 0, 10, 4}, "3\n4\n5\n6\n", 6},
      // A rectangle short of the bottom edge clips.
      {u"1\n2\n3\n4\n5\n6", {0, 0, 10, 2}, "1\n2\n", 2},
      {u"xyz\nw", {2, 1, 4, 4}, "\n  xy\n  z\n  w\n", 3},
      {u"a\tb", {0, 0, 10, 4}, "a b\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    g_paint_text = c.text;
    g_paint_rect = c.rect;
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    EXPECT_EQ(ClientText(), c.screen);
    EXPECT_EQ(g_drawn_height, c.height);
  }
  PAINTSTRUCT paint;
  RECT rect = {0, 0, 10, 4};
  HDC dc = BeginPaint(window_, &paint);
  EXPECT_EQ(DrawTextW(dc, u"x", -1, &rect, 1), 0);  // only format 0 draws
  EndPaint(window_, &paint);
}

// The view of a text taller than the window (4 rows): keys and the wheel
// scroll it within the text; a repaint of the same text keeps the place, a
// new text shows its end.
TEST_F(WindowTest, ViewScrollsThroughATallText) {
  g_paint_text = u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10";
  g_paint_rect = {0, 0, 10, 4};
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  auto wheel = [](int notches) { return MAKELPARAM(0, static_cast<WORD>(notches * WHEEL_DELTA)); };
  struct {
    const char* name;
    UINT message;
    WPARAM wparam;
    const char* shown;
  } steps[] = {
      {"the end at first", 0, 0, "7\n8\n9\n10\n"},
      {"home", WM_KEYDOWN, VK_HOME, "1\n2\n3\n4\n"},
      {"up at the start", WM_KEYDOWN, VK_UP, "1\n2\n3\n4\n"},
      {"page down: the rows but one", WM_KEYDOWN, VK_NEXT, "4\n5\n6\n7\n"},
      {"down", WM_KEYDOWN, VK_DOWN, "5\n6\n7\n8\n"},
      {"wheel down stops at the end", WM_MOUSEWHEEL, static_cast<WPARAM>(wheel(-1)),
       "7\n8\n9\n10\n"},
      {"wheel up three rows a notch", WM_MOUSEWHEEL, static_cast<WPARAM>(wheel(1)), "4\n5\n6\n7\n"},
      {"page up", WM_KEYDOWN, VK_PRIOR, "1\n2\n3\n4\n"},
      {"end", WM_KEYDOWN, VK_END, "7\n8\n9\n10\n"},
      {"other keys do nothing", WM_KEYDOWN, 'A', "7\n8\n9\n10\n"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.message != 0) SendMessageW(window_, step.message, step.wparam, 0);
    EXPECT_EQ(ClientText(), step.shown);
  }
  SendMessageW(window_, WM_KEYDOWN, VK_HOME, 0);
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  EXPECT_EQ(ClientText(), "1\n2\n3\n4\n");
  g_paint_text = u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11";
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  EXPECT_EQ(ClientText(), "8\n9\n10\n11\n");
}

TEST_F(WindowTest, OpenFileRecordRules) {
  std::string existing = dir_.File("here.gpx");
  WriteFile(existing, "x");
  const char16_t filters[] = u"gpx\0*.gpx\0plt\0*.plt\0";
  struct {
    const char* name;
    DWORD size;
    DWORD max_file;
    DWORD flags;
    std::vector<std::string> answers;  // "" cancels
    BOOL result;
    std::string file;
    DWORD index;
  } cases[] = {
      {"chosen", 76, 64, OFN_FILEMUSTEXIST, {existing}, TRUE, existing, 2},
      {"wrong record size", 88, 64, 0, {}, FALSE, "init", 1},
      {"cancelled", 76, 64, 0, {""}, FALSE, "init", 1},
      {"missing, then chosen",
       76,
       64,
       OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST,
       {dir_.File("none.gpx"), existing},
       TRUE,
       existing,
       2},
      {"folder missing",
       76,
       64,
       OFN_PATHMUSTEXIST,
       {dir_.File("no/new.bin"), ""},
       FALSE,
       "init",
       1},
      {"new name allowed", 76, 64, 0, {dir_.File("new.bin")}, TRUE, dir_.File("new.bin"), 2},
      // The name line takes only what fits the record's buffer.
      {"does not fit", 76, 5, 0, {"\\abcd"}, TRUE, "\\abc", 2},
      {"just fits", 76, 6, 0, {"\\abcd"}, TRUE, "\\abcd", 2},
  };
  g_columns = 60;  // room for the dialog
  g_rows = 20;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_input.clear();
    g_answers.assign(c.answers.begin(), c.answers.end());
    char16_t file[64];
    CopyWide(file, 64, u"init");
    OPENFILENAMEW record = {};
    record.lStructSize = c.size;
    record.lpstrFilter = filters;
    record.nFilterIndex = 1;
    record.lpstrFile = file;
    record.nMaxFile = c.max_file;
    record.Flags = c.flags;
    EXPECT_EQ(GetOpenFileNameW(&record), c.result);
    EXPECT_EQ(Utf16ToUtf8(file), c.file);
    EXPECT_EQ(record.nFilterIndex, c.index);
    EXPECT_TRUE(g_answers.empty());
  }
}

TEST_F(WindowTest, FramesSayWhatIsOnShow) {
  g_columns = 40;
  g_rows = 14;
  char16_t file[64] = {};
  OPENFILENAMEW record = {};
  record.lStructSize = 76;
  record.lpstrFilter = u"gpx\0*.gpx\0plt\0*.plt\0";
  record.nFilterIndex = 2;
  record.lpstrFile = file;
  record.nMaxFile = 64;
  record.Flags = OFN_FILEMUSTEXIST;
  g_answers.push_back("");
  EXPECT_FALSE(GetOpenFileNameW(&record));
  ASSERT_FALSE(g_frames.empty());
  const Frame& dialog = g_frames.front();
  EXPECT_EQ(dialog.box, kBoxFileDialog);
  EXPECT_EQ(dialog.columns, 40);
  EXPECT_EQ(dialog.bar_row, -1);  // the dialog covers the soft keys
  EXPECT_EQ(dialog.file_dialog.list_top, 2);
  EXPECT_EQ(dialog.file_dialog.hint_row, 13);
  EXPECT_LT(dialog.file_dialog.name_row, dialog.file_dialog.type_row);
  EXPECT_EQ(dialog.cursor_row, dialog.file_dialog.name_row);
  EXPECT_EQ(dialog.file_dialog.filter_index, 2);
  EXPECT_EQ(dialog.file_dialog.filter_count, 2);
  EXPECT_TRUE(dialog.accepts_drop);  // an input dialog takes a dropped file
  // The highlighted entry is in the list, where the reverse cells are.
  EXPECT_GE(dialog.file_dialog.selected_row, 2);
  EXPECT_LT(dialog.file_dialog.selected_row, 2 + dialog.file_dialog.list_rows);
  EXPECT_TRUE(g_selected_marked.front());
  // After the dialog, the window again: no box, its own title.
  Frame now = {};
  DrawScreen(&now);
  EXPECT_EQ(now.box, kBoxNone);
  EXPECT_EQ(Utf16ToUtf8(now.title), "T");
}

// Below 40x12 a frame holds only the notice, centred, naming the screen as
// the backend calls it.
TEST_F(WindowTest, TooSmallNoticeNamesTheBackendsScreen) {
  struct {
    const char16_t* screen_name;
    int columns, rows;
    std::vector<std::string> notice;  // its rows, in the middle of the screen
  } cases[] = {
      {nullptr, 30, 8, {"  Make the terminal at least", "            40x12"}},
      {u"window", 28, 8, {"  Make the window at least", "           40x12"}},
      {u"window", 39, 12, {"    Make the window at least 40x12"}},
      {u"window", 14, 11, {"   Make the", "  window at", " least 40x12"}},
  };
  for (const auto& c : cases) {
    PlatformBackend backend = kStandIn;
    backend.screen_name = c.screen_name;
    UsePlatformBackend(&backend);
    g_columns = c.columns;
    g_rows = c.rows;
    Frame frame = {};
    DrawScreen(&frame);
    std::vector<std::string> rows;
    for (int row = 0; row < frame.rows; ++row) {
      std::u16string_view line(frame.cells + row * frame.columns, static_cast<size_t>(frame.columns));
      size_t end = line.find_last_not_of(u' ');
      rows.push_back(Utf16ToUtf8(line.substr(0, end == std::u16string_view::npos ? 0 : end + 1)));
    }
    int top = (c.rows - static_cast<int>(c.notice.size())) / 2;
    for (int row = 0; row < c.rows; ++row) {
      int i = row - top;
      bool in_notice = i >= 0 && i < static_cast<int>(c.notice.size());
      std::string expected = in_notice ? c.notice[static_cast<size_t>(i)] : "";
      EXPECT_EQ(rows[static_cast<size_t>(row)], expected) << c.columns << "x" << c.rows << " row " << row;
    }
  }
}

TEST_F(WindowTest, QueueOrderAndDestroyedWindows) {
  PostMessageW(window_, WM_COMMAND, 1, 0);
  PostMessageW(window_, WM_COMMAND, 2, 0);
  PostQuitMessage(3);  // read after the posted messages
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_EQ(g_seen, (std::vector<UINT>{1, 2}));

  PostMessageW(window_, WM_COMMAND, 4, 0);
  SendMessageW(window_, WM_CLOSE, 0, 0);  // destroyed: the posted command is dropped
  EXPECT_FALSE(PostMessageW(window_, WM_COMMAND, 5, 0));
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_EQ(g_seen, (std::vector<UINT>{1, 2}));
}

}  // namespace
