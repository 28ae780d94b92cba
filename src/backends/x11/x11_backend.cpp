// The X11 backend: the screen the window layer composes, drawn into the
// canvas and painted; keys, clicks and drops for the message loop; the Tools
// popup above the right soft key; dialogs with OK in the caption. The popup
// takes the same cells as on the terminal, so the two screens read the same.
// The open-file dialog is in x11_file_dialog.cpp.
#include "backends/x11/x11_backend.h"

#include <string>

#include "backends/x11/x11_internal.h"
#include "backends/x11/x11_map.h"
#include "platform/file_chooser.h"
#include "platform/text.h"
#include "platform/window_internal.h"

namespace {

const MenuView* g_popup = nullptr;  // the popup on show
int g_popup_selected = 0;
bool g_caption_ok = false;      // a dialog with OK in its caption is on show
bool g_loop_closed = false;     // the message loop was told the window closes
std::u16string g_dropped;       // a dropped file, for the open-file dialog to answer with
int g_close_signal = 0;         // kept after the display is closed

constexpr char32_t kCheckMark = U'\u2713';

struct PopupBox {
  int top;
  int left;
  int width;
  int height;
};

// Above the right soft key, as on the device; pushed down to the row under
// the title when the screen is too low.
PopupBox PopupGeometry(const MenuView* menu, int columns, int rows, int bar_row) {
  int longest = 0;
  for (int i = 0; i < menu->count; ++i) {
    if (menu->items[i].text != nullptr) {
      int width = static_cast<int>(WideLength(menu->items[i].text));
      if (width > longest) longest = width;
    }
  }
  int width = longest + 6;  // border, blank, check mark, blank, text, blank, border
  int height = menu->count + 2;
  int bottom = (bar_row >= 0 ? bar_row : rows) - 1;
  int top = bottom - height + 1 > 1 ? bottom - height + 1 : 1;
  int left = columns - width > 0 ? columns - width : 0;
  return PopupBox{top, left, width, height};
}

void BoxLine(int row, int left, int width, char32_t start, char32_t middle, char32_t end) {
  CanvasPut(row, left, start, kCellPopup);
  for (int c = left + 1; c < left + width - 1; ++c) CanvasPut(row, c, middle, kCellPopup);
  CanvasPut(row, left + width - 1, end, kCellPopup);
}

void DrawPopupCells(const PopupBox& box) {
  Canvas& canvas = TheCanvas();
  canvas.popup_left = box.left;
  canvas.popup_top = box.top;
  canvas.popup_width = box.width;
  canvas.popup_height = box.height;
  BoxLine(box.top, box.left, box.width, U'\u250C', U'\u2500', U'\u2510');
  for (int i = 0; i < g_popup->count; ++i) {
    int row = box.top + 1 + i;
    const MenuItemView& item = g_popup->items[i];
    if (item.text == nullptr) {
      BoxLine(row, box.left, box.width, U'\u251C', U'\u2500', U'\u2524');
      continue;
    }
    uint8_t marks = kCellPopup | (i == g_popup_selected ? kCellSelected : 0);
    BoxLine(row, box.left, box.width, U'\u2502', U' ', U'\u2502');
    CanvasMark(row, box.left + 1, box.left + box.width - 1, marks);
    if (item.checked) CanvasPut(row, box.left + 2, kCheckMark, marks);
    CanvasText(row, box.left + 4, item.text, box.width - 6, marks);
  }
  BoxLine(box.top + box.height - 1, box.left, box.width, U'\u2514', U'\u2500', U'\u2518');
}

// The next item that can be chosen from `from` in `step` direction, round
// the end; `from` itself when there is no other.
int NextChoosable(const MenuView* menu, int from, int step) {
  for (int i = 1; i <= menu->count; ++i) {
    int at = ((from + step * i) % menu->count + menu->count) % menu->count;
    if (menu->items[at].text != nullptr) return at;
  }
  return from;
}

bool IsKey(const WinEvent& event, int key) {
  return event.kind == kWinKey && event.key.kind == kInputKey && event.key.key == key;
}

int Start() {
  g_popup = nullptr;
  g_caption_ok = false;
  g_loop_closed = false;
  g_dropped.clear();
  g_close_signal = 0;
  return OpenDisplay();
}

void Stop() {
  g_close_signal = WindowCloseSignal();
  CloseDisplay();
}

int NextInput(InputEvent* event) {
  AcceptDrops(true);
  for (;;) {
    WinEvent taken;
    WaitWindowEvent(&taken);
    switch (taken.kind) {
      case kWinKey:
        if (taken.key.kind != kInputKey) break;
        *event = taken.key;
        AcceptDrops(false);
        return kInputKey;
      case kWinClick:
        *event = InputEvent{kInputClick, 0, 0, taken.column, taken.row};
        AcceptDrops(false);
        return kInputClick;
      case kWinDrop:
        // Converted as if chosen with "Open file": the soft key, then the
        // open-file dialog answers with the dropped file.
        g_dropped = Utf8ToUtf16(TakeDroppedPath());
        *event = InputEvent{kInputKey, VK_F1, 0, 0, 0};
        AcceptDrops(false);
        return kInputKey;
      case kWinResize:
        *event = InputEvent{kInputResize, 0, 0, 0, 0};
        return kInputResize;
      case kWinClose:
        // Once as the system closing the windows; should the loop ask again,
        // there is no more input.
        *event = InputEvent{g_loop_closed ? kInputEnd : kInputClose, 0, 0, 0, 0};
        g_loop_closed = true;
        AcceptDrops(false);
        return event->kind;
      case kWinEnd:
        *event = InputEvent{kInputEnd, 0, 0, 0, 0};
        AcceptDrops(false);
        return kInputEnd;
      default:
        break;
    }
  }
}

int TrackPopup(const MenuView* menu) {
  if (menu->count <= 0) return 0;
  g_popup = menu;
  g_popup_selected = NextChoosable(menu, menu->count - 1, 1);
  int chosen = -1;
  while (chosen < 0) {
    X11Present();
    WinEvent event;
    WaitWindowEvent(&event);
    const MenuItemView& selected = menu->items[g_popup_selected];
    if (IsEnterKey(event)) {
      chosen = selected.text != nullptr ? static_cast<int>(selected.id) : 0;
    } else if (IsEscapeKey(event) || event.kind == kWinClose || event.kind == kWinEnd ||
               IsKey(event, VK_F1) || IsKey(event, VK_F2)) {
      chosen = 0;
    } else if (IsKey(event, kVkUp) || IsKey(event, kVkDown)) {
      g_popup_selected = NextChoosable(menu, g_popup_selected, IsKey(event, kVkUp) ? -1 : 1);
    } else if (event.kind == kWinWheel) {
      g_popup_selected = NextChoosable(menu, g_popup_selected, event.wheel);
    } else if (event.kind == kWinResize) {
      HandleScreenResize();
    } else if (event.kind == kWinClick) {
      const Canvas& canvas = TheCanvas();
      PopupBox box = {canvas.popup_top, canvas.popup_left, canvas.popup_width,
                      canvas.popup_height};
      int item = event.row - box.top - 1;
      bool inside = event.column >= box.left && event.column < box.left + box.width &&
                    event.row >= box.top && event.row < box.top + box.height;
      if (!inside) {
        chosen = 0;
      } else if (item >= 0 && item < menu->count && menu->items[item].text != nullptr) {
        chosen = static_cast<int>(menu->items[item].id);
      }
    }
  }
  g_popup = nullptr;
  return chosen;
}

int RunDialog(const DialogView* dialog) {
  g_caption_ok = dialog->done_button != 0;
  int action = 0;
  while (action == 0) {
    X11Present();
    WinEvent event;
    WaitWindowEvent(&event);
    if (IsEnterKey(event)) {
      action = kDialogOk;
    } else if (IsEscapeKey(event)) {
      action = kDialogClose;
    } else if (event.kind == kWinClose || event.kind == kWinEnd) {
      action = kDialogGone;
    } else if (event.kind == kWinResize) {
      HandleScreenResize();
    } else if (event.kind == kWinClick && g_caption_ok && event.row == 0 &&
               event.column >= TheCanvas().columns - 2) {
      action = kDialogOk;
    }
  }
  g_caption_ok = false;
  return action;
}

// A dropped file answers the input dialog at once, with the filter its name
// matches (the last, NMEA, when none does), as on the command line.
int OpenFile(OpenFileView* view) {
  if (!g_dropped.empty()) {
    std::u16string path = std::move(g_dropped);
    g_dropped.clear();
    if (view->must_exist && path.size() < static_cast<size_t>(view->file_capacity)) {
      std::string name = Utf16ToUtf8(path.substr(path.rfind(u'/') + 1));
      int index = view->filter_count;
      for (int i = view->filter_count; i >= 1; --i) {
        if (MatchesPattern(name, view->filters[i - 1].pattern)) index = i;
      }
      CopyWide(view->file, static_cast<size_t>(view->file_capacity), path);
      if (index >= 1) view->filter_index = index;
      return 1;
    }
  }
  AcceptDrops(view->must_exist != 0);
  int chosen = X11OpenFile(view);
  AcceptDrops(false);
  return chosen;
}

void ScreenSizeNow(int* columns, int* rows) {
  WindowGrid(columns, rows);
}

const PlatformBackend kX11 = {"x11",     Start,      Stop,      ScreenSizeNow, X11Present,
                              NextInput, TrackPopup, RunDialog, OpenFile,      BringWindowForward};

}  // namespace

