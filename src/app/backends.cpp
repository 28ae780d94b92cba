#include "app/backends.h"

#include <cstring>

#include "backends/headless/headless_backend.h"
#include "backends/terminal/terminal_backend.h"

namespace {

// The headless backend is the tests' (its input is a script); no option
// picks it for a user.
const BackendRow kBackends[] = {
    {"terminal", TerminalBackend, TerminalCloseSignal},
    {"headless", HeadlessBackend, nullptr},
};

}  // namespace

const BackendRow* FindBackend(const char* name) {
  for (const BackendRow& row : kBackends) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}
