#include "ebcdic/kernels.h"

#include "ebcdic/kernel_level.h"
#include "ebcdic/kernels_vector.h"

#include <algorithm>

namespace kwuni::kernels {
namespace {

constexpr WCHAR questionMark = 0x003F;
constexpr BYTE ebcdicQuestionMark = 0x6F;

WCHAR orQuestionMark(WORD ch) { return ch == unmapped ? questionMark : ch; }
BYTE orHostQuestionMark(WORD code) {
  const auto byte = static_cast<BYTE>(code);
  return byte == 0xFF ? ebcdicQuestionMark : byte;
}

// Below this length a conversion stays scalar: a vector kernel first sets up its tables.
constexpr std::size_t worthAVector = 1024;

// The vector kernels of the level in use; null at the scalar level, and a null member where the
// level has no kernel of its own.
struct VectorKernels {
  std::size_t (*singleBytesToUtf16)(const WCHAR*, const BYTE*, std::size_t, WCHAR*);
  std::size_t (*latinToSingleBytes)(const BYTE*, const WCHAR*, std::size_t, BYTE*);
  std::size_t (*below)(const WCHAR*, std::size_t, WCHAR);
  void (*shiftedBytesToUtf16)(const HostLookup&, const WCHAR*, const BYTE*, std::size_t, WCHAR*, std::size_t,
                              MixedState&);
  void (*utf16ToShiftedBytes)(const HostLookup&, const WCHAR*, std::size_t, BYTE*, std::size_t, MixedState&);
};

const VectorKernels* vectorKernels() {
#if defined(__x86_64__)
  static constexpr VectorKernels avx512{singleBytesToUtf16Avx512, latinToSingleBytesAvx512, belowAvx512,
                                       shiftedBytesToUtf16Avx512, utf16ToShiftedBytesAvx512};
  static constexpr VectorKernels avx2{singleBytesToUtf16Avx2, latinToSingleBytesAvx2, belowAvx2,
                                     shiftedBytesToUtf16Avx2, nullptr};
  switch (level()) {
    case Level::avx512: return &avx512;
    case Level::avx2: return &avx2;
    case Level::scalar: break;
  }
#endif
  return nullptr;
}

WORD lookUp(const HostLookup& lookup, WORD code, WORD substitute) {
  if (lookup.table == nullptr) return code;
  const WORD value = lookup.table[code];
  return value == unmapped ? substitute : value;
}

}  // namespace

void singleBytesToUtf16(const WORD* toUnicode, const BYTE* src, std::size_t length, WCHAR* dst) {
  // A long buffer pays once for a copy of the table's 256 single-byte entries with the substitute
  // already in place, and then costs one lookup a byte with no test.
  if (length < worthAVector) {
    for (std::size_t i = 0; i < length; ++i) dst[i] = orQuestionMark(toUnicode[src[i]]);
    return;
  }
  WCHAR singleBytes[0x100];
  for (std::size_t b = 0; b < 0x100; ++b) singleBytes[b] = orQuestionMark(toUnicode[b]);
  const VectorKernels* vector = vectorKernels();
  std::size_t i = vector != nullptr ? vector->singleBytesToUtf16(singleBytes, src, length, dst) : 0;
  for (; i < length; ++i) dst[i] = singleBytes[src[i]];
}

std::size_t markedBytesToUtf16(const WORD* toUnicode, const BYTE* src, std::size_t length, WCHAR* dst) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < length; ++n) {
    WORD ch = toUnicode[src[i]];
    if (ch == leadByteMark) {
      if (i + 1 == length) break;
      ch = toUnicode[static_cast<WORD>(src[i] << 8 | src[i + 1])];
      i += 2;
    } else {
      i += 1;
    }
    if (dst != nullptr) dst[n] = orQuestionMark(ch);
  }
  return n;
}

void utf16ToSingleBytes(const WORD* toHost, const WCHAR* src, std::size_t length, BYTE* dst) {
  const VectorKernels* vector = length >= worthAVector ? vectorKernels() : nullptr;
  if (vector == nullptr) {
    for (std::size_t i = 0; i < length; ++i) dst[i] = orHostQuestionMark(toHost[src[i]]);
    return;
  }
  // Latin text goes through a 256-entry table in vector registers; a block with any other
  // character goes through the whole table, and the vectors take over again after it.
  constexpr std::size_t block = 64;
  BYTE latin[0x100];
  for (std::size_t c = 0; c < 0x100; ++c) latin[c] = orHostQuestionMark(toHost[c]);
  for (std::size_t i = 0; i < length;) {
    i += vector->latinToSingleBytes(latin, src + i, length - i, dst + i);
    for (const std::size_t stop = std::min(length, i + block); i < stop; ++i) dst[i] = orHostQuestionMark(toHost[src[i]]);
  }
}

LatinUtf8ToSingleBytes latinUtf8ToSingleBytes() {
#if defined(__x86_64__)
  if (level() == Level::avx512) return latinUtf8ToSingleBytesAvx512;
#endif
  return nullptr;
}

