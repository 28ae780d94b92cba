#include "readers/plt_reader.h"

#include <cmath>

#include "common/globals.h"
#include "readers/text_line.h"
#include "test_util.h"

namespace {

class ReaderTest : public WayconvTest {
 protected:
  // Opens `bytes` as the input stream.
  void Open(const std::string& bytes) {
    std::string path = dir_.File("input");
    WriteFile(path, bytes);
    InputStream = StreamOpen(W(path).c_str(), "rb");
    ASSERT_NE(InputStream, nullptr);
  }

  std::vector<std::string> AllLines(int limit) {
    std::vector<std::string> lines;
    char buffer[kLineBufferSize];
    int n;
    while ((n = ReadTextLine(InputStream, buffer, limit)) >= 0) {
      EXPECT_EQ(static_cast<size_t>(n), std::string(buffer).size());
      lines.push_back(buffer);
    }
    return lines;
  }
};

TEST_F(ReaderTest, LineEndsBlankLinesAndLastLine) {
  using Lines = std::vector<std::string>;
  struct Case {
    std::string input;
    Lines lines;
  } cases[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"\r\n\r\na\n\n\nb\r\r", {"a", "b"}},
      {std::string("a\0b\n", 4), {"a", "b"}},
      {"a\nlast", {"a", "last"}},  // a last line without line end still counts
      {"", {}},
      {"\r\n\n", {}},
      {"\x80\xff\n", {"\x80\xff"}},
  };
  for (const Case& c : cases) {
    Open(c.input);
    EXPECT_EQ(AllLines(kLineLimit), c.lines) << testing::PrintToString(c.input);
    StreamClose(InputStream);
    InputStream = nullptr;
  }
}

TEST_F(ReaderTest, LongLinesAreCutAtTheLimit) {
  std::string long_line(200, 'x');
  long_line[149] = 'y';
  Open(long_line + "\nnext\n" + std::string(160, 'z'));
  char buffer[kLineBufferSize];
  EXPECT_EQ(ReadTextLine(InputStream, buffer, kLineLimit), 150);
  EXPECT_EQ(std::string(buffer), long_line.substr(0, 150));
  EXPECT_EQ(ReadTextLine(InputStream, buffer, kLineLimit), 4);
  EXPECT_EQ(std::string(buffer), "next");
  // The cut-off tail of a last line runs into the end of the file.
  EXPECT_EQ(ReadTextLine(InputStream, buffer, kLineLimit), 150);
  EXPECT_EQ(std::string(buffer), std::string(150, 'z'));
  EXPECT_EQ(ReadTextLine(InputStream, buffer, kLineLimit), -1);
}

TEST_F(ReaderTest, PltPointLines) {
  const double nan = std::nan("");
  struct Case {
    std::string line;
    int result;
    double latitude, longitude;
  } cases[] = {
      {"48.1375,11.575,0,-777,0,,", 0, 48.1375, 11.575},
      {"  -33.9, -70.6", 0, -33.9, -70.6},
      {"abc,def", 0, 0.0, 0.0},
      {"95,0", 0, 95.0, 0.0},
      {"1e1,0x10", 0, 10.0, 16.0},
      {"100,370", 0, 100.0, 370.0},
      {"-100,-370", 0, -100.0, -370.0},
      {"no comma here", 1, nan, nan},
      {"101,0", 3, nan, nan},
      {"0,371", 3, nan, nan},
      {"0,-371", 3, nan, nan},
      {"nan,0", 3, nan, nan},
      {"0,-nan", 3, nan, nan},
      {"inf,0", 3, nan, nan},
  };
  for (const Case& c : cases) {
    Open(c.line + "\r\n");
    TrackPoint point;
    EXPECT_EQ(ReadPltPoint(&point), c.result) << c.line;
    if (c.result == 0) {
      EXPECT_EQ(point.latitude, c.latitude) << c.line;
      EXPECT_EQ(point.longitude, c.longitude) << c.line;
    }
    EXPECT_EQ(ReadPltPoint(&point), -1);
    StreamClose(InputStream);
    InputStream = nullptr;
  }
}

}  // namespace
