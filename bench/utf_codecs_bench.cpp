// Throughput of the library's UTF-8 and UTF-7 codecs beside ICU doing the same work on the same
// 32 MiB of UTF-16 text (and on its UTF-8 and UTF-7 forms): Latin, Cyrillic, Greek, CJK and
// supplementary characters in runs of words.
//
// Two rows for each side and direction: "whole" is what a caller of the allocating entry points
// pays (the library's utf8FromWide and friends; ICU's preflight, an exact new[] and the
// conversion), "convert" is the conversion alone into a buffer allocated once. Before anything is
// timed every row is run once and checked against ICU; the program stops when one differs.

#include "strings/utf_codecs.h"

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/uvernum.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ks = kwuni::strings;

constexpr std::size_t inputBytes = std::size_t{32} << 20;
constexpr std::uint64_t seed = 0x7574663738ULL;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "utf_codecs_bench: %s\n", what.c_str());
  std::exit(EXIT_FAILURE);
}

// splitmix64: the same sequence with every compiler and standard library.
class Random {
 public:
  explicit Random(std::uint64_t s) : state(s) {}
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::uint32_t between(std::uint32_t low, std::uint32_t high) {
    return low + static_cast<std::uint32_t>(next() % (high - low + 1));
  }

 private:
  std::uint64_t state;
};

// Words of 2 to 9 characters from one script, a run of 3 to 12 words, then the next script.
std::u16string mixedText(std::size_t units) {
  struct Script { std::uint32_t first, last; unsigned share; };
  static const Script scripts[] = {
      {'a', 'z', 40},           // Latin, with an accented letter now and then
      {0x0430, 0x044F, 15},     // Cyrillic
      {0x03B1, 0x03C9, 10},     // Greek
      {0x4E00, 0x9FFF, 25},     // CJK
      {0x1F600, 0x1F64F, 5},    // emoji, as surrogate pairs
      {0x20000, 0x2A6DF, 5}};   // CJK Extension B
  Random random(seed);
  std::u16string text;
  text.reserve(units + 64);
  const auto put = [&](std::uint32_t c) {
    if (c < 0x10000) {
      text += static_cast<char16_t>(c);
    } else {
      text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  };
  while (text.size() < units) {
    std::uint32_t pick = random.between(0, 99);
    const Script* script = scripts;
    while (pick >= script->share) pick -= (script++)->share;
    for (std::uint32_t words = random.between(3, 12); words > 0; --words) {
      for (std::uint32_t n = random.between(2, 9); n > 0; --n) {
        const bool accent = script == scripts && random.between(0, 19) == 0;
        put(accent ? random.between(0xE0, 0xFF) : random.between(script->first, script->last));
      }
      put(random.between(0, 9) == 0 ? ',' : ' ');
    }
  }
  // Cut to size without splitting a pair.
  text.resize(units);
  if (text.back() >= 0xD800 && text.back() < 0xDC00) text.back() = u'.';
  return text;
}

class IcuUtf7 {
 public:
  IcuUtf7() {
    UErrorCode status = U_ZERO_ERROR;
    cnv.reset(ucnv_open("UTF-7", &status));
    if (U_FAILURE(status)) fail("ICU cannot open UTF-7");
  }
  int32_t fromUChars(const char16_t* src, std::size_t length, char* dst, std::size_t capacity) const {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(cnv.get());
    const int32_t n = ucnv_fromUChars(cnv.get(), dst, static_cast<int32_t>(capacity), src,
                                      static_cast<int32_t>(length), &status);
    return U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR ? -1 : n;
  }
  int32_t toUChars(const char* src, std::size_t length, char16_t* dst, std::size_t capacity) const {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(cnv.get());
    const int32_t n = ucnv_toUChars(cnv.get(), dst, static_cast<int32_t>(capacity), src,
                                    static_cast<int32_t>(length), &status);
    return U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR ? -1 : n;
  }

 private:
  struct Closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };
  std::unique_ptr<UConverter, Closer> cnv;
};

