// The vector kernels against the scalar ones at every level the processor has: all byte values,
// lengths around the block sizes, unaligned starts, unmapped entries, non-Latin characters
// scattered through Latin text; and the choice of level.

#include "ebcdic/kernel_level.h"
#include "ebcdic/kernels.h"
#include "ebcdic/kernels_vector.h"
#include "tests/ebcdic/table_stream.h"

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

namespace {

using kwuni::kernels::Level;

// Runs the body at the level (lowered to what the processor has), then restores the level.
template <typename Body>
void atLevel(Level level, Body body) {
  const Level previous = kwuni::kernels::useLevel(level);
  body();
  kwuni::kernels::useLevel(previous);
}

struct Tables {
  std::vector<WORD> toUnicode = std::vector<WORD>(0x10000, kwuni::kernels::unmapped);
  std::vector<WORD> toHost = std::vector<WORD>(0x10000, kwuni::kernels::unmapped);
};

Tables randomTables(std::mt19937& random) {
  Tables t;
  for (std::size_t b = 0; b < 0x100; ++b) {
    t.toUnicode[b] = random() % 7 == 0 ? kwuni::kernels::unmapped : static_cast<WORD>(random());
  }
  for (WORD& code : t.toHost) {
    const auto pick = random() % 8;
    code = pick == 0 ? kwuni::kernels::unmapped : pick == 1 ? WORD{0xFF} : static_cast<WORD>(random() % 0x100);
  }
  return t;
}

const Level levels[] = {Level::scalar, Level::avx2, Level::avx512};

TEST(Kernels, EveryLevelConvertsSingleBytesAsTheScalarOne) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 4; ++round) {
    const Tables t = randomTables(random);
    std::vector<BYTE> host(5000);
    for (std::size_t i = 0; i < host.size(); ++i) host[i] = static_cast<BYTE>(round == 0 ? i : random());
    for (const std::size_t length : {std::size_t{1024}, std::size_t{1087}, std::size_t{1151}, std::size_t{4999}}) {
      for (const std::size_t offset : {std::size_t{0}, std::size_t{1}}) {
        std::vector<WCHAR> expected(length);
        atLevel(Level::scalar, [&] {
          kwuni::kernels::singleBytesToUtf16(t.toUnicode.data(), host.data() + offset, length, expected.data());
        });
        for (const Level level : levels) {
          std::vector<WCHAR> got(length + 1, 0x1234);
          atLevel(level, [&] {
            kwuni::kernels::singleBytesToUtf16(t.toUnicode.data(), host.data() + offset, length, got.data());
          });
          EXPECT_EQ(std::vector<WCHAR>(got.begin(), got.end() - 1), expected) << kwuni::kernels::levelName(level);
          EXPECT_EQ(got.back(), 0x1234) << "written past the end";
        }
      }
    }
  }
}

TEST(Kernels, EveryLevelConvertsToSingleBytesAsTheScalarOne) {
  std::mt19937 random(7);
  const Tables t = randomTables(random);
  // Latin text, then the same with other characters sprinkled in at different densities.
  for (const unsigned density : {0u, 1000u, 50u, 2u}) {
    std::vector<WCHAR> text(6000);
    for (WCHAR& ch : text) {
      ch = density != 0 && random() % density == 0 ? static_cast<WCHAR>(random()) : static_cast<WCHAR>(random() % 0x100);
    }
    for (const std::size_t length : {std::size_t{1024}, std::size_t{1100}, std::size_t{5999}}) {
      std::vector<BYTE> expected(length);
      atLevel(Level::scalar, [&] {
        kwuni::kernels::utf16ToSingleBytes(t.toHost.data(), text.data() + 1, length, expected.data());
      });
      for (const Level level : levels) {
        std::vector<BYTE> got(length + 1, 0xAB);
        atLevel(level, [&] { kwuni::kernels::utf16ToSingleBytes(t.toHost.data(), text.data() + 1, length, got.data()); });
        EXPECT_EQ(std::vector<BYTE>(got.begin(), got.end() - 1), expected) << kwuni::kernels::levelName(level);
        EXPECT_EQ(got.back(), 0xAB) << "written past the end";
      }
    }
  }
}

