// What the desktop window's end-to-end test sends a window that no Debian
// tool sends without a window manager or a person dragging:
//
//   x11_send drop WINDOW PATH...  drops the PATHs on the window through the
//       XDND protocol, as a file manager does: XdndEnter (text/uri-list),
//       XdndPosition at the window's middle, on XdndStatus XdndDrop; serves the
//       selection as "file://PATH\r\n" for each and waits for XdndFinished.
//       Exit 0 when the window took the drop, 1 when it refused, 2 on a
//       protocol error or after 5 s without an answer.
//   x11_send close WINDOW       asks the window to close as the window
//       manager's close button does (WM_PROTOCOLS, WM_DELETE_WINDOW).
//   x11_send resources TEXT     sets the display's resource string (as xrdb
//       does), e.g. "Xft.dpi:\t192\n"; an empty TEXT removes it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

Display* g_display = nullptr;
Window g_source = 0;
Window g_target = 0;

Atom A(const char* name) {
  return XInternAtom(g_display, name, False);
}

void SendMessage(const char* type, long l0, long l1, long l2, long l3, long l4) {
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = g_target;
  event.xclient.message_type = A(type);
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(g_display, g_target, False, NoEventMask, &event);
  XFlush(g_display);
}

void Send(const char* type, long l1, long l2, long l3, long l4) {
  SendMessage(type, static_cast<long>(g_source), l1, l2, l3, l4);
}

// The next event within what is left of 5 s; false on time-out.
bool Next(XEvent* event, int* left_ms) {
  while (XPending(g_display) == 0) {
    if (*left_ms <= 0) return false;
    pollfd watch = {ConnectionNumber(g_display), POLLIN, 0};
    poll(&watch, 1, 50);
    *left_ms -= 50;
  }
  XNextEvent(g_display, event);
  return true;
}

std::string Escaped(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        std::strchr("/-._~", c) != nullptr) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool drop = argc >= 4 && std::strcmp(argv[1], "drop") == 0;
  bool close = argc == 3 && std::strcmp(argv[1], "close") == 0;
  bool resources = argc == 3 && std::strcmp(argv[1], "resources") == 0;
  if (!drop && !close && !resources) {
    std::fputs("usage: x11_send drop WINDOW PATH... | close WINDOW | resources TEXT\n", stderr);
    return 2;
  }
  g_display = XOpenDisplay(nullptr);
  if (g_display == nullptr) return 2;
  if (resources) {
    Window root = DefaultRootWindow(g_display);
    if (argv[2][0] == 0) {
      XDeleteProperty(g_display, root, XA_RESOURCE_MANAGER);
    } else {
      XChangeProperty(g_display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(argv[2]),
                      static_cast<int>(std::strlen(argv[2])));
    }
    XCloseDisplay(g_display);
    return 0;
  }
  g_target = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
  if (close) {
    SendMessage("WM_PROTOCOLS", static_cast<long>(A("WM_DELETE_WINDOW")), CurrentTime, 0, 0, 0);
    XCloseDisplay(g_display);
    return 0;
  }
  std::string list;
  for (int i = 3; i < argc; ++i) list += "file://" + Escaped(argv[i]) + "\r\n";
  g_source = XCreateSimpleWindow(g_display, DefaultRootWindow(g_display), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(g_display, A("XdndSelection"), g_source, CurrentTime);

  XWindowAttributes attributes;
  if (!XGetWindowAttributes(g_display, g_target, &attributes)) return 2;
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(g_display, g_target, DefaultRootWindow(g_display), attributes.width / 2,
                        attributes.height / 2, &x, &y, &child);

  Atom uri_list = A("text/uri-list");
  Send("XdndEnter", 5L << 24, static_cast<long>(uri_list), 0, 0);
  Send("XdndPosition", 0, (static_cast<long>(x) << 16) | y, CurrentTime,
       static_cast<long>(A("XdndActionCopy")));
  int left_ms = 5000;
  bool dropped = false;
  XEvent event;
  while (Next(&event, &left_ms)) {
    if (event.type == ClientMessage && event.xclient.message_type == A("XdndStatus")) {
      if (!(event.xclient.data.l[1] & 1)) {
        Send("XdndLeave", 0, 0, 0, 0);
        std::fputs("x11_send: the window refused the drop\n", stderr);
        return 1;
      }
      if (!dropped) Send("XdndDrop", 0, CurrentTime, 0, 0);
      dropped = true;
    } else if (event.type == SelectionRequest) {
      XSelectionRequestEvent& request = event.xselectionrequest;
      XEvent reply;
      std::memset(&reply, 0, sizeof reply);
      reply.xselection.type = SelectionNotify;
      reply.xselection.requestor = request.requestor;
      reply.xselection.selection = request.selection;
      reply.xselection.target = request.target;
      reply.xselection.time = request.time;
      reply.xselection.property = None;
      if (request.target == uri_list) {
        XChangeProperty(g_display, request.requestor, request.property, uri_list, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(list.data()),
                        static_cast<int>(list.size()));
        reply.xselection.property = request.property;
      }
      XSendEvent(g_display, request.requestor, False, NoEventMask, &reply);
      XFlush(g_display);
    } else if (event.type == ClientMessage &&
               event.xclient.message_type == A("XdndFinished")) {
      return (event.xclient.data.l[1] & 1) ? 0 : 1;
    }
  }
  std::fputs("x11_send: no answer from the window\n", stderr);
  return 2;
}