const PlatformBackend* X11Backend() {
  return &kX11;
}

int X11CloseSignal() {
  return g_close_signal != 0 ? g_close_signal : WindowCloseSignal();
}

void X11Present() {
  if (!DrawFileDialog()) {
    ScreenFrame frame;
    ComposeScreen(&frame);
    ClearCanvas(frame.columns, frame.rows);
    for (int row = 0; row < frame.rows; ++row) {
      std::u16string_view cells(frame.cells + static_cast<size_t>(row) * static_cast<size_t>(frame.columns),
                                static_cast<size_t>(frame.columns));
      CanvasText(row, 0, cells, frame.columns, 0);
    }
    Canvas& canvas = TheCanvas();
    canvas.bar_row = frame.bar_row;
    canvas.left_start = frame.left_key_start;
    canvas.left_end = frame.left_key_end;
    canvas.right_start = frame.right_key_start;
    canvas.right_end = frame.right_key_end;
    canvas.caption_ok = g_caption_ok;
    if (frame.bar_row >= 0 && frame.bar_row != frame.rows - 1) {
      // Not on the bar: highlighted cells, as on the terminal.
      CanvasMark(frame.bar_row, frame.left_key_start, frame.left_key_end, kCellSelected);
      CanvasMark(frame.bar_row, frame.right_key_start, frame.right_key_end, kCellSelected);
    }
    canvas.menu_open = g_popup != nullptr;
    if (g_popup != nullptr) {
      DrawPopupCells(PopupGeometry(g_popup, frame.columns, frame.rows, frame.bar_row));
    }
  }
  ShowCanvas();
}
