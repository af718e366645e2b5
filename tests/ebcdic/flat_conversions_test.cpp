#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "platform/locale.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using velmora::EBCDICTranscoderFileNotFound;
using Bytes = std::vector<BYTE>;

// A small mixed table for CCSID 930 and a single-byte one for 37, added to the registry so
// that no file is read.
class FlatConversions : public kwuni::test::AddedTables {
 protected:
  void SetUp() override {
    AddedTables::SetUp();
    add(930, {{0xC1, u'A'}, {0xC2, u'B'}, {0x40, u' '}, {0x4040, 0x3000}, {0x4481, 0x4E00}, {0x4482, 0x4E8C}});
    add(37, {{0xC1, u'A'}, {0xC2, u'B'}, {0x51, 0x00E9}, {0x0D, u'\r'}});
  }
};

TEST_F(FlatConversions, ShiftedHostDataCountsEveryCharacterAndStoresWhatFits) {
  struct Case { const char* name; short ccsid; Bytes in; int dstBytes, result; std::u16string stored; };
  const Case cases[] = {
      {"run between singles", 930, {0xC1, 0x0E, 0x40, 0x40, 0x0F, 0xC2}, 32, 3, u"A\u3000B"},
      {"capacity cuts the rest", 930, {0xC1, 0x0E, 0x40, 0x40, 0x0F, 0xC2}, 4, 3, u"A\u3000"},
      {"odd capacity", 930, {0xC1, 0xC2, 0xC1}, 5, 3, u"AB"},
      {"shift-in while unshifted", 930, {0x0F, 0xC1}, 32, 2, u"\u0020A"},
      {"repeated shift-out", 930, {0x0E, 0x0E, 0x44, 0x81}, 32, 1, u"\u4E00"},
      {"unmapped substitutes", 930, {0xFF, 0x0E, 0x41, 0x41}, 32, 2, u" \u3000"},
      {"run cut after a lead byte", 930, {0x0E, 0x44, 0x81, 0x44}, 32, 2, u"\u4E00\u3000"},
      {"pair with lead byte 0x00 is single", 930, {0x0E, 0x00, 0xC1, 0x00, 0xFF, 0x0F}, 32, 2, u"A "},
      {"shift bytes only", 930, {0x0E, 0x0F, 0x0E}, 32, 0, u""},
      {"single-byte CCSID runs", 37, {0x0E, 0x41, 0x41, 0x0F, 0xFF}, 32, 2, u"\uFF1F?"},
      {"Unicode CCSID", 13488, {0x0E, 0x4E, 0x00, 0x00, 0x41, 0x0F, 0x41}, 32, 3, u"\u4E00AA"},
      {"negative capacity", 930, {0xC1}, -2, 1, u""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int srcLen = static_cast<int>(c.in.size());
    std::u16string out(16, u'#');
    EXPECT_EQ(KW_EbcdicBytesToWideChar(c.ccsid, c.in.data(), srcLen, out.data(), c.dstBytes), c.result);
    EXPECT_EQ(out, c.stored + std::u16string(16 - c.stored.size(), u'#'));
    EXPECT_EQ(KW_EbcdicBytesToWideChar(c.ccsid, c.in.data(), srcLen, nullptr, 0), c.result);
  }
}

TEST_F(FlatConversions, WideTextBracketsRunsAndStoresWhatFits) {
  struct Case { const char* name; short ccsid; std::u16string in; int dstBytes, result; Bytes stored; };
  const Case cases[] = {
      {"single double single", 930, u"A\u4E00B", 32, 6, {0xC1, 0x0E, 0x44, 0x81, 0x0F, 0xC2}},
      {"ends in a run", 930, u"A\u4E00\u4E8C", 32, 6, {0xC1, 0x0E, 0x44, 0x81, 0x44, 0x82}},
      {"pair does not fit", 930, u"\u4E00A", 2, 5, {0x0E}},
      {"shift-in fits, its letter not", 930, u"\u4E00AB", 4, 6, {0x0E, 0x44, 0x81, 0x0F}},
      {"nothing after a miss", 930, u"A\u4E00B", 3, 6, {0xC1, 0x0E}},
      {"unmapped is single", 930, u"\u9999", 32, 1, {0x6F}},
      {"marks are single", 930, u"\u4E00\uFFFF", 32, 5, {0x0E, 0x44, 0x81, 0x0F, 0x6F}},
      {"Unicode CCSID", 13488, u"\u4E00A", 32, 5, {0x0E, 0x4E, 0x00, 0x00, 0x41}},
      {"Unicode CCSID marks", 1200, u"A\uFFFE", 32, 5, {0x0E, 0x00, 0x41, 0x0F, 0xFE}},
      {"single-byte CCSID", 37, u"AB\u4E00", 32, 3, {0xC1, 0xC2, 0x6F}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int srcLen = static_cast<int>(c.in.size());
    Bytes out(32, 0xAA), expected = c.stored;
    expected.resize(out.size(), 0xAA);
    EXPECT_EQ(KW_WideCharToEbcdicBytes(c.ccsid, c.in.data(), srcLen, out.data(), c.dstBytes), c.result);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(KW_WideCharToEbcdicBytes(c.ccsid, c.in.data(), srcLen, nullptr, 0), c.result);
  }
}

TEST_F(FlatConversions, MissingTablesAreRaisedOnlyWhenACodeIsNeeded) {
  const Bytes host = {0xC1, 0x0E, 0x40, 0x40}, shifts = {0x0E, 0x0F};
  const std::u16string text = u"AB";
  WCHAR out[4];
  BYTE bytes[4];
  EXPECT_EQ(KW_EbcdicBytesToWideChar(500, host.data(), 4, nullptr, 0), 2) << "counting needs no table";
  EXPECT_THROW(KW_EbcdicBytesToWideChar(500, host.data(), 4, out, 0), EBCDICTranscoderFileNotFound);
  EXPECT_EQ(KW_EbcdicBytesToWideChar(500, shifts.data(), 2, out, 8), 0);
  EXPECT_EQ(KW_WideCharToEbcdicBytes(500, text.data(), 2, nullptr, 0), 2) << "every character single-byte";
  EXPECT_EQ(KW_WideCharToEbcdicBytes(500, text.data(), 2, bytes, 0), 2);
  EXPECT_THROW(KW_WideCharToEbcdicBytes(500, text.data(), 2, bytes, 4), EBCDICTranscoderFileNotFound);
  EXPECT_THROW(EtoU(500, 0xC1, nullptr), EBCDICTranscoderFileNotFound);
  EXPECT_EQ(KW_EbcdicBytesToWideChar(930, host.data(), 0, out, 8), 0);
  EXPECT_EQ(KW_WideCharToEbcdicBytes(930, text.data(), -1, bytes, 4), 0);
}

TEST_F(FlatConversions, SingleLookupsReportThroughAnIntAndBuffersGoThroughTheTable) {
  struct Case { short ccsid; bool toUnicode; WORD in, out; int unmapped; };
  for (const auto& c : {Case{930, true, 0x4481, 0x4E00, 0}, Case{930, true, 0x4141, 0x3000, 1},
                        Case{37, false, 0x00E9, 0x51, 0}, Case{37, false, 0x4E00, 0x6F, 1},
                        Case{1200, true, 0x00C4, 0x00C4, 0}}) {
    int unmapped = -1;
    EXPECT_EQ(c.toUnicode ? EtoU(c.ccsid, c.in, &unmapped) : UtoE(c.ccsid, c.in, &unmapped), c.out) << c.in;
    EXPECT_EQ(unmapped, c.unmapped) << c.in;
    EXPECT_EQ(c.toUnicode ? EtoU(c.ccsid, c.in, nullptr) : UtoE(c.ccsid, c.in, nullptr), c.out) << c.in;
  }
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

  const BYTE src[] = {1, 2, 3, 4, 5};  // byte swapping: whole pairs only
  BYTE dst[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(TSwapBytes(src, dst, 5), 4);
  EXPECT_EQ(Bytes(dst, dst + 5), (Bytes{2, 1, 4, 3, 9}));
  EXPECT_EQ(TSwapBytes(src, dst, 1), 0);
  EXPECT_EQ(TSwapBytes(src, dst, -4), 0);
}

}  // namespace
