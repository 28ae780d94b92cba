// The terminal backend: the program's screen in a text terminal, through
// curses with wide characters. F1 and F2 are the left and right soft keys,
// as on the device's emulator, and a mouse click taps what it is on.
#pragma once

#include "platform/backend.h"

const PlatformBackend* TerminalBackend();

/// The signal (SIGINT, SIGTERM or SIGHUP) that closed the program's windows
/// during its last run on the terminal, or 0. Such a close saves nothing.
int TerminalCloseSignal();
