#include "readers/fit_reader.h"

#include <cmath>
#include <cstring>

#include "common/message_log.h"
#include "fit_test_util.h"
#include "reader_test_util.h"

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;  // semicircles

// Message bytes of one architecture.
struct Fit {
  bool big = false;

  std::string U16(int value) const {
    std::string b(2, '\0');
    b[big ? 1 : 0] = static_cast<char>(value & 0xFF);
    b[big ? 0 : 1] = static_cast<char>((value >> 8) & 0xFF);
    return b;
  }
  std::string U32(uint32_t value) const {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[big ? 3 - i : i] = static_cast<char>(value >> (8 * i));
    return b;
  }
  // A definition: `fields` as (number, size) pairs, developer field sizes.
  std::string Define(int local, int global, const std::vector<std::pair<int, int>>& fields,
                     const std::vector<int>& developer = {}) const {
    std::string m(1, static_cast<char>(0x40 | local | (developer.empty() ? 0 : 0x20)));
    m += '\0';
    m += static_cast<char>(big ? 1 : 0);
    m += U16(global);
    m += static_cast<char>(fields.size());
    for (auto [number, size] : fields) {
      m += static_cast<char>(number);
      m += static_cast<char>(size);
      m += size == 4 ? '\x85' : '\x84';
    }
    if (!developer.empty()) {
      m += static_cast<char>(developer.size());
      for (size_t i = 0; i < developer.size(); ++i) {
        m += static_cast<char>(i);
        m += static_cast<char>(developer[i]);
        m += '\0';
      }
    }
    return m;
  }
  // The record definition the tests use: timestamp, lat, long, altitude.
  std::string DefineRecord(int local, const std::vector<int>& developer = {}) const {
    return Define(local, kFitRecordMessage, {{253, 4}, {0, 4}, {1, 4}, {2, 2}}, developer);
  }
  std::string Record(int local, int32_t lat, int32_t lon, const std::string& developer = "") const {
    return std::string(1, static_cast<char>(local)) + U32(1000) + U32(static_cast<uint32_t>(lat)) +
           U32(static_cast<uint32_t>(lon)) + U16(100) + developer;
  }
  // The same with a compressed timestamp header (local types 0 to 3).
  std::string TimedRecord(int local, int32_t lat, int32_t lon) const {
    return static_cast<char>(0x80 | local << 5 | 7) + Record(local, lat, lon).substr(1);
  }
};

std::string FitFile(const std::string& data, int header_size = 14) {
  return FitFileAround(data, header_size);
}

std::string Crc(const std::string& bytes) { return FitCrcBytes(bytes); }

class FitReaderTest : public WayconvTest {
 protected:
  Points ReadAll(const std::string& bytes, int* end = nullptr) {
    OpenInput(dir_.File("input.fit"), bytes);
    int result;
    Points points;
    for (const TrackPoint& p : ReadAllPoints(kInputFit, bytes.size() + 2, &result)) {
      points.emplace_back(static_cast<int32_t>(std::lround(p.latitude / kDegreesPerSemicircle)),
                          static_cast<int32_t>(std::lround(p.longitude / kDegreesPerSemicircle)));
    }
    CloseInput();
    if (end != nullptr) *end = result;
    EXPECT_LT(result, 0);
    return points;
  }
};

TEST_F(FitReaderTest, FitCrcIsCrc16Arc) {
  const char* check = "123456789";
  EXPECT_EQ(FitCrc(0, reinterpret_cast<const unsigned char*>(check), 9), 0xBB3D);
  // The eight-byte steps agree with byte-by-byte updates at every length.
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += static_cast<char>(i * 37 + 11);
  for (size_t length = 0; length <= bytes.size(); ++length) {
    uint16_t bytewise = 0x1234;
    for (size_t i = 0; i < length; ++i) {
      bytewise = FitCrc(bytewise, reinterpret_cast<const unsigned char*>(bytes.data()) + i, 1);
    }
    EXPECT_EQ(FitCrc(0x1234, reinterpret_cast<const unsigned char*>(bytes.data()), length),
              bytewise)
        << length;
  }
}

