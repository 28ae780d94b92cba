// The interactive program end to end: the real window procedure, driven by a
// headless script; screen, log, registry and output file checked.

#include "shell/main_window.h"

#include <algorithm>
#include <cerrno>

#include "common/message_log.h"
#include "resources/resource_ids.h"
#include "shell/shell_test_util.h"

namespace {

using MainWindowTest = ShellTest;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

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
  // A receiver's capture with no extension, and an empty file.
  std::string capture = dir_.File("capture");
  WriteFile(capture,
            "$GPRMC,120000,A,4807.038,N,01131.000,E,,,140523,,,A*70\r\n"
            "$GPRMC,120001,A,4807.040,N,01131.000,E,,,140523,,,A*7E\r\n");
  std::string empty = dir_.File("empty.plt");
  WriteFile(empty, "");
  // Under "All files" the first bytes decide, else the name.
  const int all = AllFilesFilter();
  struct {
    std::string path;
    int filter;
    const char* expected;
    int kind;
  } cases[] = {
      {gpx, kInputPlt, "Incorrect file format!\r\n", kInputPlt},
      {plt_named_gpx, kInputPlt, "OK!\r\n", kInputPlt},
      {plt_named_gpx, all, "OK!\r\n", kInputPlt},
      {gpx, all, "Too short input file!\r\n", kInputGpx},
      {capture, all, "OK!\r\n", kInputNmea},
      {empty, all, "Input file read error!\r\n", kInputPlt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    HeadlessSoftKey(0);
    HeadlessOpenFile(c.path, c.filter);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(InputKind, c.kind);
    EXPECT_NE(LogText().find(c.expected), std::string::npos) << LogText();
  }
}

TEST_F(MainWindowTest, DroppedFilesAreConvertedWhereAnInputIsChosen) {
  std::string first = WritePlt("first.plt");
  std::string second = dir_.File("second.GPX");
  WriteFile(second, "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"1.1\" "
                    "lon=\"2\"/></trkseg></trk></gpx>\n");
  std::string ignored = WritePlt("ignored.plt");
  // On the main screen: as if chosen with "Open file", the kind by the name.
  HeadlessDrop(first);
  HeadlessCall([&] {
    EXPECT_EQ(Utf16ToUtf8(InputPath), first);
    EXPECT_EQ(InputKind, kInputPlt);
  });
  // On the input dialog: chosen at once, the type following the name.
  HeadlessSoftKey(0);
  HeadlessDrop(second);
  HeadlessCall([&] {
    EXPECT_EQ(Utf16ToUtf8(InputPath), second);
    EXPECT_EQ(InputKind, kInputGpx);
    EXPECT_NE(LogText().find("OK!\r\n"), std::string::npos) << LogText();
  });
  // Not while About shows, nor on the output file's dialog.
  HeadlessKey('A', kModControl);
  HeadlessDrop(ignored);
  HeadlessDialogOk();
  HeadlessSoftKey(1);
  HeadlessChooseMenuItem(kCmdSetOutputFile);
  HeadlessDrop(ignored);
  HeadlessCancelFile();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Utf16ToUtf8(InputPath), second);
  EXPECT_EQ(LogText().find("ignored"), std::string::npos) << LogText();
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
  // A save dialog for one file type: its own title, no type switch.
  EXPECT_EQ(Rows(Snapshot(0))[0], "Set output file" + std::string(60 - 15 - 2, ' ') + "OK");
  EXPECT_EQ(Snapshot(0).find("Type:"), std::string::npos);
  EXPECT_EQ(Rows(Snapshot(0))[23], "Enter:choose Esc:cancel");
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
  // the box's 10 rows end just above it.
  for (int i = 0; i < 4; ++i) {
    ASSERT_GE(rows[13 + i].size(), 27u) << Snapshot(0);
    EXPECT_EQ(rows[13 + i].substr(rows[13 + i].size() - std::string(box[i]).size()), box[i])
        << Snapshot(0);
  }
  EXPECT_NE(Snapshot(1).find("│   Break track at 1000 m space │"), std::string::npos)
      << Snapshot(1);
  EXPECT_EQ(StoredDoSplit(), 0);
}

