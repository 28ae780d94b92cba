#include "common/input_kind.h"

#include "common/types.h"
#include "host/text.h"

namespace {

bool EndsWith(const char16_t* path, size_t length, const char16_t* ending) {
  if (length < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (FoldAscii(path[length - 4 + i]) != ending[i]) return false;
  }
  return true;
}

}  // namespace

int InputKindFromExtension(const char16_t* path) {
  size_t length = WideLength(path);
  if (EndsWith(path, length, u".gpx")) return kInputGpx;
  if (EndsWith(path, length, u".mps")) return kInputMps;
  if (EndsWith(path, length, u".plt")) return kInputPlt;
  return kInputNmea;
}
