// The program's front end: the options (main.cpp, the same everywhere) and
// what each host provides around them (front_end_posix.cpp,
// front_end_win32.cpp): the entry point, whether standard output is a
// terminal, and the window.
#pragma once

#include <string>

/// Takes the options of argv[1..argc-1] (UTF-8) and runs the batch front end,
/// the track-file tools or the window. Returns the exit status.
int RunCommandLine(int argc, char** argv);

/// Whether standard output is a terminal (a console on Windows), where the
/// window is shown instead of a batch run.
bool OutputIsTerminal();

/// The interactive program with the `count` paths of `inputs` (or nothing)
/// as its command line; with `desktop`, in a desktop window (--window).
/// Returns the exit status.
int RunWindow(const char* const* inputs, int count, bool desktop);

/// The command line that hands the window `count` input paths (UTF-8): one
/// path as it is, several each in double quotes, joined by single blanks.
std::u16string InputCommandLine(const char* const* paths, int count);
