// What the program refuses to do whatever names and files it is handed:
// print a name's control characters raw, replace a file the user did not
// mean to replace, wait for ever on a FIFO, follow a link another user
// planted, leave a temporary behind when it is killed, or call a failed
// write a success. Through the real program.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <random>
#include <thread>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kHostile = "t\x1b]2;PWNED\a\x1b[2J\x1b[H\x1b[32mFAKE: all good\x1b[0m";
const std::string kTwoPoints = PltFile({{1.0, 2.0}, {1.0001, 2.0}});

class HardeningTest : public WayconvTest {
 protected:
  int Run(const std::string& args, std::string* out, std::string* err) {
    return RunCommand(std::string(WAYCONV_BINARY) + " " + args, out, err);
  }
  static std::string Quote(const std::string& path) { return "'" + path + "'"; }
  int Temporaries() {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      if (entry.path().filename().string().find(".wayconv-") != std::string::npos) ++count;
    }
    return count;
  }
  // A track file made by the program from `plt`.
  std::string MakeTrackFile(const std::string& name) {
    std::string input = dir_.File(name + ".plt");
    WriteFile(input, kTwoPoints);
    std::string out, err;
    EXPECT_EQ(Run("--batch --output " + Quote(dir_.File(name)) + " " + Quote(input), &out, &err),
              0)
        << err;
    return dir_.File(name);
  }
};

TEST_F(HardeningTest, HostileNamesReachNoTerminalRaw) {
  const std::string plt = dir_.File(kHostile + ".plt");
  WriteFile(plt, kTwoPoints);
  const std::string noise = dir_.File(kHostile + ".nmea");
  WriteFile(noise, "nothing\n");
  const std::string bidi = dir_.File("evil\xE2\x80\xAEgpx.plt");
  WriteFile(bidi, kTwoPoints);
  const std::string track = dir_.File(kHostile + ".bin");
  const std::string missing = dir_.File(kHostile + "/x.bin");
  struct Case {
    std::string label;
    std::string args;
    std::string shown;  // what must appear in the output, escaped
  } cases[] = {
      {"batch log", "--batch --output " + Quote(track) + " " + Quote(plt), "\\x1b]2;PWNED\\x07"},
      {"reason", "--batch --output " + Quote(track) + " " + Quote(noise), "\\x1b[2J\\x1b[H"},
      {"bidi in the log", "--batch --output " + Quote(dir_.File("b.bin")) + " " + Quote(bidi),
       "evil\\u202egpx.plt"},
      {"--show", "--show " + Quote(track), "file        " + dir_.File("t\\x1b]2;PWNED")},
      {"unknown option", "--batch " + Quote("--" + kHostile), "unknown option '--t\\x1b]2;"},
      {"unknown option of --show", "--show " + Quote("--" + kHostile), "unknown option '--t\\x1b"},
      {"cannot write", "--batch --output " + Quote(missing) + " " + Quote(plt),
       "cannot write " + dir_.File("t\\x1b")},
      {"cannot create", "--export gpx --output " + Quote(missing) + " " + Quote(track),
       "cannot create " + dir_.File("t\\x1b")},
      {"bad track file", "--show " + Quote(plt), dir_.File("t\\x1b]2;")},
  };
  for (const Case& c : cases) {
    std::string out, err;
    Run(c.args, &out, &err);
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << c.label << ": " << out;
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << c.label << ": " << err;
    EXPECT_EQ(err.find('\a'), std::string::npos) << c.label;
    EXPECT_EQ((out + err).find("\xE2\x80\xAE"), std::string::npos) << c.label;
    EXPECT_NE((out + err).find(c.shown), std::string::npos) << c.label << ": " << out << err;
  }
  // The track file itself was written under the hostile name.
  EXPECT_EQ(ReadFile(track).size(), 80008u);
}

