#include "strings/utf_codecs.h"

#include "platform/memory.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#if defined(__SSE2__)
#  include <emmintrin.h>
#endif

namespace kwuni::strings {

namespace {

// ---- UTF-8 ---------------------------------------------------------------------------------

constexpr bool isHighSurrogate(std::uint32_t u) { return u - 0xD800u < 0x400u; }
constexpr bool isLowSurrogate(std::uint32_t u) { return u - 0xDC00u < 0x400u; }
constexpr std::uint32_t combine(std::uint32_t high, std::uint32_t low) {
  return ((high - 0xD800u) << 10) + (low - 0xDC00u) + 0x10000u;
}

constexpr std::array<unsigned char, 5> leadMarks = {0x00, 0x00, 0xC0, 0xE0, 0xF0};  // by length

constexpr int encodedLength(std::uint32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Writes c as `length` bytes: six bits in each trailing byte, the rest in the lead byte.
unsigned char* putUtf8(std::uint32_t c, int length, unsigned char* d) {
  for (int i = length - 1; i > 0; --i) {
    d[i] = static_cast<unsigned char>(0x80u | (c & 0x3Fu));
    c >>= 6;
  }
  d[0] = static_cast<unsigned char>(leadMarks[static_cast<std::size_t>(length)] | c);
  return d + length;
}

// ASCII bytes in groups of eight: whether a group is all ASCII, and the group widened.
constexpr std::size_t asciiGroup = 8;

#if defined(__SSE2__)

inline bool asciiBytes(const unsigned char* s) {
  return _mm_movemask_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s))) == 0;
}

inline void widenGroup(const unsigned char* s, WCHAR* d) {
  const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
}

#else

inline bool asciiBytes(const unsigned char* s) {
  std::uint64_t a;
  std::memcpy(&a, s, sizeof a);
  return (a & 0x8080808080808080u) == 0;
}

inline void widenGroup(const unsigned char* s, WCHAR* d) {
  for (std::size_t i = 0; i < asciiGroup; ++i) d[i] = s[i];
}

#endif

// Encodes [s, blockEnd) without checking the target, which must hold three bytes for every unit
// of the block plus three more; the source goes on at least a unit past the block, so a pair may
// take its low half from there. ASCII goes a unit at a time: in text of short words a wider path
// costs more at every word's end than it gains.
void encodeBlock(const WCHAR*& s, const WCHAR* blockEnd, unsigned char*& d) {
  while (s < blockEnd) {
    std::uint32_t c = *s++;
    if (c < 0x80) {
      *d++ = static_cast<unsigned char>(c);
      continue;
    }
    if (c < 0x800) {
      d[0] = static_cast<unsigned char>(0xC0u | (c >> 6));
      d[1] = static_cast<unsigned char>(0x80u | (c & 0x3Fu));
      d += 2;
    } else if (isHighSurrogate(c) && isLowSurrogate(*s)) {
      c = combine(c, *s++);
      d[0] = static_cast<unsigned char>(0xF0u | (c >> 18));
      d[1] = static_cast<unsigned char>(0x80u | ((c >> 12) & 0x3Fu));
      d[2] = static_cast<unsigned char>(0x80u | ((c >> 6) & 0x3Fu));
      d[3] = static_cast<unsigned char>(0x80u | (c & 0x3Fu));
      d += 4;
    } else {
      d[0] = static_cast<unsigned char>(0xE0u | (c >> 12));
      d[1] = static_cast<unsigned char>(0x80u | ((c >> 6) & 0x3Fu));
      d[2] = static_cast<unsigned char>(0x80u | (c & 0x3Fu));
      d += 3;
    }
  }
}

// Trailing bytes by lead byte; a byte that cannot lead (80..BF) stands alone.
constexpr std::array<unsigned char, 256> trailingCounts = [] {
  std::array<unsigned char, 256> t{};
  for (std::size_t b = 0xC0; b < 0x100; ++b) {
    t[b] = b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF8 ? 3 : b < 0xFC ? 4 : 5;
  }
  return t;
}();

