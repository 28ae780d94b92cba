// The interactive program end to end: the real window procedure, driven by a
// headless script; screen, log, registry and output file checked.

#include "common/message_log.h"
#include "resources/resource_ids.h"
#include "shell/shell_test_util.h"

namespace {

using MainWindowTest = ShellTest;

// Rows of a screen text, for checks on one row.
std::vector<std::string> Rows(const std::string& text) {
  std::vector<std::string> rows;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    rows.push_back(text.substr(start, end - start));
  }
  return rows;
}

TEST_F(MainWindowTest, FirstStartShowsDefaultPathAndPrompt) {
  HeadlessCapture();
  HeadlessCall([] {
    EXPECT_EQ(HeadlessClientText(), std::string(kDefaultPathLines) + "\nSelect input file ...\n");
  });
  EXPECT_EQ(Run(), 0);
  std::vector<std::string> rows = Rows(Snapshot(0));
  ASSERT_EQ(rows.size(), 24u);
  EXPECT_EQ(rows[0], "Wayconv");
  EXPECT_EQ(rows[1], "Output file:");
  EXPECT_EQ(rows[4], "\\Tracks.bin");
  EXPECT_EQ(rows[6], "Select input file ...");
  EXPECT_EQ(rows[23], "Open file" + std::string(60 - 9 - 5, ' ') + "Tools");
  EXPECT_EQ(DoSplit, 1);
  EXPECT_EQ(LogText(),
            "Output file: \r\n\\My Documents\r\n\\GPS Tracks and Waypoints\r\n"
            "\\Tracks.bin\r\n\r\nSelect input file ...\r\n");
  // The script ran out: the system closed the window, and nothing was saved.
  EXPECT_FALSE(RegistrySaved());
}

TEST_F(MainWindowTest, OpenFileConvertsAndNextDialogPreselectsLastKind) {
  std::string plt = WritePlt("walk.plt");
  HeadlessSoftKey(0);
  HeadlessCapture();  // the dialog, first use: gpx preselected
  HeadlessOpenFile(plt, kInputPlt);
  HeadlessCapture();
  HeadlessSoftKey(0);
  HeadlessCapture();  // the dialog again: plt preselected
  HeadlessCancelFile();
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);

  EXPECT_NE(Snapshot(0).find("Type: [gpx]  mps   plt   nmea"), std::string::npos) << Snapshot(0);
  std::string converted = Snapshot(1);
  EXPECT_NE(converted.find("Input file: " + plt + "\n"), std::string::npos) << converted;
  EXPECT_NE(converted.find("Track 1 at 55.000000 , 37.000000"), std::string::npos) << converted;
  EXPECT_NE(converted.find("OK!\n\nOutput file:\n\\My Documents\n"), std::string::npos);
  EXPECT_EQ(ReadFile(DefaultOutput()).size(), 80008u);
  EXPECT_EQ(WordAt(ReadFile(DefaultOutput()), 0), 3u);

  EXPECT_NE(Snapshot(2).find("Type:  gpx   mps  [plt]  nmea"), std::string::npos) << Snapshot(2);
  EXPECT_EQ(Rows(Snapshot(3))[1], "File not selected");
  EXPECT_EQ(LogText(), "File not selected");
  EXPECT_EQ(InputPath[0], 0);
  EXPECT_EQ(InputKind, kInputPlt);
}

