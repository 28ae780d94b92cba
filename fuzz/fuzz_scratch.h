// A private scratch folder for one fuzzing process, on tmpfs when there is
// one so that the per-input file writes stay cheap. Removed with its contents
// when the process exits normally.
#pragma once

#include <string>

/// The folder, made on the first call. Aborts when no folder can be made.
const std::string& FuzzScratchDir();

/// Replaces the file at `path` with `size` bytes of `data`. Aborts on failure:
/// a fuzzer that cannot write its input tests nothing.
void WriteScratchFile(const std::string& path, const void* data, size_t size);

/// Aborts the process with a "wayconv: " message when `ok` is false, so that
/// libFuzzer keeps the input that broke a property.
void FuzzCheck(bool ok, const char* what);
