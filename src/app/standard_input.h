// Standard input as the input of a batch run. The conversion reads its input
// twice, which a pipe cannot give, so standard input is first copied to a
// private temporary file (mode 0600, in $TMPDIR or /tmp). The copy is removed
// on every path: by RemoveStandardInputCopy, and by SIGINT, SIGTERM or SIGHUP,
// whose handlers remove it and then end the program as the signal would.
#pragma once

#include <string>

/// Copies all of standard input to a new temporary file and sets `path` to
/// it. False, after printing a `wayconv: ` line that says why, when that
/// fails; nothing is left behind then.
bool CopyStandardInput(std::string* path);

/// Removes the copy, if there is one. Safe to call more than once.
void RemoveStandardInputCopy();
