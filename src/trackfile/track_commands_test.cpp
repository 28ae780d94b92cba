// --show and --export through the real program: output, files, exit status
// and the messages for bad input and command-line mistakes.
#include "trackfile/track_commands.h"

#include <sys/stat.h>

#include "trackfile/track_test_util.h"

namespace {

class TrackCommandsTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    WriteFile(track_, TrackFileBytes({{47.1, 8.5, true},
                                      {47.1, 8.6, false},
                                      {-33.8688, 151.2093, true},
                                      {-33.8688, 151.2193, false},
                                      {-33.8788, 151.2193, false}}));
  }
  std::string track_ = dir_.File("t.bin");
};

TEST_F(TrackCommandsTest, ShowPrintsTheSummary) {
  std::string out, err;
  EXPECT_EQ(RunWayconv("--show " + Quoted(track_), &out, &err), 0);
  EXPECT_EQ(out,
            "file        " + track_ + "\n"
            "points      5\n"
            "tracks      2\n"
            "track 1         2 points  first  47.100000    8.500000  length     7.569 km\n"
            "track 2         3 points  first -33.868800  151.209300  length     2.035 km\n"
            "box         south -33.878800  west 8.500000  north 47.100000  east 151.219300\n");
  EXPECT_EQ(err, "");
}

TEST_F(TrackCommandsTest, ExportsToStandardOutputOrAFile) {
  PrivateEnvironment env(dir_);
  for (const char* format : {"gpx", "csv", "svg"}) {
    SCOPED_TRACE(format);
    std::string printed, err;
    ASSERT_EQ(RunWayconv(std::string("--export ") + format + " " + Quoted(track_), &printed, &err), 0);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(printed.empty());
    // Over an existing file of its kind (here a cut one), and to a device
    // path whose folders do not exist yet.
    std::string out_file = dir_.File(std::string("out.") + format);
    WriteFile(out_file, printed.substr(0, printed.size() / 2));
    std::string device = std::string("\\Exports\\t.") + format;
    std::string out;
    EXPECT_EQ(RunWayconv(std::string("--export=") + format + " --output " + Quoted(out_file) +
                             " " + Quoted(track_), &out),
              0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ReadFile(out_file), printed);
    EXPECT_EQ(RunWayconv(Quoted(track_) + " --output=" + Quoted(device) + " --export " + format,
                         &out),
              0);
    EXPECT_EQ(ReadFile(std::string(std::getenv("WAYCONV_ROOT")) + "/Exports/t." + format), printed);
  }
  // The track file itself may sit on the device.
  std::string folder = std::string(std::getenv("WAYCONV_ROOT")) + "/My Documents";
  ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
  WriteFile(folder + "/Tracks.bin", ReadFile(track_));
  std::string out;
  EXPECT_EQ(RunWayconv("--export csv '\\My Documents\\Tracks.bin'", &out), 0);
  EXPECT_EQ(out.substr(0, 32), "track,point,latitude,longitude\n1");
}

TEST_F(TrackCommandsTest, BadTrackFilesWriteNothing) {
  std::string output = dir_.File("out.gpx");
  WriteFile(output, "old");
  std::string count_11000 = TrackFileBytes({});
  PutWordAt(&count_11000, 0, 11000);
  WriteFile(dir_.File("short.bin"), std::string(1234, '\0'));
  WriteFile(dir_.File("count.bin"), count_11000);
  struct Case {
    std::string file, message;
  } cases[] = {
      {dir_.File("short.bin"), dir_.File("short.bin") + " is 1234 bytes; a track file is 80008"},
      {dir_.File("count.bin"),
       dir_.File("count.bin") + " holds a point count of 11000; a track file holds 0 to 10000 points"},
      {dir_.File("none.bin"), "cannot open " + dir_.File("none.bin") +
                                  ": No such file or directory; give the path of a track file"},
      {dir_.path(), dir_.path() + " is not a regular file; give the path of a track file"},
  };
  for (const Case& c : cases) {
    for (const std::string& command : {std::string("--show "), std::string("--export svg "),
                                       "--export gpx --output " + Quoted(output) + " "}) {
      std::string out, err;
      EXPECT_EQ(RunWayconv(command + Quoted(c.file), &out, &err), 2) << command << c.file;
      EXPECT_EQ(err, "wayconv: " + c.message + "\n");
      EXPECT_EQ(out, "");
      EXPECT_EQ(ReadFile(output), "old");
    }
  }
}

