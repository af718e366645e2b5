// The vector kernels against the scalar ones at every level the processor has: all byte values,
// lengths around the block sizes, unaligned starts, unmapped entries, non-Latin characters
// scattered through Latin text; and the choice of level.

#include "ebcdic/kernel_level.h"
#include "ebcdic/kernels.h"

#include <gtest/gtest.h>

#include <random>
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
