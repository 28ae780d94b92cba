#include "platform/registry.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "host/text.h"
#include "test_util.h"

namespace {

constexpr char16_t kKey[] = u"Software\\T";

// A text's UTF-16 bytes (host order, as the program stores them), and with
// the terminator, as a REG_SZ holds them.
std::string Bytes(std::u16string_view t) {
  return {reinterpret_cast<const char*>(t.data()), t.size() * sizeof(char16_t)};
}
std::string Sz(std::u16string_view text) {
  return Bytes(text) + std::string(2, '\0');
}

LONG Set(const char16_t* name, DWORD type, const std::string& data, const char16_t* key = kKey) {
  HKEY handle = nullptr;
  LONG status =
      RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, 0, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
  return status;
}

struct Value {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::string data;
};

Value Get(const char16_t* name, const char16_t* key = kKey) {
  Value v;
  HKEY handle = nullptr;
  v.status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle);
  if (v.status != ERROR_SUCCESS) return v;
  DWORD size = 0;
  v.status = RegQueryValueExW(handle, name, nullptr, &v.type, nullptr, &size);
  if (v.status == ERROR_SUCCESS) {
    v.data.resize(size);
    v.status = RegQueryValueExW(handle, name, nullptr, &v.type,
                                reinterpret_cast<BYTE*>(v.data.data()), &size);
  }
  RegCloseKey(handle);
  return v;
}

class RegistryTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    file_ = dir_.File("wayconv/registry.reg");
  }
  SavedEnvironment saved_env_{"XDG_CONFIG_HOME", "HOME"};
  void WriteRegistry(const std::string& bytes) {
    mkdir(dir_.File("wayconv").c_str(), 0700);
    WriteFile(file_, bytes);
  }
  std::string file_;
};

TEST_F(RegistryTest, QueryReportsTypeAndSizeInBytes) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key));
  EXPECT_EQ(file_, RegistryFilePath());
  ASSERT_EQ(ERROR_SUCCESS, Set(u"S", REG_SZ, Sz(u"abc")));

  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\t", 0, KEY_READ, &key));
  char buffer[16] = {};
  auto* data = reinterpret_cast<BYTE*>(buffer);
  struct Case {
    const char16_t* name;
    BYTE* data;
    DWORD size_in;
    LONG status;
    DWORD size_out;
  } cases[] = {
      {u"S", nullptr, 0, ERROR_SUCCESS, 8},  // asks for the size only
      {u"s", data, 7, ERROR_MORE_DATA, 8},
      {u"S", data, 16, ERROR_SUCCESS, 8},
      {u"Missing", data, 16, ERROR_FILE_NOT_FOUND, 16},
  };
  for (const Case& c : cases) {
    DWORD type = REG_NONE;
    DWORD size = c.size_in;
    EXPECT_EQ(c.status, RegQueryValueExW(key, c.name, nullptr, &type, c.data, &size));
    EXPECT_EQ(c.size_out, size);
    EXPECT_EQ(c.status == ERROR_FILE_NOT_FOUND ? REG_NONE : REG_SZ, type);
  }
  EXPECT_EQ(Sz(u"abc"), std::string(buffer, 8));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

  // A key without a section of its own exists while a key below it does.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Get(u"S", u"Software\\Te").status);
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Set(u"S", REG_SZ, Sz(u"x"), u"\\Software"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Set(u"S", REG_SZ, Sz(u"x"), u"Software\\\\T"));
}

