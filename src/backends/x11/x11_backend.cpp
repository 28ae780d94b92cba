// The X11 backend: the frames the platform pushes shown in a window, and
// what the user does there turned into input events. The painter gives the
// frame a desktop look (the title band, the soft keys as buttons, the popup
// as a box with a shadow) from what the frame says is on show.
#include "backends/x11/x11_backend.h"

#include <string>
#include <vector>

#include "backends/x11/x11_internal.h"
#include "backends/x11/x11_map.h"
#include "host/text.h"
#include "platform/backend_plumbing.h"

namespace {

CloseOnce g_close;           // the message loop was told the window closes
std::u16string g_dropped;    // the paths of the last kEventDrop, as its text holds them
bool g_accepts_drop = false; // the last frame would take a dropped file
int g_close_signal = 0;      // kept after the display is closed

int Start() {
  g_close = CloseOnce();
  g_dropped.clear();
  g_accepts_drop = false;
  g_close_signal = 0;
  return OpenDisplay();
}

void Stop() {
  g_close_signal = WindowCloseSignal();
  CloseDisplay();
}

void Present(const Frame& frame) {
  CanvasFromFrame(frame);
  g_accepts_drop = frame.accepts_drop != 0;
  ShowCanvas();
}

int NextInput(InputEvent* event, int watch_fd) {
  AcceptDrops(g_accepts_drop);
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
        *event = InputEvent{kEventWheel, taken.wheel < 0 ? kWheelUp : kWheelDown, 0, taken.column,
                            taken.row, 0};
        return kEventWheel;
      case kWinDrop:
        // Every path ended by a zero, and one more zero after the last.
        g_dropped.clear();
        for (const std::string& path : TakeDroppedPaths()) {
          g_dropped += Utf8ToUtf16(path);
          g_dropped += u'\0';
        }
        *event = InputEvent{kEventDrop, 0, 0, 0, 0, 0, g_dropped.c_str()};
        AcceptDrops(false);
        return kEventDrop;
      case kWinResize:
        *event = InputEvent{kEventResize, 0, 0, 0, 0, 0};
        return kEventResize;
      case kWinWatch:
        *event = InputEvent{kEventWatch, 0, 0, 0, 0, 0};
        return kEventWatch;
      case kWinClose:
        *event = InputEvent{CloseEventKind(&g_close), 0, 0, 0, 0, 0};
        return event->kind;
      default:
        *event = InputEvent{kEventEnd, 0, 0, 0, 0, 0};
        return kEventEnd;
    }
  }
}

void ScreenSizeNow(int* columns, int* rows) {
  WindowGrid(columns, rows);
}

const PlatformBackend kX11 = {"x11",     Start,     Stop,
                              ScreenSizeNow, Present, NextInput,
                              BringWindowForward, u"window"};

}  // namespace

const PlatformBackend* X11Backend() {
  return &kX11;
}

int X11CloseSignal() {
  return g_close_signal != 0 ? g_close_signal : WindowCloseSignal();
}
