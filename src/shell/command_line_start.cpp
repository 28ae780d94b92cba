#include "shell/command_line_start.h"

#include "common/globals.h"
#include "common/input_kind.h"
#include "host/text.h"
#include "platform/windows.h"
#include "resources/resource_ids.h"
#include "shell/shell_globals.h"

namespace {

constexpr size_t kShortestPath = 5;  // anything shorter is no file name

}  // namespace

void TrimSpaces(char16_t* text) {
  size_t length = WideLength(text);
  while (length > 0 && text[length - 1] == u' ') text[--length] = 0;
  size_t lead = 0;
  while (text[lead] == u' ') ++lead;
  if (lead == 0) return;
  for (size_t i = lead; i <= length; ++i) text[i - lead] = text[i];
}

void StripQuotes(char16_t* text) {
  size_t out = 0;
  for (size_t in = 0; text[in] != 0; ++in) {
    if (text[in] != u'"') text[out++] = text[in];
  }
  text[out] = 0;
}

bool ParseInputList(const char16_t* text, std::vector<std::u16string>* paths) {
  std::vector<std::u16string> found;
  const char16_t* p = text;
  for (;;) {
    while (*p == u' ') ++p;
    if (*p == 0) break;
    if (*p != u'"') return false;
    const char16_t* end = p + 1;
    while (*end != 0 && *end != u'"') ++end;
    if (*end == 0 || end == p + 1) return false;
    found.emplace_back(p + 1, end);
    p = end + 1;
    if (*p != 0 && *p != u' ') return false;
  }
  if (found.size() < 2) return false;
  *paths = std::move(found);
  return true;
}

int ArmInputList(HWND window, const char16_t* text) {
  std::vector<std::u16string> several;
  if (!ParseInputList(text, &several)) return 0;
  for (const std::u16string& path : several) {
    if (path.size() >= static_cast<size_t>(kInputPathSize)) return 0;
  }
  StartInputs = std::move(several);
  CopyWide(InputPath, kInputPathSize, StartInputs.front());
  InputKind = InputKindFromExtension(InputPath);
  StartedFromCommandLine = 1;
  PostMessageW(window, WM_COMMAND, kCmdOpenFile, 0);
  return 1;
}

int ExamineCommandLine(HWND window) {
  const char16_t* command_line = GetCommandLineW();
  StartInputs.clear();
  StartedFromCommandLine = 0;
  std::vector<std::u16string> several;
  if (ParseInputList(command_line, &several)) return ArmInputList(window, command_line);
  int copied = 0;
  while (copied < kCommandLineLimit && command_line[copied] != 0) {
    PathScratch[copied] = command_line[copied];
    ++copied;
  }
  PathScratch[copied] = 0;
  TrimSpaces(PathScratch);
  StripQuotes(PathScratch);
  StartedFromCommandLine = 0;
  size_t length = WideLength(PathScratch);
  // A text that does not fit InputPath names no file we could open.
  if (length < kShortestPath || length >= static_cast<size_t>(kInputPathSize)) return 0;
  CopyWide(InputPath, kInputPathSize, PathScratch);
  InputKind = InputKindFromExtension(InputPath);
  StartedFromCommandLine = 1;
  PostMessageW(window, WM_COMMAND, kCmdOpenFile, 0);
  return 1;
}
