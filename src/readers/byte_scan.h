#pragma once

#include <cstddef>

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

// The first `byte` in [p, end), or end. Sixteen bytes per step where the
// target has SSE2 (every x86-64 does), without a library call: the runs
// scanned in the readers are mostly a few dozen bytes, too short to repay
// one.
inline const unsigned char* FindByte(const unsigned char* p, const unsigned char* end,
                                     unsigned char byte) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  while (end - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p < end && *p != byte) ++p;
  return p;
}
