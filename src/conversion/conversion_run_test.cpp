#include "conversion/conversion_run.h"

#include <cmath>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/track_file.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

// Points 1.1 m apart along a meridian: point i has latitude i * 0.00001.
Points Walk(int count) {
  Points points;
  for (int i = 0; i < count; ++i) points.push_back({i * 0.00001, 8.0});
  return points;
}

double LatitudeOf(uint32_t word) {
  int32_t value = static_cast<int32_t>(word << 1) >> 1;  // drop the flag, extend bit 30
  return value * (180.0 / 2147483648.0);
}

class ConversionTest : public WayconvTest {
 protected:
  std::string input_ = dir_.File("track.plt");
  std::string output_ = dir_.File("Tracks.bin");

  int Convert(const std::string& bytes, int kind = kInputPlt) {
    WriteFile(input_, bytes);
    PrepareRun(input_, kind, output_);
    return ConvertTrack();
  }

  std::string InputLine() { return "Input file: " + input_ + "\r\n"; }
  std::string Report() { return "OK!\r\n\r\nOutput file: " + output_ + "\r\n"; }

  // Indexes of the Walk() points stored in the output, in slot order.
  std::vector<int> StoredWalkIndexes() {
    std::string image = ReadFile(output_);
    std::vector<int> indexes;
    for (uint32_t i = 0; i < WordAt(image, 0); ++i) {
      indexes.push_back(static_cast<int>(std::lround(LatitudeOf(WordAt(image, 12 + 8 * i)) / 0.00001)));
    }
    return indexes;
  }
};

TEST_F(ConversionTest, WritesTheTrackFile) {
  ASSERT_EQ(Convert(PltFile({{48.1375, 11.575}, {48.1376, 11.575}, {-45.0, -90.0}})), kConvertOk);
  EXPECT_EQ(LogText(), InputLine() +
                           "Track 1 at 48.137500 , 11.575000 \r\n"
                           "Track 2 at -45.000000 , -90.000000 \r\n" +
                           Report());
  std::string image = ReadFile(output_);
  ASSERT_EQ(image.size(), kTrackFileSize);
  EXPECT_EQ(WordAt(image, 0), 3u);
  EXPECT_EQ(WordAt(image, 4), 0u);
  EXPECT_EQ(WordAt(image, 8), 0x083B2A19u);
  EXPECT_EQ(WordAt(image, 12), 0xA23B2A19u);
  EXPECT_EQ(WordAt(image, 20) & kTrackStartFlag, 0u);
  EXPECT_EQ(WordAt(image, 24), 0xC0000000u);
  EXPECT_EQ(WordAt(image, 28), 0xE0000000u);
  EXPECT_EQ(image.find_first_not_of('\0', 32), std::string::npos);
}

TEST_F(ConversionTest, ThinsLongRecordingsToExactly9996Points) {
  struct Case {
    int count, stored;
  } cases[] = {{2, 2},         {9996, 9996},  {9997, 9996},  {19991, 9996},
               {19993, 9996},  {20000, 9996}, {20001, 9996}, {30001, 9996}};
  for (const Case& c : cases) {
    ResetAllForTest();
    ASSERT_EQ(Convert(PltFile(Walk(c.count))), kConvertOk) << c.count;
    std::vector<int> stored = StoredWalkIndexes();
    ASSERT_EQ(static_cast<int>(stored.size()), c.stored) << c.count;
    EXPECT_EQ(stored.front(), 0);
    EXPECT_EQ(stored.back(), c.count - 1) << c.count;
    for (size_t i = 1; i < stored.size(); ++i) ASSERT_LT(stored[i - 1], stored[i]) << c.count;
  }
  // 9997 points: the first is stored, the second skipped, all others stored.
  ResetGlobalsForTest();
  ASSERT_EQ(Convert(PltFile(Walk(9997))), kConvertOk);
  std::vector<int> stored = StoredWalkIndexes();
  EXPECT_EQ(stored[0], 0);
  EXPECT_EQ(stored[1], 2);
  EXPECT_EQ(stored[9995], 9996);
}

