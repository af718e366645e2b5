#include "platform/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(CriticalSection, TheOwnerMayEnterAgainAndOthersWaitUntilItLeavesEveryLevel) {
  CRITICAL_SECTION section;
  ASSERT_EQ(sys::InitializeCriticalSectionAndSpinCount(&section, 400), TRUE);
  sys::EnterCriticalSection(&section);
  sys::EnterCriticalSection(&section);
  sys::LeaveCriticalSection(&section);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    sys::EnterCriticalSection(&section);
    entered = true;
    sys::LeaveCriticalSection(&section);
  });
  // Still held once: the other thread cannot have got in yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered);
  sys::LeaveCriticalSection(&section);
  other.join();
  EXPECT_TRUE(entered);

  // Updates under the lock from several threads at once stay whole.
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        sys::EnterCriticalSection(&section);
        ++counter;
        sys::LeaveCriticalSection(&section);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 40000);
  sys::DeleteCriticalSection(&section);
}

TEST(CriticalSection, RecordsTheSpinCountAndFailsOnRequest) {
  CRITICAL_SECTION section;
  ASSERT_EQ(sys::InitializeCriticalSectionAndSpinCount(&section, 0x80000190), TRUE);
  EXPECT_EQ(sys::testing::lastSpinCount(), 0x80000190u);
  sys::DeleteCriticalSection(&section);
  sys::testing::failCriticalSections(true);
  EXPECT_EQ(sys::InitializeCriticalSectionAndSpinCount(&section, 7), FALSE);
  EXPECT_EQ(sys::testing::lastSpinCount(), 7u) << "recorded even when it fails";
  sys::testing::failCriticalSections(false);
  ASSERT_EQ(sys::InitializeCriticalSectionAndSpinCount(&section, 0), TRUE);
  sys::DeleteCriticalSection(&section);
  EXPECT_EQ(sys::InitializeCriticalSectionAndSpinCount(nullptr, 0), FALSE);
}

}  // namespace
