#include "readers/igc_reader.h"

#include <cstring>

#include "reader_test_util.h"

namespace {

TEST(IgcReader, BRecords) {
  struct Case {
    const char* line;
    int result;
    double latitude = 0, longitude = 0;
  } cases[] = {
      {"B1101355206343N00006198WA0058700558", kReadOk, 52 + 6343 / 60000.0, -(6198 / 60000.0)},
      {"B1101355206343S00006198EA0058700558", kReadOk, -(52 + 6343 / 60000.0), 6198 / 60000.0},
      {"B0000003359999S15112345WV", kReadOk, -(33 + 59999 / 60000.0), -(151 + 12345 / 60000.0)},
      {"B2359599000000N18000000EA", kReadOk, 90.0, 180.0},
      {"B1101355206343N00006198EVxyz", kReadOk, 52 + 6343 / 60000.0, 6198 / 60000.0},
      // Out of shape: the record is passed over.
      {"B1101355206343N00006198E", kIgcNotBRecord},
      {"B1101355206343N00006198EX", kIgcNotBRecord},
      {"B11013X5206343N00006198EA", kIgcNotBRecord},
      {"B1101355206343X00006198EA", kIgcNotBRecord},
      {"B110135520634 N00006198EA", kIgcNotBRecord},
      {"B1101355206343N0000619 EA", kIgcNotBRecord},
      {"B1101355206343N00006198NA", kIgcNotBRecord},
      {"b1101355206343N00006198EA", kIgcNotBRecord},
      {"HFDTE010203", kIgcNotBRecord},
      {"B", kIgcNotBRecord},
      {"B1101355206343N", kIgcNotBRecord},
      // Beyond the bounds every reader applies.
      {"B0000009999999N00000000EA", kIgcOutOfRange},
      {"B0000000000000N99900000EA", kIgcOutOfRange},
      {"B0000009959999N37000000WA", kReadOk, 99 + 59999 / 60000.0, -370.0},
  };
  // Each digit position, and each letter position, taken by another byte.
  const std::string good = "B1101355206343N00006198WA";
  for (size_t at = 1; at < good.size(); ++at) {
    for (int byte : {0, int{'/'}, int{':'}, int{' '}, int{'A'}, 0x80, 0xB9}) {
      if (static_cast<char>(byte) == good[at]) continue;
      std::string line = good;
      line[at] = static_cast<char>(byte);
      TrackPoint point;
      EXPECT_EQ(ParseIgcBRecord(line.data(), line.size(), &point), kIgcNotBRecord)
          << at << " " << byte;
    }
  }
  for (const Case& c : cases) {
    TrackPoint point{-1, -1};
    ASSERT_EQ(ParseIgcBRecord(c.line, std::strlen(c.line), &point), c.result) << c.line;
    if (c.result != kReadOk) continue;
    EXPECT_EQ(point.latitude, c.latitude) << c.line;
    EXPECT_EQ(point.longitude, c.longitude) << c.line;
  }
}

class IgcReaderTest : public WayconvTest {};

TEST_F(IgcReaderTest, ConvertsTheBRecordsOfALog) {
  std::string log =
      "AXXXABC Logger\r\nHFDTE150726\r\nHFPLTPILOTINCHARGE:Someone\r\n"
      "I023638FXA3940SIU\r\n"
      "B1101355206343N00006198WA0058700558\r\n"
      "LXXX comment B1101355206343N00006198WA\r\n"
      "B1101395206357N00006180WV0059000561\n"
      "E110139PEV\r\n"
      "B1101435206372N00006162WA0059300564\r\n"
      "GREEKSECURITY\r\n";
  std::string input = dir_.File("flight.igc");
  std::string output = dir_.File("flight.bin");
  WriteFile(input, log);
  PrepareRun(input, kInputIgc, output);
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  EXPECT_EQ(LogText(), SuccessLog(input, "Track 1 at 52.105717 , -0.103300 \r\n", output));
  std::vector<StoredPoint> points = StoredPoints(ReadFile(output));
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[2].latitude, 52 + 6372 / 60000.0, 1e-7);
  EXPECT_NEAR(points[2].longitude, -(6162 / 60000.0), 1e-7);
  CheckEveryPrefix(dir_.path(), kInputIgc, log);
}

}  // namespace
