// Why an input gave no track: a second look at a file the conversion run
// rejected, for the one line batch mode prints on standard error. It counts
// what the file holds (NMEA sentences, GPX point tags, MapSource records) and
// recognises the first bytes of the other kinds, so that a file read as the
// wrong kind is named as such. Runs only after a failed run; the conversion
// never calls it. The same first bytes pick the kind of a file the input
// dialog chose under "All files".
#pragma once

#include <cstddef>
#include <string>

/// The first bytes' kind: "MsRcd" and a zero byte (MPS); "PK\3\4" (a KMZ,
/// so KML); after an optional UTF-8 byte order mark the PLT first line;
/// after white space too, a "<" with "<TrainingCenterDatabase" (TCX), "<kml"
/// (KML), "<gpx" or the XML declaration (GPX) in the bytes, a "{" (GeoJSON)
/// or a "$" (NMEA); 0 when none fits.
int GuessInputKind(const char* bytes, size_t length);

/// The kind to read the file at `path` (a device or host path) as: what its
/// first bytes say, else what its name says (InputKindFromExtension), as
/// batch mode goes by the name. For a dialog's "All files" choice.
int InputKindOfFile(const char16_t* path);

/// What InputPath, read as InputKind, holds and what to try, as one line
/// without "wayconv: " and line end: `name` is the file as the user knows
/// it, `result` the conversion's result code (2 or 10) and the run's
/// RunFailure and CountedPoints say where it stopped. Empty when the file
/// cannot be read again.
std::string DescribeRejectedInput(const std::string& name, int result);
