#include "common/input_kind.h"

#include "common/types.h"
#include "test_util.h"

namespace {

TEST(InputKind, FromTheNameWithoutGz) {
  struct Case {
    const char* name;
    int kind;
  } cases[] = {
      {"walk.gpx", kInputGpx},       {"WALK.GPX.GZ", kInputGpx},   {"hike.mps.gz", kInputMps},
      {"a.Plt.Gz", kInputPlt},       {"ride.fit", kInputFit},      {"ride.FIT.gz", kInputFit},
      {"flight.igc", kInputIgc},     {"flight.igc.gz", kInputIgc}, {"log.nmea.gz", kInputNmea},
      {"archive.gz", kInputNmea},    {".gz", kInputNmea},          {"fit", kInputNmea},
      {"ride.fit.gz.bak", kInputNmea}, {"ride.gz.fit", kInputFit},  {"", kInputNmea},
  };
  for (const Case& c : cases) EXPECT_EQ(InputKindFromExtension(W(c.name).c_str()), c.kind) << c.name;
}

}  // namespace