#if defined(__x86_64__)
// Each vector kernel on its own, at every length up to 300 and every alignment of source and
// destination within a 64-byte line: the prefix it converts is the scalar result, and it writes
// nothing past that prefix.
TEST(Kernels, VectorKernelsConvertExactPrefixes) {
  using namespace kwuni::kernels;
  std::mt19937 random(300);
  WCHAR wideTable[256];
  BYTE byteTable[256];
  for (std::size_t b = 0; b < 256; ++b) {
    wideTable[b] = static_cast<WCHAR>(random());
    byteTable[b] = static_cast<BYTE>(random());
  }
  struct Kernels {
    Level level;
    std::size_t (*toUtf16)(const WCHAR*, const BYTE*, std::size_t, WCHAR*);
    std::size_t (*toBytes)(const BYTE*, const WCHAR*, std::size_t, BYTE*);
  };
  const Kernels kernels[] = {{Level::avx2, singleBytesToUtf16Avx2, latinToSingleBytesAvx2},
                             {Level::avx512, singleBytesToUtf16Avx512, latinToSingleBytesAvx512}};
  std::vector<BYTE> host(300 + 64);
  std::vector<WCHAR> latin(300 + 64);
  for (BYTE& b : host) b = static_cast<BYTE>(random());
  for (WCHAR& ch : latin) ch = static_cast<WCHAR>(random() % 0x100);
  for (const Kernels& k : kernels) {
    if (static_cast<int>(k.level) > static_cast<int>(bestLevel())) continue;
    for (std::size_t length = 0; length <= 300; ++length) {
      for (std::size_t align = 0; align < 64; ++align) {
        SCOPED_TRACE(testing::Message() << levelName(k.level) << " length " << length << " alignment " << align);
        std::vector<WCHAR> wide(length + 64, 0x1234);
        const std::size_t done = k.toUtf16(wideTable, host.data() + align, length, wide.data() + 63 - align);
        ASSERT_LE(done, length);
        EXPECT_GT(done + 64, length) << "left a whole block";
        for (std::size_t i = 0; i < wide.size(); ++i) {
          const std::size_t at = i - (63 - align);
          const WCHAR expected = i >= 63 - align && at < done ? wideTable[host[align + at]] : WCHAR{0x1234};
          ASSERT_EQ(wide[i], expected) << "unit " << i;
        }
        std::vector<BYTE> bytes(length + 64, 0xAB);
        const std::size_t converted = k.toBytes(byteTable, latin.data() + align, length, bytes.data() + align);
        ASSERT_GT(converted + 64, length);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
          const std::size_t at = i - align;
          ASSERT_EQ(bytes[i], i >= align && at < converted ? byteTable[latin[align + at]] : BYTE{0xAB}) << "byte " << i;
        }
      }
    }
  }
}

// The UTF-8 kernel on Latin text at every length up to 300 and every alignment: it takes all but
// the last block's worth, cuts no character, and writes each character's byte.
TEST(Kernels, LatinUtf8KernelTakesWholeCharacters) {
  using namespace kwuni::kernels;
  if (bestLevel() != Level::avx512) GTEST_SKIP() << "no AVX-512 on this processor";
  std::mt19937 random(8);
  BYTE latin[256];
  for (BYTE& b : latin) b = static_cast<BYTE>(random());
  BYTE stops[256] = {};
  std::vector<BYTE> utf8;
  std::vector<BYTE> units;
  while (utf8.size() < 300 + 64) {
    const auto u = static_cast<BYTE>(random());
    if (u >= 0x80) utf8.push_back(static_cast<BYTE>(0xC0 | u >> 6));
    utf8.push_back(u >= 0x80 ? static_cast<BYTE>(0x80 | (u & 0x3F)) : u);
    units.push_back(u);
  }
  for (std::size_t align = 0; align < 64; ++align) {
    for (std::size_t length = 0; length <= 300; ++length) {
      SCOPED_TRACE(testing::Message() << "length " << length << " alignment " << align);
      std::vector<BYTE> source(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(length));
      source.insert(source.begin(), align, 0);
      std::vector<BYTE> out(length + 64, 0xAB);
      const Converted done = latinUtf8ToSingleBytesAvx512(latin, stops, source.data() + align, length,
                                                          out.data() + (63 - align));
      ASSERT_LE(done.read, length);
      ASSERT_GT(done.read + 65, length);
      // The characters it read, one byte each, and nothing after them.
      std::size_t characters = 0;
      for (std::size_t at = 0; at < done.read; at += utf8[at] < 0x80 ? 1u : 2u) ++characters;
      ASSERT_EQ(done.written, characters);
      for (std::size_t k = 0; k < out.size(); ++k) {
        const std::size_t at = k - (63 - align);
        ASSERT_EQ(out[k], k >= 63 - align && at < characters ? latin[units[at]] : BYTE{0xAB}) << k;
      }
    }
  }
}


