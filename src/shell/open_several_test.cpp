// Several files into one track file from the window: marked in the open
// dialog, or named together on the command line.
#include "common/message_log.h"
#include "conversion/track_file.h"
#include "resources/resource_ids.h"
#include "shell/command_line_start.h"
#include "shell/shell_test_util.h"

namespace {

using OpenSeveralTest = ShellTest;

TEST_F(OpenSeveralTest, MarkedFilesAreConvertedTogetherInListingOrder) {
  std::string folder = dir_.File("tracks");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::string a = WritePlt("tracks/a.plt", 2);
  WritePlt("tracks/b.plt", 2);
  std::string c = WritePlt("tracks/c.plt", 3);

  HeadlessSoftKey(0);
  HeadlessType(folder);
  HeadlessKey(VK_RETURN);  // opens the folder
  HeadlessKey(VK_TAB);
  HeadlessKey(VK_TAB);     // plt: "../" "a.plt" "b.plt" "c.plt", a.plt under the cursor
  HeadlessKey(VK_DOWN);
  HeadlessKey(VK_DOWN);
  HeadlessKey(VK_INSERT);  // c.plt, then a.plt
  HeadlessKey(VK_UP);
  HeadlessKey(VK_UP);
  HeadlessKey(VK_INSERT);
  HeadlessCapture();
  HeadlessKey(VK_RETURN);
  HeadlessCapture();
  EXPECT_EQ(Run(), 0);

  std::string dialog = Snapshot(0);
  EXPECT_NE(dialog.find("*a.plt\n b.plt\n*c.plt\n"), std::string::npos) << dialog;
  EXPECT_NE(dialog.find("(2 marked)\n"), std::string::npos) << dialog;
  EXPECT_EQ(LogText(), "Input file: " + a + "\r\nInput file: " + c +
                           "\r\nTrack 1 at 55.000000 , 37.000000 \r\n"
                           "Track 2 at 55.000000 , 37.000000 \r\n"
                           "OK!\r\n\r\nOutput file: \r\n\\My Documents\r\n"
                           "\\GPS Tracks and Waypoints\r\n\\Tracks.bin\r\n");
  EXPECT_EQ(WordAt(ReadFile(DefaultOutput()), 0), 5u);
  EXPECT_EQ(InputKind, kInputPlt);
}

TEST_F(OpenSeveralTest, CommandLineOfSeveralQuotedPaths) {
  struct Case {
    std::string text;
    std::vector<std::string> paths;  // empty: not a list
  } cases[] = {
      {"\"a.gpx\" \"b c.plt\"", {"a.gpx", "b c.plt"}},
      {"  \"a.gpx\"   \"b.plt\"  \"a.gpx\" ", {"a.gpx", "b.plt", "a.gpx"}},
      {"\"a.gpx\"", {}},           // one path: the device's own rule
      {"a.gpx b.plt", {}},         // unquoted: one path with a blank
      {"\"a.gpx\"\"b.plt\"", {}},  // no blank between them
      {"\"a.gpx\" \"\"", {}},
      {"\"a.gpx\" \"b.plt", {}},
      {"\"a.gpx\" x \"b.plt\"", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> paths;
    bool list = ParseInputList(W(c.text).c_str(), &paths);
    EXPECT_EQ(list, !c.paths.empty()) << c.text;
    std::vector<std::string> got;
    for (const std::u16string& path : paths) got.push_back(Utf16ToUtf8(path));
    if (list) {
      EXPECT_EQ(got, c.paths) << c.text;
    }
  }

  // Started with several, the window converts them together, each read as
  // its name says.
  std::string plt = WritePlt("walk.plt", 2);
  std::string gpx = dir_.File("ride.gpx");
  WriteFile(gpx, "<gpx><trkpt lat=\"1.5\" lon=\"2.5\"/><trkpt lat=\"1.5001\" lon=\"2.5\"/></gpx>");
  HeadlessCapture();
  EXPECT_EQ(Run("\"" + plt + "\" \"" + gpx + "\""), 0);
  EXPECT_EQ(LogText().rfind("Input file: " + plt + "\r\nInput file: " + gpx + "\r\n" +
                                "Track 1 at 55.000000 , 37.000000 \r\n"
                                "Track 2 at 1.500000 , 2.500000 \r\nOK!",
                            0),
            0u)
      << LogText();
  EXPECT_TRUE(StartInputs.empty());
  EXPECT_EQ(WordAt(ReadFile(DefaultOutput()), 0), 4u);
}

}  // namespace
