// The headless backend: the user is a script, and the screen is text.
//
// A test fills the script before it runs the program. The steps are what a
// user does: keys, clicks, the wheel, a dropped file; they reach the
// platform's own popup, dialogs and file dialogs as any backend's input
// does. The answers (a menu choice, a dialog's OK, a path for a file dialog)
// are shorthands that become that input, from what the last frame showed: a
// click on the item, Enter or Esc, the path typed into the name line with the
// type switched by Tab. An answer given while nothing it fits is on show is
// a script error.
// Capture and Call steps run wherever they stand, so that a test can look at
// the screen while a popup or dialog is open. When the script is used up the
// system closes the windows.
//
// It is the reference for a new backend: it draws nothing, but takes the
// frames it is given and turns its script into input events.
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
void HeadlessDoubleClick(int column, int row);
void HeadlessWheel(int column, int row, int direction);  // kWheelUp or kWheelDown
/// Characters typed (key 0 with the character), as a dialog's name line takes them.
void HeadlessType(const std::string& text);
void HeadlessChooseMenuItem(UINT id);  // 0 dismisses the popup
void HeadlessOpenFile(const std::string& path, int filter_index);
void HeadlessCancelFile();
void HeadlessDialogOk();
void HeadlessDialogClose();
void HeadlessDrop(const std::string& path);  // a file dropped on the window
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
