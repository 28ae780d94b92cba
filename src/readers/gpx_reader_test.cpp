#include "readers/gpx_reader.h"

#include <cstring>

#include "reader_test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

class GpxReaderTest : public WayconvTest {
 protected:
  void Open(const std::string& bytes) { OpenInput(dir_.File("input.gpx"), bytes); }

  Points ReadAll(const std::string& bytes) {
    Open(bytes);
    int end;
    Points points;
    for (const TrackPoint& p : ReadAllPoints(kInputGpx, bytes.size() + 2, &end)) {
      points.emplace_back(p.latitude, p.longitude);
    }
    EXPECT_EQ(end, kReadEnd);
    return points;
  }
};

TEST_F(GpxReaderTest, TagScanner) {
  struct Case {
    int size;
    std::string input;
    std::vector<std::string> tags;  // the texts read, in order
    int end;                        // the result after them
  } cases[] = {
      {1000, "", {}, kGpxTagNone},
      {1000, "x <a b='1'> text <c/>", {"a b='1'", "c/"}, kGpxTagNone},
      {1000, "<>", {""}, kGpxTagNone},
      {1000, "<a\r\nb>c>", {"a\r\nb"}, kGpxTagNone},  // line ends belong to the tag
      {1000, "<a<b>", {"a<b"}, kGpxTagNone},
      {1000, "<a><b", {"a"}, kGpxTagCut},
      {1000, Bytes("<a\0b>"), {Bytes("a\0b")}, kGpxTagNone},
      // With size 8 a tag keeps 6 characters; the next call passes over the
      // rest, ">" included, to the next "<".
      {8, "<12345><b>", {"12345", "b"}, kGpxTagNone},
      {8, "<123456><b>", {"123456", "b"}, kGpxTagNone},
      {8, "<1234567><b>", {"123456", "b"}, kGpxTagNone},
  };
  for (const Case& c : cases) {
    Open(c.input);
    for (const std::string& tag : c.tags) {
      std::memset(GpxTagBuffer, 'z', sizeof GpxTagBuffer);
      ASSERT_EQ(ReadGpxTag(GpxTagBuffer, c.size), kGpxTagOk) << c.input;
      EXPECT_EQ(std::string(GpxTagBuffer, tag.size() + 1), tag + '\0') << c.input;
      EXPECT_EQ(GpxTagBuffer[c.size - 1], 0);
    }
    EXPECT_EQ(ReadGpxTag(GpxTagBuffer, c.size), c.end) << c.input;
  }
}

TEST_F(GpxReaderTest, TrackPointTags) {
  struct Case {
    std::string tag;
    int result;
    double latitude, longitude;
  } cases[] = {
      {"<trkpt lat=\"48.1\" lon=\"11.5\">", kReadOk, 48.1, 11.5},
      {"<trkpt lon=\"11.5\" lat=\"48.1\">", kReadOk, 48.1, 11.5},
      {"<trkpt lat=\"48.1\" lon=\"11.5\"/>", kReadOk, 48.1, 11.5},
      {"<gpx:trkpt lat='-33.9' lon='-70.6'>", kReadOk, -33.9, -70.6},
      {"<trkpt lat=\"-100\" lon=\"370\">", kReadOk, -100.0, 370.0},
      // The number is the first digit or minus sign after the name, inside
      // its value: an empty one does not borrow the next attribute's number.
      {"<trkpt lat=\"\" lon=\"11.5\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"48.1\">", kGpxNoAttribute, 0, 0},
      {"</gpx:trkpt>", kGpxNoAttribute, 0, 0},
      {"<trkpt lon=\"11.5\" lat=\"x\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"1\" lon=\"nan\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"100.1\" lon=\"0\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"0\" lon=\"-370.5\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"-nan\" lon=\"0\">", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"0\" lon=\"-nan\">", kGpxOutOfRange, 0, 0},
      // A NUL byte ends the tag's text.
      {Bytes("<trkpt lat=\"48.1\"\0 lon=\"11.5\">"), kGpxNoAttribute, 0, 0},
      {Bytes("<trkpt lat=\"48.1\" lon=\"1\0" "2\">"), kReadOk, 48.1, 1.0},
      {Bytes("<trk\0pt lat=\"48.1\" lon=\"11.5\">"), kReadEnd, 0, 0},
      {"<TRKPT lat=\"48.1\" lon=\"11.5\">", kReadEnd, 0, 0},
      {"</trkpt><rtept lat=\"48.1\" lon=\"11.5\">", kReadEnd, 0, 0},
      {"<trkpt lat=\"48.1\" lon=\"11.5\"", kReadEnd, 0, 0},
  };
  for (const Case& c : cases) {
    Open(c.tag);
    TrackPoint point;
    EXPECT_EQ(ReadGpxPoint(&point), c.result) << c.tag;
    if (c.result == kReadOk) {
      EXPECT_EQ(point.latitude, c.latitude) << c.tag;
      EXPECT_EQ(point.longitude, c.longitude) << c.tag;
    }
  }
}

