// IGC flight logs (.igc), as gliding loggers write them. Only B records are
// read; every other line is passed over.
//
//   B HHMMSS DDMMmmm N DDDMMmmm E V ...
//   0 1      7       14 15      23 24
//
// "B", 6 time digits, 7 latitude digits (degrees, minutes and thousandths of
// minutes), N or S, 8 longitude digits, E or W, fix validity A (3D) or V (2D;
// its position is valid too). The rest of the line is not looked at.
// Latitude is DD + MMmmm / 60000, negative for S; longitude likewise,
// negative for W.
#pragma once

#include <cstddef>

#include "common/types.h"

/// Results of ReadIgcPoint beside kReadOk and kReadEnd.
constexpr int kIgcNotBRecord = 1;  // another record, or a B record out of shape
constexpr int kIgcOutOfRange = 3;

constexpr int kIgcBRecordSize = 25;  // up to and including the validity byte

/// Reads the next line of the input stream and its point, when it is a B record.
int ReadIgcPoint(TrackPoint* point);

/// The point of one line of `length` bytes; kIgcNotBRecord when it is no B
/// record.
int ParseIgcBRecord(const char* line, size_t length, TrackPoint* point);
