// The single-byte kernels for AVX-512 (F, BW, VBMI): a 256-entry byte table fits in four
// registers, and one two-register byte permute looks up 64 bytes at once.

#include "ebcdic/kernels_vector.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define KWUNI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace kwuni::kernels {
namespace {

// A 256-entry byte table in four registers.
struct ByteTable {
  __m512i part[4];
};

KWUNI_AVX512 ByteTable loadTable(const BYTE* table) {
  return {{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
           _mm512_loadu_si512(table + 192)}};
}

// table[index] for 64 indexes: the low seven bits pick within a half, the top bit the half.
KWUNI_AVX512 __m512i lookUp(const ByteTable& table, __m512i index) {
  const __m512i low = _mm512_permutex2var_epi8(table.part[0], index, table.part[1]);
  const __m512i high = _mm512_permutex2var_epi8(table.part[2], index, table.part[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

}  // namespace

KWUNI_AVX512 std::size_t singleBytesToUtf16Avx512(const WCHAR* table, const BYTE* src, std::size_t length,
                                                   WCHAR* dst) {
  // The table's low and high bytes as two byte tables.
  alignas(64) BYTE lowBytes[256];
  alignas(64) BYTE highBytes[256];
  for (std::size_t b = 0; b < 256; ++b) {
    lowBytes[b] = static_cast<BYTE>(table[b]);
    highBytes[b] = static_cast<BYTE>(table[b] >> 8);
  }
  const ByteTable low = loadTable(lowBytes);
  const ByteTable high = loadTable(highBytes);
  // unpacklo/hi interleave within 128-bit lanes; these put the lanes' halves back in order.
  const __m512i firstHalf = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
  const __m512i secondHalf = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
  std::size_t i = 0;
  for (; i + 64 <= length; i += 64) {
    const __m512i bytes = _mm512_loadu_si512(src + i);
    const __m512i lo = lookUp(low, bytes);
    const __m512i hi = lookUp(high, bytes);
    const __m512i a = _mm512_unpacklo_epi8(lo, hi);
    const __m512i b = _mm512_unpackhi_epi8(lo, hi);
    _mm512_storeu_si512(dst + i, _mm512_permutex2var_epi64(a, firstHalf, b));
    _mm512_storeu_si512(dst + i + 32, _mm512_permutex2var_epi64(a, secondHalf, b));
  }
  return i;
}

KWUNI_AVX512 std::size_t latinToSingleBytesAvx512(const BYTE* table, const WCHAR* src, std::size_t length,
                                                   BYTE* dst) {
  const ByteTable bytes = loadTable(table);
  const __m512i highByte = _mm512_set1_epi16(static_cast<short>(0xFF00));
  // packus works within 128-bit lanes; this puts the packed quarters back in order.
  const __m512i inOrder = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
  std::size_t i = 0;
  for (; i + 64 <= length; i += 64) {
    const __m512i first = _mm512_loadu_si512(src + i);
    const __m512i second = _mm512_loadu_si512(src + i + 32);
    if (_mm512_test_epi16_mask(_mm512_or_si512(first, second), highByte) != 0) break;
    // (The zero-masking form: the plain one trips GCC 12's uninitialised-value warning at -O3.)
    const __m512i index = _mm512_maskz_permutexvar_epi64(0xFF, inOrder, _mm512_packus_epi16(first, second));
    _mm512_storeu_si512(dst + i, lookUp(bytes, index));
  }
  return i;
}

KWUNI_AVX512 std::size_t belowAvx512(const WCHAR* src, std::size_t length, WCHAR limit) {
  const __m512i bound = _mm512_set1_epi16(static_cast<short>(limit));
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    if (_mm512_cmpge_epu16_mask(_mm512_loadu_si512(src + i), bound) != 0) break;
  }
  return i;
}

}  // namespace kwuni::kernels
#endif
