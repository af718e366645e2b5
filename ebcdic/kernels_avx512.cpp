// The kernels for AVX-512 (F, BW, VBMI, VBMI2, with BMI2): a 256-entry byte table fits in four
// registers, and one two-register byte permute looks up 64 bytes at once; the 65536-entry tables
// of double-byte data are read by gathers.

#include "ebcdic/kernels_vector.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>

// GCC 12's AVX-512 intrinsics start from _mm512_undefined_epi32(), which its -O3 flow analysis
// then reports as possibly uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define KWUNI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2")))

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

// A 256-entry table of UTF-16 units as the byte tables of their low and high bytes.
struct WideTable {
  ByteTable low;
  ByteTable high;
};

KWUNI_AVX512 WideTable loadWideTable(const WCHAR* table) {
  alignas(64) BYTE lowBytes[256];
  alignas(64) BYTE highBytes[256];
  for (std::size_t b = 0; b < 256; ++b) {
    lowBytes[b] = static_cast<BYTE>(table[b]);
    highBytes[b] = static_cast<BYTE>(table[b] >> 8);
  }
  return {loadTable(lowBytes), loadTable(highBytes)};
}

// table[index] for 64 byte indexes, as the first and the second 32 units.
struct Units {
  __m512i first;
  __m512i second;
};

KWUNI_AVX512 Units lookUp(const WideTable& table, __m512i bytes) {
  const __m512i lo = lookUp(table.low, bytes);
  const __m512i hi = lookUp(table.high, bytes);
  // unpacklo/hi interleave within 128-bit lanes; these put the lanes' halves back in order.
  const __m512i firstHalf = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
  const __m512i secondHalf = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
  const __m512i a = _mm512_unpacklo_epi8(lo, hi);
  const __m512i b = _mm512_unpackhi_epi8(lo, hi);
  return {_mm512_permutex2var_epi64(a, firstHalf, b), _mm512_permutex2var_epi64(a, secondHalf, b)};
}

// The first `count` units to dst: at most 32 of one register, at most 64 of two.
KWUNI_AVX512 void storeFirst(WCHAR* dst, __m512i units, std::size_t count) {
  _mm512_mask_storeu_epi16(dst, _bzhi_u32(~0U, static_cast<unsigned>(count)), units);
}

KWUNI_AVX512 void storeFirst(WCHAR* dst, const Units& units, std::size_t count) {
  storeFirst(dst, units.first, std::min<std::size_t>(count, 32));
  if (count > 32) storeFirst(dst + 32, units.second, count - 32);
}

// table[code] for sixteen 16-bit codes in 32-bit lanes. The gather reads the aligned pair of
// entries that holds each one, so that it never reads past the table's end.
KWUNI_AVX512 __m512i gatherEntries(const WORD* table, __m512i codes) {
// (GCC's unoptimised form of the gather passes its all-ones mask as a signed short.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-conversion"
  const __m512i pairs = _mm512_i32gather_epi32(_mm512_srli_epi32(codes, 1), table, 4);
#pragma GCC diagnostic pop
  const __m512i shift = _mm512_slli_epi32(_mm512_and_si512(codes, _mm512_set1_epi32(1)), 4);
  return _mm512_and_si512(_mm512_srlv_epi32(pairs, shift), _mm512_set1_epi32(0xFFFF));
}

// Characters of 32 pairs of host bytes (lead byte first), unmapped codes as their substitutes.
KWUNI_AVX512 __m512i pairsToUtf16(const HostLookup& lookup, __m512i bytes) {
  const __m512i swapInWords = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
  const __m512i codes = _mm512_shuffle_epi8(bytes, swapInWords);
  const __m512i unmappedEntry = _mm512_set1_epi32(unmapped);
  const __m512i singleByteCode = _mm512_set1_epi32(0xFF);
  const __m512i singleSubstitute = _mm512_set1_epi32(lookup.singleByteSubstitute);
  const __m512i doubleSubstitute = _mm512_set1_epi32(lookup.doubleByteSubstitute);
  __m256i halves[2];
  for (int h = 0; h < 2; ++h) {
    const __m256i half = h == 0 ? _mm512_castsi512_si256(codes) : _mm512_extracti64x4_epi64(codes, 1);
    const __m512i code = _mm512_cvtepu16_epi32(half);
    const __m512i entry = gatherEntries(lookup.table, code);
    const __m512i substitute =
        _mm512_mask_blend_epi32(_mm512_cmpgt_epu32_mask(code, singleByteCode), singleSubstitute, doubleSubstitute);
    const __mmask16 unmappedCodes = _mm512_cmpeq_epi32_mask(entry, unmappedEntry);
    halves[h] = _mm512_cvtepi32_epi16(_mm512_mask_blend_epi32(unmappedCodes, entry, substitute));
  }
  return _mm512_inserti64x4(_mm512_castsi256_si512(halves[0]), halves[1], 1);
}

