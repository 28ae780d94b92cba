// One copy per user: a second copy brings the first forward and exits; a
// socket left by a crashed copy does not stand in the way.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "common/message_log.h"
#include "host/single_instance.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/shell_test_util.h"

namespace {

using SecondCopyTest = ShellTest;

bool WaitForByte(int fd, int timeout_ms) {
  pollfd watch = {fd, POLLIN, 0};
  char byte = 0;
  return poll(&watch, 1, timeout_ms) == 1 && read(fd, &byte, 1) == 1;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

TEST_F(SecondCopyTest, SecondCopyBringsTheFirstForwardAndConvertsNothing) {
  std::string plt = WritePlt("both.plt");
  int ready[2];
  int go[2];
  int report[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(report), 0);
  pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    // The first copy: ready once its window stands, then it waits to be
    // called and for the test to finish its checks.
    HeadlessCall([&] { (void)!write(ready[1], "r", 1); });
    HeadlessWaitForPeer(10000);
    HeadlessCall([&] { WaitForByte(go[0], 10000); });
    int code = RunInteractive(HeadlessBackend(), u"");
    std::string result = std::to_string(code) + " " + std::to_string(HeadlessForegroundCount()) +
                         " " + std::to_string(HeadlessScriptErrors().size()) + "\n" + LogText();
    (void)!write(report[1], result.data(), result.size());
    _exit(0);
  }
  close(report[1]);
  ASSERT_TRUE(WaitForByte(ready[0], 10000));

  // The second copy, given a path.
  EXPECT_EQ(Run("\"" + plt + "\""), 0);
  EXPECT_EQ(RunningCopyProcess, static_cast<DWORD>(first));
  EXPECT_EQ(LogText(), "");
  EXPECT_FALSE(RegistrySaved());

  // Started together, the one without the claim cannot make its window.
  ResetPlatformForTest();
  UsePlatformBackend(HeadlessBackend());
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = u"WAYCONV";
  ASSERT_TRUE(RegisterClassW(&window_class));
  EXPECT_EQ(CreateWindowExW(0, u"WAYCONV", u"Wayconv", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr),
            nullptr);

  (void)!write(go[1], "g", 1);
  std::string result = ReadAll(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(result,
            "0 1 0\nOutput file: \r\n\\My Documents\r\n\\GPS Tracks and Waypoints\r\n"
            "\\Tracks.bin\r\n\r\nSelect input file ...\r\n");
  EXPECT_FALSE(FileExists(DefaultOutput()));
  for (int fd : {ready[0], ready[1], go[0], go[1], report[0]}) close(fd);
}

TEST_F(SecondCopyTest, SecondCopyWithSeveralInputsHandsThemToTheFirst) {
  std::string a = WritePlt("a.plt", 2);
  std::string b = WritePlt("b b.plt", 2);
  int ready[2];
  int report[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(report), 0);
  pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    HeadlessCall([&] { (void)!write(ready[1], "r", 1); });
    HeadlessWaitForPeer(10000);
    HeadlessCapture();  // after the handed-over conversion
    int code = RunInteractive(HeadlessBackend(), u"");
    std::string result = std::to_string(code) + " " + std::to_string(HeadlessForegroundCount()) +
                         " " + std::to_string(HeadlessScriptErrors().size()) + "\n" + LogText();
    (void)!write(report[1], result.data(), result.size());
    _exit(0);
  }
  close(report[1]);
  ASSERT_TRUE(WaitForByte(ready[0], 10000));

  EXPECT_EQ(Run(" \"" + a + "\" \"" + b + "\" "), 0);
  EXPECT_EQ(RunningCopyProcess, static_cast<DWORD>(first));
  EXPECT_EQ(LogText(), "");

  std::string result = ReadAll(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(result.rfind("0 1 0\nInput file: " + a + "\r\nInput file: " + b + "\r\n" +
                             "Track 1 at 55.000000 , 37.000000 \r\n"
                             "Track 2 at 55.000000 , 37.000000 \r\nOK!",
                         0),
            0u)
      << result;
  EXPECT_EQ(WordAt(ReadFile(DefaultOutput()), 0), 4u);
  for (int fd : {ready[0], ready[1], report[0]}) close(fd);
}

TEST_F(SecondCopyTest, StaleSocketOfACrashedCopyIsCleanedUp) {
  std::string folder = dir_.File("run/wayconv");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::string socket_path = folder + "/WAYCONV.sock";
  // A socket nobody listens on any more: its process has gone.
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
  WriteFile(folder + "/WAYCONV.lock", "");

  EXPECT_EQ(FindWindowW(u"WAYCONV", u"Wayconv"), nullptr);
  EXPECT_FALSE(FileExists(socket_path));

  // Left there again, it does not keep the next copy from starting.
  fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
  HeadlessCall([&] { EXPECT_NE(InstanceWatchFd(), -1); });
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Snapshot(0).rfind("Wayconv\n", 0), 0u);
  EXPECT_FALSE(FileExists(socket_path));  // removed when the window closed
}

}  // namespace
