// Fault injection for the conversion run: outputs that cannot be written,
// inputs that change between the counting and the storing pass, and inputs
// that are not regular files. Whatever happens, the run must end, report the
// failure with its message and result, and leave the previous track file and
// everything else at the target as it was.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "host/text.h"
#include "reader_test_util.h"

namespace {

namespace fs = std::filesystem;
using Points = std::vector<std::pair<double, double>>;

// `count` points 1.1 m apart going north from (`start`, 8).
Points Walk(int count, double start) {
  Points points;
  for (int i = 0; i < count; ++i) points.push_back({start + i * 0.00001, 8.0});
  return points;
}

std::string Int32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
  return bytes;
}

// One MapSource track record holding `points`.
std::string MpsTrack(const Points& points) {
  std::string data = "walk" + std::string(1, '\0') + std::string(kMpsTrackSkipSize, '\x01');
  data += Int32(static_cast<int32_t>(points.size()));
  for (const auto& [lat, lon] : points) {
    data += Int32(static_cast<int32_t>(std::lround(lat / kMpsDegreesPerSemicircle)));
    data += Int32(static_cast<int32_t>(std::lround(lon / kMpsDegreesPerSemicircle)));
    data += std::string(kMpsPointTrailerSize, '\x55');
  }
  return Int32(static_cast<int32_t>(data.size())) + kMpsTrackType + data;
}

// "ddmm.mmmmmm,N," for a latitude, "dddmm.mmmmmm,E," for a longitude (both positive here).
std::string NmeaAngle(double degrees, int width) {
  double whole = std::floor(degrees);
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%09.6f,%c,", width, static_cast<int>(whole),
                (degrees - whole) * 60.0, width == 2 ? 'N' : 'E');
  return text;
}

// The point records of `points` in the format `kind`, without any header, so
// that they can also extend an existing file.
std::string PointRecords(int kind, const Points& points) {
  std::string text;
  char line[128];
  for (const auto& [lat, lon] : points) {
    switch (kind) {
      case kInputGpx:
        std::snprintf(line, sizeof line, "<trkpt lat=\"%.7f\" lon=\"%.7f\"></trkpt>\n", lat, lon);
        text += line;
        break;
      case kInputNmea: {
        std::string body = "GPRMC,123519,A," + NmeaAngle(lat, 2) + NmeaAngle(lon, 3);
        unsigned sum = 0;
        for (unsigned char c : body) sum ^= c;
        std::snprintf(line, sizeof line, "*%02X\r\n", sum);
        text += "$" + body + line;
        break;
      }
      case kInputPlt:
        std::snprintf(line, sizeof line, "%.7f,%.7f,0,-777,0,,\r\n", lat, lon);
        text += line;
        break;
      case kInputMps:
        return MpsTrack(points);
    }
  }
  return text;
}

// A whole input file of `kind` holding `points`.
std::string InputFile(int kind, const Points& points) {
  switch (kind) {
    case kInputGpx:
      return "<gpx><trk><trkseg>\n" + PointRecords(kind, points) + "</trkseg></trk></gpx>\n";
    case kInputMps:
      return std::string(kMpsSignature, kMpsSignatureSize) + PointRecords(kind, points);
    case kInputPlt:
      return PltFile(points);
    default:
      return PointRecords(kind, points);
  }
}

const char* KindName(int kind) {
  static const char* const names[] = {"?", "gpx", "mps", "plt", "nmea"};
  return names[kind];
}

// Every path below `folder` that is a temporary of the stream layer.
std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().filename().string().find(".wayconv-") != std::string::npos) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

std::function<void()> g_between_passes;
void CallBetweenPasses() { g_between_passes(); }

class FaultInjectionTest : public WayconvTest {
 protected:
  void TearDown() override {
    BetweenPassesHookForTest = nullptr;
    g_between_passes = nullptr;
    WayconvTest::TearDown();
  }