TEST_F(RegistryTest, EveryTypeAndSizeRoundTrips) {
  std::string binary;
  for (int i = 0; i < 200; ++i) binary += static_cast<char>(i);
  struct Case {
    const char16_t* name;
    DWORD type;
    std::string data;
    std::string line;  // how the file shows it
  } cases[] = {
      {u"Plain", REG_SZ, Sz(u"a\\b \"q\" \u00fc\U0001F600"),
       "\"Plain\"=\"a\\\\b \\\"q\\\" \xc3\xbc\xf0\x9f\x98\x80\""},
      {u"Empty", REG_SZ, Sz(u""), "\"Empty\"=\"\""},
      {u"NoEnd", REG_SZ, Bytes(u"ab"), "\"NoEnd\"=hex(1):61,00,62,00\r\n"},
      {u"OddSize", REG_SZ, Sz(u"a") + std::string(1, '\0'),
       "\"OddSize\"=hex(1):61,00,00,00,00\r\n"},
      {u"NoBytes", REG_SZ, "", "\"NoBytes\"=hex(1):\r\n"},
      {u"Inner", REG_SZ, Sz(std::u16string(u"a\0b", 3)), "\"Inner\"=hex(1):61,00,00,00,62"},
      {u"Lines", REG_SZ, Sz(u"a\r\nb"), "\"Lines\"=hex(1):61,00,0d,00,0a"},
      {u"Lone", REG_SZ, Sz(u"\xD800x"), "\"Lone\"=hex(1):00,d8,78"},
      {u"Escaped", REG_SZ, Sz(u"\xDCC3\xDCA9"), "\"Escaped\"=hex(1):c3,dc,a9,dc"},
      {u"Dword", REG_DWORD, std::string("\x1f\0\0\0", 4), "\"Dword\"=dword:0000001f\r\n"},
      {u"Short", REG_DWORD, "\x01\x02", "\"Short\"=hex(4):01,02\r\n"},
      {u"Bin", REG_BINARY, binary, "\"Bin\"=hex:00,01,02,"},
      {u"Multi", REG_MULTI_SZ, Sz(u"a") + Sz(u""), "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"},
      {u"Odd type", 0x1234, "z", "\"Odd type\"=hex(1234):7a\r\n"},
      {u"", REG_SZ, Sz(u"d"), "@=\"d\"\r\n"},
      {u"we\"ird\\", REG_SZ, Sz(u"w"), "\"we\\\"ird\\\\\"=\"w\"\r\n"},
  };
  for (const Case& c : cases)
    ASSERT_EQ(ERROR_SUCCESS, Set(c.name, c.type, c.data)) << Utf16ToUtf8(c.name);
  std::string file = ReadFile(file_);
  EXPECT_TRUE(file.starts_with(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"));
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.name));
    EXPECT_NE(std::string::npos, file.find(c.line));
    Value v = Get(c.name);
    EXPECT_EQ(ERROR_SUCCESS, v.status);
    EXPECT_EQ(c.type, v.type);
    EXPECT_EQ(c.data, v.data);
  }
  // The long list is broken into indented continuation lines.
  EXPECT_NE(std::string::npos, file.find(",\\\r\n  "));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Set(u"a\nb", REG_SZ, Sz(u"x")));
}

TEST_F(RegistryTest, SavingKeepsEveryOtherByte) {
  for (std::string eol : {"\r\n", "\n"}) {
    SCOPED_TRACE(eol.size());
    auto lines = [&eol](std::initializer_list<const char*> list) {
      std::string out;
      for (const char* line : list) out += std::string(line) + eol;
      return out;
    };
    std::string head =
        lines({"Windows Registry Editor Version 5.00", "", "; a note",
               "[HKEY_CURRENT_USER\\Software\\Other]", "\"Keep\"=\"x\"", "\"List\"=hex(7):61,00,\\",
               "  62,00,00,00", "", "[HKEY_CURRENT_USER\\Software\\T]"});
    std::string tail = lines({"\"Strange\"=something unknown", "",
                              "[-HKEY_CURRENT_USER\\Software\\Gone]", "\"Orphan\"=\"y\""});
    WriteRegistry(head + lines({"\"Old\"=dword:00000002"}) + tail);
    ASSERT_EQ(ERROR_SUCCESS, Set(u"old", REG_DWORD, std::string("\x03\0\0\0", 4)));
    EXPECT_EQ(head + lines({"\"Old\"=dword:00000003"}) + tail, ReadFile(file_));
    ASSERT_EQ(ERROR_SUCCESS, Set(u"New", REG_SZ, Sz(u"n")));
    EXPECT_EQ(
        head + lines({"\"Old\"=dword:00000003", "\"Strange\"=something unknown", "\"New\"=\"n\""}) +
            tail.substr(tail.find(eol) + eol.size()),
        ReadFile(file_));
    Value list = Get(u"List", u"Software\\Other");
    EXPECT_EQ(REG_MULTI_SZ, list.type);
    EXPECT_EQ(Sz(u"ab"), list.data);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Get(u"Orphan", u"Software\\Gone").status);
  }
}

