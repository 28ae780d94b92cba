// The byte streams on the Win32 file API: replacing a file only when it is
// complete, devices written in place, device paths under the root, names
// beyond ASCII.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Writes `bytes` through a stream; returns StreamClose's result, or -2 when
// the open failed.
int WriteStream(const std::u16string& path, const std::string& bytes) {
  ByteStream* stream = StreamOpen(path.c_str(), "wb");
  if (stream == nullptr) return -2;
  if (StreamWrite(bytes.data(), 1, bytes.size(), stream) != bytes.size()) {
    StreamClose(stream);
    return -3;
  }
  return StreamClose(stream);
}

std::string ReadStream(const std::u16string& path) {
  ByteStream* stream = StreamOpen(path.c_str(), "rb");
  if (stream == nullptr) return "(no stream)";
  std::string bytes;
  for (int c; (c = StreamGetc(stream)) >= 0;) bytes += static_cast<char>(c);
  StreamClose(stream);
  return bytes;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::u8path(folder))) {
    std::u16string name = entry.path().filename().u16string();
    names.push_back(Utf16ToUtf8(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Win32StreamTest : public WayconvTest {};

TEST_F(Win32StreamTest, ReadsWritesAndSeeksAcrossBlocks) {
  // More than two buffers, so that refills and flushes happen in the middle.
  std::string bytes(2 * kStreamBufferSize + 1234, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  std::u16string path = W(dir_.File("big.bin"));
  ASSERT_EQ(WriteStream(path, bytes), 0);
  EXPECT_EQ(ReadFile(dir_.File("big.bin")), bytes);

  ByteStream* stream = StreamOpen(path.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  std::string head(10, '\0');
  ASSERT_EQ(StreamRead(head.data(), 1, 10, stream), 10u);
  EXPECT_EQ(head, bytes.substr(0, 10));
  ASSERT_EQ(StreamSeek(stream, kStreamBufferSize + 5, kStreamSeekSet), 0);
  EXPECT_EQ(StreamGetc(stream), static_cast<unsigned char>(bytes[kStreamBufferSize + 5]));
  ASSERT_EQ(StreamSeek(stream, -6, kStreamSeekCur), 0);
  EXPECT_EQ(StreamTell(stream), static_cast<int64_t>(kStreamBufferSize));
  EXPECT_EQ(StreamGetc(stream), static_cast<unsigned char>(bytes[kStreamBufferSize]));
  EXPECT_EQ(StreamSeek(stream, -1, kStreamSeekSet), -1);
  ASSERT_EQ(StreamSeek(stream, static_cast<int64_t>(bytes.size()), kStreamSeekSet), 0);
  EXPECT_EQ(StreamGetc(stream), -1);
  EXPECT_EQ(StreamClose(stream), 0);
}

TEST_F(Win32StreamTest, ReplacesTheTargetOnlyWhenClosed) {
  std::string target = dir_.File("Tracks.bin");
  WriteFile(target, "old");
  ByteStream* stream = StreamOpen(W(target).c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(StreamWrite("new bytes", 1, 9, stream), 9u);
  EXPECT_EQ(ReadFile(target), "old");  // still the previous file
  EXPECT_EQ(Listing(dir_.path()).size(), 2u);  // and a temporary beside it
  ASSERT_EQ(StreamClose(stream), 0);
  EXPECT_EQ(ReadFile(target), "new bytes");
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"Tracks.bin"});
}

TEST_F(Win32StreamTest, FailedReplaceKeepsThePreviousFile) {
  // A read-only file does not open for writing, as with fopen. One that
  // another program holds open without delete sharing cannot be replaced:
  // the close reports it. Either way the previous file stays, and no
  // temporary is left behind.
  std::string target = dir_.File("Tracks.bin");
  WriteFile(target, "old");
  std::u16string wide = W(target);
  ASSERT_TRUE(SetFileAttributesW(Wide(wide), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(WriteStream(wide, "new"), -2);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"Tracks.bin"});
  ASSERT_TRUE(SetFileAttributesW(Wide(wide), FILE_ATTRIBUTE_NORMAL));

  HANDLE holder = CreateFileW(Wide(wide), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteStream(wide, "new"), -1);
  CloseHandle(holder);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"Tracks.bin"});
}

TEST_F(Win32StreamTest, KeepsTheTargetsAttributes) {
  std::string target = dir_.File("Tracks.bin");
  WriteFile(target, "old");
  std::u16string wide = W(target);
  ASSERT_TRUE(SetFileAttributesW(Wide(wide), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(WriteStream(wide, "new"), 0);
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_NE(GetFileAttributesW(Wide(wide)) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(Win32StreamTest, DevicesAndFoldersAsTargets) {
  // NUL is written in place: nothing to replace, nothing left beside it.
  EXPECT_EQ(WriteStream(u"NUL", std::string(100000, 'x')), 0);
  // Only a disk file opens for reading: the conversion reads it twice.
  EXPECT_EQ(StreamOpen(u"NUL", "rb"), nullptr);
  EXPECT_EQ(StreamOpen(W(dir_.path()).c_str(), "rb"), nullptr);
  EXPECT_EQ(StreamOpen(W(dir_.path()).c_str(), "wb"), nullptr);
  EXPECT_EQ(StreamOpen(W(dir_.File("missing")).c_str(), "rb"), nullptr);
  EXPECT_EQ(StreamOpen(W(dir_.File("no/such/folder/out.bin")).c_str(), "wb"), nullptr);
  EXPECT_EQ(StreamOpen(u"", "rb"), nullptr);
  EXPECT_EQ(StreamOpen(W(dir_.File("x")).c_str(), "ab"), nullptr);
}

TEST_F(Win32StreamTest, DevicePathsLiveUnderTheRoot) {
  PrivateEnvironment environment(dir_);
  const std::u16string device = u"\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin";
  ASSERT_EQ(WriteStream(device, "track"), 0);
  EXPECT_EQ(ReadFile(dir_.File("device/My Documents/GPS Tracks and Waypoints/Tracks.bin")),
            "track");
  EXPECT_EQ(ReadStream(device), "track");

  // Without WAYCONV_ROOT the root is the user's profile folder.
  _wputenv_s(L"WAYCONV_ROOT", L"");
  ASSERT_EQ(WriteStream(u"\\Tracks.bin", "home"), 0);
  EXPECT_EQ(ReadFile(dir_.File("home/Tracks.bin")), "home");
  EXPECT_EQ(DeviceRoot(), dir_.File("home"));
}

TEST_F(Win32StreamTest, PathsLongerThanMaxPath) {
  // Device paths of up to 2047 characters: folders made on the way, the file
  // replaced through its temporary, all past the 260 characters of MAX_PATH.
  PrivateEnvironment environment(dir_);
  std::u16string device;
  for (int i = 0; i < 8; ++i) device += u"\\" + std::u16string(60, static_cast<char16_t>(u'a' + i));
  device += u"\\Tracks.bin";
  ASSERT_GT(device.size() + dir_.path().size(), 500u);
  ASSERT_EQ(WriteStream(device, "old"), 0);
  ASSERT_EQ(WriteStream(device, "track"), 0);
  EXPECT_EQ(ReadStream(device), "track");
}

TEST_F(Win32StreamTest, NamesBeyondAscii) {
  const std::string name = "Z\xC3\xBCrich \xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x97\xBA.plt";
  std::u16string path = W(dir_.path() + "/" + name);
  ASSERT_EQ(WriteStream(path, "walk"), 0);
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{name});
  EXPECT_EQ(ReadStream(path), "walk");
}

TEST_F(Win32StreamTest, ReservedDeviceNamesAreNoOutputs) {
  const std::string d = dir_.path();
  struct Case {
    std::string path;
    bool opens;
  } cases[] = {
      {"NUL", true},
      {"nul", true},
      {"\\\\.\\NUL", true},
      {d + "\\aux.gpx", false},
      {d + "\\AUX", false},
      {d + "\\con.txt", false},
      {d + "\\Prn.bin", false},
      {d + "\\nul.bin", false},
      {d + "\\COM1", false},
      {d + "\\com9.gpx", false},
      {d + "\\LPT1.tar.gz", false},
      {d + "\\lpt5 .bin", false},
      {"COM1", false},
      {"\\\\.\\COM1", false},
      {"\\\\.\\PhysicalDrive0", false},
      // Names that only start like a device are files.
      {d + "\\auxiliary.gpx", true},
      {d + "\\com10.bin", true},
      {d + "\\COM0.bin", true},
      {d + "\\console.bin", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsReservedDeviceName(c.path), !c.opens);
    EXPECT_EQ(WriteStream(W(c.path), "track"), c.opens ? 0 : -2);
    if (!c.opens) {
      EXPECT_EQ(errno, ENODEV);
    }
  }
  EXPECT_EQ(Listing(d), (std::vector<std::string>{"COM0.bin", "auxiliary.gpx", "com10.bin",
                                                  "console.bin"}));
}

TEST_F(Win32StreamTest, DriveRelativeAndHostPrefixes) {
  // A drive that does not exist: the temporary cannot be made, so the open
  // fails (status 2), not the write.
  EXPECT_EQ(WriteStream(u"q:b.bin", "track"), -2);
  // \\?\ and \\server\share are host paths, never device paths under the root.
  PrivateEnvironment environment(dir_);
  std::string windows = dir_.File("long.bin");
  std::replace(windows.begin(), windows.end(), '/', '\\');
  ASSERT_EQ(WriteStream(W("\\\\?\\" + windows), "track"), 0);
  EXPECT_EQ(ReadFile(dir_.File("long.bin")), "track");
  EXPECT_EQ(HostPath(u"\\\\server\\share\\t.bin"), "\\\\server\\share\\t.bin");
  EXPECT_EQ(HostPath(u"\\\\?\\C:\\t.bin"), "\\\\?\\C:\\t.bin");
  EXPECT_NE(HostPath(u"\\t.bin"), "\\t.bin");  // a device path still
  // One file by two spellings: its identity, not its name, says so.
  fs::create_directory(fs::u8path(dir_.File("sub")));
  EXPECT_TRUE(SameFile(dir_.File("long.bin"), dir_.File("sub/../LONG.BIN")));
  EXPECT_FALSE(SameFile(dir_.File("long.bin"), dir_.File("sub")));
  EXPECT_FALSE(SameFile(dir_.File("long.bin"), dir_.File("missing")));
}

}  // namespace
