// TCX and KML tracks, read with expat as a stream of blocks: the parser runs
// until it has queued a batch of points, is suspended, and is resumed when
// the queue is empty, so memory stays flat at any input size.
//
// TCX: every Trackpoint (at any depth: Activities, Courses, sessions) with
// a Position child whose LatitudeDegrees and LongitudeDegrees children hold
// numbers. KML: every "lon,lat[,alt]" tuple of the coordinates of every
// LineString, separated by any XML white space, and every gx:coord
// ("lon lat [alt]") of a gx:Track, in document order, wherever they stand.
// Element names are matched without their namespace prefix. A coordinate
// with no number in it, or out of the bounds every reader applies, skips
// the point.
//
// A KML input that starts with "PK\3\4" is a KMZ: its first ".kml" entry
// is read (kmz_entry.h).
//
// Expat checks and reads the document, but the bulk of a typical file, simple
// markup (tags without attributes, text without references, ASCII) and the
// text of KML coordinates, is read straight from the stream between expat's
// events, with the same handlers and the same well-formedness rules; expat is
// given the tags it missed and takes over at anything else.
//
// Hostile input stays bounded: expat's memory is capped, an internal entity
// longer than kXmlMaxEntityValue is refused, and expat's own amplification
// limit stops nested entity expansion. A document that stops being well
// formed keeps the points before the fault: the reader logs "Track read
// error!" once and ends.
#pragma once

#include <cstddef>

#include "common/types.h"

/// Why a pass ended, for the survey of a rejected file.
constexpr int kXmlEnded = 0;      // the document's end
constexpr int kXmlMalformed = 1;  // not well formed, cut short, or a limit reached
constexpr int kXmlKmzNoKml = 2;   // a KMZ without a ".kml" entry
constexpr int kXmlKmzBroken = 3;  // a KMZ whose directory or entry cannot be read

constexpr size_t kXmlMaxMemory = 4 * 1024 * 1024;  // bytes expat may hold
constexpr int kXmlMaxEntityValue = 4096;           // characters of an internal entity

/// The next point of the input stream, read as TCX or as KML (or KMZ):
/// kReadOk or kReadEnd; points without numbers or out of bounds are passed
/// over inside.
int ReadTcxPoint(TrackPoint* point);
int ReadKmlPoint(TrackPoint* point);

/// Drops the parser: the next read starts at the stream's position with a
/// fresh one. The conversion run calls it before each pass.
void RestartXmlReader();

/// How the last pass ended (kXmlEnded ...); kept until the next pass starts.
int XmlReaderEnding();
