#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "platform/locale.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using kwuni::test::Entries;
using kwuni::test::tableBytes;
using velmora::EBCDICTranscoder;
using velmora::EBCDICTranscoders;
using Bytes = std::vector<BYTE>;

// A small mixed table for CCSID 930 and a single-byte one for 37, added to the registry so
// that no file is read.
class FlatConversions : public ::testing::Test {
 protected:
  void SetUp() override {
    EBCDICTranscoders::instance().clear();
    add(930, {{0xC1, u'A'}, {0xC2, u'B'}, {0x40, u' '}, {0x4040, 0x3000}, {0x4481, 0x4E00}, {0x4482, 0x4E8C}});
    add(37, {{0xC1, u'A'}, {0xC2, u'B'}, {0x51, 0x00E9}, {0x0D, u'\r'}});
  }
  void TearDown() override { EBCDICTranscoders::instance().clear(); }

  static void add(short ccsid, const Entries& entries) {
    std::istringstream stream(tableBytes(entries));
    EBCDICTranscoders::instance().add(EBCDICTranscoder(ccsid, stream));
  }

  static std::u16string toWide(short ccsid, const Bytes& in, int dstBytes, int& result) {
    std::u16string out(16, u'#');
    result = KW_EbcdicBytesToWideChar(ccsid, in.data(), static_cast<int>(in.size()), out.data(), dstBytes);
    return out.substr(0, static_cast<std::size_t>(std::max(0, std::min(result, dstBytes / 2))));
  }

  // The first dstBytes bytes of the output, 0xAA where nothing was stored.
  static Bytes toHost(short ccsid, const std::u16string& in, int dstBytes, int& result) {
    Bytes out(32, 0xAA);
    result = KW_WideCharToEbcdicBytes(ccsid, in.data(), static_cast<int>(in.size()), out.data(), dstBytes);
    return Bytes(out.begin(), out.begin() + std::max(0, std::min(result, dstBytes)));
  }
};

struct ToWideCase {
  const char* name;
  short ccsid;
  Bytes input;
  int dstBytes;
  int result;
  std::u16string stored;
};

class ShiftedToWide : public FlatConversions, public ::testing::WithParamInterface<ToWideCase> {};

