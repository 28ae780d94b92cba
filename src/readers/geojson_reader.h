// GeoJSON tracks: the positions ([lon, lat, ...]) of every LineString and
// MultiLineString geometry, bare or in a Feature, FeatureCollection or
// GeometryCollection, in document order. Only the members "features",
// "geometry" and "geometries" are followed; foreign members are not
// searched. A position whose first two members are not both numbers, or
// that is out of the bounds every reader applies, is skipped. The "type"
// member must come before "coordinates" in its object; coordinates that
// come first are not read (no writer we know of puts them first).
//
// RapidJSON's SAX reader parses the stream without building a document. It
// runs until a batch of points waits and is then stopped at a position's
// closing bracket; to go on, it is started afresh on a few bytes that open
// the same arrays and objects again, followed by the rest of the stream.
// Nesting deeper than kJsonMaxDepth, or a single token or gap longer than
// kJsonMaxToken bytes, ends the reading: memory stays flat. A UTF-8 byte
// order mark is skipped. A document that stops being well formed keeps the
// points before the fault: the reader logs "Track read error!" once and
// ends.
#pragma once

#include <cstddef>

#include "common/types.h"

constexpr int kJsonMaxDepth = 1000;
constexpr size_t kJsonMaxToken = 1024 * 1024;

/// The next point of the input stream: kReadOk or kReadEnd.
int ReadGeoJsonPoint(TrackPoint* point);

/// Drops the reader's state: the next read starts at the stream's position.
/// The conversion run calls it before each pass.
void RestartGeoJsonReader();

/// Whether the last pass met a Point, MultiPoint, Polygon or MultiPolygon
/// geometry, for the survey of a rejected file.
bool GeoJsonSawOtherGeometry();
/// Whether the last pass ended at a fault. Both are kept until the next pass
/// starts.
bool GeoJsonMalformed();
