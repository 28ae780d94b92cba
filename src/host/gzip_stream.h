// gzip underneath a read stream: a stream whose file starts with gzip's magic
// bytes 1f 8b hands out the decompressed bytes instead of the file's, in
// both passes of a conversion, with flat memory (zlib's 32 KB window and one
// input block). Positions are offsets into the decompressed data: a seek
// forward decompresses and drops the bytes on the way, a seek backward
// starts the decompression again from the file's first byte. One member is
// read; whatever follows it is ignored. Data that is damaged or ends early
// reads as the end of the input and sets the stream's `damaged`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/file_stream.h"

/// Results of StreamAttachGzip.
constexpr int kGzipPlain = 0;  // no gzip magic: the stream reads the file as it is
constexpr int kGzipAttached = 1;
constexpr int kGzipFailed = -1;  // the file could not be read, or no memory

/// Looks at the first two bytes of a stream just opened for reading and, for
/// gzip, makes it decompress. The stream is back at offset 0 either way.
int StreamAttachGzip(ByteStream* stream);

/// For the stream layer (file_stream.cpp) only.
int64_t GzipRead(ByteStream* stream, unsigned char* out, size_t size);
int GzipSeek(ByteStream* stream, int64_t target);
void GzipFree(GzipInput* gzip);
