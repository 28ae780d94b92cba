// Starting the interactive program: one copy per user, the main window, the
// message loop.
#pragma once

#include "platform/backend.h"
#include "platform/windows.h"

/// Characters of the buffers the title and class name are loaded into.
constexpr int kNameBufferSize = 100;

/// The start-up procedure. Returns the message loop's exit code, or 0 when
/// start-up stops: another copy runs (it is brought forward instead and
/// RunningCopyProcess names it), or the class or window cannot be made.
int WayconvMain(HINSTANCE instance, int show);

/// Exit code when the backend cannot take the screen.
constexpr int kExitNoScreen = 1;

/// The whole interactive program on `backend`, with `command_line` (the
/// arguments after the host's own options, joined by blanks) as the text
/// GetCommandLineW hands over. Returns the exit code.
int RunInteractive(const PlatformBackend* backend, const char16_t* command_line);
