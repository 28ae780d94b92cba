// The readings tried after the device's reading finds fewer than two points:
// RMC of all talkers and GGA fixes for NMEA logs, route points for GPX. Each
// case is converted with the fallbacks and with StrictInput, which must give
// what the device's reading alone gives.
#include <cstdio>

#include "reader_test_util.h"
#include "readers/gpx_reader.h"
#include "readers/nmea_reader.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

// "$" + body + "*" + its checksum.
std::string Sentence(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

// A fix at 48 degrees `minutes` north, 11 degrees 31' east.
std::string Rmc(const std::string& talker, const std::string& time, const char* minutes,
                char status = 'A') {
  return Sentence(talker + "RMC," + time + "," + status + ",48" + minutes +
                  ",N,01131.000,E,0.1,0.0,140523,,,A");
}
std::string Gga(const std::string& talker, const std::string& time, const char* minutes,
                char quality) {
  return Sentence(talker + "GGA," + time + ",48" + minutes + ",N,01131.000,E," + quality +
                  ",08,0.9,545.4,M,46.9,M,,");
}

double Lat(double minutes) {
  return 48 + minutes / 60;
}
constexpr double kLon = 11 + 31.0 / 60;

const char kFirstTrack[] = "Track 1 at 48.117300 , 11.516667 \r\n";
const char kAnyRmc[] = "No $GPRMC fixes: reading RMC of all talkers\r\n";
const char kGga[] = "No RMC fixes: reading GGA fixes\r\n";
const char kRoute[] = "No track points: reading route points\r\n";

class ReadingFallbackTest : public WayconvTest {};

TEST_F(ReadingFallbackTest, ReadingsAndTheirLogLines) {
  struct Case {
    const char* label;
    int kind;
    std::string body;
    int result;          // with the fallbacks
    std::string middle;  // the log between the input line and the report
    Points points;
    bool device_converts;  // the device's reading alone gives the same
  } cases[] = {
      {"GN only",
       kInputNmea,
       Rmc("GN", "120000", "07.038") + Gga("GN", "120000", "07.038", '1') +
           Rmc("GN", "120001", "07.040") + Rmc("GN", "120002", "07.042"),
       kConvertOk,
       std::string(kAnyRmc) + kFirstTrack,
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}, {Lat(7.042), kLon}},
       false},
      {"GN and GL fixes at the same times",
       kInputNmea,
       Rmc("GN", "120000", "07.038") + Rmc("GL", "120000", "07.038") +
           Rmc("GN", "120001.00", "07.040") + Rmc("GL", "120001.00", "07.041") +
           Rmc("IN", "120002", "07.042"),
       kConvertOk,
       std::string(kAnyRmc) + kFirstTrack,
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}, {Lat(7.042), kLon}},
       false},
      {"GP and GA pairs: the device's reading",
       kInputNmea,
       Rmc("GP", "120000", "07.038") + Rmc("GA", "120000", "07.038") +
           Rmc("GP", "120001", "07.040") + Rmc("GA", "120001", "07.040"),
       kConvertOk,
       kFirstTrack,
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}},
       true},
      {"one GP fix among GN fixes",
       kInputNmea,
       Rmc("GN", "120000", "07.038") + Rmc("GP", "120001", "07.040") +
           Rmc("GN", "120001", "07.041") + Rmc("GN", "120002", "07.042") +
           Rmc("GN", "120003", "07.044", 'V'),
       kConvertOk,
       std::string(kAnyRmc) + kFirstTrack,
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}, {Lat(7.042), kLon}},
       false},
      {"GGA only, qualities mixed",
       kInputNmea,
       Gga("GP", "120000", "07.038", '1') + Gga("GP", "120001", "07.039", '0') +
           Gga("GP", "120002", "07.040", '2') + Gga("GN", "120002", "07.040", '2') +
           Gga("GP", "120003", "07.041", '6') + Gga("GP", "120004", "07.042", '4') +
           Gga("GP", "120005", "07.043", '8') + Gga("GP", "120006", "07.044", '5') +
           Gga("GP", "120007", "07.045", '3') + Gga("GP", "120008", "07.046", '7'),
       kConvertOk,
       std::string(kGga) + kFirstTrack,
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}, {Lat(7.042), kLon}, {Lat(7.044), kLon}},
       false},
      {"void RMC and one GN fix with GGA fixes, a gap over 1000 m",
       kInputNmea,
       Rmc("GP", "120000", "07.038", 'V') + Gga("GP", "120000", "07.038", '1') +
           Rmc("GN", "120001", "07.040") + Gga("GP", "120001", "07.040", '1') +
           Rmc("GP", "120002", "07.042", 'V') + Gga("GP", "120002", "09.000", '1'),
       kConvertOk,
       std::string(kGga) + kFirstTrack + "Track 2 at 48.150000 , 11.516667 \r\n",
       {{Lat(7.038), kLon}, {Lat(7.040), kLon}, {Lat(9.0), kLon}},
       false},
      {"one fix of each",
       kInputNmea,
       Rmc("GP", "120000", "07.038") + Rmc("GN", "120000", "07.038") +
           Gga("GP", "120000", "07.038", '1') + Gga("GP", "120001", "07.040", '0'),
       kConvertPassFailed,
       "Too short input file!\r\n",
       {},
       true},
      {"text that is no NMEA",
       kInputNmea,
       "hello\r\n$GNRMC,no fix\r\n",
       kConvertPassFailed,
       "Too short input file!\r\n",
       {},
       true},
      {"route only",
       kInputGpx,
       "<gpx><rte><name>r</name><rtept lat=\"48.1173\" lon=\"11.516667\"><name>a</name></rtept>"
       "<rtept lat='48.1174' lon='11.516667'/></rte></gpx>",
       kConvertOk,
       std::string(kRoute) + kFirstTrack,
       {{48.1173, 11.516667}, {48.1174, 11.516667}},
       false},
      {"one trkpt and many rtept",
       kInputGpx,
       "<gpx><wpt lat=\"1\" lon=\"1\"/><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>"
       "<rte><rtept lat=\"48.1173\" lon=\"11.516667\"/><rtept lat=\"48.1174\" lon=\"11.516667\"/>"
       "<rtept lat=\"\" lon=\"11.516667\"/><rtept lat=\"48.1175\" lon=\"11.516667\"/></rte></gpx>",
       kConvertOk,
       std::string(kRoute) + kFirstTrack,
       {{48.1173, 11.516667}, {48.1174, 11.516667}, {48.1175, 11.516667}},
       false},
      {"waypoints only",
       kInputGpx,
       "<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"1\" lon=\"3\"/></gpx>",
       kConvertPassFailed,
       "Too short input file!\r\n",
       {},
       true},
  };
  std::string input = dir_.File("input");
  std::string output = dir_.File("Tracks.bin");
  for (const Case& c : cases) {
    for (int strict : {0, 1}) {
      SCOPED_TRACE(std::string(c.label) + (strict ? ", strict" : ""));
      ResetAllForTest();
      WriteFile(input, c.body);
      WriteFile(output, "");
      PrepareRun(input, c.kind, output);
      StrictInput = strict;
      bool same = !strict || c.device_converts;
      int result = ConvertTrack();
      EXPECT_EQ(result, same ? c.result : kConvertPassFailed);
      std::string middle = same ? c.middle : "Too short input file!\r\n";
      if (result == kConvertOk) {
        EXPECT_EQ(LogText(), SuccessLog(input, middle, output));
        std::vector<StoredPoint> stored = StoredPoints(ReadFile(output));
        ASSERT_EQ(stored.size(), c.points.size());
        for (size_t i = 0; i < stored.size(); ++i) {
          EXPECT_NEAR(stored[i].latitude, c.points[i].first, 1e-7) << i;
          EXPECT_NEAR(stored[i].longitude, c.points[i].second, 1e-7) << i;
        }
      } else {
        EXPECT_EQ(LogText(), "Input file: " + input + "\r\n" + middle);
        EXPECT_EQ(ReadFile(output), "");
      }
      // Whatever the run did, the next one starts with the device's reading.
      EXPECT_EQ(NmeaReadMode, kNmeaGprmcOnly);
      EXPECT_EQ(GpxPointElement, kGpxTrackPoints);
    }
  }
}

