#include "platform/helperthread.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace zevi {
namespace {

// Where a helper first ran, and the processors it may use once running.
struct Seen {
  int cpu = -1;
  cpu_set_t allowed{};
};

Seen StartAndSee() {
  Seen seen;
  HelperThread helper([&] {
    seen.cpu = sched_getcpu();
    sched_getaffinity(0, sizeof seen.allowed, &seen.allowed);
  });
  helper.Join();
  return seen;
}

// The test thread's own processors, put back however a test ends.
class HelperThreadTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sched_getaffinity(0, sizeof own_, &own_), 0); }
  void TearDown() override { sched_setaffinity(0, sizeof own_, &own_); }
  cpu_set_t own_{};
};

TEST_F(HelperThreadTest, StartsOnAnotherProcessorThenMayRunOnAll) {
  if (CPU_COUNT(&own_) < 2) GTEST_SKIP() << "one processor only";
  int besideStarter = 0;
  for (int i = 0; i < 10; ++i) {
    const int starter = sched_getcpu();
    const Seen seen = StartAndSee();
    besideStarter += seen.cpu == starter;
    EXPECT_TRUE(CPU_EQUAL(&seen.allowed, &own_)) << "left pinned to where it started";
  }
  // The starter may move between looking and starting, though seldom.
  EXPECT_LE(besideStarter, 1);
}

TEST_F(HelperThreadTest, OneProcessorAllowedStartsThere) {
  const int only = sched_getcpu();
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(only, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const Seen seen = StartAndSee();
  EXPECT_EQ(seen.cpu, only);
  EXPECT_TRUE(CPU_EQUAL(&seen.allowed, &one));
}

// A helper ends by scope, by being assigned over and by Join, each waiting
// for its work: callers read what it wrote.
TEST_F(HelperThreadTest, EveryEndWaitsForTheWork) {
  std::atomic<int> done{0};
  auto slow = [&done] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ++done;
  };
  { HelperThread helper(slow); }
  EXPECT_EQ(done, 1) << "scope";
  HelperThread helper(slow);
  helper = HelperThread(slow);
  EXPECT_GE(done, 2) << "assigned over";
  HelperThread taken(std::move(helper));
  taken.Join();
  EXPECT_EQ(done, 3) << "moved, then joined";
  EXPECT_FALSE(helper.Joinable() || taken.Joinable());
}

}  // namespace
}  // namespace zevi