// Permute indexes that lay out the UTF-8 forms of 64 characters. First each character's first
// and second byte side by side, for characters 0 to 31 and 32 to 63 (the second bytes are the
// permute's second source, from 64 on).
constexpr std::array<BYTE, 64> pairIndex(unsigned half) {
  std::array<BYTE, 64> index{};
  for (unsigned k = 0; k < 32; ++k) {
    index[2 * k] = static_cast<BYTE>(32 * half + k);
    index[2 * k + 1] = static_cast<BYTE>(64 + 32 * half + k);
  }
  return index;
}
// Then slots of four bytes for characters 16g to 16g + 15: the pair, from the pairs of their half,
// and the third byte (second source); the fourth byte is never kept.
constexpr std::array<BYTE, 64> slotIndex(unsigned g) {
  std::array<BYTE, 64> index{};
  for (unsigned k = 0; k < 16; ++k) {
    const auto pair = static_cast<BYTE>(32 * (g % 2) + 2 * k);
    index[4 * k] = pair;
    index[4 * k + 1] = static_cast<BYTE>(pair + 1);
    index[4 * k + 2] = index[4 * k + 3] = static_cast<BYTE>(64 + 16 * g + k);
  }
  return index;
}
alignas(64) constexpr std::array<std::array<BYTE, 64>, 2> pairIndexes{pairIndex(0), pairIndex(1)};
alignas(64) constexpr std::array<std::array<BYTE, 64>, 4> slotIndexes{slotIndex(0), slotIndex(1), slotIndex(2),
                                                                      slotIndex(3)};

KWUNI_AVX512 __m512i load(const std::array<BYTE, 64>& bytes) { return _mm512_load_si512(bytes.data()); }

}  // namespace

KWUNI_AVX512 std::size_t singleBytesToUtf16Avx512(const WCHAR* table, const BYTE* src, std::size_t length,
                                                   WCHAR* dst) {
  const WideTable wide = loadWideTable(table);
  std::size_t i = 0;
  for (; i + 64 <= length; i += 64) {
    const Units units = lookUp(wide, _mm512_loadu_si512(src + i));
    _mm512_storeu_si512(dst + i, units.first);
    _mm512_storeu_si512(dst + i + 32, units.second);
  }
  return i;
}

KWUNI_AVX512 void shiftedBytesToUtf16Avx512(const HostLookup& toUnicode, const WCHAR* singleByteTable, const BYTE* src,
                                            std::size_t length, WCHAR* dst, std::size_t capacity, MixedState& at) {
  const WideTable wide = loadWideTable(singleByteTable);
  const __m512i shiftOutBytes = _mm512_set1_epi8(static_cast<char>(shiftOut));
  const __m512i shiftInBytes = _mm512_set1_epi8(static_cast<char>(shiftIn));
  constexpr __mmask64 leadPositions = 0x5555555555555555ULL;
  std::size_t i = at.read;
  std::size_t count = at.written;
  bool shifted = at.shifted;
  while (i + 64 <= length) {
    const __m512i bytes = _mm512_loadu_si512(src + i);
    const std::size_t room = capacity > count ? capacity - count : 0;
    if (!shifted) {
      // Single bytes up to a shift-out, which then opens a double-byte run.
      const __mmask64 shiftOuts = _mm512_cmpeq_epi8_mask(bytes, shiftOutBytes);
      const std::size_t n = shiftOuts == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(shiftOuts));
      storeFirst(dst + count, lookUp(wide, bytes), std::min(n, room));
      count += n;
      i += n;
      if (n < 64) {
        i += 1;
        shifted = true;
      }
      continue;
    }
    // Pairs up to a shift byte in a lead position: a shift-in ends the run, a shift-out is skipped.
    const __mmask64 shifts =
        (_mm512_cmpeq_epi8_mask(bytes, shiftOutBytes) | _mm512_cmpeq_epi8_mask(bytes, shiftInBytes)) & leadPositions;
    const std::size_t n = shifts == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(shifts));
    storeFirst(dst + count, pairsToUtf16(toUnicode, bytes), std::min(n / 2, room));
    count += n / 2;
    i += n;
    if (n < 64) {
      if (src[i] == shiftIn) shifted = false;
      i += 1;
    }
  }
  at = {i, count, shifted};
}

