// The atomic writer: what replaces what, what is kept, and that a failed
// write leaves the old file and no temporary behind.
#include "host/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_util.h"

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public WayconvTest {
 protected:
  int Temporaries() {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      if (entry.path().filename().string().find(".wayconv-") != std::string::npos) ++count;
    }
    return count;
  }
  mode_t ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
  }
};

TEST_F(AtomicFileTest, ReplacesKeepingWhatTheTargetIs) {
  struct {
    const char* name;
    void (*prepare)(const TempDir& dir);
    const char* written;    // the path given to the writer
    const char* holds;      // the file that must hold the bytes afterwards
    mode_t mode;            // its permissions afterwards
    bool link_stays;        // `written` is still a symbolic link
  } cases[] = {
      {"new file", [](const TempDir&) {}, "new", "new", 0640, false},
      {"existing file keeps its mode",
       [](const TempDir& d) {
         WriteFile(d.File("old"), "previous");
         chmod(d.File("old").c_str(), 0604);
       },
       "old", "old", 0604, false},
      {"link written through",
       [](const TempDir& d) {
         WriteFile(d.File("real"), "previous");
         chmod(d.File("real").c_str(), 0600);
         symlink("real", d.File("link").c_str());
       },
       "link", "real", 0600, true},
      {"dangling link makes its target",
       [](const TempDir& d) { symlink(d.File("made").c_str(), d.File("dangling").c_str()); },
       "dangling", "made", 0640, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare(dir_);
    ASSERT_TRUE(WriteFileAtomically(dir_.File(c.written), "new bytes", 0640));
    EXPECT_EQ(ReadFile(dir_.File(c.holds)), "new bytes");
    EXPECT_EQ(ModeOf(dir_.File(c.holds)) & 07777, c.mode);
    EXPECT_EQ(S_ISLNK(ModeOf(dir_.File(c.written))), c.link_stays);
    EXPECT_EQ(Temporaries(), 0);
  }
}

TEST_F(AtomicFileTest, AFailedWriteKeepsTheOldFile) {
  std::string path = dir_.File("kept");
  WriteFile(path, "previous");
  AtomicFile file;
  ASSERT_TRUE(AtomicOpen(path, 0600, &file));
  EXPECT_EQ(file.target, path);
  ASSERT_FALSE(file.temp.empty());
  EXPECT_EQ(FolderOf(file.temp), dir_.path());  // beside the target: the rename stays in one file system
  ASSERT_TRUE(WriteAll(file.fd, "half", 4));
  EXPECT_EQ(Temporaries(), 1);
  EXPECT_FALSE(AtomicCommit(&file, false));
  EXPECT_EQ(ReadFile(path), "previous");
  EXPECT_EQ(Temporaries(), 0);
  EXPECT_FALSE(AtomicCommit(&file, true));  // already closed
}

TEST_F(AtomicFileTest, FoldersAndFifos) {
  mkdir(dir_.File("folder").c_str(), 0700);
  AtomicFile file;
  EXPECT_FALSE(AtomicOpen(dir_.File("folder"), 0600, &file));
  EXPECT_FALSE(AtomicOpen(dir_.File("missing/x"), 0600, &file));

  // A FIFO is written in place: it stays a FIFO and its reader gets the bytes.
  std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(WriteFileAtomically(fifo, "through", 0600));
  char got[16] = {};
  EXPECT_EQ(read(reader, got, sizeof got), 7);
  EXPECT_EQ(std::string(got), "through");
  close(reader);
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
  EXPECT_EQ(Temporaries(), 0);

  CreateParentFolders(dir_.File("a/b/c/file"), 0700);
  EXPECT_TRUE(IsFolder(dir_.File("a/b/c")));
  EXPECT_FALSE(FileExists(dir_.File("a/b/c/file")));
  EXPECT_FALSE(IsFolder(dir_.File("fifo")));
  EXPECT_EQ(FolderOf("name"), ".");
  EXPECT_EQ(FolderOf("/name"), "/");
  EXPECT_EQ(FolderOf("/a/b/name"), "/a/b");
}

}  // namespace
