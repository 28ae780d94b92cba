// The text line reader shared by the PLT header check and the PLT and NMEA
// point readers.
#pragma once

#include "host/file_stream.h"

/// Reads one non-empty line into `buffer` (at least limit+1 bytes) and
/// terminates it. Bytes 0, CR and LF end a line; runs of them are passed over,
/// so blank lines are never returned and CR, LF and CR LF line ends all work.
/// A line longer than `limit` keeps its first `limit` characters and the rest
/// is passed over. A last line with no line end is returned too.
/// Returns the characters stored (1..limit), or -1 when the input ends before
/// any character of a line.
int ReadTextLine(ByteStream* stream, char* buffer, int limit);
