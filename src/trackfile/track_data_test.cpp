#include "trackfile/track_data.h"

#include <cmath>

#include "host/file_stream.h"
#include "trackfile/track_test_util.h"

namespace {

using TrackDataTest = WayconvTest;

constexpr double kSemicircle = 180.0 / 2147483648.0;

TEST_F(TrackDataTest, DecodesWords) {
  struct Case {
    uint32_t word;
    double longitude;  // of the word as a longitude word
    double latitude;   // of the word as a latitude word
  } cases[] = {
      {0x00000000, 0.0, 0.0},
      {0x00000001, kSemicircle, kSemicircle},
      {0xFFFFFFFF, -kSemicircle, -kSemicircle},  // flag set, 31 ones: -1
      {0x7FFFFFFF, 180.0 - kSemicircle, -kSemicircle},
      {0x80000000, -180.0, 0.0},  // the flag alone
      {0x80000001, -180.0 + kSemicircle, kSemicircle},
      {0x3FFFFFFF, 90.0 - kSemicircle, 90.0 - kSemicircle},
      {0x40000000, 90.0, -90.0},  // bit 30 is the latitude's sign
      {0xC0000000, -90.0, -90.0},
      {0x60000000, 135.0, -45.0},
      {0xE0000000, -45.0, -45.0},
      {0x223B2A19, 574302745 * kSemicircle, 574302745 * kSemicircle},
      {0xA23B2A19, -1573180903 * kSemicircle, 574302745 * kSemicircle},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LongitudeFromWord(c.word), c.longitude) << std::hex << c.word;
    EXPECT_EQ(LatitudeFromWord(c.word), c.latitude) << std::hex << c.word;
  }
  // What the converter stores reads back to within half a semicircle.
  for (double degrees : {48.1375, -33.8688, 11.575, -0.0000001, 89.999999, -90.0}) {
    EXPECT_NEAR(LatitudeFromWord(LatitudeWord(degrees) | kTrackStartFlag), degrees,
                kSemicircle / 2) << degrees;
    EXPECT_NEAR(LongitudeFromWord(LongitudeWord(degrees * 2)), degrees * 2, kSemicircle / 2);
  }
}

TEST_F(TrackDataTest, SplitsTracksAtFlagsAndIgnoresSlotsPastTheCount) {
  std::vector<Slot> slots = {{1.0, 2.0, false}, {1.1, 2.1, false}, {-1.0, -2.0, true},
                             {5.0, 6.0, true},  {5.1, 6.1, false}, {9.0, 9.0, true}};
  std::string bytes = TrackFileBytes(slots, 5);  // the sixth slot is past the count
  TrackData data;
  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), 5, &data);
  ASSERT_EQ(data.points.size(), 5u);
  ASSERT_EQ(data.tracks.size(), 3u);  // slot 0 starts a track without its flag
  EXPECT_EQ(data.tracks[0].first, 0);
  EXPECT_EQ(data.tracks[0].count, 2);
  EXPECT_EQ(data.tracks[1].first, 2);
  EXPECT_EQ(data.tracks[1].count, 1);
  EXPECT_EQ(data.tracks[2].first, 3);
  EXPECT_EQ(data.tracks[2].count, 2);
  EXPECT_NEAR(data.points[2].latitude, -1.0, kSemicircle);
  EXPECT_NEAR(data.points[2].longitude, -2.0, kSemicircle);

  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), 0, &data);
  EXPECT_TRUE(data.points.empty());
  EXPECT_TRUE(data.tracks.empty());
}

TEST_F(TrackDataTest, LoadsHostAndDevicePaths) {
  PrivateEnvironment env(dir_);
  std::string bytes = TrackFileBytes({{47.0, 8.0, true}, {47.001, 8.0, false}});
  std::string folder = std::string(std::getenv("WAYCONV_ROOT")) + "/My Documents";
  ASSERT_TRUE(MakeFolder(folder));
  WriteFile(folder + "/Tracks.bin", bytes);
  WriteFile(dir_.File("t.bin"), bytes);
  for (const std::string& path : {std::string("\\My Documents\\Tracks.bin"), dir_.File("t.bin")}) {
    TrackData data;
    std::string reason;
    ASSERT_EQ(LoadTrackFile(path, &data, &reason), kTrackFileExitOk) << path << reason;
    EXPECT_EQ(data.points.size(), 2u);
    EXPECT_EQ(data.tracks.size(), 1u);
  }
}

