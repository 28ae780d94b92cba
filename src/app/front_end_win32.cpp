// The program's entry on Windows: wide arguments to UTF-8 for the shared
// option parser, standard output in binary (the same bytes as on other hosts,
// "\n" not turned into "\r\n") and UTF-8 on a console, and the window on the
// real Win32 API.
//
// The window is the default when standard output is a console or missing:
// started from Explorer (then the console made for this program alone is
// closed) or from a console window. Output redirected to a file, a pipe or
// NUL, or --batch, makes a batch run, as on other hosts.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/front_end.h"
#include "common/message_log.h"
#include "host/text.h"
#include "shell/main_window.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

namespace {

UINT g_console_code_page = 0;  // the console's output code page before ours, 0 if none

void RestoreConsole() {
  if (g_console_code_page != 0) SetConsoleOutputCP(g_console_code_page);
}

// Whether this program is the only one on its console: Explorer (or a
// shortcut) made the console for it, and nobody reads it.
bool OwnsConsoleAlone() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace

// A console, or no standard output at all (started from Explorer with the
// console let go, or with output closed): the window. A file, a pipe or NUL:
// a batch run.
bool OutputIsTerminal() {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return true;
  DWORD mode = 0;
  return GetConsoleMode(output, &mode) != 0;
}

// On Windows the window is always a desktop window, so --window changes nothing.
int RunWindow(const char* const* inputs, int count, bool /*desktop*/) {
  if (OwnsConsoleAlone()) FreeConsole();
  std::u16string command_line = InputCommandLine(inputs, count);
  SetCommandLine(command_line.c_str());
  SetLogRepaint(RepaintMainWindow);
  int code = WayconvMain(GetModuleHandleW(nullptr), SW_SHOWDEFAULT);
  SetLogRepaint(nullptr);
  if (RunningCopyProcess != 0) {
    PrintError("already running (process " + std::to_string(RunningCopyProcess) +
               "); brought it forward");
  }
  return code;
}

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (GetConsoleWindow() != nullptr) {
    g_console_code_page = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    std::wstring wide(argv[i]);
    arguments.push_back(Utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  int code = RunCommandLine(argc, pointers.data());
  RestoreConsole();
  return code;
}
