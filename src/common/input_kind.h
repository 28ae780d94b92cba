#pragma once

/// The input format a file name suggests, from its ending in any case, after
/// taking off a ".gz": ".gpx", ".mps", ".plt", ".fit", ".igc", ".tcx", ".kml"
/// or ".kmz", ".geojson" or ".json"; anything else is read as an NMEA log.
int InputKindFromExtension(const char16_t* path);
