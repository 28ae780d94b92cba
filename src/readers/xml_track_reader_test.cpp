#include "readers/xml_track_reader.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "common/globals.h"
#include "common/message_log.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;  // latitude, longitude

class XmlTrackReaderTest : public WayconvTest {
 protected:
  // All points of `bytes` read as TCX or KML, as one pass reads them.
  Points Read(const std::string& bytes, bool kml) {
    std::string path = dir_.File(kml ? "input.kml" : "input.tcx");
    WriteFile(path, bytes);
    InputStream = StreamOpen(W(path).c_str(), "rb");
    EXPECT_NE(InputStream, nullptr);
    RestartXmlReader();
    Points points;
    TrackPoint point;
    while ((kml ? ReadKmlPoint(&point) : ReadTcxPoint(&point)) == kReadOk) {
      points.emplace_back(point.latitude, point.longitude);
      if (points.size() > 10000000) break;
    }
    RestartXmlReader();
    StreamClose(InputStream);
    InputStream = nullptr;
    return points;
  }
};

std::string Tcx(const std::string& trackpoints, const std::string& dtd = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + dtd +
         "<TrainingCenterDatabase xmlns=\"http://www.garmin.com/xmlschemas/"
         "TrainingCenterDatabase/v2\"><Activities><Activity><Lap><Track>" +
         trackpoints + "</Track></Lap></Activity></Activities></TrainingCenterDatabase>\n";
}

std::string Trackpoint(const std::string& lat, const std::string& lon) {
  return "<Trackpoint><Time>2026-12-07T10:00:00Z</Time><Position><LatitudeDegrees>" + lat +
         "</LatitudeDegrees><LongitudeDegrees>" + lon +
         "</LongitudeDegrees></Position><AltitudeMeters>400</AltitudeMeters></Trackpoint>\n";
}

TEST_F(XmlTrackReaderTest, TcxTrackpoints) {
  struct Case {
    const char* what;
    std::string bytes;
    Points points;
  } cases[] = {
      {"plain", Tcx(Trackpoint("47.5", "8.5") + Trackpoint("-33.25", "-70.125")),
       {{47.5, 8.5}, {-33.25, -70.125}}},
      {"comments, CDATA, character references",
       Tcx("<!-- <Trackpoint> in a comment -->" +
           Trackpoint("<![CDATA[47.5]]>", "8<!-- split -->.5") + Trackpoint("&#52;7.25", " 8.25\n")),
       {{47.5, 8.5}, {47.25, 8.25}}},
      {"entities of the internal subset",
       Tcx(Trackpoint("&lat;", "&lon;"),
           "<!DOCTYPE TrainingCenterDatabase [<!ENTITY lat \"47.5\"><!ENTITY lon \"8&#46;5\">]>"),
       {{47.5, 8.5}}},
      {"namespace prefixes",
       "<t:TrainingCenterDatabase xmlns:t=\"x\"><t:Courses><t:Course><t:Track><t:Trackpoint>"
       "<t:Position><t:LatitudeDegrees>1</t:LatitudeDegrees><t:LongitudeDegrees>2"
       "</t:LongitudeDegrees></t:Position></t:Trackpoint></t:Track></t:Course></t:Courses>"
       "</t:TrainingCenterDatabase>",
       {{1, 2}}},
      {"Trackpoints without Position or without one of the degrees",
       Tcx("<Trackpoint><Time>x</Time><HeartRateBpm><Value>90</Value></HeartRateBpm>"
           "</Trackpoint><Trackpoint><Position><LatitudeDegrees>3</LatitudeDegrees></Position>"
           "</Trackpoint>" +
           Trackpoint("4", "5")),
       {{4, 5}}},
      {"degrees that are not children of Position, Position not a child of Trackpoint",
       Tcx("<Trackpoint><LatitudeDegrees>1</LatitudeDegrees><LongitudeDegrees>1"
           "</LongitudeDegrees></Trackpoint><Position><LatitudeDegrees>1</LatitudeDegrees>"
           "<LongitudeDegrees>1</LongitudeDegrees></Position><Trackpoint><Extensions><Position>"
           "<LatitudeDegrees>1</LatitudeDegrees><LongitudeDegrees>1</LongitudeDegrees>"
           "</Position></Extensions></Trackpoint>"),
       {}},
      {"no number, out of bounds: the point is skipped",
       Tcx(Trackpoint("", "1") + Trackpoint("north", "1") + Trackpoint("inf", "1") +
           Trackpoint("nan", "1") + Trackpoint("1x", "1") + Trackpoint("100.5", "1") +
           Trackpoint("1", "-370.5") + Trackpoint("100", "370") + Trackpoint("-1e1", "+2.5E0")),
       {{100, 370}, {-10, 2.5}}},
      {"MultiSportSession and Activities in one file",
       "<TrainingCenterDatabase><Folders/><MultiSportSession><FirstSport><Activity><Lap><Track>" +
           Trackpoint("1", "2") + "</Track></Lap></Activity></FirstSport></MultiSportSession>" +
           "<Activities><Activity><Lap><Track>" + Trackpoint("3", "4") +
           "</Track></Lap></Activity></Activities></TrainingCenterDatabase>",
       {{1, 2}, {3, 4}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.bytes, false), c.points) << c.what;
    EXPECT_EQ(LogText(), "") << c.what;
  }
}

