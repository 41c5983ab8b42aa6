#include "util/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace brumkey {
namespace {

TEST(VirtualClock, RecordsPausesAndAdvancesFromManyThreads) {
  VirtualClock clock;
  std::thread a([&] { for (int i = 0; i < 100; ++i) clock.SleepMs(16); });
  std::thread b([&] { for (int i = 0; i < 100; ++i) clock.SleepMs(10); });
  a.join();
  b.join();
  EXPECT_EQ(clock.Pauses().size(), 200u);
  EXPECT_EQ(clock.TotalPausedMs(), 2600);
  EXPECT_EQ(clock.NowMs(), 2600);
}

}  // namespace
}  // namespace brumkey
