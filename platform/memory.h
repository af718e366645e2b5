// Large zeroed work buffers: fresh pages that the system zeroes on first touch, so that only the
// part a conversion reaches costs anything; asked for as huge pages where the system has them,
// since a first touch of every small page can cost more than the conversion itself.
#pragma once

#include <cstddef>

namespace sys {

// At least `bytes` zeroed bytes; throws std::bad_alloc when there are none. Released with
// releaseZeroed.
void* allocateZeroed(std::size_t bytes);
void releaseZeroed(void* block);

}  // namespace sys
