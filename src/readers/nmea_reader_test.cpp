#include "readers/nmea_reader.h"

#include <cstdio>
#include <cstring>

#include "reader_test_util.h"

namespace {

class NmeaReaderTest : public WayconvTest {};

// "$" + body + "*" + the body's checksum in two upper-case hex digits.
std::string Sentence(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

TEST_F(NmeaReaderTest, ScannersReadAsSscanfInTheCLocale) {
  // What glibc's sscanf gives for "%1d" "%2d" "%3d" "%d" (and the same widths
  // of "%x"), written out so that every C runtime is held to it; kNo: no
  // number read, the value kept. Past 32 bits the value wraps as the runtime's
  // 64-bit conversion truncated to 32 bits does.
  constexpr long long kNo = 1LL << 40;
  const int widths[] = {1, 2, 3, -1};
  struct Case {
    const char* text;
    long long values[4];
  };
  const Case decimal[] = {
      {"42", {4, 42, 42, 42}},
      {" \t-7", {kNo, -7, -7, -7}},  // the sign counts toward the width
      {"+15x", {kNo, 1, 15, 15}},
      {"123", {1, 12, 123, 123}},
      {"-", {kNo, kNo, kNo, kNo}},
      {"x1", {kNo, kNo, kNo, kNo}},
      {"  ", {kNo, kNo, kNo, kNo}},
      {"", {kNo, kNo, kNo, kNo}},
      {"2147483647", {2, 21, 214, 2147483647}},
      {"2147483648", {2, 21, 214, -2147483648LL}},
      {"-2147483649", {kNo, -2, -21, 2147483647}},
      {"99999999999", {9, 99, 999, 1215752191}},
      {"\v\r+0", {kNo, 0, 0, 0}},
  };
  const Case hex[] = {
      {"1f", {0x1, 0x1F, 0x1F, 0x1F}},
      {"0x1F", {0x0, 0x0, 0x1, 0x1F}},
      {"0X", {0x0, 0x0, 0x0, 0x0}},
      {"0xg", {0x0, 0x0, 0x0, 0x0}},
      {"-1", {kNo, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
      {"+0x10", {kNo, 0x0, 0x0, 0x10}},
      {" ff,", {0xF, 0xFF, 0xFF, 0xFF}},
      {"ffffffff", {0xF, 0xFF, 0xFFF, 0xFFFFFFFF}},
      {"100000000", {0x1, 0x10, 0x100, 0x0}},
      {"123456789abc", {0x1, 0x12, 0x123, 0x56789ABC}},
      {"-0x2", {kNo, 0x0, 0x0, 0xFFFFFFFE}},
      {"G", {kNo, kNo, kNo, kNo}},
      {"FfFf", {0xF, 0xFF, 0xFFF, 0xFFFF}},
  };
  for (int w = 0; w < 4; ++w) {
    for (const Case& c : decimal) {
      int value = 12345;
      bool read = ScanDecimal(c.text, widths[w], &value);
      EXPECT_EQ(read, c.values[w] != kNo) << c.text << " width " << widths[w];
      EXPECT_EQ(value, read ? c.values[w] : 12345) << c.text << " width " << widths[w];
    }
    for (const Case& c : hex) {
      unsigned value = 0xABCDu;
      bool read = ScanHex(c.text, widths[w], &value);
      EXPECT_EQ(read, c.values[w] != kNo) << c.text << " width " << widths[w];
      EXPECT_EQ(value, read ? c.values[w] : 0xABCDu) << c.text << " width " << widths[w];
    }
  }
}

TEST_F(NmeaReaderTest, Checksum) {
  struct Case {
    std::string line;
    int result;
  } cases[] = {
      {"$GPRMC,1*56", kChecksumOk},
      {"$GPRMC,1*56;", kChecksumOk},   // the number ends at the first non-digit
      {"$GPRMC,1* +0x56", kChecksumOk},  // blanks, sign and prefix, as scanf reads
      {"$J*4a", kChecksumOk},          // lower case
      {"$J*004A", kChecksumOk},        // any number of digits
      {"$AA*00", kChecksumOk},         // an XOR of 0 written "00"
      {"$\x80\x01*81", kChecksumOk},   // bytes above 0x7F count as 0-255
      {"$A*41*42", kChecksumOk},       // the first "*" counts
      {"$AA*", kChecksumUnreadable},   // no number counts as 0, but no "0" follows
      {"$AA*zz", kChecksumUnreadable},
      {"$AA*-0", kChecksumUnreadable},
      {"$A*42", kChecksumMismatch},
      {"$\xff*-1", kChecksumMismatch},  // -1 is 0xFFFFFFFF, not 0xFF
      {"$A", kChecksumNoStar},
      {" $A*41", kChecksumNoDollar},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckNmeaChecksum(c.line.c_str()), c.result) << c.line;
}

TEST_F(NmeaReaderTest, RmcSentences) {
  const std::string lat = "4807.038,N,";
  const std::string lon = "01131.000,E,";
  const std::string tail = "022.4,084.4,230394,003.1,W";
  // Minutes times the double nearest 1/60, plus degrees, in that order.
  const double kLat = 7.038 * kDegreesPerMinute + 48;
  const double kLon = 31.0 * kDegreesPerMinute + 11;
  EXPECT_NEAR(kLat, 48.1173, 1e-12);
  EXPECT_NEAR(kLon, 11 + 31.0 / 60, 1e-12);
  struct Case {
    std::string line;
    int result;
    double latitude, longitude;
  } cases[] = {
      {Sentence("GPRMC,123519,A," + lat + lon + tail), kReadOk, kLat, kLon},
      {Sentence("GPRMC,123519,A,4807.038,S,01131.000,W," + tail), kReadOk, -kLat, -kLon},
      {Sentence("GPRMC,123519.00,A," + lat + lon), kReadOk, kLat, kLon},
      {Sentence("GPRMC,12,4,A," + lat + lon), kReadOk, kLat, kLon},  // the time scan starts at 11
      {Sentence("GPRMC,123519,A,1131.000,N," + lon), kReadOk, kLon, kLon},  // not 11 + 31 / 60
      {Sentence("GPRMC,123519,A,-1,N,-10,W,"), kReadOk, -1.0, 10.0},  // the sign fills a digit
      {Sentence("GPRMC,123519,A,9960,N,36960,E,"), kReadOk, 100.0, 370.0},
      {Sentence("GPRMC,123519,V," + lat + lon + tail), kNmeaNoFix, 0, 0},
      {Sentence("GPRMC,123,A," + lat + lon), kNmeaNoFix, 0, 0},  // short time: its comma is missed
      {Sentence("GNRMC,123519,A," + lat + lon), kNmeaNotRmc, 0, 0},
      {Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), kNmeaNotRmc, 0, 0},
      {"$GPRMC,123519,A," + lat + lon + tail + "*6B", kNmeaBadChecksum, 0, 0},
      {"$GPRMC,123519,A," + lat + lon + tail, kNmeaBadChecksum, 0, 0},
      {"$GPRMC,123519,A," + lat + lon + tail + "*GG", kNmeaBadChecksum, 0, 0},
      // The line ends before the time field's comma, or a control byte or a
      // byte above 0x7F stands in the way.
      {Sentence("GPRMC,"), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,1234"), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,1235\x80" "9,A," + lat + lon), kNmeaBadLatitude, 0, 0},
      // Latitude: no readable degrees, a bad hemisphere or comma.
      {Sentence("GPRMC,123519,A,,N," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4,N," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4,,N," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,1234") + ",A,4", kNmeaBadLatitude, 0, 0},  // the field ends the line
      {Sentence("GPRMC,123519,A,xx07.038,N," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4807.038,n," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4807.038,N"), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4807\x01" ",N," + lon), kNmeaBadLatitude, 0, 0},
      // Longitude.
      {Sentence("GPRMC,123519,A," + lat + ",E,"), kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "01,,E,"), kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,1234") + ",A," + lat + "01", kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "+x131.000,E,"), kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "01131.000,e,"), kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "01131.000,E;"), kNmeaBadLongitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "01131.000"), kNmeaBadLongitude, 0, 0},
      // Out of range or NaN, checked after both fields are read.
      {Sentence("GPRMC,123519,A,9961,N," + lon), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,4807.038,S,37001,W,"), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A," + lat + "011-nan,E,"), kNmeaBadLatitude, 0, 0},
      {Sentence("GPRMC,123519,A,9961,N,01131.000,X,"), kNmeaBadLongitude, 0, 0},
  };
  for (const Case& c : cases) {
    OpenInput(dir_.File("input.nmea"), c.line + "\r\n");
    // No scan may pass the end of the line: one that did would run through
    // these bytes off the end of the buffer, which the sanitizer build reports.
    std::memset(LineBuffer, 'N', sizeof LineBuffer);
    TrackPoint point;
    EXPECT_EQ(ReadNmeaPoint(&point), c.result) << c.line;
    if (c.result == kReadOk) {
      EXPECT_EQ(point.latitude, c.latitude) << c.line;
      EXPECT_EQ(point.longitude, c.longitude) << c.line;
    }
    EXPECT_EQ(ReadNmeaPoint(&point), kReadEnd) << c.line;
  }
}

TEST_F(NmeaReaderTest, FallbackModes) {
  const std::string lat = "4807.038,N,";
  const std::string lon = "01131.000,E,";
  const double kLat = 7.038 * kDegreesPerMinute + 48;
  const double kLon = 31.0 * kDegreesPerMinute + 11;
  struct Case {
    int mode;
    std::string line;
    int result;
  } cases[] = {
      // RMC of any talker, with the rules of $GPRMC.
      {kNmeaAnyRmc, Sentence("GNRMC,123519,A," + lat + lon), kReadOk},
      {kNmeaAnyRmc, Sentence("GPRMC,123519,A," + lat + lon), kReadOk},
      {kNmeaAnyRmc, Sentence("INRMC,123519,A," + lat + lon), kReadOk},
      {kNmeaAnyRmc, Sentence("gnRMC,123519,A," + lat + lon), kNmeaNotRmc},
      {kNmeaAnyRmc, Sentence("G1RMC,123519,A," + lat + lon), kNmeaNotRmc},
      {kNmeaAnyRmc, Sentence("GNRMCX,123519,A," + lat + lon), kNmeaNotRmc},
      {kNmeaAnyRmc, Sentence("GPGGA,123519," + lat + lon + "1,08,0.9,545.4,M,46.9,M,,"),
       kNmeaNotRmc},
      {kNmeaAnyRmc, "$GNRMC,123519,A," + lat + lon + "*00", kNmeaBadChecksum},
      {kNmeaAnyRmc, Sentence("GNRMC,123519,V," + lat + lon), kNmeaNoFix},
      {kNmeaAnyRmc, Sentence("GNRMC,123519,A,4807.038,N,01131.000,X,"), kNmeaBadLongitude},
      {kNmeaAnyRmc, Sentence("GNRMC,"), kNmeaBadLatitude},
      // GGA of any talker: fix qualities 1, 2, 4 and 5 only.
      {kNmeaGga, Sentence("GPGGA,123519," + lat + lon + "1,08,0.9,545.4,M,46.9,M,,"), kReadOk},
      {kNmeaGga, Sentence("GNGGA,123519.00," + lat + lon + "5,08,0.9,545.4,M,46.9,M,,"), kReadOk},
      {kNmeaGga, Sentence("GNGGA,123519," + lat + lon + "4"), kReadOk},  // the last field
      {kNmeaGga, Sentence("GNGGA,123519," + lat + lon + "6,08,0.9,545.4,M,46.9,M,,"), kNmeaNoFix},
      {kNmeaGga, Sentence("GNGGA,123519," + lat + lon + "12,08,0.9,545.4,M,46.9,M,,"), kNmeaNoFix},
      {kNmeaGga, Sentence("GNGGA,123519," + lat + lon + ",08,0.9,545.4,M,46.9,M,,"), kNmeaNoFix},
      {kNmeaGga, Sentence("GNGGA,123519,,,,,0,00,99.99,,,,,,"), kNmeaNoFix},
      {kNmeaGga, Sentence("GNGGA,123519," + lat + "01131.000,E"), kNmeaNoFix},
      {kNmeaGga, Sentence("GNGGA,123519,,N," + lon + "1,08,,,,,,,"), kNmeaBadLatitude},
      {kNmeaGga, Sentence("GNGGA,123519,4807.038,Q," + lon + "1,08,,,,,,,"), kNmeaBadLatitude},
      {kNmeaGga, Sentence("GNGGA,123519," + lat + "0,E,1,08,,,,,,,"), kNmeaBadLongitude},
      {kNmeaGga, Sentence("GNGGA,123519,9961,N," + lon + "1,08,,,,,,,"), kNmeaBadLatitude},
      {kNmeaGga, "$GNGGA,123519," + lat + lon + "1,08,0.9,545.4,M,46.9,M,,", kNmeaBadChecksum},
      {kNmeaGga, Sentence("GNRMC,123519,A," + lat + lon), kNmeaNotRmc},
  };
  for (const Case& c : cases) {
    NmeaReadMode = c.mode;
    ResetNmeaFixTime();
    OpenInput(dir_.File("input.nmea"), c.line + "\r\n" + c.line + "\n");
    std::memset(LineBuffer, 'N', sizeof LineBuffer);
    TrackPoint point;
    EXPECT_EQ(ReadNmeaPoint(&point), c.result) << c.line;
    if (c.result == kReadOk) {
      EXPECT_EQ(point.latitude, kLat) << c.line;
      EXPECT_EQ(point.longitude, kLon) << c.line;
    }
    // The same fix again is a repeat; other results stay as they were.
    EXPECT_EQ(ReadNmeaPoint(&point), c.result == kReadOk ? kNmeaRepeatedFix : c.result) << c.line;
    EXPECT_EQ(ReadNmeaPoint(&point), kReadEnd) << c.line;
  }
}

TEST_F(NmeaReaderTest, InvalidFixesOnlyIsTooShort) {
  std::string input = dir_.File("nofix.nmea");
  std::string log = "\r\n";
  for (int second = 10; second < 20; ++second) {
    std::string time = "1200" + std::to_string(second);
    log += Sentence("GPGGA," + time + ",,,,,0,00,99.99,,,,,,") + "\r\n\r\n";
    log += Sentence("GPRMC," + time + ",V,,,,,,,140523,,,N") + "\n";
    log += Sentence("GNRMC," + time + ",A,4807.038,N,01131.000,E,,,140523,,,A") + "\r";
  }
  WriteFile(input, log);
  PrepareRun(input, kInputNmea, dir_.File("out.bin"));
  StrictInput = 1;  // the device's reading: the $GNRMC fixes are not read
  EXPECT_EQ(ConvertTrack(), kConvertPassFailed);
  EXPECT_EQ(LogText(), "Input file: " + input + "\r\nToo short input file!\r\n");
}

TEST_F(NmeaReaderTest, ConvertsSample) {
  ExpectSampleConverts("drive.nmea", kInputNmea, dir_.File("drive.bin"),
                       "Track 1 at 51.218420 , 6.774250 \r\n"
                       "Track 2 at 51.228340 , 6.789312 \r\n",
                       36, 20);
}

TEST_F(NmeaReaderTest, TruncatedAndGarbageInput) {
  CheckEveryPrefix(dir_.path(), kInputNmea, ReadFile(SamplePath("drive.nmea")));
  std::mt19937 random(7410);
  const std::string alphabet = Bytes("$GPRMC,A*NSEW0123456789.-\r\n\0\x80\xff");
  for (int i = 0; i < 300; ++i) {
    // Mostly lines that pass the sentence and checksum tests, so that the
    // field scans work on garbage.
    std::string bytes;
    while (bytes.size() < 2000) {
      bytes += i % 3 == 0 ? RandomBytes(&random, 40, "")
                          : Sentence("GPRMC," + RandomBytes(&random, random() % 60, alphabet)) + "\n";
    }
    CheckReaderStops(dir_.File("noise.nmea"), kInputNmea, bytes);
  }
}

}  // namespace