std::string Kml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\""
         " xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>" +
         body + "</Document></kml>\n";
}

TEST_F(XmlTrackReaderTest, KmlLinesAndTracks) {
  struct Case {
    const char* what;
    std::string bytes;
    Points points;
  } cases[] = {
      {"LineString tuples with mixed white space",
       Kml("<Placemark><LineString><tessellate>1</tessellate><coordinates>\n\t 8.5,47.5,400 "
           "8.6,47.6\r\n8.7,47.7,0\t\t8.8,47.8 \n</coordinates></LineString></Placemark>"),
       {{47.5, 8.5}, {47.6, 8.6}, {47.7, 8.7}, {47.8, 8.8}}},
      {"gx:Track coords, an empty one gives no point",
       Kml("<Placemark><gx:Track><when>2026-12-07T10:00:00Z</when><gx:coord>8.5 47.5 400"
           "</gx:coord><gx:coord></gx:coord><gx:coord>  8.6\t47.6 </gx:coord><gx:coord>8.7"
           "</gx:coord></gx:Track></Placemark>"),
       {{47.5, 8.5}, {47.6, 8.6}}},
      {"MultiGeometry in nested Folders; Point, Polygon and LinearRing are no tracks",
       Kml("<Folder><Folder><Placemark><MultiGeometry><Point><coordinates>1,1</coordinates>"
           "</Point><LineString><coordinates>2,2 3,3</coordinates></LineString><Polygon>"
           "<outerBoundaryIs><LinearRing><coordinates>4,4 5,5 4,4</coordinates></LinearRing>"
           "</outerBoundaryIs></Polygon><gx:MultiTrack><gx:Track><gx:coord>6 6</gx:coord>"
           "</gx:Track></gx:MultiTrack></MultiGeometry></Placemark></Folder></Folder>"),
       {{2, 2}, {3, 3}, {6, 6}}},
      {"comments, CDATA and entities inside coordinates",
       Kml("<Placemark><LineString><coordinates>1,<!-- c -->2 <![CDATA[3,4 5]]>,6 &#55;,8"
           "</coordinates></LineString></Placemark>"),
       {{2, 1}, {4, 3}, {6, 5}, {8, 7}}},
      {"tuples without a number or out of bounds are skipped",
       Kml("<Placemark><LineString><coordinates>a,1 1 1,b 1,,2 ,1 371,1 1,101 -370,-100 "
           "1,2,3,4</coordinates></LineString></Placemark>"),
       {{-100, -370}, {2, 1}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.bytes, true), c.points) << c.what;
    EXPECT_EQ(LogText(), "") << c.what;
  }
}

