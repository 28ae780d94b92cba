#include "host/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/text.h"

namespace {

// The row whose name `arg` spells, with "=VALUE" after it for a row that
// takes a value; null for none.
const OptionSpec* FindOption(const char* arg, const OptionSpec* table, int table_size,
                             const char** inline_value) {
  *inline_value = nullptr;
  for (int i = 0; i < table_size; ++i) {
    size_t length = std::strlen(table[i].name);
    if (std::strncmp(arg, table[i].name, length) != 0) continue;
    if (arg[length] == 0) return &table[i];
    if (arg[length] == '=' && table[i].takes_value) {
      *inline_value = arg + length + 1;
      return &table[i];
    }
  }
  return nullptr;
}

}  // namespace

CommandLine ReadCommandLine(int argc, char** argv, const OptionSpec* table, int table_size) {
  CommandLine line;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (options_done || arg[0] != '-' || arg[1] == 0) {
      line.operands.push_back(arg);
      continue;
    }
    if (std::strcmp(arg, "--") == 0) {
      options_done = true;
      continue;
    }
    const char* inline_value = nullptr;
    const OptionSpec* row = FindOption(arg, table, table_size, &inline_value);
    ReadOption option{row != nullptr ? row->id : kOptionUnknown, arg, {}, false};
    if (inline_value != nullptr) {
      option.value = inline_value;
    } else if (row != nullptr && row->takes_value && i + 1 < argc) {
      option.value = argv[++i];
      option.value_was_next = true;
    }
    line.options.push_back(std::move(option));
  }
  return line;
}

bool HasOption(const CommandLine& line, int id) {
  for (const ReadOption& option : line.options) {
    if (option.id == id) return true;
  }
  return false;
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "wayconv: %s\n", EscapeForTerminal(message).c_str());
}

int UsageError(const std::string& message) {
  PrintError(message + "; try 'wayconv --help'");
  return kExitUsageError;
}

bool WriteStandardOutput(const std::string& text) {
  size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || written != text.size()) {
    PrintError(std::string("cannot write to standard output: ") + std::strerror(errno));
    return false;
  }
  return true;
}
