// The inner loops of the buffer conversions: plain functions over a translation table, a source
// and a destination, with no registry, no exception and no allocation, so that a vectorised
// kernel can take the place of any of them.
//
// Tables are the transcoder's 65536-entry arrays: host code -> UTF-16 with 0xFFFF for unmapped
// and 0xFFFE for a marked lead byte, and UTF-16 -> host code with 0xFFFF for unmapped.
#pragma once

#include <kwuni/win32.h>

#include <cstddef>

namespace kwuni::kernels {

inline constexpr WORD unmapped = 0xFFFF;
inline constexpr WORD leadByteMark = 0xFFFE;
inline constexpr BYTE shiftOut = 0x0E;
inline constexpr BYTE shiftIn = 0x0F;

// Single-byte host data to UTF-16, one character per byte; unmapped bytes become U+003F.
void singleBytesToUtf16(const WORD* toUnicode, const BYTE* src, std::size_t length, WCHAR* dst);

// Host data whose lead bytes the table marks with 0xFFFE; a lead byte at the very end produces
// nothing. Unmapped codes become U+003F. Returns the number of characters; dst may be null.
std::size_t markedBytesToUtf16(const WORD* toUnicode, const BYTE* src, std::size_t length, WCHAR* dst);

// UTF-16 to one byte per character: the low byte of the host code, and 0x6F for 0xFF (so also
// for unmapped characters).
void utf16ToSingleBytes(const WORD* toHost, const WCHAR* src, std::size_t length, BYTE* dst);

// Whether every character lies below the limit: text below U+0300 holds no combining mark, so
// composing it changes nothing.
bool allBelow(const WCHAR* src, std::size_t length, WCHAR limit);

// UTF-16 to host codes of one or two bytes (high byte first), unmapped as 0x6F, no shift bytes.
// Returns the number of bytes; dst may be null.
std::size_t utf16ToHostCodes(const WORD* toHost, const WCHAR* src, std::size_t length, BYTE* dst);

// How the shift-delimited conversions look characters up. A null table passes codes through
// unchanged (the Unicode CCSIDs); otherwise unmapped codes become the substitutes.
struct HostLookup {
  const WORD* table;
  WORD singleByteSubstitute;  // EBCDIC to Unicode: unmapped single byte; Unicode to EBCDIC: any unmapped
  WORD doubleByteSubstitute;  // EBCDIC to Unicode: unmapped double byte, and a run cut after its lead byte
};

// Host data with shift-out/shift-in runs to UTF-16. Stores the first `capacity` characters and
// returns the number of characters of the whole input.
std::size_t shiftedBytesToUtf16(const HostLookup& toUnicode, const BYTE* src, std::size_t length, WCHAR* dst,
                                std::size_t capacity);

// UTF-16 to mixed host data: every double-byte run is opened by a shift-out and closed by a
// shift-in, unless the run is the last thing in the text. Stores while the bytes fit in
// `capacity` (a pair whole or not at all) and returns the byte length of the whole conversion;
// dst may be null.
std::size_t utf16ToShiftedBytes(const HostLookup& toHost, const WCHAR* src, std::size_t length, BYTE* dst,
                                std::size_t capacity);

// UTF-8 to host bytes for text of Latin characters (below U+0100) with single-byte codes: the
// well-formed characters from the start, in whole 64-byte blocks, up to the first that is not such
// a character or that `stops` marks; each becomes its byte in `latin`. A vector kernel, null at
// the levels that have none: the caller's own loop is the reference.
struct Converted {
  std::size_t read;
  std::size_t written;
};
using LatinUtf8ToSingleBytes = Converted (*)(const BYTE* latin, const BYTE* stops, const BYTE* src, std::size_t length,
                                             BYTE* dst);
LatinUtf8ToSingleBytes latinUtf8ToSingleBytes();

// The UTF-8 form of each single host byte: up to three bytes and their count, a count of 0 for a
// byte the caller takes itself.
struct Utf8Forms {
  BYTE first[256];
  BYTE second[256];
  BYTE third[256];
  BYTE length[256];
};

// Single host bytes to UTF-8 through their forms, in whole 64-byte blocks from the start up to the
// first byte with no form. A vector kernel, null at the levels that have none.
using SingleBytesToUtf8 = Converted (*)(const Utf8Forms& forms, const BYTE* src, std::size_t length, char* dst);
SingleBytesToUtf8 singleBytesToUtf8();

// Whether a character takes two host bytes: its host code has a high byte. The edit buffer's
// shift marks 0xFFFF and 0xFFFE never do; with a null table every other character does.
inline bool takesTwoBytes(const HostLookup& toHost, WCHAR ch) {
  if (ch >= leadByteMark) return false;
  if (toHost.table == nullptr) return true;
  const WORD code = toHost.table[ch];
  return code != unmapped && code > 0xFF;
}

}  // namespace kwuni::kernels
