#include "common/message_log.h"

#include "test_util.h"

namespace {

std::u16string g_seen;
int g_repaints = 0;

void Collect(const char16_t* text, size_t length, int how) {
  if (how == kLogReplaced) g_seen += u"|";
  g_seen.append(text, length);
}

void CountRepaint() { ++g_repaints; }

class MessageLogTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    g_seen.clear();
    g_repaints = 0;
    SetLogSink(Collect);
    SetLogRepaint(CountRepaint);
  }
};

TEST_F(MessageLogTest, AppendLogResetsPastAThousandCharacters) {
  std::u16string block(1000, u'a');
  AppendLog(block.c_str());
  AppendLog(u"b");  // 1000 characters are kept
  EXPECT_EQ(LogLength(), 1001u);
  AppendLog(u"c");  // 1001 are not
  EXPECT_EQ(std::u16string(MessageLog), u"c");
  EXPECT_EQ(g_repaints, 3);
  EXPECT_EQ(g_seen, block + u"bc");
}

TEST_F(MessageLogTest, PathsBreakBeforeBackslashes) {
  CopyToLog(u"Output file: ");
  AppendPathToLog(u"\\My Documents\\Tracks.bin");
  AppendToLogBuffer(u"\r\n");
  EXPECT_EQ(std::u16string(MessageLog), u"Output file: \r\n\\My Documents\r\n\\Tracks.bin\r\n");
  EXPECT_EQ(g_repaints, 0);
  std::u16string expected = u"|";
  expected += MessageLog;
  EXPECT_EQ(g_seen, expected);
}

TEST_F(MessageLogTest, NeverWritesPastItsCapacity) {
  std::u16string path(3000, u'\\');  // expands to 9000 characters
  AppendPathToLog(path.c_str());
  AppendPathToLog(path.c_str());
  AppendToLogBuffer(path.c_str());
  EXPECT_EQ(LogLength(), kMessageLogSize - 1);
  EXPECT_EQ(MessageLog[kMessageLogSize - 1], 0);
  EXPECT_EQ(g_seen.size(), 9000u + 9000u + 3000u);  // the sink still sees everything
  std::u16string big(20000, u'x');
  CopyToLog(big.c_str());
  EXPECT_EQ(LogLength(), kMessageLogSize - 1);
}

}  // namespace
