// Times the interactive program through the headless backend on a recording
// in which every point starts a new track: 9996 announcements, each of which
// repaints the window.
//
//   wayconv_headless_tracks [POINTS]    (default 9996)
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "backends/headless/headless_backend.h"
#include "common/message_log.h"
#include "common/types.h"
#include "host/text.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  int points = argc > 1 ? std::atoi(argv[1]) : 9996;
  if (points < 2 || points > 1000000) {
    std::fprintf(stderr, "wayconv: POINTS must be 2 to 1000000\n");
    return 64;
  }
  char folder[] = "/tmp/wayconv-headless-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    std::perror("wayconv: mkdtemp");
    return 1;
  }
  std::string root = folder;
  for (const char* sub : {"/config", "/run", "/device"}) mkdir((root + sub).c_str(), 0700);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
  setenv("WAYCONV_ROOT", (root + "/device").c_str(), 1);

  // Points 11 km apart, alternately: every one of them starts a track.
  std::string input = root + "/zigzag.plt";
  {
    std::ofstream out(input, std::ios::binary);
    out << "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
           "Reserved 3\r\n0,2,255,Track,0,0,2,8421376\r\n0\r\n";
    for (int i = 0; i < points; ++i) out << (i % 2 == 0 ? "0.0" : "0.1") << ",0.0,0,-777,0,,\r\n";
  }

  HeadlessReset();
  HeadlessSoftKey(0);
  HeadlessOpenFile(input, kInputPlt);
  HeadlessCapture();
  auto start = std::chrono::steady_clock::now();
  int code = RunInteractive(HeadlessBackend(), u"");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The last announcement must be on the screen: the run really went through.
  std::string last = "Track " + std::to_string(points < 9996 ? points : 9996) + " at";
  const auto& shots = HeadlessSnapshots();
  std::string screen = shots.empty() ? std::string() : shots.back();
  bool shown = screen.find(last) != std::string::npos;
  if (!shown) std::fprintf(stderr, "%s\n", screen.c_str());
  std::printf("points %d  exit %d  seconds %.3f  \"%s\" shown: %s\n", points, code, seconds,
              last.c_str(), shown ? "yes" : "NO");
  if (!shown && code == 0) code = 1;
  std::string command = "rm -rf '" + root + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "wayconv: cannot remove %s\n", folder);
  return code;
}
