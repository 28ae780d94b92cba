// Batch mode's own lines on standard error, standard input as the input, and
// the small command-line rules, through the real program.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

std::string Sentence(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

std::string Int32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
  return bytes;
}

// A MapSource file with one track of `count` points 0.001 degrees apart.
std::string MpsFile(int count) {
  std::string data = std::string("t") + '\0' + std::string(5, '\x01') + Int32(count);
  for (int i = 0; i < count; ++i) {
    data += Int32(11930465 + i * 11930) + Int32(11930465) + std::string(23, '\0');
  }
  return std::string("MsRcd") + '\0' + Int32(static_cast<int32_t>(data.size())) + "T" + data;
}

// A MapSource file of two waypoints, a route, an empty record and an empty
// track, and a length with no record after it.
std::string MpsPlaces() {
  auto record = [](char type, const std::string& data) {
    return Int32(static_cast<int32_t>(data.size())) + type + data;
  };
  std::string empty_track = std::string("t") + '\0' + std::string(5, '\x01') + Int32(0);
  return std::string("MsRcd") + '\0' + record('D', "6") + record('W', std::string(40, 'w')) +
         Int32(0) + "?" + record('R', std::string(20, 'r')) + record('W', "x") +
         record('T', empty_track) + Int32(1000);
}

class BatchMessagesTest : public WayconvTest {
 protected:
  std::string output_ = dir_.File("out.bin");
  std::string tmp_ = dir_.File("tmp");

  void SetUp() override {
    WayconvTest::SetUp();
    fs::create_directory(tmp_);
  }

  int Run(const std::string& args, std::string* out, std::string* err) {
    return RunCommand("TMPDIR='" + tmp_ + "' " + WAYCONV_BINARY + " " + args, out, err);
  }
  bool TmpIsEmpty() { return fs::is_empty(tmp_); }
};

TEST_F(BatchMessagesTest, ReasonsOnStandardError) {
  const std::string gn = Sentence("GNRMC,120000,A,4807.038,N,01131.000,E,,,140523,,,A") +
                         Sentence("GNRMC,120001,A,4807.040,N,01131.000,E,,,140523,,,A") +
                         Sentence("GPRMC,120002,V,,,,,,,140523,,,N") +
                         Sentence("GPGGA,120002,4807.038,N,01131.000,E,1,08,,,,,,,") +
                         "$GPRMC,120003,A,4807.038,N,01131.000,E,,,140523,,,A*00\r\n";
  const std::string plt =
      "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\n"
      "Altitude is in Feet\r\nReserved 3\r\n0,2,255,walk,0,0,2,8421376\r\n0\r\n";
  fs::create_directory(dir_.File("folder"));
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  struct Case {
    std::string name;
    std::string bytes;  // not written when empty
    std::string options;
    int status;
    std::string err;  // after "wayconv: " and the file's name
  } cases[] = {
      {"gn.nmea", gn, "--strict", 10,
       "no track in %: 2 $GPRMC lines, 2 other RMC lines, 1 RMC line with status V, 1 GGA line "
       "with a fix, 1 line with a bad checksum; --strict (or StrictInput) reads $GPRMC only"},
      {"noise.log", "\x01\x02 not a log\n", "", 10,
       "no track in %: 0 $GPRMC lines, 0 other RMC lines, 0 RMC lines with status V, 0 GGA "
       "lines with a fix, 0 lines with a bad checksum; a track needs at least two fixes"},
      {"few.gpx",
       "<gpx><wpt lat='1' lon='1'/><wpt lat='1' lon='2'></wpt><trkpt lat='1' lon='1'/>"
       "<rtept lat='1' lon='1'/></gpx>",
       "", 10,
       "no track in %: 1 trkpt, 1 rtept and 2 wpt tags; a track needs at least two points, and "
       "waypoints are not read as one"},
      {"route.gpx", "<gpx><rtept lat='1' lon='1'/><rtept lat='1' lon='1.001'/></gpx>", "--strict",
       10,
       "no track in %: 0 trkpt, 2 rtept and 0 wpt tags; --strict (or StrictInput) reads trkpt "
       "only"},
      {"walk.gpx", "\xEF\xBB\xBF<?xml version='1.0'?>\n<gpx></gpx>", "--kind plt", 2,
       "% looks like GPX: try --kind gpx"},
      {"walk.plt", plt + "1,2,0\r\n1.001,2,0\r\n", "--kind gpx", 10,
       "% looks like PLT: try --kind plt"},
      {"hike.bin", MpsFile(3), "", 10, "% looks like MapSource: try --kind mps"},
      {"gn.mps", gn, "", 2, "% looks like NMEA: try --kind nmea"},
      {"bad.plt", "Ozi Track\r\n1,2\r\n", "", 2,
       "% is not a PLT track file: its first line is not \"OziExplorer Track Point File\"; check "
       "the file"},
      {"cut.plt", "OziExplorer Track Point File\r\nWGS 84\r\n", "", 2,
       "% ends inside its six-line PLT header; check the file"},
      {"one.plt", plt + "1,2,0\r\n", "", 10,
       "no track in %: 1 usable point; a track needs at least two"},
      {"places.mps", MpsPlaces(), "", 10,
       "no track in %: 1 track with 0 usable points, 2 waypoints and 1 route; a track needs at "
       "least two points, and waypoints and routes are not read as one"},
      {"bad.mps", "MsRcx\0 and more", "", 2,
       "% is not a MapSource file: it does not start with \"MsRcd\"; check the file"},
      {"walk.gpx", "<?xml version='1.0'?>\n<TrainingCenterDatabase><Trackpoint/>", "", 10,
       "% looks like TCX: try --kind tcx"},
      {"walk.json", "<kml><LineString><coordinates>1,2 3,4</coordinates></LineString></kml>", "",
       10, "% looks like KML: try --kind kml"},
      {"walk.tcx", "<TrainingCenterDatabase><Trackpoint><Position>", "", 10,
       "no track in %: 0 usable points before the XML stops being well formed; check the file"},
      {"walk.tcx", "<TrainingCenterDatabase><Trackpoint/></TrainingCenterDatabase>", "", 10,
       "no track in %: 0 usable points (Trackpoints with a Position); a track needs at least two"},
      {"empty.kmz", std::string("PK\5\6", 4) + std::string(18, '\0'), "", 10,
       "% is a KMZ without a .kml entry; check the file"},
      {"one.kml", "<kml><Point><coordinates>1,2</coordinates></Point><LineString><coordinates>"
       "1,2</coordinates></LineString></kml>", "", 10,
       "no track in %: 1 usable point in LineString coordinates and gx:Track; Points and "
       "Polygons are not tracks"},
      {"points.geojson", R"({"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]}})", "",
       10,
       "no track in %: 0 usable points in LineString and MultiLineString geometries; Points and "
       "Polygons are not tracks"},
      {"cut.json", R"({"type":"LineString","coordinates":[[1,2],[1,2.0001],[1,2)", "", 0,
       "warning: % stops being well formed; only 2 points were converted"},
      {"missing.nmea", "", "", 2, "cannot open %: No such file or directory"},
      {"folder", "", "", 2, "% is a folder; give a file"},
      {"fifo", "", "", 2, "% is not a regular file; pipe it into 'wayconv --batch -' instead"},
  };
  for (const Case& c : cases) {
    std::string path = dir_.File(c.name);
    if (!c.bytes.empty()) WriteFile(path, c.bytes);
    std::string out, err;
    EXPECT_EQ(
        Run("--batch " + c.options + " --output '" + output_ + "' '" + path + "'", &out, &err),
        c.status)
        << c.name;
    std::string expected = c.err;
    expected.replace(expected.find('%'), 1, path);
    EXPECT_EQ(err, "wayconv: " + expected + "\n") << c.name << "\n" << out;
  }
}

