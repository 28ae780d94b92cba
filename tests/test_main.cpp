// Every test run gets a private HOME, XDG_CONFIG_HOME and WAYCONV_ROOT, so no
// test reads or writes the user's own files.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
  char pattern[] = "/tmp/wayconv-test-XXXXXX";
  const char* root = mkdtemp(pattern);
  if (root == nullptr) return 2;
  std::string base = root;
  std::string setup = "mkdir -p '" + base + "/home' '" + base + "/config' '" + base + "/device'";
  if (std::system(setup.c_str()) != 0) return 2;
  setenv("HOME", (base + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  setenv("WAYCONV_ROOT", (base + "/device").c_str(), 1);
  setenv("WAYCONV_TEST_ROOT", base.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::string cleanup = "chmod -R u+rwx '" + base + "' 2>/dev/null; rm -rf '" + base + "'";
  if (std::system(cleanup.c_str()) != 0) return result == 0 ? 2 : result;
  return result;
}
