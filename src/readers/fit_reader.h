// FIT activity files (.fit), as sports watches and bike computers write them.
// Only the positions of record messages are read; everything else is passed
// over by its size.
//
//   file header    header size H (>= 12) bytes:
//     0            H
//     1            protocol version
//     2..3         profile version
//     4..7         data size D, little-endian
//     8..11        ".FIT"
//     12..13       header CRC (when H >= 14; 0 means none)
//   data           D bytes of messages
//   file CRC       2 bytes, little-endian, over the header and the data
//   and possibly another FIT file right after it (a chained file).
//
//   message header byte:
//     bit 7 set    compressed timestamp: a data message of local type
//                  bits 5..6
//     bit 6 set    definition message of local type bits 0..3; bit 5 set:
//                  developer fields follow its fields
//     otherwise    data message of local type bits 0..3
//
//   definition:    reserved, architecture (0 little-, 1 big-endian), global
//                  message number (2 bytes), field count N, N x (number,
//                  size, base type); with developer fields a count M and
//                  M x (number, size, index).
//   data message:  the fields' bytes in the defined order and sizes, then the
//                  developer fields' bytes.
//
// A point is a record message (global 20) whose definition holds
// position_lat (field 0) and position_long (field 1), 4 bytes each, and whose
// values are both not 0x7FFFFFFF. Both are semicircles, 2^31 to 180 degrees.
//
// The reading stops at the first thing that cannot be read (a cut anywhere,
// a header size below 12, an architecture other than 0 or 1, a data message
// of an undefined local type, a message running past its file's data),
// keeping the points before, and logs "Track read error!\r\n" once. The
// signature and the CRCs are checked in the first pass only and a mismatch
// only sets kFlawFitHeaderOrChecksum in InputFlaws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/types.h"

constexpr int kFitMinHeaderSize = 12;
constexpr int kFitRecordMessage = 20;
constexpr int kFitLatitudeField = 0;
constexpr int kFitLongitudeField = 1;
constexpr int32_t kFitInvalidPosition = 0x7FFFFFFF;

/// Results of ReadFitPoint beside kReadOk and kReadEnd.
constexpr int kFitBroken = -2;  // the reading stopped at a fault (logged once)

/// Starts a pass over the input from its first byte: no file open, no local
/// definitions. With `check` set the signatures and CRCs are compared.
void StartFitPass(int check);

/// The next point of the input stream's FIT data.
int ReadFitPoint(TrackPoint* point);

/// The FIT CRC-16 of `size` bytes, continuing from `crc`.
uint16_t FitCrc(uint16_t crc, const unsigned char* data, size_t size);
