// The GPX reader's fast path. Nearly every tag of a GPX file is either a
// track point of the common shape
//
//     <trkpt lat="47.1" lon="8.5">   (also "/>", and <ns:trkpt ...>)
//
// or a tag with no "trkpt" in it at all. ScanGpxTrackPoint reads both kinds
// in place in the stream's read window: it passes over the second kind with
// one search for the end of each tag, and reads the coordinates of the first
// while it finds the tag's end, with no copy of its text. Whatever else it
// meets is left to the general tag reader (ReadGpxPoint), whose results
// define what is right: the fast path gives exactly the same results, the
// same points to the bit and the same stream position, on every input.
#pragma once

#include "common/types.h"
#include "host/file_stream.h"

/// ScanGpxTrackPoint's answer when the next tag must go to the general
/// reader; the stream then stands at that tag's "<" (or at the end of the
/// input).
constexpr int kGpxUseTagReader = 100;

/// Reads tags from `in` until a track point of the common shape, and returns
/// ReadGpxPoint's result for it (a point, or kGpxOutOfRange). Returns
/// kGpxUseTagReader at the first tag it does not read itself: a track point
/// of any other shape, a closing tag with a namespace prefix, a tag cut at
/// 998 characters or crossing the end of the read window, and the end of the
/// input.
int ScanGpxTrackPoint(ByteStream* in, TrackPoint* point);

/// Reads the plain decimal number "-?d+(.d*)?" at `text` into `*value` and
/// returns the byte after it. When that byte cannot continue a number (the
/// fast path requires the closing quote there), the value is to the bit what
/// ParseDouble gives. Null when there is no such number, when it has more
/// than 3 whole digits, more than 19 digits or more than 53 bits of them
/// (ParseDouble's general conversion takes those), or when it reaches
/// `stop`. Reads at most 8 bytes past `stop`, which must be readable.
const unsigned char* ParsePlainDecimal(const unsigned char* text, const unsigned char* stop,
                                       double* value);
