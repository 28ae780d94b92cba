#pragma once

/// The input format a file name suggests: its last four characters, in any
/// case, ".gpx", ".mps" or ".plt"; anything else is read as an NMEA log.
int InputKindFromExtension(const char16_t* path);
