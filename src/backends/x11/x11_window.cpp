// The X connection, the window and what happens to it: keys, clicks, the
// wheel, hovering and pressing the soft keys, resizing, the window manager's
// close button, files dropped on the window (XDND, text/uri-list), and being
// brought forward for another copy. One poll() watches the display, the
// close-signal pipe and the socket on which other copies call.
//
// SIGINT, SIGTERM and SIGHUP close the window as the close button does: the
// program closes as when the system closes it, saving nothing; a second such
// signal ends it at once (the shared plumbing, platform/backend_plumbing.h,
// with the event ring and double-click timing).
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backends/x11/x11_display.h"
#include "backends/x11/x11_internal.h"
#include "platform/backend_plumbing.h"

namespace {

constexpr int kFlashPhases = 6;     // three flashes of the title
constexpr int kFlashStepMs = 160;
constexpr long kMaxDropLongs = 16384;  // 64 KiB of uri-list
constexpr int kXdndVersion = 5;

enum AtomName {
  kWmProtocols, kWmDeleteWindow, kNetWmName, kUtf8String, kNetActiveWindow, kNetSupported,
  kNetWmPid, kXdndAware, kXdndEnter, kXdndPosition, kXdndStatus, kXdndLeave, kXdndDrop,
  kXdndFinished, kXdndSelection, kXdndTypeList, kXdndActionCopy, kUriList, kDropProperty,
  kAtomCount
};

const char* const kAtomNames[kAtomCount] = {
    "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING", "_NET_ACTIVE_WINDOW",
    "_NET_SUPPORTED", "_NET_WM_PID", "XdndAware", "XdndEnter", "XdndPosition", "XdndStatus",
    "XdndLeave", "XdndDrop", "XdndFinished", "XdndSelection", "XdndTypeList", "XdndActionCopy",
    "text/uri-list", "WAYCONV_DROP"};

Atom g_atoms[kAtomCount];

bool g_closed = false;  // the window manager's close button
bool g_gone = false;    // the connection failed

EventRing<WinEvent> g_events;

int g_grid_columns = 0;  // the grid last reported
int g_grid_rows = 0;

ClickHistory g_clicks;  // for double clicks

// A drag over the window.
Window g_drag_source = 0;
bool g_drag_has_uris = false;
bool g_accept_drops = false;
std::vector<std::string> g_dropped;

std::chrono::steady_clock::time_point g_flash_next;

// Requests on a window destroyed from outside fail; that is no reason to end.
int IgnoreError(Display* /*display*/, XErrorEvent* /*error*/) {
  return 0;
}

void Push(const WinEvent& event) {
  g_events.Push(event);
}

WinEvent Simple(int kind) {
  WinEvent event = {};
  event.kind = kind;
  return event;
}

void Repaint() {
  if (TheCanvas().columns > 0) PaintCanvas();
}

void SendClient(Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent message;
  std::memset(&message, 0, sizeof message);
  message.xclient.type = ClientMessage;
  message.xclient.display = Xd().display;
  message.xclient.window = to;
  message.xclient.message_type = type;
  message.xclient.format = 32;
  message.xclient.data.l[0] = l0;
  message.xclient.data.l[1] = l1;
  message.xclient.data.l[2] = l2;
  message.xclient.data.l[3] = l3;
  message.xclient.data.l[4] = l4;
  XSendEvent(Xd().display, to, False, NoEventMask, &message);
}

// The cell a click on a button stands for, as the platform hit-tests it.
void ButtonCell(int button, int* column, int* row) {
  const Canvas& canvas = TheCanvas();
  if (button == kOkButton) {
    *column = canvas.columns - 1;
    *row = 0;
  } else {
    *column = button == kLeftKey ? canvas.left_start : canvas.right_start;
    *row = canvas.rows - 1;
  }
}

void PointerCell(int x, int y, int* column, int* row) {
  X11Display& d = Xd();
  int columns = TheCanvas().columns > 0 ? TheCanvas().columns : 1;
  int rows = TheCanvas().rows > 0 ? TheCanvas().rows : 3;
  CellAt(d.metrics, d.width, d.height, columns, rows, x, y, column, row);
}

void TakeKey(XKeyEvent* key) {
  char text[32];
  KeySym keysym = NoSymbol;
  XLookupString(key, text, sizeof text, &keysym, nullptr);
  WinEvent event = Simple(kWinKey);
  bool mapped = KeysymToInput(keysym, key->state, &event.key);
  if (!mapped) event.key = InputEvent{0, 0, 0, 0, 0, 0};
  if ((key->state & (kXControl | kXAlt)) == 0) event.character = KeysymToCharacter(keysym);
  if (mapped || event.character != 0) Push(event);
}

void TakeRelease(XButtonEvent* button) {
  X11Display& d = Xd();
  int held = d.pressed;
  d.pressed = kNoKey;
  WinEvent event = Simple(kWinClick);
  if (held != kNoKey) {
    Repaint();
    if (ButtonAt(button->x, button->y) != held) return;  // let go elsewhere: no tap
    ButtonCell(held, &event.column, &event.row);
  } else {
    PointerCell(button->x, button->y, &event.column, &event.row);
  }
  // The server's time of the release, in milliseconds.
  bool again = TakeClick(&g_clicks, event.column, event.row, static_cast<long long>(button->time));
  event.clicks = again ? 2 : 1;
  Push(event);
}

void TakeButton(XButtonEvent* button) {
  X11Display& d = Xd();
  if (button->button == Button1) {
    d.pressed = ButtonAt(button->x, button->y);
    if (d.pressed != kNoKey) Repaint();
  } else if (button->button == Button4 || button->button == Button5) {
    WinEvent event = Simple(kWinWheel);
    PointerCell(button->x, button->y, &event.column, &event.row);
    event.wheel = button->button == Button4 ? -1 : 1;
    Push(event);
  }
}

void TakeConfigure(XConfigureEvent* configure) {
  X11Display& d = Xd();
  if (configure->width == d.width && configure->height == d.height) return;
  d.width = configure->width;
  d.height = configure->height;
  int columns, rows;
  WindowGrid(&columns, &rows);
  if (columns != g_grid_columns || rows != g_grid_rows) {
    g_grid_columns = columns;
    g_grid_rows = rows;
    Push(Simple(kWinResize));
  } else {
    Repaint();
  }
}

// ---- Drag and drop, as a drop target.

void TakeDragEnter(const XClientMessageEvent& message) {
  X11Display& d = Xd();
  g_drag_source = static_cast<Window>(message.data.l[0]);
  g_drag_has_uris = false;
  if (message.data.l[1] & 1) {
    // More than three types: the source lists them in a property.
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d.display, g_drag_source, g_atoms[kXdndTypeList], 0, 1024, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
      const Atom* types = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count && format == 32; ++i) {
        if (types[i] == g_atoms[kUriList]) g_drag_has_uris = true;
      }
    }
    if (data != nullptr) XFree(data);
  } else {
    for (int i = 2; i <= 4; ++i) {
      if (static_cast<Atom>(message.data.l[i]) == g_atoms[kUriList]) g_drag_has_uris = true;
    }
  }
}

