// The open-file dialog's decisions: which names a filter lets through, what a
// folder lists, where the dialog starts, and what Enter gives back.
#include "platform/file_chooser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "host/text.h"
#include "test_util.h"

namespace {

std::string Real(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::vector<std::string> Names(const ChooserState& state) {
  std::vector<std::string> names;
  for (const ChooserEntry& entry : state.entries) names.push_back(entry.name + (entry.folder ? "/" : ""));
  return names;
}

class FileChooserTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    saved_cwd_ = cwd;
    root_ = Real(dir_.path());
    // Files to list: a filter by extension in either case, hidden names,
    // folders (one reached through a link) sorted before files.
    mkdir((root_ + "/zdir").c_str(), 0755);
    mkdir((root_ + "/adir").c_str(), 0755);
    ASSERT_EQ(symlink("adir", (root_ + "/link").c_str()), 0);
    for (const char* name : {"b.gpx", "a.GPX", "c.plt", ".hidden.gpx", "adir/in.gpx"}) {
      WriteFile(root_ + "/" + name, "x");
    }
    const char* device = std::getenv("WAYCONV_ROOT");
    ASSERT_NE(device, nullptr);
    device_ = Real(device);
    mkdir((device_ + "/My Documents").c_str(), 0755);
    mkdir((device_ + "/My Documents/GPS").c_str(), 0755);
    ASSERT_EQ(chdir(root_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    WayconvTest::TearDown();
  }
  std::string saved_cwd_;
  std::string root_;
  std::string device_;
};

TEST(FileChooserPatternTest, MatchesLikeTheDevice) {
  struct Case {
    const char* name;
    const char16_t* patterns;
    bool matches;
  } cases[] = {
      {"walk.gpx", u"*.gpx", true},        {"WALK.GPX", u"*.gpx", true},
      {"walk.gpx.bak", u"*.gpx", false},   {"gpx", u"*.gpx", false},
      {".gpx", u"*.gpx", true},            {"log.nme", u"*.nmea", false},
      {"x.plt", u"*.gpx;*.plt", true},     {"x.mps", u"*.gpx;*.plt", false},
      {"anything", u"*", true},            {"ab", u"a?", true},
      {"a", u"a?", false},                 {"abcbd", u"a*bd", true},
      {"aXbXc", u"a*b*c", true},           {"abc", u"", false},
      {"\xC3\xA9t\xC3\xA9.gpx", u"*.gpx", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesNamePatterns(c.name, c.patterns), c.matches) << c.name;
  }
}

TEST(FileChooserPatternTest, DroppedNamesPickTheirFilter) {
  const FileFilterView filters[] = {
      {u"gpx", u"*.gpx"}, {u"mps", u"*.mps;track.m?"}, {u"plt", u"*.plt;*.PLT2"}, {u"nmea", u"*.nmea"}};
  struct Case {
    const char* name;
    int filter;
  };
  const Case cases[] = {
      {"walk.gpx", 1}, {"WALK.GPX", 1}, {"hike.mps", 2}, {"a.plt", 3}, {"a.plt2", 3},
      {"drive.nmea", 4}, {"drive.log", 4},  // anything else is NMEA, the last
      {"gpx", 4}, {".gpx", 1}, {"track.mx", 2}, {"track.mxx", 4}, {"walk.gpx.bak", 4}, {"", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FilterForName(c.name, filters, 4), c.filter);
  }
}

TEST_F(FileChooserTest, ListsFoldersThenMatchingFilesInOrder) {
  ChooserState state;
  state.folder = root_;
  ListChooserFolder(&state, u"*.gpx");
  EXPECT_EQ(Names(state), (std::vector<std::string>{"../", "adir/", "link/", "zdir/", "a.GPX", "b.gpx"}));
  EXPECT_EQ(FirstChooserEntry(state), 1);
  ListChooserFolder(&state, u"*.plt");
  EXPECT_EQ(Names(state), (std::vector<std::string>{"../", "adir/", "link/", "zdir/", "c.plt"}));
  EXPECT_FALSE(state.unreadable);

  state.folder = root_ + "/missing";
  ListChooserFolder(&state, u"*.gpx");
  EXPECT_TRUE(state.unreadable);
  EXPECT_EQ(Names(state), (std::vector<std::string>{"../"}));
  EXPECT_EQ(FirstChooserEntry(state), 0);

  state.folder = "/";
  ListChooserFolder(&state, u"*.gpx");
  ASSERT_FALSE(state.entries.empty());
  EXPECT_NE(state.entries[0].name, "..");
}

TEST_F(FileChooserTest, StartsInTheFolderOfTheFileBuffer) {
  struct Case {
    std::string file;
    std::string folder;
    std::string name;
    bool device;
  } cases[] = {
      {"", root_, "", false},
      {root_ + "/zdir/out.bin", root_ + "/zdir", "out.bin", false},
      {"zdir/out.bin", root_ + "/zdir", "out.bin", false},
      {"out.bin", root_, "out.bin", false},
      {"\\My Documents\\GPS\\Tracks.bin", device_ + "/My Documents/GPS", "Tracks.bin", true},
      {"\\Tracks.bin", device_, "Tracks.bin", true},
      // A folder not there yet: the current folder, with the whole path as the name.
      {"\\Nowhere\\Tracks.bin", root_, "\\Nowhere\\Tracks.bin", false},
      {root_ + "/gone/out.bin", root_, root_ + "/gone/out.bin", false},
  };
  for (const Case& c : cases) {
    ChooserState state;
    StartChooser(&state, W(c.file).c_str());
    EXPECT_EQ(state.folder, c.folder) << c.file;
    EXPECT_EQ(Utf16ToUtf8(state.name), c.name) << c.file;
    EXPECT_EQ(state.in_device_folder, c.device) << c.file;
  }
}

TEST_F(FileChooserTest, EnterOpensFoldersAndChoosesFiles) {
  struct Case {
    std::string start;   // the file buffer
    int up;              // folders to go up first
    std::string name;    // typed; empty: the highlighted entry
    int highlighted;
    bool must_exist;
    int action;
    std::string result;  // the path chosen, the folder opened, or the refusal
  } cases[] = {
      // Names in the device folder the dialog started in stay device paths.
      {"\\My Documents\\GPS\\Tracks.bin", 0, "mine.bin", 0, false, kChooserChosen,
       "\\My Documents\\GPS\\mine.bin"},
      {"\\Tracks.bin", 0, "mine.bin", 0, false, kChooserChosen, "\\mine.bin"},
      {"\\My Documents\\GPS\\Tracks.bin", 1, "mine.bin", 0, false, kChooserChosen,
       device_ + "/My Documents/mine.bin"},
      // A typed absolute or device path is kept as typed.
      {"", 0, "\\Other\\x.bin", 0, false, kChooserChosen, "\\Other\\x.bin"},
      {"", 0, "/nowhere/x.bin", 0, false, kChooserChosen, "/nowhere/x.bin"},
      {"", 0, "b.gpx", 0, true, kChooserChosen, root_ + "/b.gpx"},
      {"", 0, "adir/in.gpx", 0, true, kChooserChosen, root_ + "/adir/in.gpx"},
      {"", 0, "missing.gpx", 0, true, kChooserRefused, "No such file"},
      {"", 0, "zdir", 0, true, kChooserOpened, root_ + "/zdir"},
      {"", 0, "missing.gpx", 0, false, kChooserChosen, root_ + "/missing.gpx"},
      {"", 0, "link", 0, true, kChooserOpened, root_ + "/adir"},
      {"", 0, "..", 0, true, kChooserOpened, Real(root_ + "/..")},
      // The highlighted entry, with the name line empty (list: .. adir link zdir a.GPX b.gpx).
      {"", 0, "", 0, true, kChooserOpened, Real(root_ + "/..")},
      {"", 0, "", 1, true, kChooserOpened, root_ + "/adir"},
      {"", 0, "", 5, true, kChooserChosen, root_ + "/b.gpx"},
      {"", 0, "", 6, true, kChooserRefused, "Type a name"},
  };
  for (const Case& c : cases) {
    ChooserState state;
    StartChooser(&state, W(c.start).c_str());
    for (int i = 0; i < c.up; ++i) ASSERT_TRUE(ChooserUp(&state));
    state.name = W(c.name);
    ListChooserFolder(&state, u"*.gpx");
    ChooserOutcome outcome = ChooserEnter(&state, c.highlighted, c.must_exist);
    if (c.action == kChooserOpened) {
      // A folder opened: it is shown now, with an empty name line.
      EXPECT_EQ(outcome.action, kChooserOpened) << c.name;
      EXPECT_EQ(state.folder, c.result) << c.name;
      EXPECT_TRUE(state.name.empty()) << c.name;
    } else if (c.action == kChooserRefused) {
      EXPECT_EQ(outcome.action, kChooserRefused) << c.name;
      EXPECT_STREQ(outcome.message, c.result.c_str()) << c.name;
    } else {
      EXPECT_EQ(outcome.action, kChooserChosen) << c.name;
      EXPECT_EQ(Utf16ToUtf8(outcome.path), c.result) << c.name;
    }
  }
}

// Case does not split the groups' order; FIFOs and broken links are not
// listed, links to files are.
TEST_F(FileChooserTest, OrdersWithoutCaseAndListsOnlyFoldersAndFiles) {
  mkdir((root_ + "/UPPER").c_str(), 0755);
  mkdir((root_ + "/deep").c_str(), 0755);
  WriteFile(root_ + "/B.gpx", "x");
  ASSERT_EQ(mkfifo((root_ + "/pipe.gpx").c_str(), 0600), 0);
  ASSERT_EQ(symlink("nowhere.gpx", (root_ + "/broken.gpx").c_str()), 0);
  ASSERT_EQ(symlink("b.gpx", (root_ + "/linked.gpx").c_str()), 0);
  ChooserState state;
  state.folder = root_;
  ListChooserFolder(&state, u"*.gpx");
  EXPECT_EQ(Names(state),
            (std::vector<std::string>{"../", "adir/", "deep/", "link/", "UPPER/", "zdir/", "a.GPX",
                                      "B.gpx", "b.gpx", "linked.gpx"}));
  struct {
    const char* typed;
    int index;
  } typing[] = {{"", -1},   {"u", 4},  {"Up", 4},         {"B", 7},           {"b.g", 7},
                {"..", -1}, {"x", -1}, {"linked.gpx", 9}, {"linked.gpxx", -1}};
  for (const auto& t : typing) EXPECT_EQ(TypeAheadMatch(state, W(t.typed)), t.index) << t.typed;
}

TEST_F(FileChooserTest, TypedPathsFromHomeAbsoluteOrTheFolder) {
  SavedEnvironment saved{"HOME"};
  setenv("HOME", (root_ + "/adir/").c_str(), 1);
  ChooserState state;
  state.folder = root_ + "/zdir";
  struct {
    const char* typed;
    std::string host;
  } cases[] = {
      {"~", root_ + "/adir"},
      {"~/", root_ + "/adir/"},
      {"~/in.gpx", root_ + "/adir/in.gpx"},
      {"~other", root_ + "/zdir/~other"},  // no other users' homes
      {"x/~/y", root_ + "/zdir/x/~/y"},
      {"/abs/x", "/abs/x"},
      {"\\Dev\\x", device_ + "/Dev/x"},
      {"../adir", root_ + "/zdir/../adir"},
  };
  for (const auto& c : cases) EXPECT_EQ(TypedHostPath(state, W(c.typed)), c.host) << c.typed;

  // Enter on them: home opens as a folder, a file there is chosen as its host path.
  state.name = W("~/");
  ChooserOutcome outcome = ChooserEnter(&state, 0, kChooserMustExist);
  EXPECT_EQ(outcome.action, kChooserOpened);
  EXPECT_EQ(state.folder, root_ + "/adir");
  state.name = W("~/in.gpx");
  outcome = ChooserEnter(&state, 0, kChooserMustExist);
  EXPECT_EQ(Utf16ToUtf8(outcome.path), root_ + "/adir/in.gpx");
  state.name = W("../zdir");
  EXPECT_EQ(ChooserEnter(&state, 0, kChooserMustExist).action, kChooserOpened);
  EXPECT_EQ(state.folder, root_ + "/zdir");
}

// Which existing files a save asks about: all but a regular file of the
// quiet size; a missing file never.
TEST_F(FileChooserTest, ReplaceRule) {
  WriteFile(root_ + "/track.bin", std::string(80008, '\0'));
  WriteFile(root_ + "/short.bin", std::string(80007, '\0'));
  ASSERT_EQ(mkfifo((root_ + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("track.bin", (root_ + "/to-track").c_str()), 0);
  struct {
    const char* name;
    long long quiet;
    bool asks;
  } cases[] = {
      {"track.bin", 80008, false}, {"to-track", 80008, false}, {"short.bin", 80008, true},
      {"b.gpx", 80008, true},      {"fifo", 80008, true},      {"missing.bin", 80008, false},
      {"track.bin", -1, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AsksBeforeReplacing(root_ + "/" + c.name, c.quiet), c.asks)
        << c.name << " " << c.quiet;
  }
}

TEST_F(FileChooserTest, UpStopsAtTheTop) {
  ChooserState state;
  state.folder = "/tmp";
  state.name = W("x");
  EXPECT_TRUE(ChooserUp(&state));
  EXPECT_EQ(state.folder, "/");
  EXPECT_EQ(state.came_from, "tmp");
  EXPECT_TRUE(state.name.empty());
  EXPECT_FALSE(ChooserUp(&state));
  EXPECT_EQ(state.folder, "/");
}

}  // namespace