TEST_F(MainWindowTest, KeepShapeItemFollowsThinShapeAndIsSavedOnExit) {
  StoreValue(u"ThinShape", REG_DWORD, "\1\0\0\0", 4);
  HeadlessSoftKey(1);
  HeadlessCapture();
  HeadlessChooseMenuItem(kCmdKeepShape);
  HeadlessCall([this] {
    EXPECT_EQ(ThinShape, 0);
    EXPECT_EQ(StoredDword(u"ThinShape"), 1);
  });
  HeadlessSoftKey(1);
  HeadlessCapture();
  HeadlessChooseMenuItem(kCmdExit);
  EXPECT_EQ(Run(), 0);
  // Below the break item, checked as the stored setting says.
  std::vector<std::string> rows = Rows(Snapshot(0));
  auto item = std::find_if(rows.begin(), rows.end(), [](const std::string& row) {
    return EndsWith(row, "│ ✓ Break track at 1000 m space │");
  });
  ASSERT_LT(item + 1, rows.end()) << Snapshot(0);
  EXPECT_TRUE(EndsWith(item[1], "│ ✓ Keep shape when thinning    │")) << Snapshot(0);
  EXPECT_NE(Snapshot(1).find("│   Keep shape when thinning    │"), std::string::npos)
      << Snapshot(1);
  EXPECT_EQ(StoredDword(u"ThinShape"), 0);
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
  HeadlessResize(42, 13);
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);
  std::vector<std::string> rows = Rows(Snapshot(0));
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(rows[1], "Output file:");
  EXPECT_EQ(rows[3], "\\GPS Tracks and Waypoints");
  EXPECT_EQ(rows[12], "Open file" + std::string(42 - 9 - 5, ' ') + "Tools");
}

// Below 40x12 only a notice shows, and only a resize, a close or Ctrl+Q
// get through; at 40x12 the window is back as it was.
TEST_F(MainWindowTest, TooSmallScreenShowsANoticeAndIgnoresInput) {
  HeadlessResize(30, 8);
  HeadlessCapture();
  HeadlessCall([] {
    // The frame has no soft keys for a backend to draw as buttons.
    Frame frame = {};
    DrawScreen(&frame);
    EXPECT_EQ(frame.bar_row, -1);
    EXPECT_EQ(frame.keys[0].start, frame.keys[0].end);
    EXPECT_EQ(frame.keys[1].start, frame.keys[1].end);
  });
  HeadlessSoftKey(1);  // would open Tools
  HeadlessClick(27, 7);
  HeadlessKey('A', kModControl);
  HeadlessCapture();
  HeadlessResize(40, 12);
  HeadlessCapture();
  HeadlessCall([] {
    Frame frame = {};
    DrawScreen(&frame);
    EXPECT_EQ(frame.bar_row, 11);
  });
  HeadlessResize(39, 12);
  HeadlessKey('Q', kModControl);  // still saves and exits
  EXPECT_EQ(Run(), 0);
  std::vector<std::string> small = Rows(Snapshot(0));
  ASSERT_EQ(small.size(), 8u);
  EXPECT_EQ(small[3], "  Make the terminal at least");
  EXPECT_EQ(small[4], "            40x12");
  EXPECT_EQ(Snapshot(1), Snapshot(0));
  std::vector<std::string> back = Rows(Snapshot(2));
  EXPECT_EQ(back[1], "Output file:");
  EXPECT_EQ(back[11], "Open file" + std::string(40 - 9 - 5, ' ') + "Tools");
  EXPECT_TRUE(RegistrySaved());
}

