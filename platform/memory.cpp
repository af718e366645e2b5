#include "platform/memory.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#  include <sys/mman.h>
#endif

namespace sys {

void* allocateZeroed(std::size_t bytes) {
  void* block = std::calloc(bytes != 0 ? bytes : 1, 1);
  if (block == nullptr) throw std::bad_alloc();
#if defined(__linux__)
  constexpr std::size_t hugePage = std::size_t{2} << 20;
  if (bytes >= 4 * hugePage) {
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(hugePage - 1);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // only a hint
  }
#endif
  return block;
}

void releaseZeroed(void* block) { std::free(block); }

}  // namespace sys
