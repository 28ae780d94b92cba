// The program-wide state that several modules share. Everything runs on one
// thread; nothing here is locked. ResetGlobalsForTest puts all of it back to
// the values a fresh start of the program has.
#pragma once

#include <cstdint>

#include "common/types.h"
#include "host/file_stream.h"

constexpr int kInputPathSize = 2040;   // characters of storage, terminator included
constexpr int kOutputPathSize = 2048;  // characters of storage, terminator included
constexpr int kLineBufferSize = 160;   // bytes; lines are read with a limit of 150
constexpr int kLineLimit = 150;

/// The device's default output file.
inline constexpr char16_t kDefaultOutputPath[] =
    u"\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin";

extern char16_t InputPath[kInputPathSize];    // the file to convert
extern int InputKind;                         // kInputGpx .. kInputNmea; 1 at start
extern char16_t OutputPath[kOutputPathSize];  // the track file written
extern int DoSplit;                           // nonzero: new track at gaps over 1000 m
extern int ThinShape;                         // nonzero: thin by shape, not evenly
extern int StrictInput;                       // nonzero: the device's reading only, no fallbacks
extern ByteStream* InputStream;               // open input during a run, else null
extern ByteStream* OutputStream;              // open output during a run, else null
extern char LineBuffer[kLineBufferSize];      // shared line and record buffer of the readers
extern TrackPoint CurrentPoint;               // the point every reader fills
extern int32_t StartOffset;                   // input position where the points begin
extern int32_t MpsReaderState;                // 0 no track open, 1 at a track header, 2 in points
extern int32_t MpsNextRecordPos;              // file offset of the next MapSource record
extern int32_t MpsRemainingPoints;            // points of the current track not yet read
extern int InputFlaws;                        // kFlaw* bits: what a run found amiss but read past
extern int GpxFastPath;                       // nonzero: the GPX reader's fast path is on; 1 at start

/// InputFlaws bits, each a warning of its own after the run.
constexpr int kFlawFitHeaderOrChecksum = 1;  // a ".FIT" signature or a CRC does not match
constexpr int kFlawCompressedData = 2;       // the gzip data is damaged or cut short

/// Back to the values of a fresh start (defaults, no streams, empty log).
void ResetGlobalsForTest();
