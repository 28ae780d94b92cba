#include "readers/kmz_entry.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <string>

namespace {

constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 65535;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kInputBlockSize = 16 * 1024;
constexpr int kStored = 0;
constexpr int kDeflated = 8;
constexpr unsigned kEncryptedFlag = 1;

uint32_t Read16(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t Read32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool ReadAt(ByteStream* in, int64_t offset, unsigned char* data, size_t size) {
  return StreamSeek(in, offset, kStreamSeekSet) == 0 && StreamRead(data, 1, size, in) == size;
}

struct Directory {
  uint32_t entries = 0;
  uint32_t offset = 0;
};

// The end record: the last "PK\5\6" whose comment length reaches the end
// of the file exactly.
bool FindEndRecord(ByteStream* in, Directory* directory) {
  int64_t size = StreamSize(in);
  if (size < static_cast<int64_t>(kEndRecordSize)) return false;
  size_t tail_size = static_cast<size_t>(
      size < static_cast<int64_t>(kEndRecordSize + kMaxCommentSize) ? size
                                                                     : kEndRecordSize + kMaxCommentSize);
  std::string tail(tail_size, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(tail.data());
  if (!ReadAt(in, size - static_cast<int64_t>(tail_size), bytes, tail_size)) return false;
  for (size_t at = tail_size - kEndRecordSize + 1; at-- > 0;) {
    const unsigned char* record = bytes + at;
    if (Read32(record) != 0x06054b50) continue;
    if (at + kEndRecordSize + Read16(record + 20) != tail_size) continue;
    directory->entries = Read16(record + 10);
    directory->offset = Read32(record + 16);
    return true;
  }
  return false;
}

bool EndsWithKml(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".kml") == 0;
}

}  // namespace

struct KmzEntry {
  int method = kStored;
  uint64_t compressed_left = 0;  // compressed bytes still to read
  uint64_t output_left = 0;      // bytes the entry may still give
  bool inflating = false;
  bool ended = false;
  z_stream zip{};
  unsigned char input[kInputBlockSize];
};

int OpenKmzEntry(ByteStream* in, KmzEntry** result) {
  *result = nullptr;
  Directory directory;
  if (!FindEndRecord(in, &directory)) return kKmzBroken;
  int64_t at = directory.offset;
  unsigned char fixed[kDirectoryEntrySize];
  std::string name;
  for (uint32_t i = 0; i < directory.entries; ++i) {
    if (!ReadAt(in, at, fixed, kDirectoryEntrySize) || Read32(fixed) != 0x02014b50) {
      return kKmzBroken;
    }
    uint32_t name_length = Read16(fixed + 28);
    name.assign(name_length, '\0');
    if (StreamRead(name.data(), 1, name_length, in) != name_length) return kKmzBroken;
    at += static_cast<int64_t>(kDirectoryEntrySize) + name_length + Read16(fixed + 30) +
          Read16(fixed + 32);
    if (!EndsWithKml(name)) continue;

    int method = static_cast<int>(Read16(fixed + 10));
    if ((Read16(fixed + 8) & kEncryptedFlag) != 0) return kKmzBroken;
    if (method != kStored && method != kDeflated) return kKmzBroken;
    unsigned char local[kLocalHeaderSize];
    uint32_t local_offset = Read32(fixed + 42);
    if (!ReadAt(in, local_offset, local, kLocalHeaderSize) || Read32(local) != 0x04034b50) {
      return kKmzBroken;
    }
    int64_t data = static_cast<int64_t>(local_offset) + kLocalHeaderSize + Read16(local + 26) +
                   Read16(local + 28);
    if (StreamSeek(in, data, kStreamSeekSet) != 0) return kKmzBroken;

    auto* entry = new (std::nothrow) KmzEntry;
    if (entry == nullptr) return kKmzBroken;
    entry->method = method;
    entry->compressed_left = Read32(fixed + 20);
    entry->output_left = Read32(fixed + 24);
    if (method == kDeflated) {
      if (inflateInit2(&entry->zip, -MAX_WBITS) != Z_OK) {
        delete entry;
        return kKmzBroken;
      }
      entry->inflating = true;
    }
    *result = entry;
    return kKmzOk;
  }
  return kKmzNoKml;
}

int64_t ReadKmzEntry(KmzEntry* entry, ByteStream* in, unsigned char* data, size_t size) {
  if (size > entry->output_left) size = static_cast<size_t>(entry->output_left);
  if (size == 0 || entry->ended) return 0;
  if (entry->method == kStored) {
    if (size > entry->compressed_left) size = static_cast<size_t>(entry->compressed_left);
    size_t got = StreamRead(data, 1, size, in);
    if (got < size) return -1;
    entry->compressed_left -= got;
    entry->output_left -= got;
    return static_cast<int64_t>(got);
  }
  z_stream& zip = entry->zip;
  zip.next_out = data;
  zip.avail_out = static_cast<uInt>(size);
  while (zip.avail_out > 0) {
    if (zip.avail_in == 0) {
      size_t want = kInputBlockSize;
      if (want > entry->compressed_left) want = static_cast<size_t>(entry->compressed_left);
      if (want == 0) return -1;  // the compressed data ends before the stream does
      size_t got = StreamRead(entry->input, 1, want, in);
      if (got == 0) return -1;
      entry->compressed_left -= got;
      zip.next_in = entry->input;
      zip.avail_in = static_cast<uInt>(got);
    }
    int status = inflate(&zip, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      entry->ended = true;
      break;
    }
    if (status != Z_OK && status != Z_BUF_ERROR) return -1;
  }
  auto written = static_cast<uint64_t>(size - zip.avail_out);
  entry->output_left -= written;
  return static_cast<int64_t>(written);
}

void CloseKmzEntry(KmzEntry* entry) {
  if (entry == nullptr) return;
  if (entry->inflating) inflateEnd(&entry->zip);
  delete entry;
}
