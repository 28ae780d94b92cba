// The atomic writer: what replaces what, what is kept, and that a failed
// write leaves the old file and no temporary behind.
#include "host/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

TEST_F(AtomicFileTest, KeptModeLosesSetuidAndSetgid) {
  std::string path = dir_.File("tool");
  WriteFile(path, "previous");
  ASSERT_EQ(chmod(path.c_str(), 06755), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "new bytes", 0600));
  EXPECT_EQ(ModeOf(path) & 07777, 0755);
}

TEST_F(AtomicFileTest, ReadOnlyNeedsForce) {
  std::string path = dir_.File("locked");
  WriteFile(path, "previous");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(IsReadOnlyFile(path));
  int error = 0;
  EXPECT_FALSE(WriteFileAtomically(path, "new bytes", 0600, &error));
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(ReadFile(path), "previous");
  AtomicReplaceReadOnly = true;
  EXPECT_TRUE(WriteFileAtomically(path, "new bytes", 0600));
  AtomicReplaceReadOnly = false;
  EXPECT_EQ(ReadFile(path), "new bytes");
  EXPECT_EQ(ModeOf(path) & 07777, 0444);
  EXPECT_FALSE(IsReadOnlyFile(dir_.path()));
  EXPECT_EQ(Temporaries(), 0);
}

TEST_F(AtomicFileTest, FifoWithoutReaderAndDevices) {
  std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int error = 0;
  // In a child with an alarm: a blocking open would wait for ever.
  pid_t child = fork();
  if (child == 0) {
    alarm(10);
    _exit(WriteFileAtomically(fifo, "x", 0600, &error) ? 1 : error == ENXIO ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
  EXPECT_TRUE(WriteFileAtomically("/dev/null", "x", 0600));
  EXPECT_FALSE(WriteFileAtomically("/dev/full", "x", 0600, &error));
  EXPECT_EQ(error, ENOSPC);
}

// Links in a sticky folder that everyone may write: followed only when they
// belong to the caller or the folder's owner. Needs root to give a link away.
TEST_F(AtomicFileTest, ProtectedLinksInSharedFolders) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a link owned by another user";
  SavedEnvironment saved({"WAYCONV_ROOT"});
  unsetenv("WAYCONV_ROOT");
  std::string shared = dir_.File("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  std::string secret = dir_.File("secret");
  WriteFile(secret, "root's own");
  chmod(secret.c_str(), 0600);
  std::string planted = shared + "/planted";
  ASSERT_EQ(symlink(secret.c_str(), planted.c_str()), 0);
  ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
  bool refused = false;
  EXPECT_EQ(ResolveLinks(planted, &refused), planted);
  EXPECT_TRUE(refused);
  int error = 0;
  EXPECT_FALSE(WriteFileAtomically(planted, "overwritten", 0600, &error));
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(ReadFile(secret), "root's own");
  EXPECT_EQ(Temporaries(), 0);

  // The caller's own link there, a link outside a sticky folder, and one
  // under WAYCONV_ROOT are followed.
  std::string own = shared + "/own";
  ASSERT_EQ(symlink(secret.c_str(), own.c_str()), 0);
  EXPECT_EQ(ResolveLinks(own, &refused), secret);
  EXPECT_FALSE(refused);
  setenv("WAYCONV_ROOT", shared.c_str(), 1);
  EXPECT_EQ(ResolveLinks(planted, &refused), secret);
  EXPECT_FALSE(refused);
  unsetenv("WAYCONV_ROOT");
  ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
  EXPECT_EQ(ResolveLinks(planted, &refused), secret);
  EXPECT_FALSE(refused);
}

// A signal that ends the process while a temporary exists removes it first,
// and the process still ends by that signal; the target stays as it was.
TEST_F(AtomicFileTest, SignalsRemoveTheTemporary) {
  std::string path = dir_.File("target");
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM}) {
    SCOPED_TRACE(signal_number);
    WriteFile(path, "previous");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
      close(ready[0]);
      signal(signal_number, SIG_DFL);
      AtomicFile file;
      if (!AtomicOpen(path, 0600, &file) || !WriteAll(file.fd, "half", 4)) _exit(3);
      (void)!write(ready[1], "r", 1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(Temporaries(), 1);
    kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_EQ(Temporaries(), 0);
    EXPECT_EQ(ReadFile(path), "previous");
  }
  // An ignored signal stays ignored while the temporary exists.
  struct sigaction before;
  sigaction(SIGHUP, nullptr, &before);
  signal(SIGHUP, SIG_IGN);
  AtomicFile file;
  ASSERT_TRUE(AtomicOpen(path, 0600, &file));
  struct sigaction during;
  sigaction(SIGHUP, nullptr, &during);
  EXPECT_EQ(during.sa_handler, SIG_IGN);
  EXPECT_TRUE(AtomicCommit(&file, true));
  sigaction(SIGHUP, &before, nullptr);
}

}  // namespace
