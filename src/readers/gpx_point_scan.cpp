#include "readers/gpx_point_scan.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "readers/byte_scan.h"
#include "readers/gpx_reader.h"
#include "readers/plt_reader.h"

namespace {

// The characters a tag keeps; a longer one is cut, which the general reader
// does.
constexpr ptrdiff_t kTagKept = kGpxTagReadSize - 2;

// Bytes past the last one a tag may use that the reads may still touch:
// eight for the number reads, and a margin.
constexpr ptrdiff_t kLoadSlack = 16;

// Eight bytes from `p` as a little-endian word: the first byte lowest.
uint64_t Load8(const unsigned char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// How many of the word's bytes, from the first, are decimal digits (0 to 8).
// A byte gets its top bit set in one of the two terms when it is below "0"
// or above "9". Carries and borrows run only from a non-digit byte into the
// bytes after it, so the first flagged byte is always the first non-digit.
int DigitCount(uint64_t word) {
  uint64_t flags =
      ((word + 0x4646464646464646ULL) | (word - 0x3030303030303030ULL)) & 0x8080808080808080ULL;
  return flags == 0 ? 8 : std::countr_zero(flags) >> 3;
}

// The value of the first `count` (1 to 8) bytes of the word, all digits:
// shifted up so that they are the last bytes, behind zeros, then combined
// pairwise into two, four and eight digits.
uint64_t DigitsValue(uint64_t word, int count) {
  uint64_t digits = (word - 0x3030303030303030ULL) << (8 * (8 - count));
  digits = digits * 10 + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((digits >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
  return digits & 0xFFFFFFFFULL;
}

constexpr uint64_t kPowersOf10[] = {1,      10,      100,      1000,     10000,
                                    100000, 1000000, 10000000, 100000000};

bool IsXmlSpace(unsigned char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// A namespace prefix the fast path takes: 1 to 32 name characters holding
// neither "lat" nor "lon", so that the first "lat" and "lon" of the tag are
// its attributes, and no "/", so that its "trkpt" names an opening tag.
bool IsPlainPrefix(const unsigned char* begin, const unsigned char* end) {
  if (end - begin < 1 || end - begin > 32) return false;
  for (const unsigned char* p = begin; p < end; ++p) {
    unsigned char c = *p;
    bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    if (!letter && !(c >= '0' && c <= '9') && c != '_' && c != '-' && c != '.') return false;
    if (end - p >= 3 && p[0] == 'l' && ((p[1] == 'a' && p[2] == 't') || (p[1] == 'o' && p[2] == 'n'))) {
      return false;
    }
  }
  return true;
}

// The plain decimal at `p`, as ParsePlainDecimal reads it.
[[gnu::always_inline]] inline const unsigned char* ReadDecimal(const unsigned char* p,
                                                               const unsigned char* stop,
                                                               double* value) {
  static constexpr double kScales[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                       1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
  constexpr int kMaxDigits = 19;
  constexpr uint64_t kExactLimit = uint64_t{1} << 53;
  if (p >= stop) return nullptr;
  bool negative = *p == '-';
  p += negative ? 1 : 0;
  // The whole part digit by digit: a coordinate has three digits at most,
  // and longer ones are left to ParseDouble.
  unsigned digit = static_cast<unsigned>(p[0]) - '0';
  if (digit > 9) return nullptr;
  uint64_t mantissa = digit;
  int whole = 1;
  if ((digit = static_cast<unsigned>(p[1]) - '0') < 10) {
    mantissa = mantissa * 10 + digit;
    whole = 2;
    if ((digit = static_cast<unsigned>(p[2]) - '0') < 10) {
      mantissa = mantissa * 10 + digit;
      whole = 3;
      if (static_cast<unsigned>(p[3]) - '0' < 10) return nullptr;
    }
  }
  p += whole;
  uint64_t word;
  int decimals = 0;
  if (*p == '.') {
    ++p;
    if (p >= stop) return nullptr;
    word = Load8(p);
    decimals = DigitCount(word);
    if (decimals == 8) {
      // Eight decimals or more: one more word, and no further.
      const unsigned char* more = p + 8;
      if (more >= stop) return nullptr;
      uint64_t next = Load8(more);
      int extra = DigitCount(next);
      if (extra == 8 || whole + 8 + extra > kMaxDigits) return nullptr;
      mantissa = mantissa * kPowersOf10[8] + DigitsValue(word, 8);
      if (extra != 0) mantissa = mantissa * kPowersOf10[extra] + DigitsValue(next, extra);
      decimals += extra;
    } else if (decimals != 0) {
      mantissa = mantissa * kPowersOf10[decimals] + DigitsValue(word, decimals);
    }
    p += decimals;
  }
  if (p >= stop || mantissa > kExactLimit) return nullptr;
  // The digits m and the scale 10^k are exact doubles, so one division
  // rounds correctly, as ParseDouble's own conversion of this form does.
  double magnitude = static_cast<double>(mantissa) / kScales[decimals];
  *value = negative ? -magnitude : magnitude;
  return p;
}

// Eight bytes compared with `text` (up to eight characters), in the order
// Load8 gives them.
constexpr uint64_t Pattern(const char* text, int length) {
  uint64_t word = 0;
  for (int i = length - 1; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(text[i]);
  return word;
}
constexpr uint64_t kClosingTag = Pattern("</trkpt>", 8);
constexpr uint64_t Mask(int length) { return length == 8 ? ~0ULL : (1ULL << (8 * length)) - 1; }

// Blanks (at least one), then `name="`: the byte after the quote, or null.
// One blank is the common case and takes one compare.
[[gnu::always_inline]] inline const unsigned char* AttributeValue(const unsigned char* p,
                                                                  const unsigned char* stop,
                                                                  const char (&name)[4]) {
  const uint64_t blank_name = Pattern(" ", 1) | Pattern(name, 3) << 8 | Pattern("=\"", 2) << 32;
  if (p >= stop) return nullptr;
  if ((Load8(p) & Mask(6)) == blank_name) return p + 6;
  const unsigned char* blanks = p;
  while (p < stop && IsXmlSpace(*p)) ++p;
  if (p == blanks || p >= stop || (Load8(p) & Mask(5)) != blank_name >> 8) return nullptr;
  return p + 5;
}

// The tag whose text starts at `text` has a "trkpt" whose "k" is at `k`,
// and no ">" before it. Reads it when it is a track point of the common
// shape; otherwise kGpxUseTagReader, with the stream left at the tag's "<".
int ReadPlainTrackPoint(ByteStream* in, const unsigned char* text, const unsigned char* k,
                        const unsigned char* end, TrackPoint* point) {
  if (end - text <= kLoadSlack) return kGpxUseTagReader;
  // Every byte the tag's text is read from lies before `stop`: within the
  // characters a tag keeps, and far enough from the window's end that eight
  // bytes can be loaded from any position before it.
  const unsigned char* stop = end - kLoadSlack;
  if (stop - text > kTagKept + 1) stop = text + kTagKept + 1;

  const unsigned char* name = k - 2;
  if (name != text && (name[-1] != ':' || !IsPlainPrefix(text, name - 1))) return kGpxUseTagReader;
  double latitude, longitude;
  const unsigned char* p = AttributeValue(k + 3, stop, "lat");
  if (p == nullptr || (p = ReadDecimal(p, stop, &latitude)) == nullptr || *p != '"') {
    return kGpxUseTagReader;
  }
  p = AttributeValue(p + 1, stop, "lon");
  if (p == nullptr || (p = ReadDecimal(p, stop, &longitude)) == nullptr || *p != '"') {
    return kGpxUseTagReader;
  }
  ++p;
  if (*p != '>') {  // blanks and "/" may come first
    while (p < stop && IsXmlSpace(*p)) ++p;
    if (p < stop && *p == '/') ++p;
  }
  if (p >= stop || *p != '>') return kGpxUseTagReader;

  // What the general reader does with this tag: each coordinate is stored,
  // then checked.
  in->next = const_cast<unsigned char*>(p) + 1;
  point->latitude = latitude;
  if (!LatitudeInRange(latitude)) return kGpxOutOfRange;
  point->longitude = longitude;
  if (!LongitudeInRange(longitude)) return kGpxOutOfRange;
  return kReadOk;
}

}  // namespace

const unsigned char* ParsePlainDecimal(const unsigned char* text, const unsigned char* stop,
                                       double* value) {
  return ReadDecimal(text, stop, value);
}

int ScanGpxTrackPoint(ByteStream* in, TrackPoint* point) {
  // Only a tag with a "k" in it can name a track point, and "k" is rare in
  // GPX files, so the scan goes from one "k" to the next. Whatever the
  // tags before it, a scanner is always between tags just after a ">" (a
  // ">" either ends a tag or lies between tags, even in the rest of a cut
  // tag), so the tag a "k" lies in, if any, opened at the first "<" after
  // the last ">" before it. in->next always stands between tags.
  for (;;) {
    const unsigned char* begin = in->next;
    const unsigned char* end = in->end;
    const unsigned char* k = FindRareByte(begin, end, 'k');
    // "</trkpt>" closes a track point. When its "<" lies after in->next, the
    // tag this "k" lies in is that closing tag, or one that holds
    // "</trkpt" and no other "k" before it; either way no track point.
    if (k - begin >= 4 && end - k >= 4 && Load8(k - 4) == kClosingTag) {
      in->next = const_cast<unsigned char*>(k) + 4;
      continue;
    }
    // Mostly the tag opens at the first "<" after in->next, with no ">"
    // before the "k"; otherwise it is found backward from the "k".
    const unsigned char* open = FindByteWithin(begin, k, end, '<');
    if (open == k) {
      open = nullptr;
    } else if (FindByteWithin(open + 1, k, end, '>') != k) {
      open = FindOpenBefore(in->buffer, begin, k, '<', '>');
    }
    if (k == end) {
      // The window holds no more "k". A tag that runs on past its end goes
      // to the general reader; otherwise the next window is scanned.
      if (open != nullptr) {
        in->next = const_cast<unsigned char*>(open);
        return kGpxUseTagReader;
      }
      in->next = in->end;
      if (StreamFill(in) == 0) return kGpxUseTagReader;
      continue;
    }
    if (open == nullptr) {  // a "k" between tags
      in->next = const_cast<unsigned char*>(k) + 1;
      continue;
    }
    in->next = const_cast<unsigned char*>(open);
    const unsigned char* text = open + 1;
    const unsigned char* limit = end - text > kTagKept ? text + kTagKept + 1 : end;
    if (k >= limit) return kGpxUseTagReader;  // past the characters the tag keeps
    // Each "k" of the tag up to its ">": one in the middle of a "trkpt"
    // decides; a tag with none cannot name a track point, whatever else it
    // holds (a NUL byte changes nothing then).
    const unsigned char* p = k;
    for (;;) {
      if (p - text >= 2 && p[-2] == 't' && p[-1] == 'r') {
        if (end - p < 4) return kGpxUseTagReader;
        if (p[1] == 'p' && p[2] == 't') {
          // "</trkpt>" closes a track point and is passed over.
          if (p - text == 3 && text[0] == '/' && p[3] == '>') {
            p += 3;
            break;
          }
          return ReadPlainTrackPoint(in, text, p, end, point);
        }
      }
      p = FindEitherWithin(p + 1, limit, end, '>', 'k');
      if (p == limit) return kGpxUseTagReader;
      if (*p == '>') break;
    }
    in->next = const_cast<unsigned char*>(p) + 1;
  }
}
