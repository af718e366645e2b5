// The single-byte kernels for AVX2: table lookups by gathering eight 32-bit entries at a time.

#include "ebcdic/kernels_vector.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#define KWUNI_AVX2 __attribute__((target("avx2")))

namespace kwuni::kernels {
namespace {

// table[index] for the 8 bytes at src, as 32-bit lanes.
KWUNI_AVX2 __m256i gather8(const std::int32_t* table, const BYTE* src) {
  const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
  return _mm256_i32gather_epi32(table, index, 4);
}

// A 256-entry table widened to the 32-bit entries the gathers read.
struct GatherTable {
  alignas(32) std::int32_t entries[256];
};

template <typename Entry>
GatherTable widened(const Entry* table) {
  GatherTable wide;
  for (std::size_t b = 0; b < 256; ++b) wide.entries[b] = table[b];
  return wide;
}

// Two registers of eight 32-bit values below 0x10000 as sixteen 16-bit values, in order.
KWUNI_AVX2 __m256i pack(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

// table[code] for eight 16-bit codes in 32-bit lanes, from the aligned pair of entries that holds
// each one, so that the gather never reads past the table's end.
KWUNI_AVX2 __m256i gatherEntries(const WORD* table, __m256i codes) {
  const __m256i pairs = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), _mm256_srli_epi32(codes, 1), 4);
  const __m256i shift = _mm256_slli_epi32(_mm256_and_si256(codes, _mm256_set1_epi32(1)), 4);
  return _mm256_and_si256(_mm256_srlv_epi32(pairs, shift), _mm256_set1_epi32(0xFFFF));
}

// The characters of eight pairs of host bytes (the codes, lead byte first, in 32-bit lanes),
// unmapped codes as their substitutes.
KWUNI_AVX2 __m256i pairsToUtf16(const HostLookup& lookup, __m256i codes) {
  const __m256i entry = gatherEntries(lookup.table, codes);
  const __m256i doubleByte = _mm256_cmpgt_epi32(codes, _mm256_set1_epi32(0xFF));
  const __m256i substitute = _mm256_blendv_epi8(_mm256_set1_epi32(lookup.singleByteSubstitute),
                                                _mm256_set1_epi32(lookup.doubleByteSubstitute), doubleByte);
  return _mm256_blendv_epi8(entry, substitute, _mm256_cmpeq_epi32(entry, _mm256_set1_epi32(unmapped)));
}

// The first `count` of 16 units to dst: a whole register straight, a part through a copy.
KWUNI_AVX2 void storeFirst(WCHAR* dst, __m256i units, std::size_t count) {
  if (count == 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), units);
    return;
  }
  alignas(32) WCHAR copy[16];
  _mm256_store_si256(reinterpret_cast<__m256i*>(copy), units);
  std::memcpy(dst, copy, count * sizeof(WCHAR));
}

}  // namespace

KWUNI_AVX2 void shiftedBytesToUtf16Avx2(const HostLookup& toUnicode, const WCHAR* singleByteTable, const BYTE* src,
                                        std::size_t length, WCHAR* dst,
                                        std::size_t capacity, MixedState& at) {
  const GatherTable wide = widened(singleByteTable);
  const std::int32_t* const singleBytes = wide.entries;
  const __m256i shiftOutBytes = _mm256_set1_epi8(static_cast<char>(shiftOut));
  const __m256i shiftInBytes = _mm256_set1_epi8(static_cast<char>(shiftIn));
  const __m256i swapInWords = _mm256_set_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12, 13,
                                              10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
  constexpr std::uint32_t leadPositions = 0x55555555;
  std::size_t i = at.read;
  std::size_t count = at.written;
  bool shifted = at.shifted;
  while (i + 32 <= length) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const std::size_t room = capacity > count ? capacity - count : 0;
    if (!shifted) {
      // Single bytes up to a shift-out, which then opens a double-byte run.
      const auto shiftOuts = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, shiftOutBytes)));
      const std::size_t n = shiftOuts == 0 ? 32 : static_cast<std::size_t>(__builtin_ctz(shiftOuts));
      if (room > 0 && n > 0) {
        const __m256i first = pack(gather8(singleBytes, src + i), gather8(singleBytes, src + i + 8));
        const __m256i second = pack(gather8(singleBytes, src + i + 16), gather8(singleBytes, src + i + 24));
        const std::size_t stored = std::min(n, room);
        storeFirst(dst + count, first, std::min<std::size_t>(stored, 16));
        if (stored > 16) storeFirst(dst + count + 16, second, stored - 16);
      }
      count += n;
      i += n;
      if (n < 32) {
        i += 1;
        shifted = true;
      }
      continue;
    }
    // Pairs up to a shift byte in a lead position: a shift-in ends the run, a shift-out is skipped.
    const __m256i shiftBytes =
        _mm256_or_si256(_mm256_cmpeq_epi8(bytes, shiftOutBytes), _mm256_cmpeq_epi8(bytes, shiftInBytes));
    const auto shifts = static_cast<std::uint32_t>(_mm256_movemask_epi8(shiftBytes)) & leadPositions;
    const std::size_t n = shifts == 0 ? 32 : static_cast<std::size_t>(__builtin_ctz(shifts));
    if (room > 0 && n > 0) {
      const __m256i codes = _mm256_shuffle_epi8(bytes, swapInWords);
      const __m256i low = pairsToUtf16(toUnicode, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(codes)));
      const __m256i high = pairsToUtf16(toUnicode, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(codes, 1)));
      storeFirst(dst + count, pack(low, high), std::min(n / 2, room));
    }
    count += n / 2;
    i += n;
    if (n < 32) {
      if (src[i] == shiftIn) shifted = false;
      i += 1;
    }
  }
  at = {i, count, shifted};
}

KWUNI_AVX2 std::size_t singleBytesToUtf16Avx2(const WCHAR* table, const BYTE* src, std::size_t length, WCHAR* dst) {
  const GatherTable wide = widened(table);
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const __m256i a = pack(gather8(wide.entries, src + i), gather8(wide.entries, src + i + 8));
    const __m256i b = pack(gather8(wide.entries, src + i + 16), gather8(wide.entries, src + i + 24));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 16), b);
  }
  return i;
}

KWUNI_AVX2 std::size_t latinToSingleBytesAvx2(const BYTE* table, const WCHAR* src, std::size_t length, BYTE* dst) {
  const GatherTable wide = widened(table);
  const __m256i highByte = _mm256_set1_epi16(static_cast<short>(0xFF00));
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16));
    if (!_mm256_testz_si256(_mm256_or_si256(first, second), highByte)) break;
    // The characters as 32 byte indexes, in order, then looked up eight at a time.
    alignas(32) BYTE index[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8));
    const __m256i lo = pack(gather8(wide.entries, index), gather8(wide.entries, index + 8));
    const __m256i hi = pack(gather8(wide.entries, index + 16), gather8(wide.entries, index + 24));
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
