// Batch mode, through the real program: exit codes, standard output and the
// messages for command-line mistakes.
#include "test_util.h"

namespace {

class BatchTest : public WayconvTest {
 protected:
  std::string input_ = dir_.File("walk.plt");
  std::string output_ = dir_.File("out.bin");

  int Run(const std::string& args, std::string* out, std::string* err = nullptr) {
    return RunCommand(std::string(WAYCONV_BINARY) + " " + args, out, err);
  }
};

TEST_F(BatchTest, ConvertsAndPrintsTheLog) {
  WriteFile(input_, PltFile({{48.1375, 11.575}, {48.1376, 11.575}, {48.2, 11.575}}));
  std::string out, err;
  EXPECT_EQ(Run("--batch --output '" + output_ + "' '" + input_ + "'", &out, &err), 0);
  EXPECT_EQ(out, "Input file: " + input_ + "\n" +
                     "Track 1 at 48.137500 , 11.575000 \n"
                     "Track 2 at 48.200000 , 11.575000 \n"
                     "OK!\n\nOutput file: " + output_ + "\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(ReadFile(output_).size(), 80008u);

  // Standard output not a terminal: the plain form is a batch run too.
  EXPECT_EQ(Run("--no-split --output='" + output_ + "' '" + input_ + "'", &out), 0);
  EXPECT_EQ(out.find("Track 2"), std::string::npos);
}

TEST_F(BatchTest, DefaultOutputIsTheDevicePathUnderTheRoot) {
  WriteFile(input_, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  std::string out;
  EXPECT_EQ(Run("--batch '" + input_ + "'", &out), 0);
  EXPECT_NE(out.find("OK!\n\nOutput file: \n\\My Documents\n\\GPS Tracks and Waypoints\n\\Tracks.bin\n"),
            std::string::npos);
  std::string root = std::getenv("WAYCONV_ROOT");
  EXPECT_EQ(ReadFile(root + "/My Documents/GPS Tracks and Waypoints/Tracks.bin").size(), 80008u);
}

TEST_F(BatchTest, SavedSettingsApplyAndOptionsOverrideThem) {
  std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/wayconv";
  ASSERT_EQ(RunCommand("mkdir -p '" + config + "'", nullptr), 0);
  std::string saved = dir_.File("saved.bin");
  std::string registry =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Brivex\\Wayconv]\r\n"
      "\"OutputFile\"=\"" + saved + "\"\r\n"
      "\"DoSplit\"=dword:00000000\r\n";
  WriteFile(config + "/registry.reg", registry);
  WriteFile(input_, PltFile({{48.1375, 11.575}, {48.2, 11.575}}));

  std::string out;
  EXPECT_EQ(Run("--batch '" + input_ + "'", &out), 0);
  EXPECT_EQ(out.find("Track 2"), std::string::npos);  // the saved DoSplit 0
  EXPECT_EQ(ReadFile(saved).size(), 80008u);

  EXPECT_EQ(Run("--batch --split --output '" + output_ + "' '" + input_ + "'", &out), 0);
  EXPECT_NE(out.find("Track 2"), std::string::npos);
  EXPECT_EQ(ReadFile(output_).size(), 80008u);
  EXPECT_EQ(ReadFile(config + "/registry.reg"), registry);  // nothing saved
}

// Of a recording longer than the file, --thin chooses the points, over the
// saved ThinShape; of a shorter one, the file is the same either way.
TEST_F(BatchTest, ThinOptionAndSavedSetting) {
  std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/wayconv";
  ASSERT_EQ(RunCommand("mkdir -p '" + config + "'", nullptr), 0);
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 12000; ++i) points.push_back({45.0 + (i % 7) * 0.0001, 7.0 + i * 0.0001});
  WriteFile(input_, PltFile(points));
  auto convert = [&](const std::string& options) {
    std::string out;
    EXPECT_EQ(Run("--batch " + options + " --output '" + output_ + "' '" + input_ + "'", &out), 0);
    return ReadFile(output_);
  };
  std::string even = convert("--thin even");
  std::string shape = convert("--thin shape");
  EXPECT_NE(even, shape);
  EXPECT_EQ(convert(""), even);
  WriteFile(config + "/registry.reg",
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brivex\\Wayconv]\r\n"
            "\"ThinShape\"=dword:00000001\r\n");
  EXPECT_EQ(convert(""), shape);
  EXPECT_EQ(convert("--thin=even"), even);
  points.resize(9996);
  WriteFile(input_, PltFile(points));
  EXPECT_EQ(convert("--thin shape"), convert("--thin even"));
}