void FinishDrop(bool accepted) {
  if (g_drag_source == 0) return;
  SendClient(g_drag_source, g_atoms[kXdndFinished], static_cast<long>(Xd().window),
             accepted ? 1 : 0, accepted ? static_cast<long>(g_atoms[kXdndActionCopy]) : 0, 0, 0);
  g_drag_source = 0;
  g_drag_has_uris = false;
}

void TakeDragMessage(const XClientMessageEvent& message) {
  X11Display& d = Xd();
  Atom type = message.message_type;
  bool welcome = g_accept_drops && g_drag_has_uris;
  if (type == g_atoms[kXdndEnter]) {
    TakeDragEnter(message);
  } else if (type == g_atoms[kXdndPosition]) {
    if (static_cast<Window>(message.data.l[0]) != g_drag_source) return;
    SendClient(g_drag_source, g_atoms[kXdndStatus], static_cast<long>(d.window),
               welcome ? 1 : 0, 0, 0, welcome ? static_cast<long>(g_atoms[kXdndActionCopy]) : 0);
  } else if (type == g_atoms[kXdndLeave]) {
    g_drag_source = 0;
    g_drag_has_uris = false;
  } else if (type == g_atoms[kXdndDrop]) {
    if (static_cast<Window>(message.data.l[0]) != g_drag_source) return;
    if (!welcome) {
      FinishDrop(false);
      return;
    }
    XConvertSelection(d.display, g_atoms[kXdndSelection], g_atoms[kUriList],
                      g_atoms[kDropProperty], d.window, static_cast<Time>(message.data.l[2]));
  }
}

