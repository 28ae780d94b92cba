#include "common/input_kind.h"

#include "common/types.h"
#include "host/text.h"

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

// The path ends with `ending` (lower case), in any case.
bool EndsWith(const char16_t* path, size_t length, std::u16string_view ending) {
  if (length < ending.size()) return false;
  const char16_t* tail = path + (length - ending.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    if (Lower(tail[i]) != ending[i]) return false;
  }
  return true;
}

}  // namespace

int InputKindFromExtension(const char16_t* path) {
  size_t length = WideLength(path);
  if (EndsWith(path, length, u".gpx")) return kInputGpx;
  if (EndsWith(path, length, u".mps")) return kInputMps;
  if (EndsWith(path, length, u".plt")) return kInputPlt;
  if (EndsWith(path, length, u".tcx")) return kInputTcx;
  if (EndsWith(path, length, u".kml") || EndsWith(path, length, u".kmz")) return kInputKml;
  if (EndsWith(path, length, u".geojson") || EndsWith(path, length, u".json")) {
    return kInputGeoJson;
  }
  return kInputNmea;
}