// What the lead and trailing marks add up to once shifted into place, by trailing count.
constexpr std::array<std::uint32_t, 6> sequenceOffsets = {0x00000000u, 0x00003080u, 0x000E2080u,
                                                          0x03C82080u, 0xFA082080u, 0x82082080u};

// The value of the sequence at s, which has `trailing` trailing bytes all before the source end.
inline std::uint32_t sequenceValue(const unsigned char* s, unsigned trailing) {
  std::uint32_t c = *s;
  for (unsigned i = 1; i <= trailing; ++i) c = (c << 6) + s[i];
  return c - sequenceOffsets[trailing];
}

constexpr std::uint32_t maxCodePoint = 0x10FFFF;
constexpr WCHAR replacementCharacter = 0xFFFD;

inline WCHAR* putPair(std::uint32_t c, WCHAR* d) {
  c -= 0x10000u;
  d[0] = static_cast<WCHAR>(0xD800u + (c >> 10));
  d[1] = static_cast<WCHAR>(0xDC00u + (c & 0x3FFu));
  return d + 2;
}

// Decodes [s, blockEnd) without checking the target, which must hold one unit for every byte of
// the block plus one more (a sequence may run past the block). False, with s at its lead byte,
// when a sequence is cut by the source end.
bool decodeBlock(const unsigned char*& s, const unsigned char* blockEnd, const unsigned char* srcEnd, WCHAR*& d) {
  while (s < blockEnd) {
    const std::uint32_t lead = *s;
    if (lead < 0x80) {
      *d++ = static_cast<WCHAR>(lead);
      ++s;
      // From a second ASCII byte on, a group at a time.
      while (static_cast<std::size_t>(blockEnd - s) >= asciiGroup && *s < 0x80 && asciiBytes(s)) {
        widenGroup(s, d);
        s += asciiGroup;
        d += asciiGroup;
      }
      continue;
    }
    const auto left = static_cast<std::size_t>(srcEnd - s);
    if (lead < 0xE0) {
      // A byte that cannot lead stands alone. Two bytes make at most U+083F, or wrap below zero
      // when the trailing byte is under 0x80.
      if (lead < 0xC0) {
        *d++ = static_cast<WCHAR>(lead);
        ++s;
      } else {
        if (left < 2) return false;
        const std::uint32_t c = (lead << 6) + s[1] - sequenceOffsets[1];
        *d++ = c < 0x10000u ? static_cast<WCHAR>(c) : replacementCharacter;
        s += 2;
      }
      continue;
    }
    std::uint32_t c;
    if (lead < 0xF0) {
      if (left < 3) return false;
      c = (lead << 12) + (std::uint32_t{s[1]} << 6) + s[2] - sequenceOffsets[2];
      s += 3;
    } else {
      const unsigned trailing = trailingCounts[lead];
      if (left <= trailing) return false;
      c = sequenceValue(s, trailing);
      s += trailing + 1;
    }
    if (c < 0x10000u) {
      *d++ = static_cast<WCHAR>(c);
    } else if (c > maxCodePoint) {
      *d++ = replacementCharacter;
    } else {
      d = putPair(c, d);
    }
  }
  return true;
}

// ---- UTF-7 ---------------------------------------------------------------------------------

constexpr char base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> base64Values = [] {
  std::array<signed char, 256> t{};
  t.fill(-1);
  for (std::size_t i = 0; i < 64; ++i) t[static_cast<unsigned char>(base64Digits[i])] = static_cast<signed char>(i);
  return t;
}();

// How an ASCII character is written: directly, directly when Set O is, or encoded.
enum class Direct : unsigned char { never, optional, always };

constexpr std::array<Direct, 128> directness = [] {
  std::array<Direct, 128> t{};
  t.fill(Direct::never);
  for (const char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'(),-./:? \t\r\n")) {
    t[static_cast<unsigned char>(c)] = Direct::always;
  }
  for (const char c : std::string_view("!\"#$%&*;<=>[]^_`{|}@")) t[static_cast<unsigned char>(c)] = Direct::optional;
  return t;
}();

