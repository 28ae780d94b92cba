// The X11 backend: the platform's drawing of the screen (DrawScreen) shown in
// a window, and what the user does there turned into input events. The
// popup, dialogs and open-file dialog are the platform's own; the painter
// gives their cells a desktop look (the title band, the soft keys as buttons,
// the popup as a box with a shadow), which it finds from the composed screen:
// the soft keys' row and spans, a caption's OK, the popup's box characters.
#include "backends/x11/x11_backend.h"

#include <algorithm>
#include <string>
#include <vector>

#include "backends/x11/x11_internal.h"
#include "backends/x11/x11_map.h"
#include "host/text.h"

namespace {

constexpr int kWheelLines = 3;  // rows a wheel notch moves through a list

bool g_loop_closed = false;  // the message loop was told the window closes
std::vector<std::u16string> g_dropped;  // dropped files, for the open-file dialog to answer with
int g_close_signal = 0;      // kept after the display is closed
InputEvent g_repeat = {};    // a key still to be given this many more times
int g_repeat_count = 0;

InputEvent KeyEvent(int key, int modifiers = 0) {
  return InputEvent{kEventKey, key, modifiers, 0, 0, 0};
}

int Start() {
  g_loop_closed = false;
  g_dropped.clear();
  g_close_signal = 0;
  g_repeat_count = 0;
  return OpenDisplay();
}

void Stop() {
  g_close_signal = WindowCloseSignal();
  CloseDisplay();
}

void Present() {
  ScreenFrame frame;
  ComposeScreen(&frame);
  int bar_row = frame.bar_row;
  int spans[4] = {frame.left_key_start, frame.left_key_end, frame.right_key_start,
                  frame.right_key_end};
  DrawnScreen screen;
  DrawScreen(&screen);
  CanvasFromDrawing(screen);
  Canvas& canvas = TheCanvas();
  // The full-screen open-file dialog covers the soft keys; its last row is
  // its hints. The highlight of its list (rows 2 to rows-4) runs across the
  // row, as a list's does.
  if (OpenFileOnShow() != nullptr) {
    for (int row = 2; row <= canvas.rows - 4; ++row) {
      size_t first = static_cast<size_t>(row) * static_cast<size_t>(canvas.columns);
      bool selected = false;
      for (int column = 0; column < canvas.columns; ++column) {
        selected = selected || (canvas.marks[first + static_cast<size_t>(column)] & kCellSelected);
      }
      if (selected) {
        std::fill(canvas.marks.begin() + static_cast<long>(first),
                  canvas.marks.begin() + static_cast<long>(first) + canvas.columns, kCellSelected);
      }
    }
  } else {
    canvas.bar_row = bar_row;
    canvas.left_start = spans[0];
    canvas.left_end = spans[1];
    canvas.right_start = spans[2];
    canvas.right_end = spans[3];
  }
  // OK at the right of the title row, marked: a dialog's done button.
  int columns = canvas.columns;
  canvas.caption_ok = columns >= 2 && canvas.glyphs[static_cast<size_t>(columns) - 2] == U'O' &&
                      canvas.glyphs[static_cast<size_t>(columns) - 1] == U'K' &&
                      (canvas.marks[static_cast<size_t>(columns) - 1] & kCellSelected) != 0;
  canvas.menu_open = PopupOnShow() != nullptr;
  if (canvas.menu_open) FindPopupBox(&canvas);
  ShowCanvas();
}

int NextInput(InputEvent* event, int watch_fd) {
  if (g_repeat_count > 0) {
    --g_repeat_count;
    *event = g_repeat;
    return event->kind;
  }
  // A drop read earlier and not taken by an open-file dialog since is void.
  g_dropped.clear();
  const OpenFileView* file_dialog = OpenFileOnShow();
  bool main_screen = PopupOnShow() == nullptr && file_dialog == nullptr && !TheCanvas().caption_ok;
  AcceptDrops(main_screen || (file_dialog != nullptr && file_dialog->must_exist));
  for (;;) {
    WinEvent taken;
    WaitWindowEvent(&taken, watch_fd);
    switch (taken.kind) {
      case kWinKey:
        *event = taken.key;
        event->character = static_cast<int>(taken.character);
        if (event->kind != kEventKey && event->character == 0) break;
        event->kind = kEventKey;
        return kEventKey;
      case kWinClick: {
        // The second click on a cell in quick succession is a double click;
        // the first one came as a click of its own.
        int kind = taken.clicks == 2 ? kEventDoubleClick : kEventClick;
        *event = InputEvent{kind, 0, 0, taken.column, taken.row, 0};
        return kind;
      }
      case kWinWheel:
        // In the popup the wheel moves as the arrows do; elsewhere the
        // platform scrolls the log or the file list by it.
        if (PopupOnShow() != nullptr) {
          *event = KeyEvent(taken.wheel < 0 ? VK_UP : VK_DOWN);
          return kEventKey;
        }
        *event = InputEvent{kEventWheel, taken.wheel < 0 ? kWheelUp : kWheelDown, 0, taken.column,
                            taken.row, 0};
        return kEventWheel;
      case kWinDrop:
        // Converted as if chosen with "Open file": the soft key (or, in the
        // input dialog, leaving it), then open_file answers with the file.
        for (const std::string& path : TakeDroppedPaths()) g_dropped.push_back(Utf8ToUtf16(path));
        *event = KeyEvent(OpenFileOnShow() != nullptr ? VK_ESCAPE : VK_F1);
        AcceptDrops(false);
        return kEventKey;
      case kWinResize:
        *event = InputEvent{kEventResize, 0, 0, 0, 0, 0};
        return kEventResize;
      case kWinWatch:
        *event = InputEvent{kEventWatch, 0, 0, 0, 0, 0};
        return kEventWatch;
      case kWinClose:
        // Once as the system closing the windows; should the loop ask again,
        // there is no more input.
        *event = InputEvent{g_loop_closed ? kEventEnd : kEventClose, 0, 0, 0, 0, 0};
        g_loop_closed = true;
        return event->kind;
      default:
        *event = InputEvent{kEventEnd, 0, 0, 0, 0, 0};
        return kEventEnd;
    }
  }
}

// The platform's open-file dialog, unless files were dropped: they answer
// the input dialog at once, with the filter the first one's name matches.
int OpenFile(OpenFileView* view) {
  if (g_dropped.empty()) {
    int chosen = RunOwnOpenFile(view);
    if (chosen != 0 || g_dropped.empty()) return chosen;
  }
  std::vector<std::u16string> paths = std::move(g_dropped);
  g_dropped.clear();
  // One file as a path; several each ended by a zero, and one more zero.
  std::u16string answer;
  for (const std::u16string& path : paths) {
    answer += path;
    if (paths.size() > 1) answer += u'\0';
  }
  if (!view->must_exist || answer.size() >= static_cast<size_t>(view->file_capacity)) return 0;
  const std::u16string& first = paths.front();
  std::string name = Utf16ToUtf8(first.substr(first.rfind(u'/') + 1));
  int filter = FilterForName(name, view->filters, view->filter_count);
  answer.copy(view->file, answer.size());
  view->file[answer.size()] = 0;
  if (filter >= 1) view->filter_index = filter;
  return paths.size() > 1 ? kOpenFileSeveral : 1;
}

void ScreenSizeNow(int* columns, int* rows) {
  WindowGrid(columns, rows);
}

const PlatformBackend kX11 = {"x11",     Start,       Stop,         ScreenSizeNow, Present,
                              NextInput, RunOwnPopup, RunOwnDialog, OpenFile,      BringWindowForward};

}  // namespace

const PlatformBackend* X11Backend() {
  return &kX11;
}

int X11CloseSignal() {
  return g_close_signal != 0 ? g_close_signal : WindowCloseSignal();
}
