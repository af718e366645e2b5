// The single-byte kernels for AVX2: table lookups by gathering eight 32-bit entries at a time.

#include "ebcdic/kernels_vector.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstdint>

#define KWUNI_AVX2 __attribute__((target("avx2")))

namespace kwuni::kernels {
namespace {

// table[index] for the 8 bytes at src, as 32-bit lanes.
KWUNI_AVX2 __m256i gather8(const std::int32_t* table, const BYTE* src) {
  const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
  return _mm256_i32gather_epi32(table, index, 4);
}

// Two registers of eight 32-bit values below 0x10000 as sixteen 16-bit values, in order.
KWUNI_AVX2 __m256i pack(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

}  // namespace

KWUNI_AVX2 std::size_t singleBytesToUtf16Avx2(const WCHAR* table, const BYTE* src, std::size_t length, WCHAR* dst) {
  alignas(32) std::int32_t wide[256];
  for (std::size_t b = 0; b < 256; ++b) wide[b] = table[b];
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const __m256i a = pack(gather8(wide, src + i), gather8(wide, src + i + 8));
    const __m256i b = pack(gather8(wide, src + i + 16), gather8(wide, src + i + 24));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 16), b);
  }
  return i;
}

KWUNI_AVX2 std::size_t latinToSingleBytesAvx2(const BYTE* table, const WCHAR* src, std::size_t length, BYTE* dst) {
  alignas(32) std::int32_t wide[256];
  for (std::size_t b = 0; b < 256; ++b) wide[b] = table[b];
  const __m256i highByte = _mm256_set1_epi16(static_cast<short>(0xFF00));
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16));
    if (!_mm256_testz_si256(_mm256_or_si256(first, second), highByte)) break;
    // The characters as 32 byte indexes, in order, then looked up eight at a time.
    alignas(32) BYTE index[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8));
    const __m256i lo = pack(gather8(wide, index), gather8(wide, index + 8));
    const __m256i hi = pack(gather8(wide, index + 16), gather8(wide, index + 24));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                        _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8));
  }
  return i;
}

KWUNI_AVX2 std::size_t belowAvx2(const WCHAR* src, std::size_t length, WCHAR limit) {
  // Unsigned a < limit: max(a, limit - 1) == limit - 1.
  const __m256i top = _mm256_set1_epi16(static_cast<short>(limit - 1));
  std::size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(units, top), top)) != -1) break;
  }
  return i;
}

}  // namespace kwuni::kernels
#endif
