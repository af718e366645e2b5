// The UTF-8 and UTF-7 codecs: tables of cases both ways, stopping where the target runs out,
// the whole-buffer conversions, ICU as a second opinion on valid text, and the UTF-7 state
// machines fed in pieces.

#include "strings/utf_codecs.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using kwuni::strings::ConversionResult;
using kwuni::strings::Utf7Decoder;
using kwuni::strings::Utf7Encoder;
using Bytes = std::string;

constexpr auto done = ConversionResult::done;
constexpr auto bad = ConversionResult::badSource;
constexpr auto full = ConversionResult::targetFull;

template <typename Out>
struct Outcome {
  ConversionResult result;
  std::basic_string<Out> out;
  std::size_t consumed;
};

// Runs a range converter into a target of `capacity` units followed by a guard that must stay
// untouched.
template <typename Out, typename In, typename Convert>
Outcome<Out> run(const In* in, std::size_t length, std::size_t capacity, Convert convert) {
  constexpr std::size_t guard = 8;
  constexpr Out sentinel = static_cast<Out>(0x5A);
  std::vector<Out> buffer(capacity + guard, sentinel);
  const In* src = in;
  Out* dst = buffer.data();
  const ConversionResult result = convert(&src, in + length, &dst, buffer.data() + capacity);
  EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(capacity), buffer.end(),
                          [&](Out u) { return u == sentinel; }))
      << "written past the target end";
  EXPECT_LE(dst, buffer.data() + capacity);
  return {result, std::basic_string<Out>(buffer.data(), dst), static_cast<std::size_t>(src - in)};
}

Outcome<char> toUtf8(const std::u16string& in, std::size_t capacity) {
  auto convert = [](const WCHAR** s, const WCHAR* e, char** d, char* de) {
    auto* bd = reinterpret_cast<unsigned char*>(*d);
    const auto r = kwuni::strings::convertUtoUTF8(s, e, &bd, reinterpret_cast<unsigned char*>(de));
    *d = reinterpret_cast<char*>(bd);
    return r;
  };
  return run<char>(in.data(), in.size(), capacity, convert);
}
Outcome<char> toUtf8(const std::u16string& in) { return toUtf8(in, 4 * in.size()); }

Outcome<char> toUtf7(const std::u16string& in, std::size_t capacity, int optionalDirect = 1, int closeRuns = 1) {
  auto convert = [&](const WCHAR** s, const WCHAR* e, char** d, char* de) {
    auto* bd = reinterpret_cast<unsigned char*>(*d);
    const auto r = kwuni::strings::convertUtoUTF7(s, e, &bd, reinterpret_cast<unsigned char*>(de), optionalDirect,
                                                  closeRuns);
    *d = reinterpret_cast<char*>(bd);
    return r;
  };
  return run<char>(in.data(), in.size(), capacity, convert);
}

template <typename Convert>
Outcome<char16_t> fromBytes(const Bytes& in, std::size_t capacity, Convert convert) {
  auto adapt = [&](const char** s, const char* e, WCHAR** d, WCHAR* de) {
    const auto* bs = reinterpret_cast<const unsigned char*>(*s);
    const auto r = convert(&bs, reinterpret_cast<const unsigned char*>(e), d, de);
    *s = reinterpret_cast<const char*>(bs);
    return r;
  };
  return run<char16_t>(in.data(), in.size(), capacity, adapt);
}
Outcome<char16_t> fromUtf8(const Bytes& in, std::size_t capacity) {
  return fromBytes(in, capacity, kwuni::strings::convertUTF8toU);
}
Outcome<char16_t> fromUtf8(const Bytes& in) { return fromUtf8(in, in.size()); }
Outcome<char16_t> fromUtf7(const Bytes& in, std::size_t capacity) {
  return fromBytes(in, capacity, kwuni::strings::convertUTF7toU);
}
Outcome<char16_t> fromUtf7(const Bytes& in) { return fromUtf7(in, in.size()); }

// ---- tables of cases -------------------------------------------------------------------------

