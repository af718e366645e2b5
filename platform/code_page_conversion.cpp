#include "platform/code_page_conversion.h"

#include "platform/locale.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sys {
namespace {

constexpr UINT CP_THREAD_ACP = 3;
constexpr char16_t noCharacter = 0xFFFF;
constexpr std::uint16_t noByte = 0xFFFF;

// Bytes of the IBM PC code pages that Windows maps differently from ICU's IBM tables.
struct WindowsByte {
  UINT codePage;
  unsigned char byte;
  char16_t character;
};
constexpr WindowsByte windowsBytes[] = {
    {437, 0xE6, 0x00B5}, {852, 0xAA, 0x00AC}, {860, 0xE6, 0x00B5}, {861, 0xE6, 0x00B5},
    {862, 0xE6, 0x00B5}, {863, 0xE6, 0x00B5}, {865, 0xE6, 0x00B5},
};

// IBM's tables for PC code pages rotate three control codes to make room for glyphs (byte 0x1A
// is U+001C, 0x1C is U+007F, 0x7F is U+001A); Windows maps each to itself. The first two undo
// ICU's rotation on a character it produced and on a byte it produced; rotateByte is the inverse
// of unrotateByte.
char16_t unrotateCharacter(char16_t c) {
  return c == 0x1C ? 0x1A : c == 0x7F ? 0x1C : c == 0x1A ? 0x7F : c;
}
char unrotateByte(char b) { return b == 0x7F ? 0x1A : b == 0x1A ? 0x1C : b == 0x1C ? 0x7F : b; }
char rotateByte(char b) { return b == 0x1A ? 0x7F : b == 0x1C ? 0x1A : b == 0x7F ? 0x1C : b; }

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  // Windows falls back to a similar character where there is no exact one; so do ICU's
  // fallback mappings.
  ucnv_setFallback(converter.get(), TRUE);
  return converter;
}

// A code page as this layer converts it. Built once, never changed, shared by all threads.
struct CodePage {
  UINT number = 0;
  std::string icuName;
  bool unicode = false;      // UTF-8 or UTF-7: ICU substitutes U+FFFD, no default character
  bool rotated = false;      // ICU's table rotates the control codes 0x1A, 0x1C, 0x7F
  std::string defaultBytes;  // the default character, '?' in the code page's encoding
  // Single-byte code pages convert through these tables; empty for the others, which ICU converts.
  std::vector<char16_t> toUnicode;         // by byte, U+003F where nothing is mapped
  std::vector<std::uint16_t> fromUnicode;  // by BMP code unit, noByte where nothing is mapped
};

bool isSingleByte(const CodePage& page) { return !page.toUnicode.empty(); }

void buildSingleByteTables(CodePage& page, UConverter* converter) {
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

  page.toUnicode.assign(256, noCharacter);
  for (unsigned b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    UChar units[2];
    status = U_ZERO_ERROR;
    if (ucnv_toUChars(converter, units, 2, &byte, 1, &status) == 1 && U_SUCCESS(status)) {
      page.toUnicode[b] = page.rotated ? unrotateCharacter(units[0]) : units[0];
    }
  }
  for (const WindowsByte& fix : windowsBytes) {
    if (fix.codePage == page.number) page.toUnicode[fix.byte] = fix.character;
  }

  // Unicode to bytes: ICU's mappings, best fits included, then each byte's own character on top
  // so that every byte round-trips.
  page.fromUnicode.assign(0x10000, noByte);
  USet* mappable = uset_openEmpty();
  status = U_ZERO_ERROR;
  ucnv_getUnicodeSet(converter, mappable, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &status);
  for (int32_t item = 0, items = uset_getItemCount(mappable); U_SUCCESS(status) && item < items;
       ++item) {
    UChar32 first = 0;
    UChar32 last = 0;
    // An item of length 0 is a range of code points; the others are strings.
    if (uset_getItem(mappable, item, &first, &last, nullptr, 0, &status) != 0) continue;
    for (UChar32 c = first; c <= last && c <= 0xFFFF; ++c) {
      const auto unit = static_cast<UChar>(c);
      char byte = 0;
      UErrorCode one = U_ZERO_ERROR;
      if (ucnv_fromUChars(converter, &byte, 1, &unit, 1, &one) == 1 && U_SUCCESS(one)) {
        page.fromUnicode[unit] =
            static_cast<unsigned char>(page.rotated ? unrotateByte(byte) : byte);
      }
    }
  }
  uset_close(mappable);
  for (unsigned b = 0; b < 256; ++b) {
    if (page.toUnicode[b] != noCharacter)
      page.fromUnicode[page.toUnicode[b]] = static_cast<std::uint16_t>(b);
  }
  for (char16_t& c : page.toUnicode) {
    if (c == noCharacter) c = u'?';
  }
}

