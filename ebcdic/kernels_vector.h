// Vector forms of the single-byte kernels, one file per instruction set, compiled for that set
// alone and called only where the processor has it (kernel_level.h). Each converts whole blocks
// from the start and returns how many elements it converted; the caller converts the rest.
// Tables hold 256 entries with the substitutes already in place.
#pragma once

#include "ebcdic/kernels.h"

#include <cstddef>

namespace kwuni::kernels {

// How far a conversion of mixed host data has come: the units read and written, and whether it
// stands inside a double-byte run. A vector kernel takes it on as far as whole blocks go; the
// scalar loop finishes from there.
struct MixedState {
  std::size_t read = 0;
  std::size_t written = 0;
  bool shifted = false;
};

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

// shiftedBytesToUtf16 in 32-byte blocks, as the AVX-512 form below: shift bytes found by
// compares, single bytes and pairs looked up by gathers.
void shiftedBytesToUtf16Avx2(const HostLookup& toUnicode, const WCHAR* singleByteTable, const BYTE* src,
                             std::size_t length, WCHAR* dst, std::size_t capacity, MixedState& at);

// shiftedBytesToUtf16 in 64-byte blocks of the input (AVX-512 with VBMI2 and BMI2): single bytes
// up to the shift-out through byte permutes, pairs up to a shift byte in a lead position through
// gathers. Counts on past `capacity` without storing. The lookup's table must not be null; the
// single bytes come from `singleByteTable`, like the tables above.
void shiftedBytesToUtf16Avx512(const HostLookup& toUnicode, const WCHAR* singleByteTable, const BYTE* src,
                               std::size_t length, WCHAR* dst, std::size_t capacity, MixedState& at);

// utf16ToShiftedBytes, 16 characters at a time while the worst case of 48 bytes fits in
// `capacity`: each character's shift byte, high and low byte are laid out and the ones it needs
// compressed together. The table must not be null.
void utf16ToShiftedBytesAvx512(const HostLookup& toHost, const WCHAR* src, std::size_t length, BYTE* dst,
                               std::size_t capacity, MixedState& at);

// latinUtf8ToSingleBytes: one- and two-byte characters told apart by compares, the two-byte ones
// joined with their lead byte, looked up by byte permutes and compressed together.
Converted latinUtf8ToSingleBytesAvx512(const BYTE* latin, const BYTE* stops, const BYTE* src, std::size_t length,
                                       BYTE* dst);

// singleBytesToUtf8: each byte's form looked up by byte permutes, laid out in slots of four bytes
// and the bytes of each form compressed together.
Converted singleBytesToUtf8Avx512(const Utf8Forms& forms, const BYTE* src, std::size_t length, char* dst);
#endif

}  // namespace kwuni::kernels