TEST_F(HardeningTest, BatchOutputIsNeverTheInputNorAStrangeFile) {
  const std::string input = dir_.File("walk.plt");
  fs::create_directory(dir_.File("sub"));
  const std::string track = MakeTrackFile("old.bin");
  const std::string old_image = ReadFile(track);
  struct Case {
    std::string label;
    std::function<std::string()> prepare;  // returns the --output path
    std::string options;
    int status;
    std::string err;  // expected on standard error after "wayconv: " and the output path
    bool replaced;    // the output now holds the new track file
  } cases[] = {
      {"itself", [&] { return input; }, "", 2, " is the input file; give another --output", false},
      {"itself with --force", [&] { return input; }, "--force", 2,
       " is the input file; give another --output", false},
      {"hard link",
       [&] {
         fs::create_hard_link(input, dir_.File("hard.plt"));
         return dir_.File("hard.plt");
       },
       "", 2, " is the input file; give another --output", false},
      {"through ..", [&] { return dir_.File("sub/../walk.plt"); }, "", 2,
       " is the input file; give another --output", false},
      {"symbolic link",
       [&] {
         fs::create_symlink(input, dir_.File("soft.bin"));
         return dir_.File("soft.bin");
       },
       "", 2, " is the input file; give another --output", false},
      {"a recording",
       [&] {
         WriteFile(dir_.File("other.gpx"), "<gpx></gpx>");
         return dir_.File("other.gpx");
       },
       "", 2, " exists and is not a track file; add --force to replace it", false},
      {"80008 bytes with a bad count",
       [&] {
         WriteFile(dir_.File("bad.bin"), std::string(4, '\xff') + std::string(80004, '\0'));
         return dir_.File("bad.bin");
       },
       "", 2, " exists and is not a track file; add --force to replace it", false},
      {"a recording with --force", [&] { return dir_.File("other.gpx"); }, "--force", 0, "",
       true},
      {"a track file", [&] { return track; }, "", 0, "", true},
      {"an empty file",
       [&] {
         WriteFile(dir_.File("empty.bin"), "");
         return dir_.File("empty.bin");
       },
       "", 2, " exists and is not a track file; add --force to replace it", false},
      {"read-only track file",
       [&] {
         WriteFile(track, old_image);
         chmod(track.c_str(), 0444);
         return track;
       },
       "", 2, " is read-only; add --force to replace it", false},
      {"read-only track file with --force", [&] { return track; }, "--force", 0, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile(input, kTwoPoints);
    std::string output = c.prepare();
    std::string before = ReadFile(output);
    std::string out, err;
    EXPECT_EQ(Run("--batch " + c.options + " --output " + Quote(output) + " " + Quote(input), &out,
                  &err),
              c.status);
    EXPECT_EQ(err, c.err.empty() ? "" : "wayconv: " + output + c.err + "\n");
    if (c.replaced) {
      EXPECT_EQ(ReadFile(output).size(), 80008u);
    } else {
      EXPECT_EQ(ReadFile(output), before);
    }
    EXPECT_EQ(ReadFile(input), kTwoPoints);
    EXPECT_EQ(Temporaries(), 0);
  }
}

TEST_F(HardeningTest, ExportOutputIsNeverTheTrackFileNorAStrangeFile) {
  const std::string track = MakeTrackFile("walk.bin");
  const std::string image = ReadFile(track);
  WriteFile(dir_.File("notes.txt"), "my notes\n");
  WriteFile(dir_.File("old.csv"), "track,point,latitude,longitude\n1,1,0,0\n");
  WriteFile(dir_.File("old.gpx"), "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"></gpx>\n");
  WriteFile(dir_.File("locked.gpx"), "<gpx></gpx>\n");
  chmod(dir_.File("locked.gpx").c_str(), 0444);
  struct Case {
    std::string format, output, options;
    int status;
    std::string err;  // after "wayconv: " and the output path
  } cases[] = {
      {"gpx", track, "", 2, " is the track file itself; give another --output"},
      {"csv", track, "--force", 2, " is the track file itself; give another --output"},
      {"gpx", dir_.File("notes.txt"), "", 2,
       " exists and is not a file of that format; add --force to replace it"},
      {"svg", dir_.File("old.gpx"), "", 2,
       " exists and is not a file of that format; add --force to replace it"},
      {"csv", dir_.File("old.csv"), "", 0, ""},
      {"gpx", dir_.File("old.gpx"), "", 0, ""},
      {"gpx", dir_.File("locked.gpx"), "", 2, " is read-only; add --force to replace it"},
      {"gpx", dir_.File("locked.gpx"), "--force", 0, ""},
      {"gpx", dir_.File("notes.txt"), "--force", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + " " + c.output + " " + c.options);
    std::string before = ReadFile(c.output);
    std::string out, err;
    EXPECT_EQ(Run("--export " + c.format + " " + c.options + " --output " + Quote(c.output) + " " +
                      Quote(track),
                  &out, &err),
              c.status);
    EXPECT_EQ(err, c.err.empty() ? "" : "wayconv: " + c.output + c.err + "\n");
    if (c.status == 0) {
      EXPECT_NE(ReadFile(c.output), before);
    } else {
      EXPECT_EQ(ReadFile(c.output), before);
    }
  }
  EXPECT_EQ(ReadFile(track), image);
  EXPECT_EQ(Temporaries(), 0);
}

TEST_F(HardeningTest, FifoWithoutReaderIsRefusedAtOnce) {
  const std::string input = dir_.File("walk.plt");
  WriteFile(input, kTwoPoints);
  const std::string track = MakeTrackFile("walk.bin");
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // `timeout` ends a program that waits for a reader (status 124).
  struct Case {
    std::string args;
    int status;
  } cases[] = {
      {"--batch --output " + Quote(fifo) + " " + Quote(input), 2},
      {"--export gpx --output " + Quote(fifo) + " " + Quote(track), 2},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(RunCommand("timeout 20 " + std::string(WAYCONV_BINARY) + " " + c.args, &out, &err),
              c.status)
        << c.args;
    EXPECT_EQ(err, "wayconv: no program is reading " + fifo + "; start the reader first\n");
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  // With a reader, the track file goes through; /dev/null takes it as today.
  std::string out, err;
  EXPECT_EQ(RunCommand("cat " + Quote(fifo) + " > " + Quote(dir_.File("read")) + " & " +
                           "sleep 0.2; timeout 20 " + WAYCONV_BINARY + " --batch --output " +
                           Quote(fifo) + " " + Quote(input) + "; wait",
                       &out, &err),
            0)
      << err;
  EXPECT_EQ(ReadFile(dir_.File("read")).size(), 80008u);
  EXPECT_EQ(Run("--batch --output /dev/null " + Quote(input), &out, &err), 0);
}

TEST_F(HardeningTest, LinkPlantedByAnotherUserIsNotFollowed) {
  if (geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0) {
    GTEST_SKIP() << "needs root and setpriv to act as another user";
  }
  // A shared sticky folder like /tmp, which the other user can reach.
  char shared_template[] = "/tmp/wayconv-shared-XXXXXX";
  ASSERT_NE(mkdtemp(shared_template), nullptr);
  const std::string shared = shared_template;
  chmod(shared.c_str(), 01777);
  const std::string secret = dir_.File("secret");
  WriteFile(secret, "root's own");
  chmod(secret.c_str(), 0600);
  const std::string planted = shared + "/Tracks.bin";
  std::string out, err;
  ASSERT_EQ(RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups ln -s " +
                           Quote(secret) + " " + Quote(planted),
                       &out, &err),
            0)
      << err;
  const std::string input = dir_.File("walk.plt");
  WriteFile(input, kTwoPoints);
  const std::string no_root = "env -u WAYCONV_ROOT " + std::string(WAYCONV_BINARY);
  EXPECT_EQ(RunCommand(no_root + " --batch --force --output " + Quote(planted) + " " + Quote(input),
                       &out, &err),
            2);
  EXPECT_EQ(err, "wayconv: " + planted +
                     " is a link another user made in a shared folder; it is not followed, "
                     "give another --output\n");
  EXPECT_EQ(RunCommand(no_root + " --export csv --output " + Quote(planted) + " " +
                           Quote(MakeTrackFile("walk.bin")),
                       &out, &err),
            2);
  EXPECT_NE(err.find("it is not followed"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(secret), "root's own");
  // Under WAYCONV_ROOT the links are the user's own.
  EXPECT_EQ(RunCommand("WAYCONV_ROOT=" + Quote(shared) + " " + WAYCONV_BINARY +
                           " --batch --force --output " + Quote(planted) + " " + Quote(input),
                       &out, &err),
            0)
      << err;
  EXPECT_EQ(ReadFile(secret).size(), 80008u);
  fs::remove_all(shared);
}

TEST_F(HardeningTest, KilledRunsLeaveNoTemporary) {
  // A long recording, so that the kills land all over the run.
  std::string nmea;
  for (int i = 0; i < 60000; ++i) {
    char body[96];
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d,A,4807.%03d,N,01131.000,E,,,140523,,,A",
                  i / 3600 % 24, i / 60 % 60, i % 60, i % 1000);
    unsigned sum = 0;
    for (const char* c = body; *c != 0; ++c) sum ^= static_cast<unsigned char>(*c);
    char line[112];
    std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
    nmea += line;
  }
  const std::string input = dir_.File("long.nmea");
  WriteFile(input, nmea);
  const std::string output = MakeTrackFile("out.bin");
  const std::string old_image = ReadFile(output);
  std::string out, err;
  ASSERT_EQ(Run("--batch --output " + Quote(dir_.File("new.bin")) + " " + Quote(input), &out, &err),
            0);
  const std::string new_image = ReadFile(dir_.File("new.bin"));
  std::mt19937 random(24);
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM};
  for (int round = 0; round < 40; ++round) {
    // Every other round reads standard input, whose copy has signal
    // handlers of its own: they must remove the output's temporary too.
    const bool from_stdin = round % 2 == 1;
    pid_t child = fork();
    if (child == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      setenv("TMPDIR", dir_.path().c_str(), 1);
      if (from_stdin) {
        dup2(open(input.c_str(), O_RDONLY), 0);
        execl(WAYCONV_BINARY, WAYCONV_BINARY, "--batch", "--output", output.c_str(), "-",
              static_cast<char*>(nullptr));
      } else {
        execl(WAYCONV_BINARY, WAYCONV_BINARY, "--batch", "--output", output.c_str(),
              input.c_str(), static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
    int signal_number = signals[round % 5];
    kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), signal_number);
    }
    ASSERT_EQ(Temporaries(), 0) << "round " << round;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      ASSERT_EQ(entry.path().filename().string().rfind("wayconv-stdin-", 0), std::string::npos)
          << "round " << round << ", signal " << signal_number;
    }
    std::string now = ReadFile(output);
    ASSERT_TRUE(now == old_image || now == new_image) << "round " << round;
  }
}

