// The KML document inside a KMZ, which is a zip archive. The entry read is
// the first one of the central directory whose name ends in ".kml" (lower
// case), stored (method 0) or deflated (method 8). Little-endian throughout:
//
//   end of central directory (the last 22 bytes, before a comment of up to
//   65535 bytes):  signature "PK\5\6", entries at 10 (2 bytes), directory
//   size at 12 and offset at 16 (4 bytes each)
//   central directory entry: signature "PK\1\2", flags at 8, method at 10,
//   compressed size at 20, size at 24, name length at 28, extra length at
//   30, comment length at 32 (2 bytes each but the sizes), local header
//   offset at 42; the name follows the 46 fixed bytes
//   local header: signature "PK\3\4", name length at 26, extra length at
//   28; the data follows the 30 fixed bytes, the name and the extra field
//
// The entry is read in blocks with flat memory: the compressed bytes never
// beyond the size the directory gives, the output never beyond the size it
// claims, so neither a hostile size nor a deflate bomb runs away.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/file_stream.h"

inline constexpr unsigned char kZipLocalSignature[] = {'P', 'K', 3, 4};

/// Results of OpenKmzEntry.
constexpr int kKmzOk = 0;
constexpr int kKmzNoKml = 1;   // a readable directory without a ".kml" entry
constexpr int kKmzBroken = 2;  // no directory, an entry cut or encrypted, a method not 0 or 8

/// The entry being read. Holds the inflater's state between blocks.
struct KmzEntry;

/// Finds the entry in the zip `in` (which starts at offset 0) and leaves
/// `in` at its data. The entry is allocated; CloseKmzEntry frees it.
int OpenKmzEntry(ByteStream* in, KmzEntry** entry);

/// Writes up to `size` more bytes of the entry's content to `data`: the
/// count written, 0 at the entry's end, -1 when its data is broken.
int64_t ReadKmzEntry(KmzEntry* entry, ByteStream* in, unsigned char* data, size_t size);

/// Frees the entry; accepts null.
void CloseKmzEntry(KmzEntry* entry);
