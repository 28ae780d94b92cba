#include "host/option_value.h"

#include <cstring>

bool OptionValue(int argc, char** argv, int* i, const char* name, std::string* value) {
  size_t length = std::strlen(name);
  const char* arg = argv[*i];
  if (std::strncmp(arg, name, length) != 0) return false;
  if (arg[length] == '=') {
    *value = arg + length + 1;
    return true;
  }
  if (arg[length] != 0) return false;
  *value = *i + 1 < argc ? argv[++*i] : "";
  return true;
}