  // One run; `between`, when given, runs between the two passes.
  int Convert(int kind, const std::string& output, std::function<void()> between = {}) {
    ResetAllForTest();
    PrepareRun(input_, kind, output);
    g_between_passes = std::move(between);
    BetweenPassesHookForTest = g_between_passes ? CallBetweenPasses : nullptr;
    int result = ConvertTrack();
    BetweenPassesHookForTest = nullptr;
    EXPECT_EQ(InputStream, nullptr);
    EXPECT_EQ(OutputStream, nullptr);
    return result;
  }

  // One run in a child process, so that a run that never ends fails the test
  // (the alarm ends the child) instead of hanging the whole suite.
  int ConvertInChild(int kind, std::string* log) {
    std::string log_file = dir_.File("child.log");
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
      alarm(60);
      ResetAllForTest();
      PrepareRun(input_, kind, output_);
      int result = ConvertTrack();
      WriteFile(log_file, LogText());
      _exit(result);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the run did not end by itself (signal "
                                   << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
    *log = ReadFile(log_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string InputLine() { return "Input file: " + input_ + "\r\n"; }

  PrivateEnvironment environment_{dir_};
  std::string input_ = dir_.File("track.in");  // read as the kind each run names
  std::string output_ = dir_.File("Tracks.bin");
  const std::string previous_ = std::string(kTrackFileSize, 'Z');  // an earlier track file
};

TEST_F(FaultInjectionTest, UnwritableOutputsKeepWhatWasThere) {
  struct stat full;
  ASSERT_EQ(stat("/dev/full", &full), 0);
  ASSERT_TRUE(S_ISCHR(full.st_mode));
  auto full_is_still_the_device = [&full] {
    struct stat now;
    ASSERT_EQ(stat("/dev/full", &now), 0);
    EXPECT_TRUE(S_ISCHR(now.st_mode));
    EXPECT_EQ(now.st_rdev, full.st_rdev);
    for (const auto& entry : fs::directory_iterator("/dev")) {
      EXPECT_EQ(entry.path().filename().string().find(".wayconv-"), std::string::npos)
          << entry.path();
    }
  };
  const std::string proc_version = ReadFile("/proc/version");
  const std::string plain = dir_.File("plain");
  const std::string device_folder = std::string(std::getenv("WAYCONV_ROOT")) + "/My Documents";

  const std::string open_error = "Output file open error!\r\n";
  const std::string write_error = "Output file write error!\n";
  struct Case {
    const char* label;
    std::function<std::string()> prepare;  // sets the scene, returns the output path
    int result;
    std::string message;
    std::function<void()> check;  // what must hold afterwards
  } cases[] = {
      {"disk full", [] { return "/dev/full"; }, kConvertWriteFailed, write_error,
       full_is_still_the_device},
      {"link to a full disk",
       [&] {
         EXPECT_EQ(symlink("/dev/full", output_.c_str()), 0);
         return output_;
       },
       kConvertWriteFailed, write_error,
       [&] {
         full_is_still_the_device();
         EXPECT_TRUE(fs::is_symlink(output_));
         EXPECT_EQ(fs::read_symlink(output_).string(), "/dev/full");
       }},
      {"output is a folder",
       [&] {
         fs::create_directory(output_);
         WriteFile(output_ + "/keep", previous_);
         return output_;
       },
       kConvertOpenFailed, open_error,
       [&] {
         EXPECT_TRUE(fs::is_directory(output_));
         EXPECT_EQ(ReadFile(output_ + "/keep"), previous_);
       }},
      {"folder is a file",
       [&] {
         WriteFile(plain, previous_);
         return plain + "/Tracks.bin";
       },
       kConvertOpenFailed, open_error, [&] { EXPECT_EQ(ReadFile(plain), previous_); }},
      {"track file named as a folder",
       [&] {
         WriteFile(output_, previous_);
         return output_ + "/";
       },
       kConvertOpenFailed, open_error, [&] { EXPECT_EQ(ReadFile(output_), previous_); }},
      {"device folder is a file",
       [&] {
         WriteFile(device_folder, previous_);
         return Utf16ToUtf8(kDefaultOutputPath);
       },
       kConvertOpenFailed, open_error, [&] { EXPECT_EQ(ReadFile(device_folder), previous_); }},
      // procfs refuses new files even to root.
      {"existing file under /proc", [] { return "/proc/version"; }, kConvertOpenFailed,
       open_error, [&] { EXPECT_EQ(ReadFile("/proc/version"), proc_version); }},
      {"new file under /proc", [] { return "/proc/self/Tracks.bin"; }, kConvertOpenFailed,
       open_error, [] { EXPECT_FALSE(FileExists("/proc/self/Tracks.bin")); }},
  };
  WriteFile(input_, PltFile(Walk(5, 0.0)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string output = c.prepare();
    EXPECT_EQ(Convert(kInputPlt, output), c.result);
    EXPECT_EQ(LogText(), InputLine() + "Track 1 at 0.000000 , 8.000000 \r\n" + c.message);
    c.check();
    EXPECT_EQ(Temporaries(dir_.path()), std::vector<std::string>());
    fs::remove_all(output_);
    fs::remove_all(plain);
    fs::remove_all(device_folder);
  }
}

TEST_F(FaultInjectionTest, ReadOnlyFolderKeepsThePreviousFile) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root writes into a read-only folder regardless of its mode; the /proc and "
                    "folder-is-a-file cases stand in for it";
  }
  std::string folder = dir_.File("locked");
  std::string output = folder + "/Tracks.bin";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  WriteFile(output, previous_);
  ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
  WriteFile(input_, PltFile(Walk(5, 0.0)));
  EXPECT_EQ(Convert(kInputPlt, output), kConvertOpenFailed);
  EXPECT_EQ(LogText(),
            InputLine() + "Track 1 at 0.000000 , 8.000000 \r\nOutput file open error!\r\n");
  chmod(folder.c_str(), 0700);
  EXPECT_EQ(ReadFile(output), previous_);
  EXPECT_EQ(Temporaries(dir_.path()), std::vector<std::string>());
}

TEST_F(FaultInjectionTest, FifoOutputIsWrittenInPlace) {
  // A FIFO is written through, as a device is, and stays a FIFO; the reader
  // sees the whole track file and then the end.
  WriteFile(input_, PltFile(Walk(5, 0.0)));
  ASSERT_EQ(Convert(kInputPlt, output_), kConvertOk);
  const std::string expected = ReadFile(output_);
  fs::remove(output_);
  ASSERT_EQ(mkfifo(output_.c_str(), 0600), 0);
  // The reader is there before the conversion opens the FIFO (without one
  // the open is refused at once); until the writer comes it reads nothing.
  int fd = open(output_.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  std::string received;
  std::thread reader([&] {
    char block[4096];
    for (int idle = 0; idle < 10000;) {
      ssize_t n = read(fd, block, sizeof block);
      if (n > 0) {
        received.append(block, static_cast<size_t>(n));
      } else if (n == 0 && !received.empty()) {
        break;  // the writer closed it
      } else {
        ++idle;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  });
  int result = Convert(kInputPlt, output_);
  reader.join();
  close(fd);
  EXPECT_EQ(result, kConvertOk);
  EXPECT_TRUE(received == expected);
  EXPECT_TRUE(fs::is_fifo(output_));
  EXPECT_EQ(Temporaries(dir_.path()), std::vector<std::string>());
}

TEST_F(FaultInjectionTest, InputChangedBetweenThePasses) {
  // The storing pass must either store exactly what the counting pass saw
  // (the file reached through the open stream still holds it) or fail with
  // the read error, never writing a track file.
  struct Change {
    const char* label;
    std::function<void(int kind)> apply;
    bool same_track;  // true: the run succeeds as on the unchanged input
  } changes[] = {
      {"cut in half",
       [&](int) { ASSERT_EQ(truncate(input_.c_str(), fs::file_size(input_) / 2), 0); }, false},
      {"emptied", [&](int) { ASSERT_EQ(truncate(input_.c_str(), 0), 0); }, false},
      {"zeroed in place",
       [&](int) { WriteFile(input_, std::string(fs::file_size(input_), '\0')); }, false},
      {"extended",
       [&](int kind) {
         std::FILE* file = std::fopen(input_.c_str(), "ab");
         ASSERT_NE(file, nullptr);
         std::string more = PointRecords(kind, Walk(50, 48.0));
         std::fwrite(more.data(), 1, more.size(), file);
         std::fclose(file);
       },
       true},
      {"replaced by another file",
       [&](int kind) {
         WriteFile(input_ + ".new", InputFile(kind, Walk(3, 10.0)));
         ASSERT_EQ(rename((input_ + ".new").c_str(), input_.c_str()), 0);
       },
       true},
      {"replaced by a folder",
       [&](int) {
         ASSERT_EQ(unlink(input_.c_str()), 0);
         ASSERT_EQ(mkdir(input_.c_str(), 0700), 0);
       },
       true},
      {"replaced by a FIFO",
       [&](int) {
         ASSERT_EQ(unlink(input_.c_str()), 0);
         ASSERT_EQ(mkfifo(input_.c_str(), 0600), 0);
       },
       true},
  };
  struct Input {
    int kind;
    int count;  // over 9996: the recording is thinned
  } inputs[] = {{kInputGpx, 20}, {kInputMps, 20}, {kInputPlt, 20}, {kInputNmea, 20},
                {kInputPlt, 30000}};
  for (const Input& in : inputs) {
    Points points = Walk(in.count, 47.0);
    points[10].first += 0.1;  // a second track
    const std::string original = InputFile(in.kind, points);
    for (const Change& change : changes) {
      SCOPED_TRACE(std::string(KindName(in.kind)) + " of " + std::to_string(in.count) +
                   " points, " + change.label);
      fs::remove_all(input_);
      fs::remove_all(output_);
      WriteFile(input_, original);
      ASSERT_EQ(Convert(in.kind, output_), kConvertOk);
      const std::string expected_image = ReadFile(output_);
      const std::string expected_log = LogText();
      ASSERT_EQ(StoredPoints(expected_image).size(),
                static_cast<size_t>(std::min(in.count, kMaxStoredPoints)));

      WriteFile(output_, previous_);
      int result = Convert(in.kind, output_, [&] { change.apply(in.kind); });
      if (change.same_track) {
        EXPECT_EQ(result, kConvertOk);
        EXPECT_EQ(LogText(), expected_log);
        EXPECT_TRUE(ReadFile(output_) == expected_image);
      } else {
        EXPECT_EQ(result, kConvertPassFailed);
        EXPECT_TRUE(LogText().ends_with("Input file read error !\r\n")) << LogText();
        EXPECT_TRUE(ReadFile(output_) == previous_);
      }
      EXPECT_EQ(Temporaries(dir_.path()), std::vector<std::string>());
    }
  }
}

TEST_F(FaultInjectionTest, InputsThatAreNotRegularFilesFailToOpen) {
  // The run reads its input twice, which only a regular file allows; anything
  // else must fail at once, and never wait for a writer or read for ever.
  struct Case {
    const char* label;
    std::function<void()> make;
  } cases[] = {
      {"folder", [&] { ASSERT_EQ(mkdir(input_.c_str(), 0700), 0); }},
      {"FIFO without a writer", [&] { ASSERT_EQ(mkfifo(input_.c_str(), 0600), 0); }},
      {"link to a FIFO",
       [&] {
         ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
         ASSERT_EQ(symlink(dir_.File("fifo").c_str(), input_.c_str()), 0);
       }},
      {"endless device", [&] { ASSERT_EQ(symlink("/dev/zero", input_.c_str()), 0); }},
      {"empty device", [&] { ASSERT_EQ(symlink("/dev/null", input_.c_str()), 0); }},
  };
  WriteFile(output_, previous_);
  for (const Case& c : cases) {
    for (int kind : {kInputGpx, kInputMps, kInputPlt, kInputNmea}) {
      SCOPED_TRACE(std::string(c.label) + " as " + KindName(kind));
      fs::remove_all(input_);
      fs::remove_all(dir_.File("fifo"));
      c.make();
      std::string log;
      EXPECT_EQ(ConvertInChild(kind, &log), kConvertOpenFailed);
      EXPECT_EQ(log, InputLine() + "Input file open error!\r\n");
      EXPECT_EQ(ReadFile(output_), previous_);
    }
  }
}

}  // namespace
