#include "readers/text_line.h"

namespace {

bool EndsLine(int c) { return c == 0 || c == '\r' || c == '\n'; }

}  // namespace

int ReadTextLine(ByteStream* stream, char* buffer, int limit) {
  int c;
  do {
    c = StreamGetc(stream);
    if (c < 0) return -1;
  } while (EndsLine(c));

  int count = 0;
  buffer[count++] = static_cast<char>(c);
  while (count < limit) {
    c = StreamGetc(stream);
    if (c < 0 || EndsLine(c)) {
      buffer[count] = 0;
      return count;
    }
    buffer[count++] = static_cast<char>(c);
  }
  buffer[count] = 0;
  // The line is longer than the limit: pass over its tail.
  do {
    c = StreamGetc(stream);
  } while (c >= 0 && !EndsLine(c));
  return limit;
}
