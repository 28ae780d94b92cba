#include "readers/text_line.h"

#include <cstdint>
#include <cstring>

#include "readers/byte_scan.h"

// Scans the stream's buffer in place rather than byte by byte through
// StreamGetc: every input is read twice, so this loop is the conversion's
// hot path.
int ReadTextLine(ByteStream* stream, char* buffer, int limit) {
  // Pass over line ends and blank lines.
  for (;;) {
    if (StreamFill(stream) == 0) return -1;
    unsigned char* p = stream->next;
    unsigned char* end = stream->end;
    while (p < end && EndsLine(*p)) ++p;
    stream->next = p;
    if (p < end) break;
  }

  int count = 0;
  for (;;) {
    unsigned char* p = stream->next;
    size_t available = static_cast<size_t>(stream->end - p);
    size_t room = static_cast<size_t>(limit - count);
    unsigned char* stop = p + (available < room ? available : room);
    unsigned char* q = FindLineEnd(p, stop);
    std::memcpy(buffer + count, p, static_cast<size_t>(q - p));
    count += static_cast<int>(q - p);
    if (q < stop) {
      stream->next = q + 1;  // the line end is consumed
      break;
    }
    stream->next = q;
    if (count == limit) {
      // The line is longer than the limit: pass over its tail.
      for (;;) {
        if (StreamFill(stream) == 0) break;
        unsigned char* end = stream->end;
        unsigned char* r = FindLineEnd(stream->next, end);
        if (r < end) {
          stream->next = r + 1;
          break;
        }
        stream->next = r;
      }
      break;
    }
    if (StreamFill(stream) == 0) break;  // a last line without line end
  }
  buffer[count] = 0;
  return count;
}