// A document longer than one batch of points: the parser is suspended and
// resumed many times, across the feed blocks, and nothing is lost.
TEST_F(XmlTrackReaderTest, LongDocumentsKeepEveryPointInOrder) {
  Points expected;
  std::string tuples;
  std::string trackpoints;
  for (int i = 0; i < 30000; ++i) {
    double lat = 40 + i * 1e-4;
    double lon = -3 - i * 1e-4;
    expected.emplace_back(lat, lon);
    char text[80];
    std::snprintf(text, sizeof text, "%.4f,%.4f ", lon, lat);
    tuples += text;
    std::snprintf(text, sizeof text, "%.4f", lat);
    std::string lat_text = text;
    std::snprintf(text, sizeof text, "%.4f", lon);
    trackpoints += Trackpoint(lat_text, text);
  }
  Points kml = Read(Kml("<Placemark><LineString><coordinates>" + tuples +
                        "</coordinates></LineString></Placemark>"),
                    true);
  Points tcx = Read(Tcx(trackpoints), false);
  ASSERT_EQ(kml.size(), expected.size());
  ASSERT_EQ(tcx.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(kml[i].first, expected[i].first, 1e-9) << i;
    EXPECT_NEAR(tcx[i].second, expected[i].second, 1e-9) << i;
  }
}