TEST_F(BatchMessagesTest, SystemErrorsNameThePathAndTheReason) {
  std::string input = dir_.File("walk.plt");
  WriteFile(input, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  struct Case {
    std::string output;
    int status;
    std::string err;
  } cases[] = {
      {"/dev/full", 3, "wayconv: cannot write /dev/full: No space left on device\n"},
      {dir_.File("no/x.bin"), 2,
       "wayconv: cannot write " + dir_.File("no/x.bin") + ": No such file or directory\n"},
      {dir_.File("folder"), 2,
       "wayconv: cannot write " + dir_.File("folder") + ": Is a directory\n"},
  };
  fs::create_directory(dir_.File("folder"));
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(Run("--batch --output '" + c.output + "' '" + input + "'", &out, &err), c.status);
    EXPECT_EQ(err, c.err);
  }
}

TEST_F(BatchMessagesTest, CutMapSourceFileWarnsAndSucceeds) {
  std::string whole = MpsFile(3);
  std::string input = dir_.File("cut.mps");
  WriteFile(input, whole.substr(0, whole.size() - 25));  // inside the third point
  std::string out, err;
  EXPECT_EQ(Run("--batch --output '" + output_ + "' '" + input + "'", &out, &err), 0);
  EXPECT_NE(out.find("Track read error!\nTrack 1 at"), std::string::npos) << out;
  EXPECT_EQ(err, "wayconv: warning: " + input +
                     " ends inside a track record; only 2 points were converted\n");
  // Whole, it converts with no warning.
  WriteFile(input, whole);
  EXPECT_EQ(Run("--batch --output '" + output_ + "' '" + input + "'", &out, &err), 0);
  EXPECT_EQ(err, "");
}

// The log does not say that points were left out: standard error does.
TEST_F(BatchMessagesTest, ThinningIsReported) {
  std::string input = dir_.File("long.mps");
  struct {
    int points;
    std::string err;
  } cases[] = {
      {9996, ""},
      {9997, "wayconv: 9997 points thinned to 9996\n"},
      {12000, "wayconv: 12000 points thinned to 9996\n"},
  };
  for (const auto& c : cases) {
    WriteFile(input, MpsFile(c.points));
    std::string out, err;
    EXPECT_EQ(Run("--batch --output '" + output_ + "' '" + input + "'", &out, &err), 0);
    EXPECT_EQ(err, c.err) << c.points;
  }
}

