// The main window: its procedure, its commands and the log's repaint.
#pragma once

#include "platform/windows.h"

/// Characters of the file dialogs' buffers, terminator included.
constexpr DWORD kDialogPathSize = 2038;

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

/// WM_COMMAND of the main window, by the low word of `wparam`.
LRESULT MainWindowCommand(HWND window, WPARAM wparam, LPARAM lparam);

/// The input dialog's "All files" filter: its index, the last one.
int AllFilesFilter();

/// Redraws the main window at once; the MessageLog's repaint hook.
void RepaintMainWindow();
