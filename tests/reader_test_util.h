// Helpers for the point reader tests: feed bytes to a reader through the
// program-wide input stream, run conversions, decode the track file.
#pragma once

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/globals.h"
#include "conversion/conversion_run.h"
#include "conversion/track_file.h"
#include "readers/fit_reader.h"
#include "readers/mps_reader.h"
#include "test_util.h"

/// A string literal with its NUL bytes kept.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

inline void CloseInput() {
  StreamClose(InputStream);
  InputStream = nullptr;
}

/// Opens the file at `path` (first writing `bytes` to it) as the input stream.
inline void OpenInput(const std::string& path) {
  CloseInput();
  InputStream = StreamOpen(W(path).c_str(), "rb");
  ASSERT_NE(InputStream, nullptr);
}
inline void OpenInput(const std::string& path, const std::string& bytes) {
  WriteFile(path, bytes);
  OpenInput(path);
}

/// The points ReadNextPoint gives from the open input, as the conversion run
/// would read them. `*end` gets the result that ended the loop, or 1 when it
/// had not ended after `limit` calls.
inline std::vector<TrackPoint> ReadAllPoints(int kind, size_t limit, int* end) {
  InputKind = kind;
  MpsReaderState = kMpsNoTrack;
  MpsNextRecordPos = kMpsSignatureSize;
  StartFitPass(1);
  std::vector<TrackPoint> points;
  TrackPoint point;
  *end = 1;
  while (points.size() < limit && (*end = ReadNextPoint(&point)) == kReadOk)
    points.push_back(point);
  return points;
}

/// One slot of a track file, back in degrees (to within a semicircle).
struct StoredPoint {
  double latitude, longitude;
  bool track_start;
};

inline std::vector<StoredPoint> StoredPoints(const std::string& image) {
  std::vector<StoredPoint> points;
  for (uint32_t i = 0; image.size() == kTrackFileSize && i < WordAt(image, 0); ++i) {
    uint32_t lat = WordAt(image, 12 + 8 * i);
    int32_t lat_value = static_cast<int32_t>(lat << 1) >> 1;  // without the flag, sign from bit 30
    points.push_back({lat_value * kMpsDegreesPerSemicircle,
                      static_cast<int32_t>(WordAt(image, 8 + 8 * i)) * kMpsDegreesPerSemicircle,
                      (lat & kTrackStartFlag) != 0});
  }
  return points;
}

/// Random bytes drawn from `alphabet`, or any bytes when it is empty.
inline std::string RandomBytes(std::mt19937* random, size_t length, const std::string& alphabet) {
  std::string bytes(length, '\0');
  for (char& c : bytes) {
    c = alphabet.empty() ? static_cast<char>((*random)() & 0xFF)
                         : alphabet[(*random)() % alphabet.size()];
  }
  return bytes;
}

/// The log of a successful run, with `middle` between the input line and the report.
inline std::string SuccessLog(const std::string& input, const std::string& middle,
                              const std::string& output) {
  return "Input file: " + input + "\r\n" + middle + "OK!\r\n\r\nOutput file: " + output + "\r\n";
}

inline std::string SamplePath(const std::string& name) {
  return std::string(WAYCONV_SOURCE_DIR) + "/samples/" + name;
}

/// Converts the bundled sample `name` as `kind` into `output`: the log must
/// announce exactly `announcements`, and the file must hold `count` points
/// with a track starting at the first and at `second_track`.
inline void ExpectSampleConverts(const std::string& name, int kind, const std::string& output,
                                 const std::string& announcements, size_t count,
                                 size_t second_track) {
  std::string input = SamplePath(name);
  PrepareRun(input, kind, output);
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  EXPECT_EQ(LogText(), SuccessLog(input, announcements, output));
  std::vector<StoredPoint> points = StoredPoints(ReadFile(output));
  ASSERT_EQ(points.size(), count);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(points[i].track_start, i == 0 || i == second_track) << i;
  }
}

/// Feeds every prefix of `bytes` to the reader loop and to a whole conversion.
/// The loop must end and give the first points of the whole input; the
/// conversion must store exactly those. The file grows by appending, which
/// costs far less than rewriting it, and the output goes to the null device,
/// which is written in place with nothing to commit. Past the first 64 bytes,
/// hosts where opening a file costs much (Windows) cut at kPrefixCutLimit
/// lengths spread evenly.
inline void CheckEveryPrefix(const std::string& dir, int kind, const std::string& bytes) {
  std::string path = dir + "/prefix";
  int end;
  OpenInput(path, bytes);
  std::vector<TrackPoint> whole = ReadAllPoints(kind, bytes.size() + 2, &end);
  CloseInput();
  WriteFile(path, "");
  std::FILE* file = std::fopen(path.c_str(), "ab");
  ASSERT_NE(file, nullptr);
  size_t stride = 1 + bytes.size() / kPrefixCutLimit;
  size_t written = 0;
  for (size_t length = 0; length < bytes.size() && !::testing::Test::HasFatalFailure();
       length += length < 64 ? 1 : stride) {
    SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
    std::fwrite(bytes.data() + written, 1, length - written, file);
    written = length;
    std::fflush(file);
    OpenInput(path);
    std::vector<TrackPoint> points = ReadAllPoints(kind, length + 2, &end);
    CloseInput();
    ASSERT_LT(end, 0);
    ASSERT_LE(points.size(), whole.size());
    for (size_t i = 0; i < points.size(); ++i) {
      ASSERT_EQ(points[i].latitude, whole[i].latitude) << i;
      ASSERT_EQ(points[i].longitude, whole[i].longitude) << i;
    }
    PrepareRun(path, kind, kNullDevice);
    int expected = kind == kInputMps && length < kMpsSignatureSize ? kConvertOpenFailed
                   : points.size() >= 2                            ? kConvertOk
                                                                   : kConvertPassFailed;
    StrictInput = 1;  // the device's reading, which `points` follows
    ASSERT_EQ(ConvertTrack(), expected);
    ASSERT_EQ(InputStream, nullptr);
    if (expected == kConvertOk) {
      ASSERT_EQ(static_cast<size_t>(PointCount), points.size());
    }
    // With the fallbacks a prefix that fails by the device's reading may
    // convert by another; one that converts stores the same points.
    StrictInput = 0;
    int result = ConvertTrack();
    ASSERT_EQ(InputStream, nullptr);
    if (expected == kConvertPassFailed) {
      ASSERT_TRUE(result == kConvertOk || result == kConvertPassFailed) << result;
    } else {
      ASSERT_EQ(result, expected);
      if (expected == kConvertOk) {
        ASSERT_EQ(static_cast<size_t>(PointCount), points.size());
      }
    }
  }
  std::fclose(file);
}

/// The reader loop must end on `bytes`, whatever they hold.
inline void CheckReaderStops(const std::string& path, int kind, const std::string& bytes) {
  int end;
  OpenInput(path, bytes);
  ReadAllPoints(kind, bytes.size() + 2, &end);
  CloseInput();
  ASSERT_LT(end, 0);
}