// The host-to-UTF-8 kernel at every length up to 300 and every alignment, with forms of one to
// three bytes: whole blocks up to the first byte with no form, each form whole and in order.
TEST(Kernels, Utf8FormsKernelWritesWholeForms) {
  using namespace kwuni::kernels;
  if (bestLevel() != Level::avx512) GTEST_SKIP() << "no AVX-512 on this processor";
  std::mt19937 random(9);
  Utf8Forms forms{};
  for (std::size_t b = 0; b < 256; ++b) {
    forms.first[b] = static_cast<BYTE>(random());
    forms.second[b] = static_cast<BYTE>(random());
    forms.third[b] = static_cast<BYTE>(random());
    forms.length[b] = static_cast<BYTE>(b == 0x5A ? 0 : 1 + random() % 3);  // 0x5A has none
  }
  std::vector<BYTE> host(300 + 64);
  for (BYTE& b : host) b = static_cast<BYTE>(random() % 600 == 0 ? 0x5A : 0x5B + random() % 0xA5);
  for (std::size_t align = 0; align < 64; ++align) {
    for (std::size_t length = 0; length <= 300; ++length) {
      SCOPED_TRACE(testing::Message() << "length " << length << " alignment " << align);
      std::vector<char> out(3 * length + 64, '#');
      const Converted done = singleBytesToUtf8Avx512(forms, host.data() + align, length, out.data() + align);
      std::string expected;
      std::size_t read = 0;
      for (; read + 64 <= length; read += 64) {
        std::size_t k = 0;
        for (; k < 64 && forms.length[host[align + read + k]] != 0; ++k) {
          const BYTE b = host[align + read + k];
          const char form[] = {static_cast<char>(forms.first[b]), static_cast<char>(forms.second[b]),
                               static_cast<char>(forms.third[b])};
          expected.append(form, forms.length[b]);
        }
        if (k < 64) {
          read += k;
          break;
        }
      }
      ASSERT_EQ(done.read, read);
      ASSERT_EQ(done.written, expected.size());
      ASSERT_EQ(std::string(out.data() + align, expected.size()), expected);
      ASSERT_TRUE(std::all_of(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(align), [](char c) { return c == '#'; }));
      ASSERT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(align + expected.size()), out.end(),
                              [](char c) { return c == '#'; }));
    }
  }
}
#endif

// Mixed host data at every level against the scalar loop. The 65536-entry tables map single-byte
// codes, double-byte codes (some unmapped, some to U+FFFF itself) and leave holes.
struct MixedTables {
  std::vector<WORD> toUnicode = std::vector<WORD>(0x10000);
  std::vector<WORD> toHost = std::vector<WORD>(0x10000);
  std::vector<WCHAR> singles;  // characters the host writes in one byte
  std::vector<WCHAR> doubles;  // and in two
};

MixedTables mixedTables(std::mt19937& random) {
  MixedTables t;
  for (WORD& ch : t.toUnicode) ch = random() % 9 == 0 ? kwuni::kernels::unmapped : static_cast<WORD>(random());
  for (std::size_t ch = 0; ch < t.toHost.size(); ++ch) {
    const auto pick = random() % 10;
    const WORD code = pick == 0   ? kwuni::kernels::unmapped
                      : pick < 5 ? static_cast<WORD>(random() % 0x100)
                                 : static_cast<WORD>(0x100 + random() % 0xFEFF);
    t.toHost[ch] = code;
    if (code != kwuni::kernels::unmapped) (code > 0xFF ? t.doubles : t.singles).push_back(static_cast<WCHAR>(ch));
  }
  return t;
}

// Host bytes with shift-out and shift-in bytes at any position, so often that every position of a
// vector holds one somewhere.
std::vector<BYTE> mixedHostBytes(std::mt19937& random, std::size_t length) {
  std::vector<BYTE> bytes(length);
  for (BYTE& b : bytes) {
    const auto pick = random() % 48;
    b = pick == 0 ? kwuni::kernels::shiftOut : pick == 1 ? kwuni::kernels::shiftIn : static_cast<BYTE>(random());
  }
  return bytes;
}

