#include "platform/fold.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace sys {
namespace {

const UNormalizer2* nfc() {
  static const UNormalizer2* const instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* normalizer = unorm2_getNFCInstance(&status);
    return U_SUCCESS(status) ? normalizer : nullptr;
  }();
  return instance;
}

// UTF-16 stepping; a lone surrogate stands for itself.
UChar32 nextCodePoint(const UChar* s, int32_t& i, int32_t length) {
  const UChar32 unit = s[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < length && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
    return 0x10000 + ((unit - 0xD800) << 10) + (s[i++] - 0xDC00);
  }
  return unit;
}

UChar32 previousCodePoint(const UChar* s, int32_t& i) {
  const UChar32 unit = s[--i];
  if (unit >= 0xDC00 && unit <= 0xDFFF && i > 0 && s[i - 1] >= 0xD800 && s[i - 1] <= 0xDBFF) {
    --i;
    return 0x10000 + ((s[i] - 0xD800) << 10) + (unit - 0xDC00);
  }
  return unit;
}

void appendCodePoint(std::u16string& out, UChar32 c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

struct CodePoint {
  UChar32 value;
  std::uint8_t combiningClass;
  UNormalizationCheckResult quickCheck;
};

CodePoint describe(const UNormalizer2* normalizer, UChar32 c) {
  return {c, unorm2_getCombiningClass(normalizer, c),
          static_cast<UNormalizationCheckResult>(u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK))};
}

// Nothing composes across a starter that never combines with what comes before it, so the text
// splits there into segments that are folded one by one.
bool opensSegment(const CodePoint& c) {
  return c.combiningClass == 0 && c.quickCheck != UNORM_MAYBE;
}

// Sorts each run of non-starters by combining class, keeping the order of equal classes.
void reorderCanonically(std::vector<CodePoint>& segment) {
  const auto isStarter = [](const CodePoint& c) { return c.combiningClass == 0; };
  for (auto run = segment.begin(); run != segment.end();) {
    run = std::find_if_not(run, segment.end(), isStarter);
    const auto end = std::find_if(run, segment.end(), isStarter);
    std::stable_sort(run, end, [](const CodePoint& a, const CodePoint& b) {
      return a.combiningClass < b.combiningClass;
    });
    run = end;
  }
}

// Canonical composition of a reordered segment: each character joins the last starter unless a
// character between them has a class of zero or at least its own. A starter that NFC would
// itself replace (quick check No) takes nothing.
void compose(const UNormalizer2* normalizer, std::vector<CodePoint>& segment) {
  std::size_t starter = 0;
  bool haveStarter = segment[0].combiningClass == 0 && segment[0].quickCheck != UNORM_NO;
  int lastClass = segment[0].combiningClass == 0 ? 0 : 256;
  std::size_t kept = 1;
  for (std::size_t i = 1; i < segment.size(); ++i) {
    const CodePoint c = segment[i];
    const bool reachable = lastClass == 0 || lastClass < c.combiningClass;
    if (haveStarter && reachable) {
      const UChar32 composite = unorm2_composePair(normalizer, segment[starter].value, c.value);
      if (composite >= 0) {
        segment[starter] = describe(normalizer, composite);
        continue;
      }
    }
    if (c.combiningClass == 0) {
      starter = kept;
      haveStarter = c.quickCheck != UNORM_NO;
    }
    lastClass = c.combiningClass;
    segment[kept++] = c;
  }
  segment.resize(kept);
}

// Appends the folded form of src[begin, end) (one segment) to out.
void foldSegment(const UNormalizer2* normalizer, const UChar* src, int32_t begin, int32_t end,
                 std::vector<CodePoint>& segment, std::u16string& out) {
  reorderCanonically(segment);
  compose(normalizer, segment);
  std::u16string folded;
  for (const CodePoint& c : segment) appendCodePoint(folded, c.value);
  // Composition only removes characters, but a composite outside the BMP could in principle
  // outgrow its parts; the fold never lengthens text.
  if (folded.size() <= static_cast<std::size_t>(end - begin)) {
    out += folded;
  } else {
    out.append(src + begin, src + end);
  }
}

// Folds src[start, length), where start opens a segment, appending to out.
void foldFrom(const UNormalizer2* normalizer, const UChar* src, int32_t start, int32_t length,
              std::u16string& out) {
  std::vector<CodePoint> segment;
  int32_t begin = start;
  while (begin < length) {
    segment.clear();
    bool composable = false;
    int32_t end = begin;
    do {
      int32_t next = end;
      const CodePoint c = describe(normalizer, nextCodePoint(src, next, length));
      if (end > begin && opensSegment(c)) break;
      composable = composable || c.quickCheck == UNORM_MAYBE;
      segment.push_back(c);
      end = next;
    } while (end < length);

    if (composable) {
      foldSegment(normalizer, src, begin, end, segment, out);
    } else {
      out.append(src + begin, src + end);
    }
    begin = end;
  }
}

