// The command-line start: a path given when the program starts is converted
// at once, from the message loop, once the window shows.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

/// Characters of the command line looked at; the rest is cut off.
constexpr int kCommandLineLimit = 2046;

/// Removes leading and trailing blanks (0x20 only) in place.
void TrimSpaces(char16_t* text);

/// Removes every double quote in place.
void StripQuotes(char16_t* text);

/// Whether `text` names several inputs: two or more paths, each in double
/// quotes, separated by blanks (blanks around them are allowed). Fills
/// `paths` with them, in order, when it does.
bool ParseInputList(const char16_t* text, std::vector<std::u16string>* paths);

/// WM_COPYDATA's dwData for a text of several inputs that a second copy
/// hands to the running one.
constexpr uintptr_t kCopyInputList = 0x57430001;

/// When `text` names several inputs (ParseInputList) that all fit
/// InputPath: sets StartInputs, InputPath and InputKind from the first, and
/// StartedFromCommandLine, and posts the convert command to `window`.
/// Returns 1 when it did, 0 otherwise (nothing changed then).
int ArmInputList(HWND window, const char16_t* text);

/// Reads the command line into PathScratch, cleans it, and when it names an
/// input file (5 characters or more that fit InputPath) sets InputPath,
/// InputKind and StartedFromCommandLine and posts the convert command to
/// `window`. Returns 1 when it did, 0 when there is no input file. A command
/// line of several quoted paths (ParseInputList) that all fit InputPath sets
/// StartInputs as well, and InputPath and InputKind from the first.
int ExamineCommandLine(HWND window);