TEST_F(GpxReaderTest, NumberMustStartInsideTheValue) {
  // The search for a coordinate stops at the value's closing quote, of
  // either kind; a value with no number in it makes the point malformed.
  struct Case {
    std::string tag;
    int result;
    double latitude, longitude;
  } cases[] = {
      {"<trkpt lat=\"abc\" lon=\"8.001\"/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lat='abc' lon='8.001'/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lon=\"8.001\" lat=\"abc\"/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"47.5\" lon=\"\"/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lon='' lat='47.5'/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"\" lon=\"\" ele=\"5\"/>", kGpxOutOfRange, 0, 0},
      {"<trkpt lat=\"x\">", kGpxOutOfRange, 0, 0},
      // Well-formed values, with blanks and either quote, read as ever.
      {"<trkpt lat = ' 47.5' lon=\"-8.25\">", kReadOk, 47.5, -8.25},
      {"<trkpt lon='8' lat=\"-47\"/>", kReadOk, -47.0, 8.0},
      {"<trkpt lat=\"N47.5\" lon=\"E8\">", kReadOk, 47.5, 8.0},
      // Without quotes the search runs to the end of the tag, as before.
      {"<trkpt lat=47.5 lon=8>", kReadOk, 47.5, 8.0},
      {"<trkpt lat lon>", kGpxNoNumber, 0, 0},
  };
  for (const Case& c : cases) {
    Open(c.tag + "<trkpt lat=\"1\" lon=\"2\"/>");
    TrackPoint point;
    EXPECT_EQ(ReadGpxPoint(&point), c.result) << c.tag;
    if (c.result == kReadOk) {
      EXPECT_EQ(point.latitude, c.latitude) << c.tag;
      EXPECT_EQ(point.longitude, c.longitude) << c.tag;
    }
    // Route points follow the same rule.
    std::string route = c.tag;
    route.replace(route.find("trkpt"), 5, "rtept");
    Open(route);
    GpxPointElement = kGpxRoutePoints;
    EXPECT_EQ(ReadGpxPoint(&point), c.result) << route;
    GpxPointElement = kGpxTrackPoints;
  }
}

