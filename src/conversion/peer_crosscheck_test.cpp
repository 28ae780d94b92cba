// The points of our FIT and IGC readers against gpsbabel's reading of the
// same files, to 1e-6 degrees. Skipped where gpsbabel is not installed.
#include <cstdio>
#include <regex>

#include "fit_test_util.h"
#include "reader_test_util.h"

namespace {

// Record messages of timestamp, lat, long, altitude, in one architecture,
// with developer fields and compressed timestamps on every other record.
std::string FitRecords(bool big, int count, int32_t lat, int32_t lon) {
  std::string data = std::string("\x60\0", 2) + static_cast<char>(big ? 1 : 0) + FitInt(20, 2, big) + "\x04";
  data += std::string("\xFD\x04\x86\x00\x04\x85\x01\x04\x85\x02\x02\x84", 12);
  data += std::string("\x01\x00\x03\x00", 4);  // one developer field of 3 bytes
  for (int i = 0; i < count; ++i) {
    data += i % 2 == 0 ? '\0' : static_cast<char>(0x80 | (i & 0x1F));
    data += FitInt(1000000000u + static_cast<uint32_t>(i), 4, big) +
            FitInt(static_cast<uint32_t>(lat + 1234567 * i), 4, big) +
            FitInt(static_cast<uint32_t>(lon - 7654321 * i), 4, big) + FitInt(2500, 2, big) + "dev";
  }
  return data;
}

// gpsbabel's track points of `path` read as `format`, or false when it is
// not there.
bool PeerPoints(const std::string& format, const std::string& path,
                std::vector<std::pair<double, double>>* points) {
  std::string out;
  if (RunCommand("command -v gpsbabel >/dev/null", &out) != 0) return false;
  EXPECT_EQ(RunCommand("gpsbabel -i " + format + " -f '" + path + "' -o gpx -F - 2>/dev/null", &out), 0);
  // The first track only: for IGC gpsbabel adds a second one, of the
  // pressure altitudes, with the same positions.
  size_t second = out.find("<trk>", out.find("<trk>") + 1);
  if (second != std::string::npos) out.resize(second);
  std::regex trkpt("<trkpt lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\"");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), trkpt); it != std::sregex_iterator(); ++it) {
    points->emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  }
  return true;
}

class PeerCrossCheck : public WayconvTest {
 protected:
  void Compare(const std::string& name, const std::string& bytes, int kind, const std::string& format) {
    SCOPED_TRACE(name);
    std::string path = dir_.File(name);
    WriteFile(path, bytes);
    std::vector<std::pair<double, double>> peer;
    if (!PeerPoints(format, path, &peer)) GTEST_SKIP() << "gpsbabel is not installed";
    OpenInput(path);
    int end;
    std::vector<TrackPoint> ours = ReadAllPoints(kind, bytes.size(), &end);
    CloseInput();
    ASSERT_GE(ours.size(), 4u);
    ASSERT_EQ(ours.size(), peer.size());
    for (size_t i = 0; i < ours.size(); ++i) {
      EXPECT_NEAR(ours[i].latitude, peer[i].first, 1e-6) << i;
      EXPECT_NEAR(ours[i].longitude, peer[i].second, 1e-6) << i;
    }
  }
};

TEST_F(PeerCrossCheck, Fit) {
  Compare("little.fit", FitFileAround(FitRecords(false, 40, 600000000, 150000000)), kInputFit, "garmin_fit");
  Compare("big.fit", FitFileAround(FitRecords(true, 40, -400000000, -1500000000)), kInputFit, "garmin_fit");
}

TEST_F(PeerCrossCheck, IgcInFourHemispheres) {
  for (const char* hemispheres : {"NE", "NW", "SE", "SW"}) {
    std::string log = "AXXXABC\r\nHFDTE150726\r\n";
    for (int i = 0; i < 30; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "B1200%02d%02d%05d%c%03d%05d%c%c%05d%05d\r\n", i,
                    47 + i % 3, (i * 1733) % 60000, hemispheres[0], 11 + i % 5,
                    (i * 2711) % 60000, hemispheres[1], i % 4 == 0 ? 'V' : 'A', 500 + i, 510 + i);
      log += line;
    }
    Compare(std::string("flight-") + hemispheres + ".igc", log, kInputIgc, "igc");
  }
}

}  // namespace