TEST_F(BatchTest, ExitStatusIsTheConversionResult) {
  WriteFile(input_, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  WriteFile(dir_.File("short.plt"), PltFile({{1.0, 2.0}}));
  WriteFile(dir_.File("walk.gpx"), PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  struct Case {
    std::string args;
    int status;
    std::string last_line;
  } cases[] = {
      {"--batch '" + dir_.File("missing.plt") + "'", 2, "Input file open error!\n"},
      {"--batch --output '" + dir_.File("no/folder/x.bin") + "' '" + input_ + "'", 2,
       "Output file open error!\n"},
      {"--batch --output /dev/full '" + input_ + "'", 3, "Output file write error!\n"},
      {"--batch --output '" + output_ + "' '" + dir_.File("short.plt") + "'", 10,
       "Too short input file!\n"},
      // The kind option wins over the extension.
      {"--batch --kind plt --output '" + output_ + "' '" + dir_.File("walk.gpx") + "'", 0,
       "OK!\n"},
      {"--batch --kind nmea --output '" + output_ + "' '" + input_ + "'", 10,
       "Too short input file!\n"},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(Run(c.args, &out, &err), c.status) << c.args;
    EXPECT_NE(out.find(c.last_line), std::string::npos) << c.args << "\n" << out;
    if (c.status != 0) {
      // One line that says why; ReasonsOnStandardError checks the texts.
      EXPECT_TRUE(err.starts_with("wayconv: ") && err.find('\n') == err.size() - 1)
          << c.args << "\n" << err;
    }
  }
}

TEST_F(BatchTest, UsageErrors) {
  struct Case {
    std::string args;
    std::string message;
  } cases[] = {
      {"--batch", "wayconv: no input file given; try 'wayconv --help'\n"},
      {"--batch a.plt - b.plt -",
       "wayconv: standard input (-) can be read only once; try 'wayconv --help'\n"},
      {"--frobnicate a.plt", "wayconv: unknown option '--frobnicate'; try 'wayconv --help'\n"},
      {"--kind xml a.plt",
       "wayconv: --kind takes gpx, mps, plt, nmea, fit, tcx, kml, geojson or igc; try 'wayconv --help'\n"},
      {"--batch a.plt --output", "wayconv: --output needs a path; try 'wayconv --help'\n"},
      {"--batch --thin fast a.plt", "wayconv: --thin takes even or shape; try 'wayconv --help'\n"},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(Run(c.args, &out, &err), 64) << c.args;
    EXPECT_EQ(err, c.message);
    EXPECT_EQ(out, "");
  }
  std::string out;
  EXPECT_EQ(Run("--help", &out), 0);
  EXPECT_EQ(out.rfind("usage: wayconv", 0), 0u);
  EXPECT_EQ(Run("--version", &out), 0);
  EXPECT_EQ(out, "wayconv " WAYCONV_VERSION "\n");
  // "--" ends the options, so a file may start with a dash.
  WriteFile(dir_.File("-x.plt"), PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  EXPECT_EQ(Run("--batch --output '" + output_ + "' -- '" + dir_.File("-x.plt") + "'", &out), 0);
}

TEST_F(BatchTest, SeveralInputsGoIntoOneTrackFile) {
  std::string gpx = dir_.File("day2.gpx");
  WriteFile(input_, PltFile({{48.1375, 11.575}, {48.1376, 11.575}}));
  WriteFile(gpx, "<gpx><trk><trkseg><trkpt lat=\"48.3\" lon=\"11.6\"/>"
                 "<trkpt lat=\"48.3001\" lon=\"11.6\"/></trkseg></trk></gpx>");
  // Each input's kind comes from its own name; standard input is NMEA.
  std::string nmea = "$GPRMC,120000,A,4807.000,N,01131.000,E,0.1,0.0,140523,,,A*7A\n"
                     "$GPRMC,120001,A,4807.001,N,01131.000,E,0.1,0.0,140523,,,A*7A\n";
  WriteFile(dir_.File("day3.nmea"), nmea);
  std::string out, err;
  EXPECT_EQ(Run("--batch --no-split --output '" + output_ + "' '" + input_ + "' - '" + gpx +
                    "' < '" + dir_.File("day3.nmea") + "'",
                &out, &err),
            0)
      << err;
  EXPECT_EQ(out, "Input file: " + input_ + "\nInput file: -\nInput file: " + gpx + "\n" +
                     "Track 1 at 48.137500 , 11.575000 \n"
                     "Track 2 at 48.116667 , 11.516667 \n"
                     "Track 3 at 48.300000 , 11.600000 \n"
                     "OK!\n\nOutput file: " + output_ + "\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(WordAt(ReadFile(output_), 0), 6u);

  // --kind applies to all; the first input that fails is the one named, and
  // the old file stays.
  std::string before = ReadFile(output_);
  EXPECT_EQ(Run("--batch --kind plt --output '" + output_ + "' '" + input_ + "' '" + gpx + "'",
                &out, &err),
            2);
  EXPECT_EQ(out, "Input file: " + input_ + "\nInput file: " + gpx + "\nIncorrect file format!\n");
  EXPECT_EQ(err.rfind("wayconv: " + gpx + " looks like ", 0), 0u) << err;
  EXPECT_EQ(ReadFile(output_), before);
}

TEST_F(BatchTest, UndecodableFileNamesStillOpen) {
  std::string odd = dir_.File("caf\xe9-\xff.plt");  // Latin-1 bytes, not UTF-8
  WriteFile(odd, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  std::string out;
  EXPECT_EQ(Run("--batch --output '" + output_ + "' '" + odd + "'", &out), 0);
  // Printed with its undecodable bytes shown as \xNN, never raw.
  EXPECT_EQ(out.rfind("Input file: " + dir_.File("caf\\xe9-\\xff.plt") + "\n", 0), 0u) << out;
}

}  // namespace
