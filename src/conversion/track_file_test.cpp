#include "conversion/track_file.h"

#include <cmath>
#include <limits>

#include "common/message_log.h"
#include "test_util.h"

namespace {

using TrackFileTest = WayconvTest;

TEST_F(TrackFileTest, LonMetersPerDegreeTable) {
  struct Case {
    int degree;
    double meters;
  } cases[] = {
      {0, 111195.48514992}, {1, 111178.54953894}, {10, 109506.17587559},
      {17, 106336.77129048}, {21, 103809.92845082}, {26, 99941.84002809},
      {40, 85180.68349901}, {45, 78627.08158684}, {60, 55597.74257496},
      {89, 1940.62880083},  {90, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LonMetersPerDegree(c.degree), c.meters) << "entry " << c.degree;
  }
}

TEST_F(TrackFileTest, CoordinateWords) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double latitude, longitude;
    uint32_t latitude_word, longitude_word;
  } cases[] = {
      {0.0, 0.0, 0x00000000, 0x00000000},
      {48.1375, 11.575, 0x223B2A19, 0x083B2A19},
      {-45.0, -90.0, 0x60000000, 0xC0000000},
      {-33.8688, 151.2093, 0x67EA5F85, 0x6B86D022},
      // Latitudes beyond the 31-bit range hold at its ends instead of
      // wrapping into the other hemisphere.
      {90.0, -180.0, 0x3FFFFFFF, 0x80000000},
      {-90.0, 180.0, 0x40000000, 0x80000000},
      {95.0, 370.0, 0x3FFFFFFF, 0x071C71C7},  // 370 wraps to 10
      {-100.0, -370.0, 0x40000000, 0xF8E38E39},
      {inf, -inf, 0x3FFFFFFF, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LatitudeWord(c.latitude), c.latitude_word) << c.latitude;
    EXPECT_EQ(LongitudeWord(c.longitude), c.longitude_word) << c.longitude;
  }
  EXPECT_EQ(SemicircleValue(48.1375), 574302745.0);
}

TEST_F(TrackFileTest, StorePointFlagsAndAnnouncesTrackStarts) {
  ClearTrackImage();
  NewTrackPending = 1;
  StorePoint({48.1375, 11.575}, 0);
  StorePoint({-45.0, -90.0}, 1);
  NewTrackPending = 1;
  StorePoint({0.0, 0.0}, 2);
  PointCount = 3;
  StorePointCount();

  std::string image(reinterpret_cast<const char*>(TrackImage), kTrackFileSize);
  EXPECT_EQ(WordAt(image, 0), 3u);
  EXPECT_EQ(WordAt(image, 4), 0u);
  EXPECT_EQ(WordAt(image, 8), 0x083B2A19u);
  EXPECT_EQ(WordAt(image, 12), 0xA23B2A19u);
  EXPECT_EQ(WordAt(image, 16), 0xC0000000u);
  EXPECT_EQ(WordAt(image, 20), 0x60000000u);
  EXPECT_EQ(WordAt(image, 24), 0x00000000u);
  EXPECT_EQ(WordAt(image, 28), 0x80000000u);
  EXPECT_EQ(image.find_first_not_of('\0', 32), std::string::npos);
  EXPECT_EQ(TrackCounter, 2);
  EXPECT_EQ(LogText(),
            "Track 1 at 48.137500 , 11.575000 \r\n"
            "Track 2 at 0.000000 , 0.000000 \r\n");
}

TEST_F(TrackFileTest, TrackBreakDistances) {
  struct Case {
    TrackPoint previous, current;
    int expected;
  } cases[] = {
      {{0.0, 0.0}, {0.01, 0.0}, 1},         // 1112 m of latitude
      {{0.0, 0.0}, {0.008, 0.0}, 0},        // 890 m
      {{60.0, 0.0}, {60.0, 0.019}, 1},      // 1056 m at 60 degrees
      {{60.0, 0.0}, {60.0, 0.017}, 0},      // 945 m
      {{0.0, 0.0}, {0.006, 0.006}, 0},      // 667 m each way, 943 m together
      {{0.0, 0.0}, {0.0065, 0.0065}, 1},    // 723 m each way, 1022 m together
      {{89.5, 0.0}, {89.5, 90.0}, 0},       // beyond the cut-off only latitude counts
      {{-89.5, 0.0}, {-89.5, 0.1}, 0},      // mean -89.5 still uses entry 89: 194 m
      {{-89.5, 0.0}, {-89.5, 1.0}, 1},      // 1941 m
      {{0.0, 179.99}, {0.0, -179.99}, 1},   // no wrap at the 180th meridian
      {{10.0, 10.0}, {10.0, 10.0}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTrackBreak(c.previous, c.current, 1000.0), c.expected)
        << c.previous.latitude << "," << c.previous.longitude << " -> " << c.current.latitude
        << "," << c.current.longitude;
  }
  // The test is strict: exactly the threshold does not break.
  double exactly = 0.01 * kMetersPerDegreeLatitude;
  EXPECT_EQ(IsTrackBreak({0.0, 0.0}, {0.01, 0.0}, exactly), 0);
}

}  // namespace
