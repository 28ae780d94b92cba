#include "host/gzip_stream.h"

#include <zlib.h>

#include <new>

#include "host/file_stream_host.h"

struct GzipInput {
  z_stream z{};
  bool finished = false;  // the member ended, or its data broke off
  unsigned char input[64 * 1024];
};

namespace {

constexpr unsigned char kGzipMagic[2] = {0x1F, 0x8B};
constexpr int kGzipOnlyWindow = 15 + 16;  // the largest window, gzip wrapping only

// Back to the first byte of the file and of the decompressed data.
bool Restart(ByteStream* stream) {
  GzipInput* gzip = stream->gzip;
  if (!HostSeek(stream->fd, 0)) return false;
  if (inflateReset(&gzip->z) != Z_OK) return false;
  gzip->z.next_in = gzip->input;
  gzip->z.avail_in = 0;
  gzip->finished = false;
  stream->buffer_pos = 0;
  stream->next = stream->end = stream->buffer;
  stream->failed = false;
  return true;
}

}  // namespace

int StreamAttachGzip(ByteStream* stream) {
  unsigned char magic[2];
  size_t got = StreamRead(magic, 1, sizeof magic, stream);
  if (stream->failed) return kGzipFailed;
  if (got < 2 || magic[0] != kGzipMagic[0] || magic[1] != kGzipMagic[1]) {
    return StreamSeek(stream, 0, kStreamSeekSet) == 0 ? kGzipPlain : kGzipFailed;
  }
  auto* gzip = new (std::nothrow) GzipInput;
  if (gzip == nullptr) return kGzipFailed;
  if (inflateInit2(&gzip->z, kGzipOnlyWindow) != Z_OK) {
    delete gzip;
    return kGzipFailed;
  }
  stream->gzip = gzip;
  return Restart(stream) ? kGzipAttached : kGzipFailed;
}

int64_t GzipRead(ByteStream* stream, unsigned char* out, size_t size) {
  GzipInput* gzip = stream->gzip;
  if (gzip->finished) return 0;
  z_stream& z = gzip->z;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(size);
  while (z.avail_out > 0) {
    if (z.avail_in == 0) {
      int64_t n = HostRead(stream->fd, gzip->input, sizeof gzip->input);
      if (n < 0) return -1;
      if (n == 0) {
        // The file ends inside the member.
        stream->damaged = true;
        gzip->finished = true;
        break;
      }
      z.next_in = gzip->input;
      z.avail_in = static_cast<uInt>(n);
    }
    int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      gzip->finished = true;
      break;
    }
    if (result != Z_OK) {
      // Damaged data (a bad block, a CRC or length that does not match):
      // the bytes before it stand, the rest reads as the end.
      stream->damaged = true;
      gzip->finished = true;
      break;
    }
  }
  return static_cast<int64_t>(size - z.avail_out);
}

int GzipSeek(ByteStream* stream, int64_t target) {
  if (target < stream->buffer_pos && !Restart(stream)) return -1;
  for (;;) {
    int64_t buffered_end = stream->buffer_pos + (stream->end - stream->buffer);
    if (target <= buffered_end) break;
    stream->buffer_pos = buffered_end;
    stream->next = stream->end = stream->buffer;
    int64_t n = GzipRead(stream, stream->buffer, kStreamBufferSize);
    if (n < 0) {
      stream->failed = true;
      return -1;
    }
    if (n == 0) {
      // Past the end, as a seek past the end of a file: nothing to read there.
      stream->buffer_pos = target;
      return 0;
    }
    stream->end = stream->buffer + n;
  }
  stream->next = stream->buffer + (target - stream->buffer_pos);
  return 0;
}

void GzipFree(GzipInput* gzip) {
  if (gzip == nullptr) return;
  inflateEnd(&gzip->z);
  delete gzip;
}
