// The table of live memory blocks: recorded by callers, counted and listed by key.

#include <kwuni/diag.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <vector>

namespace {

struct AllocationRecord {
  const void* address;
  std::uint32_t size;
  std::int32_t order;  // the listing shows records by ascending key
};

struct AllocationTable {
  std::mutex lock;
  std::vector<AllocationRecord> records;
};

AllocationTable& table() {
  static auto* const blocks = new AllocationTable;  // lives as long as any caller may record
  return *blocks;
}

}  // namespace

void DumpMemoryAllocationTable(std::wostream& out) {
  AllocationTable& t = table();
  const std::lock_guard guard(t.lock);
  out << L"Memory entries: " << static_cast<unsigned long>(t.records.size()) << std::endl;
  std::sort(t.records.begin(), t.records.end(),
            [](const AllocationRecord& a, const AllocationRecord& b) { return a.order < b.order; });
  for (const AllocationRecord& record : t.records) {
    out << std::hex << L"0x" << reinterpret_cast<std::uintptr_t>(record.address) << L":" << std::dec << record.size
        << L" [" << L"]" << std::endl;
  }
}

namespace velmora {

int MemoryAllocated() {
  AllocationTable& t = table();
  const std::lock_guard guard(t.lock);
  std::uint32_t total = 0;
  for (const AllocationRecord& record : t.records) total += record.size;
  return static_cast<int>(total);
}

int MemoryBlocksAllocated() {
  AllocationTable& t = table();
  const std::lock_guard guard(t.lock);
  return static_cast<int>(t.records.size());
}

}  // namespace velmora

namespace kwuni {

void recordAllocation(const void* address, std::uint32_t size, std::int32_t order) {
  AllocationTable& t = table();
  const std::lock_guard guard(t.lock);
  const auto same = std::find_if(t.records.begin(), t.records.end(),
                                 [address](const AllocationRecord& r) { return r.address == address; });
  if (same != t.records.end()) {
    *same = AllocationRecord{address, size, order};
  } else {
    t.records.push_back({address, size, order});
  }
}

bool forgetAllocation(const void* address) {
  AllocationTable& t = table();
  const std::lock_guard guard(t.lock);
  const auto same = std::find_if(t.records.begin(), t.records.end(),
                                 [address](const AllocationRecord& r) { return r.address == address; });
  if (same == t.records.end()) return false;
  t.records.erase(same);
  return true;
}

}  // namespace kwuni
