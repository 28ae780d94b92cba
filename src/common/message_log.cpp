#include "common/message_log.h"

#include "host/text.h"

char16_t MessageLog[kMessageLogSize];

namespace {

size_t g_log_length = 0;  // characters before the terminator
LogSink g_sink = nullptr;
LogRepaint g_repaint = nullptr;

// Appends as much of text as fits; the log always keeps its terminator.
void PutText(const char16_t* text, size_t length) {
  size_t room = kMessageLogSize - 1 - g_log_length;
  size_t take = length < room ? length : room;
  for (size_t i = 0; i < take; ++i) MessageLog[g_log_length + i] = text[i];
  g_log_length += take;
  MessageLog[g_log_length] = 0;
}

void Tell(const char16_t* text, size_t length, int how) {
  if (g_sink != nullptr) g_sink(text, length, how);
}

}  // namespace

void SetLogSink(LogSink sink) { g_sink = sink; }
void SetLogRepaint(LogRepaint repaint) { g_repaint = repaint; }

size_t LogLength() { return g_log_length; }

void ClearLog() {
  g_log_length = 0;
  MessageLog[0] = 0;
}

void AppendLog(const char16_t* text) {
  if (g_log_length > kLogResetLength) ClearLog();
  size_t length = WideLength(text);
  PutText(text, length);
  Tell(text, length, kLogAppended);
  RepaintLog();
}

void RepaintLog() {
  if (g_repaint != nullptr) g_repaint();
}

void AppendToLogBuffer(const char16_t* text) {
  size_t length = WideLength(text);
  PutText(text, length);
  Tell(text, length, kLogAppended);
}

std::u16string ExpandPathForLog(const char16_t* path) {
  std::u16string out;
  for (const char16_t* c = path; *c != 0; ++c) {
    if (*c == u'\\') out += u"\r\n";
    out += *c;
  }
  return out;
}

void AppendPathToLog(const char16_t* path) {
  std::u16string expanded = ExpandPathForLog(path);
  PutText(expanded.data(), expanded.size());
  Tell(expanded.data(), expanded.size(), kLogAppended);
}

void CopyToLog(const char16_t* text) {
  ClearLog();
  size_t length = WideLength(text);
  PutText(text, length);
  Tell(text, length, kLogReplaced);
}
