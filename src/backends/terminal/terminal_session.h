// The terminal under the terminal backend: taking it over and always giving
// it back (on exit, on SIGINT, SIGTERM and SIGHUP, and on a crash), and
// waiting for what the user or the system does next.
#pragma once

/// Checks that standard output is a terminal the program can drive, sets the
/// locale for wide characters and installs the signal handlers. The screen
/// itself is taken on first use (EnsureScreen), so a copy that only brings
/// another forward never touches it. 0 on success.
int OpenTerminal();

/// Gives the screen back and puts the signal handlers back as they were.
void CloseTerminal();

/// Takes the screen if that has not happened yet; false when it cannot be.
bool EnsureScreen();

/// The signal (SIGINT, SIGTERM or SIGHUP) that asked the program to close,
/// or 0.
int CloseSignal();

/// What WaitTermEvent reports.
constexpr int kTermChar = 1;    // code: a character (control characters included)
constexpr int kTermKey = 2;     // code: a curses key code (KEY_F(1), KEY_UP, ...)
constexpr int kTermClick = 3;   // column, row: the left button went up there
constexpr int kTermResize = 4;  // the terminal changed size (curses knows already)
constexpr int kTermClose = 5;   // a signal asked the program to close; reported until it ends
constexpr int kTermEnd = 6;     // no input will come again
constexpr int kTermWatch = 7;   // the descriptor given to WaitTermEvent is readable

struct TermEvent {
  int kind;
  int code;
  int column;
  int row;
};

/// Blocks in poll() on the keyboard, the signals and `watch_fd` (when >= 0)
/// until there is something to report.
void WaitTermEvent(TermEvent* event, int watch_fd);

/// Enter, Esc and Backspace, however the terminal sends them.
bool IsEnter(const TermEvent& event);
bool IsEscape(const TermEvent& event);
bool IsBackspace(const TermEvent& event);