TEST_F(RegistryTest, LinkedFileIsWrittenThroughAndStaysALink) {
  // Settings kept elsewhere and linked in (as dotfile managers do) stay so.
  std::string real = dir_.File("kept.reg");
  WriteFile(real, "Windows Registry Editor Version 5.00\r\n");
  mkdir(dir_.File("wayconv").c_str(), 0700);
  ASSERT_EQ(0, symlink("../kept.reg", file_.c_str()));
  ASSERT_EQ(ERROR_SUCCESS, Set(u"V", REG_DWORD, std::string("\x01\0\0\0", 4)));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_NE(std::string::npos, ReadFile(real).find("\"V\"=dword:00000001"));
  EXPECT_EQ(REG_DWORD, Get(u"V").type);
}

TEST_F(RegistryTest, ReadsUtf16FileWithByteOrderMark) {
  WriteRegistry("\xFF\xFE" +
                Bytes(u"Windows Registry Editor Version 5.00\r\n\r\n"
                      u"[HKEY_CURRENT_USER\\Software\\T]\r\n\"P\"=\"\\\\\u00c4\"\r\n"));
  EXPECT_EQ(Sz(u"\\\u00c4"), Get(u"P").data);
}

TEST_F(RegistryTest, DamagedFilesReadAsMissingValues) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  std::string garbage_line = garbage;
  for (char& c : garbage_line) c = c == '\n' ? 'n' : c;
  const std::string section = "[HKEY_CURRENT_USER\\Software\\T]\r\n";
  const std::string cases[] = {
      "",
      garbage,
      section + garbage_line,
      "[HKEY_CURRENT_USER\\Software\\T\r\n\"V\"=\"x\"\r\n",
      section + "\"V\"=hex:1,xyz\r\n",
      section + "\"V\"=hex:01,\r\n",
      section + "\"V\"=dword:000000001\r\n",
      section + "\"V\"=\"open\r\n",
      section + "\"V\"=\"bad \\escape\"\r\n",
      section + "\"V\"=hex(1):61,00,\\\r\n",
      section + "\"V\"=hex(1):61,00,\\\r\n\"W\"=\"w\"\r\n",
  };
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.substr(0, 60));
    WriteRegistry(content);
    EXPECT_NE(ERROR_SUCCESS, Get(u"V").status);
    // The damage stays in the file; the new value is added beside it.
    ASSERT_EQ(ERROR_SUCCESS, Set(u"Fresh", REG_SZ, Sz(u"f")));
    EXPECT_EQ(Sz(u"f"), Get(u"Fresh").data);
    EXPECT_NE(std::string::npos, ReadFile(file_).find(content));
  }
  // A value after the damaged one still reads.
  EXPECT_EQ(Sz(u"w"), Get(u"W").data);

  // A huge line costs nothing but time; a file over the limit is not read,
  // and not overwritten either.
  WriteRegistry(std::string(1 << 20, 'x') + "\r\n" + section + "\"V\"=dword:00000005\r\n");
  EXPECT_EQ(std::string("\x05\0\0\0", 4), Get(u"V").data);
  std::string too_big =
      section + "\"V\"=dword:00000005\r\n" + std::string(kMaxRegistryFileSize, ';');
  WriteRegistry(too_big);
  EXPECT_EQ(ERROR_CANTREAD, Get(u"V").status);
  EXPECT_EQ(ERROR_CANTREAD, Set(u"V", REG_SZ, Sz(u"x")));
  EXPECT_EQ(too_big.size(), ReadFile(file_).size());
}