// Where the segment that holds the character at src[at] begins.
int32_t segmentHolding(const UChar* src, int32_t at, int32_t length) {
  int32_t end = at;
  nextCodePoint(src, end, length);
  return FoldSegmentStart(src, end);
}

int deliver(const UChar* folded, std::size_t length, LPWSTR dst, int dstLen) {
  if (length > INT_MAX) return 0;
  const int count = static_cast<int>(length);
  if (dstLen == 0) return count;
  if (count > dstLen) return 0;
  std::char_traits<char16_t>::move(dst, folded, length);
  return count;
}

}  // namespace

bool FoldLeavesUnchanged(LPCWSTR src, int length) {
  if (src == nullptr || length == 0) return true;
  const std::size_t size = length < 0 ? std::char_traits<char16_t>::length(src) : static_cast<std::size_t>(length);
  if (size > INT32_MAX) return false;
  const auto n = static_cast<int>(size);
  return FoldUnchangedLength(src, n) == n;
}

const std::uint8_t* FoldChangeTable() {
  static const std::vector<std::uint8_t> mayChange = [] {
    std::vector<std::uint8_t> units(0x10000, 1);
    const UNormalizer2* normalizer = nfc();
    if (normalizer == nullptr) return units;
    for (UChar32 c = 0; c < 0x10000; ++c) {
      const CodePoint described = describe(normalizer, c);
      units[static_cast<std::size_t>(c)] = (c >= 0xD800 && c <= 0xDFFF) || described.combiningClass != 0 ||
                                           described.quickCheck != UNORM_YES;
    }
    return units;
  }();
  return mayChange.data();
}

int FoldUnchangedLength(LPCWSTR src, int length) {
  const UNormalizer2* normalizer = nfc();
  if (src == nullptr || length <= 0 || normalizer == nullptr) return 0;
  const std::uint8_t* const changes = FoldChangeTable();
  int32_t i = 0;
  while (i < length) {
    while (i < length && changes[src[i]] == 0) ++i;
    if (i == length) break;
    int32_t next = i;
    const CodePoint c = describe(normalizer, nextCodePoint(src, next, length));
    if (c.combiningClass != 0 || c.quickCheck != UNORM_YES) return segmentHolding(src, i, length);
    i = next;
  }
  return length;
}

int FoldSegmentStart(LPCWSTR src, int end) {
  const UNormalizer2* normalizer = nfc();
  if (src == nullptr || end <= 0 || normalizer == nullptr) return 0;
  int32_t start = end;
  while (start > 0) {
    if (opensSegment(describe(normalizer, previousCodePoint(src, start)))) break;
  }
  return start;
}

int FoldSegmentEnd(LPCWSTR src, int start, int length) {
  const UNormalizer2* normalizer = nfc();
  if (src == nullptr || start >= length || normalizer == nullptr) return length;
  int32_t end = start;
  nextCodePoint(src, end, length);
  while (end < length) {
    int32_t next = end;
    if (opensSegment(describe(normalizer, nextCodePoint(src, next, length)))) break;
    end = next;
  }
  return end;
}

int FoldStringW(DWORD flags, LPCWSTR src, int srcLen, LPWSTR dst, int dstLen) {
  if (flags != MAP_PRECOMPOSED || src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0 ||
      (dst == nullptr && dstLen > 0)) {
    return 0;
  }
  const UNormalizer2* normalizer = nfc();
  if (normalizer == nullptr) return 0;
  const std::size_t size =
      srcLen == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<std::size_t>(srcLen);
  if (size > INT32_MAX) return 0;
  const auto length = static_cast<int32_t>(size);

  // Most text is already composed and in canonical order: one quick scan proves it.
  UErrorCode status = U_ZERO_ERROR;
  const int32_t composed = unorm2_spanQuickCheckYes(normalizer, src, length, &status);
  if (U_FAILURE(status)) return 0;
  if (composed == length) return deliver(src, size, dst, dstLen);

  // Fold from the start of the segment that holds the first character the scan stopped at.
  const int32_t start = segmentHolding(src, composed, length);
  std::u16string folded(src, src + start);
  foldFrom(normalizer, src, start, length, folded);
  return deliver(folded.data(), folded.size(), dst, dstLen);
}

}  // namespace sys
