// The curses header as the terminal backend's files use it: the wide-character
// interface, and no function-like macros (curses would otherwise turn every
// `erase(` and `move(` of the standard library into its own calls). Include
// it after the platform headers: it defines TRUE, FALSE, OK and ERR as macros.
#pragma once

#define NCURSES_WIDECHAR 1
#define NCURSES_NOMACROS 1
#include <curses.h>