void TakeDropData(const XSelectionEvent& selection) {
  X11Display& d = Xd();
  if (selection.selection != g_atoms[kXdndSelection]) return;
  std::vector<std::string> paths;
  if (selection.property != None) {
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d.display, d.window, selection.property, 0, kMaxDropLongs, True,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && format == 8) {
      char host[256] = {};
      if (gethostname(host, sizeof host - 1) != 0) host[0] = 0;
      paths = FilesOfUriList(std::string_view(reinterpret_cast<char*>(data), count), host);
    }
    if (data != nullptr) XFree(data);
  }
  bool taken = !paths.empty() && g_accept_drops;
  FinishDrop(taken);
  if (taken) {
    g_dropped = std::move(paths);
    Push(Simple(kWinDrop));
  }
}

void TakeEvent(XEvent* event) {
  X11Display& d = Xd();
  switch (event->type) {
    case Expose:
      if (event->xexpose.count == 0) Repaint();
      break;
    case ConfigureNotify:
      TakeConfigure(&event->xconfigure);
      break;
    case KeyPress:
      TakeKey(&event->xkey);
      break;
    case ButtonPress:
      TakeButton(&event->xbutton);
      break;
    case ButtonRelease:
      if (event->xbutton.button == Button1) TakeRelease(&event->xbutton);
      break;
    case MotionNotify:
    case LeaveNotify: {
      int hover = event->type == LeaveNotify ? kNoKey : ButtonAt(event->xmotion.x, event->xmotion.y);
      if (hover != d.hover) {
        d.hover = hover;
        Repaint();
      }
      break;
    }
    case FocusIn: {
      XWMHints* hints = XGetWMHints(d.display, d.window);
      if (hints != nullptr && (hints->flags & XUrgencyHint)) {
        hints->flags &= ~XUrgencyHint;
        XSetWMHints(d.display, d.window, hints);
      }
      if (hints != nullptr) XFree(hints);
      break;
    }
    case DestroyNotify:
      // Destroyed from outside (a tool, the manager killing it): closed.
      if (event->xdestroywindow.window == d.window) g_closed = true;
      break;
    case MappingNotify:
      XRefreshKeyboardMapping(&event->xmapping);
      break;
    case ClientMessage:
      if (event->xclient.message_type == g_atoms[kWmProtocols] &&
          static_cast<Atom>(event->xclient.data.l[0]) == g_atoms[kWmDeleteWindow]) {
        g_closed = true;
      } else {
        TakeDragMessage(event->xclient);
      }
      break;
    case SelectionNotify:
      TakeDropData(event->xselection);
      break;
    default:
      break;
  }
}

void StepFlash() {
  X11Display& d = Xd();
  if (d.flash_phase <= 0) return;
  if (std::chrono::steady_clock::now() < g_flash_next) return;
  --d.flash_phase;
  g_flash_next = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFlashStepMs);
  Repaint();
}

int FlashTimeout() {
  if (Xd().flash_phase <= 0) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      g_flash_next - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool ManagerCanActivate() {
  X11Display& d = Xd();
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(d.display, DefaultRootWindow(d.display), g_atoms[kNetSupported], 0, 4096,
                         False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) found = found || atoms[i] == g_atoms[kNetActiveWindow];
  }
  if (data != nullptr) XFree(data);
  return found;
}

