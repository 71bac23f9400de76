#include "corekit/loadslot.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(CLoadSlotTest, OnePermit) {
  CStopEvent stop;
  CLoadSlot slot(stop);
  EXPECT_EQ(slot.Acquire(), 1);
  EXPECT_EQ(slot.TryAcquire(), 0);
  EXPECT_EQ(slot.Release(), 1);
  EXPECT_EQ(slot.Release(), 0) << "a second release must not add a permit";
  EXPECT_EQ(slot.TryAcquire(), 1);
  EXPECT_EQ(slot.TryAcquire(), 0);
  EXPECT_EQ(slot.Release(), 1);
  {
    CLoadSlotGuard guard(slot);
    EXPECT_TRUE(guard.IsHeld());
    EXPECT_EQ(slot.TryAcquire(), 0);
  }
  EXPECT_EQ(slot.TryAcquire(), 1);
}

TEST(CLoadSlotTest, OnlyOneHolderAtATime) {
  CStopEvent stop;
  CLoadSlot slot(stop);
  std::atomic<int> inside{0}, most{0}, done{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 6; ++t)
    workers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        CLoadSlotGuard guard(slot);
        ASSERT_TRUE(guard.IsHeld());
        const int now = ++inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        --inside;
        ++done;
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(most.load(), 1);
  EXPECT_EQ(done.load(), 1200);
}

class CLoadSlotStopTest : public ::testing::TestWithParam<int> {};

// Loads blocked on a taken slot all give up when the main window closes; an
// event that woke only one of them would leave the rest hanging at exit.
TEST_P(CLoadSlotStopTest, EveryBlockedWaiterWakesWithZero) {
  const int waiters = GetParam();
  CStopEvent stop;
  CLoadSlot slot(stop);
  ASSERT_EQ(slot.Acquire(), 1);
  std::atomic<int> started{0};
  std::vector<int> results(size_t(waiters), -1);
  std::vector<std::thread> threads;
  for (int i = 0; i < waiters; ++i)
    threads.emplace_back([&, i] {
      ++started;
      results[size_t(i)] = slot.Acquire();
    });
  while (started < waiters) std::this_thread::yield();
  std::this_thread::sleep_for(20ms);  // let them block
  stop.Set();
  for (auto& t : threads) t.join();
  for (int r : results) EXPECT_EQ(r, 0);
  // The holder's permit is unaffected and new loads are refused while stopping.
  EXPECT_EQ(slot.Release(), 1);
  EXPECT_EQ(slot.Acquire(), 0);
  stop.Reset();
  EXPECT_EQ(slot.Acquire(), 1);
}

INSTANTIATE_TEST_SUITE_P(Waiters, CLoadSlotStopTest, ::testing::Values(1, 8));

TEST(CStopEventTest, StaysSetAndWakesEveryWaiter) {
  CStopEvent stop;
  EXPECT_FALSE(stop.IsSet());
  EXPECT_EQ(stop.Wait(10), 0);
  std::atomic<int> woken{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 5; ++i) threads.emplace_back([&] { woken += stop.Wait(); });
  std::this_thread::sleep_for(10ms);
  stop.Set();
  for (auto& t : threads) t.join();
  EXPECT_EQ(woken.load(), 5);
  EXPECT_EQ(stop.Wait(0), 1) << "a late waiter must see the stop too";
  stop.Reset();
  EXPECT_EQ(stop.Wait(0), 0);
}

TEST(CStopEventTest, ListenersRunOnSetUntilRemoved) {
  CStopEvent stop;
  int calls = 0;
  const int id = stop.AddListener([&] { ++calls; });
  stop.Set();
  EXPECT_EQ(calls, 1);
  stop.Reset();
  stop.RemoveListener(id);
  stop.Set();
  EXPECT_EQ(calls, 1);
}

TEST(CLoadSlotTest, ProcessWideSlotEndsOnTheProcessWideStopEvent) {
  EXPECT_EQ(&GetLoadSlot(), &GetLoadSlot());
  CLoadSlot& slot = GetLoadSlot();
  ASSERT_EQ(slot.Acquire(), 1);
  int result = -1;
  std::thread loader([&] { result = slot.Acquire(); });
  std::this_thread::sleep_for(10ms);
  GetStopEvent().Set();
  loader.join();
  GetStopEvent().Reset();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(slot.Release(), 1);
}

}  // namespace
