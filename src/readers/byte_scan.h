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

// The first `byte` in [p, end), or end, as FindByte, but thirty-two bytes
// a step: for a byte rare enough that the next one is usually far off.
inline const unsigned char* FindRareByte(const unsigned char* p, const unsigned char* end,
                                         unsigned char byte) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  while (end - p >= 32) {
    __m128i low = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), wanted);
    __m128i high = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), wanted);
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
    if (mask != 0) return p + std::countr_zero(mask);
    p += 32;
  }
#endif
  return FindByte(p, end, byte);
}

// The first `a` or `b` in [p, stop), or stop; the bytes up to `readable`
// (at least stop) may be loaded, as for FindByteWithin.
inline const unsigned char* FindEitherWithin(const unsigned char* p, const unsigned char* stop,
                                             const unsigned char* readable, unsigned char a,
                                             unsigned char b) {
#if defined(__SSE2__)
  const __m128i wanted_a = _mm_set1_epi8(static_cast<char>(a));
  const __m128i wanted_b = _mm_set1_epi8(static_cast<char>(b));
  while (readable - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, wanted_a), _mm_cmpeq_epi8(block, wanted_b));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
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
  while (p < stop && *p != a && *p != b) ++p;
  return p;
}

// The first `open` byte after the last `close` byte in [begin, p), or after
// begin when [begin, p) holds no `close`; null when there is no such `open`.
// For a scanner that is between brackets at begin, this is where the
// bracket in progress at p opened. Scans backward from p; the bytes from
// `readable` (at most begin) on may be loaded.
inline const unsigned char* FindOpenBefore(const unsigned char* readable, const unsigned char* begin,
                                           const unsigned char* p, unsigned char open,
                                           unsigned char close) {
  const unsigned char* found = nullptr;
#if defined(__SSE2__)
  const __m128i wanted_open = _mm_set1_epi8(static_cast<char>(open));
  const __m128i wanted_close = _mm_set1_epi8(static_cast<char>(close));
  while (p > begin && p - readable >= 16) {
    const unsigned char* block_start = p - 16;
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_start));
    auto opens = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted_open)));
    auto closes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted_close)));
    if (block_start < begin) {  // bytes before begin do not count
      unsigned counted = ~0u << (begin - block_start);
      opens &= counted;
      closes &= counted;
    }
    if (closes != 0) {
      opens &= ~0u << (32 - std::countl_zero(closes));  // after the last close
      return opens != 0 ? block_start + std::countr_zero(opens) : found;
    }
    if (opens != 0) found = block_start + std::countr_zero(opens);
    p = block_start;
  }
#else
  (void)readable;
#endif
  while (p > begin) {
    --p;
    if (*p == close) break;
    if (*p == open) found = p;
  }
  return found;
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