KWUNI_AVX512 void utf16ToShiftedBytesAvx512(const HostLookup& toHost, const WCHAR* src, std::size_t length,
                                            BYTE* dst, std::size_t capacity, MixedState& at) {
  constexpr std::size_t block = 16;
  constexpr std::size_t mostBytes = 3 * block;  // a shift byte and two bytes a character
  const __m512i unmappedCode = _mm512_set1_epi32(unmapped);
  const __m512i singleByteCode = _mm512_set1_epi32(0xFF);
  const __m512i firstShiftMark = _mm512_set1_epi32(0xFFFE);
  const __m512i substitute = _mm512_set1_epi32(toHost.singleByteSubstitute);
  const __m512i shiftOutSlot = _mm512_set1_epi32(shiftOut);
  const __m512i shiftInSlot = _mm512_set1_epi32(shiftIn);
  const __m512i highByte = _mm512_set1_epi32(0xFF00);
  const __m512i lowByte = _mm512_set1_epi32(0xFF);
  // Each character has a slot of four bytes: its shift byte, high byte, low byte and a spare.
  constexpr std::uint64_t shiftBytes = 0x1111111111111111ULL;
  constexpr std::uint64_t highBytes = 0x2222222222222222ULL;
  constexpr std::uint64_t lowBytes = 0x4444444444444444ULL;
  std::size_t i = at.read;
  std::size_t n = at.written;
  unsigned shifted = at.shifted ? 1 : 0;
  for (; i + block <= length && n + mostBytes <= capacity; i += block) {
    const __m512i ch = _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    const __m512i code = gatherEntries(toHost.table, ch);
    const __mmask16 unmappedChars = _mm512_cmpeq_epi32_mask(code, unmappedCode);
    // Two bytes: a mapped code above 0xFF, and never the edit buffer's shift marks.
    const __mmask16 twoBytes = _mm512_mask_cmplt_epu32_mask(
        static_cast<__mmask16>(~unmappedChars & _mm512_cmpgt_epu32_mask(code, singleByteCode)), ch, firstShiftMark);
    const __m512i value = _mm512_mask_blend_epi32(unmappedChars, code, substitute);
    const __m512i slots = _mm512_or_si512(
        _mm512_mask_blend_epi32(twoBytes, shiftInSlot, shiftOutSlot),
        _mm512_or_si512(_mm512_and_si512(value, highByte), _mm512_slli_epi32(_mm512_and_si512(value, lowByte), 16)));
    const unsigned runs = twoBytes;
    const unsigned changes = (runs ^ (runs << 1 | shifted)) & 0xFFFF;
    const std::uint64_t keep = _pdep_u64(changes, shiftBytes) | _pdep_u64(runs, highBytes) | lowBytes;
    const __m512i packed = _mm512_maskz_compress_epi8(keep, slots);
    const auto written = static_cast<std::size_t>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi8(dst + n, _bzhi_u64(~0ULL, static_cast<unsigned>(written)), packed);
    n += written;
    shifted = runs >> 15 & 1;
  }
  at = {i, n, shifted != 0};
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
    const __m512i index = _mm512_permutexvar_epi64(inOrder, _mm512_packus_epi16(first, second));
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

KWUNI_AVX512 Converted latinUtf8ToSingleBytesAvx512(const BYTE* latin, const BYTE* stops, const BYTE* src,
                                                    std::size_t length, BYTE* dst) {
  const ByteTable hostBytes = loadTable(latin);
  const ByteTable stopFlags = loadTable(stops);
  // Byte j of a block beside byte j - 1.
  const __m512i previousIndex = _mm512_set_epi64(0x3E3D3C3B3A393837, 0x363534333231302F, 0x2E2D2C2B2A292827,
                                                 0x262524232221201F, 0x1E1D1C1B1A191817, 0x161514131211100F,
                                                 0x0E0D0C0B0A090807, 0x0605040302010000);
  const __m512i top = _mm512_set1_epi8(static_cast<char>(0xC0));
  const __m512i continuationBits = _mm512_set1_epi8(static_cast<char>(0x80));
  std::size_t i = 0;
  std::size_t n = 0;
  while (i + 64 <= length) {
    const __m512i bytes = _mm512_loadu_si512(src + i);
    const __mmask64 ascii = ~_mm512_movepi8_mask(bytes);
    // Lead bytes 0xC2 and 0xC3 begin the characters U+0080 to U+00FF.
    const __mmask64 leads = _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, _mm512_set1_epi8(static_cast<char>(0xFE))),
                                                   _mm512_set1_epi8(static_cast<char>(0xC2)));
    const __mmask64 continuations = _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, top), continuationBits);
    const __mmask64 ends = ascii | (continuations & leads << 1);
    // Where no Latin character begins: any other byte, a lead byte not followed by a continuation
    // (the block's last byte included), a continuation not after a lead byte.
    __mmask64 stopsAt =
        ~(ascii | leads | continuations) | (continuations & ~(leads << 1)) | (leads & ~(continuations >> 1));
    // Each character's unit, at its last byte: (lead & 0x03) << 6 | (continuation & 0x3F).
    const __m512i previous = _mm512_permutexvar_epi8(previousIndex, bytes);
    const __m512i joined = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(previous, _mm512_set1_epi8(0x03)), 6),
                                           _mm512_and_si512(bytes, _mm512_set1_epi8(0x3F)));
    const __m512i units = _mm512_mask_blend_epi8(continuations, bytes, joined);
    const __m512i flags = lookUp(stopFlags, units);
    const __mmask64 stopped = _mm512_test_epi8_mask(flags, flags) & ends;
    stopsAt |= (stopped & ascii) | (stopped & continuations) >> 1;  // at the character's first byte
    const std::size_t good = stopsAt == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(stopsAt));
    const __mmask64 characters = ends & _bzhi_u64(~0ULL, static_cast<unsigned>(good));
    const __m512i packed = _mm512_maskz_compress_epi8(characters, lookUp(hostBytes, units));
    const auto written = static_cast<std::size_t>(_mm_popcnt_u64(characters));
    _mm512_mask_storeu_epi8(dst + n, _bzhi_u64(~0ULL, static_cast<unsigned>(written)), packed);
    i += good;
    n += written;
    const bool leadAtTheEnd = good == 63 && (leads >> 63) != 0;  // its character goes on in the next block
    if (good < 64 && !leadAtTheEnd) break;
  }
  return {i, n};
}

