#include "readers/gpx_reader.h"

#include <cstddef>
#include <cstring>

#include "common/globals.h"
#include "common/numbers.h"
#include "readers/byte_scan.h"
#include "readers/gpx_point_scan.h"
#include "readers/plt_reader.h"

char GpxTagBuffer[kGpxTagBufferSize];
int GpxPointElement = kGpxTrackPoints;

namespace {

// The characters a tag keeps; the rest of a longer tag is passed over.
constexpr ptrdiff_t kGpxTagKept = kGpxTagReadSize - 2;

// The loops below work on the stream's read window through local pointers,
// so that the byte scans run in registers: the text between tags and the tags
// themselves are the bulk of a GPX file, every byte of it is scanned twice per
// run, and both are mostly a few dozen bytes long, too short to repay a
// library call per piece.

// Consumes the input up to and including the next `byte`; false at the end.
bool SkipPast(ByteStream* in, unsigned char byte) {
  for (;;) {
    unsigned char* end = in->end;
    const unsigned char* p = FindByte(in->next, end, byte);
    if (p < end) {
      in->next = const_cast<unsigned char*>(p) + 1;
      return true;
    }
    in->next = in->end;
    int c = StreamRefillGetc(in);
    if (c < 0) return false;
    if (c == byte) return true;
  }
}

// A tag's text [begin, end); the bytes up to `readable` may be loaded by
// the scans (the read window's or the tag buffer's end). The byte at `end`
// is a ">" or a NUL, so a number read stops there at the latest.
struct TagText {
  const char* begin;
  const char* end;
  const unsigned char* readable;
};

const unsigned char* Bytes(const char* p) {
  return reinterpret_cast<const unsigned char*>(p);
}
const char* Chars(const unsigned char* p) {
  return reinterpret_cast<const char*>(p);
}

// The first occurrence of the three-letter `name` in the tag from `from`;
// null when there is none. Its first byte is found sixteen at a time.
const char* FindName(const TagText& tag, const char* from, const char (&name)[4]) {
  const unsigned char* p = Bytes(from);
  const unsigned char* stop = Bytes(tag.end);
  const auto first = static_cast<unsigned char>(name[0]);
  while ((p = FindByteWithin(p, stop, tag.readable, first)) < stop) {
    const char* candidate = Chars(p);
    if (tag.end - candidate >= 3 && candidate[1] == name[1] && candidate[2] == name[2]) {
      return candidate;
    }
    ++p;
  }
  return nullptr;
}

// The first "trkpt" in the tag that starts at `from` or later, found by its
// rarest letter, the "k": most tags have none, and are passed over in one
// step.
const char* FindTrackPointName(const TagText& tag, const char* from) {
  const unsigned char* p = Bytes(from);
  const unsigned char* stop = Bytes(tag.end);
  while ((p = FindByteWithin(p, stop, tag.readable, 'k')) < stop) {
    const char* k = Chars(p);
    if (k - from >= 2 && tag.end - k >= 3 && k[-2] == 't' && k[-1] == 'r' && k[1] == 'p' &&
        k[2] == 't') {
      return k - 2;
    }
    ++p;
  }
  return nullptr;
}

// "trkpt" in the tag but not "/trkpt", in one pass over its occurrences.
bool NamesTrackPoint(const TagText& tag) {
  bool found = false;
  for (const char* p = tag.begin; (p = FindTrackPointName(tag, p)) != nullptr; ++p) {
    if (p > tag.begin && p[-1] == '/') return false;
    found = true;
  }
  return found;
}

// Moves the number start forward to the first digit or minus sign; null when
// the tag ends first, and `end` too when the attribute's value ends first, at
// the second quote character (" or ') after the name.
const char* FindNumber(const char* text, const char* end) {
  int quotes = 0;
  for (; text < end; ++text) {
    char c = *text;
    if ((c >= '0' && c <= '9') || c == '-') return text;
    if ((c == '"' || c == '\'') && ++quotes == 2) return end;
  }
  return nullptr;
}

// Reads one coordinate: the number after the first `name` in the tag, which
// must start inside that attribute's value (lat="abc" lon="8" must not read
// the longitude as the latitude).
int ReadCoordinate(const TagText& tag, const char (&name)[4], double* value) {
  const char* found = FindName(tag, tag.begin, name);
  if (found == nullptr) return kGpxNoAttribute;
  const char* after = found + 3;
  const char* number;
  if (tag.end - after >= 3 && after[0] == '=' && (after[1] == '"' || after[1] == '\'') &&
      ((after[2] >= '0' && after[2] <= '9') || after[2] == '-')) {
    number = after + 2;  // the usual name="number", without the search
  } else {
    number = FindNumber(after, tag.end);
    if (number == nullptr) return kGpxNoNumber;
    if (number == tag.end) return kGpxOutOfRange;  // a value with no number in it
  }
  *value = ParseDouble(number);
  return kReadOk;
}

// The coordinates of a point tag.
int ReadTagCoordinates(const TagText& tag, TrackPoint* point) {
  int result = ReadCoordinate(tag, "lat", &point->latitude);
  if (result != kReadOk) return result;
  if (!LatitudeInRange(point->latitude)) return kGpxOutOfRange;
  result = ReadCoordinate(tag, "lon", &point->longitude);
  if (result != kReadOk) return result;
  if (!LongitudeInRange(point->longitude)) return kGpxOutOfRange;
  return kReadOk;
}

// Route points, read only for files with too few track points: every tag
// through the tag buffer, with the tests the device applies to "trkpt".
int ReadGpxRoutePoint(TrackPoint* point) {
  for (;;) {
    if (ReadGpxTag(GpxTagBuffer, kGpxTagReadSize) != kGpxTagOk) return kReadEnd;
    if (std::strstr(GpxTagBuffer, "rtept") != nullptr &&
        std::strstr(GpxTagBuffer, "/rtept") == nullptr) {
      break;
    }
  }
  TagText tag;
  tag.begin = GpxTagBuffer;
  tag.end = tag.begin + std::strlen(tag.begin);
  tag.readable = Bytes(GpxTagBuffer) + kGpxTagBufferSize;
  return ReadTagCoordinates(tag, point);
}

// The next tag whose text lies whole in the stream's window and is not cut:
// [*text, *text_end) with the ">" at *text_end, which is consumed. False,
// with the stream left at the "<" (or at the window's end when there is
// none), when the tag must be read by ReadGpxTag instead.
bool NextTagInWindow(ByteStream* in, const char** text, const char** text_end) {
  const unsigned char* end = in->end;
  const unsigned char* open = FindByte(in->next, end, '<');
  if (open == end) {
    in->next = in->end;
    return false;
  }
  const unsigned char* start = open + 1;
  const unsigned char* limit = end - start > kGpxTagKept ? start + kGpxTagKept + 1 : end;
  const unsigned char* close = FindByteWithin(start, limit, end, '>');
  if (close == limit) {
    in->next = const_cast<unsigned char*>(open);
    return false;
  }
  in->next = const_cast<unsigned char*>(close) + 1;
  *text = reinterpret_cast<const char*>(start);
  *text_end = reinterpret_cast<const char*>(close);
  return true;
}

}  // namespace

