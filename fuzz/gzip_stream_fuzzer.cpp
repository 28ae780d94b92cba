// The gzip layer under the readers on arbitrary bytes: whatever the file
// holds, the stream must give the same bytes as zlib's own inflation of its
// first member (up to where that stops), the same again after a rewind, and
// the same from a position reached by a forward seek; reads must end.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "fuzz_scratch.h"
#include "host/gzip_stream.h"
#include "host/text.h"

namespace {

constexpr size_t kOutputLimit = 1 << 20;  // enough to cross buffers; bombs stop here

std::string g_path;
std::u16string g_path_wide;

// zlib's inflation of the first member in one go, up to kOutputLimit bytes.
std::string Reference(const uint8_t* data, size_t size) {
  std::string out;
  if (size < 2 || data[0] != 0x1F || data[1] != 0x8B) return std::string(data, data + size);
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return out;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  unsigned char chunk[65536];
  for (;;) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    int result = inflate(&z, Z_NO_FLUSH);
    out.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
    if (result != Z_OK || out.size() >= kOutputLimit) break;
  }
  inflateEnd(&z);
  if (out.size() > kOutputLimit) out.resize(kOutputLimit);
  return out;
}

std::string ReadUpTo(ByteStream* stream, size_t limit) {
  std::string out;
  char chunk[65536];
  while (out.size() < limit) {
    size_t want = limit - out.size() < sizeof chunk ? limit - out.size() : sizeof chunk;
    size_t got = StreamRead(chunk, 1, want, stream);
    out.append(chunk, got);
    if (got < want) break;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_path = FuzzScratchDir() + "/input.gz";
  g_path_wide = Utf8ToUtf16(g_path);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratchFile(g_path, data, size);
  ByteStream* stream = StreamOpen(g_path_wide.c_str(), "rb");
  FuzzCheck(stream != nullptr, "the scratch input does not open");
  int attached = StreamAttachGzip(stream);
  bool magic = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
  FuzzCheck(attached == (magic ? kGzipAttached : kGzipPlain), "gzip recognised wrongly");
  std::string expected = Reference(data, size);
  std::string first = ReadUpTo(stream, kOutputLimit);
  FuzzCheck(first == expected, "the stream differs from zlib's inflation");
  FuzzCheck(StreamSeek(stream, 0, kStreamSeekSet) == 0, "the rewind failed");
  FuzzCheck(StreamTell(stream) == 0, "the rewind did not reach 0");
  std::string again = ReadUpTo(stream, kOutputLimit);
  FuzzCheck(again == first, "a rewound stream reads differently");
  if (!first.empty()) {
    int64_t middle = static_cast<int64_t>(first.size() / 2 + size % 7);
    if (middle > static_cast<int64_t>(first.size())) middle = static_cast<int64_t>(first.size());
    FuzzCheck(StreamSeek(stream, 0, kStreamSeekSet) == 0, "the rewind failed");
    FuzzCheck(StreamSeek(stream, middle, kStreamSeekSet) == 0, "the forward seek failed");
    FuzzCheck(StreamTell(stream) == middle, "the forward seek went astray");
    std::string tail = ReadUpTo(stream, first.size());
    FuzzCheck(tail == first.substr(static_cast<size_t>(middle)), "a seek lands on other bytes");
  }
  StreamClose(stream);
  return 0;
}