TEST_F(TrackCommandsTest, OutputFailures) {
  std::string out, err;
  EXPECT_EQ(RunWayconv("--export csv --output /dev/full " + Quoted(track_), &out, &err), 3);
  EXPECT_EQ(err, "wayconv: cannot write /dev/full: No space left on device; nothing was changed "
                 "there\n");
  EXPECT_EQ(RunWayconv("--export csv --output " + Quoted(dir_.File("no/x.csv")) + " " +
                           Quoted(track_), &out, &err),
            2);
  EXPECT_EQ(err, "wayconv: cannot create " + dir_.File("no/x.csv") +
                     ": No such file or directory; check the folder and its permissions\n");
  EXPECT_EQ(RunWayconv("--export csv --output " + Quoted(dir_.path()) + " " + Quoted(track_),
                       &out, &err),
            2);
  EXPECT_EQ(err, "wayconv: cannot write " + dir_.path() + ": it is a folder; give a file name\n");
  EXPECT_EQ(RunWayconv("--show " + Quoted(track_) + " >/dev/full", &out, &err), 3);
  EXPECT_EQ(err, "wayconv: cannot write to standard output: No space left on device\n");
  // --help and --version fail alike in every front end when nothing can be written.
  for (const char* args : {"--show --help", "--export gpx --version", "--export=csv -h",
                           "--output x.csv --version --export svg"}) {
    EXPECT_EQ(RunWayconv(std::string(args) + " >/dev/full", &out, &err), 1) << args;
    EXPECT_EQ(err, "wayconv: cannot write to standard output: No space left on device\n") << args;
  }
}

TEST_F(TrackCommandsTest, UsageErrors) {
  std::string t = " " + Quoted(track_);
  struct Case {
    std::string args, message;
  } cases[] = {
      {"--show", "no track file given"},
      {"--show" + t + t, "give exactly one track file"},
      {"--export kml" + t, "--export takes gpx, csv or svg"},
      {"--export" , "--export takes gpx, csv or svg"},
      {"--export gpx" + t + " --output", "--output needs a path"},
      {"--show --export gpx" + t, "give one of --show and --export, once"},
      {"--show --output x.txt" + t, "--show prints to standard output; --output goes with --export"},
      {"--show --no-split" + t, "--no-split is for conversions, not for --show or --export"},
      {"--kind=gpx --export gpx" + t, "--kind=gpx is for conversions, not for --show or --export"},
      {"--show -x" + t, "unknown option '-x'"},
      {"--output --show" + t, "give --show or --export FORMAT"},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(RunWayconv(c.args, &out, &err), 64) << c.args;
    EXPECT_EQ(err, "wayconv: " + c.message + "; try 'wayconv --help'\n") << c.args;
    EXPECT_EQ(out, "");
  }
  // "--" ends the options; --help wins over the commands.
  WriteFile(dir_.File("--show"), ReadFile(track_));
  std::string out;
  EXPECT_EQ(RunWayconv("--show -- " + Quoted(dir_.File("--show")), &out), 0);
  EXPECT_EQ(RunWayconv("--show --help", &out), 0);
  EXPECT_NE(out.find("wayconv --export gpx|csv|svg [--output PATH] TRACKFILE\n"), std::string::npos);
  std::string help = out;
  EXPECT_EQ(RunWayconv("--help --export svg", &out), 0);
  EXPECT_EQ(out, help);
  EXPECT_EQ(RunWayconv("--export svg --version", &out), 0);
  EXPECT_EQ(out, "wayconv " WAYCONV_VERSION "\n");
  size_t longest = 0;
  for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    longest = std::max(longest, end - start);
  }
  EXPECT_LE(longest, 80u);
}

}  // namespace
