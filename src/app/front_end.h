// The program's front end: the options (main.cpp, the same everywhere) and
// what each host provides around them (front_end_posix.cpp,
// front_end_win32.cpp): the entry point, whether standard output is a
// terminal, and the window.
#pragma once

/// Takes the options of argv[1..argc-1] (UTF-8) and runs the batch front end,
/// the track-file tools or the window. Returns the exit status.
int RunCommandLine(int argc, char** argv);

/// Whether standard output is a terminal (a console on Windows), where the
/// window is shown instead of a batch run.
bool OutputIsTerminal();

/// The interactive program with `input` (or nothing) as its command line;
/// with `desktop`, in a desktop window (--window). Returns the exit status.
int RunWindow(const char* input, bool desktop);