struct Inputs {
  std::u16string text;
  std::string utf8;
  std::string utf7;
  IcuUtf7 icuUtf7;
  // Output buffers for the "convert" rows, touched once before anything is timed.
  std::vector<unsigned char> bytesOut;
  std::vector<char16_t> unitsOut;
};

std::unique_ptr<Inputs> makeInputs() {
  auto in = std::make_unique<Inputs>();
  in->text = mixedText(inputBytes / 2);
  in->bytesOut.assign(4 * in->text.size() + 16, 0);
  in->unitsOut.assign(in->text.size() + 16, 0);
  std::unique_ptr<char[]> utf8(ks::utf8FromWide(in->text.data(), static_cast<int>(in->text.size())));
  in->utf8 = utf8.get();
  std::unique_ptr<char[]> utf7(ks::utf7FromWide(in->text.data(), static_cast<int>(in->text.size())));
  in->utf7 = utf7.get();
  return in;
}

// ---- The rows --------------------------------------------------------------------------------

// A conversion: returns the length of its output, and copies the output to *keep when asked (for
// the comparison before timing).
struct Row {
  std::string name;
  std::size_t inputSize;
  std::function<std::size_t(std::string* keep)> run;
};

template <typename Unit>
std::string asBytes(const Unit* p, std::size_t units) {
  return std::string(reinterpret_cast<const char*>(p), units * sizeof(Unit));
}

template <typename Unit>
std::size_t emit(std::string* keep, const Unit* p, std::size_t units) {
  if (keep != nullptr) *keep = asBytes(p, units);
  return units;
}

// The library's entry points return only the terminated text: its length is found when kept.
template <typename Unit>
std::size_t emitTerminated(std::string* keep, const Unit* p) {
  return keep != nullptr ? emit(keep, p, std::char_traits<Unit>::length(p)) : 0;
}

std::size_t checked(int32_t n, const char* what) {
  if (n < 0) fail(std::string(what) + " failed");
  return static_cast<std::size_t>(n);
}

