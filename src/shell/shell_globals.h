// Program-wide state of the application shell: the path scratch buffer that
// the settings store, the command-line start and the window commands share,
// the command-line flag, the window handles and the activation record.
#pragma once

#include <string>
#include <vector>

#include "platform/shell_api.h"
#include "platform/win_types.h"

constexpr int kPathScratchSize = 2048;  // characters, terminator included

extern char16_t PathScratch[kPathScratchSize];  // shared path buffer
extern int StartedFromCommandLine;   // the next convert command converts InputPath at once
extern std::vector<std::u16string> StartInputs;  // the command line's paths when it names
                                                 // several, converted together; else empty
extern HINSTANCE InstanceHandle;     // the program's instance
extern HWND MainWindow;              // the main window, null until created
extern HWND MenuBar;                 // the menu bar, null when it could not be made
extern SHACTIVATEINFO ActivateInfo;  // kept by the shell library's activation calls
extern DWORD RunningCopyProcess;     // the copy this start brought forward, else 0

/// Back to the values of a fresh start.
void ResetShellGlobalsForTest();
