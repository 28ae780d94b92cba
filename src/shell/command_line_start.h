// The command-line start: a path given when the program starts is converted
// at once, from the message loop, once the window shows.
#pragma once

#include "platform/win_types.h"

/// Characters of the command line looked at; the rest is cut off.
constexpr int kCommandLineLimit = 2046;

/// Removes leading and trailing blanks (0x20 only) in place.
void TrimSpaces(char16_t* text);

/// Removes every double quote in place.
void StripQuotes(char16_t* text);

/// Reads the command line into PathScratch, cleans it, and when it names an
/// input file (5 characters or more that fit InputPath) sets InputPath,
/// InputKind and StartedFromCommandLine and posts the convert command to
/// `window`. Returns 1 when it did, 0 when there is no input file.
int ExamineCommandLine(HWND window);