TEST_F(RegistryTest, FileCutAtEveryLengthStaysSane) {
  std::string binary(100, '\x5a');
  ASSERT_EQ(ERROR_SUCCESS, Set(u"S", REG_SZ, Sz(u"\\My Documents\\\"x\".bin")));
  ASSERT_EQ(ERROR_SUCCESS, Set(u"D", REG_DWORD, std::string("\x78\x56\x34\x12", 4)));
  ASSERT_EQ(ERROR_SUCCESS, Set(u"B", REG_BINARY, binary));
  ASSERT_EQ(ERROR_SUCCESS, Set(u"N", REG_SZ, Bytes(u"no end")));
  const std::string whole = ReadFile(file_);
  const char16_t* names[] = {u"S", u"D", u"B", u"N"};
  Value full[4];
  for (int i = 0; i < 4; ++i) full[i] = Get(names[i]);
  for (size_t length = 0; length <= whole.size(); ++length) {
    WriteFile(file_, whole.substr(0, length));
    for (int i = 0; i < 4; ++i) {
      Value v = Get(names[i]);
      if (v.status != ERROR_SUCCESS) continue;
      // A value reads whole or not at all, but a hex list may lose bytes at a comma.
      EXPECT_EQ(full[i].type, v.type) << length;
      if (full[i].type == REG_BINARY || names[i][0] == u'N') {
        EXPECT_TRUE(full[i].data.starts_with(v.data)) << length;
      } else {
        EXPECT_EQ(full[i].data, v.data) << length;
      }
    }
  }
}

TEST_F(RegistryTest, UnusableFileFailsQuietlyAndKeepsWhatWasThere) {
  // A folder where the file should be: nothing reads, nothing is written.
  ASSERT_EQ(0, mkdir(dir_.File("wayconv").c_str(), 0700));
  ASSERT_EQ(0, mkdir(file_.c_str(), 0700));
  EXPECT_EQ(ERROR_CANTREAD, Get(u"V").status);
  EXPECT_EQ(ERROR_CANTREAD, Set(u"V", REG_SZ, Sz(u"x")));
  EXPECT_TRUE(std::filesystem::is_directory(file_));

  // A file where the folder should be.
  setenv("XDG_CONFIG_HOME", dir_.File("blocked").c_str(), 1);
  mkdir(dir_.File("blocked").c_str(), 0700);
  WriteFile(dir_.File("blocked/wayconv"), "mine");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Get(u"V").status);
  EXPECT_EQ(ERROR_CANTWRITE, Set(u"V", REG_SZ, Sz(u"x")));
  EXPECT_EQ("mine", ReadFile(dir_.File("blocked/wayconv")));

  // A write that fails halfway (the file size limit stops it, even for root)
  // leaves the old file and no temporary behind.
  setenv("XDG_CONFIG_HOME", dir_.File("limited").c_str(), 1);
  std::string limited = dir_.File("limited/wayconv/registry.reg");
  ASSERT_EQ(ERROR_SUCCESS, Set(u"V", REG_SZ, Sz(u"old")));
  const std::string before = ReadFile(limited);
  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  struct rlimit small = saved;
  small.rlim_cur = before.size() + 64;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  LONG status = Set(u"V", REG_BINARY, std::string(1000, 'b'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(ERROR_CANTWRITE, status);
  EXPECT_EQ(before, ReadFile(limited));
  auto files = std::filesystem::directory_iterator(dir_.File("limited/wayconv"));
  EXPECT_EQ(1, std::distance(begin(files), end(files)));  // no temporary left
}

TEST_F(RegistryTest, FilePathFollowsTheEnvironment) {
  setenv("HOME", "/home/u", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ("/cfg/wayconv/registry.reg", RegistryFilePath());
  for (const char* ignored : {"", "relative"}) {
    setenv("XDG_CONFIG_HOME", ignored, 1);
    EXPECT_EQ("/home/u/.config/wayconv/registry.reg", RegistryFilePath());
  }
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ("/home/u/.config/wayconv/registry.reg", RegistryFilePath());
}

}  // namespace
