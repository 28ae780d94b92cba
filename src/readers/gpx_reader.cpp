#include "readers/gpx_reader.h"

#include <cstddef>

#include "common/globals.h"
#include "common/numbers.h"
#include "readers/plt_reader.h"

char GpxTagBuffer[kGpxTagBufferSize];

namespace {

// The loops below work on the stream's read window through local pointers,
// so that the byte scans run in registers: the text between tags and the tags
// themselves are the bulk of a GPX file, every byte of it is scanned twice per
// run, and both are mostly a few dozen bytes long, too short to repay a
// library call per piece.

// Consumes the input up to and including the next `byte`; false at the end.
bool SkipPast(ByteStream* in, unsigned char byte) {
  for (;;) {
    unsigned char* p = in->next;
    unsigned char* end = in->end;
    while (p < end && *p != byte) ++p;
    if (p < end) {
      in->next = p + 1;
      return true;
    }
    in->next = in->end;
    int c = StreamRefillGetc(in);
    if (c < 0) return false;
    if (c == byte) return true;
  }
}

// strstr for the short names looked for in a tag: the library's general
// search costs more to set up than these few-byte scans take.
const char* FindName(const char* text, const char* name) {
  for (; *text != 0; ++text) {
    if (*text != name[0]) continue;
    // text[i] is in bounds: text[i - 1] matched a non-NUL name byte.
    size_t i = 1;
    while (name[i] != 0 && text[i] == name[i]) ++i;
    if (name[i] == 0) return text;
  }
  return nullptr;
}

// "trkpt" in the tag but not "/trkpt", in one pass over its occurrences.
bool NamesTrackPoint(const char* tag) {
  bool found = false;
  for (const char* p = tag; (p = FindName(p, "trkpt")) != nullptr; ++p) {
    if (p > tag && p[-1] == '/') return false;
    found = true;
  }
  return found;
}

// Moves the number start forward to the first digit or minus sign; null when
// the text ends first.
const char* FindNumber(const char* text) {
  for (;; ++text) {
    char c = *text;
    if (c == 0) return nullptr;
    if ((c >= '0' && c <= '9') || c == '-') return text;
  }
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

int ReadGpxPoint(TrackPoint* point) {
  const char* tag = GpxTagBuffer;
  do {
    if (ReadGpxTag(GpxTagBuffer, kGpxTagReadSize) != kGpxTagOk) return kReadEnd;
  } while (!NamesTrackPoint(tag));

  const char* name = FindName(tag, "lat");
  if (name == nullptr) return kGpxNoAttribute;
  const char* number = FindNumber(name);
  if (number == nullptr) return kGpxNoNumber;
  point->latitude = ParseDouble(number);
  if (!LatitudeInRange(point->latitude)) return kGpxOutOfRange;

  name = FindName(tag, "lon");
  if (name == nullptr) return kGpxNoAttribute;
  number = FindNumber(name);
  if (number == nullptr) return kGpxNoNumber;
  point->longitude = ParseDouble(number);
  if (!LongitudeInRange(point->longitude)) return kGpxOutOfRange;
  return kReadOk;
}
