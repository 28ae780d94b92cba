// TCX, KML and GeoJSON through the whole conversion run: the same points
// in any of them give the track file the GPX reader gives, byte for byte,
// through both passes, the thinning and the track breaks.
#include <cstdio>
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "test_util.h"

namespace {

struct Point {
  double lat, lon;
};

// A walk with jumps, longer than the track file holds, so that both passes,
// the thinning and the 1000 m breaks all have work.
std::vector<Point> Walk(int count) {
  std::vector<Point> points;
  double lat = -33.9, lon = 151.2;
  for (int i = 0; i < count; ++i) {
    lat += (i % 7 - 3) * 0.00011 + (i % 1500 == 0 ? 0.02 : 0.0);
    lon += (i % 5 - 2) * 0.00013;
    points.push_back({lat, lon});
  }
  return points;
}

std::string Fixed(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.7f", value);
  return text;
}

std::string AsGpx(const std::vector<Point>& points) {
  std::string out = "<gpx><trk><trkseg>\n";
  for (const Point& p : points) out += "<trkpt lat=\"" + Fixed(p.lat) + "\" lon=\"" + Fixed(p.lon) + "\"/>\n";
  return out + "</trkseg></trk></gpx>\n";
}

std::string AsTcx(const std::vector<Point>& points) {
  std::string out = "<?xml version=\"1.0\"?><TrainingCenterDatabase><Activities><Activity><Lap>"
                    "<Track>\n";
  for (size_t i = 0; i < points.size(); ++i) {
    // A lap boundary now and then: laps run on as one sequence.
    if (i % 4000 == 3999) out += "</Track></Lap><Lap><Track>";
    out += "<Trackpoint><Position><LatitudeDegrees>" + Fixed(points[i].lat) +
           "</LatitudeDegrees><LongitudeDegrees>" + Fixed(points[i].lon) +
           "</LongitudeDegrees></Position></Trackpoint>\n";
  }
  return out + "</Track></Lap></Activity></Activities></TrainingCenterDatabase>\n";
}

std::string AsKml(const std::vector<Point>& points) {
  std::string out = "<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>";
  for (size_t i = 0; i < points.size(); ++i) {
    bool track = i / 3000 % 2 == 1;
    if (i % 3000 == 0) out += track ? "<Placemark><gx:Track>" : "<Placemark><LineString><coordinates>";
    const Point& p = points[i];
    out += track ? "<gx:coord>" + Fixed(p.lon) + " " + Fixed(p.lat) + " 10</gx:coord>"
                 : Fixed(p.lon) + "," + Fixed(p.lat) + ",10\n";
    if (i % 3000 == 2999 || i + 1 == points.size()) {
      out += track ? "</gx:Track></Placemark>\n" : "</coordinates></LineString></Placemark>\n";
    }
  }
  return out + "</Document></kml>\n";
}

std::string AsGeoJson(const std::vector<Point>& points) {
  std::string out = R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":)"
                    R"({"type":"MultiLineString","coordinates":[[)";
  for (size_t i = 0; i < points.size(); ++i) {
    if (i > 0) out += i % 2500 == 0 ? "],[" : ",";
    out += '[';
    out += Fixed(points[i].lon);
    out += ',';
    out += Fixed(points[i].lat);
    out += ']';
  }
  return out + "]]}}]}\n";
}

class StructuredInputsTest : public WayconvTest {
 protected:
  // The track file `bytes` read as `kind` converts to, with the run's
  // result and log.
  std::string Convert(const std::string& name, const std::string& bytes, int kind, int* result,
                      std::string* log) {
    std::string input = dir_.File(name);
    std::string output = dir_.File(name + ".bin");
    WriteFile(input, bytes);
    ResetAllForTest();
    PrepareRun(input, kind, output);
    *result = ConvertTrack();
    *log = LogText();
    return ReadFile(output);
  }
};

TEST_F(StructuredInputsTest, SamePointsSameTrackFileAsGpx) {
  for (int count : {5, 25000}) {
    std::vector<Point> points = Walk(count);
    int result;
    std::string log;
    std::string expected = Convert("walk.gpx", AsGpx(points), kInputGpx, &result, &log);
    ASSERT_EQ(result, kConvertOk) << log;
    struct Case {
      const char* name;
      std::string bytes;
      int kind;
    } cases[] = {
        {"walk.tcx", AsTcx(points), kInputTcx},
        {"walk.kml", AsKml(points), kInputKml},
        {"walk.geojson", AsGeoJson(points), kInputGeoJson},
    };
    for (const Case& c : cases) {
      std::string image = Convert(c.name, c.bytes, c.kind, &result, &log);
      EXPECT_EQ(result, kConvertOk) << c.name << log;
      EXPECT_TRUE(image == expected) << c.name << " " << count;
      EXPECT_EQ(log.find("Track read error!"), std::string::npos) << c.name;
    }
  }
}

// Cut short, each keeps the points before the cut: the counting pass says
// "Track read error!" once, the storing pass stops at the points counted.
TEST_F(StructuredInputsTest, CutShortKeepsThePointsBefore) {
  std::vector<Point> points = Walk(12000);
  struct Case {
    const char* name;
    std::string bytes;
    int kind;
  } cases[] = {
      {"cut.tcx", AsTcx(points), kInputTcx},
      {"cut.kml", AsKml(points), kInputKml},
      {"cut.geojson", AsGeoJson(points), kInputGeoJson},
  };
  for (const Case& c : cases) {
    int result;
    std::string log;
    Convert(c.name, c.bytes.substr(0, c.bytes.size() * 2 / 3), c.kind, &result, &log);
    EXPECT_EQ(result, kConvertOk) << c.name;
    size_t first = log.find("Track read error!\r\n");
    EXPECT_NE(first, std::string::npos) << c.name;
    EXPECT_EQ(log.find("Track read error!", first + 1), std::string::npos) << c.name;
    EXPECT_GT(CountedPoints, 6000) << c.name;
    EXPECT_LT(CountedPoints, 10000) << c.name;
  }
}

}  // namespace
