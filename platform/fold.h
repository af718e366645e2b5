// FoldStringW with MAP_PRECOMPOSED: composition without decomposition. A starter followed by
// characters that canonical composition would join to it (combining marks, Hangul vowel and
// final jamo) becomes the precomposed character, the marks taken in canonical order; every other
// character stays as it is, and so does a run of marks that holds nothing composable. Unlike
// full NFC, single characters are never replaced (U+212B stays U+212B, U+F929 stays U+F929), and
// the result is never longer than the source.
#pragma once

#include <kwuni/win32.h>

#include <cstdint>

namespace sys {

constexpr DWORD MAP_PRECOMPOSED = 0x00000020;

// srcLen -1 means the terminated string, terminator included in the result. With dstLen 0 the
// result is the length the composed text needs and nothing is written. Returns the number of
// characters written, or 0 when flags is not MAP_PRECOMPOSED, src is null, srcLen is 0 or below
// -1, or dst is too small (nothing beyond dstLen is written).
int FoldStringW(DWORD flags, LPCWSTR src, int srcLen, LPWSTR dst, int dstLen);

// True when FoldStringW would give the text back unchanged: a quick scan that callers use to
// skip folding, which is the common case. length -1 means the terminated string.
bool FoldLeavesUnchanged(LPCWSTR src, int length);

// Folding works segment by segment: a segment is a character that never joins what precedes it,
// followed by the characters that may join it. Text that arrives in pieces can be folded up to the
// start of its last segment, which the next piece may still extend.

// For each BMP code unit, 1 when folding may change it or join it to what precedes it (marks,
// characters that NFC replaces) or when it is a surrogate, whose character must be looked at
// whole; 0 for a character that folding leaves as it is and never joins to its predecessor.
const std::uint8_t* FoldChangeTable();

// The length of the longest prefix of src[0, length) made of whole segments that fold to
// themselves; length itself when every segment does.
int FoldUnchangedLength(LPCWSTR src, int length);

// Where the segment that holds the character ending at src[end - 1] begins.
int FoldSegmentStart(LPCWSTR src, int end);

// Where the segment that begins at src[start] ends, at most length.
int FoldSegmentEnd(LPCWSTR src, int start, int length);

}  // namespace sys