TEST_F(MainWindowTest, KindFollowsTheChosenFilterNotTheName) {
  std::string gpx = dir_.File("walk.gpx");
  WriteFile(gpx, "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>\n");
  std::string plt_named_gpx = dir_.File("walk2.gpx");
  WriteFile(plt_named_gpx, ReadFile(WritePlt("x.plt")));
  struct {
    std::string path;
    int filter;
    const char* expected;
  } cases[] = {
      {gpx, kInputPlt, "Incorrect file format!\r\n"},
      {plt_named_gpx, kInputPlt, "OK!\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    HeadlessSoftKey(0);
    HeadlessOpenFile(c.path, c.filter);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(InputKind, c.filter);
    EXPECT_NE(LogText().find(c.expected), std::string::npos) << LogText();
  }
}

TEST_F(MainWindowTest, OpenDialogRefusesMissingFileAndTakesTheNextAnswer) {
  std::string plt = WritePlt("there.plt");
  HeadlessSoftKey(0);
  HeadlessOpenFile(dir_.File("missing.plt"), kInputPlt);
  HeadlessOpenFile(plt, kInputPlt);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Utf16ToUtf8(InputPath), plt);
  EXPECT_NE(LogText().find("OK!\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, SetOutputFileSavesAtOnceAndShowsThePath) {
  HeadlessSoftKey(1);
  HeadlessChooseMenuItem(kCmdSetOutputFile);
  HeadlessCapture();  // the dialog with the current path as its name
  HeadlessOpenFile("\\Storage\\Tracks\\out.bin", 1);
  HeadlessCall([this] {
    EXPECT_EQ(StoredOutputFile(), u"\\Storage\\Tracks\\out.bin");
    EXPECT_EQ(StoredDoSplit(), 1);
    EXPECT_EQ(HeadlessClientText(), "Output file:\n\\Storage\n\\Tracks\n\\out.bin\n");
  });
  HeadlessSoftKey(0);
  HeadlessOpenFile(WritePlt("a.plt"), kInputPlt);
  EXPECT_EQ(Run(), 0);
  EXPECT_NE(Snapshot(0).find("Name: \\My Documents\\GPS Tracks and Waypoints\\Tracks.bin"),
            std::string::npos)
      << Snapshot(0);
  EXPECT_NE(Snapshot(0).find("Type: [bin]"), std::string::npos);
  EXPECT_EQ(ReadFile(dir_.File("device/Storage/Tracks/out.bin")).size(), 80008u);
  EXPECT_FALSE(FileExists(DefaultOutput()));
}

TEST_F(MainWindowTest, CancelledSetOutputFileSavesNothingAndShowsThePath) {
  HeadlessSoftKey(1);
  HeadlessChooseMenuItem(kCmdSetOutputFile);
  HeadlessCancelFile();
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(LogText(),
            "Output file: \r\n\\My Documents\r\n\\GPS Tracks and Waypoints\r\n"
            "\\Tracks.bin\r\n");
  EXPECT_EQ(Rows(Snapshot(0))[4], "\\Tracks.bin");
  EXPECT_FALSE(RegistrySaved());
}

TEST_F(MainWindowTest, BreakItemCheckFollowsDoSplitAndIsSavedOnlyOnExit) {
  HeadlessSoftKey(1);
  HeadlessCapture();
  HeadlessChooseMenuItem(kCmdBreakTrack);
  HeadlessSoftKey(1);
  HeadlessCapture();
  HeadlessChooseMenuItem(0);  // dismissed
  HeadlessCall([this] {
    EXPECT_EQ(DoSplit, 0);
    EXPECT_FALSE(RegistrySaved());
  });
  HeadlessSoftKey(1);
  HeadlessChooseMenuItem(kCmdExit);
  EXPECT_EQ(Run(), 0);
  // The popup as the terminal draws it: above the right soft key, at the
  // right edge, box characters, the chosen item's check mark.
  const char* box[] = {
      "┌───────────────"
      "────────────────┐",
      "│   Set output file             │",
      "├───────────────"
      "────────────────┤",
      "│ ✓ Break track at 1000 m space │",
  };
  std::vector<std::string> rows = Rows(Snapshot(0));
  ASSERT_GE(rows.size(), 24u) << Snapshot(0);
  // 60 columns: the 33-column box starts at column 27; the bar is row 23 and
  // the box's 9 rows end just above it.
  for (int i = 0; i < 4; ++i) {
    ASSERT_GE(rows[14 + i].size(), 27u) << Snapshot(0);
    EXPECT_EQ(rows[14 + i].substr(rows[14 + i].size() - std::string(box[i]).size()), box[i])
        << Snapshot(0);
  }
  EXPECT_NE(Snapshot(1).find("│   Break track at 1000 m space │"), std::string::npos)
      << Snapshot(1);
  EXPECT_EQ(StoredDoSplit(), 0);
}

TEST_F(MainWindowTest, OnlyExitAndCtrlQSave) {
  struct {
    const char* name;
    void (*script)();
    bool saves;
  } cases[] = {
      {"Exit", [] { HeadlessSoftKey(1), HeadlessChooseMenuItem(kCmdExit); }, true},
      {"Ctrl+Q", [] { HeadlessKey('Q', kModControl); }, true},
      {"plain Q", [] { HeadlessKey('Q'), HeadlessClose(); }, false},
      {"closed by the system", [] { HeadlessClose(); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    std::remove(RegistryFilePath().c_str());
    c.script();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(RegistrySaved(), c.saves);
    if (c.saves) {
      EXPECT_EQ(StoredOutputFile(), u"\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin");
      EXPECT_EQ(StoredDoSplit(), 1);
    }
  }
}

TEST_F(MainWindowTest, CtrlAShowsAboutFullScreen) {
  struct {
    void (*answer)();
  } cases[] = {{HeadlessDialogOk}, {HeadlessDialogClose}};
  for (const auto& c : cases) {
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset(40, 12);
    HeadlessKey('A', kModControl);
    HeadlessCapture();
    c.answer();
    HeadlessCapture();
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> about = Rows(Snapshot(0));
    ASSERT_EQ(about.size(), 12u);
    EXPECT_EQ(about[0], "About Wayconv" + std::string(40 - 13 - 2, ' ') + "OK");
    EXPECT_EQ(about[2], "   Wayconv V" WAYCONV_VERSION);
    EXPECT_EQ(about[4], "   Converts GPX, MPS, PLT and NMEA");
    EXPECT_EQ(about[5], "   tracks to the device track file.");
    EXPECT_EQ(about[7], "   Help: run wayconv --help");
    EXPECT_EQ(about[11], "");  // an empty menu bar under the dialog
    EXPECT_EQ(Rows(Snapshot(1))[0], "Wayconv");
    EXPECT_EQ(Rows(Snapshot(1))[11], "Open file" + std::string(40 - 9 - 5, ' ') + "Tools");
    EXPECT_FALSE(RegistrySaved());
  }
}

TEST_F(MainWindowTest, SoftKeysAnswerClicksAndResizeRefitsTheWindow) {
  HeadlessClick(59, 23);  // on "Tools"
  HeadlessChooseMenuItem(kCmdSetOutputFile);
  HeadlessCancelFile();
  HeadlessResize(30, 10);
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  std::vector<std::string> rows = Rows(Snapshot(0));
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[1], "Output file:");
  EXPECT_EQ(rows[3], "\\GPS Tracks and Waypoints");
  EXPECT_EQ(rows[9], "Open file" + std::string(30 - 9 - 5, ' ') + "Tools");
}

TEST_F(MainWindowTest, LogLinesPastTheRightEdgeAreClipped) {
  HeadlessReset(14, 8);
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Rows(Snapshot(0))[3], "\\GPS Tracks an");
}

// What the settings store hands over shows in the window: the start-up path
// and the first check mark. (The store's own cases are tested with it.)
TEST_F(MainWindowTest, StoredSettingsShowAtStart) {
  std::u16string long_path = u"\\" + std::u16string(1499, u'x');
  struct {
    const char* name;
    std::u16string stored_path;  // empty: stored with its terminator only
    DWORD split;
    std::string first_line_of_path;
    const char* check;
  } cases[] = {
      {"split off", u"\\Tracks.bin", 0, "\\Tracks.bin", "\u2502   Break"},
      {"empty path", u"", 1, "\\My Documents", "\u2502 \u2713 Break"},
      {"1500 characters", long_path, 1, Utf16ToUtf8(long_path).substr(0, 60), "\u2502 \u2713 Break"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetGlobalsForTest();
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    StoreValue(u"OutputFile", REG_SZ, c.stored_path.c_str(),
               static_cast<DWORD>((c.stored_path.size() + 1) * 2));
    StoreValue(u"DoSplit", REG_DWORD, &c.split, 4);
    HeadlessCapture();
    HeadlessSoftKey(1);
    HeadlessCapture();
    HeadlessChooseMenuItem(0);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Rows(Snapshot(0))[2], c.first_line_of_path);
    EXPECT_NE(Snapshot(1).find(c.check), std::string::npos) << Snapshot(1);
  }
}

// Every announcement repaints the window; thousands of them all get through
// (how fast is measured by bench/headless_tracks).
TEST_F(MainWindowTest, ThousandsOfTrackAnnouncements) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 4000; ++i) points.push_back({(i % 2) * 0.1, 0.0});  // 11 km jumps
  std::string plt = dir_.File("zigzag.plt");
  WriteFile(plt, PltFile(points));
  HeadlessSoftKey(0);
  HeadlessOpenFile(plt, kInputPlt);
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  EXPECT_NE(Snapshot(0).find("Track 4000 at"), std::string::npos) << Snapshot(0);
  EXPECT_EQ(WordAt(ReadFile(DefaultOutput()), 0), 4000u);
}

}  // namespace
