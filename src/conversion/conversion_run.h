// One conversion run: the file at InputPath, read as InputKind, becomes the
// track file at OutputPath, following DoSplit. Everything the user learns of
// it goes to the MessageLog.
#pragma once

#include <vector>

#include "common/types.h"

/// Results of ConvertTrack.
constexpr int kConvertOk = 0;
constexpr int kConvertOpenFailed = 2;   // input open, header, or output open
constexpr int kConvertWriteFailed = 3;  // the output could not be written
constexpr int kConvertPassFailed = 10;  // RunPointPass failed

/// Results of RunPointPass.
constexpr int kPassOk = 0;
constexpr int kPassTooShort = 5;
constexpr int kPassTellFailed = 11;
constexpr int kPassSeekFailed = 13;
constexpr int kPassReadFailed = 14;

/// Why the last ConvertTrack failed, for the batch front end's messages.
constexpr int kRunOk = 0;
constexpr int kRunInputOpenFailed = 1;  // the system refused to open the input
constexpr int kRunInputReadFailed = 2;  // a read, tell or seek of the input failed
constexpr int kRunInputRejected = 3;    // its content: header, too few points, changed
constexpr int kRunOutputOpenFailed = 4;
constexpr int kRunOutputWriteFailed = 5;  // a write, or committing the file
constexpr int kRunOutputIsInput = 6;      // the output names the input file itself
extern int RunFailure;
extern int RunErrno;       // errno of the failed system call, 0 when unknown
extern int CountedPoints;  // points found by the counting pass of the reading used

/// Where the last run stood: the index of the input it was counting or
/// storing (the one it failed on), and the points the counting pass found in
/// each input counted so far, in order. The counts mark where each input
/// starts and ends in the one sequence of points that the storing pass thins.
extern int RunInputIndex;
extern std::vector<int> InputPointCounts;

/// One input of a run: the path it is opened by, the kind it is read as, and
/// the name its "Input file:" line shows (null: the path).
struct RunInput {
  const char16_t* path;
  int kind;
  const char16_t* log_name;
};

/// When set, the log's "Input file:" line shows this name instead of
/// InputPath (standard input, copied to a temporary file, shows as "-").
extern const char16_t* InputLogName;

/// Converts InputPath into OutputPath. Opens and closes both streams.
int ConvertTrack();

/// Converts `count` inputs (at least one), in order, into one track file at
/// OutputPath. Each input is opened, checked and counted completely before
/// the next: its "Input file:" line (the first one over the log, the others
/// appended), its header and its own fallback reading; the first that fails
/// stops the run with its message and result, before anything is written.
/// The storing pass then reads exactly the points counted in each input,
/// thins them as one sequence (by shape when ThinShape is set, which keeps
/// every input's first and last point), and starts a track at the first
/// stored point of every input. InputPath and InputKind are those of the input the run is
/// at; at the end, those of the last input. With one input this is
/// ConvertTrack.
int ConvertTracks(const RunInput* inputs, int count);

/// Counts the points from the start offset, rewinds, and stores them into the
/// TrackImage, thinning a recording of more than 9996 points (evenly, or by
/// shape when ThinShape is set: shape_thinning.h) and flagging track starts.
/// Closes the input on every failure. When the device's reading
/// counts fewer than two points and StrictInput is off, an NMEA log is
/// counted again as RMC of all talkers, then as GGA fixes, and a GPX file as
/// route points; the first reading with two points is stored and named in
/// the log. The readers are back at the device's reading when it returns.
int RunPointPass();

/// Tests only: when set, called after the counting pass and before the input
/// is rewound for the storing pass, so a test can change the input in between.
extern void (*BetweenPassesHookForTest)();

/// Reads the next usable point of the input into `point`, passing over the
/// records the reader skips. 0 or a negative ReadResult; -100 for an unknown
/// InputKind.
int ReadNextPoint(TrackPoint* point);
