// The interactive program on a platform backend: the command line handed
// over, the backend started, the start-up procedure run, the backend stopped.
// The Windows build runs WayconvMain on the real API instead.
#include "common/message_log.h"
#include "resources/wayconv_resources.h"
#include "shell/main_window.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

int RunInteractive(const PlatformBackend* backend, const char16_t* command_line) {
  SetCommandLine(command_line);
  UsePlatformBackend(backend);
  if (backend->start() != 0) return kExitNoScreen;
  SetLogRepaint(RepaintMainWindow);
  int code = WayconvMain(WayconvInstance(), SW_SHOW);
  SetLogRepaint(nullptr);
  MainWindow = nullptr;
  MenuBar = nullptr;
  backend->stop();
  return code;
}
