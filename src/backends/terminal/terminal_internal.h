// Shared by the terminal backend's files: drawing on the screen and the
// open-file dialog.
#pragma once

#include <string_view>

#include "platform/backend.h"
#include "backends/terminal/terminal_curses.h"

/// Draws the whole screen as it stands now, with the popup, dialog or
/// open-file dialog on show.
void TerminalPresent();

/// Draws `text` from row, column in at most `width` columns; returns the
/// columns used.
int TerminalDrawText(int row, int column, std::u16string_view text, int width, attr_t attributes);

/// Puts `attributes` on columns [start, end) of a row.
void TerminalMark(int row, int start, int end, attr_t attributes);

/// The backend's open_file: the full-screen dialog. 1 chosen, 0 cancelled.
int TerminalOpenFile(OpenFileView* view);

/// Draws the open-file dialog when it is on show; false when it is not.
bool DrawOpenFileDialog();
