// How the window reads on the desktop (src/win32/desktop_look.cpp): the
// system's message font at the window's DPI, a margin around the log, the
// dialogs' font, and the file dialogs' types as Windows names them.
#pragma once

#include <windows.h>

#include <string>

/// The DPI of the monitor the window is on (per-monitor aware), or the
/// screen's where Windows cannot say.
UINT WindowDpi(HWND window);

/// A length of `pixels_at_96` at 96 DPI, at `dpi`.
int ScaleForDpi(int pixels_at_96, UINT dpi);

/// The system's message font (SPI_GETNONCLIENTMETRICS' lfMessageFont) at
/// `dpi`, with ClearType quality; kept until the DPI changes or
/// ForgetMessageFont. The stock GUI font where none can be made.
HFONT MessageFont(UINT dpi);

/// Lets the message font go: the next MessageFont makes it again (after the
/// system's metrics changed).
void ForgetMessageFont();

/// The message font as a dialog template names it: face and points. False
/// where the system does not say.
bool DialogFont(std::u16string* face, WORD* points);

/// The file dialog's types from the handheld's filter list (pairs of kind and
/// pattern, ended by an empty kind): "GPX files (*.gpx)" for "gpx", "Track
/// files (*.bin)" for "bin", then "All files (*.*)". The result holds its
/// pairs' terminating zeros and the list's final one.
std::u16string DesktopFilters(const char16_t* filters);

/// The handheld's filter index for the type chosen in the desktop dialog: a
/// type of the list is its own index; "All files" (past the list) gives the
/// kind whose pattern matches `file`'s extension, or `before` if none does.
DWORD HandheldFilterIndex(const char16_t* filters, DWORD chosen, const std::u16string& file,
                          DWORD before);