std::unique_ptr<const CodePage> loadCodePage(UINT number) {
  auto page = std::make_unique<CodePage>();
  page->number = number;
  Converter converter;
  if (number == CP_UTF8 || number == CP_UTF7) {
    page->icuName = number == CP_UTF8 ? "UTF-8" : "UTF-7";
    page->unicode = true;
    converter = openConverter(page->icuName);
  } else {
    for (const char* prefix : {"windows-", "ibm-"}) {
      page->icuName = prefix + std::to_string(number);
      converter = openConverter(page->icuName);
      if (converter) break;
    }
  }
  if (!converter) return nullptr;
  if (page->unicode) return page;

  // ICU knows the UTF-16 and UTF-32 forms by code page numbers too; they are not byte code pages.
  switch (ucnv_getType(converter.get())) {
    case UCNV_UTF16:
    case UCNV_UTF16_BigEndian:
    case UCNV_UTF16_LittleEndian:
    case UCNV_UTF32:
    case UCNV_UTF32_BigEndian:
    case UCNV_UTF32_LittleEndian:
      return nullptr;
    default:
      break;
  }

  UErrorCode status = U_ZERO_ERROR;
  const char rotationProbe = 0x1A;
  UChar probed = 0;
  page->rotated =
      ucnv_toUChars(converter.get(), &probed, 1, &rotationProbe, 1, &status) == 1 && probed == 0x1C;

  char question[8];
  status = U_ZERO_ERROR;
  const int32_t length =
      ucnv_fromUChars(converter.get(), question, sizeof question, u"?", 1, &status);
  page->defaultBytes = U_SUCCESS(status) && length > 0
                           ? std::string(question, static_cast<std::size_t>(length))
                           : "?";

  if (ucnv_getMaxCharSize(converter.get()) == 1) buildSingleByteTables(*page, converter.get());
  return page;
}

// Code pages are loaded at first use and kept for the life of the process. Unknown numbers are
// not remembered, so that arbitrary numbers cannot grow the table.
const CodePage* findCodePage(UINT number) {
  if (number == CP_ACP || number == CP_THREAD_ACP) number = GetACP();
  if (number == CP_OEMCP) number = GetOEMCP();
  static std::mutex mutex;
  static std::map<UINT, std::unique_ptr<const CodePage>> pages;
  const std::lock_guard lock(mutex);
  if (const auto found = pages.find(number); found != pages.end()) return found->second.get();
  auto page = loadCodePage(number);
  if (!page) return nullptr;
  return pages.emplace(number, std::move(page)).first->second.get();
}

// What a conversion to bytes puts in place of a character the code page lacks, and whether it
// had to. The callback context is const, hence the mutable flag.
struct Substitution {
  std::string bytes;
  mutable bool used = false;
};

void substituteDefault(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                       UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  const auto* substitution = static_cast<const Substitution*>(context);
  substitution->used = true;
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, substitution->bytes.data(),
                         static_cast<int32_t>(substitution->bytes.size()), 0, status);
}

void substituteQuestionMark(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                            UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  const UChar questionMark = u'?';
  ucnv_cbToUWriteUChars(args, &questionMark, 1, 0, status);
}

// An ICU converter is used by one thread at a time, so each thread opens its own.
struct ThreadConverter {
  Substitution substitution;
  Converter converter;
};