TEST_F(ReadingFallbackTest, LongRouteIsThinnedAsAnyRecording) {
  std::string body = "<gpx><rte>";
  for (int i = 0; i < 10001; ++i) {
    body += "<rtept lat=\"" + std::to_string(47 + i * 0.00001) + "\" lon=\"8\"/>";
  }
  std::string input = dir_.File("long.gpx");
  WriteFile(input, body + "</rte></gpx>");
  PrepareRun(input, kInputGpx, dir_.File("Tracks.bin"));
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  EXPECT_EQ(PointCount, kMaxStoredPoints);
  EXPECT_EQ(LogText(),
            SuccessLog(input, std::string(kRoute) + "Track 1 at 47.000000 , 8.000000 \r\n",
                       dir_.File("Tracks.bin")));
}

// `text` (ASCII and any UTF-8) as UTF-16 in either byte order, with or
// without the byte order mark.
std::string Utf16(const std::string& text, bool little_endian, bool mark) {
  std::u16string units = W(text);
  std::string bytes;
  if (mark) units.insert(units.begin(), u'\xFEFF');
  for (char16_t unit : units) {
    char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST_F(ReadingFallbackTest, Utf16TextWithAMarkIsReadAsItsText) {
  const char kUtf16[] = "UTF-16 text: reading it as UTF-8\r\n";
  const std::string gprmc = Rmc("GP", "120000", "07.038") + "caf\xC3\xA9 \xF0\x9F\x98\x80\r\n" +
                            Rmc("GP", "120001", "07.040");
  const std::string gn = Rmc("GN", "120000", "07.038") + Rmc("GN", "120001", "07.040");
  const std::string route = "<gpx><rte><rtept lat=\"48.1173\" lon=\"11.516667\"/>"
                            "<rtept lat=\"48.1174\" lon=\"11.516667\"/></rte></gpx>";
  const Points two = {{Lat(7.038), kLon}, {Lat(7.040), kLon}};
  struct Case {
    const char* label;
    int kind;
    std::string text;
    std::string fallback;  // the fallback's log line, if one is needed
    Points points;
  } cases[] = {
      {"$GPRMC", kInputNmea, gprmc, "", two},
      {"GN only", kInputNmea, gn, kAnyRmc, two},
      {"route", kInputGpx, route, kRoute, {{48.1173, 11.516667}, {48.1174, 11.516667}}},
  };
  std::string input = dir_.File("input");
  std::string output = dir_.File("Tracks.bin");
  for (const Case& c : cases) {
    for (bool little_endian : {true, false}) {
      for (bool mark : {true, false}) {
        for (int strict : {0, 1}) {
          SCOPED_TRACE(std::string(c.label) + (little_endian ? " LE" : " BE") +
                       (mark ? " with mark" : " without") + (strict ? ", strict" : ""));
          ResetAllForTest();
          WriteFile(input, Utf16(c.text, little_endian, mark));
          WriteFile(output, "");
          PrepareRun(input, c.kind, output);
          StrictInput = strict;
          int result = ConvertTrack();
          if (!mark || strict) {
            // Without the mark it is not taken for text; --strict reads bytes only.
            EXPECT_EQ(result, kConvertPassFailed);
            EXPECT_EQ(LogText(), "Input file: " + input + "\r\nToo short input file!\r\n");
            continue;
          }
          ASSERT_EQ(result, kConvertOk);
          EXPECT_EQ(LogText(), SuccessLog(input, kUtf16 + c.fallback + kFirstTrack, output));
          std::vector<StoredPoint> stored = StoredPoints(ReadFile(output));
          ASSERT_EQ(stored.size(), c.points.size());
          for (size_t i = 0; i < stored.size(); ++i) {
            EXPECT_NEAR(stored[i].latitude, c.points[i].first, 1e-7) << i;
            EXPECT_NEAR(stored[i].longitude, c.points[i].second, 1e-7) << i;
          }
          EXPECT_EQ(NmeaReadMode, kNmeaGprmcOnly);
        }
      }
    }
  }
}

TEST_F(ReadingFallbackTest, LongUtf16LogGivesTheSameTrackFile) {
  // Far longer than one block of the transcoder, with characters of two and
  // four bytes all along, so that units and surrogate pairs fall on the
  // blocks' edges; more points than the file holds, so the storing pass
  // skips through the text too.
  std::string text;
  for (int i = 0; i < 12000; ++i) {
    char minutes[16];
    std::snprintf(minutes, sizeof minutes, "%02d.%03d", i / 1000 % 60, i % 1000);
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d", i / 3600 % 24, i / 60 % 60, i % 60);
    text += Rmc("GP", time, minutes);
    text += i % 3 == 0 ? "\xC3\xBC\r\n" : "\xF0\x9F\x98\x80\r\n";
  }
  std::string output = dir_.File("Tracks.bin");
  WriteFile(dir_.File("utf8"), text);
  PrepareRun(dir_.File("utf8"), kInputNmea, output);
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  std::string expected = ReadFile(output);
  for (bool little_endian : {true, false}) {
    ResetAllForTest();
    WriteFile(dir_.File("utf16"), Utf16(text, little_endian, true));
    PrepareRun(dir_.File("utf16"), kInputNmea, output);
    ASSERT_EQ(ConvertTrack(), kConvertOk);
    EXPECT_TRUE(ReadFile(output) == expected) << little_endian;
    EXPECT_NE(LogText().find("UTF-16 text: reading it as UTF-8\r\n"), std::string::npos);
  }
}

}  // namespace