TEST_F(BatchMessagesTest, StandardInput) {
  std::string gpx = dir_.File("walk.gpx");
  WriteFile(gpx,
            "<gpx><trk><trkseg><trkpt lat='47.1' lon='8.5'/><trkpt lat='47.1001' lon='8.5'/>"
            "</trkseg></trk></gpx>");
  std::string direct, out, err;
  ASSERT_EQ(Run("--batch --output '" + output_ + "' '" + gpx + "'", &direct, &err), 0);
  std::string expected_image = ReadFile(output_);
  std::string expected_log = direct.substr(direct.find('\n'));
  struct Case {
    std::string command;  // standard input for the program, then its options
  } cases[] = {
      {"cat '" + gpx + "' | TMPDIR='" + tmp_ + "' " + WAYCONV_BINARY + " --batch --kind gpx"},
      {"TMPDIR='" + tmp_ + "' " + WAYCONV_BINARY + " --batch --kind GPX < '" + gpx + "'"},
  };
  for (const Case& c : cases) {
    fs::remove(output_);
    EXPECT_EQ(RunCommand(c.command + " --output '" + output_ + "' -", &out, &err), 0) << c.command;
    EXPECT_EQ(out, "Input file: -" + expected_log);
    EXPECT_EQ(err, "");
    EXPECT_TRUE(ReadFile(output_) == expected_image);
    EXPECT_TRUE(TmpIsEmpty());
  }
  // Empty, and read as NMEA without --kind: nothing converts, nothing is left.
  EXPECT_EQ(Run("--batch --output '" + output_ + "' - < /dev/null", &out, &err), 10);
  EXPECT_EQ(out, "Input file: -\nToo short input file!\n");
  EXPECT_EQ(err,
            "wayconv: no track in standard input: 0 $GPRMC lines, 0 other RMC lines, 0 RMC "
            "lines with status V, 0 GGA lines with a fix, 0 lines with a bad checksum; a "
            "track needs at least two fixes\n");
  EXPECT_TRUE(TmpIsEmpty());
  // A temporary folder that cannot take the copy.
  EXPECT_EQ(
      RunCommand("echo x | TMPDIR='" + dir_.File("none") + "' " + WAYCONV_BINARY + " --batch -",
                 &out, &err),
      2);
  EXPECT_EQ(err, "wayconv: cannot make a temporary file in " + dir_.File("none") +
                     " for standard input: No such file or directory; set TMPDIR to a writable "
                     "folder\n");
}

TEST_F(BatchMessagesTest, InterruptedCopyLeavesNothingBehind) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    int feed[2];
    ASSERT_EQ(pipe(feed), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);  // whatever the runner ignores
      dup2(feed[0], STDIN_FILENO);
      close(feed[0]);
      close(feed[1]);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      setenv("TMPDIR", tmp_.c_str(), 1);
      execl(WAYCONV_BINARY, WAYCONV_BINARY, "--batch", "--output", output_.c_str(), "-",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(feed[0]);
    ASSERT_EQ(write(feed[1], "$GPRMC,1", 8), 8);
    // Wait until the copy holds the bytes, then interrupt it mid-copy.
    bool copied = false;
    for (int i = 0; i < 500 && !copied; ++i) {
      for (const auto& entry : fs::directory_iterator(tmp_)) {
        struct stat st;
        ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        copied = st.st_size == 8;
      }
      if (!copied) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(copied);
    kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(feed[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(TmpIsEmpty());
  }
}

TEST_F(BatchMessagesTest, CommandLineDetails) {
  std::string input = dir_.File("walk.txt");
  WriteFile(input, PltFile({{1.0, 2.0}, {1.0001, 2.0}}));
  std::string out, err;
  for (const char* kind : {"PLT", "Plt", "plt"}) {
    EXPECT_EQ(
        Run(std::string("--batch --kind ") + kind + " --output '" + output_ + "' '" + input + "'",
            &out, &err),
        0)
        << kind;
  }
  // Standard output that cannot be written fails the two informative options.
  EXPECT_EQ(Run("--version > /dev/full", &out, &err), 1);
  EXPECT_EQ(err, "wayconv: cannot write to standard output: No space left on device\n");
  for (const char* args : {"--help", "--batch -h", "--window --version", "--kind plt --help"}) {
    EXPECT_EQ(Run(std::string(args) + " > /dev/full", &out, &err), 1) << args;
    EXPECT_EQ(err, "wayconv: cannot write to standard output: No space left on device\n") << args;
  }
  // The help fits 80 columns and names the window's exit statuses.
  EXPECT_EQ(Run("--help", &out, &err), 0);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  EXPECT_NE(out.find("128+N"), std::string::npos);
  EXPECT_NE(out.find("--strict"), std::string::npos);
}

}  // namespace
