// Batch mode's lines on standard error for FIT, IGC and gzip inputs, through
// the real program.
#include <cstdio>

#include "fit_test_util.h"
#include "gzip_test_util.h"
#include "test_util.h"

namespace {

// A FIT file of `count` record messages 0.001 degrees apart.
std::string Fit(int count) { return FitWalk(count, 11930465, 11930465, 11930); }

std::string Igc(int count) {
  std::string log = "AXXX001\r\nHFDTE010126\r\n";
  for (int i = 0; i < count; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "B120000%07dN00800000EA\r\n", 4700000 + i % 60000);
    log += line;
  }
  return log;
}

class BatchNewKindsTest : public WayconvTest {};

TEST_F(BatchNewKindsTest, ReasonsAndWarnings) {
  std::string bad_crc = Fit(3);
  bad_crc.back() ^= 1;
  std::string packed = Gzip(Igc(3000));
  struct Case {
    std::string name;
    std::string bytes;
    int status;
    std::string err;  // after "wayconv: ", % for the path; empty for none
  } cases[] = {
      {"ride.dat", Fit(3), 10, "% looks like a FIT file: try --kind fit"},
      {"flight.txt", Igc(3), 10, "% looks like an IGC file: try --kind igc"},
      {"ride.fit.gz", Gzip(Fit(3)), 0, ""},
      {"RIDE.FIT", Fit(1), 10, "no track in %: 1 usable point; a track needs at least two"},
      {"crc.fit", bad_crc, 0,
       "warning: % has a FIT signature or checksum that does not match; its points were read "
       "all the same, check them"},
      {"cut.fit", Fit(3).substr(0, 14 + 12 + 2 * 9 + 4), 0,
       "warning: % ends inside a track record; only 2 points were converted"},
      {"cut.igc.gz", packed.substr(0, packed.size() - 100), 0,
       "warning: the compressed data of % is damaged or cut short; only what comes before was "
       "read"},
  };
  for (const Case& c : cases) {
    std::string path = dir_.File(c.name);
    WriteFile(path, c.bytes);
    std::string out, err;
    EXPECT_EQ(RunCommand(std::string(WAYCONV_BINARY) + " --batch --output '" +
                             dir_.File("out.bin") + "' '" + path + "'",
                         &out, &err),
              c.status)
        << c.name << "\n" << out;
    std::string expected = c.err;
    if (!expected.empty()) expected = "wayconv: " + expected.replace(expected.find('%'), 1, path) + "\n";
    EXPECT_EQ(err, expected) << c.name;
  }
}

}  // namespace
