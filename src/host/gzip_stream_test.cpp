#include "host/gzip_stream.h"

#include <random>

#include "gzip_test_util.h"
#include "test_util.h"

namespace {

class GzipStreamTest : public WayconvTest {
 protected:
  ByteStream* Open(const std::string& name, const std::string& bytes, int expected) {
    WriteFile(dir_.File(name), bytes);
    ByteStream* stream = StreamOpen(W(dir_.File(name)).c_str(), "rb");
    EXPECT_NE(stream, nullptr);
    if (stream != nullptr) {
      EXPECT_EQ(StreamAttachGzip(stream), expected);
    }
    return stream;
  }
};

// A compressed stream answers every read, seek and tell as the plain file
// of its content does: across buffer ends, backwards, and past the end.
TEST_F(GzipStreamTest, ReadsSeeksAndTellsAsThePlainFile) {
  std::mt19937 random(7);
  std::string content;
  while (content.size() < 3 * kStreamBufferSize + 12345) {
    content += "line " + std::to_string(random() % 100000) + "\r\n";
  }
  ByteStream* plain = Open("plain", content, kGzipPlain);
  ByteStream* packed = Open("packed", Gzip(content), kGzipAttached);
  ASSERT_TRUE(plain != nullptr && packed != nullptr);
  int64_t size = static_cast<int64_t>(content.size());
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(step);
    switch (random() % 5) {
      case 0:
        ASSERT_EQ(StreamGetc(packed), StreamGetc(plain));
        break;
      case 1: {
        size_t n = random() % 70000;
        std::string a(n, '\0'), b(n, '\0');
        ASSERT_EQ(StreamRead(a.data(), 1, n, packed), StreamRead(b.data(), 1, n, plain));
        ASSERT_EQ(a, b);
        break;
      }
      case 2: {
        int64_t target = static_cast<int64_t>(random() % (size + 1000));
        ASSERT_EQ(StreamSeek(packed, target, kStreamSeekSet), StreamSeek(plain, target, kStreamSeekSet));
        break;
      }
      case 3: {
        int64_t offset = static_cast<int64_t>(random() % 200000) - 100000;
        ASSERT_EQ(StreamSeek(packed, offset, kStreamSeekCur), StreamSeek(plain, offset, kStreamSeekCur));
        break;
      }
      default:
        ASSERT_EQ(StreamFill(packed) > 0, StreamFill(plain) > 0);
        break;
    }
    ASSERT_EQ(StreamTell(packed), StreamTell(plain));
  }
  EXPECT_FALSE(packed->damaged);
  StreamClose(plain);
  StreamClose(packed);
}

TEST_F(GzipStreamTest, DamagedOrCutDataEndsTheInput) {
  std::string content(300000, 'x');
  for (size_t i = 0; i < content.size(); i += 7) content[i] = static_cast<char>('a' + i % 26);
  std::string packed = Gzip(content);
  std::string damaged = packed;
  damaged[packed.size() / 2] ^= 0x55;
  std::string bad_crc = packed;
  bad_crc[packed.size() - 6] ^= 1;
  constexpr int kPrefix = 0;  // a true start of the content reads back
  constexpr int kWhole = 1;   // all of it
  constexpr int kAny = 2;     // inflation may give other bytes before it finds the damage
  struct Case {
    const char* what;
    std::string file;
    int back;
  } cases[] = {
      {"cut in half", packed.substr(0, packed.size() / 2), kPrefix},
      {"cut inside the header", packed.substr(0, 5), kPrefix},
      {"a damaged block", damaged, kAny},
      {"a CRC that does not match", bad_crc, kWhole},
  };
  for (const Case& c : cases) {
    ByteStream* stream = Open("damaged", c.file, kGzipAttached);
    ASSERT_NE(stream, nullptr);
    std::string back(content.size() + 1, '\0');
    size_t got = StreamRead(back.data(), 1, back.size(), stream);
    // Damaged data may inflate to more bytes than it held, but it ends.
    size_t more = 0;
    while (StreamGetc(stream) >= 0 && more < 10 * content.size()) ++more;
    EXPECT_TRUE(c.back == kAny || more == 0) << c.what;
    EXPECT_LT(more, 10 * content.size()) << c.what;
    EXPECT_TRUE(stream->damaged) << c.what;
    EXPECT_FALSE(stream->failed) << c.what;
    if (c.back == kWhole) {
      EXPECT_TRUE(back.substr(0, got) == content) << c.what;
    } else if (c.back == kPrefix) {
      EXPECT_LT(got, content.size()) << c.what;
      EXPECT_TRUE(back.substr(0, got) == content.substr(0, got)) << c.what;
    }
    StreamClose(stream);
  }
}

TEST_F(GzipStreamTest, OneMemberAndPlainFiles) {
  // What follows the first member is not read.
  ByteStream* two = Open("two", Gzip("first") + Gzip("second"), kGzipAttached);
  char text[32] = {};
  EXPECT_EQ(StreamRead(text, 1, sizeof text, two), 5u);
  EXPECT_FALSE(two->damaged);
  StreamClose(two);
  // Anything without the magic reads as it is, from its first byte.
  for (const std::string& bytes : {std::string(), std::string("\x1F"), std::string("\x1F\x8A rest")}) {
    ByteStream* plain = Open("plain", bytes, kGzipPlain);
    std::string back(bytes.size() + 1, '\0');
    EXPECT_EQ(StreamRead(back.data(), 1, back.size(), plain), bytes.size());
    EXPECT_EQ(back.substr(0, bytes.size()), bytes);
    StreamClose(plain);
  }
}

}  // namespace
