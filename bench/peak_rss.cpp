// Runs a command and prints its peak resident memory in KiB on standard error
// as "peak_rss_kb N". Being a small program itself, it adds almost nothing to
// the figure (a child's peak counts the memory it had before exec).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "wayconv: usage: wayconv_peak_rss COMMAND [ARGS...]\n");
    return 64;
  }
  pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) return 2;
  std::fprintf(stderr, "peak_rss_kb %ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