TEST(UtfCodecs, Utf8EncodesEveryUnitAndPair) {
  struct Case { const char* name; std::u16string in; Bytes out; };
  const Case cases[] = {
      {"ASCII", u"A", "A"},
      {"U+0000", std::u16string(1, u'\0'), Bytes(1, '\0')},
      {"last one-byte", u"\u007F", "\x7F"},
      {"first two-byte", u"\u0080", "\xC2\x80"},
      {"e acute", u"\u00E9", "\xC3\xA9"},
      {"last two-byte", u"\u07FF", "\xDF\xBF"},
      {"first three-byte", u"\u0800", "\xE0\xA0\x80"},
      {"euro", u"\u20AC", "\xE2\x82\xAC"},
      {"U+FFFF", u"\uFFFF", "\xEF\xBF\xBF"},
      {"first pair", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
      {"emoji pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"last pair", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
      {"lone high", u"\xD800", "\xED\xA0\x80"},
      {"lone low", u"\xDC00", "\xED\xB0\x80"},
      {"high before a letter", u"\xD800" u"A", "\xED\xA0\x80" "A"},
      {"high at the end", u"a\xDBFF", "a\xED\xAF\xBF"},
      {"pair reversed", u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD"},
      {"two highs then a low", u"\xD83D\xD83D\xDE00", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
      {"mixed", u"a\u00E9\u20AC\xD83D\xDE00z", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto o = toUtf8(c.in);
    EXPECT_EQ(o.result, done);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.consumed, c.in.size());
  }
}

TEST(UtfCodecs, Utf8DecodesByLeadByteAlone) {
  struct Case { const char* name; Bytes in; std::u16string out; ConversionResult result; std::size_t consumed; };
  const Case cases[] = {
      {"ASCII", "Az", u"Az", done, 2},
      {"e acute", "\xC3\xA9", u"\u00E9", done, 2},
      {"euro", "\xE2\x82\xAC", u"\u20AC", done, 3},
      {"four bytes make a pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00", done, 4},
      {"last code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", done, 4},
      {"surrogate value kept", "\xED\xA0\x80", u"\xD800", done, 3},
      {"overlong two-byte", "\xC1\xBF", u"\u007F", done, 2},
      {"overlong zero", "\xC0\x80", std::u16string(1, u'\0'), done, 2},
      {"overlong three-byte zero", "\xE0\x80\x80", std::u16string(1, u'\0'), done, 3},
      {"trailing byte not checked", "\xC3" "A", u"\u0081", done, 2},
      {"trailing bytes not checked", "\xE2" "AA", u"\u1001", done, 3},
      {"two bytes wrap below zero", Bytes("\xC0\x00", 2), u"\uFFFD", done, 2},
      {"two bytes wrap, then text", "\xC1\x3F" "ab", u"\uFFFDab", done, 4},
      {"three bytes wrap below zero", Bytes("\xE0\x00\x00", 3), u"\uFFFD", done, 3},
      {"two bytes make zero", Bytes("\xC2\x00", 2), std::u16string(1, u'\0'), done, 2},
      {"continuation byte alone", "\x80", u"\u0080", done, 1},
      {"last continuation byte alone", "\xBF", u"\u00BF", done, 1},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", done, 4},
      {"highest four-byte lead", "\xF7\xBF\xBF\xBF", u"\uFFFD", done, 4},
      {"five-byte overlong zero", "\xF8\x80\x80\x80\x80", std::u16string(1, u'\0'), done, 5},
      {"five-byte above U+10FFFF", "\xF8\x88\x80\x80\x80", u"\uFFFD", done, 5},
      {"six-byte overlong zero", "\xFC\x80\x80\x80\x80\x80", std::u16string(1, u'\0'), done, 6},
      {"cut three-byte", "\xE2\x82", u"", bad, 0},
      {"cut after text", "a\xF0\x9F\x98", u"a", bad, 1},
      {"cut six-byte", "\xFC\x80\x80\x80\x80", u"", bad, 0},
      {"lead byte takes an ASCII byte", "\xC3\x41" "b", u"\u0081b", done, 3},
      {"U+0000 in the middle", Bytes("a\xC0\x80" "b", 4), std::u16string(u"a\0b", 3), done, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto o = fromUtf8(c.in, c.in.size() + 1);
    EXPECT_EQ(o.result, c.result);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.consumed, c.consumed);
  }
}

TEST(UtfCodecs, Utf7EncodesWithEachChoiceOfFlags) {
  struct Case { const char* name; std::u16string in; Bytes both, neither, directOnly, closeOnly; };
  const Case cases[] = {
      {"Japanese", u"\u65E5\u672C\u8A9E", "+ZeVnLIqe-", "+ZeVnLIqe", "+ZeVnLIqe", "+ZeVnLIqe-"},
      {"plus alone", u"a+b", "a+-b", "a+-b", "a+-b", "a+-b"},
      {"run before a period", u"A\u2262\u0391.", "A+ImIDkQ-.", "A+ImIDkQ.", "A+ImIDkQ.", "A+ImIDkQ-."},
      {"plus inside a run", u"\u00E9+", "+AOkAKw-", "+AOkAKw", "+AOkAKw", "+AOkAKw-"},
      {"tilde and backslash", u"~\\", "+AH4AXA-", "+AH4AXA", "+AH4AXA", "+AH4AXA-"},
      {"Set O", u"Hi Mom -\u263A-!", "Hi Mom -+Jjo--!", "Hi Mom -+Jjo--+ACE", "Hi Mom -+Jjo--!",
       "Hi Mom -+Jjo--+ACE-"},
      {"run before a digit letter", u"\u00E9a", "+AOk-a", "+AOk-a", "+AOk-a", "+AOk-a"},
      {"run before a slash", u"\u00E9/", "+AOk-/", "+AOk-/", "+AOk-/", "+AOk-/"},
      {"run before a space", u"\u00E9 ", "+AOk- ", "+AOk ", "+AOk ", "+AOk- "},
      {"run before Set O", u"\u00E9!", "+AOk-!", "+AOkAIQ", "+AOk!", "+AOkAIQ-"},
      {"U+0000 and controls", std::u16string(u"\0\x01", 2), "+AAAAAQ-", "+AAAAAQ", "+AAAAAQ", "+AAAAAQ-"},
      {"direct whitespace", u"a\tb\r\n", "a\tb\r\n", "a\tb\r\n", "a\tb\r\n", "a\tb\r\n"},
      {"Set D", u"Az09'(),-./:?", "Az09'(),-./:?", "Az09'(),-./:?", "Az09'(),-./:?", "Az09'(),-./:?"},
      {"lone surrogate", u"\xD800", "+2AA-", "+2AA", "+2AA", "+2AA-"},
      {"emoji pair", u"\xD83D\xDE00", "+2D3eAA-", "+2D3eAA", "+2D3eAA", "+2D3eAA-"},
      {"two pluses", u"++", "+-+-", "+-+-", "+-+-", "+-+-"},
      {"empty", u"", "", "", "", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t room = 8 * c.in.size();
    EXPECT_EQ(toUtf7(c.in, room, 1, 1).out, c.both);
    EXPECT_EQ(toUtf7(c.in, room, 0, 0).out, c.neither);
    EXPECT_EQ(toUtf7(c.in, room, 1, 0).out, c.directOnly);
    EXPECT_EQ(toUtf7(c.in, room, 0, 1).out, c.closeOnly);
    for (const Bytes& encoded : {c.both, c.neither, c.directOnly, c.closeOnly}) {
      const auto back = fromUtf7(encoded);
      EXPECT_EQ(back.out, c.in) << encoded;
      EXPECT_EQ(back.result, done) << encoded;
    }
  }
}

TEST(UtfCodecs, Utf7DecodesAndReportsMalformedRunsWithoutStopping) {
  struct Case { const char* name; Bytes in; std::u16string out; ConversionResult result; };
  const Case cases[] = {
      {"escaped plus", "+-", u"+", done},
      {"Japanese", "+ZeVnLIqe-", u"\u65E5\u672C\u8A9E", done},
      {"run ended by the input", "+ZeVnLIqe", u"\u65E5\u672C\u8A9E", done},
      {"Hi Mom", "Hi Mom -+Jjo--!", u"Hi Mom -\u263A-!", done},
      {"run ended by a period", "A+ImIDkQ.", u"A\u2262\u0391.", done},
      {"pound sign", "Item 3 is +AKM-1.", u"Item 3 is \u00A31.", done},
      {"direct bytes outside Set D and O", "~\\+AOk-", u"~\\\u00E9", done},
      {"dash closes and is consumed", "+AOk--", u"\u00E9-", done},
      {"zero leftover bits", "+AAAA-", std::u16string(1, u'\0'), done},
      {"plus then not a digit", "a+!b", u"a!b", bad},
      {"plus at the end", "a+", u"a", bad},
      {"byte above 0x7F", "\xE9", u"\u00E9", bad},
      {"byte above 0x7F closes a run", "+AOk\xFF", u"\u00E9\u00FF", bad},
      {"digits but no unit", "+Zg-", u"", bad},
      {"one zero digit", "+A-", u"", bad},
      {"nonzero leftover bits", "+AAF-x", u"\u0001x", bad},
      {"decoding goes on after a bad run", "+Zg-ok+AOk-", u"ok\u00E9", bad},
      {"two escapes", "+-+-", u"++", done},
      {"a run right after another", "+AOk-+AOk-", u"\u00E9\u00E9", done}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto o = fromUtf7(c.in);
    EXPECT_EQ(o.result, c.result);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.consumed, c.in.size());
  }
}

// ---- a target that runs out ------------------------------------------------------------------

// Every capacity short of the whole output: the characters that fit are written whole, the one
// that did not is taken from the source, and the result says so.
TEST(UtfCodecs, Utf8StopsAtTheCharacterThatDoesNotFit) {
  struct Piece { std::u16string units; Bytes bytes; };
  const std::vector<Piece> pieces = {{u"a", "a"}, {u"\u00E9", "\xC3\xA9"}, {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
                                     {u"\u20AC", "\xE2\x82\xAC"}, {u"\xD800", "\xED\xA0\x80"}, {u"b", "b"}, {u"c", "c"},
                                     {u"\u0416", "\xD0\x96"}, {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"}};
  std::u16string text;
  Bytes encoded;
  for (const auto& p : pieces) {
    text += p.units;
    encoded += p.bytes;
  }
  for (std::size_t capacity = 0; capacity <= encoded.size(); ++capacity) {
    SCOPED_TRACE(capacity);
    std::size_t units = 0, bytes = 0, next = 0;
    while (next < pieces.size() && bytes + pieces[next].bytes.size() <= capacity) {
      units += pieces[next].units.size();
      bytes += pieces[next++].bytes.size();
    }
    const bool fits = next == pieces.size();
    const auto enc = toUtf8(text, capacity);
    EXPECT_EQ(enc.result, fits ? done : full);
    EXPECT_EQ(enc.out, encoded.substr(0, bytes));
    EXPECT_EQ(enc.consumed, fits ? units : units + pieces[next].units.size());
  }
  for (std::size_t capacity = 0; capacity <= text.size(); ++capacity) {
    SCOPED_TRACE(capacity);
    std::size_t units = 0, bytes = 0, next = 0;
    while (next < pieces.size() && units + pieces[next].units.size() <= capacity) {
      units += pieces[next].units.size();
      bytes += pieces[next++].bytes.size();
    }
    const bool fits = next == pieces.size();
    const auto dec = fromUtf8(encoded, capacity);
    EXPECT_EQ(dec.result, fits ? done : full);
    EXPECT_EQ(dec.out, text.substr(0, units));
    EXPECT_EQ(dec.consumed, fits ? bytes : bytes + pieces[next].bytes.size());
  }
}

TEST(UtfCodecs, Utf7StopsAtTheUnitThatDoesNotFit) {
  struct Case { const char* name; std::u16string in; std::size_t capacity; Bytes out; std::size_t consumed; };
  const Case cases[] = {{"run opening does not fit", u"\u65E5\u672C", 2, "", 1},
                        {"first unit fits", u"\u65E5\u672C", 3, "+Ze", 2},
                        {"closing does not fit", u"\u65E5", 3, "+Ze", 1},
                        {"escape does not fit", u"a+", 2, "a", 2},
                        {"direct after a run", u"\u00E9a", 5, "+AO", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto o = toUtf7(c.in, c.capacity);
    EXPECT_EQ(o.result, full);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.consumed, c.consumed);
  }
  const std::u16string text = u"Hi \u263A+\u00E9 ~x \u65E5\u672C\u8A9E!";
  const Bytes whole = toUtf7(text, 8 * text.size()).out;
  for (std::size_t capacity = 0; capacity <= whole.size(); ++capacity) {
    const auto o = toUtf7(text, capacity);
    EXPECT_EQ(o.result, capacity < whole.size() ? full : done) << capacity;
    EXPECT_EQ(o.out, whole.substr(0, o.out.size())) << capacity;
  }
}

TEST(UtfCodecs, Utf7DecodingStopsPastTheByteWhoseUnitDoesNotFit) {
  struct Case { const char* name; Bytes in; std::size_t capacity; std::u16string out; std::size_t consumed; ConversionResult result; };
  const Case cases[] = {{"direct byte", "ab", 1, u"a", 2, full},
                        {"escape", "+-", 0, u"", 2, full},
                        {"unit completed by the third digit", "+AGE-", 0, u"", 4, full},
                        {"dash needs no room", "+AGE-", 1, u"a", 5, done},
                        {"bad run needs no room", "a+", 1, u"a", 2, bad}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto o = fromUtf7(c.in, c.capacity);
    EXPECT_EQ(o.result, c.result);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.consumed, c.consumed);
  }
}

// ---- whole buffers -------------------------------------------------------------------------

TEST(UtfCodecs, WholeBufferConversionsEndAtTheFirstZero) {
  using kwuni::strings::utf7FromWide;
  using kwuni::strings::utf8FromWide;
  using kwuni::strings::wideFromUtf7;
  using kwuni::strings::wideFromUtf8;
  const auto narrow = [](char* p) { return std::unique_ptr<char[]>(p); };
  const auto wide = [](WCHAR* p) {
    const std::u16string text(p);
    EXPECT_EQ(p[text.size() + 1], 0) << "spare unit";
    delete[] p;
    return text;
  };
  const std::u16string withZero(u"a\0b", 3);
  EXPECT_STREQ(narrow(utf8FromWide(u"a\u00E9\xD83D\xDE00", 4)).get(), "a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_STREQ(narrow(utf8FromWide(withZero.data(), 3)).get(), "a");
  EXPECT_STREQ(narrow(utf8FromWide(u"abc", 2)).get(), "ab");
  EXPECT_STREQ(narrow(utf8FromWide(u"abc", 0)).get(), "");
  EXPECT_STREQ(narrow(utf8FromWide(u"abc", -1)).get(), "");
  EXPECT_STREQ(narrow(utf7FromWide(u"\u65E5\u672C\u8A9E!", 4)).get(), "+ZeVnLIqe-!");
  EXPECT_STREQ(narrow(utf7FromWide(withZero.data(), 3)).get(), "a+AAA-b");  // the zero is encoded
  EXPECT_STREQ(narrow(utf7FromWide(u"x", -5)).get(), "");
  EXPECT_EQ(wide(wideFromUtf8("a\xC0\x80" "b", 4)), u"a");
  EXPECT_EQ(wide(wideFromUtf8("\xF0\x9F\x98\x80z\xE2\x82", 7)), u"\xD83D\xDE00z");
  EXPECT_EQ(wide(wideFromUtf8("abc", 0)), u"");
  EXPECT_EQ(wide(wideFromUtf8("abc", -3)), u"");
  EXPECT_EQ(wide(wideFromUtf7("+ZeVnLIqe", 9)), u"\u65E5\u672C\u8A9E");
  EXPECT_EQ(wide(wideFromUtf7("a+AAA-b", 7)), u"a");
  EXPECT_EQ(wide(wideFromUtf7("a+!b", 4)), u"a!b");
  EXPECT_EQ(wide(wideFromUtf7("+-", 0)), u"");
}

// ---- random text, and ICU as a second opinion ----------------------------------------------

// Valid UTF-16 drawn from several scripts, with supplementary characters and an occasional U+0000.
std::u16string randomText(std::mt19937& random, std::size_t characters, bool zeros) {
  struct Range { std::uint32_t first, last; };
  static const Range ranges[] = {{0x20, 0x7E},       {0x09, 0x0D},       {0xA0, 0xFF},       {0x370, 0x3FF},
                                 {0x400, 0x4FF},     {0x4E00, 0x9FFF},   {0xAC00, 0xD7A3},   {0xE000, 0xFFFF},
                                 {0x1F300, 0x1FAFF}, {0x20000, 0x2A6DF}, {0x10000, 0x10FFFF}};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(ranges) - 1 + (zeros ? 1 : 0));
  std::u16string text;
  while (characters-- > 0) {
    const std::size_t r = pick(random);
    if (r == std::size(ranges)) {
      text += u'\0';
      continue;
    }
    const std::uint32_t c = std::uniform_int_distribution<std::uint32_t>(ranges[r].first, ranges[r].last)(random);
    if (c < 0x10000) {
      text += static_cast<char16_t>(c);
    } else {
      text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return text;
}

Bytes icuUtf8(const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  Bytes out(static_cast<std::size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), length, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  return out;
}

struct IcuUtf7 {
  std::unique_ptr<UConverter, decltype(&ucnv_close)> cnv{nullptr, ucnv_close};
  IcuUtf7() {
    UErrorCode status = U_ZERO_ERROR;
    cnv.reset(ucnv_open("UTF-7", &status));
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }
  Bytes encode(const std::u16string& text) const {
    Bytes out(8 * text.size() + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv.get(), out.data(), static_cast<int32_t>(out.size()), text.data(),
                                      static_cast<int32_t>(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  std::u16string decode(const Bytes& bytes) const {
    std::u16string out(bytes.size() + 8, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(cnv.get(), out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
};

TEST(UtfCodecs, Utf8AgreesWithIcuOnValidText) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    const std::u16string text = randomText(random, static_cast<std::size_t>(round % 97) * 3, true);
    SCOPED_TRACE(round);
    const Bytes icu = icuUtf8(text);
    const auto ours = toUtf8(text);
    ASSERT_EQ(ours.result, done);
    ASSERT_EQ(ours.out, icu);
    const auto back = fromUtf8(icu, text.size());  // an exact-size target
    ASSERT_EQ(back.result, done);
    ASSERT_EQ(back.out, text);
  }
}

// ASCII goes a group of units at a time: one other character at every place in and around a group.
TEST(UtfCodecs, Utf8ReadsAndWritesAsciiGroupsCutAnywhere) {
  for (const std::u16string other : {u"\u00E9", u"\u4E00", u"\xD83D\xDE00", u"\xD800"}) {
    for (std::size_t at = 0; at <= 40; ++at) {
      std::u16string text(40, u'a');
      text.insert(at, other);
      const auto encoded = toUtf8(text, 3 * text.size() + 3);  // one block, no checked tail
      const auto exact = toUtf8(text, encoded.out.size());
      EXPECT_EQ(exact.out, encoded.out) << at;
      if (other != u"\xD800") {
        EXPECT_EQ(encoded.out, icuUtf8(text)) << at;
      }
      EXPECT_EQ(fromUtf8(encoded.out).out, text) << at;
    }
  }
}

TEST(UtfCodecs, Utf7AgreesWithIcuOnValidText) {
  const IcuUtf7 icu;
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::u16string text = randomText(random, static_cast<std::size_t>(round % 53), true);
    // Runs of ASCII between the runs of other scripts, pluses and dashes among them.
    text.insert(std::min(text.size(), static_cast<std::size_t>(round % 7)), round % 3 ? u"+-a/ -" : u"x~!");
    SCOPED_TRACE(round);
    for (int flags = 0; flags < 4; ++flags) {
      const auto ours = toUtf7(text, 8 * text.size(), flags & 1, flags >> 1);
      ASSERT_EQ(ours.result, done);
      ASSERT_EQ(icu.decode(ours.out), text) << ours.out;
    }
    const Bytes theirs = icu.encode(text);
    const auto back = fromUtf7(theirs, text.size());
    ASSERT_EQ(back.result, done) << theirs;
    ASSERT_EQ(back.out, text) << theirs;
  }
}

TEST(UtfCodecs, WholeBuffersRoundTripTextWithoutZeros) {
  std::mt19937 random(99);
  for (int round = 0; round < 100; ++round) {
    const std::u16string text = randomText(random, static_cast<std::size_t>(round) * 5, false);
    const auto count = static_cast<int>(text.size());
    const std::unique_ptr<char[]> utf8(kwuni::strings::utf8FromWide(text.data(), count));
    const std::unique_ptr<char[]> utf7(kwuni::strings::utf7FromWide(text.data(), count));
    const std::unique_ptr<WCHAR[]> from8(
        kwuni::strings::wideFromUtf8(utf8.get(), static_cast<int>(std::strlen(utf8.get()))));
    const std::unique_ptr<WCHAR[]> from7(
        kwuni::strings::wideFromUtf7(utf7.get(), static_cast<int>(std::strlen(utf7.get()))));
    EXPECT_EQ(std::u16string(from8.get()), text) << round;
    EXPECT_EQ(std::u16string(from7.get()), text) << round;
  }
}

// ---- the UTF-7 state machines in pieces ------------------------------------------------------

// Bytes heavy in what UTF-7 treats specially, so that runs open and close often and go wrong.
Bytes randomUtf7Bytes(std::mt19937& random, std::size_t length) {
  static const char alphabet[] = "++++---AAAgZe09/.!~ \xE9\x80";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  Bytes b;
  while (length-- > 0) b += alphabet[pick(random)];
  return b;
}

TEST(UtfCodecs, Utf7StateMachinesInPiecesMatchWholeConversion) {
  std::mt19937 random(31337);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const Bytes input = round % 2 ? randomUtf7Bytes(random, static_cast<std::size_t>(round % 40))
                                  : toUtf7(randomText(random, static_cast<std::size_t>(round % 30), true), 512).out;
    const auto whole = fromUtf7(input);
    // Chunks of random length; the state goes from one to the next.
    Utf7Decoder decoder;
    std::u16string pieces;
    bool malformed = false;
    for (std::size_t at = 0; at < input.size();) {
      const std::size_t chunk = std::min(input.size() - at, std::uniform_int_distribution<std::size_t>(1, 6)(random));
      for (std::size_t i = at; i < at + chunk; ++i) {
        const auto step = decoder.step(static_cast<unsigned char>(input[i]));
        malformed = malformed || step.malformed;
        if (step.hasUnit) pieces += step.unit;
      }
      at += chunk;
    }
    malformed = decoder.finish() || malformed;
    EXPECT_EQ(pieces, whole.out) << input;
    EXPECT_EQ(malformed, whole.result == bad) << input;
    EXPECT_FALSE(decoder.inRun);

    const std::u16string text = randomText(random, static_cast<std::size_t>(round % 25), true) + u"+a";
    for (int flags = 0; flags < 4; ++flags) {
      Utf7Encoder encoder;
      encoder.optionalDirect = (flags & 1) != 0;
      encoder.closeRuns = (flags >> 1) != 0;
      Bytes stepped;
      unsigned char out[Utf7Encoder::maxStepBytes];
      for (const char16_t unit : text) {
        const int n = encoder.step(unit, out);
        ASSERT_LE(n, Utf7Encoder::maxStepBytes);
        stepped.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
      }
      const int n = encoder.finish(out);
      ASSERT_LE(n, Utf7Encoder::maxFinishBytes);
      stepped.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
      EXPECT_EQ(stepped, toUtf7(text, 8 * text.size(), flags & 1, flags >> 1).out);
    }
  }
}

// Decoding, encoding and decoding again gives the same text, for any bytes.
TEST(UtfCodecs, ArbitraryBytesSettleAfterOneRoundTrip) {
  std::mt19937 random(4242);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 500; ++round) {
    Bytes input = round % 2 ? randomUtf7Bytes(random, static_cast<std::size_t>(round % 50)) : Bytes();
    for (std::size_t i = 0, n = static_cast<std::size_t>(round % 40); i < n; ++i) input += static_cast<char>(byte(random));
    const auto text8 = fromUtf8(input).out;
    EXPECT_EQ(fromUtf8(toUtf8(text8).out).out, text8) << round;
    const auto text7 = fromUtf7(input).out;
    const auto again = fromUtf7(toUtf7(text7, 8 * text7.size()).out);
    EXPECT_EQ(again.out, text7) << round;
    EXPECT_EQ(again.result, done) << round;
  }
}

}  // namespace
