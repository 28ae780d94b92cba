// The structured readers against gpsbabel, where it reads the same file:
// the same points, in the same order, to 1e-6 degrees. Skipped when
// gpsbabel is not installed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/globals.h"
#include "readers/geojson_reader.h"
#include "readers/xml_track_reader.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;  // latitude, longitude

// The trkpt and rtept coordinates of gpsbabel's GPX output for `path`.
Points PeerPoints(const std::string& format, const std::string& path) {
  std::string command = "gpsbabel -t -r -i " + format + " -f '" + path + "' -o gpx -F - 2>/dev/null";
  Points points;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return points;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text = line;
    if (text.find("<trkpt ") == std::string::npos && text.find("<rtept ") == std::string::npos) {
      continue;
    }
    size_t lat = text.find("lat=\"");
    size_t lon = text.find("lon=\"");
    if (lat == std::string::npos || lon == std::string::npos) continue;
    points.emplace_back(std::strtod(text.c_str() + lat + 5, nullptr),
                        std::strtod(text.c_str() + lon + 5, nullptr));
  }
  pclose(pipe);
  return points;
}

class PeerCrossCheckTest : public WayconvTest {
 protected:
  Points Ours(const std::string& path, int kind) {
    InputStream = StreamOpen(W(path).c_str(), "rb");
    EXPECT_NE(InputStream, nullptr);
    RestartXmlReader();
    RestartGeoJsonReader();
    Points points;
    TrackPoint p;
    for (;;) {
      int result = kind == kInputTcx   ? ReadTcxPoint(&p)
                   : kind == kInputKml ? ReadKmlPoint(&p)
                                       : ReadGeoJsonPoint(&p);
      if (result != kReadOk) break;
      points.emplace_back(p.latitude, p.longitude);
    }
    RestartXmlReader();
    RestartGeoJsonReader();
    StreamClose(InputStream);
    InputStream = nullptr;
    return points;
  }
};

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.8f", value);
  return text;
}

TEST_F(PeerCrossCheckTest, SamePointsAsGpsbabel) {
  if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gpsbabel";
  std::string tcx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrainingCenterDatabase xmlns="
                    "\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\"><Activities>"
                    "<Activity Sport=\"Biking\"><Id>2026-12-07T10:00:00Z</Id>"
                    "<Lap StartTime=\"2026-12-07T10:00:00Z\"><Track>\n";
  std::string kml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis."
                    "net/kml/2.2\"><Document><Placemark><LineString><coordinates>\n";
  std::string json = R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},)"
                     R"("geometry":{"type":"LineString","coordinates":[)";
  for (int i = 0; i < 3000; ++i) {
    double lat = -45.123456 + i * 0.000731 + (i % 13) * 1e-7;
    double lon = 170.5 - i * 0.000917 - (i % 11) * 1e-7;
    char time[40];
    std::snprintf(time, sizeof time, "2026-12-07T%02d:%02d:%02dZ", 10 + i / 3600, i / 60 % 60, i % 60);
    tcx += std::string("<Trackpoint><Time>") + time + "</Time><Position><LatitudeDegrees>" +
           Number(lat) + "</LatitudeDegrees><LongitudeDegrees>" + Number(lon) +
           "</LongitudeDegrees></Position><AltitudeMeters>12.5</AltitudeMeters></Trackpoint>\n";
    kml += Number(lon) + "," + Number(lat) + ",12.5\n";
    json += (i > 0 ? ",[" : "[") + Number(lon) + "," + Number(lat) + ",12.5]";
  }
  tcx += "</Track></Lap></Activity></Activities></TrainingCenterDatabase>\n";
  kml += "</coordinates></LineString></Placemark></Document></kml>\n";
  json += "]}}]}\n";
  struct Case {
    const char* name;
    const char* format;  // gpsbabel's
    std::string bytes;
    int kind;
  } cases[] = {
      {"peer.tcx", "gtrnctr", tcx, kInputTcx},
      {"peer.kml", "kml", kml, kInputKml},
      {"peer.geojson", "geojson", json, kInputGeoJson},
  };
  for (const Case& c : cases) {
    std::string path = dir_.File(c.name);
    WriteFile(path, c.bytes);
    Points ours = Ours(path, c.kind);
    Points peer = PeerPoints(c.format, path);
    ASSERT_EQ(ours.size(), 3000u) << c.name;
    ASSERT_EQ(peer.size(), ours.size()) << c.name;
    for (size_t i = 0; i < ours.size(); ++i) {
      ASSERT_NEAR(ours[i].first, peer[i].first, 1e-6) << c.name << " " << i;
      ASSERT_NEAR(ours[i].second, peer[i].second, 1e-6) << c.name << " " << i;
    }
  }
}

}  // namespace