int ReadGpxTag(char* buffer, int size) {
  buffer[0] = 0;
  buffer[size - 1] = 0;
  ByteStream* in = InputStream;
  if (!SkipPast(in, '<')) return kGpxTagNone;

  char* out = buffer;
  char* const out_end = buffer + (size - 2);
  while (out < out_end) {
    unsigned char* p = in->next;
    unsigned char* end = in->end;
    if (p == end) {
      int c = StreamRefillGetc(in);
      if (c < 0) return kGpxTagCut;
      if (c == '>') break;
      *out++ = static_cast<char>(c);
      continue;
    }
    if (end - p > out_end - out) end = p + (out_end - out);
    while (p < end && *p != '>') *out++ = static_cast<char>(*p++);
    if (p < end) {
      in->next = p + 1;  // the ">" is consumed, not stored
      break;
    }
    in->next = p;
  }
  *out = 0;
  return kGpxTagOk;
}

namespace {

// The general path: every tag is read and tested in turn. Kept out of line so
// that ReadGpxPoint stays a thin dispatcher.
[[gnu::noinline]] int ReadGpxPointByTags(TrackPoint* point) {
  ByteStream* in = InputStream;
  TagText tag;
  for (;;) {
    if (NextTagInWindow(in, &tag.begin, &tag.end)) {
      tag.readable = in->end;
      // Most tags hold no "trkpt" at all (many are too short to); only those
      // that do are cut at a NUL, where the tag's text ends as a C string.
      if (tag.end - tag.begin < 5 || FindTrackPointName(tag, tag.begin) == nullptr) continue;
      const void* nul = std::memchr(tag.begin, 0, static_cast<size_t>(tag.end - tag.begin));
      if (nul != nullptr) tag.end = static_cast<const char*>(nul);
    } else {
      if (ReadGpxTag(GpxTagBuffer, kGpxTagReadSize) != kGpxTagOk) return kReadEnd;
      tag.begin = GpxTagBuffer;
      tag.end = tag.begin + std::strlen(tag.begin);
      tag.readable = Bytes(GpxTagBuffer) + kGpxTagBufferSize;
    }
    if (NamesTrackPoint(tag)) break;
  }
  return ReadTagCoordinates(tag, point);
}

}  // namespace

int ReadGpxPoint(TrackPoint* point) {
  if (GpxPointElement == kGpxRoutePoints) return ReadGpxRoutePoint(point);
  if (GpxFastPath != 0) {
    int result = ScanGpxTrackPoint(InputStream, point);
    if (result != kGpxUseTagReader) return result;
  }
  return ReadGpxPointByTags(point);
}