void WriteFrameFile() {
  const char* path = std::getenv("WAYCONV_X11_FRAME_FILE");
  if (path == nullptr || path[0] == 0) return;
  const X11Display& d = Xd();
  const Canvas& canvas = TheCanvas();
  const WindowMetrics& m = d.metrics;
  char header[256];
  std::snprintf(header, sizeof header,
                "window=0x%lx size=%dx%d grid=%dx%d cell=%dx%d margin=%d title=%d body=%d "
                "bar=%d forward=%d\n",
                static_cast<unsigned long>(d.window), d.width, d.height, canvas.columns,
                canvas.rows, m.cell_width, m.cell_height, m.margin, m.title_height, m.body_top,
                m.bar_height, d.forward_count);
  std::string text = header + CanvasText();
  // Written beside and renamed, so that a reader never sees half a frame.
  std::string temporary = std::string(path) + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fclose(file) == 0 && ok;
  if (ok) std::rename(temporary.c_str(), path);
}

}  // namespace

int OpenDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || name[0] == 0) return kNoDisplay;
  X11Display& d = Xd();
  d = X11Display();
  d.display = XOpenDisplay(nullptr);
  if (d.display == nullptr) return kNoDisplay;
  d.screen = DefaultScreen(d.display);
  XSetErrorHandler(IgnoreError);
  d.dpi = DpiFromResources(XResourceManagerString(d.display));
  if (!OpenFonts() || !OpenClosePlumbing(nullptr)) {
    CloseFonts();
    XCloseDisplay(d.display);
    d.display = nullptr;
    return kNoDisplay;
  }
  fcntl(ConnectionNumber(d.display), F_SETFD, FD_CLOEXEC);
  XInternAtoms(d.display, const_cast<char**>(kAtomNames), kAtomCount, False, g_atoms);
  DefaultWindowSize(d.dpi, &d.width, &d.height);
  // A wide font (WAYCONV_FONT) may need more than the default to hold the
  // smallest screen.
  int min_width = 0, min_height = 0;
  MinimumWindowSize(d.metrics, kMinScreenColumns, kMinScreenRows, &min_width, &min_height);
  if (d.width < min_width) d.width = min_width;
  if (d.height < min_height) d.height = min_height;
  WindowGrid(&g_grid_columns, &g_grid_rows);
  g_closed = false;
  g_gone = false;
  g_events.Clear();
  g_clicks = ClickHistory();
  g_accept_drops = false;
  g_dropped.clear();
  g_drag_source = 0;
  return 0;
}

void CloseDisplay() {
  X11Display& d = Xd();
  if (d.display == nullptr) return;
  CloseClosePlumbing();
  CloseFonts();
  if (d.window != 0) XDestroyWindow(d.display, d.window);
  XCloseDisplay(d.display);
  d.display = nullptr;
  d.window = 0;
}

bool EnsureWindow() {
  X11Display& d = Xd();
  if (d.display == nullptr) return false;
  if (d.window != 0) return true;
  Window root = RootWindow(d.display, d.screen);
  d.window = XCreateSimpleWindow(d.display, root, 0, 0, static_cast<unsigned>(d.width),
                                 static_cast<unsigned>(d.height), 0, 0,
                                 WhitePixel(d.display, d.screen));
  // The title, as an old and a new window manager read it.
  const char kTitle[] = "Wayconv";
  XStoreName(d.display, d.window, kTitle);
  XChangeProperty(d.display, d.window, g_atoms[kNetWmName], g_atoms[kUtf8String], 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(kTitle),
                  sizeof kTitle - 1);
  XClassHint class_hint;
  char res_name[] = "wayconv";
  char res_class[] = "Wayconv";
  class_hint.res_name = res_name;
  class_hint.res_class = res_class;
  XSetClassHint(d.display, d.window, &class_hint);
  // A window manager keeps the window at least as big as the smallest
  // screen the program lays out; below it only a notice would show.
  XSizeHints* size = XAllocSizeHints();
  if (size != nullptr) {
    size->flags = PMinSize;
    MinimumWindowSize(d.metrics, kMinScreenColumns, kMinScreenRows, &size->min_width,
                      &size->min_height);
    XSetWMNormalHints(d.display, d.window, size);
    XFree(size);
  }
  XWMHints* hints = XAllocWMHints();
  if (hints != nullptr) {
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XSetWMHints(d.display, d.window, hints);
    XFree(hints);
  }
  Atom protocols[] = {g_atoms[kWmDeleteWindow]};
  XSetWMProtocols(d.display, d.window, protocols, 1);
  long pid = static_cast<long>(getpid());
  XChangeProperty(d.display, d.window, g_atoms[kNetWmPid], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  long version = kXdndVersion;
  XChangeProperty(d.display, d.window, g_atoms[kXdndAware], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&version), 1);
  XSelectInput(d.display, d.window,
               ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                   PointerMotionMask | LeaveWindowMask | StructureNotifyMask | FocusChangeMask);
  XMapWindow(d.display, d.window);
  XFlush(d.display);
  d.mapped = true;
  return true;
}

