#include <kwuni/ebcdic.h>

#include "platform/critical_section.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Monitor, PassesTheSpinCountWithThePreallocationBitAndReportsARefusal) {
  struct Case { bool preallocate; int spin; DWORD passed; };
  for (const auto& c : {Case{true, 400, 0x80000190}, Case{false, 400, 400}, Case{true, 0, 0x80000000},
                        Case{false, 4000, 4000}}) {
    velmora::Monitor monitor(c.preallocate, c.spin);
    EXPECT_EQ(sys::testing::lastSpinCount(), c.passed);
  }
  velmora::Monitor byDefault;
  EXPECT_EQ(sys::testing::lastSpinCount(), 0x80000190u);

  sys::testing::failCriticalSections(true);
  EXPECT_EQ(kwuni::test::thrownText<std::runtime_error>([] { velmora::Monitor refused; }),
            "Cannot initialise critical section");
  sys::testing::failCriticalSections(false);
}

TEST(Monitor, IsRecursiveAndExcludesOtherThreads) {
  velmora::Monitor monitor;
  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 10000; ++i) {
      monitor.enter();
      monitor.enter();
      ++counter;
      monitor.leave();
      monitor.leave();
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 20000);
}

}  // namespace
