// The byte streams on their own: positions across the read buffer's edge,
// reads and seeks, writes committed only on close, the paths that open.
#include "host/file_stream.h"


#include <filesystem>
#include <string>

#include "host/text.h"
#include "test_util.h"

namespace {

class FileStreamTest : public WayconvTest {
 protected:
  PrivateEnvironment environment_{dir_};
};

// A byte that differs from its neighbours and across the buffer's edge.
unsigned char Pattern(size_t at) {
  return static_cast<unsigned char>((at * 7 + at / 251) % 256);
}

std::string PatternFile(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(Pattern(i));
  return bytes;
}

TEST_F(FileStreamTest, SeeksAndReadsAcrossTheBufferEdge) {
  const size_t size = kStreamBufferSize + 1000;
  std::string path = dir_.File("in.bin");
  WriteFile(path, PatternFile(size));
  ByteStream* stream = StreamOpen(W(path).c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  const int64_t edge = static_cast<int64_t>(kStreamBufferSize);
  const int64_t end = static_cast<int64_t>(size);
  struct {
    int64_t offset;
    int origin;
    int result;       // of StreamSeek
    int64_t tell;     // after the seek
    int next_byte;    // StreamGetc after it; -1 at the end
  } cases[] = {
      {0, kStreamSeekSet, 0, 0, Pattern(0)},
      {edge - 1, kStreamSeekSet, 0, edge - 1, Pattern(kStreamBufferSize - 1)},
      {0, kStreamSeekCur, 0, edge, Pattern(kStreamBufferSize)},  // the next refill
      {-2, kStreamSeekCur, 0, edge - 1, Pattern(kStreamBufferSize - 1)},  // back over the edge
      {end - 1, kStreamSeekSet, 0, end - 1, Pattern(size - 1)},
      {0, kStreamSeekCur, 0, end, -1},
      {end + 50, kStreamSeekSet, 0, end + 50, -1},  // past the end, as fseek allows
      {5, kStreamSeekSet, 0, 5, Pattern(5)},
      {-100, kStreamSeekCur, -1, 6, Pattern(6)},  // before the start: refused, position kept
      {-1, kStreamSeekSet, -1, 7, Pattern(7)},
      {0, 99, -1, 8, Pattern(8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
    EXPECT_EQ(StreamSeek(stream, c.offset, c.origin), c.result);
    EXPECT_EQ(StreamTell(stream), c.tell);
    EXPECT_EQ(StreamGetc(stream), c.next_byte);
  }
  // A block read over the edge, then a short read at the end.
  ASSERT_EQ(StreamSeek(stream, edge - 10, kStreamSeekSet), 0);
  unsigned char block[20];
  ASSERT_EQ(StreamRead(block, 1, sizeof block, stream), sizeof block);
  for (size_t i = 0; i < sizeof block; ++i) EXPECT_EQ(block[i], Pattern(kStreamBufferSize - 10 + i));
  ASSERT_EQ(StreamSeek(stream, end - 6, kStreamSeekSet), 0);
  EXPECT_EQ(StreamRead(block, 4, 5, stream), 1u);  // six bytes left: one whole item of four
  EXPECT_EQ(StreamFill(stream), 0u);
  EXPECT_EQ(StreamClose(stream), 0);
}

TEST_F(FileStreamTest, WritesShowOnlyOnCloseAndSeeksOverwrite) {
  std::string path = dir_.File("out.bin");
  WriteFile(path, "old");
  ByteStream* stream = StreamOpen(W(path).c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  std::string big = PatternFile(kStreamBufferSize + 17);  // forces a flush on the way
  ASSERT_EQ(StreamWrite(big.data(), 1, big.size(), stream), big.size());
  ASSERT_EQ(StreamSeek(stream, 1, kStreamSeekSet), 0);
  ASSERT_EQ(StreamWrite("XY", 2, 1, stream), 1u);
  EXPECT_EQ(StreamTell(stream), 3);
  EXPECT_EQ(StreamGetc(stream), -1);  // a written stream does not read
  EXPECT_EQ(ReadFile(path), "old");   // nothing replaced before the commit
  ASSERT_EQ(StreamClose(stream), 0);
  big[1] = 'X';
  big[2] = 'Y';
  EXPECT_EQ(ReadFile(path), big);
  EXPECT_EQ(StreamClose(nullptr), 0);
}

TEST_F(FileStreamTest, WhatOpens) {
  WriteFile(dir_.File("plain"), "x");
  std::filesystem::create_directory(dir_.File("folder"));
  struct {
    std::string path;
    const char* mode;
    bool opens;
  } cases[] = {
      {dir_.File("plain"), "rb", true},
      {dir_.File("plain"), "r", false},  // only the two binary modes
      {dir_.File("plain"), "ab", false},
      {dir_.File("missing"), "rb", false},
      {dir_.File("folder"), "rb", false},
      {dir_.File("folder"), "wb", false},
      {"", "rb", false},
      {dir_.File("no/such/folder/out"), "wb", false},  // host paths get no folders made
      {"\\Made\\On\\Demand.bin", "wb", true},         // device paths do
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + c.mode);
    ByteStream* stream = StreamOpen(W(c.path).c_str(), c.mode);
    EXPECT_EQ(stream != nullptr, c.opens);
    EXPECT_EQ(StreamClose(stream), 0);
  }
  EXPECT_TRUE(FileExists(dir_.File("device/Made/On/Demand.bin")));
  EXPECT_EQ(HostPath(u"\\A\\b.bin"), dir_.File("device") + "/A/b.bin");
  EXPECT_EQ(HostPath(u"rel\\x"), "rel\\x");
}

// A device path stays under the device root whatever its ".." parts.
TEST_F(FileStreamTest, DevicePathsStayUnderTheRoot) {
  std::string root = dir_.File("device");
  struct {
    const char16_t* path;
    std::string host;
  } cases[] = {
      {u"\\..\\x.bin", root + "/x.bin"},
      {u"\\..\\..\\escape.bin", root + "/escape.bin"},
      {u"\\A\\..\\..\\B\\x.bin", root + "/B/x.bin"},
      {u"\\A\\B\\..\\x.bin", root + "/A/x.bin"},
      {u"\\A/../../x.bin", root + "/x.bin"},  // a slash separates too
      {u"\\.\\A\\\\x.bin", root + "/A/x.bin"},
      {u"\\..", root + "/"},
      {u"\\", root + "/"},
      {u"\\A\\", root + "/A/"},
      {u"\\a..b\\..x", root + "/a..b/..x"},  // only a whole ".." part goes up
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path));
    EXPECT_EQ(HostPath(c.path), c.host);
  }
  ByteStream* out = StreamOpen(u"\\..\\..\\escape.bin", "wb");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(StreamClose(out), 0);
  EXPECT_TRUE(FileExists(root + "/escape.bin"));
  EXPECT_FALSE(FileExists(dir_.File("escape.bin")));
}

TEST_F(FileStreamTest, Utf16TextReadsAsUtf8) {
  struct Case {
    const char* label;
    std::string file;  // after the mark, little endian
    std::string text;  // what the stream hands out
  } cases[] = {
      {"ASCII", std::string("a\0b\0", 4), "ab"},
      {"two and three bytes", std::string("\xFC\0\x30\x57", 4), "\xC3\xBC\xE5\x9C\xB0"},
      {"a pair", std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80"},
      {"lone high, then ASCII", std::string("\x3D\xD8x\0", 4), "\xEF\xBF\xBDx"},
      {"lone low", std::string("\x00\xDEx\0", 4), "\xEF\xBF\xBDx"},
      {"high at the end", std::string("x\0\x3D\xD8", 4), "x\xEF\xBF\xBD"},
      {"odd last byte", std::string("x\0y", 3), "x\xEF\xBF\xBD"},
      {"empty", "", ""},
  };
  std::string path = dir_.File("text");
  for (const Case& c : cases) {
    for (bool little_endian : {true, false}) {
      SCOPED_TRACE(std::string(c.label) + (little_endian ? " LE" : " BE"));
      std::string file = little_endian ? "\xFF\xFE" : "\xFE\xFF";
      for (size_t i = 0; i + 1 < c.file.size(); i += 2) {
        file += little_endian ? c.file.substr(i, 2) : std::string{c.file[i + 1], c.file[i]};
      }
      if (c.file.size() % 2 != 0) file += c.file.back();
      WriteFile(path, file);
      ByteStream* in = StreamOpen(W(path).c_str(), "rb");
      ASSERT_NE(in, nullptr);
      EXPECT_EQ(Utf16ByteOrder(reinterpret_cast<const unsigned char*>(file.data()), file.size()),
                little_endian ? kUtf16Le : kUtf16Be);
      StreamGetc(in);  // read as bytes first: the switch starts the text again
      ASSERT_TRUE(StreamReadUtf16AsUtf8(in, little_endian ? kUtf16Le : kUtf16Be));
      for (int pass = 0; pass < 2; ++pass) {
        std::string got;
        for (int b; (b = StreamGetc(in)) >= 0;) got += static_cast<char>(b);
        EXPECT_EQ(got, c.text);
        EXPECT_EQ(StreamTell(in), static_cast<int64_t>(c.text.size()));
        ASSERT_EQ(StreamSeek(in, 0, kStreamSeekSet), 0);  // the next pass
      }
      StreamClose(in);
    }
  }
  EXPECT_EQ(Utf16ByteOrder(reinterpret_cast<const unsigned char*>("\xFF"), 1), 0);
  EXPECT_EQ(Utf16ByteOrder(reinterpret_cast<const unsigned char*>("\xEF\xBB\xBF"), 3), 0);
}

}  // namespace