constexpr std::uint32_t lowBits(int count) { return (std::uint32_t{1} << count) - 1; }

inline unsigned char base64Digit(std::uint32_t bits) { return static_cast<unsigned char>(base64Digits[bits & 0x3Fu]); }

// Utf7Encoder::step, inlined into the range converter.
[[gnu::always_inline]] inline int encodeUtf7Unit(Utf7Encoder& e, WCHAR unit, unsigned char* out) {
  int n = 0;
  const Direct direct = unit < 0x80 ? directness[unit] : Direct::never;
  if (direct == Direct::always || (direct == Direct::optional && e.optionalDirect)) {
    if (e.inRun) {
      // Pad to a whole digit and close; "-" is needed before a byte the run would take as its own.
      if (e.bitCount > 0) out[n++] = base64Digit(e.bits << (6 - e.bitCount));
      if (e.closeRuns || unit == u'-' || base64Values[unit] >= 0) out[n++] = '-';
      e.inRun = false;
      e.bits = 0;
      e.bitCount = 0;
    }
    out[n++] = static_cast<unsigned char>(unit);
    return n;
  }
  if (!e.inRun) {
    out[n++] = '+';
    if (unit == u'+') {
      out[n++] = '-';
      return n;
    }
    e.inRun = true;
  }
  // 16 bits on top of 0, 2 or 4 make two digits, and a third from 18 bits on.
  e.bits = (e.bits << 16) | unit;
  e.bitCount += 4;
  out[n] = base64Digit(e.bits >> (e.bitCount + 6));
  out[n + 1] = base64Digit(e.bits >> e.bitCount);
  n += 2;
  if (e.bitCount >= 6) {
    e.bitCount -= 6;
    out[n++] = base64Digit(e.bits >> e.bitCount);
  }
  e.bits &= lowBits(e.bitCount);
  return n;
}

// ---- whole buffers -------------------------------------------------------------------------

struct ZeroedDeleter {
  void operator()(void* p) const { sys::releaseZeroed(p); }
};

template <typename Unit>
std::unique_ptr<Unit[], ZeroedDeleter> zeroedBuffer(std::size_t units) {
  return std::unique_ptr<Unit[], ZeroedDeleter>(static_cast<Unit*>(sys::allocateZeroed(units * sizeof(Unit))));
}

// The index of the first zero unit of [p, p + n), or n.
std::size_t firstZero(const WCHAR* p, std::size_t n) {
  std::size_t i = 0;
  for (; n - i >= 4; i += 4) {
    std::uint64_t w;
    std::memcpy(&w, p + i, sizeof w);
    if (((w - 0x0001000100010001u) & ~w & 0x8000800080008000u) != 0) break;
  }
  while (i < n && p[i] != 0) ++i;
  return i;
}

using ByteConverter = ConversionResult (*)(const WCHAR**, const WCHAR*, unsigned char**, unsigned char*);
using UnitConverter = ConversionResult (*)(const unsigned char**, const unsigned char*, WCHAR**, WCHAR*);

// The work buffer holds 8 bytes a unit, more than either encoder writes, and a zero byte past
// that.
char* bytesFromWide(const WCHAR* s, int count, ByteConverter convert) {
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
  const auto work = zeroedBuffer<unsigned char>(8 * n + 1);
  const WCHAR* src = s;
  unsigned char* dst = work.get();
  if (n > 0) convert(&src, s + n, &dst, work.get() + 8 * n);
  // Past dst the buffer is still zero.
  const std::size_t written = static_cast<std::size_t>(dst - work.get());
  const void* zero = std::memchr(work.get(), 0, written);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - work.get()) : written;
  char* result = new char[length + 1];
  std::memcpy(result, work.get(), length);
  result[length] = 0;
  return result;
}

