// GPX track points. This is a tag scanner, not an XML parser: it looks at the
// text between each "<" and the next ">", takes the tags that name a trkpt
// element (with or without a namespace prefix) and reads the numbers after the
// first "lat" and the first "lon" in them. Everything else in the file, text
// content, other elements and nesting alike, is passed over.
#pragma once

#include "common/types.h"

/// The tag buffer: tags are read with size kGpxTagReadSize and keep at most
/// kGpxTagReadSize - 2 characters; the spare bytes keep the terminator in bounds.
constexpr int kGpxTagBufferSize = 1004;
constexpr int kGpxTagReadSize = 1000;

extern char GpxTagBuffer[kGpxTagBufferSize];  // the tag ReadGpxPoint looks at

/// Results of ReadGpxTag.
constexpr int kGpxTagOk = 0;
constexpr int kGpxTagNone = -1;  // the file ended before a "<"
constexpr int kGpxTagCut = -2;   // the file ended inside a tag

/// Results of ReadGpxPoint beside kReadOk and kReadEnd.
constexpr int kGpxNoAttribute = 1;   // a trkpt tag without "lat" or without "lon"
constexpr int kGpxNoNumber = 2;      // nothing numeric after the attribute name
constexpr int kGpxOutOfRange = 3;    // a coordinate out of range, or NaN, or a
                                     // quoted value with no number in it

/// The element ReadGpxPoint takes: track points (the device's reading) or,
/// when a file has fewer than two of those, route points. The conversion run
/// sets it for each reading; waypoints are never read as a track.
constexpr int kGpxTrackPoints = 0;  // "trkpt"
constexpr int kGpxRoutePoints = 1;  // "rtept"
extern int GpxPointElement;

/// Reads the next tag of the input stream into `buffer` (`size` >= 2 bytes):
/// passes over everything up to and including the next "<", then stores the
/// bytes up to the next ">" (not stored), at most size - 2 of them, and
/// terminates them. A longer tag is cut and its remainder is passed over by the
/// next call. buffer[0] and buffer[size - 1] are always set to 0.
int ReadGpxTag(char* buffer, int size);

/// Reads tags until one names a trkpt element ("trkpt" in its text but not
/// "/trkpt"; "rtept" and "/rtept" when GpxPointElement is kGpxRoutePoints)
/// and reads its coordinates into `point`. The number of an attribute is the
/// first digit or minus sign after its name, within its value: one that only
/// starts past the value's closing quote makes the point malformed. The tag
/// text is a C string: a NUL byte ends it for the tests and the number reads.
/// While GpxFastPath is on, track points of the common shape and the tags
/// between them are read in place (gpx_point_scan.h), with the same results.
int ReadGpxPoint(TrackPoint* point);