SingleBytesToUtf8 singleBytesToUtf8() {
#if defined(__x86_64__)
  if (level() == Level::avx512) return singleBytesToUtf8Avx512;
#endif
  return nullptr;
}

bool allBelow(const WCHAR* src, std::size_t length, WCHAR limit) {
  const VectorKernels* vector = vectorKernels();
  std::size_t i = vector != nullptr ? vector->below(src, length, limit) : 0;
  for (; i < length; ++i) {
    if (src[i] >= limit) return false;
  }
  return true;
}

std::size_t utf16ToHostCodes(const WORD* toHost, const WCHAR* src, std::size_t length, BYTE* dst) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const WORD code = toHost[src[i]];
    if (code == unmapped) {
      if (dst != nullptr) dst[n] = ebcdicQuestionMark;
      n += 1;
    } else if (code > 0xFF) {
      if (dst != nullptr) {
        dst[n] = static_cast<BYTE>(code >> 8);
        dst[n + 1] = static_cast<BYTE>(code);
      }
      n += 2;
    } else {
      if (dst != nullptr) dst[n] = static_cast<BYTE>(code);
      n += 1;
    }
  }
  return n;
}

std::size_t shiftedBytesToUtf16(const HostLookup& toUnicode, const BYTE* src, std::size_t length, WCHAR* dst,
                                std::size_t capacity) {
  if (dst == nullptr) capacity = 0;
  const HostLookup lookup = toUnicode;
  MixedState at;
  const VectorKernels* vector =
      length >= worthAVector && lookup.table != nullptr && capacity > 0 ? vectorKernels() : nullptr;
  if (vector != nullptr && vector->shiftedBytesToUtf16 != nullptr) {
    WCHAR singleBytes[0x100];
    for (std::size_t b = 0; b < 0x100; ++b) {
      singleBytes[b] = lookUp(lookup, static_cast<WORD>(b), lookup.singleByteSubstitute);
    }
    vector->shiftedBytesToUtf16(lookup, singleBytes, src, length, dst, capacity, at);
  }
  std::size_t i = at.read;
  std::size_t count = at.written;
  bool shifted = at.shifted;
  while (i < length) {
    if (!shifted) {
      // Single bytes up to a shift-out; a shift-in here is an ordinary byte.
      for (; i < length && src[i] != shiftOut; ++i) {
        const WCHAR ch = lookUp(lookup, src[i], lookup.singleByteSubstitute);
        if (count < capacity) dst[count] = ch;
        ++count;
      }
      if (i == length) break;
      ++i;
      shifted = true;
    }
    // Pairs up to a shift-in; a further shift-out changes nothing.
    while (i < length) {
      const BYTE b = src[i];
      if (b == shiftIn) {
        ++i;
        shifted = false;
        break;
      }
      if (b == shiftOut) {
        ++i;
        continue;
      }
      WCHAR ch;
      if (i + 1 < length) {
        // A pair with lead byte 0x00 is a single-byte code, and takes that code's substitute.
        const auto code = static_cast<WORD>(b << 8 | src[i + 1]);
        ch = lookUp(lookup, code, code > 0xFF ? lookup.doubleByteSubstitute : lookup.singleByteSubstitute);
        i += 2;
      } else {
        ch = lookup.doubleByteSubstitute;  // the run ends after a lead byte
        i += 1;
      }
      if (count < capacity) dst[count] = ch;
      ++count;
    }
  }
  return count;
}

std::size_t utf16ToShiftedBytes(const HostLookup& toHost, const WCHAR* src, std::size_t length, BYTE* dst,
                                std::size_t capacity) {
  if (dst == nullptr) capacity = 0;
  MixedState at;
  const VectorKernels* vector = length >= worthAVector && toHost.table != nullptr ? vectorKernels() : nullptr;
  if (vector != nullptr && vector->utf16ToShiftedBytes != nullptr) {
    vector->utf16ToShiftedBytes(toHost, src, length, dst, capacity, at);
  }
  std::size_t n = at.written;
  bool shifted = at.shifted;
  for (std::size_t i = at.read; i < length; ++i) {
    const WCHAR ch = src[i];
    const bool twoBytes = takesTwoBytes(toHost, ch);
    if (twoBytes != shifted) {
      n += 1;
      if (n <= capacity) dst[n - 1] = twoBytes ? shiftOut : shiftIn;
      shifted = twoBytes;
    }
    const WORD code = lookUp(toHost, ch, toHost.singleByteSubstitute);
    if (twoBytes) {
      n += 2;
      if (n <= capacity) {
        dst[n - 2] = static_cast<BYTE>(code >> 8);
        dst[n - 1] = static_cast<BYTE>(code);
      }
    } else {
      n += 1;
      if (n <= capacity) dst[n - 1] = static_cast<BYTE>(code);
    }
  }
  return n;
}

}  // namespace kwuni::kernels