TEST_F(HardeningTest, FullDisksAndUnwritableLogsSaySo) {
  const std::string track = MakeTrackFile("walk.bin");
  const std::string input = dir_.File("walk.bin.plt");
  std::string out, err;
  // A device that is always full.
  EXPECT_EQ(Run("--export gpx --output /dev/full " + Quote(track), &out, &err), 3);
  EXPECT_EQ(err, "wayconv: cannot write /dev/full: No space left on device; nothing was changed "
                 "there\n");
  // A log that cannot be printed: the track file is complete, the status 3.
  fs::remove(track);
  EXPECT_EQ(RunCommand(std::string(WAYCONV_BINARY) + " --batch --output " + Quote(track) + " " +
                           Quote(input) + " > /dev/full",
                       &out, &err),
            3);
  EXPECT_EQ(err, "wayconv: cannot write the log to standard output: No space left on device; "
                 "the track file was written\n");
  EXPECT_EQ(ReadFile(track).size(), 80008u);

  // A real file system that fills up.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const std::string small = dir_.File("small");
  fs::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 2000; ++i) points.push_back({1.0 + i * 0.0001, 2.0});
  WriteFile(input, PltFile(points));
  ASSERT_EQ(Run("--batch --output " + Quote(track) + " " + Quote(input), &out, &err), 0);
  const std::string target = small + "/walk.gpx";
  EXPECT_EQ(Run("--export gpx --output " + Quote(target) + " " + Quote(track), &out, &err), 3);
  EXPECT_EQ(err, "wayconv: cannot write " + target +
                     ": No space left on device; nothing was changed there\n");
  EXPECT_TRUE(fs::is_empty(small));
  umount(small.c_str());
}

TEST_F(HardeningTest, Utf16WithoutAMarkIsNamed) {
  std::string text = "$GPRMC,120000,A,4807.038,N,01131.000,E,,,140523,,,A*00\r\n";
  std::string little, big;
  for (char c : text) {
    little += std::string{c, '\0'};
    big += std::string{'\0', c};
  }
  for (const std::string& bytes : {little, big}) {
    const std::string input = dir_.File("log.nmea");
    WriteFile(input, bytes);
    std::string out, err;
    EXPECT_EQ(Run("--batch --output " + Quote(dir_.File("t.bin")) + " " + Quote(input), &out, &err),
              10);
    EXPECT_EQ(err, "wayconv: " + input +
                       " looks like UTF-16 text without a byte order mark; save it as UTF-8\n");
  }
}

}  // namespace
