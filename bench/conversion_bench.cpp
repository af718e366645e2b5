// Throughput of the library's buffer conversions and of its streaming Decoder and Encoder beside ICU
// and glibc iconv doing the same work on the same input: single-byte host data of CCSID 37 and mixed
// host data of CCSID 930 (about half of its characters double-byte, bracketed by shift-out and
// shift-in), both ways, 32 MiB inputs. The buffer conversions take UTF-16 in one call; the streams
// take UTF-8 a chunk of 1 MiB at a time, as a program reading a file would.
//
// The inputs are drawn with a fixed seed from characters that every side maps both ways, and
// before anything is timed each conversion is run once and its output compared with ICU's; the
// program stops with a message when one differs, so every row measures the same work.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "ebcdic/kernel_level.h"

#include <benchmark/benchmark.h>
#include <gnu/libc-version.h>
#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/uvernum.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t inputBytes = std::size_t{32} << 20;
constexpr std::size_t chunkBytes = std::size_t{1} << 20;  // what the streaming rows read at a time
constexpr std::size_t wholeInput = SIZE_MAX;              // one chunk, for the buffer conversions
constexpr std::uint64_t seed = 0x6B77756E69ULL;
constexpr short singleByteCcsid = 37;
constexpr short mixedCcsid = 930;
constexpr BYTE shiftOut = 0x0E;
constexpr BYTE shiftIn = 0x0F;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "conversion_bench: %s\n", what.c_str());
  std::exit(EXIT_FAILURE);
}

// splitmix64: small, fast, and the same sequence with every compiler and standard library.
class Random {
 public:
  explicit Random(std::uint64_t s) : state(s) {}
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  std::size_t between(std::size_t low, std::size_t high) { return low + below(high - low + 1); }

 private:
  std::uint64_t state;
};

// Calls step(begin, end, last) for [0, size) cut into pieces of `chunk`, in order; false as soon as
// a step returns false.
template <typename Step>
bool inChunks(std::size_t size, std::size_t chunk, Step step) {
  std::size_t begin = 0;
  do {
    const std::size_t end = size - begin > chunk ? begin + chunk : size;
    if (!step(begin, end, end == size)) return false;
    begin = end;
  } while (begin < size);
  return true;
}

// ---- ICU and iconv, opened once --------------------------------------------------------------

