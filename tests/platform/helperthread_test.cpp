#include "platform/helperthread.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace zevi {
namespace {

// Where a helper started with the starter on `allowed` first ran, and where
// it may run once running. The starter's processors are put back after.
struct Seen {
  int starter = -1, cpu = -1;
  bool mayRunAsStarter = false;
};

Seen StartAndSee(const cpu_set_t& allowed) {
  cpu_set_t own;
  sched_getaffinity(0, sizeof own, &own);
  sched_setaffinity(0, sizeof allowed, &allowed);
  Seen seen;
  seen.starter = sched_getcpu();
  HelperThread([&] {
    seen.cpu = sched_getcpu();
    cpu_set_t running;
    sched_getaffinity(0, sizeof running, &running);
    seen.mayRunAsStarter = CPU_EQUAL(&running, &allowed);
  }).Join();
  sched_setaffinity(0, sizeof own, &own);
  return seen;
}

TEST(HelperThread, StartsBesideItsStarterThenMayRunAnywhere) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  const Seen alone = StartAndSee(one);
  EXPECT_EQ(alone.cpu, alone.starter) << "one processor allowed";
  EXPECT_TRUE(alone.mayRunAsStarter);

  if (CPU_COUNT(&all) < 2) GTEST_SKIP() << "one processor only";
  int besideStarter = 0;
  for (int i = 0; i < 10; ++i) {
    const Seen seen = StartAndSee(all);
    besideStarter += seen.cpu == seen.starter;
    EXPECT_TRUE(seen.mayRunAsStarter) << "left pinned to where it started";
  }
  EXPECT_LE(besideStarter, 1) << "the starter may move between looking and starting, though seldom";
}

// A helper ends by scope, by being assigned over and by Join, each waiting
// for its work: callers read what it wrote.
TEST(HelperThread, EveryEndWaitsForTheWork) {
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
