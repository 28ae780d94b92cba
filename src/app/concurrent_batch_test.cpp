// Two batch runs of the real program writing the same track file at once.
// Each writes its own temporary and renames it over the target, so what is
// left must be one whole result of the two, with no temporary beside it.
#include <filesystem>
#include <set>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

class ConcurrentBatchTest : public WayconvTest {
 protected:
  // A recording of `count` points 1.1 m apart going north from (`start`, `lon`).
  std::string Recording(int count, double start, double lon) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < count; ++i) points.push_back({start + i * 0.00001, lon});
    return PltFile(points);
  }

  // Every name below `folder`, relative to it.
  std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      names.insert(fs::relative(entry.path(), folder).string());
    }
    return names;
  }

  PrivateEnvironment environment_{dir_};
  std::string binary_ = WAYCONV_BINARY;
};

TEST_F(ConcurrentBatchTest, SameOutputLeavesOneWholeFile) {
  // Two long inputs (the first one thinned), so the two runs overlap for a
  // good part of their work.
  const std::string input_a = dir_.File("a.plt");
  const std::string input_b = dir_.File("b.plt");
  WriteFile(input_a, Recording(20000, 10.0, 8.0));
  WriteFile(input_b, Recording(9000, -20.0, -60.0));
  std::string out;
  ASSERT_EQ(RunCommand(binary_ + " --batch --output '" + dir_.File("a.bin") + "' '" + input_a + "'",
                       &out),
            0);
  ASSERT_EQ(RunCommand(binary_ + " --batch --output '" + dir_.File("b.bin") + "' '" + input_b + "'",
                       &out),
            0);
  const std::string expected_a = ReadFile(dir_.File("a.bin"));
  const std::string expected_b = ReadFile(dir_.File("b.bin"));
  ASSERT_EQ(expected_a.size(), 80008u);
  ASSERT_EQ(expected_b.size(), 80008u);
  ASSERT_NE(expected_a, expected_b);

  const std::string device = std::getenv("WAYCONV_ROOT");
  const std::string device_file = device + "/My Documents/GPS Tracks and Waypoints/Tracks.bin";
  const std::string host_file = dir_.File("out/Tracks.bin");
  fs::create_directory(dir_.File("out"));
  for (int round = 0; round < 8; ++round) {
    // Odd rounds write the default device path, its folders made by both runs
    // at once; even rounds a host path, over the file the last round left.
    bool device_path = round % 2 == 1;
    SCOPED_TRACE((device_path ? "device path, round " : "host path, round ") +
                 std::to_string(round));
    if (device_path) fs::remove_all(device + "/My Documents");
    std::string output = device_path ? "" : " --output '" + host_file + "'";
    std::string run_a = binary_ + " --batch" + output + " '" + input_a + "' >/dev/null";
    std::string run_b = binary_ + " --batch" + output + " '" + input_b + "' >/dev/null";
    ASSERT_EQ(RunCommand(run_a + " & a=$!; " + run_b + " & b=$!; wait $a; s=$?; wait $b; echo $s $?",
                         &out),
              0);
    EXPECT_EQ(out, "0 0\n");
    std::string written = ReadFile(device_path ? device_file : host_file);
    EXPECT_EQ(written.size(), 80008u);
    EXPECT_TRUE(written == expected_a || written == expected_b);
    if (device_path) {
      EXPECT_EQ(Names(device + "/My Documents"),
                (std::set<std::string>{"GPS Tracks and Waypoints",
                                       "GPS Tracks and Waypoints/Tracks.bin"}));
    } else {
      EXPECT_EQ(Names(dir_.File("out")), std::set<std::string>{"Tracks.bin"});
    }
  }
}

}  // namespace
