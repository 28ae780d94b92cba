// Compressed inputs convert as their content does, for every kind.
#include <cstdio>

#include "common/globals.h"
#include "common/input_kind.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "fit_test_util.h"
#include "gzip_test_util.h"
#include "reader_test_util.h"

namespace {

// An IGC log of `count` B records, in the south-west.
std::string SmallIgc(int count) {
  std::string log = "AXXX001\r\nHFDTE010126\r\n";
  for (int i = 0; i < count; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "B120000%02d%05dS%03d%05dWA0010000100\r\n", 33 + i / 60000,
                  i % 60000, 70, (i * 7) % 60000);
    log += line;
  }
  return log;
}

class GzipInputTest : public WayconvTest {
 protected:
  // Converts `path` as its name's kind; returns the log with the path taken out.
  std::string Convert(const std::string& path, int* result, std::string* image) {
    ResetGlobalsForTest();
    std::string output = dir_.File("out.bin");
    PrepareRun(path, InputKindFromExtension(W(path).c_str()), output);
    *result = ConvertTrack();
    *image = ReadFile(output);
    std::remove(output.c_str());
    std::string log = LogText();
    size_t at = log.find(path);
    if (at != std::string::npos) log.erase(at, path.size());
    return log;
  }
};

TEST_F(GzipInputTest, EveryKindConvertsAsItsContent) {
  struct Case {
    std::string name;
    std::string bytes;
    int kind;
  } cases[] = {
      {"walk.gpx", ReadFile(SamplePath("walk.gpx")), kInputGpx},
      {"hike.mps", ReadFile(SamplePath("hike.mps")), kInputMps},
      {"walk.plt", ReadFile(SamplePath("walk.plt")), kInputPlt},
      {"drive.nmea", ReadFile(SamplePath("drive.nmea")), kInputNmea},
      {"ride.fit", FitWalk(12000, 500000000, 100000000, 1000), kInputFit},
      {"flight.igc", SmallIgc(25000), kInputIgc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string plain = dir_.File(c.name);
    WriteFile(plain, c.bytes);
    ASSERT_EQ(InputKindFromExtension(W(plain).c_str()), c.kind);
    int plain_result;
    std::string plain_image;
    std::string plain_log = Convert(plain, &plain_result, &plain_image);
    ASSERT_EQ(plain_result, kConvertOk) << plain_log;

    // By its name, in any case, and by its magic under the plain name.
    std::string by_name = dir_.File(c.name + ".Gz");
    WriteFile(by_name, Gzip(c.bytes));
    std::string by_magic = dir_.File("packed-" + c.name);
    WriteFile(by_magic, Gzip(c.bytes));
    for (const std::string& path : {by_name, by_magic}) {
      int result;
      std::string image;
      EXPECT_EQ(Convert(path, &result, &image), plain_log);
      EXPECT_EQ(result, kConvertOk);
      EXPECT_TRUE(image == plain_image);
      EXPECT_EQ(InputFlaws, 0);
    }
  }
}

TEST_F(GzipInputTest, CutDataKeepsThePointsBefore) {
  std::string packed = Gzip(SmallIgc(20000));
  std::string path = dir_.File("cut.igc.gz");
  WriteFile(path, packed.substr(0, packed.size() / 2));
  int result;
  std::string image;
  Convert(path, &result, &image);
  EXPECT_EQ(result, kConvertOk);
  EXPECT_GT(PointCount, 2000);
  EXPECT_LT(CountedPoints, 20000);
  EXPECT_EQ(InputFlaws, kFlawCompressedData);
}

// A small file that inflates to much: the run takes time in proportion and
// finds no track.
TEST_F(GzipInputTest, InflatedZerosEndInTime) {
  std::string path = dir_.File("zeros.nmea.gz");
  WriteFile(path, Gzip(std::string(64 << 20, '\0')));
  int result;
  std::string image;
  Convert(path, &result, &image);
  EXPECT_EQ(result, kConvertPassFailed);
}

}  // namespace