KWUNI_AVX512 Converted singleBytesToUtf8Avx512(const Utf8Forms& forms, const BYTE* src, std::size_t length, char* dst) {
  const ByteTable first = loadTable(forms.first);
  const ByteTable second = loadTable(forms.second);
  const ByteTable third = loadTable(forms.third);
  const ByteTable lengths = loadTable(forms.length);
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i two = _mm512_set1_epi8(2);
  // Each character's slot: first byte always, second for two bytes and more, third for three.
  constexpr std::uint64_t firstBytes = 0x1111111111111111ULL;
  constexpr std::uint64_t secondBytes = 0x2222222222222222ULL;
  constexpr std::uint64_t thirdBytes = 0x4444444444444444ULL;
  std::size_t i = 0;
  std::size_t n = 0;
  while (i + 64 <= length) {
    const __m512i bytes = _mm512_loadu_si512(src + i);
    const __m512i size = lookUp(lengths, bytes);
    const __mmask64 none = _mm512_testn_epi8_mask(size, size);
    const std::size_t good = none == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(none));
    const std::uint64_t taken = _bzhi_u64(~0ULL, static_cast<unsigned>(good));
    const std::uint64_t longer = _mm512_cmpgt_epu8_mask(size, one) & taken;
    const std::uint64_t longest = _mm512_cmpgt_epu8_mask(size, two) & taken;
    const __m512i firsts = lookUp(first, bytes);
    const __m512i seconds = lookUp(second, bytes);
    const __m512i thirds = lookUp(third, bytes);
    const __m512i pairs[2] = {_mm512_permutex2var_epi8(firsts, load(pairIndexes[0]), seconds),
                              _mm512_permutex2var_epi8(firsts, load(pairIndexes[1]), seconds)};
    for (unsigned g = 0; g < 4; ++g) {
      const unsigned from = 16 * g;
      const __m512i slots = _mm512_permutex2var_epi8(pairs[g / 2], load(slotIndexes[g]), thirds);
      const std::uint64_t keep = _pdep_u64(taken >> from & 0xFFFF, firstBytes) |
                                 _pdep_u64(longer >> from & 0xFFFF, secondBytes) |
                                 _pdep_u64(longest >> from & 0xFFFF, thirdBytes);
      const auto written = static_cast<std::size_t>(_mm_popcnt_u64(keep));
      _mm512_mask_storeu_epi8(dst + n, _bzhi_u64(~0ULL, static_cast<unsigned>(written)),
                              _mm512_maskz_compress_epi8(keep, slots));
      n += written;
    }
    i += good;
    if (good < 64) break;
  }
  return {i, n};
}

}  // namespace kwuni::kernels
#endif
