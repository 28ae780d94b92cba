#include "platform/command_line.h"

#include "host/text.h"

namespace {

std::u16string g_command_line;

}  // namespace

LPWSTR GetCommandLineW() {
  return g_command_line.data();
}

void SetCommandLine(const char16_t* text) {
  g_command_line = text != nullptr ? text : u"";
}

std::u16string JoinArguments(const char* const* args, int count) {
  std::u16string joined;
  for (int i = 0; i < count; ++i) {
    if (i > 0) joined += u' ';
    joined += Utf8ToUtf16(args[i]);
  }
  return joined;
}