// Tuples of the usual form are read apart from the others; in a long line,
// whatever the forms around them and wherever the feed blocks cut, every
// tuple reads as it does alone.
TEST_F(XmlTrackReaderTest, TupleFormsReadAlikeAcrossBlocks) {
  struct Form {
    const char* tuple;
    bool point;
    double latitude;
    double longitude;
  } forms[] = {
      {"8.5417000,47.3769000,484.0", true, 47.3769, 8.5417},
      {"-8.5,-47.25", true, -47.25, -8.5},
      {"+8.5,47.5,", true, 47.5, 8.5},
      {"8.5e0,4.75E1,1", true, 47.5, 8.5},
      {".5,5.", true, 5.0, 0.5},
      {"0.1234567890123456789012,1", true, 1.0, 0.1234567890123456789012},
      {"8.5,47.5,1e400,x", true, 47.5, 8.5},
      {"8.5,47.5x", false, 0, 0},
      {"-,1", false, 0, 0},
      {"1,-", false, 0, 0},
      {"371,0", false, 0, 0},
      {"181,-99.5", true, -99.5, 181.0},
      {"8.5;47.5", false, 0, 0},
      {"8.5", false, 0, 0},
  };
  const char* spaces[] = {" ", "\n   ", "\t", "\r\n", "  \n\t"};
  std::string tuples;
  Points expected;
  for (int i = 0; i < 20000; ++i) {
    const Form& form = forms[i % std::size(forms)];
    tuples += form.tuple;
    tuples += spaces[i % std::size(spaces)];
    if (form.point) expected.emplace_back(form.latitude, form.longitude);
  }
  Points points = Read(Kml("<Placemark><LineString><coordinates>" + tuples +
                           "</coordinates></LineString></Placemark>"),
                       true);
  ASSERT_EQ(points.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(points[i], expected[i]) << i;
  EXPECT_EQ(LogText(), "");
}

// Long documents whose simple markup is read outside expat: attributes,
// comments, references, CDATA and bytes outside ASCII in between hand the
// reading back to expat and it goes on; a mismatched end tag is an error
// there as in expat, with the points before it kept.
TEST_F(XmlTrackReaderTest, MarkupReadOutsideTheParserKeepsXmlRules) {
  std::string trackpoints;
  for (int i = 0; i < 6000; ++i) {
    std::string lat = std::to_string(10 + i * 0.001);
    trackpoints += i % 101 == 0 ? "<Trackpoint kind=\"a\">" : "<Trackpoint>";
    if (i % 333 == 0) trackpoints += "<!-- a comment -->";
    if (i % 777 == 0) trackpoints += "<Name>caf\xC3\xA9 &amp; <![CDATA[x]]></Name>";
    trackpoints += "<Time>t</Time><Position><LatitudeDegrees>" + lat +
                   "</LatitudeDegrees><LongitudeDegrees>" + (i % 555 == 0 ? "&#50;" : "2") +
                   "</LongitudeDegrees></Position><Extensions/></Trackpoint>\n";
  }
  Points points = Read(Tcx(trackpoints), false);
  ASSERT_EQ(points.size(), 6000u);
  EXPECT_EQ(points[5999], std::make_pair(10 + 5999 * 0.001, 2.0));
  EXPECT_EQ(LogText(), "");

  size_t at = trackpoints.find("<Trackpoint>", trackpoints.size() / 2);
  std::string broken = trackpoints;
  broken.insert(at, "<Trackpoint><Time>t</Trackpoint>");
  points = Read(Tcx(broken), false);
  EXPECT_EQ(points.size(), static_cast<size_t>(std::count(trackpoints.begin(),
                                                          trackpoints.begin() + at, '\n')));
  EXPECT_EQ(LogText(), "Track read error!\r\n");
}

// Cut anywhere, a document keeps the points before the cut, in order, and
// says "Track read error!" once; only the whole document says nothing.
TEST_F(XmlTrackReaderTest, TruncatedDocumentsKeepThePointsBefore) {
  const std::string documents[] = {
      Tcx(Trackpoint("1", "2") + "<!-- x -->" + Trackpoint("<![CDATA[3]]>", "4")),
      Kml("<Placemark><LineString><coordinates>2,1 4,3</coordinates></LineString>"
          "<gx:Track><gx:coord>6 5</gx:coord></gx:Track></Placemark>"),
  };
  for (const std::string& whole : documents) {
    bool kml = whole.find("<kml") != std::string::npos;
    Points all = Read(whole, kml);
    ASSERT_EQ(all.size(), kml ? 3u : 2u);
    for (size_t length = 0; length < whole.size(); ++length) {
      CopyToLog(u"");
      Points points = Read(whole.substr(0, length), kml);
      ASSERT_LE(points.size(), all.size()) << length;
      EXPECT_TRUE(std::equal(points.begin(), points.end(), all.begin())) << length;
      // The whole document ends with a line end expat does not need.
      if (length < whole.size() - 1) {
        EXPECT_EQ(LogText(), "Track read error!\r\n") << length;
      }
    }
  }
}

TEST_F(XmlTrackReaderTest, HostileDocumentsStayBounded) {
  std::string laughs = "<!DOCTYPE kml [<!ENTITY a \"8,1 8,1 8,1 8,1 \">";
  for (char name = 'b'; name <= 'p'; ++name) {
    laughs += std::string("<!ENTITY ") + name + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(name - 1) + ";";
    laughs += "\">";
  }
  laughs += "]>";
  struct Case {
    const char* what;
    std::string bytes;
    size_t at_most;  // points
  } cases[] = {
      {"nested entities (10^15 expansions)",
       "<?xml version=\"1.0\"?>" + laughs + "<kml><LineString><coordinates>&p;</coordinates>"
       "</LineString></kml>",
       kXmlMaxMemory},
      {"an entity longer than the limit",
       "<!DOCTYPE kml [<!ENTITY a \"" + std::string(kXmlMaxEntityValue + 1, ' ') +
           "\">]><kml><LineString><coordinates>1,2 3,4 &a;</coordinates></LineString></kml>",
       0},
      {"a start tag longer than the memory cap",
       "<kml><LineString><coordinates>1,2 3,4</coordinates></LineString><x a=\"" +
           std::string(kXmlMaxMemory + 1, 'a') + "\"/></kml>",
       2},
      {"deep nesting", [] {
         std::string deep;
         for (int i = 0; i < 200000; ++i) deep += "<a>";
         return deep;
       }(),
       0},
  };
  for (const Case& c : cases) {
    CopyToLog(u"");
    EXPECT_LE(Read(c.bytes, true).size(), c.at_most) << c.what;
    EXPECT_EQ(LogText(), "Track read error!\r\n") << c.what;
  }
}

}  // namespace
