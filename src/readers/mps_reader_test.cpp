#include "readers/mps_reader.h"

#include <cmath>

#include "reader_test_util.h"

namespace {

using namespace std::string_literals;
using Points = std::vector<std::pair<double, double>>;

std::string Int32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
  return bytes;
}

std::string Record(char type, const std::string& data) {
  return Int32(static_cast<int32_t>(data.size())) + type + data;
}

std::string Point(int32_t latitude, int32_t longitude) {
  return Int32(latitude) + Int32(longitude) + std::string(kMpsPointTrailerSize, '\x55');
}

// A track record: name, the 5 skipped bytes, the count, the points.
std::string Track(const std::string& name, const Points& points) {
  std::string data = name + '\0' + std::string(kMpsTrackSkipSize, '\x01');
  data += Int32(static_cast<int32_t>(points.size()));
  for (const auto& [lat, lon] : points) {
    data += Point(static_cast<int32_t>(std::lround(lat / kMpsDegreesPerSemicircle)),
                  static_cast<int32_t>(std::lround(lon / kMpsDegreesPerSemicircle)));
  }
  return Record(kMpsTrackType, data);
}

const std::string kSignature(kMpsSignature, kMpsSignatureSize);

class MpsReaderTest : public WayconvTest {
 protected:
  void Open(const std::string& bytes) {
    OpenInput(dir_.File("input.mps"), bytes);
    MpsReaderState = kMpsNoTrack;
    MpsNextRecordPos = kMpsSignatureSize;
  }

  // The points of `bytes` through the reader loop, to 6 decimals.
  Points ReadAll(const std::string& bytes) {
    Open(bytes);
    int end;
    Points points;
    for (const TrackPoint& p : ReadAllPoints(kInputMps, bytes.size() + 2, &end)) {
      points.emplace_back(std::round(p.latitude * 1e6) / 1e6, std::round(p.longitude * 1e6) / 1e6);
    }
    EXPECT_EQ(end, kReadEnd);
    CloseInput();
    return points;
  }

  int Convert(const std::string& bytes) {
    input_ = dir_.File("track.mps");
    output_ = dir_.File("track.bin");
    WriteFile(input_, bytes);
    PrepareRun(input_, kInputMps, output_);
    return ConvertTrack();
  }

  std::string input_;
  std::string output_;
};

TEST_F(MpsReaderTest, ReadsTrackRecordsOnly) {
  struct Case {
    const char* what;
    std::string records;
    Points points;
    const char* log;
  } cases[] = {
      {"two tracks around a waypoint",
       Record('D', "g\0SQA"s) + Track("first", {{1, 1}, {2, 2}, {3, 3}}) +
           Record('W', "wpt\0"s + std::string(30, 'w')) +
           Track("second", {{4, 4}, {5, 5}, {6, 6}, {7, 7}}) + Record('V', "\0\1"s),
       {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}}, ""},
      // Where a zero-length record's type byte would stand, a "T" opens no track.
      {"zero-length records", Int32(0) + "T" + Track("t", {{1, 2}}) + Int32(0) + "T" + Int32(0),
       {{1, 2}}, ""},
      {"empty tracks", Track("", {}) + Track("a", {{1, 1}}) + Track("", {}) + Track("b", {{2, 2}}) + Track("", {}),
       {{1, 1}, {2, 2}}, ""},
      {"name of 150 bytes", Track(std::string(150, 'n'), {{1, 2}}), {{1, 2}}, ""},
      {"name of 151 bytes", Track(std::string(151, 'n'), {{1, 2}}), {}, "Track read error!\r\n"},
      {"length -5", Track("a", {{1, 1}}) + Int32(-5) + "T" + Track("b", {{9, 9}}), {{1, 1}}, ""},
      {"past 2^31", Track("a", {{1, 1}}) + Int32(INT32_MAX - 4) + "T" + Track("b", {{9, 9}}), {{1, 1}}, ""},
  };
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    EXPECT_EQ(ReadAll(kSignature + c.records), c.points) << c.what;
    EXPECT_EQ(LogText(), c.log) << c.what;
  }
}

TEST_F(MpsReaderTest, Coordinates) {
  Open(kSignature + Record('T', "t\0"s + std::string(5, '\0') + Int32(2) +
                                    Point(0x20000000, static_cast<int32_t>(0xE0000000)) +
                                    Point(INT32_MIN, INT32_MAX)));
  TrackPoint point;
  ASSERT_EQ(ReadMpsTrackPoint(&point), kReadOk);
  EXPECT_EQ(point.latitude, 45.0);
  EXPECT_EQ(point.longitude, -45.0);
  ASSERT_EQ(ReadMpsTrackPoint(&point), kReadOk);
  EXPECT_EQ(point.latitude, -180.0);
  EXPECT_EQ(point.longitude, INT32_MAX * kMpsDegreesPerSemicircle);
}

