#include "common/input_kind.h"

#include "common/types.h"
#include "host/text.h"

namespace {

// Whether the first `length` characters of `path` end in `ending` (lower
// case), in any case.
bool EndsWith(const char16_t* path, size_t length, const char16_t* ending) {
  size_t size = WideLength(ending);
  if (length < size) return false;
  for (size_t i = 0; i < size; ++i) {
    if (FoldAscii(path[length - size + i]) != ending[i]) return false;
  }
  return true;
}

}  // namespace

int InputKindFromExtension(const char16_t* path) {
  size_t length = WideLength(path);
  // A compressed file is of the kind of its name without ".gz".
  if (EndsWith(path, length, u".gz")) length -= 3;
  if (EndsWith(path, length, u".gpx")) return kInputGpx;
  if (EndsWith(path, length, u".mps")) return kInputMps;
  if (EndsWith(path, length, u".plt")) return kInputPlt;
  if (EndsWith(path, length, u".fit")) return kInputFit;
  if (EndsWith(path, length, u".igc")) return kInputIgc;
  if (EndsWith(path, length, u".tcx")) return kInputTcx;
  if (EndsWith(path, length, u".kml") || EndsWith(path, length, u".kmz")) return kInputKml;
  if (EndsWith(path, length, u".geojson") || EndsWith(path, length, u".json")) {
    return kInputGeoJson;
  }
  return kInputNmea;
}