std::vector<Row> rows(Inputs* in) {
  const char16_t* text = in->text.data();
  const std::size_t units = in->text.size();
  const int count = static_cast<int>(units);
  const std::size_t textBytes = 2 * units;
  const char* utf8 = in->utf8.data();
  const std::size_t utf8Bytes = in->utf8.size();
  const char* utf7 = in->utf7.data();
  const std::size_t utf7Bytes = in->utf7.size();
  unsigned char* bytesOut = in->bytesOut.data();
  const std::size_t bytesCapacity = in->bytesOut.size();
  char16_t* unitsOut = in->unitsOut.data();
  const std::size_t unitsCapacity = in->unitsOut.size();
  const IcuUtf7* icu7 = &in->icuUtf7;

  std::vector<Row> all;
  // UTF-16 to UTF-8.
  all.push_back({"ToUtf8_whole/kwuni_utf8FromWide", textBytes, [=](std::string* keep) {
                   const std::unique_ptr<char[]> out(ks::utf8FromWide(text, count));
                   return emitTerminated(keep, out.get());
                 }});
  all.push_back({"ToUtf8_whole/icu_u_strToUTF8", textBytes, [=](std::string* keep) {
                   UErrorCode status = U_ZERO_ERROR;
                   int32_t n = 0;
                   u_strToUTF8(nullptr, 0, &n, text, count, &status);
                   const std::unique_ptr<char[]> out(new char[static_cast<std::size_t>(n) + 1]);
                   status = U_ZERO_ERROR;
                   u_strToUTF8(out.get(), n + 1, &n, text, count, &status);
                   return emit(keep, out.get(), checked(U_SUCCESS(status) ? n : -1, "u_strToUTF8"));
                 }});
  all.push_back({"ToUtf8_convert/kwuni_convertUtoUTF8", textBytes, [=](std::string* keep) {
                   const char16_t* src = text;
                   unsigned char* dst = bytesOut;
                   ks::convertUtoUTF8(&src, text + units, &dst, bytesOut + bytesCapacity);
                   return emit(keep, bytesOut, static_cast<std::size_t>(dst - bytesOut));
                 }});
  all.push_back({"ToUtf8_convert/icu_u_strToUTF8", textBytes, [=](std::string* keep) {
                   UErrorCode status = U_ZERO_ERROR;
                   int32_t n = 0;
                   u_strToUTF8(reinterpret_cast<char*>(bytesOut), static_cast<int32_t>(bytesCapacity), &n, text,
                               count, &status);
                   return emit(keep, bytesOut, checked(U_SUCCESS(status) ? n : -1, "u_strToUTF8"));
                 }});
  // UTF-8 to UTF-16.
  all.push_back({"FromUtf8_whole/kwuni_wideFromUtf8", utf8Bytes, [=](std::string* keep) {
                   const std::unique_ptr<char16_t[]> out(ks::wideFromUtf8(utf8, static_cast<int>(utf8Bytes)));
                   return emitTerminated(keep, out.get());
                 }});
  all.push_back({"FromUtf8_whole/icu_u_strFromUTF8", utf8Bytes, [=](std::string* keep) {
                   UErrorCode status = U_ZERO_ERROR;
                   int32_t n = 0;
                   const auto length = static_cast<int32_t>(utf8Bytes);
                   u_strFromUTF8(nullptr, 0, &n, utf8, length, &status);
                   const std::unique_ptr<char16_t[]> out(new char16_t[static_cast<std::size_t>(n) + 1]);
                   status = U_ZERO_ERROR;
                   u_strFromUTF8(out.get(), n + 1, &n, utf8, length, &status);
                   return emit(keep, out.get(), checked(U_SUCCESS(status) ? n : -1, "u_strFromUTF8"));
                 }});
  all.push_back({"FromUtf8_convert/kwuni_convertUTF8toU", utf8Bytes, [=](std::string* keep) {
                   const auto* src = reinterpret_cast<const unsigned char*>(utf8);
                   char16_t* dst = unitsOut;
                   ks::convertUTF8toU(&src, src + utf8Bytes, &dst, unitsOut + unitsCapacity);
                   return emit(keep, unitsOut, static_cast<std::size_t>(dst - unitsOut));
                 }});
  all.push_back({"FromUtf8_convert/icu_u_strFromUTF8", utf8Bytes, [=](std::string* keep) {
                   UErrorCode status = U_ZERO_ERROR;
                   int32_t n = 0;
                   u_strFromUTF8(unitsOut, static_cast<int32_t>(unitsCapacity), &n, utf8,
                                 static_cast<int32_t>(utf8Bytes), &status);
                   return emit(keep, unitsOut, checked(U_SUCCESS(status) ? n : -1, "u_strFromUTF8"));
                 }});
  // UTF-16 to UTF-7 and back. ICU writes its own choice of direct characters; its output is
  // compared after decoding.
  all.push_back({"ToUtf7_whole/kwuni_utf7FromWide", textBytes, [=](std::string* keep) {
                   const std::unique_ptr<char[]> out(ks::utf7FromWide(text, count));
                   return emitTerminated(keep, out.get());
                 }});
  all.push_back({"ToUtf7_whole/icu_ucnv_fromUChars", textBytes, [=](std::string* keep) {
                   const std::size_t n = checked(icu7->fromUChars(text, units, nullptr, 0), "ucnv_fromUChars");
                   const std::unique_ptr<char[]> out(new char[n + 1]);
                   return emit(keep, out.get(), checked(icu7->fromUChars(text, units, out.get(), n + 1), "ucnv_fromUChars"));
                 }});
  all.push_back({"ToUtf7_convert/kwuni_convertUtoUTF7", textBytes, [=](std::string* keep) {
                   const char16_t* src = text;
                   unsigned char* dst = bytesOut;
                   ks::convertUtoUTF7(&src, text + units, &dst, bytesOut + bytesCapacity, 1, 1);
                   return emit(keep, bytesOut, static_cast<std::size_t>(dst - bytesOut));
                 }});
  all.push_back({"ToUtf7_convert/icu_ucnv_fromUChars", textBytes, [=](std::string* keep) {
                   auto* dst = reinterpret_cast<char*>(bytesOut);
                   return emit(keep, dst, checked(icu7->fromUChars(text, units, dst, bytesCapacity), "ucnv_fromUChars"));
                 }});
  all.push_back({"FromUtf7_whole/kwuni_wideFromUtf7", utf7Bytes, [=](std::string* keep) {
                   const std::unique_ptr<char16_t[]> out(ks::wideFromUtf7(utf7, static_cast<int>(utf7Bytes)));
                   return emitTerminated(keep, out.get());
                 }});
  all.push_back({"FromUtf7_whole/icu_ucnv_toUChars", utf7Bytes, [=](std::string* keep) {
                   const std::size_t n = checked(icu7->toUChars(utf7, utf7Bytes, nullptr, 0), "ucnv_toUChars");
                   const std::unique_ptr<char16_t[]> out(new char16_t[n + 1]);
                   return emit(keep, out.get(), checked(icu7->toUChars(utf7, utf7Bytes, out.get(), n + 1), "ucnv_toUChars"));
                 }});
  all.push_back({"FromUtf7_convert/kwuni_convertUTF7toU", utf7Bytes, [=](std::string* keep) {
                   const auto* src = reinterpret_cast<const unsigned char*>(utf7);
                   char16_t* dst = unitsOut;
                   ks::convertUTF7toU(&src, src + utf7Bytes, &dst, unitsOut + unitsCapacity);
                   return emit(keep, unitsOut, static_cast<std::size_t>(dst - unitsOut));
                 }});
  all.push_back({"FromUtf7_convert/icu_ucnv_toUChars", utf7Bytes, [=](std::string* keep) {
                   return emit(keep, unitsOut, checked(icu7->toUChars(utf7, utf7Bytes, unitsOut, unitsCapacity),
                                                    "ucnv_toUChars"));
                 }});
  return all;
}

