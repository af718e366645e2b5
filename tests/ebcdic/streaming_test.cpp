// Decoder and Encoder: the same output whatever the chunk sizes, going on after a stop,
// composition, records and new-lines, round trips through the built tables and against ICU.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "ebcdic/kernel_level.h"
#include "tests/support.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kwuni::ConversionOptions;
using kwuni::Decoder;
using kwuni::Encoder;
using kwuni::Encoding;
using velmora::EBCDICTranscoders;
using Bytes = std::vector<BYTE>;
using Plan = std::vector<std::size_t>;  // chunk sizes; the last chunk is passed with last = true

using StreamTest = kwuni::test::BuildTables<>;
using StreamChunking = StreamTest;
using StreamStop = StreamTest;
using StreamCompose = StreamTest;
using StreamRoundTrip = StreamTest;
using StreamLayout = StreamTest;
using StreamEncoding = StreamTest;

Bytes sample(const std::string& name) {
  std::ifstream in(std::string(KWUNI_SAMPLES_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << name;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

ConversionOptions options(bool stop, bool newLines = false, std::size_t record = 0) {
  return ConversionOptions{{newLines, record}, stop};
}

// Whole, a unit at a time (then an empty last chunk), and random sizes with empty chunks between.
std::vector<Plan> plans(std::size_t n, unsigned seed) {
  std::vector<Plan> all{{n}, Plan(n, 1)};
  all[1].push_back(0);
  std::mt19937 random(seed);
  for (const std::size_t most : {7u, 300u}) {
    Plan plan;
    for (std::size_t left = n; left > 0;) {
      const std::size_t k = random() % 10 == 0 ? 0 : std::min<std::size_t>(left, 1 + random() % most);
      plan.push_back(k);
      left -= k;
    }
    if (plan.empty()) plan.push_back(0);
    all.push_back(plan);
  }
  return all;
}

// What a conversion gave: output (UTF-8, UTF-16 code units or host bytes, as bytes), offsets,
// counts, the problems met in order and the text of a ConversionError.
struct Outcome {
  std::string out;
  std::vector<std::uint64_t> offsets;
  std::uint64_t characters = 0, substitutions = 0;
  std::vector<std::string> problems;
  std::vector<std::pair<std::uint64_t, std::size_t>> spans;
  std::string error;
};

void expectSame(const Outcome& a, const Outcome& b) {
  const auto [where, _] = std::mismatch(a.out.begin(), a.out.end(), b.out.begin(), b.out.end());
  EXPECT_EQ(a.out, b.out) << "first difference at " << (where - a.out.begin());
  EXPECT_EQ(a.offsets, b.offsets);
  EXPECT_EQ(a.characters, b.characters);
  EXPECT_EQ(a.substitutions, b.substitutions);
  EXPECT_EQ(a.problems, b.problems);
  EXPECT_EQ(a.error, b.error);
}

// Feeds input[0, total) to convert(from, count, last) in the plan's chunks, calling again with
// the rest after each stop.
template <typename Converter, typename Convert>
void feed(const Plan& plan, Converter& converter, Outcome& outcome, Convert convert) {
  std::size_t pos = 0;
  try {
    for (std::size_t k = 0; k < plan.size(); ++k) {
      const std::size_t end = pos + plan[k];
      for (int calls = 0;; ++calls) {
        ASSERT_LT(calls, 100000) << "no progress at " << pos;
        const std::size_t used = convert(pos, end - pos, k + 1 == plan.size());
        ASSERT_LE(used, end - pos) << "a call used more than it was given";
        if (const auto& p = converter.problem()) {
          outcome.problems.push_back(std::to_string(p->offset) + "+" + std::to_string(p->length) + " " + p->description);
          outcome.spans.emplace_back(p->offset, p->length);
        } else {
          ASSERT_EQ(used, end - pos) << "a call that did not stop used less than it was given";
        }
        pos += used;
        if (!converter.problem()) break;  // after a stop the converter may still hold bytes
      }
    }
  } catch (const kwuni::ConversionError& e) {
    outcome.error = e.what();
  }
  outcome.characters = converter.counts().characters;
  outcome.substitutions = converter.counts().substitutions;
}

enum class Form { utf8, utf16, located };

Outcome decode(const std::string& from, const ConversionOptions& opts, const Bytes& input, Form form,
               const Plan& plan) {
  Decoder decoder(Encoding(from), opts);
  Outcome o;
  std::u16string wide;
  feed(plan, decoder, o, [&](std::size_t at, std::size_t n, bool last) {
    const std::span<const BYTE> piece(input.data() + at, n);
    if (form == Form::utf8) return decoder.decode(piece, o.out, last);
    kwuni::AppendTo<std::u16string> sink(wide);
    return decoder.decode(piece, sink, last, form == Form::located ? &o.offsets : nullptr);
  });
  if (form != Form::utf8) o.out.assign(reinterpret_cast<const char*>(wide.data()), 2 * wide.size());
  return o;
}

template <typename Text>
Outcome encode(const std::string& to, const ConversionOptions& opts, const Text& input, const Plan& plan) {
  Encoder encoder(Encoding(to), opts);
  Outcome o;
  Bytes out;
  const std::basic_string_view<typename Text::value_type> all(input);
  feed(plan, encoder, o, [&](std::size_t at, std::size_t n, bool last) {
    return encoder.encode(all.substr(at, n), out, last);
  });
  o.out = text(out);
  return o;
}

// Whether a combining mark (U+0300 to U+036F, U+3099, U+309A) stands at the offset.
bool startsWithMark(const std::u16string& text, std::size_t at) {
  return at < text.size() && ((text[at] >= 0x0300 && text[at] <= 0x036F) || text[at] == 0x3099 || text[at] == 0x309A);
}
bool startsWithMark(const std::string& utf8, std::size_t at) {
  const auto byte = [&](std::size_t k) { return at + k < utf8.size() ? static_cast<unsigned char>(utf8[at + k]) : 0u; };
  const bool latinMark = (byte(0) == 0xCC && byte(1) >= 0x80 && byte(1) <= 0xBF) ||
                         (byte(0) == 0xCD && byte(1) >= 0x80 && byte(1) <= 0xAF);
  return latinMark || (byte(0) == 0xE3 && byte(1) == 0x82 && (byte(2) == 0x99 || byte(2) == 0x9A));
}

template <typename Seq>
Seq without(const Seq& in, const std::vector<std::pair<std::uint64_t, std::size_t>>& spans) {
  Seq out;
  std::size_t pos = 0;
  for (const auto& [at, length] : spans) {
    EXPECT_LE(pos, at) << "problems out of order";
    if (at < pos || at + length > in.size()) return out;
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(pos), in.begin() + static_cast<std::ptrdiff_t>(at));
    pos = at + length;
  }
  out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(pos), in.end());
  return out;
}

std::string toUtf8(const std::u16string& s) {
  std::string out(4 * s.size() + 1, '\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, s.data(), static_cast<int32_t>(s.size()),
                     0xFFFD, nullptr, &status);
  EXPECT_TRUE(U_SUCCESS(status));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// Host data as it comes: single bytes, runs of double-byte codes of the table (now and then an
// unmapped one, a run left open), stray shift bytes, unmapped bytes, and maybe a lead byte at the end.
Bytes randomHost(short ccsid, unsigned seed, std::size_t size) {
  const auto& table = EBCDICTranscoders::instance().transcoder(ccsid);
  std::vector<WORD> doubles, badDoubles;
  Bytes badSingles;
  for (unsigned b = 0; b < 256; ++b) {
    bool unmapped = false;
    table.EtoU(static_cast<WORD>(b), &unmapped);
    if (unmapped && b != 0x0E && b != 0x0F) badSingles.push_back(static_cast<BYTE>(b));
  }
  for (unsigned code = 0x4141; code < 0xFEFF && table.isMixed(); ++code) {
    if ((code & 0xFF) < 0x41 || (code & 0xFF) == 0xFF) continue;
    bool unmapped = false;
    table.EtoU(static_cast<WORD>(code), &unmapped);
    (unmapped ? badDoubles : doubles).push_back(static_cast<WORD>(code));
  }
  std::mt19937 random(seed);
  const auto pick = [&](const auto& from) { return from[random() % from.size()]; };
  Bytes out;
  while (out.size() < size) {
    switch (random() % 6) {
      case 0:
      case 1:
        for (auto k = random() % 8; k > 0; --k) out.push_back(static_cast<BYTE>(0x40 + random() % 0xBF));
        break;
      case 2:
        out.push_back(0x0E);
        for (auto k = 1 + random() % 10; k > 0; --k) {
          const WORD code = doubles.empty() ? 0x4040 : random() % 8 == 0 && !badDoubles.empty() ? pick(badDoubles) : pick(doubles);
          out.push_back(static_cast<BYTE>(code >> 8));
          out.push_back(static_cast<BYTE>(code));
        }
        if (random() % 4 != 0) out.push_back(0x0F);
        break;
      case 3: out.push_back(random() % 2 == 0 ? 0x0F : 0x0E); break;
      case 4: if (!badSingles.empty()) out.push_back(pick(badSingles)); break;
      default: out.push_back(random() % 2 == 0 ? 0x15 : 0x40);
    }
  }
  if (seed % 2 == 1 && !doubles.empty()) out.insert(out.end(), {0x0E, static_cast<BYTE>(pick(doubles) >> 8)});
  return out;
}

// The random host data read back, with composable and unmappable pieces and lone surrogates mixed in.
std::u16string randomText(short ccsid, unsigned seed, bool loneSurrogates) {
  std::u16string base, out;
  Decoder(Encoding(std::to_string(ccsid))).decode(randomHost(ccsid, seed, 1500), base, true);
  const std::u16string extras[] = {u"e\u0301", u"x\u0301", u"\u0301", u"A\u030A", u"\u212B", u"\U0001F600",
                                   u"\r\n", u"\u00E9", u"\u4E00", u"z\u0301", u"\n", u"\xD800", u"a\xDC00"};
  std::mt19937 random(seed);
  for (const char16_t c : base) {
    out += c;
    if (random() % 16 == 0) out += extras[random() % (loneSurrogates ? 13 : 11)];
  }
  return out;
}

// Malformed UTF-8 pieces: overlong forms, surrogates, above U+10FFFF, stray continuation bytes,
// sequences cut short (one at the very end).
std::string randomUtf8(short ccsid, unsigned seed) {
  const std::string good = toUtf8(randomText(ccsid, seed, false));
  const char* bad[] = {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE3\x81", "\xF0\x9F\x98", "\xFF"};
  std::mt19937 random(seed);
  std::string out;
  for (const char c : good) {
    out += c;
    if ((c & 0xC0) != 0x80 && random() % 40 == 0) out += bad[random() % std::size(bad)];
  }
  return out + "\xE6\x97";
}

struct DecodeCase { const char* name; std::string from; bool newLines; std::size_t record; Bytes input; };
struct EncodeCase { const char* name; std::string to; bool newLines; std::size_t record; std::u16string wide; std::string utf8; };

std::vector<DecodeCase> decodeCases() {
  std::vector<DecodeCase> cases{
      {"orders", "930", true, 0, sample("orders.cp930")},
      {"customers", "37", false, 80, sample("customers.cp37")},
      {"malformed UTF-8", "UTF-8", false, 0, bytes("a\xC0\x80 \xE0\x80\x80 \xED\xA0\x80 \xF4\x90\x80\x80 \x80\xE3\x81 \xF0\x9F\x98\x80 \xE6\x97")},
      {"lone surrogates", "UTF-16LE", false, 0, {0x41, 0, 0x00, 0xD8, 0x42, 0, 0x00, 0xDC, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8}},
      {"odd UTF-16", "UTF-16BE", false, 0, {0, 0x41, 0xD8, 0x3D, 0xDE, 0x00, 0x00}},
      {"odd host UTF-16", "13488", true, 0, {0, 0x41, 0, 0x85, 0x4E}},
      {"lead byte at the end", "930", false, 0, {0xC1, 0x0E, 0x45, 0x41, 0x45}},
      // Runs crossing every chunk boundary, an escaped plus, a pair split over a run, a run left
      // open at the end, a byte above 0x7F, runs with bits left over or no unit at all.
      {"UTF-7", "UTF-7", false, 0,
       bytes("Hi Mom -+Jjo--! +ZeVnLIqe- a+-b +AH4AXA- +2D3eAA- \xE9 +Zg- a+!b +2D3-x +ZeVnLIqe")}};
  for (const short ccsid : {short{930}, short{939}, short{1390}, short{37}}) {
    for (unsigned seed : {1u, 2u}) cases.push_back({"random", std::to_string(ccsid), seed == 2, 0, randomHost(ccsid, seed, 3000)});
  }
  cases.push_back({"random records", "930", false, 37, randomHost(930, 3, 3000)});
  return cases;
}

std::vector<EncodeCase> encodeCases() {
  const auto orders = text(sample("orders.txt")), customers = text(sample("customers.txt"));
  std::vector<EncodeCase> cases{
      {"orders", "930", true, 0, {}, orders},
      {"customers", "37", false, 80, {}, customers},
      {"lone surrogates", "37", false, 0, u"A\xD800" u"B\xDC00\xD83D\xDE00\xD800", {}},
      {"malformed UTF-8", "930", false, 0, {}, "a\xC0\x80\xED\xA0\x80\xE4\xB8\x80\x80\xF4\x90\x80\x80\xE3\x81"},
      {"UTF-7", "UTF-7", false, 0, u"Hi 日本語 a+b ~\\ \U0001F600 \xD800 x 日本", "a+b 日本語 ~ \xF0\x9F\x98\x80 \xE6\x97"}};
  for (const short ccsid : {short{930}, short{939}, short{1390}, short{37}}) {
    cases.push_back({"random", std::to_string(ccsid), ccsid == 939, 0, randomText(ccsid, 5, true), randomUtf8(ccsid, 6)});
  }
  cases.push_back({"random records", "930", false, 400, randomText(930, 7, false), {}});
  return cases;
}

TEST_F(StreamChunking, DecodersGiveTheSameWhateverTheChunks) {
  for (const auto& c : decodeCases()) {
    for (const bool stop : {false, true}) {
      for (const Form form : {Form::utf8, Form::utf16, Form::located}) {
        SCOPED_TRACE(c.name + (" " + c.from) + (stop ? " stop" : "") + " form " + std::to_string(int(form)));
        const auto opts = options(stop, c.newLines, c.record);
        const auto all = plans(c.input.size(), static_cast<unsigned>(c.input.size()));
        const Outcome whole = decode(c.from, opts, c.input, form, all[0]);
        for (std::size_t k = 1; k < all.size(); ++k) {
          SCOPED_TRACE("plan " + std::to_string(k));
          expectSame(decode(c.from, opts, c.input, form, all[k]), whole);
        }
        if (form != Form::located) continue;
        EXPECT_EQ(whole.offsets.size(), whole.out.size() / 2);
        EXPECT_TRUE(std::is_sorted(whole.offsets.begin(), whole.offsets.end()));
        if (whole.error.empty() && !stop) {
          std::u16string wide(whole.out.size() / 2, u'\0');
          std::memcpy(wide.data(), whole.out.data(), whole.out.size());
          if (std::none_of(wide.begin(), wide.end(), [](char16_t u) { return u >= 0xD800 && u < 0xE000; })) {
            EXPECT_EQ(toUtf8(wide), decode(c.from, opts, c.input, Form::utf8, all[0]).out) << "UTF-8 and UTF-16 agree";
          }
        }
      }
    }
  }
}

TEST_F(StreamChunking, EncodersGiveTheSameWhateverTheChunks) {
  for (const auto& c : encodeCases()) {
    for (const bool stop : {false, true}) {
      SCOPED_TRACE(c.name + (" " + c.to) + (stop ? " stop" : ""));
      const auto opts = options(stop, c.newLines, c.record);
      if (!c.wide.empty()) {
        const auto all = plans(c.wide.size(), 11);
        const Outcome whole = encode(c.to, opts, c.wide, all[0]);
        for (std::size_t k = 1; k < all.size(); ++k) expectSame(encode(c.to, opts, c.wide, all[k]), whole);
      }
      if (!c.utf8.empty()) {
        const auto all = plans(c.utf8.size(), 12);
        const Outcome whole = encode(c.to, opts, c.utf8, all[0]);
        for (std::size_t k = 1; k < all.size(); ++k) expectSame(encode(c.to, opts, c.utf8, all[k]), whole);
      }
    }
  }
}

TEST_F(StreamChunking, MalformedInputEndsTheSameWhateverTheChunks) {
  struct Case { std::string from; Bytes in; std::u16string expected; std::string error; };
  const Case cases[] = {
      {"UTF-8", bytes("\xC0\x80" "A"), u"\uFFFD\uFFFDA", ""},
      {"UTF-8", bytes("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD", ""},
      {"UTF-8", bytes("\xED\xA0\x80" "B"), u"\uFFFD\uFFFD\uFFFDB", ""},
      {"UTF-8", bytes("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD", ""},
      {"UTF-8", bytes("\xE3\x81" "A\xF0\x9F\x98"), u"\uFFFDA\uFFFD", ""},
      {"UTF-16LE", {0x41, 0, 0x3D, 0xD8, 0x42}, u"A\xD83D", "odd length (5 bytes): UTF-16 data comes in pairs of bytes"},
      {"930", {0xC1, 0x0E, 0x45, 0x41, 0x45}, u"A\u4E00\u3000", ""},
      {"UTF-7", bytes("+ZeVnLIqe"), u"日本語", ""},
      {"UTF-7", bytes("\xE9+Zg-+-"), u"é+", ""}};
  for (const auto& c : cases) {
    for (const auto& plan : plans(c.in.size(), 3)) {
      const Outcome o = decode(c.from, {}, c.in, Form::utf16, plan);
      EXPECT_EQ(o.out, std::string(reinterpret_cast<const char*>(c.expected.data()), 2 * c.expected.size())) << c.from;
      EXPECT_EQ(o.error, c.error) << c.from;
    }
  }
}

// After each stop, the rest gives what substitute mode gives for the input without the problems.
TEST_F(StreamStop, GoingOnAfterEachProblemSkipsJustTheProblems) {
  for (const auto& c : decodeCases()) {
    if (c.record != 0) continue;
    SCOPED_TRACE(c.name + (" " + c.from));
    const auto opts = options(true, c.newLines);
    const Outcome substituted = decode(c.from, options(false, c.newLines), c.input, Form::utf16, {c.input.size()});
    for (const auto& plan : plans(c.input.size(), 5)) {
      const Outcome stopped = decode(c.from, opts, c.input, Form::utf16, plan);
      if (!stopped.error.empty()) continue;
      EXPECT_EQ(stopped.problems.size(), substituted.substitutions);
      // A UTF-7 problem is the byte that ends a malformed run: without it, what follows would
      // join the run.
      if (c.from == "UTF-7") continue;
      const Bytes rest = without(c.input, stopped.spans);
      const Outcome clean = decode(c.from, options(false, c.newLines), rest, Form::utf16, {rest.size()});
      EXPECT_EQ(clean.substitutions, 0u);
      EXPECT_EQ(stopped.out, clean.out);
    }
  }
  for (const auto& c : encodeCases()) {
    SCOPED_TRACE(c.name + (" " + c.to));
    const auto plain = options(false, c.newLines, c.record);
    const auto check = [&](const auto& input) {
      if (input.empty()) return;
      const Outcome substituted = encode(c.to, plain, input, {input.size()});
      for (const auto& plan : plans(input.size(), 9)) {
        const Outcome stopped = encode(c.to, options(true, c.newLines, c.record), input, plan);
        EXPECT_EQ(stopped.problems.size(), substituted.substitutions);
        const auto rest = without(input, stopped.spans);
        const Outcome clean = encode(c.to, plain, rest, {rest.size()});
        EXPECT_EQ(clean.substitutions, 0u);
        // A mark right after a problem has nothing to compose with, unlike in the text without it.
        const bool markAfterProblem = std::any_of(stopped.spans.begin(), stopped.spans.end(), [&](const auto& span) {
          return startsWithMark(input, static_cast<std::size_t>(span.first + span.second));
        });
        if (!markAfterProblem) {
          EXPECT_EQ(stopped.out, clean.out);
        }
      }
    };
    check(c.wide);
    check(c.utf8);
  }
}

TEST_F(StreamStop, ProblemsNameTheirPlaceInTheWholeStream) {
  struct Case { const char* name; std::string from; Plan plan; Bytes in; std::vector<std::string> problems; std::u16string out; };
  const Case cases[] = {
      {"third chunk", "930", {2, 2, 3}, {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xEF, 0xC6}, {"5+1 byte 0xEF has no mapping in CCSID 930"}, u"ABCDEF"},
      {"double-byte code across chunks", "930", {3, 1, 2}, {0xC1, 0x0E, 0xE1, 0xE3, 0x0F, 0xC2},
       {"2+2 double-byte code 0xE1E3 has no mapping in CCSID 930"}, u"AB"},
      {"lead byte at the end", "930", {2, 1, 0}, {0xC1, 0x0E, 0x45},
       {"2+1 double-byte character 0x45 cut off by the end of the input"}, u"A"},
      {"cut UTF-8", "UTF-8", {1, 1, 1, 1}, bytes("ab\xE3\x81"), {"2+2 UTF-8 sequence 0xE3 0x81 cut short by the end of the input"}, u"ab"}};
  for (const auto& c : cases) {
    const Outcome o = decode(c.from, options(true), c.in, Form::utf16, c.plan);
    EXPECT_EQ(o.problems, c.problems) << c.name;
    EXPECT_EQ(o.out, std::string(reinterpret_cast<const char*>(c.out.data()), 2 * c.out.size())) << c.name;
  }
  // A stop at the end of one stream leaves nothing behind for the next.
  Decoder decoder(Encoding("930"), options(true));
  std::u16string out;
  decoder.decode(Bytes{0x0E, 0x45}, out, true);
  ASSERT_TRUE(decoder.problem());
  decoder.decode(Bytes{0xC1}, out, true);
  EXPECT_EQ(out, u"A");
  EXPECT_FALSE(decoder.problem());
}

TEST_F(StreamStop, RecordsStayWholeAcrossAStop) {
  const Outcome read = decode("930", options(true, false, 4), {0xC1, 0xEF, 0xC2, 0x40, 0xC3, 0x40, 0x40, 0x40}, Form::utf8, {8});
  EXPECT_EQ(read.out, "AB\nC\n");
  EXPECT_EQ(read.problems, std::vector<std::string>{"1+1 byte 0xEF has no mapping in CCSID 930"});
  const Outcome written = encode("37", options(true, false, 6), std::u16string(u"AB\u4E00C\nD"), {6});
  EXPECT_EQ(written.out, text({0xC1, 0xC2, 0xC3, 0x40, 0x40, 0x40, 0xC4, 0x40, 0x40, 0x40, 0x40, 0x40}));
  EXPECT_EQ(written.problems, std::vector<std::string>{"2+1 U+4E00 cannot be represented in CCSID 37"});
}

BYTE lookup37(char16_t c) { return static_cast<BYTE>(EBCDICTranscoders::UtoE(37, c)); }

TEST_F(StreamCompose, MarksComposeWithTheirBaseEvenAcrossCalls) {
  struct Case { const char* name; std::u16string in; Plan plan; Bytes out; std::vector<std::string> problems; };
  const Case cases[] = {
      {"together", u"e\u0301", {2}, {0x51}, {}},
      {"separate calls", u"e\u0301", {1, 1, 0}, {0x51}, {}},
      {"across three calls", u"xe\u0301y", {2, 1, 1}, {0xA7, 0x51, 0xA8}, {}},
      {"Angstrom sign", u"\u212B", {1}, {}, {"0+1 U+212B cannot be represented in CCSID 37"}},
      {"A and ring", u"A\u030A", {1, 1}, {0x67}, {}},
      {"mark on nothing", u"\u0301A", {1, 1}, {0xC1}, {"0+1 U+0301 cannot be represented in CCSID 37"}},
      {"mark on x", u"ax\u0301b", {2, 1, 1}, {0x81, 0xA7, 0x82}, {"2+1 U+0301 cannot be represented in CCSID 37"}},
      {"second mark", u"e\u0301\u0301", {3}, {0x51}, {"2+1 U+0301 cannot be represented in CCSID 37"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = encode("37", options(true), c.in, c.plan);
    EXPECT_EQ(o.out, text(c.out));
    EXPECT_EQ(o.problems, c.problems);
    const Outcome substituted = encode("37", {}, c.in, c.plan);
    EXPECT_EQ(substituted.substitutions, c.problems.size());
    const Outcome utf8 = encode("37", options(true), toUtf8(c.in), {toUtf8(c.in).size()});
    EXPECT_EQ(utf8.out, text(c.out)) << "from UTF-8";
  }
  // Single characters that have a canonical decomposition keep their own codes.
  EXPECT_EQ(encode("37", {}, std::u16string(u"\u212B"), {1}).out, text({lookup37(0x212B)}));
  // A compatibility ideograph keeps its own code in mixed data too.
  const WORD code = EBCDICTranscoders::UtoE(930, 0xF929);
  const Bytes expected = code > 0xFF ? Bytes{0x0E, static_cast<BYTE>(code >> 8), static_cast<BYTE>(code), 0x0F}
                                     : Bytes{static_cast<BYTE>(code)};
  EXPECT_EQ(encode("930", {}, std::u16string(u"\uF929"), {1}).out, text(expected));
}

// Every code that round trips through the table, read and written back in one stream.
TEST_F(StreamRoundTrip, TableCodesReadAndWriteBack) {
  for (const short ccsid : {short{37}, short{930}}) {
    SCOPED_TRACE(ccsid);
    const auto& table = EBCDICTranscoders::instance().transcoder(ccsid);
    const auto roundTrips = [&](WORD code) {
      bool unmapped = false;
      const WORD u = table.EtoU(code, &unmapped);
      return !unmapped && (u < 0xD800 || u > 0xDFFF) && table.UtoE(u) == code && u_getCombiningClass(u) == 0 &&
             u_getIntPropertyValue(u, UCHAR_NFC_QUICK_CHECK) == UNORM_YES;
    };
    Bytes host;
    std::u16string expected;
    for (unsigned b = 0; b < 256; ++b) {
      if (b == 0x0E || b == 0x0F || !roundTrips(static_cast<WORD>(b))) continue;
      host.push_back(static_cast<BYTE>(b));
      expected += static_cast<char16_t>(table.EtoU(static_cast<WORD>(b)));
    }
    if (table.isMixed()) {
      host.push_back(0x0E);
      for (unsigned code = 0x4040; code <= 0xFEFE; ++code) {
        if ((code & 0xFF) < 0x40 || (code & 0xFF) == 0xFF || !roundTrips(static_cast<WORD>(code))) continue;
        host.insert(host.end(), {static_cast<BYTE>(code >> 8), static_cast<BYTE>(code)});
        expected += static_cast<char16_t>(table.EtoU(static_cast<WORD>(code)));
      }
      host.push_back(0x0F);
      EXPECT_GT(expected.size(), 5000u);
    }
    std::u16string wide;
    Decoder decoder(Encoding(std::to_string(ccsid)));
    decoder.decode(host, wide, true);
    EXPECT_EQ(wide, expected);
    EXPECT_EQ(decoder.counts().substitutions, 0u);
    for (const auto& plan : {Plan{wide.size()}, plans(wide.size(), 4)[2]}) {
      const Outcome back = encode(std::to_string(ccsid), options(true), wide, plan);
      EXPECT_EQ(back.out, text(host));
      EXPECT_TRUE(back.problems.empty());
    }
    // ICU reads the same bytes the same way.
    std::string icu(4 * host.size(), '\0');
    UErrorCode status = U_ZERO_ERROR;
    icu.resize(static_cast<std::size_t>(ucnv_convert("UTF-8", ("ibm-" + std::to_string(ccsid)).c_str(), icu.data(),
                                                     static_cast<int32_t>(icu.size()), reinterpret_cast<const char*>(host.data()),
                                                     static_cast<int32_t>(host.size()), &status)));
    ASSERT_TRUE(U_SUCCESS(status));
    std::string ours;
    Decoder(Encoding(std::to_string(ccsid))).decode(host, ours, true);
    {  // our tables map 0x1C to the en dash on purpose
      std::replace(icu.begin(), icu.end(), '\x1C', '#');
      ASSERT_NE(ours.find("\u2013"), std::string::npos);
      ours.replace(ours.find("\u2013"), 3, "#");
    }
    EXPECT_EQ(ours, icu);
  }
}

TEST_F(StreamRoundTrip, SamplesReadAsTheirOriginalsAndBackAsIcuReadsThem) {
  struct Case { const char* host; const char* original; std::string ccsid; bool newLines; std::size_t record; };
  for (const auto& c : {Case{"orders.cp930", "orders.txt", "930", true, 0}, Case{"customers.cp37", "customers.txt", "37", false, 80}}) {
    SCOPED_TRACE(c.host);
    const Bytes host = sample(c.host);
    const std::string original = text(sample(c.original));
    const auto opts = options(true, c.newLines, c.record);
    EXPECT_EQ(decode(c.ccsid, opts, host, Form::utf8, {host.size()}).out, original);
    EXPECT_EQ(encode(c.ccsid, opts, original, {original.size()}).out, text(host));
    std::string icu(4 * host.size(), '\0');
    UErrorCode status = U_ZERO_ERROR;
    icu.resize(static_cast<std::size_t>(ucnv_convert("UTF-8", ("ibm-" + c.ccsid).c_str(), icu.data(), static_cast<int32_t>(icu.size()),
                                                     reinterpret_cast<const char*>(host.data()), static_cast<int32_t>(host.size()), &status)));
    ASSERT_TRUE(U_SUCCESS(status));
    EXPECT_EQ(decode(c.ccsid, options(true), host, Form::utf8, {host.size()}).out, icu);
  }
}

TEST_F(StreamLayout, LinesThatDoNotFitTheirRecordOverflow) {
  struct Case { std::string to; std::size_t record; std::u16string in; std::uint64_t line; std::size_t needed; };
  const Case cases[] = {{"37", 5, u"ABCDE\nABCDEF\n", 2, 6}, {"930", 6, u"\u4E00\u4E00\nA\u4E00\u4E00", 2, 7},
                        {"37", 3, u"ABCD", 1, 4}, {"37", 2, u"\r\nA\r\nABC\r\n", 3, 3}};
  for (const auto& c : cases) {
    for (const auto& plan : plans(c.in.size(), 2)) {
      Encoder encoder(Encoding(c.to), options(false, false, c.record));
      Bytes out;
      try {
        std::size_t at = 0;
        for (std::size_t k = 0; k < plan.size(); at += plan[k++]) {
          encoder.encode(std::u16string_view(c.in).substr(at, plan[k]), out, k + 1 == plan.size());
        }
        ADD_FAILURE() << "nothing thrown";
      } catch (const kwuni::RecordOverflow& e) {
        EXPECT_EQ(e.line, c.line);
        EXPECT_EQ(e.recordLength, c.record);
        EXPECT_TRUE(e.needed == c.needed || (plan.size() > 1 && e.needed == 0)) << e.needed;
        if (plan.size() == 1) {
          EXPECT_EQ(std::string(e.what()), "line " + std::to_string(c.line) + " needs " + std::to_string(c.needed) +
                                               " bytes, more than the record length " + std::to_string(c.record));
        }
      }
    }
  }
}

TEST_F(StreamLayout, RecordsAndNewLinesBothWays) {
  struct Case { const char* name; std::string host; bool newLines; std::size_t record; Bytes bytes; std::u16string text; std::u16string writes; };
  const Case cases[] = {
      {"padded records", "37", false, 4, {0xC1, 0x40, 0x40, 0x40, 0xC2, 0xC3, 0x40, 0x40}, u"A\nBC\n", u"A\r\nBC\n"},
      {"runs closed in each record", "930", false, 6,
       {0x0E, 0x45, 0x41, 0x0F, 0x40, 0x40, 0xC1, 0x0E, 0x45, 0x41, 0x0F, 0x40}, u"\u4E00\nA\u4E00\n", u"\u4E00\nA\u4E00"},
      {"a run left open ends with its record", "930", false, 4, {0x0E, 0x45, 0x41, 0x40, 0xC1, 0x40, 0x40, 0x40}, u"\u4E00\u3000\nA\n", {}},
      {"short last record", "37", false, 4, {0xC1, 0xC2, 0xC3, 0xC4, 0xC5}, u"ABCD\nE\n", {}},
      {"host new-lines", "37", true, 0, {0xC1, 0x15, 0xC2, 0x15, 0x15, 0xC3}, u"A\nB\n\nC", u"A\r\nB\n\r\nC"},
      {"new-lines in a run", "930", true, 0, {0x0E, 0x45, 0x41, 0x0F, 0x15, 0xC1}, u"\u4E00\nA", u"\u4E00\r\nA"},
      {"lone CR stays", "37", true, 0, {0xC1, 0x0D, 0xC2}, u"A\rB", u"A\rB"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto opts = options(false, c.newLines, c.record);
    for (const auto& plan : plans(c.bytes.size(), 8)) {
      const Outcome read = decode(c.host, opts, c.bytes, Form::utf16, plan);
      EXPECT_EQ(read.out, std::string(reinterpret_cast<const char*>(c.text.data()), 2 * c.text.size()));
    }
    if (c.writes.empty()) continue;
    for (const auto& plan : plans(c.writes.size(), 8)) EXPECT_EQ(encode(c.host, opts, c.writes, plan).out, text(c.bytes));
  }
  Encoder encoder(Encoding("37"), options(false, false, 3));
  Bytes out;
  encoder.encode(std::u16string_view(u"A\nB\nC"), out, true);
  EXPECT_EQ(encoder.lines(), 3u);
  EXPECT_EQ(out.size(), 9u);
}

TEST_F(StreamEncoding, NamesAndWhatTheyMean) {
  using Kind = Encoding::Kind;
  struct Case { const char* name; Kind kind; int number; const char* label; bool mixed; };
  const Case cases[] = {
      {"37", Kind::host, 37, "CCSID 37", false},         {"IBM-037", Kind::host, 37, "CCSID 37", false},
      {"ibm037", Kind::host, 37, "CCSID 37", false},     {"CCSID930", Kind::host, 930, "CCSID 930", true},
      {"ibm-1390", Kind::host, 1390, "CCSID 1390", true}, {"cp37", Kind::host, 37, "CCSID 37", false},
      {"13488", Kind::unicodeHost, 13488, "CCSID 13488", false}, {"utf-8", Kind::utf8, 0, "UTF-8", false},
      {"UTF8", Kind::utf8, 0, "UTF-8", false},           {"cp65001", Kind::utf8, 0, "UTF-8", false},
      {"UTF-16LE", Kind::utf16le, 0, "UTF-16LE", false}, {"utf16be", Kind::utf16be, 0, "UTF-16BE", false},
      {"cp1200", Kind::utf16le, 0, "UTF-16LE", false},   {"UTF-7", Kind::utf7, 0, "UTF-7", false},
      {"cp65000", Kind::utf7, 0, "UTF-7", false},   {"cp1252", Kind::codePage, 1252, "code page 1252", false},
      {"Windows-1252", Kind::codePage, 1252, "code page 1252", false}, {"CP932", Kind::codePage, 932, "code page 932", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Encoding e(c.name);
    EXPECT_EQ(e.kind(), c.kind);
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.label(), c.label);
    EXPECT_EQ(e.mixed(), c.mixed);
    EXPECT_EQ(e.isHost(), c.kind == Kind::host || c.kind == Kind::unicodeHost);
  }
  EXPECT_TRUE(Encoding("cp932").multiByte());
  EXPECT_FALSE(Encoding("cp1252").multiByte());
  for (const char* name : {"4711", "UTF-16", "utf16", "utf-7-imap", "cp57002", "", "ebcdic", "IBM-", "1234567", "cp-"}) {
    EXPECT_THROW(Encoding{name}, kwuni::UnknownEncoding) << name;
  }
  EXPECT_EQ(kwuni::test::thrownText<kwuni::UnknownEncoding>([] { Encoding{"4711"}; }).rfind("unknown CCSID '4711'", 0), 0u);
}

TEST_F(StreamEncoding, AvailableHostCcsidsHaveTables) {
  const auto ccsids = kwuni::availableHostCcsids();
  EXPECT_TRUE(std::is_sorted(ccsids.begin(), ccsids.end()));
  for (const int ccsid : {37, 924, 930, 939, 1390}) {
    EXPECT_NE(std::find(ccsids.begin(), ccsids.end(), ccsid), ccsids.end()) << ccsid;
  }
  EXPECT_EQ(std::find(ccsids.begin(), ccsids.end(), 13488), ccsids.end()) << "Unicode has no table";
}

// UTF-8 to host bytes gives the same at every kernel level: Latin text with the bytes that end
// the vector kernel's stretch (other characters, marks that compose with the letter before them,
// malformed and cut sequences) at every position of a block, whole and in chunks.
TEST_F(StreamEncoding, Utf8ToHostIsTheSameAtEveryKernelLevel) {
  using kwuni::kernels::Level;
  std::mt19937 random(1252);
  const std::vector<std::string> latin = {"a", "Z", " ", "\x7F", "\xC2\x80", "\xC2\xA0", "\xC3\xA9", "\xC3\xBF"};
  const std::vector<std::string> breaks = {"\xCC\x81",     "\xC4\x80", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xFF",
                                           "\x80",         "\xC3",      "\xC0\xAF",     "\xC2\x41",          "\xE2\x82\xAC",
                                           "\xEF\xBF\xBD"};
  for (int round = 0; round < 6; ++round) {
    std::string text;
    while (text.size() < 1500) {
      text += random() % 40 == 0 ? breaks[random() % breaks.size()] : latin[random() % latin.size()];
    }
    if (round % 2 == 1) text.pop_back();  // may end inside a sequence
    for (const std::string to : {"37", "1140", "930", "1047"}) {
      for (const bool stop : {false, true}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " to " << to << (stop ? " stopping" : ""));
        for (const Plan& plan : {Plan{text.size()}, plans(text.size(), static_cast<unsigned>(round))[3]}) {
          const Level previous = kwuni::kernels::useLevel(Level::scalar);
          const Outcome expected = encode(to, options(stop), text, plan);
          for (const Level level : {Level::avx2, Level::avx512}) {
            kwuni::kernels::useLevel(level);
            expectSame(encode(to, options(stop), text, plan), expected);
          }
          kwuni::kernels::useLevel(previous);
        }
      }
    }
  }
}

// Host bytes to UTF-8 gives the same at every kernel level: long single-byte stretches, unmapped
// bytes, host new-lines, shift-outs at any position, whole and in chunks.
TEST_F(StreamEncoding, HostToUtf8IsTheSameAtEveryKernelLevel) {
  using kwuni::kernels::Level;
  std::mt19937 random(37);
  for (int round = 0; round < 4; ++round) {
    Bytes host(3000);
    for (BYTE& b : host) b = random() % 50 == 0 ? BYTE{0x15} : static_cast<BYTE>(0x40 + random() % 0xC0);
    for (std::size_t k = 0; k < 12; ++k) host[random() % host.size()] = static_cast<BYTE>(random());
    for (const std::string from : {"37", "1140", "930", "1047"}) {
      for (const bool stop : {false, true}) {
        for (const bool newLines : {false, true}) {
          SCOPED_TRACE(testing::Message() << "round " << round << " from " << from << (stop ? " stopping" : "")
                                          << (newLines ? " with new-lines" : ""));
          for (const Plan& plan : {Plan{host.size()}, plans(host.size(), static_cast<unsigned>(round))[3]}) {
            const Level previous = kwuni::kernels::useLevel(Level::scalar);
            const Outcome expected = decode(from, options(stop, newLines), host, Form::utf8, plan);
            for (const Level level : {Level::avx2, Level::avx512}) {
              kwuni::kernels::useLevel(level);
              expectSame(decode(from, options(stop, newLines), host, Form::utf8, plan), expected);
            }
            kwuni::kernels::useLevel(previous);
          }
        }
      }
    }
  }
}

}  // namespace