TEST_F(ConversionTest, SkippedPointsStillBreakTracks) {
  // Point 1 is skipped by the thinning, but the 11 km jump to it still starts
  // a new track at point 2, the next one stored.
  Points points = Walk(9997);
  points[1].first += 0.1;
  ASSERT_EQ(Convert(PltFile(points)), kConvertOk);
  EXPECT_EQ(TrackCounter, 2);
  std::string image = ReadFile(output_);
  EXPECT_NE(WordAt(image, 12) & kTrackStartFlag, 0u);
  EXPECT_NE(WordAt(image, 20) & kTrackStartFlag, 0u);
  EXPECT_EQ(WordAt(image, 28) & kTrackStartFlag, 0u);
}

TEST_F(ConversionTest, TrackBreaksFollowDoSplit) {
  Points points = {{10.0, 10.0}, {10.001, 10.0}, {10.05, 10.0}, {10.051, 10.0}, {11.0, 10.0}};
  for (int split : {1, 0}) {
    ResetAllForTest();
    DoSplit = split;
    ASSERT_EQ(Convert(PltFile(points)), kConvertOk);
    std::string image = ReadFile(output_);
    std::vector<int> starts;
    for (int i = 0; i < 5; ++i) {
      if (WordAt(image, 12 + 8 * i) & kTrackStartFlag) starts.push_back(i);
    }
    if (split) {
      EXPECT_EQ(starts, (std::vector<int>{0, 2, 4}));
      EXPECT_NE(LogText().find("Track 3 at 11.000000 , 10.000000 \r\n"), std::string::npos);
    } else {
      EXPECT_EQ(starts, (std::vector<int>{0}));
      EXPECT_EQ(LogText(), InputLine() + "Track 1 at 10.000000 , 10.000000 \r\n" + Report());
    }
  }
}

TEST_F(ConversionTest, PltHeaderRules) {
  const std::string body = "1.0,2.0\r\n1.0001,2.0\r\n";
  struct Case {
    std::string header;
    int result;
    std::string message;
  } cases[] = {
      {"OziExplorer Track Point File Version 2.1\r\nWGS 84\r\na\r\nb\r\nc\r\nd\r\n", 0, ""},
      {"OziExplorer Track Point File\nWGS 84\n\n\na\nb\nc\nd\n", 0, ""},
      {"OziExplorer Track Point Fil\r\nWGS 84\r\na\r\nb\r\nc\r\nd\r\n", 2,
       "Incorrect file format!\r\n"},
      {"oziexplorer track point file\r\nWGS 84\r\na\r\nb\r\nc\r\nd\r\n", 2,
       "Incorrect file format!\r\n"},
      {"\r\n\r\n", 2, "Input file read error!\r\n"},
  };
  for (const Case& c : cases) {
    ResetAllForTest();
    int result = Convert(c.result == 0 ? c.header + body : c.header);
    EXPECT_EQ(result, c.result) << c.header;
    if (result != 0) {
      EXPECT_EQ(LogText(), InputLine() + c.message) << c.header;
    }
    EXPECT_EQ(InputStream, nullptr);
  }
  // A header that ends before its sixth line fails; a sixth line without a
  // line end is still a line.
  EXPECT_EQ(Convert(""), 2);
  EXPECT_EQ(LogText(), InputLine() + "Input file read error!\r\n");
  EXPECT_EQ(Convert("OziExplorer Track Point File\r\na\r\nb\r\nc\r\nd\r\n"), 2);
  EXPECT_EQ(LogText(), InputLine() + "Input file read error!\r\n");
  EXPECT_EQ(Convert("OziExplorer Track Point File\r\na\r\nb\r\nc\r\nd\r\ne"), 10);
  EXPECT_EQ(LogText(), InputLine() + "Too short input file!\r\n");
}