TEST_F(MpsReaderTest, BrokenTrackRecord) {
  // A track record cut after `cut` bytes of its data, as ReadMpsPoint meets it.
  std::string track = kSignature + Track("name", {{1, 2}});
  struct Case {
    size_t cut;
    int result;
  } cases[] = {
      {0, kMpsNameCut},        {4, kMpsNameCut},         {5, kMpsShortSkip},
      {9, kMpsShortSkip},      {10, kMpsShortCount},     {13, kMpsShortCount},
      {14, kMpsShortLatitude}, {17, kMpsShortLatitude},  {18, kMpsShortLongitude},
      {21, kMpsShortLongitude},
      {22, kReadOk},  // the trailing bytes may be missing: the seek succeeds
  };
  for (const Case& c : cases) {
    Open(track.substr(0, kSignature.size() + kMpsRecordHeaderSize + c.cut));
    ASSERT_EQ(FindMpsTrack(), kMpsFound) << c.cut;
    MpsReaderState = kMpsAtTrackHeader;
    TrackPoint point;
    EXPECT_EQ(ReadMpsPoint(&point), c.result) << c.cut;
  }
  Open(kSignature + Record('T', "n\0"s + std::string(kMpsTrackSkipSize, '\0') + Int32(-1)));
  ASSERT_EQ(FindMpsTrack(), kMpsFound);
  MpsReaderState = kMpsAtTrackHeader;
  TrackPoint point;
  EXPECT_EQ(ReadMpsPoint(&point), kMpsNegativeCount);
  MpsReaderState = kMpsNoTrack;
  EXPECT_EQ(ReadMpsPoint(&point), kMpsNotInTrack);
}

TEST_F(MpsReaderTest, RecordSearch) {
  struct Case {
    const char* what;
    std::string records;
    int result;
  } cases[] = {
      {"no records", "", kMpsNoLength},
      {"cut length", "\1\0"s, kMpsNoLength},
      {"no type byte", Int32(10), kMpsNoType},
      {"record past the end", Record('W', "abc") + Int32(1000) + "W", kMpsNoLength},
      {"length -5", Int32(-5) + "W", kMpsBadLength},
      {"length -6", Record('W', "abc") + Int32(-6) + "W", kMpsBadLength},
      {"past 2^31", Int32(INT32_MAX - 10) + "W", kMpsBadLength},
      // A small negative length still moves on: 4 bytes, onto a "T" record.
      {"length -1", Int32(-1) + Int32(1) + "T", kMpsFound},
  };
  for (const Case& c : cases) {
    Open(kSignature + c.records);
    EXPECT_EQ(FindMpsTrack(), c.result) << c.what;
  }
}

TEST_F(MpsReaderTest, CutTracksConvert) {
  // Cut inside the third point's longitude, the counting pass reports the
  // broken record and the points before it are converted; cut inside its
  // trailing bytes, the file converts whole.
  std::string full = kSignature + Record('W', "x") + Track("cut", {{1, 1}, {1.001, 1.001}, {1.002, 1.002}});
  struct Case {
    size_t cut_bytes;
    std::string errors;
    size_t points;
  } cases[] = {{kMpsPointTrailerSize + 2, "Track read error!\r\n", 2}, {10, "", 3}};
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    ASSERT_EQ(Convert(full.substr(0, full.size() - c.cut_bytes)), kConvertOk);
    EXPECT_EQ(LogText(), SuccessLog(input_, c.errors + "Track 1 at 1.000000 , 1.000000 \r\n", output_));
    std::vector<StoredPoint> stored = StoredPoints(ReadFile(output_));
    ASSERT_EQ(stored.size(), c.points);
    EXPECT_NEAR(stored.back().longitude, 1.0 + 0.001 * (c.points - 1), 1e-6);
  }
}

TEST_F(MpsReaderTest, Signature) {
  struct Case {
    std::string bytes;
    int result;
    const char* log;
  } cases[] = {
      {"MsRcd\0"s, kConvertPassFailed, "Too short input file!\r\n"},
      {"MsRcd\1"s + Track("t", {{1, 2}, {3, 4}}), kConvertOpenFailed, "Incorrect file format!\r\n"},
      {"MsRc\0\0"s, kConvertOpenFailed, "Incorrect file format!\r\n"},
      {"MsRcd"s, kConvertOpenFailed, "Input file read error!\r\n"},
  };
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    EXPECT_EQ(Convert(c.bytes), c.result) << c.bytes;
    EXPECT_EQ(LogText(), "Input file: " + input_ + "\r\n" + c.log) << c.bytes;
    EXPECT_EQ(InputStream, nullptr);
  }
}

TEST_F(MpsReaderTest, ConvertsSample) {
  ExpectSampleConverts("hike.mps", kInputMps, dir_.File("hike.bin"),
                       "Track 1 at 46.604330 , 10.381310 \r\n"
                       "Track 2 at 46.621440 , 10.371790 \r\n",
                       25, 14);
}

TEST_F(MpsReaderTest, TruncatedAndGarbageInput) {
  CheckEveryPrefix(dir_.path(), kInputMps, ReadFile(SamplePath("hike.mps")));
  std::mt19937 random(1000000000);
  for (int i = 0; i < 500; ++i) {
    // Small lengths and "T" bytes, so that records and tracks are found and
    // hold garbage.
    std::string bytes = kSignature;
    while (bytes.size() < 1500) {
      switch (random() % 4) {
        case 0: bytes += Int32(static_cast<int32_t>(random() % 80) - 8); break;
        case 1: bytes += 'T'; break;
        case 2: bytes += Int32(static_cast<int32_t>(random() % 5)); break;
        default: bytes += RandomBytes(&random, random() % 40, ""); break;
      }
    }
    CheckReaderStops(dir_.File("noise.mps"), kInputMps, bytes);
  }
}

}  // namespace