// The work buffer holds 4 units a byte, more than either decoder writes. The result keeps a spare
// zero unit.
WCHAR* wideFromBytes(const char* s, int count, UnitConverter convert) {
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
  const auto work = zeroedBuffer<WCHAR>(4 * n + 2);
  const auto* src = reinterpret_cast<const unsigned char*>(s);
  WCHAR* dst = work.get();
  if (n > 0) convert(&src, src + n, &dst, work.get() + 4 * n);
  const std::size_t length = firstZero(work.get(), static_cast<std::size_t>(dst - work.get()));
  auto* result = new WCHAR[length + 2];
  std::memcpy(result, work.get(), length * sizeof(WCHAR));
  result[length] = 0;
  result[length + 1] = 0;
  return result;
}

ConversionResult utf7Closed(const WCHAR** src, const WCHAR* srcEnd, unsigned char** dst, unsigned char* dstEnd) {
  return convertUtoUTF7(src, srcEnd, dst, dstEnd, 1, 1);
}

}  // namespace

// ---- UTF-8 ---------------------------------------------------------------------------------

ConversionResult convertUtoUTF8(const WCHAR** src, const WCHAR* srcEnd, unsigned char** dst,
                                unsigned char* dstEnd) {
  const WCHAR* s = *src;
  unsigned char* d = *dst;
  ConversionResult result = ConversionResult::done;
  while (s < srcEnd) {
    // Whatever the text, a block of room / 3 - 1 units fits.
    const std::size_t block = std::min(static_cast<std::size_t>(srcEnd - s), static_cast<std::size_t>(dstEnd - d) / 3);
    if (block >= 2) {
      encodeBlock(s, s + (block - 1), d);
      continue;
    }
    std::uint32_t c = *s++;
    if (isHighSurrogate(c) && s < srcEnd && isLowSurrogate(*s)) c = combine(c, *s++);
    const int length = encodedLength(c);
    if (dstEnd - d < length) {
      result = ConversionResult::targetFull;
      break;
    }
    d = putUtf8(c, length, d);
  }
  *src = s;
  *dst = d;
  return result;
}

ConversionResult convertUTF8toU(const unsigned char** src, const unsigned char* srcEnd, WCHAR** dst,
                                WCHAR* dstEnd) {
  const unsigned char* s = *src;
  WCHAR* d = *dst;
  ConversionResult result = ConversionResult::done;
  while (s < srcEnd) {
    // No sequence gives more units than it has bytes.
    const std::size_t block = std::min(static_cast<std::size_t>(srcEnd - s), static_cast<std::size_t>(dstEnd - d));
    if (block >= 2) {
      if (!decodeBlock(s, s + (block - 1), srcEnd, d)) {
        result = ConversionResult::badSource;
        break;
      }
      continue;
    }
    const unsigned trailing = trailingCounts[*s];
    if (static_cast<std::size_t>(srcEnd - s) <= trailing) {
      result = ConversionResult::badSource;
      break;
    }
    const std::uint32_t c = sequenceValue(s, trailing);
    s += trailing + 1;
    const bool pair = c >= 0x10000u && c <= maxCodePoint;
    if (dstEnd - d < (pair ? 2 : 1)) {
      result = ConversionResult::targetFull;
      break;
    }
    if (pair) {
      d = putPair(c, d);
    } else {
      *d++ = c < 0x10000u ? static_cast<WCHAR>(c) : replacementCharacter;
    }
  }
  *src = s;
  *dst = d;
  return result;
}

// ---- UTF-7 ---------------------------------------------------------------------------------

int Utf7Encoder::step(WCHAR unit, unsigned char* out) { return encodeUtf7Unit(*this, unit, out); }

int Utf7Encoder::finish(unsigned char* out) {
  if (!inRun) return 0;
  int n = 0;
  if (bitCount > 0) out[n++] = base64Digit(bits << (6 - bitCount));
  if (closeRuns) out[n++] = '-';
  inRun = false;
  bits = 0;
  bitCount = 0;
  return n;
}

Utf7Decoder::Step Utf7Decoder::outside(unsigned char byte) {
  if (byte == '+') {
    inRun = true;
    return {};
  }
  return {true, byte, byte > 0x7F};
}

