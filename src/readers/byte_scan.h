#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first `byte` in [p, stop), or stop. The bytes up to `readable` (at
// least stop) may be loaded, so that short runs are scanned in one step
// too; whatever lies past stop does not count.
inline const unsigned char* FindByteWithin(const unsigned char* p, const unsigned char* stop,
                                           const unsigned char* readable, unsigned char byte) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  while (readable - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    if (mask != 0) {
      const unsigned char* found = p + __builtin_ctz(mask);
      return found < stop ? found : stop;
    }
    p += 16;
    if (p >= stop) return stop;
  }
#else
  (void)readable;
#endif
  while (p < stop && *p != byte) ++p;
  return p;
}

// The first `byte` in [p, end), or end.
inline const unsigned char* FindByte(const unsigned char* p, const unsigned char* end,
                                     unsigned char byte) {
  return FindByteWithin(p, end, end, byte);
}

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