ThreadConverter* threadConverter(const CodePage& page) {
  thread_local std::map<UINT, std::unique_ptr<ThreadConverter>> converters;
  auto& slot = converters[page.number];
  if (!slot) {
    auto opened = std::make_unique<ThreadConverter>();
    opened->converter = openConverter(page.icuName);
    if (!opened->converter) return nullptr;
    if (!page.unicode) {
      UErrorCode status = U_ZERO_ERROR;
      ucnv_setToUCallBack(opened->converter.get(), substituteQuestionMark, nullptr, nullptr,
                          nullptr, &status);
      ucnv_setFromUCallBack(opened->converter.get(), substituteDefault, &opened->substitution,
                            nullptr, nullptr, &status);
      if (U_FAILURE(status)) return nullptr;
    }
    slot = std::move(opened);
  }
  return slot.get();
}

// Runs an ICU conversion step over the rest of the source into scratch space, and counts.
template <typename Out, typename In, typename Step>
long long countRest(Step& step, const In*& source, const In* sourceEnd, UErrorCode& status) {
  std::array<Out, 512> scratch;
  long long total = 0;
  do {
    status = U_ZERO_ERROR;
    Out* out = scratch.data();
    step(&out, scratch.data() + scratch.size(), &source, sourceEnd, &status);
    total += out - scratch.data();
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  return total;
}

// Runs an ICU conversion step over the whole source. With no room given it only counts;
// otherwise the output must fit. Returns the output length, or 0.
template <typename In, typename Out, typename Step>
int runConversion(Step step, const In* source, const In* sourceEnd, Out* target, int capacity) {
  UErrorCode status = U_ZERO_ERROR;
  long long total = 0;
  if (capacity > 0) {
    Out* out = target;
    step(&out, target + capacity, &source, sourceEnd, &status);
    total = out - target;
    // ICU stops at a full buffer even when the rest of the source (the end of a UTF-7 run, say)
    // adds nothing; the output fits if it does.
    if (status == U_BUFFER_OVERFLOW_ERROR && countRest<Out>(step, source, sourceEnd, status) != 0)
      return 0;
  } else {
    total = countRest<Out>(step, source, sourceEnd, status);
  }
  return U_SUCCESS(status) && total <= INT_MAX ? static_cast<int>(total) : 0;
}

// ICU's UTF-7 reads a zero byte as an error and writes U+0000 in base64; Windows keeps zeros as
// they are, so that terminated strings stay terminated. With plainZeros the pieces between zeros
// are converted one by one and each zero is copied.
template <typename In, typename Out, typename Step>
int convertPieces(Step step, const In* src, const In* end, Out* dst, int dstLen, bool plainZeros) {
  if (!plainZeros) return runConversion(step, src, end, dst, dstLen);
  long long total = 0;
  for (const In* piece = src;; ++piece) {
    const In* zero = std::find(piece, end, In{0});
    if (zero != piece) {
      const long long room = dstLen - total;
      if (dstLen > 0 && room == 0) return 0;
      const int n = runConversion(step, piece, zero, dstLen > 0 ? dst + total : nullptr,
                                  dstLen > 0 ? static_cast<int>(room) : 0);
      if (n == 0) return 0;
      total += n;
    }
    if (zero == end) break;
    if (dstLen > 0) {
      if (total == dstLen) return 0;
      dst[total] = Out{0};
    }
    ++total;
    piece = zero;
  }
  return total <= INT_MAX ? static_cast<int>(total) : 0;
}

bool hasUnpairedSurrogate(const UChar* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

bool validArguments(const void* src, int srcLen, const void* dst, int dstLen) {
  return src != nullptr && srcLen != 0 && srcLen >= -1 && dstLen >= 0 &&
         (dst != nullptr || dstLen == 0);
}

}  // namespace

CodePageShape DescribeCodePage(UINT codePage) {
  CodePageShape shape;
  const CodePage* page = findCodePage(codePage);
  if (page == nullptr) return shape;
  const Converter converter = openConverter(page->icuName);
  if (!converter) return shape;
  shape.known = true;
  shape.maxCharSize = ucnv_getMaxCharSize(converter.get());
  switch (ucnv_getType(converter.get())) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII:
    case UCNV_UTF8:
      break;
    default:
      shape.stateful = true;
  }
  if (shape.maxCharSize > 1 && !shape.stateful) {
    UBool starters[256] = {};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_getStarters(converter.get(), starters, &status);
    if (U_SUCCESS(status)) {
      for (int b = 0; b < 256; ++b) shape.leadByte[b] = starters[b] != 0;
    }
  }
  return shape;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, LPWSTR dst,
                        int dstLen) {
  if (flags != 0 || !validArguments(src, srcLen, dst, dstLen)) return 0;
  const CodePage* page = findCodePage(codePage);
  if (page == nullptr) return 0;
  const std::size_t length = srcLen == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLen);
  if (length > INT_MAX) return 0;

  if (isSingleByte(*page)) {
    const int count = static_cast<int>(length);
    if (dstLen == 0) return count;
    if (count > dstLen) return 0;
    for (std::size_t i = 0; i < length; ++i)
      dst[i] = page->toUnicode[static_cast<unsigned char>(src[i])];
    return count;
  }

  ThreadConverter* converter = threadConverter(*page);
  if (converter == nullptr) return 0;
  UConverter* icu = converter->converter.get();
  ucnv_resetToUnicode(icu);
  const int count = convertPieces(
      [icu](UChar** target, const UChar* targetEnd, const char** source, const char* sourceEnd,
            UErrorCode* status) {
        ucnv_toUnicode(icu, target, targetEnd, source, sourceEnd, nullptr, TRUE, status);
      },
      src, src + length, dst, dstLen, page->number == CP_UTF7);
  if (page->rotated && dstLen > 0) {
    for (int i = 0; i < count; ++i) dst[i] = unrotateCharacter(dst[i]);
  }
  return count;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, char* dst, int dstLen,
                        const char* defaultChar, BOOL* usedDefault) {
  const bool strictUtf8 = flags == WC_ERR_INVALID_CHARS && codePage == CP_UTF8;
  if ((flags != 0 && !strictUtf8) || !validArguments(src, srcLen, dst, dstLen)) return 0;
  const CodePage* page = findCodePage(codePage);
  if (page == nullptr) return 0;
  if (page->unicode && (defaultChar != nullptr || usedDefault != nullptr)) return 0;
  const std::size_t length =
      srcLen == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<std::size_t>(srcLen);
  if (length > INT_MAX) return 0;
  if (strictUtf8 && hasUnpairedSurrogate(src, length)) return 0;

  int count = 0;
  bool used = false;
  if (isSingleByte(*page)) {
    const char substitute = defaultChar != nullptr ? defaultChar[0] : page->defaultBytes[0];
    for (std::size_t i = 0; i < length; ++i) {
      std::uint16_t byte = page->fromUnicode[src[i]];
      // A surrogate pair is one character, and nothing outside the BMP has a single byte.
      if (src[i] >= 0xD800 && src[i] <= 0xDBFF && i + 1 < length && src[i + 1] >= 0xDC00 &&
          src[i + 1] <= 0xDFFF) {
        ++i;
      }
      if (byte == noByte) {
        byte = static_cast<unsigned char>(substitute);
        used = true;
      }
      if (dstLen > 0) {
        if (count == dstLen) return 0;
        dst[count] = static_cast<char>(byte);
      }
      ++count;
    }
  } else {
    ThreadConverter* converter = threadConverter(*page);
    if (converter == nullptr) return 0;
    Substitution& substitution = converter->substitution;
    substitution.bytes =
        defaultChar != nullptr ? std::string(1, defaultChar[0]) : page->defaultBytes;
    if (page->rotated) {
      for (char& b : substitution.bytes) b = rotateByte(b);  // unrotated with the output below
    }
    substitution.used = false;
    UConverter* icu = converter->converter.get();
    ucnv_resetFromUnicode(icu);
    count = convertPieces(
        [icu](char** target, const char* targetEnd, const UChar** source, const UChar* sourceEnd,
              UErrorCode* status) {
          ucnv_fromUnicode(icu, target, targetEnd, source, sourceEnd, nullptr, TRUE, status);
        },
        src, src + length, dst, dstLen, page->number == CP_UTF7);
    if (page->rotated && dstLen > 0) {
      for (int i = 0; i < count; ++i) dst[i] = unrotateByte(dst[i]);
    }
    used = substitution.used;
  }
  if (count > 0 && usedDefault != nullptr) *usedDefault = used ? TRUE : FALSE;
  return count;
}

}  // namespace sys
