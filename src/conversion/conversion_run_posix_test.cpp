// Conversion runs against what only a POSIX host offers: a full device, a
// file size limit, permissions and symbolic links at the output.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/track_file.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

Points Walk(int count) {
  Points points;
  for (int i = 0; i < count; ++i) points.push_back({i * 0.00001, 8.0});
  return points;
}

class ConversionPosixTest : public WayconvTest {
 protected:
  std::string input_ = dir_.File("track.plt");
  std::string output_ = dir_.File("Tracks.bin");

  int Convert(const std::string& bytes) {
    WriteFile(input_, bytes);
    PrepareRun(input_, kInputPlt, output_);
    return ConvertTrack();
  }

  std::string InputLine() { return "Input file: " + input_ + "\r\n"; }
};

TEST_F(ConversionPosixTest, FullDeviceGivesWriteErrorAndStaysADevice) {
  struct stat before;
  if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) GTEST_SKIP() << "no /dev/full";
  WriteFile(input_, PltFile(Walk(5)));
  PrepareRun(input_, kInputPlt, "/dev/full");
  EXPECT_EQ(ConvertTrack(), kConvertWriteFailed);
  EXPECT_EQ(LogText(), InputLine() + "Track 1 at 0.000000 , 8.000000 \r\nOutput file write error!\n");
  struct stat after;
  ASSERT_EQ(stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(OutputStream, nullptr);
}

TEST_F(ConversionPosixTest, FailedWriteLeavesThePreviousFileIntact) {
  const std::string previous(kTrackFileSize, '\x5A');
  WriteFile(output_, previous);
  chmod(output_.c_str(), 0640);
  // A file size limit makes the write fail even for root; the signal it
  // raises is ignored so that the write returns an error instead.
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 40000;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limit);
  int result = Convert(PltFile(Walk(5)));
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);

  EXPECT_EQ(result, kConvertWriteFailed);
  EXPECT_EQ(LogText(), InputLine() + "Track 1 at 0.000000 , 8.000000 \r\nOutput file write error!\n");
  EXPECT_EQ(ReadFile(output_), previous);
  std::string listing;
  RunCommand("ls -A '" + dir_.path() + "'", &listing);
  EXPECT_EQ(listing, "Tracks.bin\ntrack.plt\n");  // no temporary left behind

  // A successful run replaces the file and keeps its permissions.
  ResetGlobalsForTest();
  ASSERT_EQ(Convert(PltFile(Walk(5))), kConvertOk);
  struct stat st;
  ASSERT_EQ(stat(output_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(WordAt(ReadFile(output_), 0), 5u);
}

TEST_F(ConversionPosixTest, WritesThroughASymbolicLink) {
  std::string target = dir_.File("real.bin");
  WriteFile(target, "old");
  ASSERT_EQ(symlink(target.c_str(), output_.c_str()), 0);
  ASSERT_EQ(Convert(PltFile(Walk(3))), kConvertOk);
  struct stat st;
  ASSERT_EQ(lstat(output_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(target).size(), kTrackFileSize);
}

}  // namespace
