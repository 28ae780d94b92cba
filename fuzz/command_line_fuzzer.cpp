// The command-line start on arbitrary UTF-16 text (the input's bytes taken as
// little-endian 16-bit units; an odd last byte is dropped). TrimSpaces and
// StripQuotes run on a buffer of exactly the text's length plus terminator,
// so ASan sees any step past either end, and their results are compared with
// a plain reference. Then the whole examination runs on the same text as the
// program's command line, and what it chose is checked against the rules:
// two or more quoted paths separated by blanks name several inputs (all of
// them fitting InputPath, or none is taken); otherwise the first 2046
// characters, cleaned, name an input file when they are 5 to 2039 characters
// long; the kind then follows the extension (of the first input).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backends/headless/headless_backend.h"
#include "common/globals.h"
#include "common/input_kind.h"
#include "fuzz_scratch.h"
#include "platform/command_line.h"
#include "platform/window_api.h"
#include "shell/command_line_start.h"
#include "shell/shell_globals.h"

namespace {

std::u16string Trimmed(std::u16string text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return u"";
  size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

std::u16string WithoutQuotes(const std::u16string& text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c != u'"') out += c;
  }
  return out;
}

// The quoted paths of a command line of several inputs: every quote pairs
// with the next, each pair holds a non-empty path, and only blanks stand
// before the first, after the last and (at least one) between two. Empty
// when the text is no such list.
std::vector<std::u16string> QuotedList(const std::u16string& text) {
  std::vector<size_t> quotes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'"') quotes.push_back(i);
  }
  if (quotes.size() < 4 || quotes.size() % 2 != 0) return {};
  auto blanks = [&text](size_t from, size_t to, size_t at_least) {
    if (to - from < at_least) return false;
    for (size_t i = from; i < to; ++i) {
      if (text[i] != u' ') return false;
    }
    return true;
  };
  if (!blanks(0, quotes.front(), 0) || !blanks(quotes.back() + 1, text.size(), 0)) return {};
  std::vector<std::u16string> paths;
  for (size_t k = 0; k < quotes.size(); k += 2) {
    if (quotes[k + 1] == quotes[k] + 1) return {};
    if (k > 0 && !blanks(quotes[k - 1] + 1, quotes[k], 1)) return {};
    paths.push_back(text.substr(quotes[k] + 1, quotes[k + 1] - quotes[k] - 1));
  }
  return paths;
}

void ResetAll() {
  ResetGlobalsForTest();
  ResetShellGlobalsForTest();
  ResetPlatformForTest();
  UsePlatformBackend(HeadlessBackend());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t units = size / 2;
  std::unique_ptr<char16_t[]> text(new char16_t[units + 1]);
  for (size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  text[units] = 0;
  std::u16string original(text.get());  // up to the first NUL, as the program sees it

  TrimSpaces(text.get());
  std::u16string trimmed = Trimmed(original);
  FuzzCheck(text.get() == trimmed, "TrimSpaces did not remove exactly the outer blanks");
  StripQuotes(text.get());
  FuzzCheck(text.get() == WithoutQuotes(trimmed), "StripQuotes did not remove every quote");

  ResetAll();
  SetCommandLine(original.c_str());
  int started = ExamineCommandLine(nullptr);
  std::vector<std::u16string> several = QuotedList(original);
  if (!several.empty()) {
    bool fit = true;
    for (const std::u16string& path : several) {
      fit = fit && path.size() < static_cast<size_t>(kInputPathSize);
    }
    FuzzCheck(started == (fit ? 1 : 0), "a list of inputs was judged wrongly");
    if (fit) {
      FuzzCheck(StartInputs == several && std::u16string(InputPath) == several.front(),
                "the inputs are not the list's paths");
    }
    SetCommandLine(u"");
    ResetAll();
    return 0;
  }
  std::u16string cleaned = WithoutQuotes(Trimmed(original.substr(0, kCommandLineLimit)));
  bool names_file = cleaned.size() >= 5 && cleaned.size() < static_cast<size_t>(kInputPathSize);
  FuzzCheck(started == (names_file ? 1 : 0), "the command line was judged wrongly");
  FuzzCheck(StartedFromCommandLine == started, "StartedFromCommandLine disagrees with the result");
  if (names_file) {
    FuzzCheck(std::u16string(InputPath) == cleaned, "InputPath is not the cleaned command line");
    FuzzCheck(InputKind == InputKindFromExtension(cleaned.c_str()),
              "InputKind does not follow the extension");
  } else {
    FuzzCheck(InputPath[0] == 0 && InputKind == kInputGpx, "a rejected command line set the input");
  }
  SetCommandLine(u"");
  ResetAll();
  return 0;
}