const char kTrack[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx version=\"1.1\">\n"
    " <wpt lat=\"10.0\" lon=\"10.0\"><name>w</name></wpt>\n"
    " <rte><rtept lat=\"20.0\" lon=\"20.0\"/></rte>\n"
    " <trk><name>t</name>\n"
    "  <trkseg>\n"
    "   <trkpt lat=\"48.1\" lon=\"11.5\"><ele>500</ele><time>2023-05-14T09:00:00Z</time></trkpt>\n"
    "   <trkpt lat=\"48.2\"><ele>501</ele></trkpt>\n"
    "   <trkpt lat=\"48.3\" lon=\"11.7\"/>\n"
    "  </trkseg>\n"
    "  <trkseg>\n"
    "   <trkpt lat=\"48.4\" name=\"a>b\" lon=\"11.8\"></trkpt>\n"
    "   <trkpt lon=\"-70.6\" lat=\"-33.9\"></trkpt>\n"
    "  </trkseg>\n"
    " </trk>\n"
    "</gpx>\n";

TEST_F(GpxReaderTest, ReadsTrackPointsOnly) {
  // Waypoints and route points are not read, a point without longitude and
  // one whose tag a ">" in a value cut short are passed over, and the two
  // segments run on as one.
  EXPECT_EQ(ReadAll(kTrack), (Points{{48.1, 11.5}, {48.3, 11.7}, {-33.9, -70.6}}));

  std::string prefixed;
  for (const char* p = kTrack; *p != 0; ++p) {
    prefixed += *p;
    if ((*p == '<' && p[1] != '?' && p[1] != '/') || (*p == '/' && p[-1] == '<')) prefixed += "gpx:";
  }
  ASSERT_NE(prefixed.find("</gpx:trkpt>"), std::string::npos);
  EXPECT_EQ(ReadAll(prefixed), ReadAll(kTrack));
}

TEST_F(GpxReaderTest, TagCutAt998Characters) {
  // The longitude's first digit at index 997 of the tag text is still read;
  // one further on only its name is left, and further still not even that.
  struct Case {
    size_t digit_index;
    int result;
  } cases[] = {{997, kReadOk}, {998, kGpxNoNumber}, {1001, kGpxNoAttribute}};
  for (const Case& c : cases) {
    std::string text = "trkpt lat=\"1\" ";
    text += std::string(c.digit_index - text.size() - 5, ' ') + "lon=\"2\"";
    Open("<" + text + "><trkpt lat=\"3\" lon=\"4\">");
    TrackPoint point;
    EXPECT_EQ(ReadGpxPoint(&point), c.result) << c.digit_index;
    EXPECT_EQ(ReadGpxPoint(&point), kReadOk) << c.digit_index;
    EXPECT_EQ(point.latitude, 3.0);
  }
}

TEST_F(GpxReaderTest, NoTrackPointsIsTooShort) {
  std::string input = dir_.File("route.gpx");
  WriteFile(input, "<gpx><wpt lat=\"1\" lon=\"2\"/><rte><rtept lat=\"1\" lon=\"2\"/>"
                   "<rtept lat=\"3\" lon=\"4\"/></rte></gpx>\n");
  PrepareRun(input, kInputGpx, dir_.File("out.bin"));
  StrictInput = 1;  // the device's reading: route points are not read
  EXPECT_EQ(ConvertTrack(), kConvertPassFailed);
  EXPECT_EQ(LogText(), "Input file: " + input + "\r\nToo short input file!\r\n");
}

TEST_F(GpxReaderTest, ConvertsSample) {
  ExpectSampleConverts("walk.gpx", kInputGpx, dir_.File("walk.bin"),
                       "Track 1 at 47.362300 , 8.548440 \r\n"
                       "Track 2 at 47.377540 , 8.579270 \r\n",
                       34, 18);
}

TEST_F(GpxReaderTest, TruncatedAndGarbageInput) {
  CheckEveryPrefix(dir_.path(), kInputGpx, ReadFile(SamplePath("walk.gpx")));
  CheckEveryPrefix(dir_.path(), kInputGpx, kTrack);
  std::mt19937 random(20230514);
  const std::string alphabet = Bytes("<>/\"= trkptlaon-0123456789.e\n\0\x80\xff");
  for (int i = 0; i < 300; ++i) {
    CheckReaderStops(dir_.File("noise.gpx"), kInputGpx,
                     RandomBytes(&random, random() % 3000, i % 2 == 0 ? alphabet : ""));
  }
  // A tag longer than the stream's read window is cut all the same.
  Open("<" + std::string(kStreamBufferSize + 10, 'q') + "><b>");
  ASSERT_EQ(ReadGpxTag(GpxTagBuffer, kGpxTagReadSize), kGpxTagOk);
  EXPECT_EQ(std::strlen(GpxTagBuffer), 998u);
  ASSERT_EQ(ReadGpxTag(GpxTagBuffer, kGpxTagReadSize), kGpxTagOk);
  EXPECT_STREQ(GpxTagBuffer, "b");
}

}  // namespace
