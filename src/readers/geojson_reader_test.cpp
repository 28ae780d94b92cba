#include "readers/geojson_reader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/globals.h"
#include "common/message_log.h"
#include "common/numbers.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;  // latitude, longitude

class GeoJsonReaderTest : public WayconvTest {
 protected:
  Points Read(const std::string& bytes) {
    std::string path = dir_.File("input.geojson");
    WriteFile(path, bytes);
    InputStream = StreamOpen(W(path).c_str(), "rb");
    EXPECT_NE(InputStream, nullptr);
    RestartGeoJsonReader();
    Points points;
    TrackPoint point;
    while (ReadGeoJsonPoint(&point) == kReadOk) points.emplace_back(point.latitude, point.longitude);
    RestartGeoJsonReader();
    StreamClose(InputStream);
    InputStream = nullptr;
    return points;
  }
};

TEST_F(GeoJsonReaderTest, LinePositionsWhereverGeometriesStand) {
  struct Case {
    const char* what;
    std::string bytes;
    Points points;
    bool other_geometry = false;
  } cases[] = {
      {"a bare LineString", R"({"type": "LineString", "coordinates": [[8.5, 47.5], [8.6, 47.6, 400]]})",
       {{47.5, 8.5}, {47.6, 8.6}}},
      {"a MultiLineString, positions with integers and exponents",
       R"({"coordinates": 1, "type":"MultiLineString","coordinates":[[[1,2],[3,4]],[],[[5e0,-6E-1]]]})",
       {{2, 1}, {4, 3}, {-0.6, 5}}},
      {"FeatureCollection of Features",
       R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"name":"a"},
           "geometry":{"type":"LineString","coordinates":[[1,1],[2,2]]}},
           {"type":"Feature","geometry":null},
           {"type":"Feature","geometry":{"type":"Point","coordinates":[9,9]}}]})",
       {{1, 1}, {2, 2}},
       true},
      {"GeometryCollection, nested",
       R"({"type":"Feature","geometry":{"type":"GeometryCollection","geometries":[
           {"type":"Polygon","coordinates":[[[0,0],[1,0],[0,1],[0,0]]]},
           {"type":"GeometryCollection","geometries":[{"type":"LineString","coordinates":[[3,3]]}]},
           {"type":"MultiLineString","coordinates":[[[4,4]]]}]}})",
       {{3, 3}, {4, 4}},
       true},
      {"foreign members are not searched",
       R"({"type":"FeatureCollection","properties":{"type":"LineString","coordinates":[[1,1]]},
           "extra":{"geometry":{"type":"LineString","coordinates":[[2,2]]}},
           "features":[{"type":"Feature","properties":{"features":[{"type":"LineString",
           "coordinates":[[3,3]]}]},"geometry":{"type":"LineString","coordinates":[[4,4]]}}]})",
       {{4, 4}}},
      {"positions whose first two members are not both numbers",
       R"({"type":"LineString","coordinates":[[1],["1",2],[1,null],[[1],2],[1,{}],[1,2,"x"],
           [1,true],[],[5,6,7,8],[400,1],[1,101],[-370,-100],3,"x",null,{}]})",
       {{2, 1}, {6, 5}, {-100, -370}}},
      {"a byte order mark and white space",
       "\xEF\xBB\xBF \r\n\t{\"type\" : \"LineString\" ,\n\"coordinates\" : [ [ 1 , 2 ] ,\n [3,4] ] }",
       {{2, 1}, {4, 3}}},
      {"type after coordinates: not read", R"({"coordinates":[[1,1]],"type":"LineString"})", {}},
      {"a root that is no object", R"([{"type":"LineString","coordinates":[[1,1]]}])", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.bytes), c.points) << c.what;
    EXPECT_EQ(GeoJsonSawOtherGeometry(), c.other_geometry) << c.what;
    EXPECT_EQ(LogText(), "") << c.what;
  }
}

// Many points in long lines: the parser is paused and started again many
// times, the fast scan of positions hands over to the parser at the read
// window's end and at positions of another shape, and every point comes
// out once, in order, with the value a full parse gives.
TEST_F(GeoJsonReaderTest, LongLinesKeepEveryPointInOrder) {
  Points expected;
  std::string json = R"({"type":"FeatureCollection","features":[)";
  const char* shapes[] = {"[%.7f,%.7f]", "[ %.7f , %.7f , 400.5 ]", "[%.7f,%.7f,{\"x\":1}]",
                          "[%.7f,\n%.7f,1e2]"};
  int n = 0;
  for (int line = 0; line < 40; ++line) {
    json += line == 0 ? "" : ",";
    json += R"({"type":"Feature","geometry":{"type":"LineString","coordinates":[)";
    for (int i = 0; i < 1500; ++i, ++n) {
      double lon = -120 + n * 1.3e-5, lat = 30 + n * 0.7e-5;
      char text[100];
      std::snprintf(text, sizeof text, shapes[(n / 7 + (n % 97 == 0)) % 4], lon, lat);
      json += i == 0 ? "" : (n % 5 == 0 ? " ,\n " : ",");
      json += text;
      // The values the text stands for, correctly rounded.
      std::snprintf(text, sizeof text, "%.7f", lon);
      double parsed_lon = ParseDouble(text);
      std::snprintf(text, sizeof text, "%.7f", lat);
      expected.emplace_back(ParseDouble(text), parsed_lon);
    }
    json += "]}}";
  }
  json += "]}";
  ASSERT_GT(json.size(), 3 * kStreamBufferSize);
  EXPECT_EQ(Read(json), expected);
  EXPECT_EQ(LogText(), "");
}

TEST_F(GeoJsonReaderTest, TruncatedDocumentsKeepThePointsBefore) {
  const std::string whole =
      R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":)"
      R"("MultiLineString","coordinates":[[[1,2],[3.5,4e1]],[[5,-6]]]}}]})";
  Points all = Read(whole);
  ASSERT_EQ(all.size(), 3u);
  for (size_t length = 0; length < whole.size(); ++length) {
    CopyToLog(u"");
    Points points = Read(whole.substr(0, length));
    ASSERT_LE(points.size(), all.size()) << length;
    EXPECT_TRUE(std::equal(points.begin(), points.end(), all.begin())) << length;
    EXPECT_TRUE(GeoJsonMalformed()) << length;
    EXPECT_EQ(LogText(), "Track read error!\r\n") << length;
  }
}

TEST_F(GeoJsonReaderTest, HostileDocumentsStayBounded) {
  std::string deep = R"({"type":"LineString","coordinates":[[1,2],[3,4]],"x":)";
  deep += std::string(1000000, '[');
  struct Case {
    const char* what;
    std::string bytes;
    Points points;
  } cases[] = {
      {"nested a million deep", deep, {{2, 1}, {4, 3}}},
      {"a string longer than the token bound",
       R"({"type":"LineString","coordinates":[[1,2]],"name":")" +
           std::string(kJsonMaxToken + 3 * kStreamBufferSize, 'a') + "\"}",
       {{2, 1}}},
      {"white space longer than the token bound",
       R"({"type":"LineString","coordinates":[[1,2])" +
           std::string(kJsonMaxToken + 3 * kStreamBufferSize, ' ') + "]}",
       {{2, 1}}},
      {"not JSON", "<gpx></gpx>", {}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    CopyToLog(u"");
    EXPECT_EQ(Read(c.bytes), c.points) << c.what;
    EXPECT_EQ(LogText(), "Track read error!\r\n") << c.what;
  }
}

}  // namespace
