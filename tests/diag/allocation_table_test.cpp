// The table of live blocks: counters and the listing follow what callers record and forget.

#include <kwuni/diag.h>

#include <gtest/gtest.h>

#include <ios>
#include <sstream>

namespace {

std::wstring dump() {
  std::wostringstream out;
  DumpMemoryAllocationTable(out);
  return out.str();
}

TEST(AllocationTable, EmptyUntilCallersRecord) {
  EXPECT_EQ(dump(), L"Memory entries: 0\n");
  EXPECT_EQ(velmora::MemoryAllocated(), 0);
  EXPECT_EQ(velmora::MemoryBlocksAllocated(), 0);
  std::wostringstream hex;
  hex << std::hex;
  DumpMemoryAllocationTable(hex);
  EXPECT_EQ(hex.flags() & std::ios::basefield, std::ios::hex);  // an empty listing leaves the base
}

TEST(AllocationTable, ListsByKeyAndCountsWhatIsRecorded) {
  const auto* a = reinterpret_cast<const void*>(0x1000);
  const auto* b = reinterpret_cast<const void*>(0x2000);
  const auto* c = reinterpret_cast<const void*>(0xabc0);
  kwuni::recordAllocation(a, 10, 7);
  kwuni::recordAllocation(b, 20, 3);
  kwuni::recordAllocation(c, 30, 5);
  EXPECT_EQ(velmora::MemoryBlocksAllocated(), 3);
  EXPECT_EQ(velmora::MemoryAllocated(), 60);
  EXPECT_EQ(dump(), L"Memory entries: 3\n0x2000:20 []\n0xabc0:30 []\n0x1000:10 []\n");

  kwuni::recordAllocation(c, 31, -1);  // the same block again replaces its record
  EXPECT_EQ(dump(), L"Memory entries: 3\n0xabc0:31 []\n0x2000:20 []\n0x1000:10 []\n");
  EXPECT_TRUE(kwuni::forgetAllocation(b));
  EXPECT_FALSE(kwuni::forgetAllocation(b));
  EXPECT_EQ(velmora::MemoryBlocksAllocated(), 2);
  EXPECT_EQ(velmora::MemoryAllocated(), 41);

  kwuni::recordAllocation(b, 0xFFFFFFFF, 0);  // the total wraps at 32 bits
  EXPECT_EQ(velmora::MemoryAllocated(), 40);
  for (const void* block : {a, b, c}) kwuni::forgetAllocation(block);
  EXPECT_EQ(dump(), L"Memory entries: 0\n");
}

}  // namespace
