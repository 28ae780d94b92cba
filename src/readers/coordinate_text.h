// The coordinate texts of the structured formats (TCX, KML, GeoJSON): a
// bounded buffer that gathers a text handed over in pieces, and the number
// rules every such reader applies. A coordinate is a decimal number,
// optionally signed, with optional fraction and exponent, and optionally
// surrounded by white space; anything else (empty, a word, inf, nan, a
// number with trailing letters) holds no number and skips the point.
// Numbers are read by ParseDouble, never by the locale.
#pragma once

#include <cstddef>

#include "common/types.h"

constexpr size_t kCoordinateTextSize = 128;

struct CoordinateText {
  char bytes[kCoordinateTextSize] = {};  // terminated after `length` bytes
  size_t length = 0;
  bool overflow = false;  // more than fits: holds no number

  void Clear() {
    length = 0;
    bytes[0] = 0;
    overflow = false;
  }
  bool Empty() const { return length == 0 && !overflow; }
  /// Appends a piece; white space before the first other byte is dropped.
  void Append(const char* text, size_t size);
};

/// Space, tab, CR or LF: the white space of XML and JSON.
inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/// The plain form of a number at `p`: an optional sign, digits, an optional
/// "." and digits; at most 19 digits in all, of value below 2^53, at most 22
/// after the point, and no exponent after them. Its value into `value`,
/// bit for bit what ParseDouble gives; returns where the number ends, or
/// null (and no value) when the text at `p` is not of that form.
const char* ReadPlainDecimal(const char* p, const char* end, double* value);

/// The number `text` [size bytes] holds, into `value`; false when it holds
/// none. The byte at text[size] must be readable and end a number (white
/// space, a separator or a terminator).
bool ReadNumberText(const char* text, size_t size, double* value);

/// One number, such as a TCX LatitudeDegrees.
bool ReadDegrees(const CoordinateText& text, double* value);

/// "lon<separator>lat[<separator>...]" into `point`; with separator ' ' the
/// fields are split at runs of white space. False when either of the first
/// two fields holds no number or the point is out of bounds.
bool ReadLonLat(const CoordinateText& text, char separator, TrackPoint* point);

/// The same for the text [begin, end); the byte at `end` must be readable
/// and end a number.
bool ReadLonLatSpan(const char* begin, const char* end, char separator, TrackPoint* point);
