#include "trackfile/track_export.h"

#include <clocale>
#include <cstdio>
#include <cmath>
#include <random>

#include "common/globals.h"
#include "conversion/conversion_run.h"
#include "trackfile/track_test_util.h"

namespace {

using TrackExportTest = WayconvTest;

// Two tracks, west and south of (0, 0) as well, and one point on its own.
TrackData SmallData() {
  std::string bytes = TrackFileBytes({{47.1, 8.5, true},
                                      {47.2, -0.25, false},
                                      {-33.8688, 151.2093, true},
                                      {-90.0, -180.0, false},
                                      {0.0, 0.0, true}});
  TrackData data;
  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), 5, &data);
  return data;
}

TEST_F(TrackExportTest, Gpx) {
  EXPECT_EQ(ExportGpx(SmallData()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"Wayconv " WAYCONV_VERSION "\"\n"
            "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
            "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
            "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
            "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
            "  <trk>\n    <name>Track 1</name>\n    <trkseg>\n"
            "      <trkpt lat=\"47.100000009\" lon=\"8.499999996\"/>\n"
            "      <trkpt lat=\"47.199999969\" lon=\"-0.249999985\"/>\n"
            "    </trkseg>\n  </trk>\n"
            "  <trk>\n    <name>Track 2</name>\n    <trkseg>\n"
            "      <trkpt lat=\"-33.868799983\" lon=\"151.209300030\"/>\n"
            "      <trkpt lat=\"-90.000000000\" lon=\"-180.000000000\"/>\n"
            "    </trkseg>\n  </trk>\n"
            "  <trk>\n    <name>Track 3</name>\n    <trkseg>\n"
            "      <trkpt lat=\"0.000000000\" lon=\"0.000000000\"/>\n"
            "    </trkseg>\n  </trk>\n"
            "</gpx>\n");
  EXPECT_EQ(ExportGpx(TrackData{}).find("<trk>"), std::string::npos);
}

// Sets a locale whose decimal separator is a comma for as long as it lives:
// an installed one (Windows names it German_Germany), else one built in
// `folder` when localedef is there.
class CommaLocale {
 public:
  explicit CommaLocale(const std::string& folder) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) return;
    }
    if (RunCommand("localedef -c -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8'", nullptr) > 1) {
      return;
    }
    SetTestVariable("LOCPATH", folder);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool active() const { return std::localeconv()->decimal_point[0] == ','; }

 private:
  SavedEnvironment saved_{"LOCPATH"};
};

TEST_F(TrackExportTest, CsvUsesPointsWhateverTheLocale) {
  const char expected[] =
      "track,point,latitude,longitude\n"
      "1,1,47.100000009,8.499999996\n"
      "1,2,47.199999969,-0.249999985\n"
      "2,1,-33.868799983,151.209300030\n"
      "2,2,-90.000000000,-180.000000000\n"
      "3,1,0.000000000,0.000000000\n";
  EXPECT_EQ(ExportCsv(SmallData()), expected);
  EXPECT_EQ(ExportCsv(TrackData{}), "track,point,latitude,longitude\n");

  CommaLocale comma(dir_.path());
  if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale here, and localedef cannot make one";
  EXPECT_EQ(ExportCsv(SmallData()), expected);
  EXPECT_NE(ExportGpx(SmallData()).find("lat=\"47.100000009\""), std::string::npos);
}

// A recording as a random walk: steps of at most 300 m north and east, and
// now and then a jump of 1.5 to 5 km, so that no gap lies near the 1000 m
// at which the converter starts a new track.
std::vector<std::pair<double, double>> RandomWalk(std::mt19937* random, size_t size) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  double latitude = -70 + 140 * unit(*random);
  double longitude = -170 + 340 * unit(*random);
  std::vector<std::pair<double, double>> points;
  for (size_t i = 0; i < size; ++i) {
    points.emplace_back(latitude, longitude);
    double north, east;
    if (unit(*random) < 0.02) {
      double metres = 1500 + 3500 * unit(*random);
      double angle = 2 * M_PI * unit(*random);
      north = metres * std::cos(angle);
      east = metres * std::sin(angle);
    } else {
      north = -300 + 600 * unit(*random);
      east = -300 + 600 * unit(*random);
    }
    latitude += north / kMetersPerDegreeLatitude;
    longitude += east / (kMetersPerDegreeLatitude * std::cos(latitude * M_PI / 180));
  }
  return points;
}

// A GPX recording with 10 decimals, finer than a semicircle, so that the
// points do not sit on a grid a coarser export would hit by chance.
std::string GpxRecording(const std::vector<std::pair<double, double>>& points) {
  std::string text = "<gpx><trk><trkseg>\n";
  char line[128];
  for (const auto& [latitude, longitude] : points) {
    std::snprintf(line, sizeof line, "<trkpt lat=\"%.10f\" lon=\"%.10f\"/>\n", latitude, longitude);
    text += line;
  }
  return text + "</trkseg></trk></gpx>\n";
}

// Converts `input` as `kind` into `output` and returns the track file.
std::string Convert(const std::string& input, int kind, const std::string& output, int split) {
  ResetAllForTest();
  PrepareRun(input, kind, output);
  DoSplit = split;
  EXPECT_EQ(ConvertTrack(), kConvertOk) << input;
  return ReadFile(output);
}

// Exports `track_file` as GPX and converts that again: the same bytes.
void ExpectRoundTrip(const TempDir& dir, const std::string& track_file, int split) {
  TrackData data;
  std::string reason;
  ASSERT_EQ(LoadTrackFile(track_file, &data, &reason), kTrackFileExitOk) << reason;
  WriteFile(dir.File("back.gpx"), ExportGpx(data));
  std::string again = Convert(dir.File("back.gpx"), kInputGpx, dir.File("again.bin"), split);
  std::string first = ReadFile(track_file);
  ASSERT_EQ(again.size(), first.size());
  for (size_t i = 0; i < first.size(); i += 4) {
    ASSERT_EQ(WordAt(again, i), WordAt(first, i)) << "word at offset " << i;
  }
}

TEST_F(TrackExportTest, GpxConvertsBackToTheSameTrackFile) {
  std::mt19937 random(20261208);
  for (size_t size : {2, 3, 57, 1000, 9995, 9996}) {
    for (int split : {1, 0}) {
      SCOPED_TRACE(std::to_string(size) + " points, split " + std::to_string(split));
      WriteFile(dir_.File("walk.gpx"), GpxRecording(RandomWalk(&random, size)));
      std::string first = Convert(dir_.File("walk.gpx"), kInputGpx, dir_.File("first.bin"), split);
      ASSERT_EQ(WordAt(first, 0), size);
      ExpectRoundTrip(dir_, dir_.File("first.bin"), split);
    }
  }
}

TEST_F(TrackExportTest, SamplesConvertBackToTheSameTrackFile) {
  struct Case {
    const char* name;
    int kind;
  } cases[] = {{"walk.plt", kInputPlt}, {"walk.gpx", kInputGpx},
               {"drive.nmea", kInputNmea}, {"hike.mps", kInputMps}};
  for (const Case& c : cases) {
    for (int split : {1, 0}) {
      SCOPED_TRACE(std::string(c.name) + ", split " + std::to_string(split));
      std::string sample = std::string(WAYCONV_SOURCE_DIR) + "/samples/" + c.name;
      Convert(sample, c.kind, dir_.File("first.bin"), split);
      ExpectRoundTrip(dir_, dir_.File("first.bin"), split);
    }
  }
}

}  // namespace