// Text in runs of one-byte and two-byte characters, with unmapped ones and the edit buffer's
// shift marks scattered in.
std::vector<WCHAR> mixedText(std::mt19937& random, const MixedTables& t, std::size_t length) {
  std::vector<WCHAR> text;
  while (text.size() < length) {
    const std::vector<WCHAR>& pool = random() % 2 == 0 ? t.singles : t.doubles;
    for (auto run = 1 + random() % 40; run > 0 && text.size() < length; --run) {
      const auto pick = random() % 64;
      text.push_back(pick == 0   ? static_cast<WCHAR>(0xFFFE + random() % 2)
                     : pick == 1 ? static_cast<WCHAR>(random())
                                 : pool[random() % pool.size()]);
    }
  }
  return text;
}

TEST(Kernels, EveryLevelConvertsMixedDataAsTheScalarOne) {
  using kwuni::kernels::HostLookup;
  std::mt19937 random(930);
  const MixedTables t = mixedTables(random);
  const HostLookup toUnicode{t.toUnicode.data(), 0x003F, 0x3000};
  const HostLookup toHost{t.toHost.data(), 0x6F, 0};
  const std::vector<BYTE> host = mixedHostBytes(random, 4096 + 64);
  const std::vector<WCHAR> text = mixedText(random, t, 4096 + 64);
  // Lengths past the vector threshold with every tail, every alignment of the source, and inputs
  // ending inside a run and after a lead byte.
  std::vector<std::pair<std::size_t, std::size_t>> cuts;  // (offset, length)
  for (std::size_t tail = 0; tail <= 300; ++tail) cuts.emplace_back(tail % 2, 1024 + tail);
  for (std::size_t offset = 0; offset < 64; ++offset) cuts.emplace_back(offset, 4096);
  for (const auto& [offset, length] : cuts) {
    SCOPED_TRACE(testing::Message() << "offset " << offset << " length " << length);
    const BYTE* bytes = host.data() + offset;
    const WCHAR* chars = text.data() + offset;
    std::vector<WCHAR> expectedText(length + 1);
    std::vector<BYTE> expectedBytes(3 * length + 1);
    std::size_t characters = 0;
    std::size_t hostLength = 0;
    atLevel(Level::scalar, [&] {
      characters = kwuni::kernels::shiftedBytesToUtf16(toUnicode, bytes, length, expectedText.data(), length);
      hostLength = kwuni::kernels::utf16ToShiftedBytes(toHost, chars, length, expectedBytes.data(), expectedBytes.size());
    });
    for (const Level level : levels) {
      SCOPED_TRACE(kwuni::kernels::levelName(level));
      // The whole result, then one cut short: what fits is stored and nothing after it.
      for (const std::size_t room : {characters, characters / 2 + 1}) {
        std::vector<WCHAR> got(characters + 1, 0x1234);
        std::size_t n = 0;
        atLevel(level, [&] { n = kwuni::kernels::shiftedBytesToUtf16(toUnicode, bytes, length, got.data(), room); });
        ASSERT_EQ(n, characters);
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(room), expectedText.begin()));
        ASSERT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(room), got.end(), [](WCHAR c) { return c == 0x1234; }));
      }
      for (const std::size_t room : {hostLength, hostLength - 1, hostLength / 2}) {
        std::vector<BYTE> got(hostLength + 1, 0xAB);
        std::size_t n = 0;
        atLevel(level, [&] { n = kwuni::kernels::utf16ToShiftedBytes(toHost, chars, length, got.data(), room); });
        ASSERT_EQ(n, hostLength);
        // A pair that does not fit whole is not stored at all: compare up to the last whole one.
        std::size_t stored = room;
        while (stored > 0 && got[stored - 1] == 0xAB && expectedBytes[stored - 1] != 0xAB) --stored;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(stored), expectedBytes.begin()));
        ASSERT_GE(stored + 1, room);
        ASSERT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(room), got.end(), [](BYTE b) { return b == 0xAB; }));
      }
    }
  }
}

// Every entry of every installed table through the public conversions, at every level: all 256
// bytes, every double-byte code inside a shift-out run, and every UTF-16 unit.
using InstalledTables = kwuni::test::BuildTables<>;

