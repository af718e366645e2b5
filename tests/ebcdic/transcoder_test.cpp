#include <kwuni/ebcdic.h>

#include "platform/locale.h"
#include "platform/version.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kwuni::test::Entries;
using kwuni::test::tableBytes;
using velmora::EBCDICTranscoder;

EBCDICTranscoder load(short ccsid, const std::string& bytes) {
  std::istringstream stream(bytes);
  return EBCDICTranscoder(ccsid, stream);
}

// A small CCSID 37 style table, and a mixed one with a double-byte area.
const Entries latin = {{0xC1, u'A'}, {0xC2, u'B'}, {0x85, u'e'}, {0x51, 0x00E9}, {0x40, u' '}, {0xDF, 0x00FF}};
const Entries mixed = {{0xC1, u'A'},      {0x40, u' '},      {0x4040, 0x3000},
                       {0x4481, 0x4E00}, {0x44, 0xFFFE}, {0x0E, 0xFFFE}};

struct StreamCase {
  const char* name;
  std::string bytes;
  bool corrupt;
};

class TableFormat : public ::testing::TestWithParam<StreamCase> {};

TEST_P(TableFormat, LoadsOrReportsAStreamCorrupt) {
  const auto& c = GetParam();
  std::istringstream stream(c.bytes);
  if (c.corrupt) {
    try {
      EBCDICTranscoder t(37, stream);
      ADD_FAILURE() << "loaded";
    } catch (const velmora::EBCDICTranscoderStreamCorrupt& e) {
      EXPECT_STREQ(e.what(), "Stream corrupt");
    }
  } else {
    EXPECT_NO_THROW(EBCDICTranscoder(37, stream));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, TableFormat,
    ::testing::Values(StreamCase{"empty", "", true}, StreamCase{"one_byte", std::string(1, '\0'), true},
                      StreamCase{"count_zero", tableBytes({}), false},
                      StreamCase{"count_beyond_entries", tableBytes(5, {{0xC1, u'A'}, {0xC2, u'B'}}), true},
                      StreamCase{"cut_inside_an_entry", tableBytes({{0xC1, u'A'}}).substr(0, 5), true},
                      StreamCase{"cut_after_the_code", tableBytes({{0xC1, u'A'}}).substr(0, 4), true},
                      StreamCase{"negative_count", tableBytes(-32768, {{0xC1, u'A'}}), false},
                      StreamCase{"minus_one", tableBytes(-1, {}), false},
                      StreamCase{"trailing_bytes", tableBytes({{0xC1, u'A'}}) + "xyz", false},
                      StreamCase{"whole_table", tableBytes(latin), false}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(TranscoderLoading, AnEmptyTableMapsOnlyTheEnDash) {
  const auto t = load(37, tableBytes({}));
  bool unmapped = false;
  EXPECT_EQ(t.EtoU(0x1C, &unmapped), 0x2013);
  EXPECT_FALSE(unmapped);
  EXPECT_EQ(t.UtoE(0x2013, &unmapped), 0x1C);
  EXPECT_FALSE(unmapped);
  EXPECT_EQ(t.EtoU(0xC1, &unmapped), u'?');
  EXPECT_TRUE(unmapped);

  for (const short exempt : {short{937}, short{1371}, short{1388}, short{1390}, short{1399}}) {
    const auto own = load(exempt, tableBytes({{0x1C, 0x001C}}));
    EXPECT_EQ(own.EtoU(0x1C), 0x001C) << exempt;
    EXPECT_EQ(own.UtoE(0x2013, &unmapped), 0x6F) << exempt;
    EXPECT_TRUE(unmapped);
  }
}

TEST(TranscoderLoading, TheEnDashOverridesOnlyItsTwoEntries) {
  const auto t = load(500, tableBytes({{0x1C, 0x001C}, {0x60, 0x2013}}));
  EXPECT_EQ(t.EtoU(0x1C), 0x2013);
  EXPECT_EQ(t.UtoE(0x2013), 0x1C);
  EXPECT_EQ(t.UtoE(0x001C), 0x1C) << "left as loaded";
  EXPECT_EQ(t.EtoU(0x60), 0x2013) << "left as loaded";
}

TEST(TranscoderLoading, LaterEntriesWinInTheirDirection) {
  const auto t = load(37, tableBytes({{0xC1, u'A'}, {0xC1, u'X'}}));
  EXPECT_EQ(t.EtoU(0xC1), u'X');
  EXPECT_EQ(t.UtoE(u'A'), 0xC1);
  EXPECT_EQ(t.UtoE(u'X'), 0xC1);
}

TEST(TranscoderLoading, RefusesAFailedStreamAndPassesAnEndedOneThrough) {
  std::istringstream failed(tableBytes(latin));
  failed.setstate(std::ios::failbit);
  try {
    EBCDICTranscoder t(37, failed);
    ADD_FAILURE() << "loaded";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "stream");
  }

  std::istringstream ended(tableBytes(latin));
  ended.setstate(std::ios::eofbit);
  try {
    EBCDICTranscoder t(37, ended);
    ADD_FAILURE() << "loaded";
  } catch (const velmora::EBCDICTranscoderStreamCorrupt&) {
    ADD_FAILURE() << "the stream's own exception was replaced";
  } catch (const std::exception&) {
  }
}

TEST(TranscoderLoading, LeavesTheStreamThrowingOnFailure) {
  std::istringstream stream(tableBytes(latin));
  EBCDICTranscoder t(37, stream);
  EXPECT_EQ(stream.exceptions(), std::ios::eofbit | std::ios::failbit | std::ios::badbit);
}

TEST(TranscoderLoading, The9xFamilyDropsCharactersTheAnsiCodePageLacks) {
  sys::testing::setLocale("en_US");  // code page 1252
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  const auto t = load(1025, tableBytes({{0xC1, u'A'}, {0xC2, 0x0411}}));
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
  sys::testing::setLocale(nullptr);
  bool unmapped = false;
  EXPECT_EQ(t.EtoU(0xC1), u'A');
  EXPECT_EQ(t.EtoU(0xC2, &unmapped), u'?');
  EXPECT_TRUE(unmapped);
  EXPECT_EQ(t.UtoE(0x0411), 0xC2) << "the other direction is always loaded";
}

struct LookupCase {
  short ccsid;
  WORD code;
  WORD expected;
  bool unmapped;
};

TEST(TranscoderLookup, EtoUAndItsSubstitutes) {
  const auto single = load(37, tableBytes(latin));
  const auto dbcs = load(930, tableBytes(mixed));
  const LookupCase cases[] = {
      {37, 0xC1, u'A', false},   {37, 0xFF, 0x003F, true},  {37, 0x4040, 0xFF1F, true},
      {930, 0x4040, 0x3000, false}, {930, 0x4141, 0x3000, true}, {930, 0xFF, 0x0020, true},
      {930, 0x0E, 0xFFFE, false}, {930, 0x4481, 0x4E00, false},
  };
  for (const auto& c : cases) {
    bool unmapped = !c.unmapped;
    EXPECT_EQ((c.ccsid == 37 ? single : dbcs).EtoU(c.code, &unmapped), c.expected) << std::hex << c.code;
    EXPECT_EQ(unmapped, c.unmapped) << std::hex << c.code;
    EXPECT_EQ((c.ccsid == 37 ? single : dbcs).EtoU(c.code, nullptr), c.expected);
  }
}

TEST(TranscoderLookup, UtoEAndItsSubstitutes) {
  bool unmapped = false;
  EXPECT_EQ(load(930, tableBytes(mixed)).UtoE(0x4E00, &unmapped), 0x4481);
  EXPECT_FALSE(unmapped);
  EXPECT_EQ(load(933, tableBytes({})).UtoE(u'Z', &unmapped), 0x40);
  EXPECT_TRUE(unmapped);
  EXPECT_EQ(load(930, tableBytes({})).UtoE(u'Z', &unmapped), 0x6F);
  EXPECT_EQ(load(37, tableBytes({})).UtoE(0xFFFF, nullptr), 0x6F);
}

TEST(TranscoderCopy, CopiesBothTables) {
  const auto original = load(930, tableBytes(mixed));
  EBCDICTranscoder copy = original;
  EXPECT_EQ(copy.getCcsid(), 930);
  EXPECT_TRUE(copy.isMixed());
  EXPECT_EQ(copy.EtoU(0x4481), 0x4E00);
  copy = load(37, tableBytes(latin));
  EXPECT_EQ(copy.getCcsid(), 37);
  EXPECT_EQ(copy.EtoU(0x4481), 0xFF1F);
  EXPECT_EQ(original.EtoU(0x4481), 0x4E00);
}

struct EtoUCase {
  const char* name;
  short ccsid;
  std::vector<BYTE> input;
  std::u16string expected;
};

class ConvertEtoU : public ::testing::TestWithParam<EtoUCase> {};

TEST_P(ConvertEtoU, WritesTheCharactersAndATerminator) {
  const auto& c = GetParam();
  const auto t = load(c.ccsid, tableBytes(c.ccsid == 37 ? latin : mixed));
  const int srcLen = static_cast<int>(c.input.size());
  std::vector<WCHAR> out(c.input.size() + 2, u'#');
  EXPECT_EQ(t.convertEtoU(c.input.data(), out.data(), srcLen), static_cast<int>(c.expected.size()));
  EXPECT_EQ(std::u16string(out.data(), c.expected.size()), c.expected);
  EXPECT_EQ(out[c.expected.size()], 0);
  EXPECT_EQ(out[c.expected.size() + 1], u'#');
  EXPECT_EQ(t.convertEtoU(c.input.data(), nullptr, srcLen), static_cast<int>(c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, ConvertEtoU,
    ::testing::Values(EtoUCase{"single", 37, {0xC1, 0x85, 0x51}, u"Ae\u00E9"},
                      EtoUCase{"single_unmapped", 37, {0xC1, 0x00, 0xFF}, u"A??"},
                      EtoUCase{"single_no_input", 37, {}, u""},
                      EtoUCase{"mixed_lead_byte_joins", 930, {0xC1, 0x44, 0x81, 0x40}, u"A\u4E00 "},
                      EtoUCase{"mixed_unmarked_bytes_stay_single", 930, {0x41, 0x81}, u"??"},
                      EtoUCase{"mixed_lone_lead_at_end", 930, {0xC1, 0x44}, u"A"},
                      EtoUCase{"mixed_unmapped_pair", 930, {0x44, 0x41, 0xC1}, u"?A"},
                      EtoUCase{"shift_in_is_a_byte", 930, {0x0F, 0xC1}, u"?A"}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(ConvertUtoE, SingleByte) {
  Entries withFF = latin;
  withFF.emplace_back(0xFF, 0x009F);
  const auto t = load(37, tableBytes(withFF));
  struct Case {
    std::u16string input;
    std::vector<BYTE> expected;
  };
  const Case cases[] = {
      {u"AB", {0xC1, 0xC2}},
      {u"e\u0301", {0x51}},          // composed first: e + combining acute is e-acute
      {u"A\u009F", {0xC1, 0x6F}},     // a character at 0xFF comes out as the question mark
      {u"A\u4E00", {0xC1, 0x6F}},
      {u"\u212B", {0x6F}},           // the Angstrom sign is not replaced by A-ring
  };
  for (const auto& c : cases) {
    std::vector<BYTE> out(c.input.size() + 1, 0xAA);
    const int n = t.convertUtoE(c.input.data(), out.data(), static_cast<int>(c.input.size()));
    ASSERT_EQ(n, static_cast<int>(c.expected.size()));
    EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + n), c.expected);
    EXPECT_EQ(out[static_cast<std::size_t>(n)], 0xAA) << "no terminator";
    EXPECT_EQ(t.convertUtoE(c.input.c_str(), nullptr, 0), n) << "terminated string, count only";
  }
  EXPECT_EQ(t.UtoE(0x009F), 0xFF);
  EXPECT_EQ(t.convertUtoE(u"", nullptr, 0), 0);
  EXPECT_EQ(t.convertUtoE(nullptr, nullptr, 3), 0);
}

TEST(ConvertUtoE, MixedWritesPairsWithoutShiftBytes) {
  const auto t = load(930, tableBytes(mixed));
  const std::u16string input = u"\u4E00\u3000A\u4E01";
  std::vector<BYTE> out(2 * input.size(), 0xAA);
  ASSERT_EQ(t.convertUtoE(input.data(), out.data(), static_cast<int>(input.size())), 6);
  EXPECT_EQ(out, (std::vector<BYTE>{0x44, 0x81, 0x40, 0x40, 0xC1, 0x6F, 0xAA, 0xAA}));
  EXPECT_EQ(t.convertUtoE(u"\u4E00\u4E00", out.data(), 2), 4);
}

}  // namespace