TEST_P(ShiftedToWide, CountsEveryCharacterAndStoresWhatFits) {
  const auto& c = GetParam();
  int result = 0;
  const std::u16string stored = toWide(c.ccsid, c.input, c.dstBytes, result);
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(stored, c.stored);
  EXPECT_EQ(KW_EbcdicBytesToWideChar(c.ccsid, c.input.data(), static_cast<int>(c.input.size()), nullptr, 0), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShiftedToWide,
    ::testing::Values(
        ToWideCase{"run_between_singles", 930, {0xC1, 0x0E, 0x40, 0x40, 0x0F, 0xC2}, 32, 3, u"A\u3000B"},
        ToWideCase{"capacity_cuts_the_rest", 930, {0xC1, 0x0E, 0x40, 0x40, 0x0F, 0xC2}, 4, 3, u"A\u3000"},
        ToWideCase{"odd_capacity", 930, {0xC1, 0xC2, 0xC1}, 5, 3, u"AB"},
        ToWideCase{"shift_in_while_unshifted", 930, {0x0F, 0xC1}, 32, 2, u"\u0020A"},
        ToWideCase{"repeated_shift_out", 930, {0x0E, 0x0E, 0x44, 0x81}, 32, 1, u"\u4E00"},
        ToWideCase{"unmapped_substitutes", 930, {0xFF, 0x0E, 0x41, 0x41}, 32, 2, u" \u3000"},
        ToWideCase{"run_cut_after_a_lead_byte", 930, {0x0E, 0x44, 0x81, 0x44}, 32, 2, u"\u4E00\u3000"},
        ToWideCase{"shift_bytes_only", 930, {0x0E, 0x0F, 0x0E}, 32, 0, u""},
        ToWideCase{"single_byte_ccsid_runs", 37, {0x0E, 0x41, 0x41, 0x0F, 0xFF}, 32, 2, u"\uFF1F?"},
        ToWideCase{"unicode_ccsid", 13488, {0x0E, 0x4E, 0x00, 0x00, 0x41, 0x0F, 0x41}, 32, 3, u"\u4E00AA"},
        ToWideCase{"negative_capacity", 930, {0xC1}, -2, 1, u""}),
    [](const auto& testInfo) { return testInfo.param.name; });

struct ToHostCase {
  const char* name;
  short ccsid;
  std::u16string input;
  int dstBytes;
  int result;
  Bytes stored;
};

class WideToShifted : public FlatConversions, public ::testing::WithParamInterface<ToHostCase> {};

TEST_P(WideToShifted, BracketsRunsAndStoresWhatFits) {
  const auto& c = GetParam();
  int result = 0;
  EXPECT_EQ(toHost(c.ccsid, c.input, c.dstBytes, result), c.stored);
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(KW_WideCharToEbcdicBytes(c.ccsid, c.input.data(), static_cast<int>(c.input.size()), nullptr, 0), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WideToShifted,
    ::testing::Values(
        ToHostCase{"single_double_single", 930, u"A\u4E00B", 32, 6, {0xC1, 0x0E, 0x44, 0x81, 0x0F, 0xC2}},
        ToHostCase{"ends_in_a_run", 930, u"A\u4E00\u4E8C", 32, 6, {0xC1, 0x0E, 0x44, 0x81, 0x44, 0x82}},
        ToHostCase{"pair_does_not_fit", 930, u"\u4E00A", 2, 5, {0x0E, 0xAA}},
        ToHostCase{"shift_in_fits_its_letter_not", 930, u"\u4E00AB", 4, 6, {0x0E, 0x44, 0x81, 0x0F}},
        ToHostCase{"nothing_after_a_miss", 930, u"A\u4E00B", 3, 6, {0xC1, 0x0E, 0xAA}},
        ToHostCase{"unmapped_is_single", 930, u"\u9999", 32, 1, {0x6F}},
        ToHostCase{"marks_are_single", 930, u"\u4E00\uFFFF", 32, 5, {0x0E, 0x44, 0x81, 0x0F, 0x6F}},
        ToHostCase{"unicode_ccsid", 13488, u"\u4E00A", 32, 5, {0x0E, 0x4E, 0x00, 0x00, 0x41}},
        ToHostCase{"unicode_ccsid_marks", 1200, u"A\uFFFE", 32, 5, {0x0E, 0x00, 0x41, 0x0F, 0xFE}},
        ToHostCase{"single_byte_ccsid", 37, u"AB\u4E00", 32, 3, {0xC1, 0xC2, 0x6F}}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST_F(FlatConversions, MissingTablesAreRaisedOnlyWhenACodeIsNeeded) {
  const Bytes host = {0xC1, 0x0E, 0x40, 0x40};
  const std::u16string text = u"AB";
  EXPECT_EQ(KW_EbcdicBytesToWideChar(500, host.data(), 4, nullptr, 0), 2) << "counting needs no table";
  WCHAR out[4];
  EXPECT_THROW(KW_EbcdicBytesToWideChar(500, host.data(), 4, out, 0), velmora::EBCDICTranscoderFileNotFound);
  const Bytes shifts = {0x0E, 0x0F};
  EXPECT_EQ(KW_EbcdicBytesToWideChar(500, shifts.data(), 2, out, 8), 0);

  EXPECT_EQ(KW_WideCharToEbcdicBytes(500, text.data(), 2, nullptr, 0), 2) << "every character single-byte";
  BYTE bytes[4];
  EXPECT_EQ(KW_WideCharToEbcdicBytes(500, text.data(), 2, bytes, 0), 2);
  EXPECT_THROW(KW_WideCharToEbcdicBytes(500, text.data(), 2, bytes, 4), velmora::EBCDICTranscoderFileNotFound);
  EXPECT_THROW(EtoU(500, 0xC1, nullptr), velmora::EBCDICTranscoderFileNotFound);
  EXPECT_EQ(KW_EbcdicBytesToWideChar(930, host.data(), 0, out, 8), 0);
  EXPECT_EQ(KW_WideCharToEbcdicBytes(930, text.data(), -1, bytes, 4), 0);
}

TEST_F(FlatConversions, SingleLookupsReportThroughAnInt) {
  int unmapped = -1;
  EXPECT_EQ(EtoU(930, 0x4481, &unmapped), 0x4E00);
  EXPECT_EQ(unmapped, 0);
  EXPECT_EQ(EtoU(930, 0x4141, &unmapped), 0x3000);
  EXPECT_EQ(unmapped, 1);
  EXPECT_EQ(UtoE(37, 0x00E9, &unmapped), 0x51);
  EXPECT_EQ(unmapped, 0);
  EXPECT_EQ(UtoE(37, 0x4E00, nullptr), 0x6F);
  unmapped = -1;
  EXPECT_EQ(EtoU(1200, 0x00C4, &unmapped), 0x00C4);
  EXPECT_EQ(unmapped, 0);
}

TEST_F(FlatConversions, BufferConversionsAreTheTranscoders) {
  const Bytes host = {0xC1, 0x51, 0xFF};
  std::u16string out(4, u'#');
  EXPECT_EQ(TConvertEtoU(37, host.data(), out.data(), 3), 3);
  EXPECT_EQ(out, std::u16string(u"A\u00E9?\0", 4));
  Bytes back(4, 0xAA);
  EXPECT_EQ(TConvertUtoE(37, u"Ae\u0301", back.data(), 0), 2);
  EXPECT_EQ(back, (Bytes{0xC1, 0x51, 0xAA, 0xAA})) << "e and the combining acute compose to e-acute";
}

TEST(CodePageConversions, NarrowAndWide) {
  sys::testing::setLocale("en_US");
  WCHAR wide[8];
  std::fill(std::begin(wide), std::end(wide), u'#');
  EXPECT_EQ(TConvertAtoU("abc", wide, 8), 4);
  EXPECT_EQ(std::u16string(wide, 5), std::u16string(u"abc\0#", 5));
  EXPECT_EQ(TConvertAtoU("abc", wide, 3), 0) << "no room for the terminator";
  EXPECT_EQ(TConvertAtoUEx("\xE9t\xE9", 3, wide, -1, 1252), 3);
  EXPECT_EQ(std::u16string(wide, 3), u"\u00E9t\u00E9");
  EXPECT_EQ(TConvertAtoUEx("\x82\xA0", 2, wide, 8, 932), 1);
  EXPECT_EQ(wide[0], 0x3042);

  char narrow[8];
  std::fill(std::begin(narrow), std::end(narrow), '#');
  EXPECT_EQ(TConvertUtoAEx(u"ab", -1, narrow, -1, 1252), 3) << "room for 5 bytes: 2 x 3 - 1";
  EXPECT_EQ(std::string(narrow, 5), std::string("ab\0\0#", 5)) << "a zero after the converted terminator";
  std::fill(std::begin(narrow), std::end(narrow), '#');
  EXPECT_EQ(TConvertUtoAEx(u"\u00E9x", 2, narrow, 8, 1252), 2);
  EXPECT_EQ(std::string(narrow, 3), std::string("\xE9x\0", 3)) << "terminated after the bytes";
  EXPECT_EQ(TConvertUtoAEx(u"\u00E9x", 2, narrow, 2, 1252), 2);
  EXPECT_EQ(narrow[2], '\0') << "no room: nothing stored after the bytes";
  EXPECT_EQ(TConvertUtoA(u"\u3042", narrow, 8), 2);
  EXPECT_EQ(narrow[0], '?') << "not in code page 1252";
  EXPECT_EQ(TConvertUtoAEx(u"a", 1, narrow, 8, 12345), 0) << "unknown code page";
  sys::testing::setLocale(nullptr);
}

TEST(SwapBytes, SwapsWholePairsOnly) {
  const BYTE src[] = {1, 2, 3, 4, 5};
  BYTE dst[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(TSwapBytes(src, dst, 5), 4);
  EXPECT_EQ(std::vector<BYTE>(dst, dst + 5), (std::vector<BYTE>{2, 1, 4, 3, 9}));
  EXPECT_EQ(TSwapBytes(src, dst, 1), 0);
  EXPECT_EQ(TSwapBytes(src, dst, -4), 0);
}

}  // namespace
