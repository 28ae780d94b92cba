// What the byte streams need from the host, one file per host
// (file_stream_posix.cpp, file_stream_win32.cpp); the buffering around it is
// the same everywhere (file_stream.cpp). A file is an int: a descriptor on
// POSIX hosts, on Windows the HANDLE as HandleToLong gives it (kernel
// handles are 32-bit values on 64-bit Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Opens an existing regular file for reading; -1 on failure, and for
/// anything that is no regular file (a folder, FIFO, pipe or device: the
/// conversion reads its input twice). The open never blocks.
int HostOpenForReading(const std::string& path);

/// Reads up to `size` bytes: the count read, 0 at the end, -1 on an error.
int64_t HostRead(int file, void* data, size_t size);

/// Moves to `offset` from the start; false on failure.
bool HostSeek(int file, int64_t offset);

/// The file's size in bytes; -1 on failure.
int64_t HostSize(int file);

/// Closes the file; false when that failed.
bool HostClose(int file);
