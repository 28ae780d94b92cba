// The MessageLog: the text the main window shows, 10000 UTF-16 characters of
// storage. Every progress and error message of a conversion lands here.
//
// A sink, when set, receives every text that is appended to the log or copied
// over it, whole and in order, whatever the log's capacity cut off; batch mode
// prints through it. A repaint hook, when set, redraws the window at once;
// AppendLog calls it so that messages show while a conversion runs.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kMessageLogSize = 10000;  // characters, terminator included
constexpr size_t kLogResetLength = 1000;   // AppendLog empties a log longer than this

extern char16_t MessageLog[kMessageLogSize];

/// How a text reached the log, for the sink.
constexpr int kLogAppended = 0;  // added at the end
constexpr int kLogReplaced = 1;  // copied over the old text

using LogSink = void (*)(const char16_t* text, size_t length, int how);
using LogRepaint = void (*)();

void SetLogSink(LogSink sink);
void SetLogRepaint(LogRepaint repaint);

/// Empties the log if it holds more than 1000 characters, appends `text`, then
/// repaints the window before returning.
void AppendLog(const char16_t* text);

/// Appends `path` straight into the buffer, with "\r\n" before every backslash
/// so that a long path breaks at its folder separators. No reset, no repaint.
void AppendPathToLog(const char16_t* path);

/// Appends `text` straight into the buffer: no reset, no repaint.
void AppendToLogBuffer(const char16_t* text);

/// Copies `text` over the log, replacing what it held. No repaint.
void CopyToLog(const char16_t* text);

/// Repaints the window through the hook, if one is set.
void RepaintLog();

/// Empties the log (the sink is not told: nothing was written).
void ClearLog();

/// Characters the log holds now.
size_t LogLength();

/// `path` as AppendPathToLog writes it: "\r\n" before every backslash.
std::u16string ExpandPathForLog(const char16_t* path);
