// Vector forms of the single-byte kernels, one file per instruction set, compiled for that set
// alone and called only where the processor has it (kernel_level.h). Each converts whole blocks
// from the start and returns how many elements it converted; the caller converts the rest.
// Tables hold 256 entries with the substitutes already in place.
#pragma once

#include <kwuni/win32.h>

#include <cstddef>

namespace kwuni::kernels {

#if defined(__x86_64__)
// Host bytes to UTF-16 through the table.
std::size_t singleBytesToUtf16Avx512(const WCHAR* table, const BYTE* src, std::size_t length, WCHAR* dst);
std::size_t singleBytesToUtf16Avx2(const WCHAR* table, const BYTE* src, std::size_t length, WCHAR* dst);

// UTF-16 below U+0100 to host bytes through the table; stops before the first block holding a
// character above U+00FF.
std::size_t latinToSingleBytesAvx512(const BYTE* table, const WCHAR* src, std::size_t length, BYTE* dst);
std::size_t latinToSingleBytesAvx2(const BYTE* table, const WCHAR* src, std::size_t length, BYTE* dst);

// How many characters from the start lie below the limit (whole blocks; the caller checks the
// rest).
std::size_t belowAvx512(const WCHAR* src, std::size_t length, WCHAR limit);
std::size_t belowAvx2(const WCHAR* src, std::size_t length, WCHAR limit);
#endif

}  // namespace kwuni::kernels
