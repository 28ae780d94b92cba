// The command-line start: cleaning the text, choosing the kind, and the
// conversion run from the message loop once the window shows.
#include "shell/command_line_start.h"

#include <sys/wait.h>
#include <unistd.h>

#include "host/atomic_file.h"

#include "common/message_log.h"
#include "resources/resource_ids.h"
#include "shell/shell_test_util.h"

namespace {

using CommandLineStartTest = ShellTest;

TEST(CommandLineCleaning, TrimSpacesThenStripQuotes) {
  struct {
    std::u16string in;
    std::u16string trimmed;
    std::u16string stripped;
  } cases[] = {
      {u"", u"", u""},
      {u"   ", u"", u""},
      {u"  a b  ", u"a b", u"a b"},
      {u"\ta \t", u"\ta \t", u"\ta \t"},  // only blanks are trimmed
      {u" \" my track.gpx \" ", u"\" my track.gpx \"", u" my track.gpx "},
      {u"\"\"\"x\"\"", u"\"\"\"x\"\"", u"x"},
      {u"a\"b\"\"c", u"a\"b\"\"c", u"abc"},
  };
  for (const auto& c : cases) {
    char16_t buffer[64] = {};
    CopyWide(buffer, 64, c.in);
    TrimSpaces(buffer);
    EXPECT_EQ(std::u16string(buffer), c.trimmed) << Utf16ToUtf8(c.in);
    StripQuotes(buffer);
    EXPECT_EQ(std::u16string(buffer), c.stripped) << Utf16ToUtf8(c.in);
  }
}

TEST_F(CommandLineStartTest, PathAndKindFromTheCommandLine) {
  const std::string d = dir_.path();
  struct {
    std::string command_line;
    std::string input;  // empty: no input file
    int kind;
  } cases[] = {
      {"  \"" + d + "/my  track.PLT\"  ", d + "/my  track.PLT", kInputPlt},
      {d + "/a.Gpx", d + "/a.Gpx", kInputGpx},
      {d + "/a.MPS", d + "/a.MPS", kInputMps},
      {d + "/a.nmea", d + "/a.nmea", kInputNmea},
      {d + "/a.txt", d + "/a.txt", kInputNmea},
      {"\"" + d + "/a.gpx \"", d + "/a.gpx ", kInputNmea},  // the blank stays inside the quotes
      {"a.gp", "", kInputGpx},
      {" \"a.g\"  ", "", kInputGpx},
      {"", "", kInputGpx},
      {"\\x.plt" + std::string(2033, 'p'), "\\x.plt" + std::string(2033, 'p'), kInputNmea},
      {"\\x.plt" + std::string(2034, 'p'), "", kInputGpx},  // 2040 characters do not fit
      {std::string(3000, 'q') + ".plt", "", kInputGpx},     // cut at 2046: still too long
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command_line.substr(0, 80));
    ResetGlobalsForTest();
    ResetShellGlobalsForTest();
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    EXPECT_EQ(Run(c.command_line), 0);
    EXPECT_EQ(Utf16ToUtf8(InputPath), c.input);
    EXPECT_EQ(InputKind, c.kind);
    EXPECT_EQ(StartedFromCommandLine, 0);
    if (c.input.empty()) {
      EXPECT_NE(LogText().find("Select input file ...\r\n"), std::string::npos) << LogText();
    } else {
      // None of these files exists: the run was tried and failed at the open.
      std::string log = LogText();
      EXPECT_EQ(log.substr(log.size() - 24), "Input file open error!\r\n");
    }
  }
}

// The log sink sees the conversion's first text only after the window exists
// and WM_CREATE has ended.
bool g_window_known_at_first_text = false;
bool g_first_text_seen = false;

TEST_F(CommandLineStartTest, ConvertsFromTheLoopAndPreselectsTheKind) {
  std::string plt = WritePlt("cl.plt");
  g_first_text_seen = false;
  SetLogSink([](const char16_t*, size_t, int) {
    if (g_first_text_seen) return;
    g_first_text_seen = true;
    g_window_known_at_first_text = MainWindow != nullptr;
  });
  HeadlessCapture();
  HeadlessSoftKey(0);
  HeadlessCapture();
  HeadlessCancelFile();
  EXPECT_EQ(Run("\"" + plt + "\""), 0);
  EXPECT_TRUE(g_window_known_at_first_text);
  EXPECT_NE(Snapshot(0).find("Input file: " + plt + "\n"), std::string::npos) << Snapshot(0);
  EXPECT_NE(Snapshot(0).find("OK!"), std::string::npos);
  EXPECT_EQ(ReadFile(DefaultOutput()).size(), 80008u);
  // "Open file" afterwards shows the dialog, with the command line's kind.
  EXPECT_NE(Snapshot(1).find("[plt]"), std::string::npos) << Snapshot(1);
}

TEST_F(CommandLineStartTest, MissingFileReportsAndTheProgramStaysOpen) {
  HeadlessCapture();
  HeadlessKey('Q', kModControl);
  EXPECT_EQ(Run(dir_.File("nothing.plt")), 0);
  EXPECT_EQ(LogText().substr(LogText().size() - 24), "Input file open error!\r\n");
  EXPECT_NE(Snapshot(0).find("Input file open error!"), std::string::npos);
  EXPECT_TRUE(RegistrySaved());  // it was still there to take Ctrl+Q
}

TEST_F(CommandLineStartTest, FifoOutputWithoutReaderNeverHangsTheWindow) {
  std::string plt = WritePlt("cl.plt");
  std::string fifo = DefaultOutput();
  CreateParentFolders(fifo, 0700);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // In a child with an alarm: a window stuck in the FIFO's open never ends.
  pid_t child = fork();
  if (child == 0) {
    alarm(20);
    HeadlessCapture();
    HeadlessKey('Q', kModControl);
    int code = Run(plt);
    bool refused = LogText().find("Output file open error!\r\n") != std::string::npos;
    _exit(code == 0 && refused && RegistrySaved() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
