// The X11 backend: the program's screen in a desktop window of its own, drawn
// with Xlib and Xft. F1 and F2 are the soft keys, as on the terminal; the
// mouse clicks and scrolls; a file dropped on the window is converted.
#pragma once

#include "platform/backend.h"

const PlatformBackend* X11Backend();

/// The signal (SIGINT, SIGTERM or SIGHUP) that closed the window during its
/// last run, or 0. Such a close saves nothing, as the close button.
int X11CloseSignal();
