// The program's command line as the handheld hands it over: the arguments as
// one wide string, without the program's own path.
#pragma once

#include <string>

#include "platform/win_types.h"

/// The text SetCommandLine stored; an empty string before that.
LPWSTR GetCommandLineW();

/// Stores the command-line text (main sets it after taking its own options).
void SetCommandLine(const char16_t* text);

/// The arguments decoded from UTF-8 and joined by single blanks.
std::u16string JoinArguments(const char* const* args, int count);