void WindowGrid(int* columns, int* rows) {
  const X11Display& d = Xd();
  GridFor(d.metrics, d.width, d.height, columns, rows);
}

void ShowCanvas() {
  if (!EnsureWindow()) return;
  PaintCanvas();
  WriteFrameFile();
}

void WaitWindowEvent(WinEvent* event, int watch_fd) {
  X11Display& d = Xd();
  EnsureWindow();
  for (;;) {
    if (g_events.Pop(event)) return;
    if (CloseSignalTaken() != 0 || g_closed) {
      *event = Simple(kWinClose);
      return;
    }
    if (g_gone || d.display == nullptr) {
      *event = Simple(kWinEnd);
      return;
    }
    while (XPending(d.display) > 0) {
      XEvent taken;
      XNextEvent(d.display, &taken);
      TakeEvent(&taken);
    }
    if (g_events.count > 0 || g_closed) continue;
    // XPending has flushed the requests. Any other call into Xlib now (even
    // XFlush) may read events into its queue, where poll() cannot see them.
    if (XQLength(d.display) > 0) continue;
    pollfd watch[3] = {{ConnectionNumber(d.display), POLLIN, 0},
                       {WakeFd(), POLLIN, 0},
                       {watch_fd, POLLIN, 0}};
    int ready = poll(watch, watch_fd >= 0 ? 3 : 2, FlashTimeout());
    if (ready < 0) {
      if (errno != EINTR) g_gone = true;
      continue;
    }
    StepFlash();
    if (watch[1].revents != 0) DrainWake();
    if (watch[0].revents & (POLLHUP | POLLERR | POLLNVAL)) g_gone = true;
    if (watch_fd >= 0 && (watch[2].revents & POLLIN)) {
      *event = Simple(kWinWatch);
      return;
    }
  }
}

void AcceptDrops(bool accept) {
  g_accept_drops = accept;
}

std::vector<std::string> TakeDroppedPaths() {
  std::vector<std::string> paths = std::move(g_dropped);
  g_dropped.clear();
  return paths;
}

void BringWindowForward() {
  X11Display& d = Xd();
  if (!EnsureWindow()) return;
  ++d.forward_count;
  if (ManagerCanActivate()) {
    // Source 2: asked for on the user's behalf, as a pager does, so that the
    // manager does not treat it as focus stealing.
    XEvent message;
    std::memset(&message, 0, sizeof message);
    message.xclient.type = ClientMessage;
    message.xclient.window = d.window;
    message.xclient.message_type = g_atoms[kNetActiveWindow];
    message.xclient.format = 32;
    message.xclient.data.l[0] = 2;
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(d.display, DefaultRootWindow(d.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
  } else {
    XMapRaised(d.display, d.window);
    XSetInputFocus(d.display, d.window, RevertToParent, CurrentTime);
    XWMHints* hints = XGetWMHints(d.display, d.window);
    if (hints != nullptr) {
      hints->flags |= XUrgencyHint;
      XSetWMHints(d.display, d.window, hints);
      XFree(hints);
    }
    d.flash_phase = kFlashPhases;
    g_flash_next = std::chrono::steady_clock::now();
    StepFlash();
  }
  XFlush(d.display);
  WriteFrameFile();
}

int WindowCloseSignal() {
  return CloseSignalTaken();
}
