// The plumbing the interactive backends share: double clicks, the event
// ring, closing once, and the close signals waking a wait.
#include "platform/backend_plumbing.h"

#include <poll.h>

#include "test_util.h"

namespace {

TEST(BackendPlumbingTest, DoubleClicks) {
  struct Click {
    int column;
    int row;
    long long at_ms;
    bool second;
  } clicks[] = {
      {3, 3, 1000, false}, {3, 3, 1300, true},   // the second within the time
      {3, 3, 1350, false},                       // a third starts afresh
      {3, 3, 2000, false}, {3, 3, 2401, false},  // too slow
      {4, 3, 2500, false},                       // another cell
      {4, 3, 2900, true},
  };
  ClickHistory history;
  for (const Click& c : clicks) {
    EXPECT_EQ(TakeClick(&history, c.column, c.row, c.at_ms), c.second) << c.at_ms;
  }
}

TEST(BackendPlumbingTest, EventRingKeepsOrderAndDropsWhenFull) {
  EventRing<int, 3> ring;
  int taken = 0;
  EXPECT_FALSE(ring.Pop(&taken));
  for (int i = 1; i <= 4; ++i) ring.Push(i);  // the fourth finds it full
  EXPECT_TRUE(ring.Full());
  ASSERT_TRUE(ring.Pop(&taken));
  EXPECT_EQ(taken, 1);
  ring.Push(5);  // round the end of the buffer
  for (int expected : {2, 3, 5}) {
    ASSERT_TRUE(ring.Pop(&taken));
    EXPECT_EQ(taken, expected);
  }
  EXPECT_FALSE(ring.Pop(&taken));
}

TEST(BackendPlumbingTest, ClosesOnceThenEnds) {
  CloseOnce close;
  EXPECT_EQ(CloseEventKind(&close), kEventClose);
  EXPECT_EQ(CloseEventKind(&close), kEventEnd);
  EXPECT_EQ(CloseEventKind(&close), kEventEnd);
}

TEST(BackendPlumbingTest, ACloseSignalWakesTheWaitAndIsKept) {
  ASSERT_TRUE(OpenClosePlumbing(nullptr));
  EXPECT_EQ(CloseSignalTaken(), 0);
  pollfd wake = {WakeFd(), POLLIN, 0};
  EXPECT_EQ(poll(&wake, 1, 0), 0);
  raise(SIGTERM);
  EXPECT_EQ(CloseSignalTaken(), SIGTERM);
  EXPECT_EQ(poll(&wake, 1, 0), 1);
  DrainWake();
  EXPECT_EQ(poll(&wake, 1, 0), 0);
  CloseClosePlumbing();
  EXPECT_EQ(WakeFd(), -1);
  // The handler that was there before is back.
  struct sigaction now;
  ASSERT_EQ(sigaction(SIGTERM, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