// Closes a run that had digits: malformed when it leaves bits that are not zero or gave no unit.
bool Utf7Decoder::closeRun() {
  const bool malformed = bits != 0 || !unitWritten;
  *this = Utf7Decoder{};
  return malformed;
}

Utf7Decoder::Step Utf7Decoder::step(unsigned char byte) {
  if (!inRun) return outside(byte);
  const int value = base64Values[byte];
  if (value >= 0) {
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    bitCount += 6;
    digitsSeen = true;
    if (bitCount < 16) return {};
    bitCount -= 16;
    const auto unit = static_cast<WCHAR>(bits >> bitCount);
    bits &= lowBits(bitCount);
    unitWritten = true;
    return {true, unit, false};
  }
  if (!digitsSeen) {
    // "+-" is '+'; "+" before anything else opens a run that holds nothing.
    *this = Utf7Decoder{};
    if (byte == '-') return {true, u'+', false};
    Step next = outside(byte);
    next.malformed = true;
    return next;
  }
  const bool malformed = closeRun();
  if (byte == '-') return {false, 0, malformed};
  Step next = outside(byte);
  next.malformed = next.malformed || malformed;
  return next;
}

bool Utf7Decoder::finish() {
  if (!inRun) return false;
  if (!digitsSeen) {
    *this = Utf7Decoder{};
    return true;
  }
  return closeRun();
}

ConversionResult convertUtoUTF7(const WCHAR** src, const WCHAR* srcEnd, unsigned char** dst, unsigned char* dstEnd,
                                int optionalDirect, int closeRuns) {
  Utf7Encoder encoder;
  encoder.optionalDirect = optionalDirect != 0;
  encoder.closeRuns = closeRuns != 0;
  const WCHAR* s = *src;
  unsigned char* d = *dst;
  ConversionResult result = ConversionResult::done;
  unsigned char spill[Utf7Encoder::maxStepBytes];
  while (s < srcEnd) {
    if (dstEnd - d >= Utf7Encoder::maxStepBytes) {
      d += encodeUtf7Unit(encoder, *s++, d);
      continue;
    }
    const int n = encodeUtf7Unit(encoder, *s++, spill);
    if (dstEnd - d < n) {
      result = ConversionResult::targetFull;
      break;
    }
    d = std::copy_n(spill, n, d);
  }
  if (result == ConversionResult::done) {
    const int n = encoder.finish(spill);
    if (dstEnd - d < n) {
      result = ConversionResult::targetFull;
    } else {
      d = std::copy_n(spill, n, d);
    }
  }
  *src = s;
  *dst = d;
  return result;
}

ConversionResult convertUTF7toU(const unsigned char** src, const unsigned char* srcEnd, WCHAR** dst,
                                WCHAR* dstEnd) {
  Utf7Decoder decoder;
  const unsigned char* s = *src;
  WCHAR* d = *dst;
  bool malformed = false;
  bool full = false;
  while (s < srcEnd) {
    const Utf7Decoder::Step step = decoder.step(*s++);
    malformed = malformed || step.malformed;
    if (!step.hasUnit) continue;
    if (d == dstEnd) {
      full = true;
      break;
    }
    *d++ = step.unit;
  }
  if (!full) malformed = decoder.finish() || malformed;
  *src = s;
  *dst = d;
  return full ? ConversionResult::targetFull : malformed ? ConversionResult::badSource : ConversionResult::done;
}

// ---- whole buffers -------------------------------------------------------------------------

char* utf8FromWide(const WCHAR* s, int count) { return bytesFromWide(s, count, convertUtoUTF8); }

char* utf7FromWide(const WCHAR* s, int count) { return bytesFromWide(s, count, utf7Closed); }

WCHAR* wideFromUtf8(const char* s, int count) { return wideFromBytes(s, count, convertUTF8toU); }

WCHAR* wideFromUtf7(const char* s, int count) { return wideFromBytes(s, count, convertUTF7toU); }

}  // namespace kwuni::strings
