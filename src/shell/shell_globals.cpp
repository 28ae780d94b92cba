#include "shell/shell_globals.h"

char16_t PathScratch[kPathScratchSize];
int StartedFromCommandLine = 0;
HINSTANCE InstanceHandle = nullptr;
HWND MainWindow = nullptr;
HWND MenuBar = nullptr;

void ResetShellGlobalsForTest() {
  PathScratch[0] = 0;
  StartedFromCommandLine = 0;
  InstanceHandle = nullptr;
  MainWindow = nullptr;
  MenuBar = nullptr;
}
