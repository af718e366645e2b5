// Conversions by CCSID for callers that do not hold a transcoder: single lookups, buffers,
// shift-delimited mixed host data, Windows code pages and byte swapping.

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "ebcdic/host_lookup.h"
#include "ebcdic/kernels.h"
#include "platform/code_page_conversion.h"

#include <cstring>

using velmora::EBCDICTranscoders;
namespace kernels = kwuni::kernels;

namespace {

template <typename Lookup>
WORD withIntFlag(Lookup lookup, int* unmapped) {
  bool substituted = false;
  const WORD result = lookup(&substituted);
  if (unmapped != nullptr) *unmapped = substituted ? 1 : 0;
  return result;
}

// Whether the host data holds a character at all, rather than shift bytes only.
bool holdsACharacter(const BYTE* src, int srcLen) {
  bool shifted = false;
  for (int i = 0; i < srcLen; ++i) {
    if (src[i] == kernels::shiftOut) {
      shifted = true;
    } else if (src[i] == kernels::shiftIn && shifted) {
      shifted = false;
    } else {
      return true;
    }
  }
  return false;
}

}  // namespace

WORD EtoU(short ccsid, WORD code, int* unmapped) {
  return withIntFlag([&](bool* flag) { return EBCDICTranscoders::EtoU(ccsid, code, flag); }, unmapped);
}

WORD UtoE(short ccsid, WORD ch, int* unmapped) {
  return withIntFlag([&](bool* flag) { return EBCDICTranscoders::UtoE(ccsid, ch, flag); }, unmapped);
}

int TConvertEtoU(short ccsid, const BYTE* src, WCHAR* dst, int srcLen) {
  return EBCDICTranscoders::convertEtoU(ccsid, src, dst, srcLen);
}

int TConvertUtoE(short ccsid, const WCHAR* src, BYTE* dst, int srcLen) {
  return EBCDICTranscoders::convertUtoE(ccsid, src, dst, srcLen);
}

int KW_EbcdicBytesToWideChar(short ccsid, const BYTE* src, int srcLen, WCHAR* dst, int dstBytes) {
  if (src == nullptr || srcLen < 1) return 0;
  const auto length = static_cast<std::size_t>(srcLen);
  // Counting needs no table; translating the first character loads it, even when nothing fits.
  if (dst == nullptr || !holdsACharacter(src, srcLen)) {
    return static_cast<int>(kernels::shiftedBytesToUtf16({}, src, length, nullptr, 0));
  }
  const auto lookup = kwuni::hostToUnicodeLookup(ccsid);
  const std::size_t capacity = dstBytes > 0 ? static_cast<std::size_t>(dstBytes) / 2 : 0;
  return static_cast<int>(kernels::shiftedBytesToUtf16(lookup, src, length, dst, capacity));
}

int KW_WideCharToEbcdicBytes(short ccsid, const WCHAR* src, int srcLen, BYTE* dst, int dstBytes) {
  if (src == nullptr || srcLen < 1) return 0;
  const auto length = static_cast<std::size_t>(srcLen);
  const std::size_t capacity = dst != nullptr && dstBytes > 0 ? static_cast<std::size_t>(dstBytes) : 0;
  const auto classifier = kwuni::unicodeToHostLookup(ccsid);
  if (!classifier.tableError) {
    return static_cast<int>(kernels::utf16ToShiftedBytes(classifier.lookup, src, length, dst, capacity));
  }
  // Without its table every character counts as single-byte, and storing the first one raises
  // the table's error.
  if (capacity > 0) classifier.raiseTableError();
  return srcLen;
}

int TConvertAtoUEx(const char* src, int srcLen, WCHAR* dst, int dstLen, unsigned int codePage) {
  if (srcLen == -1 && src != nullptr) srcLen = static_cast<int>(std::strlen(src)) + 1;
  if (dstLen == -1) dstLen = srcLen;
  return sys::MultiByteToWideChar(codePage, 0, src, srcLen, dst, dstLen);
}

int TConvertAtoU(const char* src, WCHAR* dst, int dstLen) { return TConvertAtoUEx(src, -1, dst, dstLen, CP_ACP); }

int TConvertUtoAEx(const WCHAR* src, int srcLen, char* dst, int dstLen, unsigned int codePage) {
  if (srcLen == -1 && src != nullptr) srcLen = static_cast<int>(std::char_traits<WCHAR>::length(src)) + 1;
  if (dstLen == -1) dstLen = 2 * srcLen - 1;  // two bytes a character and a one-byte terminator
  const int n = sys::WideCharToMultiByte(codePage, 0, src, srcLen, dst, dstLen, nullptr, nullptr);
  if (n != 0 && n < dstLen && dst != nullptr) dst[n] = 0;
  return n;
}

int TConvertUtoA(const WCHAR* src, char* dst, int dstLen) { return TConvertUtoAEx(src, -1, dst, dstLen, CP_ACP); }

int TSwapBytes(const BYTE* src, BYTE* dst, int len) {
  if (len < 2) return 0;
  const int even = len & ~1;
  for (int i = 0; i < even; i += 2) {
    dst[i] = src[i + 1];
    dst[i + 1] = src[i];
  }
  return even;
}