TEST_F(TrackDataTest, RejectsWhatIsNotATrackFile) {
  std::string path = dir_.File("t.bin");
  std::string full = TrackFileBytes({});
  struct Case {
    std::string bytes;
    int64_t count;
    std::string reason;  // empty: accepted
  } cases[] = {
      {"", -1, path + " is 0 bytes; a track file is 80008"},
      {std::string(1234, 'x'), -1, path + " is 1234 bytes; a track file is 80008"},
      {full.substr(1), -1, path + " is 80007 bytes; a track file is 80008"},
      {full + '\0', -1, path + " is 80009 bytes; a track file is 80008"},
      {"", 0, ""},
      {"", 10000, ""},  // the format has room for 10000, more than the converter stores
      {"", 10001, path + " holds a point count of 10001; a track file holds 0 to 10000 points"},
      {"", -1 & 0xFFFFFFFF, path + " holds a point count of -1; a track file holds 0 to 10000 points"},
      {"", 0x80000000, path + " holds a point count of -2147483648; a track file holds 0 to 10000 points"},
  };
  for (const Case& c : cases) {
    WriteFile(path, c.bytes.empty() && c.count >= 0 ? TrackFileBytes({}, c.count) : c.bytes);
    TrackData data;
    std::string reason;
    int result = LoadTrackFile(path, &data, &reason);
    EXPECT_EQ(result, c.reason.empty() ? kTrackFileExitOk : kTrackFileExitBadInput) << c.reason;
    EXPECT_EQ(reason, c.reason);
    if (c.reason.empty()) {
      EXPECT_EQ(data.points.size(), static_cast<size_t>(c.count));
    }
  }

  std::string reason;
  TrackData data;
  EXPECT_EQ(LoadTrackFile(dir_.File("none.bin"), &data, &reason), kTrackFileExitBadInput);
  EXPECT_EQ(reason, "cannot open " + dir_.File("none.bin") +
                        ": No such file or directory; give the path of a track file");
  EXPECT_EQ(LoadTrackFile(dir_.path(), &data, &reason), kTrackFileExitBadInput);
  EXPECT_EQ(reason, dir_.path() + " is not a regular file; give the path of a track file");
  EXPECT_EQ(LoadTrackFile("\\none.bin", &data, &reason), kTrackFileExitBadInput);
  EXPECT_EQ(reason.rfind("cannot open \\none.bin (" + DeviceRoot() + "/none.bin): ", 0), 0u)
      << reason;
  WriteFile(path, TrackFileBytes({}));
  if (MakeUnreadable(path)) {
    EXPECT_EQ(LoadTrackFile(path, &data, &reason), kTrackFileExitBadInput);
    EXPECT_EQ(reason, "cannot open " + path + ": Permission denied");
  }
}

TEST_F(TrackDataTest, DistancesOnTheSphere) {
  const double quarter = kEarthRadiusKm * M_PI / 2;
  struct Case {
    TrackPoint a, b;
    double km;
  } cases[] = {
      {{0, 0}, {0, 0}, 0.0},
      {{0, 0}, {1, 0}, quarter / 90},
      {{0, 0}, {0, 90}, quarter},
      {{0, 0}, {0, -180}, 2 * quarter},  // antipodes, the rounding guard
      {{90, 0}, {-90, 0}, 2 * quarter},
      {{60, 10}, {60, 11}, quarter / 90 * 0.5},  // short: about cos(60) of a degree
      {{-33.8688, 151.2093}, {51.5074, -0.1278}, 16993.9},
  };
  for (const Case& c : cases) {
    double tolerance = c.km > 1000 ? 0.1 : 1e-3;
    EXPECT_NEAR(DistanceKm(c.a, c.b), c.km, tolerance) << c.a.latitude << " " << c.b.latitude;
    EXPECT_NEAR(DistanceKm(c.b, c.a), c.km, tolerance);
  }
  TrackData data;
  data.points = {{0, 0}, {0, 1}, {0, 2}, {5, 5}};
  EXPECT_NEAR(TrackLengthKm(data, {0, 3}), quarter / 45, 1e-9);
  EXPECT_EQ(TrackLengthKm(data, {3, 1}), 0.0);
}

TEST_F(TrackDataTest, FixedDecimalsNeverShowMinusZero) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {0.0, 3, "0.000"},         {-0.0, 3, "0.000"},          {-0.0004, 3, "0.000"},
      {-0.0005, 3, "-0.001"},    {47.36938, 6, "47.369380"}, {-180.0, 9, "-180.000000000"},
      {1e6, 0, "1000000"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendFixed(&out, c.value, c.decimals);
    EXPECT_EQ(out, c.text) << c.value;
  }
  EXPECT_EQ(BaseName("\\My Documents\\Tracks.bin"), "Tracks.bin");
  EXPECT_EQ(BaseName("build/walk.bin"), "walk.bin");
  EXPECT_EQ(BaseName("walk.bin"), "walk.bin");
}

}  // namespace