TEST_F(FitReaderTest, ReadsRecordPositions) {
  Fit le;
  Fit be{true};
  const int32_t kInvalid = kFitInvalidPosition;
  struct Case {
    const char* what;
    std::string file;
    Points points;
  } cases[] = {
      {"little-endian", FitFile(le.DefineRecord(0) + le.Record(0, 100, -200) + le.Record(0, 300, 400)),
       {{100, -200}, {300, 400}}},
      {"big-endian", FitFile(be.DefineRecord(3) + be.Record(3, -5, 7) + be.Record(3, INT32_MIN, INT32_MAX - 1)),
       {{-5, 7}, {INT32_MIN, INT32_MAX - 1}}},
      {"both architectures, redefined local type",
       FitFile(le.DefineRecord(1) + le.Record(1, 1, 2) + be.DefineRecord(1) + be.Record(1, 3, 4)),
       {{1, 2}, {3, 4}}},
      {"compressed timestamp headers",
       FitFile(le.DefineRecord(2) + le.TimedRecord(2, 10, 20) + le.Record(2, 30, 40) +
               le.TimedRecord(2, 50, 60)),
       {{10, 20}, {30, 40}, {50, 60}}},
      {"developer fields skipped by size",
       FitFile(le.DefineRecord(0, {3, 1, 255}) + le.Record(0, 5, 6, std::string(259, 'd')) +
               le.Record(0, 7, 8, std::string(259, '\x7F'))),
       {{5, 6}, {7, 8}}},
      {"invalid positions skipped",
       FitFile(le.DefineRecord(0) + le.Record(0, kInvalid, 1) + le.Record(0, 1, kInvalid) +
               le.Record(0, 0, 0)),
       {{0, 0}}},
      {"other messages and records without both positions",
       FitFile(le.Define(0, 21, {{0, 4}, {1, 4}}) + std::string(1, '\0') + le.U32(9) + le.U32(9) +
               le.Define(1, kFitRecordMessage, {{0, 4}, {2, 2}}) + "\1" + le.U32(9) + le.U16(1) +
               le.Define(2, kFitRecordMessage, {{0, 2}, {1, 4}}) + "\2" + le.U16(9) + le.U32(9) +
               le.Define(3, kFitRecordMessage, {{1, 4}, {7, 1}, {0, 4}}) + "\3" + le.U32(22) + "x" +
               le.U32(11)),
       {{11, 22}}},
      {"header of 12 and of 20 bytes",
       FitFile(le.DefineRecord(0) + le.Record(0, 1, 1), 12) +
           FitFile(le.DefineRecord(0) + le.Record(0, 2, 2), 20),
       {{1, 1}, {2, 2}}},
      {"chained files", FitFile(le.DefineRecord(0) + le.Record(0, 1, 1)) + FitFile("") +
                            FitFile(be.DefineRecord(0) + be.Record(0, 2, 2)),
       {{1, 1}, {2, 2}}},
      {"255 fields of 255 bytes",
       FitFile(le.Define(5, kFitRecordMessage, std::vector<std::pair<int, int>>(255, {9, 255})) +
               "\5" + std::string(255 * 255, 'z') + le.DefineRecord(0) + le.Record(0, 3, 3)),
       {{3, 3}}},
  };
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    EXPECT_EQ(ReadAll(c.file), c.points) << c.what;
    EXPECT_EQ(LogText(), "") << c.what;
    EXPECT_EQ(InputFlaws, 0) << c.what;
  }
}

TEST_F(FitReaderTest, FaultsEndTheReadingOnce) {
  Fit le;
  std::string first = FitFile(le.DefineRecord(0) + le.Record(0, 1, 1));
  std::string two = le.DefineRecord(0) + le.Record(0, 1, 1) + le.Record(0, 2, 2);
  std::string bad_architecture = le.DefineRecord(1);
  bad_architecture[2] = 2;
  std::string short_header = FitFile(le.DefineRecord(0) + le.Record(0, 9, 9));
  short_header[0] = 11;
  struct Case {
    const char* what;
    std::string file;
    Points points;
  } cases[] = {
      {"a few bytes after a whole file", first + std::string(11, '\x0E'), {{1, 1}}},
      {"a header size below 12", first + short_header, {{1, 1}}},
      {"an architecture of 2", FitFile(two + bad_architecture + le.Record(1, 5, 5)), {{1, 1}, {2, 2}}},
      {"an undefined local type", FitFile(two + le.Record(4, 5, 5)), {{1, 1}, {2, 2}}},
      {"local types of the file before", first + FitFile(le.Record(0, 5, 5)), {{1, 1}}},
      {"a record past the data size",
       [&] {
         std::string file = FitFile(two + le.Record(0, 5, 5));
         file[4] = static_cast<char>(file[4] - 1);
         return file;
       }(),
       {{1, 1}, {2, 2}}},
      {"a definition past the data size", FitFile(two + le.DefineRecord(0).substr(0, 9)),
       {{1, 1}, {2, 2}}},
  };
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    EXPECT_EQ(ReadAll(c.file), c.points) << c.what;
    EXPECT_EQ(LogText(), "Track read error!\r\n") << c.what;
  }
}

