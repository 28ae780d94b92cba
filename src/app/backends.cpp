#include "app/backends.h"

#include <cstring>

#include "backends/terminal/terminal_backend.h"

namespace {

const BackendRow kBackends[] = {
    {"terminal", TerminalBackend, TerminalCloseSignal},
};

}  // namespace

const BackendRow* FindBackend(const char* name) {
  for (const BackendRow& row : kBackends) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}