class IcuConverter {
 public:
  explicit IcuConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    cnv.reset(ucnv_open(name, &status));
    if (U_FAILURE(status) || cnv == nullptr) fail(std::string("ICU cannot open ") + name);
    // Stop rather than substitute, so that an unmapped character cannot pass unnoticed.
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) fail(std::string("ICU cannot set the callbacks of ") + name);
  }

  UConverter* get() const { return cnv.get(); }

  // Converts the whole input from `source` to this converter's charset through a UTF-16 pivot,
  // resetting both at the start and flushing at the end; returns the bytes written, or SIZE_MAX
  // on failure. ICU keeps a character cut at the end of a chunk for the next one.
  std::size_t convertFrom(const IcuConverter& source, const void* src, std::size_t srcBytes, void* dst,
                          std::size_t dstBytes, std::size_t chunk) const {
    UChar pivot[pivotUnits];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    const char* const start = static_cast<const char*>(src);
    const char* in = start;
    char* out = static_cast<char*>(dst);
    const bool converted = inChunks(srcBytes, chunk, [&](std::size_t begin, std::size_t end, bool last) {
      UErrorCode status = U_ZERO_ERROR;
      ucnv_convertEx(cnv.get(), source.get(), &out, static_cast<char*>(dst) + dstBytes, &in, start + end, pivot,
                     &pivotSource, &pivotTarget, pivot + pivotUnits, begin == 0, last, &status);
      return U_SUCCESS(status) && in == start + end;
    });
    return converted ? static_cast<std::size_t>(out - static_cast<char*>(dst)) : SIZE_MAX;
  }

  // Whole-buffer conversions; -1 on failure.
  int32_t toUnicode(const BYTE* src, std::size_t length, char16_t* dst, std::size_t capacity) const {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(cnv.get(), dst, static_cast<int32_t>(capacity),
                                    reinterpret_cast<const char*>(src), static_cast<int32_t>(length), &status);
    return U_FAILURE(status) ? -1 : n;
  }
  int32_t fromUnicode(const char16_t* src, std::size_t length, BYTE* dst, std::size_t capacity) const {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv.get(), reinterpret_cast<char*>(dst), static_cast<int32_t>(capacity), src,
                                      static_cast<int32_t>(length), &status);
    return U_FAILURE(status) ? -1 : n;
  }

 private:
  static constexpr std::size_t pivotUnits = 8192;
  struct Closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };
  std::unique_ptr<UConverter, Closer> cnv;
};

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {
    if (cd == failed()) fail(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Iconv() { iconv_close(cd); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts the whole input from the initial state, `chunk` bytes at a time, and returns the
  // bytes written, or SIZE_MAX when the input does not convert completely. A character cut at the
  // end of a chunk is read again with the next one.
  std::size_t convert(const void* src, std::size_t srcBytes, void* dst, std::size_t dstBytes,
                      std::size_t chunk = wholeInput) const {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* const start = const_cast<char*>(static_cast<const char*>(src));
    char* in = start;
    char* out = static_cast<char*>(dst);
    std::size_t outLeft = dstBytes;
    const bool converted = inChunks(srcBytes, chunk, [&](std::size_t, std::size_t end, bool last) {
      std::size_t inLeft = static_cast<std::size_t>(start + end - in);
      if (iconv(cd, &in, &inLeft, &out, &outLeft) != SIZE_MAX) return inLeft == 0;
      return errno == EINVAL && !last;
    });
    if (!converted || iconv(cd, nullptr, nullptr, &out, &outLeft) == SIZE_MAX) return SIZE_MAX;
    return dstBytes - outLeft;
  }

 private:
  static iconv_t failed() { return reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }
  iconv_t cd;
};

struct Converters {
  IcuConverter icu37{"ibm-37"};
  IcuConverter icu930{"ibm-930"};
  IcuConverter icuUtf8{"UTF-8"};
  Iconv ebcdic37ToUtf16{"UTF-16LE", "IBM037"};
  Iconv utf16ToEbcdic37{"IBM037", "UTF-16LE"};
  Iconv ebcdic930ToUtf16{"UTF-16LE", "IBM930"};
  Iconv utf16ToEbcdic930{"IBM930", "UTF-16LE"};
  Iconv ebcdic37ToUtf8{"UTF-8", "IBM037"};
  Iconv utf8ToEbcdic37{"IBM037", "UTF-8"};
  Iconv ebcdic930ToUtf8{"UTF-8", "IBM930"};
  Iconv utf8ToEbcdic930{"IBM930", "UTF-8"};
};

// ---- The library's streams -------------------------------------------------------------------

// Output into a buffer allocated once, the output of each chunk after that of the one before, so
// that nothing is allocated while a stream is timed and the whole output can be compared.
template <typename Unit>
class BufferSink final : public kwuni::Sink<Unit> {
 public:
  BufferSink(Unit* buffer, std::size_t units) : data(buffer), capacity(units) {}
  Unit* reserve(std::size_t n) override {
    if (n > capacity - used) fail("the output buffer is smaller than a stream asks for");
    return data + used;
  }
  void commit(std::size_t n) override { used += n; }
  std::size_t size() const { return used; }

 private:
  Unit* data;
  std::size_t capacity;
  std::size_t used = 0;
};

struct Streams {
  kwuni::Decoder decoder37{kwuni::Encoding("37")};
  kwuni::Encoder encoder37{kwuni::Encoding("37")};
  kwuni::Decoder decoder930{kwuni::Encoding("930")};
  kwuni::Encoder encoder930{kwuni::Encoding("930")};
};

std::size_t feed(kwuni::Decoder& decoder, std::span<const BYTE> chunk, kwuni::Sink<char>& out, bool last) {
  return decoder.decode(chunk, out, last);
}
std::size_t feed(kwuni::Encoder& encoder, std::string_view chunk, kwuni::Sink<BYTE>& out, bool last) {
  return encoder.encode(chunk, out, last);
}

// Streams the whole input through a Decoder or an Encoder a chunk at a time; returns the units
// written, or SIZE_MAX when a chunk is not used completely.
template <typename Converter, typename Chunk, typename Unit>
std::size_t streamed(Converter& converter, Chunk input, Unit* dst, std::size_t capacity) {
  converter.reset();
  BufferSink<Unit> sink(dst, capacity);
  const bool converted = inChunks(input.size(), chunkBytes, [&](std::size_t begin, std::size_t end, bool last) {
    return feed(converter, Chunk(input.data() + begin, end - begin), sink, last) == end - begin;
  });
  return converted ? sink.size() : SIZE_MAX;
}

// ---- The characters every side maps both ways ------------------------------------------------

// One character through every side, each way; the host code as the library writes it (a lead
// byte in the high half for a double-byte character), or nothing when any side disagrees.
bool mapsRoundTrip(const Converters& c, short ccsid, char16_t ch, WORD code) {
  const IcuConverter& icu = ccsid == singleByteCcsid ? c.icu37 : c.icu930;
  const Iconv& toUtf16 = ccsid == singleByteCcsid ? c.ebcdic37ToUtf16 : c.ebcdic930ToUtf16;
  const Iconv& fromUtf16 = ccsid == singleByteCcsid ? c.utf16ToEbcdic37 : c.utf16ToEbcdic930;

  // The host bytes as they stand in the data: a double-byte code between shift-out and shift-in.
  std::vector<BYTE> host;
  if (code > 0xFF) {
    host = {shiftOut, static_cast<BYTE>(code >> 8), static_cast<BYTE>(code), shiftIn};
  } else {
    host = {static_cast<BYTE>(code)};
  }

  BYTE bytes[16];
  char16_t units[16];
  if (icu.fromUnicode(&ch, 1, bytes, sizeof bytes) != static_cast<int32_t>(host.size()) ||
      std::memcmp(bytes, host.data(), host.size()) != 0) {
    return false;
  }
  if (icu.toUnicode(host.data(), host.size(), units, 16) != 1 || units[0] != ch) return false;
  if (fromUtf16.convert(&ch, 2, bytes, sizeof bytes) != host.size() ||
      std::memcmp(bytes, host.data(), host.size()) != 0) {
    return false;
  }
  if (toUtf16.convert(host.data(), host.size(), units, sizeof units) != 2 || units[0] != ch) return false;

  int unmapped = 0;
  if (UtoE(ccsid, ch, &unmapped) != code || unmapped != 0) return false;
  if (EtoU(ccsid, code, &unmapped) != ch || unmapped != 0) return false;

  // And through the buffer conversions that are measured.
  if (ccsid == singleByteCcsid) {
    return TConvertUtoE(ccsid, &ch, bytes, 1) == 1 && bytes[0] == host[0] &&
           TConvertEtoU(ccsid, host.data(), units, 1) == 1 && units[0] == ch;
  }
  // A double-byte run that ends the text is left open: no shift-in after it.
  const std::size_t written = code > 0xFF ? 3 : 1;
  return KW_WideCharToEbcdicBytes(ccsid, &ch, 1, bytes, sizeof bytes) == static_cast<int>(written) &&
         std::memcmp(bytes, host.data(), written) == 0 &&
         KW_EbcdicBytesToWideChar(ccsid, host.data(), static_cast<int>(host.size()), units, sizeof units) == 1 &&
         units[0] == ch;
}

struct Charset {
  std::vector<char16_t> characters;
  char16_t draw(Random& random) const { return characters[random.below(characters.size())]; }
};

// Every byte of CCSID 37 whose character comes back to it on every side.
Charset singleByteCharset(const Converters& c) {
  Charset set;
  for (unsigned b = 0; b < 0x100; ++b) {
    const auto byte = static_cast<BYTE>(b);
    char16_t ch = 0;
    if (c.icu37.toUnicode(&byte, 1, &ch, 1) != 1) continue;
    if (mapsRoundTrip(c, singleByteCcsid, ch, static_cast<WORD>(b))) set.characters.push_back(ch);
  }
  return set;
}

// The characters of a range that CCSID 930 writes in one byte (twoBytes false) or two.
void addMixedCharacters(const Converters& c, Charset& set, char32_t first, char32_t last, bool twoBytes) {
  for (char32_t u = first; u <= last; ++u) {
    const auto ch = static_cast<char16_t>(u);
    int unmapped = 0;
    const WORD code = UtoE(mixedCcsid, ch, &unmapped);
    if (unmapped != 0 || (code > 0xFF) != twoBytes || code == shiftOut || code == shiftIn) continue;
    if (mapsRoundTrip(c, mixedCcsid, ch, code)) set.characters.push_back(ch);
  }
}

// ---- Inputs ----------------------------------------------------------------------------------

// The form whose size a text's budget counts: UTF-16, UTF-8, or host data with its shift bytes.
enum class Form { utf16, utf8, host };

// Every drawn character is in the basic multilingual plane and no surrogate.
std::size_t utf8Length(char16_t ch) { return ch < 0x80 ? 1 : ch < 0x800 ? 2 : 3; }

std::size_t sizeIn(Form form, char16_t ch, bool twoBytes) {
  switch (form) {
    case Form::utf16: return 2;
    case Form::utf8: return utf8Length(ch);
    case Form::host: return twoBytes ? 2 : 1;
  }
  return 0;
}

// Appends characters of a single-byte set until the text has taken exactly `remaining` more.
void fill(std::vector<char16_t>& text, const Charset& set, Random& random, std::size_t remaining, Form form) {
  while (remaining > 0) {
    const char16_t ch = set.draw(random);
    const std::size_t size = sizeIn(form, ch, false);
    if (size > remaining) continue;  // too long for the end: draw again
    text.push_back(ch);
    remaining -= size;
  }
}

// Mixed text: runs of 8 to 40 characters alternating between single-byte Latin/Katakana and
// double-byte Kanji/Kana, starting and ending with a single-byte run, until the text takes
// `budget` bytes in `form`.
std::vector<char16_t> mixedText(const Charset& single, const Charset& dual, Random& random, std::size_t budget,
                                Form form) {
  std::vector<char16_t> text;
  text.reserve(budget / 2 + 64);
  std::size_t remaining = budget;
  bool twoBytes = false;
  for (;;) {
    const std::size_t length = random.between(8, 40);
    const std::size_t most = form == Form::utf8    ? 3 * length
                             : form == Form::utf16 ? 2 * length
                             : twoBytes            ? 2 * length + 2
                                                   : length;
    if (most + 80 > remaining) break;  // room left for a closing single-byte run
    const Charset& set = twoBytes ? dual : single;
    std::size_t size = form == Form::host && twoBytes ? 2 : 0;  // shift-out and shift-in
    for (std::size_t i = 0; i < length; ++i) {
      text.push_back(set.draw(random));
      size += sizeIn(form, text.back(), twoBytes);
    }
    remaining -= size;
    twoBytes = !twoBytes;
  }
  fill(text, single, random, remaining, form);
  return text;
}

std::string toUtf8(const std::vector<char16_t>& text) {
  std::string utf8;
  utf8.reserve(3 * text.size());
  for (const char16_t ch : text) {
    if (ch < 0x80) {
      utf8 += static_cast<char>(ch);
    } else if (ch < 0x800) {
      utf8 += static_cast<char>(0xC0 | ch >> 6);
      utf8 += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | ch >> 12);
      utf8 += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  return utf8;
}

struct Inputs {
  Converters converters;

  // CCSID 37: host bytes for EtoU, UTF-16 text for UtoE, 32 MiB each.
  std::vector<BYTE> singleHost;
  std::vector<char16_t> singleText;
  // CCSID 930: host data (made by ICU from mixedHostText) for EtoU, UTF-16 text for UtoE.
  std::vector<BYTE> mixedHost;
  std::vector<char16_t> mixedHostText;
  std::vector<char16_t> mixedText;
  // UTF-8 text for the streaming Encoder, 32 MiB each, drawn like the UTF-16 text.
  std::string singleUtf8;
  std::string mixedUtf8;

  // How many characters the inputs are drawn from.
  std::string alphabet;

  // Output buffers, touched once so that no timed run pays for first use of its pages.
  std::vector<char16_t> wideOut;
  std::vector<BYTE> hostOut;
  std::vector<char> utf8Out;

  Streams streams;
};

std::unique_ptr<Inputs> makeInputs() {
  auto in = std::make_unique<Inputs>();
  const Converters& c = in->converters;
  Random random(seed);

  const Charset single37 = singleByteCharset(c);
  Charset single930;
  addMixedCharacters(c, single930, 0x0020, 0x007E, false);  // Latin letters, digits, punctuation
  addMixedCharacters(c, single930, 0xFF61, 0xFF9F, false);  // half-width Katakana
  Charset double930;
  addMixedCharacters(c, double930, 0x3041, 0x30FF, true);  // Hiragana and Katakana
  addMixedCharacters(c, double930, 0x4E00, 0x9FFF, true);  // Kanji
  if (single37.characters.size() < 64 || single930.characters.size() < 64 || double930.characters.size() < 1000) {
    fail("too few characters map both ways on every side; are the tables built?");
  }

  in->alphabet = "CCSID 37: " + std::to_string(single37.characters.size()) + " characters; CCSID 930: " +
                 std::to_string(single930.characters.size()) + " single-byte, " +
                 std::to_string(double930.characters.size()) + " double-byte";

  in->singleHost.resize(inputBytes);
  for (BYTE& b : in->singleHost) {
    int unmapped = 0;
    b = static_cast<BYTE>(UtoE(singleByteCcsid, single37.draw(random), &unmapped));
  }
  in->singleText.resize(inputBytes / 2);
  for (char16_t& ch : in->singleText) ch = single37.draw(random);

  in->mixedText = mixedText(single930, double930, random, inputBytes, Form::utf16);
  in->mixedHostText = mixedText(single930, double930, random, inputBytes, Form::host);
  in->mixedHost.resize(inputBytes + 64);
  const int32_t hostLength = c.icu930.fromUnicode(in->mixedHostText.data(), in->mixedHostText.size(),
                                                  in->mixedHost.data(), in->mixedHost.size());
  if (hostLength != static_cast<int32_t>(inputBytes)) fail("ICU did not make 32 MiB of CCSID 930 host data");
  in->mixedHost.resize(inputBytes);

  std::vector<char16_t> text;
  fill(text, single37, random, inputBytes, Form::utf8);
  in->singleUtf8 = toUtf8(text);
  in->mixedUtf8 = toUtf8(mixedText(single930, double930, random, inputBytes, Form::utf8));

  in->wideOut.assign(inputBytes + 1, u'\0');
  in->hostOut.assign(2 * inputBytes, 0);
  in->utf8Out.assign(3 * inputBytes, 0);  // three UTF-8 bytes at most for each host byte
  return in;
}

// ---- The same work on every side -------------------------------------------------------------

// One conversion: fills the output buffer and returns the output length in its units.
struct Conversion {
  const char* name;
  std::function<std::size_t()> run;
};

// Where the conversions of a group write: one of the shared output buffers.
struct Output {
  const unsigned char* data;
  std::size_t unitSize;

  template <typename Unit>
  explicit Output(const std::vector<Unit>& buffer)
      : data(reinterpret_cast<const unsigned char*>(buffer.data())), unitSize(sizeof(Unit)) {}
};

// One input converted by the library, ICU and iconv; ICU's output is the reference.
struct Comparison {
  std::string group;
  std::size_t inputSize;
  Output output;
  std::vector<Conversion> conversions;  // ICU first
};

// The library's conversion of the group once more at each kernel level, forced, so that the gain
// of each is visible beside the best level's row.
void addKernelLevels(Comparison& comparison) {
  using kwuni::kernels::Level;
  const std::function<std::size_t()> library = comparison.conversions[1].run;
  const std::pair<Level, const char*> levels[] = {
      {Level::scalar, "kwuni_kernels_scalar"}, {Level::avx2, "kwuni_kernels_avx2"}, {Level::avx512, "kwuni_kernels_avx512"}};
  for (const auto& [level, name] : levels) {
    if (static_cast<int>(level) > static_cast<int>(kwuni::kernels::bestLevel())) continue;  // the processor lacks it
    comparison.conversions.push_back({name, [library, level = level] {
                                        const Level previous = kwuni::kernels::useLevel(level);
                                        const std::size_t n = library();
                                        kwuni::kernels::useLevel(previous);
                                        return n;
                                      }});
  }
}

std::vector<Comparison> comparisons(Inputs* in) {
  const Converters* c = &in->converters;
  Streams* s = &in->streams;
  const auto icuLength = [](int32_t n) { return n < 0 ? SIZE_MAX : static_cast<std::size_t>(n); };
  const auto units = [](std::size_t bytes) { return bytes == SIZE_MAX ? bytes : bytes / 2; };
  std::vector<Comparison> all;

  // CCSID 37, host bytes to UTF-16.
  {
    const BYTE* src = in->singleHost.data();
    const std::size_t n = in->singleHost.size();
    char16_t* dst = in->wideOut.data();
    const std::size_t capacity = in->wideOut.size();
    all.push_back({"CCSID37_EtoU", n, Output(in->wideOut),
                   {{"icu_ucnv_toUChars",
                     [=] {
                       ucnv_reset(c->icu37.get());
                       return icuLength(c->icu37.toUnicode(src, n, dst, capacity));
                     }},
                    {"kwuni_TConvertEtoU",
                     [=] { return static_cast<std::size_t>(TConvertEtoU(singleByteCcsid, src, dst, static_cast<int>(n))); }},
                    {"iconv_IBM037", [=] { return units(c->ebcdic37ToUtf16.convert(src, n, dst, 2 * capacity)); }}}});
    addKernelLevels(all.back());
  }
  // CCSID 37, UTF-16 to host bytes.
  {
    const char16_t* src = in->singleText.data();
    const std::size_t n = in->singleText.size();
    BYTE* dst = in->hostOut.data();
    const std::size_t capacity = in->hostOut.size();
    all.push_back({"CCSID37_UtoE", 2 * n, Output(in->hostOut),
                   {{"icu_ucnv_fromUChars",
                     [=] {
                       ucnv_reset(c->icu37.get());
                       return icuLength(c->icu37.fromUnicode(src, n, dst, capacity));
                     }},
                    {"kwuni_TConvertUtoE",
                     [=] { return static_cast<std::size_t>(TConvertUtoE(singleByteCcsid, src, dst, static_cast<int>(n))); }},
                    {"iconv_IBM037", [=] { return c->utf16ToEbcdic37.convert(src, 2 * n, dst, capacity); }}}});
    addKernelLevels(all.back());
  }
  // CCSID 930, shift-delimited host data to UTF-16.
  {
    const BYTE* src = in->mixedHost.data();
    const std::size_t n = in->mixedHost.size();
    char16_t* dst = in->wideOut.data();
    const std::size_t capacity = in->wideOut.size();
    all.push_back({"CCSID930_EtoU", n, Output(in->wideOut),
                   {{"icu_ucnv_toUChars",
                     [=] {
                       ucnv_reset(c->icu930.get());
                       return icuLength(c->icu930.toUnicode(src, n, dst, capacity));
                     }},
                    {"kwuni_KW_EbcdicBytesToWideChar",
                     [=] {
                       return static_cast<std::size_t>(KW_EbcdicBytesToWideChar(
                           mixedCcsid, src, static_cast<int>(n), dst, static_cast<int>(2 * capacity)));
                     }},
                    {"iconv_IBM930", [=] { return units(c->ebcdic930ToUtf16.convert(src, n, dst, 2 * capacity)); }}}});    addKernelLevels(all.back());
  }
  // CCSID 930, UTF-16 to shift-delimited host data.
  {
    const char16_t* src = in->mixedText.data();
    const std::size_t n = in->mixedText.size();
    BYTE* dst = in->hostOut.data();
    const std::size_t capacity = in->hostOut.size();
    all.push_back({"CCSID930_UtoE", 2 * n, Output(in->hostOut),
                   {{"icu_ucnv_fromUChars",
                     [=] {
                       ucnv_reset(c->icu930.get());
                       return icuLength(c->icu930.fromUnicode(src, n, dst, capacity));
                     }},
                    {"kwuni_KW_WideCharToEbcdicBytes",
                     [=] {
                       return static_cast<std::size_t>(KW_WideCharToEbcdicBytes(
                           mixedCcsid, src, static_cast<int>(n), dst, static_cast<int>(capacity)));
                     }},
                    {"iconv_IBM930", [=] { return c->utf16ToEbcdic930.convert(src, 2 * n, dst, capacity); }}}});
    addKernelLevels(all.back());
  }

  // The streams: host bytes to UTF-8 and UTF-8 to host bytes, a chunk at a time on every side.
  struct Host {
    const char* ccsid;
    const char* iconvRow;
    const IcuConverter* icu;
    const Iconv* toUtf8;
    const Iconv* fromUtf8;
    kwuni::Decoder* decoder;
    kwuni::Encoder* encoder;
  };
  const Host hosts[] = {
      {"CCSID37", "iconv_IBM037", &c->icu37, &c->ebcdic37ToUtf8, &c->utf8ToEbcdic37, &s->decoder37, &s->encoder37},
      {"CCSID930", "iconv_IBM930", &c->icu930, &c->ebcdic930ToUtf8, &c->utf8ToEbcdic930, &s->decoder930,
       &s->encoder930},
  };
  const std::span<const BYTE> hostInputs[] = {in->singleHost, in->mixedHost};
  const std::string_view utf8Inputs[] = {in->singleUtf8, in->mixedUtf8};
  for (std::size_t i = 0; i < std::size(hosts); ++i) {
    const Host h = hosts[i];
    {
      const std::span<const BYTE> src = hostInputs[i];
      char* dst = in->utf8Out.data();
      const std::size_t capacity = in->utf8Out.size();
      all.push_back({std::string(h.ccsid) + "_EtoUTF8", src.size(), Output(in->utf8Out),
                     {{"icu_ucnv_convertEx",
                       [=] { return c->icuUtf8.convertFrom(*h.icu, src.data(), src.size(), dst, capacity, chunkBytes); }},
                      {"kwuni_Decoder", [=] { return streamed(*h.decoder, src, dst, capacity); }},
                      {h.iconvRow, [=] { return h.toUtf8->convert(src.data(), src.size(), dst, capacity, chunkBytes); }}}});
    }
    {
      const std::string_view src = utf8Inputs[i];
      BYTE* dst = in->hostOut.data();
      const std::size_t capacity = in->hostOut.size();
      all.push_back({std::string(h.ccsid) + "_UTF8toE", src.size(), Output(in->hostOut),
                     {{"icu_ucnv_convertEx",
                       [=] { return h.icu->convertFrom(c->icuUtf8, src.data(), src.size(), dst, capacity, chunkBytes); }},
                      {"kwuni_Encoder", [=] { return streamed(*h.encoder, src, dst, capacity); }},
                      {h.iconvRow, [=] { return h.fromUtf8->convert(src.data(), src.size(), dst, capacity, chunkBytes); }}}});
    }
  }
  return all;
}

// Runs every conversion once and compares its output with ICU's; stops the program on a difference.
void verify(const Inputs& in, const std::vector<Comparison>& all) {
  for (const Comparison& comparison : all) {
    const std::size_t unitSize = comparison.output.unitSize;
    const unsigned char* output = comparison.output.data;
    std::vector<unsigned char> reference;
    for (const Conversion& conversion : comparison.conversions) {
      const std::string name = comparison.group + "/" + conversion.name;
      const std::size_t length = conversion.run();
      if (length == SIZE_MAX) fail(name + " failed to convert the input");
      std::vector<unsigned char> result(output, output + length * unitSize);
      if (reference.empty()) {
        reference = std::move(result);
        if (reference.empty()) fail(name + " produced nothing");
        continue;
      }
      if (result != reference) {
        std::size_t at = 0;
        while (at < result.size() && at < reference.size() && result[at] == reference[at]) ++at;
        fail(name + " differs from ICU: " + std::to_string(result.size() / unitSize) + " units against " +
             std::to_string(reference.size() / unitSize) + ", first difference at unit " +
             std::to_string(at / unitSize));
      }
    }
  }
  // The host data of CCSID 930 was made by ICU from known text: ICU must read that text back.
  std::vector<char16_t> text(in.mixedHostText.size() + 1);
  const int32_t n = in.converters.icu930.toUnicode(in.mixedHost.data(), in.mixedHost.size(), text.data(), text.size());
  text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  if (text != in.mixedHostText) {
    fail("ICU does not read back the CCSID 930 host data it wrote");
  }
}

void registerBenchmarks(const std::vector<Comparison>& all) {
  for (const Comparison& comparison : all) {
    // The library's row first, then ICU and iconv beside it.
    std::vector<const Conversion*> order;
    for (const Conversion& conversion : comparison.conversions) order.push_back(&conversion);
    std::swap(order[0], order[1]);
    for (const Conversion* conversion : order) {
      const std::string name = comparison.group + "/" + conversion->name;
      const std::size_t inputSize = comparison.inputSize;
      benchmark::RegisterBenchmark(name.c_str(), [run = conversion->run, inputSize](benchmark::State& state) {
        for ([[maybe_unused]] auto _ : state) {
          std::size_t n = run();
          benchmark::DoNotOptimize(n);
          benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                                static_cast<std::int64_t>(inputSize));
      })->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return EXIT_FAILURE;

  KW_SetUniBaseDirectory(KWUNI_BUILD_DIR);
  const std::unique_ptr<Inputs> in = makeInputs();
  const std::vector<Comparison> all = comparisons(in.get());
  verify(*in, all);
  registerBenchmarks(all);
  // The memory's own speed: the 32 MiB input and the 64 MiB wide output of a conversion copied.
  for (const std::size_t bytes : {inputBytes, 2 * inputBytes}) {
    const std::string name = "memcpy/" + std::to_string(bytes >> 20) + "MiB";
    benchmark::RegisterBenchmark(name.c_str(), [bytes](benchmark::State& state) {
      std::vector<unsigned char> from(bytes, 1), to(bytes);
      for ([[maybe_unused]] auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
      }
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    })->Unit(benchmark::kMillisecond);
  }

  benchmark::AddCustomContext("icu", U_ICU_VERSION);
  benchmark::AddCustomContext("glibc", gnu_get_libc_version());
  benchmark::AddCustomContext("input", "32 MiB per conversion; CCSID 930 in runs of 8-40 characters, every other run double-byte");
  benchmark::AddCustomContext("streams", "UTF-8 on the Unicode side, 1 MiB chunks on every side");
  benchmark::AddCustomContext("drawn from", in->alphabet);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return EXIT_SUCCESS;
}