// Cut anywhere, a file keeps the whole records before the cut; a file run
// ends where the counting pass met the cut, and logs it once.
TEST_F(FitReaderTest, CutAtEveryLength) {
  Fit le;
  Fit be{true};
  std::string first =
      FitFile(le.DefineRecord(0, {2}) + le.Record(0, 1, 1, "dd") + le.TimedRecord(0, 2, 2));
  std::string bytes = first + FitFile(be.DefineRecord(3) + be.Record(3, 3, 3) + be.Record(3, 4, 4), 12);
  CheckEveryPrefix(dir_.path(), kInputFit, bytes);
  for (size_t length = 1; length < bytes.size(); ++length) {
    if (length == first.size()) continue;  // a whole file: nothing is cut
    ResetGlobalsForTest();
    std::string input = dir_.File("cut.fit");
    WriteFile(input, bytes.substr(0, length));
    PrepareRun(input, kInputFit, dir_.File("out.bin"));
    ConvertTrack();
    std::string log = LogText();
    size_t at = log.find("Track read error!\r\n");
    ASSERT_NE(at, std::string::npos) << length;
    EXPECT_EQ(log.find("Track read error!", at + 1), std::string::npos) << length;
  }
}

TEST_F(FitReaderTest, ChecksumsAreOnlyAWarning) {
  Fit le;
  std::string good = FitFile(le.DefineRecord(0) + le.Record(0, 1, 1) + le.Record(0, 2, 2));
  std::string bad_file_crc = good;
  bad_file_crc.back() ^= 1;
  std::string bad_header_crc = good;
  bad_header_crc[12] ^= 1;
  std::string no_header_crc = good;
  no_header_crc[12] = no_header_crc[13] = 0;
  no_header_crc = no_header_crc.substr(0, no_header_crc.size() - 2) +
                  Crc(no_header_crc.substr(0, no_header_crc.size() - 2));
  std::string bad_signature = good;
  bad_signature[9] = 'f';
  struct Case {
    const char* what;
    std::string file;
    int flaws;
  } cases[] = {
      {"good", good, 0},
      {"file CRC", bad_file_crc, kFlawFitHeaderOrChecksum},
      {"header CRC", bad_header_crc, kFlawFitHeaderOrChecksum},
      {"no header CRC", no_header_crc, 0},
      {"signature", bad_signature, kFlawFitHeaderOrChecksum},
      {"second file's CRC", good + bad_file_crc, kFlawFitHeaderOrChecksum},
  };
  for (const Case& c : cases) {
    ResetGlobalsForTest();
    std::string input = dir_.File("crc.fit");
    WriteFile(input, c.file);
    PrepareRun(input, kInputFit, dir_.File("out.bin"));
    EXPECT_EQ(ConvertTrack(), kConvertOk) << c.what;
    EXPECT_EQ(PointCount, c.file.size() > good.size() ? 4 : 2) << c.what;
    EXPECT_EQ(InputFlaws, c.flaws) << c.what;
  }
}

// The semicircles stored in the track file are the file's own, bit for bit:
// longitudes at every value, latitudes within the +-90 degrees the track
// file holds.
TEST_F(FitReaderTest, StoredSemicirclesEqualTheFiles) {
  Fit le;
  std::mt19937 random(20);
  std::vector<std::pair<int32_t, int32_t>> values = {
      {0, 0}, {1, -1}, {-1, 1}, {1073741823, INT32_MAX - 1}, {-1073741824, INT32_MIN},
      {536870912, -536870912}, {123456789, 2000000001}};
  while (values.size() < 9000) {
    int32_t lat = static_cast<int32_t>(random() % 2147483648u) - 1073741824;
    int32_t lon = static_cast<int32_t>(random());
    if (lon == kFitInvalidPosition) continue;
    values.emplace_back(lat, lon);
  }
  std::string data = le.DefineRecord(0);
  for (auto [lat, lon] : values) data += le.Record(0, lat, lon);
  std::string input = dir_.File("exact.fit");
  std::string output = dir_.File("exact.bin");
  WriteFile(input, FitFile(data));
  PrepareRun(input, kInputFit, output);
  DoSplit = 0;
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  std::string image = ReadFile(output);
  ASSERT_EQ(WordAt(image, 0), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(WordAt(image, 8 + 8 * i), static_cast<uint32_t>(values[i].second)) << i;
    ASSERT_EQ(WordAt(image, 12 + 8 * i) & 0x7FFFFFFFu,
              static_cast<uint32_t>(values[i].first) & 0x7FFFFFFFu)
        << i;
  }
}

}  // namespace