// Lines wider than the window go on in the next row, a path's at a folder
// when one starts in the row's last third; the log is as written.
TEST_F(MainWindowTest, LogLinesPastTheRightEdgeWrap) {
  const std::string a(30, 'a');
  const std::string b(30, 'b');
  const std::u16string path = Utf8ToUtf16("/" + a + "/" + b + "/out.bin");
  StoreValue(u"OutputFile", REG_SZ, path.c_str(), static_cast<DWORD>((path.size() + 1) * 2));
  HeadlessReset(40, 12);
  HeadlessCall([&] {
    EXPECT_EQ(HeadlessClientText(), "Output file: /" + a.substr(0, 26) + "\n" + a.substr(0, 4) +
                                        "/" + b + "\n/out.bin\n\nSelect input file ...\n");
    EXPECT_EQ(LogText(), "Output file: " + Utf16ToUtf8(path) + "\r\n\r\nSelect input file ...\r\n");
  });
  EXPECT_EQ(Run(), 0);
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
      // Wrapped into rows of 60, the end in view.
      {"1500 characters", long_path, 1, std::string(60, 'x'), "\u2502 \u2713 Break"},
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


// A log taller than the window shows its end, scrolls through the whole of
// it, and comes back to the end with the next message; the log's text is
// what the conversion wrote.
TEST_F(MainWindowTest, LongLogShowsItsEndAndScrolls) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 26; ++i) points.push_back({i * 0.02, 37.0});  // 2.2 km apart
  std::string plt = dir_.File("long.plt");
  WriteFile(plt, PltFile(points));
  HeadlessSoftKey(0);
  HeadlessOpenFile(plt, kInputPlt);
  HeadlessCapture();
  HeadlessCall([] {
    EXPECT_NE(LogText().find("Track 1 at"), std::string::npos);
    EXPECT_NE(LogText().find("Track 26 at"), std::string::npos);
  });
  HeadlessKey(VK_HOME);
  HeadlessCapture();
  HeadlessWheel(10, 10, kWheelDown);
  HeadlessCapture();
  HeadlessKey(VK_NEXT);
  HeadlessCapture();
  HeadlessSoftKey(1);
  HeadlessChooseMenuItem(kCmdSetOutputFile);
  HeadlessCancelFile();
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);

  // 33 log lines in 22 rows: the end, with the mark of more above.
  std::vector<std::string> end = Rows(Snapshot(0));
  EXPECT_TRUE(EndsWith(end[1], "\u2191 more")) << end[1];
  EXPECT_EQ(end[17], "OK!");
  EXPECT_EQ(end[22], "\\Tracks.bin");
  std::vector<std::string> start = Rows(Snapshot(1));
  EXPECT_EQ(start[1], "Input file: " + plt);
  EXPECT_TRUE(EndsWith(start[22], "\u2193 more")) << start[22];
  EXPECT_EQ(Rows(Snapshot(2))[1].substr(0, 8), "Track 3 ");  // three rows a notch
  EXPECT_EQ(Snapshot(3), Snapshot(0));  // a page of 21 rows, stopped at the end
  std::vector<std::string> next = Rows(Snapshot(4));
  EXPECT_EQ(next[1], "Output file:");
  EXPECT_EQ(next[2], "\\My Documents");
}

// The save dialog worked by keys: an existing file that is not a track file
// is replaced only after "y"; "n" leaves it and the output path as they were.
TEST_F(MainWindowTest, SetOutputFileAsksBeforeReplacingOtherFiles) {
  std::string gpx = dir_.File("walk.gpx");
  struct {
    const char* answer;
    bool replaced;
  } cases[] = {{"n", false}, {"y", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ResetGlobalsForTest();
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    WriteFile(gpx, "<gpx/>");
    HeadlessSoftKey(1);
    HeadlessChooseMenuItem(kCmdSetOutputFile);
    HeadlessKey('U', kModControl);
    HeadlessType(gpx);
    HeadlessKey(VK_RETURN);
    HeadlessCapture();
    HeadlessType(c.answer);
    if (!c.replaced) HeadlessKey(VK_ESCAPE);
    HeadlessKey('Q', kModControl);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Rows(Snapshot(0))[23], "Replace walk.gpx? It is not a track file. (y/N)");
    EXPECT_EQ(Utf16ToUtf8(OutputPath),
              c.replaced ? gpx : "\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin");
    EXPECT_EQ(ReadFile(gpx), "<gpx/>");  // replaced only by the next conversion
  }
}

// A save that fails is remembered for the message after the window closes;
// the next save that succeeds clears it.
TEST_F(MainWindowTest, FailedSettingsSaveIsKept) {
  WriteFile(dir_.File("blocked"), "a file where the config folder should be");
  setenv("XDG_CONFIG_HOME", dir_.File("blocked").c_str(), 1);
  HeadlessKey('Q', kModControl);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(SettingsSaveError(), ENOTDIR);
  setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
  SaveSettings();
  EXPECT_EQ(SettingsSaveError(), 0);
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
