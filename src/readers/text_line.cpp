#include "readers/text_line.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bytes 0, CR and LF end a line. One compare rejects almost every other byte.
inline bool EndsLine(unsigned char c) { return c <= '\r' && (c == 0 || c == '\r' || c == '\n'); }

// The first line end in [p, stop), or stop. Where the target has SSE2
// (every x86-64 does), sixteen bytes are compared with the three line ends
// per step; elsewhere eight at a time: a word whose bytes are all 14 or more
// cannot hold a line end and is passed over with one test
// ((x - 0x0E..) & ~x & 0x80.. flags bytes below 14; the lowest flagged byte
// is always a true one).
inline unsigned char* FindLineEnd(unsigned char* p, unsigned char* stop) {
#if defined(__SSE2__)
  const __m128i nul = _mm_setzero_si128();
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (stop - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i ends = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, nul), _mm_cmpeq_epi8(block, cr)),
                                _mm_cmpeq_epi8(block, lf));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
    if (mask != 0) return p + std::countr_zero(mask);
    p += 16;
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    while (stop - p >= 8) {
      uint64_t x;
      std::memcpy(&x, p, 8);
      uint64_t below14 = (x - 0x0E0E0E0E0E0E0E0EULL) & ~x & 0x8080808080808080ULL;
      if (below14 == 0) {
        p += 8;
        continue;
      }
      p += std::countr_zero(below14) >> 3;
      if (EndsLine(*p)) return p;
      ++p;  // a tab or another control byte: part of the line
    }
  }
#endif
  while (p < stop && !EndsLine(*p)) ++p;
  return p;
}

}  // namespace

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
