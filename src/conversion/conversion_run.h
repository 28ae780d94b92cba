// One conversion run: the file at InputPath, read as InputKind, becomes the
// track file at OutputPath, following DoSplit. Everything the user learns of
// it goes to the MessageLog.
#pragma once

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

/// Converts InputPath into OutputPath. Opens and closes both streams.
int ConvertTrack();

/// Counts the points from the start offset, rewinds, and stores them into the
/// TrackImage, thinning a recording of more than 9996 points and flagging
/// track starts. Closes the input on every failure.
int RunPointPass();

/// Tests only: when set, called after the counting pass and before the input
/// is rewound for the storing pass, so a test can change the input in between.
extern void (*BetweenPassesHookForTest)();

/// Reads the next usable point of the input into `point`, passing over the
/// records the reader skips. 0 or a negative ReadResult; -100 for an unknown
/// InputKind.
int ReadNextPoint(TrackPoint* point);
