// The headless backend: the user is a script, and the screen is text.
//
// A test fills the script before it runs the program. Each blocking call of
// the window layer takes the next steps: a key or a soft-key tap for the
// message loop, a menu choice for an open popup, an answer for a dialog.
// Capture and Call steps run wherever they stand, so that a test can look at
// the screen while a popup or dialog is open. A step that does not fit the
// waiting call is left for later: a popup is then dismissed, a dialog
// cancelled. When the script is used up the system closes the windows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/backend.h"

const PlatformBackend* HeadlessBackend();

/// Empties the script, the snapshots and the counters; sets the screen size.
void HeadlessReset(int columns = 60, int rows = 24);

void HeadlessKey(int virtual_key, int modifiers = 0);
void HeadlessSoftKey(int index);  // 0 the left soft key, 1 the right
void HeadlessClick(int column, int row);
void HeadlessChooseMenuItem(UINT id);  // 0 dismisses the popup
void HeadlessOpenFile(const std::string& path, int filter_index);
void HeadlessCancelFile();
void HeadlessDialogOk();
void HeadlessDialogClose();
void HeadlessResize(int columns, int rows);
void HeadlessClose();    // the system closes the windows
void HeadlessCapture();  // adds the screen text to the snapshots
void HeadlessCall(std::function<void()> call);
/// Answers other copies until one has brought this program forward since the
/// last such wait; a script error when none does within the time.
void HeadlessWaitForPeer(int timeout_ms);

/// The screen now, one line per row, trailing blanks cut, rows ended by "\n".
/// An open popup is drawn above the right soft key; an open dialog fills the
/// screen.
std::string HeadlessScreenText();

/// The rows of the main window's client area only, trailing empty rows cut.
std::string HeadlessClientText();

const std::vector<std::string>& HeadlessSnapshots();

/// Times another copy brought this program forward.
int HeadlessForegroundCount();

/// Steps that stood where they made no sense, described; empty when the
/// script ran as written.
const std::vector<std::string>& HeadlessScriptErrors();

/// Steps not yet used.
int HeadlessPendingSteps();