// Every row gives what it should: the UTF-8 rows ICU's bytes, the UTF-16 rows the text, and ICU's
// UTF-7 decodes to the text on both sides.
void verify(const Inputs& in, const std::vector<Row>& all) {
  const std::string text = asBytes(in.text.data(), in.text.size());
  for (const Row& row : all) {
    std::string out;
    row.run(&out);
    std::string expected;
    if (row.name.starts_with("ToUtf8")) {
      expected = in.utf8;
    } else if (row.name.starts_with("ToUtf7")) {
      std::u16string decoded(in.text.size() + 16, u'\0');
      const int32_t n = in.icuUtf7.toUChars(out.data(), out.size(), decoded.data(), decoded.size());
      decoded.resize(checked(n, "ucnv_toUChars"));
      if (decoded != in.text) fail(row.name + ": ICU does not read the text back from the output");
      continue;
    } else {
      expected = text;
    }
    if (out != expected) fail(row.name + " gives other output than expected");
  }
}

void registerBenchmarks(const std::vector<Row>& all) {
  for (const Row& row : all) {
    benchmark::RegisterBenchmark(row.name.c_str(), [run = row.run, size = row.inputSize](benchmark::State& state) {
      for ([[maybe_unused]] auto _ : state) {
        std::size_t n = run(nullptr);
        benchmark::DoNotOptimize(n);
      }
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
    })->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return EXIT_FAILURE;
  const std::unique_ptr<Inputs> in = makeInputs();
  const std::vector<Row> all = rows(in.get());
  verify(*in, all);
  registerBenchmarks(all);
  benchmark::AddCustomContext("icu", U_ICU_VERSION);
  benchmark::AddCustomContext("input", "32 MiB of UTF-16 (" + std::to_string(in->text.size()) + " units); UTF-8 " +
                                           std::to_string(in->utf8.size()) + " bytes; UTF-7 " +
                                           std::to_string(in->utf7.size()) + " bytes");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return EXIT_SUCCESS;
}
