// Whole buffers against ICU's converters, and round trips through every table the build made.

#include <kwuni/catalogue.h>
#include <kwuni/ebcdic.h>

#include "catalogue/catalogue_rows.h"
#include "tests/support.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using velmora::EBCDICTranscoders;
using Bytes = std::vector<BYTE>;

// The tables the build generated, loaded through the registry from the build directory.
using BuiltTables = kwuni::test::BuildTables<>;

// Random text in runs, as host fields hold it: a few characters of one width, then the other.
std::u16string randomText(const std::u16string& pool, bool mixed, std::mt19937& random, std::size_t length) {
  std::u16string singles, doubles;
  for (const char16_t c : pool) (c < 0x100 || !mixed ? singles : doubles) += c;
  std::u16string text;
  for (bool wide = false; text.size() < length; wide = !wide) {
    const std::u16string& from = wide && !doubles.empty() ? doubles : singles;
    for (std::size_t run = 1 + random() % 12; run > 0; --run) text += from[random() % from.size()];
  }
  return text + u'A';  // end outside a run: ICU closes a last run with shift-in, the library does not
}

// The text through the shifted conversions: the host bytes, which must read back as the text.
Bytes hostRoundTrip(short ccsid, const std::u16string& text) {
  const auto length = static_cast<int>(text.size());
  Bytes host(static_cast<std::size_t>(KW_WideCharToEbcdicBytes(ccsid, text.data(), length, nullptr, 0)));
  const auto hostLength = static_cast<int>(host.size());
  EXPECT_EQ(KW_WideCharToEbcdicBytes(ccsid, text.data(), length, host.data(), hostLength), hostLength);
  std::u16string back(text.size(), u'#');
  EXPECT_EQ(KW_EbcdicBytesToWideChar(ccsid, host.data(), hostLength, back.data(), 2 * length), length);
  EXPECT_EQ(back, text);
  return host;
}

class BuffersAgainstIcu : public BuiltTables, public ::testing::WithParamInterface<short> {};

TEST_P(BuffersAgainstIcu, RandomBuffersConvertAsIcuDoesBothWays) {
  const short ccsid = GetParam();
  const auto icu = kwuni::test::openIcu(ccsid);
  ASSERT_NE(icu, nullptr);
  const bool mixed = KW_IsDbcsECP(ccsid) == 1;
  // Characters ICU maps round trip, without those whose mapping the library decides for itself
  // (0x1C and the en dash) and the shift controls.
  const auto set = kwuni::test::roundTripSet(icu.get());
  std::u16string pool;
  for (UChar32 c = 0x20; c < 0xFFFE; ++c) {
    if (c != 0x2013 && (c < 0xD800 || c > 0xDFFF) && uset_contains(set.get(), c)) pool += static_cast<char16_t>(c);
  }
  std::mt19937 random(static_cast<std::mt19937::result_type>(static_cast<unsigned short>(ccsid)));

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const std::u16string text = randomText(pool, mixed, random, 5000);
    const auto length = static_cast<int>(text.size());
    std::string icuBytes(4 * text.size() + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    icuBytes.resize(static_cast<std::size_t>(ucnv_fromUChars(icu.get(), icuBytes.data(),
                                                             static_cast<int32_t>(icuBytes.size()), text.data(),
                                                             length, &status)));
    ASSERT_TRUE(U_SUCCESS(status));
    const Bytes expected(icuBytes.begin(), icuBytes.end());

    const Bytes ours = hostRoundTrip(ccsid, text);
    const auto [where, _] = std::mismatch(ours.begin(), ours.end(), expected.begin(), expected.end());
    ASSERT_EQ(ours, expected) << "first difference at byte " << (where - ours.begin());
    if (!mixed) {
      Bytes flat(text.size());
      EXPECT_EQ(TConvertUtoE(ccsid, text.data(), flat.data(), length), length);
      Bytes withoutFF = expected;  // the one-byte path never writes 0xFF: it becomes the question mark
      std::replace(withoutFF.begin(), withoutFF.end(), BYTE{0xFF}, BYTE{0x6F});
      EXPECT_EQ(flat, withoutFF);
      std::u16string wide(text.size() + 1, u'#');
      EXPECT_EQ(TConvertEtoU(ccsid, expected.data(), wide.data(), length), length);
      EXPECT_EQ(wide, text + u'\0');
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Ccsids, BuffersAgainstIcu,
                         ::testing::Values(short{37}, short{500}, short{1047}, short{273}, short{930}, short{939},
                                           short{933}, short{935}, short{937}));

// Every catalogued CCSID but 13488 (Unicode) has a table that loads,
// and every character it maps round trip survives a trip through the buffer conversions.
TEST_F(BuiltTables, EveryTableLoadsAndRoundTripsItsCharacters) {
  for (const auto& row : kwuni::catalogue::ccsidRows) {
    SCOPED_TRACE(row.code);
    const auto ccsid = static_cast<short>(row.code);
    ASSERT_EQ(EBCDICTranscoders::hasTranscoder(ccsid), row.code != 13488);
    if (row.code == 13488) continue;
    const auto& table = EBCDICTranscoders::instance().transcoder(ccsid);
    EXPECT_EQ(table.isMixed(), row.isDbcs == 1);
    EXPECT_EQ(table.EtoU(0x40), u' ') << "the host space";
    std::u16string text, composable;
    for (UChar32 c = 0x20; c < 0xFFFE; ++c) {
      const auto ch = static_cast<WORD>(c);
      bool unmapped = false;
      const WORD code = table.UtoE(ch, &unmapped);
      if (unmapped || table.EtoU(code) != ch || (c >= 0xD800 && c <= 0xDFFF)) continue;
      text += static_cast<char16_t>(c);
      if (u_getCombiningClass(c) != 0 || u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK) != UNORM_YES) {
        composable += static_cast<char16_t>(c);
      }
    }
    ASSERT_GT(text.size(), 180u);
    std::shuffle(text.begin(), text.end(), std::mt19937(static_cast<unsigned>(row.code)));

    hostRoundTrip(ccsid, text);
    if (table.isMixed()) continue;
    // One byte a character both ways; characters that composition could join stay out, and so
    // does the one at 0xFF, which this path writes as the question mark.
    std::u16string plain;
    std::copy_if(text.begin(), text.end(), std::back_inserter(plain), [&](char16_t c) {
      return composable.find(c) == std::u16string::npos && table.UtoE(c) != 0xFF;
    });
    Bytes flat(plain.size());
    EXPECT_EQ(TConvertUtoE(ccsid, plain.data(), flat.data(), static_cast<int>(plain.size())),
              static_cast<int>(plain.size()));
    std::u16string again(plain.size() + 1, u'#');
    TConvertEtoU(ccsid, flat.data(), again.data(), static_cast<int>(flat.size()));
    EXPECT_EQ(again, plain + u'\0');
  }
  // A few codes both ways, through the registry's single lookups.
  struct Case { short ccsid; WORD code, ch; };
  for (const auto& c : {Case{37, 0xC1, u'A'}, Case{500, 0x4A, u'['}, Case{37, 0x1C, 0x2013}, Case{1390, 0x1C, 0x001C},
                        Case{930, 0x4040, 0x3000}, Case{1047, 0x15, 0x0085}}) {
    EXPECT_EQ(EBCDICTranscoders::EtoU(c.ccsid, c.code), c.ch) << c.ccsid << " " << std::hex << c.code;
    EXPECT_EQ(EBCDICTranscoders::UtoE(c.ccsid, c.ch), c.code) << c.ccsid << " " << std::hex << c.ch;
  }
}

}  // namespace
