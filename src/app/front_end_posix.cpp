// The program's entry on POSIX hosts and its window on the terminal backend.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/backends.h"
#include "app/batch.h"
#include "app/front_end.h"
#include "platform/registry.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

// The interactive program on the terminal, or with `desktop` in a window on
// the X display, with the paths of `inputs` (or nothing) as its command line.
int RunWindow(const char* const* inputs, int count, bool desktop) {
  // Several inputs may be handed to a copy running in another folder, so a
  // relative path among them is taken from the folder we run in.
  std::vector<std::string> paths(inputs, inputs + count);
  char folder[4096];
  if (count > 1 && getcwd(folder, sizeof folder) != nullptr) {
    for (std::string& path : paths) {
      if (path[0] != '/' && path[0] != '\\') path = std::string(folder) + "/" + path;
    }
  }
  std::vector<const char*> given;
  for (const std::string& path : paths) given.push_back(path.c_str());
  std::u16string command_line = InputCommandLine(given.data(), count);
  const BackendRow* row = FindBackend(desktop ? "x11" : "terminal");
  if (row == nullptr) {
    PrintError("built without the desktop window; use the terminal window or --batch");
    return kExitNoScreen;
  }
  int code = RunInteractive(row->backend(), command_line.c_str());
  if (code == kExitNoScreen) {
    const char* term = std::getenv("TERM");
    const char* display = std::getenv("DISPLAY");
    if (!desktop) {
      PrintError(std::string("this terminal cannot show the window (TERM=") +
                 (term != nullptr ? term : "") + "); use --batch");
    } else if (display == nullptr || display[0] == 0) {
      PrintError("no X display (DISPLAY is not set); use the terminal window or --batch");
    } else {
      PrintError(std::string("no X display (cannot open DISPLAY=") + display +
                 "); use the terminal window or --batch");
    }
    return code;
  }
  if (SettingsSaveError() != 0) {
    PrintError("settings not saved to " + RegistryFilePath() + ": " +
               std::strerror(SettingsSaveError()));
  }
  if (RunningCopyProcess != 0) {
    PrintError("already running (process " + std::to_string(RunningCopyProcess) +
               "); brought it forward");
    return 0;
  }
  // Closed by a signal: end the way that signal ends a program, so that a
  // calling shell sees it.
  int signal_number = row->close_signal != nullptr ? row->close_signal() : 0;
  if (signal_number != 0) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return 128 + signal_number;
  }
  return code;
}

int main(int argc, char** argv) {
  // A closed pipe or FIFO at the output shows as a write error, in the
  // window as in batch mode, instead of ending the program.
  std::signal(SIGPIPE, SIG_IGN);
  return RunCommandLine(argc, argv);
}
