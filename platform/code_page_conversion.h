// MultiByteToWideChar and WideCharToMultiByte on ICU converters, for the Windows ANSI and OEM
// code pages (CP_ACP and CP_OEMCP resolve to the system's), UTF-8 (65001) and UTF-7 (65000).
#pragma once

#include <kwuni/win32.h>

namespace sys {

// srcLen -1 means the terminated string, terminator included in the count. With dstLen 0 the
// result is the number of wide characters needed and nothing is written. Returns the number
// written, or 0 on failure: an unknown code page, flags other than 0, a null or empty source, or
// a buffer too small (nothing beyond dstLen is written). Bytes with no mapping become the code
// page's default Unicode character: U+003F, or U+FFFD for UTF-8 and UTF-7.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, LPWSTR dst, int dstLen);

// The one flag taken, and only for UTF-8: fail on an unpaired surrogate instead of writing U+FFFD.
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// srcLen -1 as above. With dstLen 0 the result is the number of bytes needed. A character with no
// exact mapping becomes a similar one where the code page has a fallback for it (full-width A
// becomes A, as Windows' best fit does), else the first byte of defaultChar (the code page's
// default, '?', when null); *usedDefault reports whether a default was used, counting included.
// For UTF-8 and UTF-7 both must be null, and unpaired surrogates become U+FFFD. Returns the
// number of bytes written, or 0 on failure.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, char* dst, int dstLen,
                        const char* defaultChar, BOOL* usedDefault);

// What a code page is like, for callers that convert it a piece at a time.
struct CodePageShape {
  bool known = false;     // MultiByteToWideChar converts it
  bool stateful = false;  // a shift state carries from one character to the next (UTF-7, ISO-2022)
  int maxCharSize = 1;    // bytes of its longest character
  bool leadByte[256] = {};  // bytes that begin a character of several bytes
};

// The shape of a code page (CP_ACP and CP_OEMCP resolved); known is false for unknown numbers and
// for the UTF-16 and UTF-32 forms.
CodePageShape DescribeCodePage(UINT codePage);

}  // namespace sys