TEST_F(InstalledTables, EveryLevelConvertsEveryEntryAlike) {
  std::vector<BYTE> singleBytes;
  for (int copy = 0; copy < 8; ++copy) {
    for (int b = 0; b < 256; ++b) singleBytes.push_back(static_cast<BYTE>(b));
  }
  std::vector<BYTE> pairs{kwuni::kernels::shiftOut};
  for (int code = 0; code < 0x10000; ++code) {
    if (code >> 8 == kwuni::kernels::shiftOut || code >> 8 == kwuni::kernels::shiftIn) continue;  // they end runs
    pairs.push_back(static_cast<BYTE>(code >> 8));
    pairs.push_back(static_cast<BYTE>(code));
  }
  pairs.push_back(kwuni::kernels::shiftIn);
  std::vector<WCHAR> units(0x10000);
  for (std::size_t u = 0; u < units.size(); ++u) units[u] = static_cast<WCHAR>(u);
  const auto toInt = [](std::size_t n) { return static_cast<int>(n); };

  for (const int ccsid : kwuni::availableHostCcsids()) {
    SCOPED_TRACE(testing::Message() << "CCSID " << ccsid);
    const auto ccsidShort = static_cast<short>(ccsid);
    const bool mixed = velmora::EBCDICTranscoders::instance().transcoder(ccsidShort).isMixed();
    // Everything each conversion writes, at one level.
    const auto convertAll = [&] {
      std::vector<WCHAR> wide(pairs.size() + singleBytes.size());
      std::vector<BYTE> host(3 * units.size());
      std::vector<int> lengths;
      if (mixed) {
        lengths.push_back(KW_EbcdicBytesToWideChar(ccsidShort, pairs.data(), toInt(pairs.size()), wide.data(),
                                                   toInt(2 * wide.size())));
        lengths.push_back(KW_EbcdicBytesToWideChar(ccsidShort, singleBytes.data(), toInt(singleBytes.size()),
                                                   wide.data() + lengths[0], toInt(2 * singleBytes.size())));
        lengths.push_back(KW_WideCharToEbcdicBytes(ccsidShort, units.data(), toInt(units.size()), host.data(),
                                                   toInt(host.size())));
      } else {
        lengths.push_back(TConvertEtoU(ccsidShort, singleBytes.data(), wide.data(), toInt(singleBytes.size())));
        lengths.push_back(TConvertUtoE(ccsidShort, units.data(), host.data(), toInt(units.size())));
      }
      return std::make_tuple(wide, host, lengths);
    };
    Level previous = kwuni::kernels::useLevel(Level::scalar);
    const auto expected = convertAll();
    for (const Level level : levels) {
      kwuni::kernels::useLevel(level);
      EXPECT_TRUE(convertAll() == expected) << kwuni::kernels::levelName(level);
    }
    kwuni::kernels::useLevel(previous);
  }
}

TEST(Kernels, CombiningMarksAreFoundAnywhere) {
  for (const Level level : levels) {
    atLevel(level, [&] {
      std::vector<WCHAR> text(300, u'a');
      EXPECT_TRUE(kwuni::kernels::allBelow(text.data(), text.size(), 0x300));
      for (const std::size_t at : {std::size_t{0}, std::size_t{15}, std::size_t{31}, std::size_t{64}, std::size_t{299}}) {
        for (const WCHAR mark : {WCHAR{0x0300}, WCHAR{0xFFFF}, WCHAR{0x8000}}) {
          std::vector<WCHAR> marked = text;
          marked[at] = mark;
          EXPECT_FALSE(kwuni::kernels::allBelow(marked.data(), marked.size(), 0x300)) << at;
        }
      }
      EXPECT_TRUE(kwuni::kernels::allBelow(text.data(), 0, 0x300));
    });
  }
}

TEST(Kernels, TheEnvironmentChoosesALevel) {
  using kwuni::kernels::levelFromEnvironment;
  EXPECT_EQ(levelFromEnvironment("scalar"), Level::scalar);
  EXPECT_EQ(levelFromEnvironment(nullptr), kwuni::kernels::bestLevel());
  EXPECT_EQ(levelFromEnvironment(""), kwuni::kernels::bestLevel());
  testing::internal::CaptureStderr();
  EXPECT_EQ(levelFromEnvironment("sse9"), kwuni::kernels::bestLevel());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, std::string("kwuni: KWUNI_KERNELS=sse9 is not scalar, avx2 or avx512; using ") +
                      kwuni::kernels::levelName(kwuni::kernels::bestLevel()) + "\n");
  if (kwuni::kernels::bestLevel() == Level::avx512) {
    EXPECT_EQ(levelFromEnvironment("avx2"), Level::avx2);
  }
}

}  // namespace