TEST_F(ConversionTest, LastPointWithoutLineEndIsKept) {
  std::string text = PltFile({{1.0, 2.0}, {1.0001, 2.0}});
  text += "1.0002,2.0";
  ASSERT_EQ(Convert(text), kConvertOk);
  EXPECT_EQ(WordAt(ReadFile(output_), 0), 3u);
}

TEST_F(ConversionTest, FailuresLogTheirMessageAndResult) {
  // Too few points, counted after the records the reader skips.
  struct Case {
    std::string body;
  } short_cases[] = {{""}, {"1.0,2.0\r\n"}, {"1.0,2.0\r\nnot a point\r\n101,0\r\n"}};
  for (const Case& c : short_cases) {
    ResetAllForTest();
    EXPECT_EQ(Convert(PltFile({}) + c.body), kConvertPassFailed);
    EXPECT_EQ(LogText(), InputLine() + "Too short input file!\r\n");
    EXPECT_EQ(InputStream, nullptr);
    EXPECT_FALSE(FileExists(output_));
  }

  ResetGlobalsForTest();
  PrepareRun(dir_.File("missing.plt"), kInputPlt, output_);
  EXPECT_EQ(ConvertTrack(), kConvertOpenFailed);
  EXPECT_EQ(LogText(), "Input file: " + dir_.File("missing.plt") + "\r\nInput file open error!\r\n");

  ResetGlobalsForTest();
  PrepareRun(dir_.path(), kInputPlt, output_);
  EXPECT_EQ(ConvertTrack(), kConvertOpenFailed);
  EXPECT_EQ(LogText(), "Input file: " + dir_.path() + "\r\nInput file open error!\r\n");

  ResetGlobalsForTest();
  WriteFile(input_, PltFile(Walk(3)));
  PrepareRun(input_, 99, output_);  // a kind no reader has
  EXPECT_EQ(ConvertTrack(), kConvertPassFailed);
  EXPECT_EQ(LogText(), InputLine() + "Too short input file!\r\n");

  // The output's folder does not exist: a full pass, then the open fails.
  ResetGlobalsForTest();
  WriteFile(input_, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  PrepareRun(input_, kInputPlt, dir_.File("no/such/folder/Tracks.bin"));
  EXPECT_EQ(ConvertTrack(), kConvertOpenFailed);
  EXPECT_EQ(LogText(), InputLine() + "Track 1 at 1.000000 , 2.000000 \r\nOutput file open error!\r\n");
}

TEST_F(ConversionTest, DevicePathsLiveUnderTheRootWithTheirFolders) {
  WriteFile(input_, PltFile(Walk(3)));
  PrepareRun(input_, kInputPlt, "\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin");
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  std::string root = std::getenv("WAYCONV_ROOT");
  EXPECT_EQ(ReadFile(root + "/My Documents/GPS Tracks and Waypoints/Tracks.bin").size(),
            kTrackFileSize);
  EXPECT_NE(LogText().find("OK!\r\n\r\nOutput file: \r\n\\My Documents\r\n\\GPS Tracks and "
                           "Waypoints\r\n\\Tracks.bin\r\n"),
            std::string::npos);
}

TEST_F(ConversionTest, ReportSurvivesTheLogReset) {
  // Whatever the log held before it, the closing report is shown whole.
  for (int tracks = 1; tracks <= 40; ++tracks) {
    ResetAllForTest();
    Points points;
    for (int t = 0; t < tracks; ++t) points.push_back({t * 0.1, 5.0});
    if (tracks == 1) points.push_back({0.0, 5.0});
    ASSERT_EQ(Convert(PltFile(points)), kConvertOk);
    std::string log = LogText();
    std::string report = Report();
    ASSERT_GE(log.size(), report.size());
    EXPECT_EQ(log.substr(log.size() - report.size()), report) << tracks << " tracks";
  }
}

}  // namespace
