// Options with a value on the command line, as "--name VALUE" or
// "--name=VALUE".
#pragma once

#include <string>

/// Takes the value of option `name` when argv[*i] is that option, moving *i
/// past a value given as the next argument; false when argv[*i] is another
/// argument. A value missing at the end of the line reads as empty.
bool OptionValue(int argc, char** argv, int* i, const char* name, std::string* value);
