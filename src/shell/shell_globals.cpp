#include "shell/shell_globals.h"

char16_t PathScratch[kPathScratchSize];
int StartedFromCommandLine = 0;
std::vector<std::u16string> StartInputs;
HINSTANCE InstanceHandle = nullptr;
HWND MainWindow = nullptr;
HWND MenuBar = nullptr;
SHACTIVATEINFO ActivateInfo = {};
DWORD RunningCopyProcess = 0;

void ResetShellGlobalsForTest() {
  PathScratch[0] = 0;
  StartedFromCommandLine = 0;
  StartInputs.clear();
  InstanceHandle = nullptr;
  MainWindow = nullptr;
  MenuBar = nullptr;
  ActivateInfo = SHACTIVATEINFO{};
  RunningCopyProcess = 0;
}
