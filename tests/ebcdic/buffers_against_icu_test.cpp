// Whole buffers against ICU's converters, and round trips through every table the build made.

#include <kwuni/catalogue.h>
#include <kwuni/ebcdic.h>

#include "catalogue/code_page_rows.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using velmora::EBCDICTranscoders;
using Bytes = std::vector<BYTE>;

class BuiltTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { KW_SetUniBaseDirectory(KWUNI_BUILD_DIR); }
  void TearDown() override {
    KW_SetUniBaseDirectory(u"");
    EBCDICTranscoders::instance().clear();
  }
};

// Characters ICU maps round trip in the CCSID, without those whose mapping the library decides
// for itself (0x1C and the en dash) and the shift controls.
std::u16string roundTripCharacters(UConverter* icu) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(), uset_close);
  ucnv_getUnicodeSet(icu, set.get(), UCNV_ROUNDTRIP_SET, &status);
  std::u16string chars;
  for (UChar32 c = 0x20; c < 0xFFFE; ++c) {
    if (c == 0x2013 || (c >= 0xD800 && c <= 0xDFFF) || !uset_contains(set.get(), c)) continue;
    chars += static_cast<char16_t>(c);
  }
  return chars;
}

// Random text in runs, as host fields hold it: a few characters of one width, then the other.
std::u16string randomText(const std::u16string& pool, bool mixed, std::mt19937& random, std::size_t length) {
  std::u16string singles, doubles;
  for (const char16_t c : pool) (c < 0x100 || !mixed ? singles : doubles) += c;
  std::u16string text;
  bool wide = false;
  while (text.size() < length) {
    const std::u16string& from = wide && !doubles.empty() ? doubles : singles;
    const std::size_t run = 1 + random() % 12;
    for (std::size_t i = 0; i < run; ++i) text += from[random() % from.size()];
    wide = !wide;
  }
  text += u'A';  // end outside a run: ICU closes a last run with shift-in, the library does not
  return text;
}

class BuffersAgainstIcu : public BuiltTablesTest, public ::testing::WithParamInterface<short> {};

TEST_P(BuffersAgainstIcu, RandomBuffersConvertAsIcuDoesBothWays) {
  const short ccsid = GetParam();
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, decltype(&ucnv_close)> icu(
      ucnv_open(("ibm-" + std::to_string(ccsid)).c_str(), &status), ucnv_close);
  ASSERT_TRUE(U_SUCCESS(status));
  const bool mixed = KW_IsDbcsECP(ccsid) == 1;
  const std::u16string pool = roundTripCharacters(icu.get());
  std::mt19937 random(static_cast<std::mt19937::result_type>(static_cast<unsigned short>(ccsid)));

  for (int round = 0; round < 20; ++round) {
    const std::u16string text = randomText(pool, mixed, random, 5000);
    const auto length = static_cast<int>(text.size());
    std::string icuBytes(4 * text.size() + 8, '\0');
    status = U_ZERO_ERROR;
    icuBytes.resize(static_cast<std::size_t>(ucnv_fromUChars(icu.get(), icuBytes.data(),
                                                             static_cast<int32_t>(icuBytes.size()), text.data(),
                                                             length, &status)));
    ASSERT_TRUE(U_SUCCESS(status));
    const Bytes expected(icuBytes.begin(), icuBytes.end());

    Bytes ours(expected.size() + 4);
    const int written = KW_WideCharToEbcdicBytes(ccsid, text.data(), length, ours.data(), static_cast<int>(ours.size()));
    ours.resize(static_cast<std::size_t>(written));
    const auto [where, _] = std::mismatch(ours.begin(), ours.end(), expected.begin(), expected.end());
    ASSERT_EQ(ours, expected) << "round " << round << ", first difference at byte " << (where - ours.begin());

    std::u16string back(text.size(), u'#');
    EXPECT_EQ(KW_EbcdicBytesToWideChar(ccsid, expected.data(), static_cast<int>(expected.size()), back.data(),
                                       static_cast<int>(2 * back.size())),
              length);
    ASSERT_EQ(back, text) << "round " << round;

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

// Every character a table maps round trip survives a trip through the buffer conversions.
TEST_F(BuiltTablesTest, EveryTableRoundTripsItsCharacters) {
  int tables = 0;
  for (const auto& row : kwuni::catalogue::ccsidRows) {
    const auto ccsid = static_cast<short>(row.code);
    if (!EBCDICTranscoders::hasTranscoder(ccsid)) continue;
    ++tables;
    SCOPED_TRACE(row.code);
    const auto& table = EBCDICTranscoders::instance().transcoder(ccsid);
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

    const auto length = static_cast<int>(text.size());
    const int hostLength = KW_WideCharToEbcdicBytes(ccsid, text.data(), length, nullptr, 0);
    Bytes host(static_cast<std::size_t>(hostLength));
    KW_WideCharToEbcdicBytes(ccsid, text.data(), length, host.data(), hostLength);
    std::u16string back(text.size(), u'#');
    EXPECT_EQ(KW_EbcdicBytesToWideChar(ccsid, host.data(), hostLength, back.data(), 2 * length), length);
    EXPECT_EQ(back, text);

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
  EXPECT_EQ(tables, 48);
}

}  // namespace
