#include "app/standard_input.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/batch.h"
#include "host/atomic_file.h"

namespace {

// Every signal whose default action ends the process and that can be caught.
constexpr int kCopySignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM};
constexpr size_t kCopyBlockSize = 64 * 1024;

// The copy's path for the signal handlers, which may only read it.
char g_copy_path[PATH_MAX];
volatile sig_atomic_t g_have_copy = 0;

void RemoveCopyAndEnd(int signal_number) {
  if (g_have_copy) unlink(g_copy_path);
  RemoveTemporaryForSignal();  // the output's, when it comes during the write
  g_have_copy = 0;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);  // delivered when the handler returns
}

// Blocks those signals (or unblocks them): the copy's path and the flag
// change only while no handler can run.
void BlockCopySignals(int how) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCopySignals) sigaddset(&set, s);
  sigprocmask(how, &set, nullptr);
}

void InstallHandlers() {
  struct sigaction action = {};
  action.sa_handler = RemoveCopyAndEnd;
  sigemptyset(&action.sa_mask);
  for (int s : kCopySignals) {
    struct sigaction old = {};
    // A signal ignored by whoever started us stays ignored (nohup).
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}

// Prints "<what>: <the system's reason><advice>", closes and removes the copy.
bool Fail(const std::string& what, const char* advice, int fd) {
  int error = errno;
  if (fd >= 0) close(fd);
  RemoveStandardInputCopy();
  PrintError(what + ": " + std::strerror(error) + advice);
  return false;
}

}  // namespace

bool CopyStandardInput(std::string* path) {
  const char* folder = getenv("TMPDIR");
  if (folder == nullptr || folder[0] == 0) folder = "/tmp";
  std::string name = std::string(folder) + "/wayconv-stdin-XXXXXX";
  if (name.size() >= sizeof g_copy_path) {
    PrintError("TMPDIR is too long for a temporary file; set TMPDIR to a shorter path");
    return false;
  }
  InstallHandlers();
  BlockCopySignals(SIG_BLOCK);
  std::memcpy(g_copy_path, name.c_str(), name.size() + 1);
  int fd = mkstemp(g_copy_path);  // mode 0600
  if (fd >= 0) g_have_copy = 1;
  BlockCopySignals(SIG_UNBLOCK);
  if (fd < 0) {
    return Fail(std::string("cannot make a temporary file in ") + folder + " for standard input",
                "; set TMPDIR to a writable folder", -1);
  }

  static char block[kCopyBlockSize];
  for (;;) {
    ssize_t n = read(STDIN_FILENO, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail("cannot read standard input", "", fd);
    if (n == 0) break;
    if (!WriteAll(fd, block, static_cast<size_t>(n))) {
      return Fail(std::string("cannot copy standard input to ") + g_copy_path,
                  "; set TMPDIR to a folder with room", fd);
    }
  }
  if (close(fd) != 0) {
    return Fail(std::string("cannot copy standard input to ") + g_copy_path,
                "; set TMPDIR to a folder with room", -1);
  }
  *path = g_copy_path;
  return true;
}

void RemoveStandardInputCopy() {
  BlockCopySignals(SIG_BLOCK);
  if (g_have_copy) unlink(g_copy_path);
  g_have_copy = 0;
  BlockCopySignals(SIG_UNBLOCK);
}
