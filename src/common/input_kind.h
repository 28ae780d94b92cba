#pragma once

/// The input format a file name suggests, by its ending in any case: ".gpx",
/// ".mps", ".plt", ".tcx", ".kml" or ".kmz", ".geojson" or ".json";
/// anything else is read as an NMEA log.
int InputKindFromExtension(const char16_t* path);
