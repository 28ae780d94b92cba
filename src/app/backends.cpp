#include "app/backends.h"

#include <cstring>

#include "backends/headless/headless_backend.h"
#include "backends/terminal/terminal_backend.h"
#if WAYCONV_HAVE_X11
#include "backends/x11/x11_backend.h"
#endif

namespace {

// The headless backend is the tests' (its input is a script); no option
// picks it for a user.
const BackendRow kBackends[] = {
    {"terminal", TerminalBackend, TerminalCloseSignal},
#if WAYCONV_HAVE_X11
    // Built only when the X11 and Xft headers were found.
    {"x11", X11Backend, X11CloseSignal},
#endif
    {"headless", HeadlessBackend, nullptr},
};

}  // namespace

const BackendRow* FindBackend(const char* name) {
  for (const BackendRow& row : kBackends) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}
