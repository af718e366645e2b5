#include <kwuni/ebcdic.h>

#include "platform/locale.h"
#include "platform/version.h"
#include "tests/ebcdic/table_stream.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using kwuni::test::Entries;
using kwuni::test::loadTable;
using kwuni::test::tableBytes;
using kwuni::test::thrownText;
using velmora::EBCDICTranscoder;
using Bytes = std::vector<BYTE>;

// A small CCSID 37 style table, and a mixed one with a double-byte area.
const Entries latin = {{0xC1, u'A'}, {0xC2, u'B'}, {0x85, u'e'}, {0x51, 0x00E9}, {0x40, u' '}, {0xDF, 0x00FF}};
const Entries mixed = {{0xC1, u'A'}, {0x40, u' '}, {0x4040, 0x3000}, {0x4481, 0x4E00}, {0x44, 0xFFFE}, {0x0E, 0xFFFE}};

TEST(TranscoderLoading, LoadsWholeTablesAndReportsTheRestAsStreamCorrupt) {
  struct Case { const char* name; std::string bytes; bool corrupt; };
  const Case cases[] = {
      {"empty", "", true}, {"one byte", std::string(1, '\0'), true}, {"count zero", tableBytes({}), false},
      {"count beyond the entries", tableBytes(5, {{0xC1, u'A'}, {0xC2, u'B'}}), true},
      {"cut inside an entry", tableBytes({{0xC1, u'A'}}).substr(0, 5), true},
      {"cut after the code", tableBytes({{0xC1, u'A'}}).substr(0, 4), true},
      {"negative count", tableBytes(-32768, {{0xC1, u'A'}}), false}, {"minus one", tableBytes(-1, {}), false},
      {"trailing bytes", tableBytes({{0xC1, u'A'}}) + "xyz", false}, {"whole table", tableBytes(latin), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream stream(c.bytes);
    const auto load = [&] { EBCDICTranscoder(37, stream); };
    if (c.corrupt) {
      EXPECT_EQ(thrownText<velmora::EBCDICTranscoderStreamCorrupt>(load), "Stream corrupt");
    } else {
      EXPECT_NO_THROW(load());
      EXPECT_EQ(stream.exceptions(), std::ios::eofbit | std::ios::failbit | std::ios::badbit) << "left throwing";
    }
  }
  // A stream that has failed already is refused; one at its end throws its own exception.
  std::istringstream failed(tableBytes(latin)), ended(tableBytes(latin));
  failed.setstate(std::ios::failbit);
  ended.setstate(std::ios::eofbit);
  EXPECT_EQ(thrownText<std::invalid_argument>([&] { EBCDICTranscoder(37, failed); }), "stream");
  EXPECT_NE(thrownText<std::exception>([&] { EBCDICTranscoder(37, ended); }), "Stream corrupt");
}

TEST(TranscoderLoading, The9xFamilyDropsCharactersTheAnsiCodePageLacks) {
  sys::testing::setLocale("en_US");  // code page 1252
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  const auto t = loadTable(1025, {{0xC1, u'A'}, {0xC2, 0x0411}});
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
  sys::testing::setLocale(nullptr);
  bool unmapped = false;
  EXPECT_EQ(t.EtoU(0xC1), u'A');
  EXPECT_EQ(t.EtoU(0xC2, &unmapped), u'?');
  EXPECT_TRUE(unmapped);
  EXPECT_EQ(t.UtoE(0x0411), 0xC2) << "the other direction is always loaded";
}

TEST(TranscoderLookup, MappedCodesAndSubstitutes) {
  struct Case { short ccsid; Entries table; bool toUnicode; WORD in, out; bool unmapped; };
  const Entries dash = {{0x1C, 0x001C}, {0x60, 0x2013}}, twice = {{0xC1, u'A'}, {0xC1, u'X'}};
  std::vector<Case> cases = {
      // 0x1C and U+2013 map to each other whatever the table says; their other entries stay.
      {37, {}, true, 0x1C, 0x2013, false}, {37, {}, false, 0x2013, 0x1C, false}, {37, {}, true, 0xC1, u'?', true},
      {500, dash, true, 0x1C, 0x2013, false}, {500, dash, false, 0x2013, 0x1C, false},
      {500, dash, false, 0x001C, 0x1C, false}, {500, dash, true, 0x60, 0x2013, false},
      // A later entry wins in its own direction only.
      {37, twice, true, 0xC1, u'X', false}, {37, twice, false, u'A', 0xC1, false},
      {37, twice, false, u'X', 0xC1, false},
      // Question marks of the code's width in a single-byte CCSID, spaces in a mixed one.
      {37, latin, true, 0xC1, u'A', false}, {37, latin, true, 0xFF, 0x003F, true},
      {37, latin, true, 0x4040, 0xFF1F, true}, {930, mixed, true, 0x4040, 0x3000, false},
      {930, mixed, true, 0x4141, 0x3000, true}, {930, mixed, true, 0xFF, 0x0020, true},
      {930, mixed, true, 0x0E, 0xFFFE, false}, {930, mixed, true, 0x4481, 0x4E00, false},
      // The host substitute is the space in CCSID 933, the question mark elsewhere.
      {930, mixed, false, 0x4E00, 0x4481, false}, {933, {}, false, u'Z', 0x40, true},
      {930, {}, false, u'Z', 0x6F, true}, {37, {}, false, 0xFFFF, 0x6F, true}};
  for (const short exempt : std::initializer_list<short>{937, 1371, 1388, 1390, 1399}) {
    cases.push_back({exempt, {{0x1C, 0x001C}}, true, 0x1C, 0x001C, false});
    cases.push_back({exempt, {{0x1C, 0x001C}}, false, 0x2013, 0x6F, true});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ccsid << (c.toUnicode ? " from 0x" : " to 0x") << std::hex << c.in);
    const auto t = loadTable(c.ccsid, c.table);
    bool unmapped = !c.unmapped;
    EXPECT_EQ(c.toUnicode ? t.EtoU(c.in, &unmapped) : t.UtoE(c.in, &unmapped), c.out);
    EXPECT_EQ(unmapped, c.unmapped);
    EXPECT_EQ(c.toUnicode ? t.EtoU(c.in) : t.UtoE(c.in), c.out);
  }
}

TEST(TranscoderBuffers, EtoUWritesTheCharactersAndATerminator) {
  struct Case { short ccsid; Bytes in; std::u16string out; };
  const Case cases[] = {
      {37, {0xC1, 0x85, 0x51}, u"Ae\u00E9"}, {37, {0xC1, 0x00, 0xFF}, u"A??"}, {37, {}, u""},
      {930, {0xC1, 0x44, 0x81, 0x40}, u"A\u4E00 "},  // a marked lead byte joins the next byte
      {930, {0x41, 0x81}, u"??"},                     // unmarked bytes stay single
      {930, {0xC1, 0x44}, u"A"},                      // a lead byte at the very end gives nothing
      {930, {0x44, 0x41, 0xC1}, u"?A"},               // an unmapped pair
      {930, {0x0F, 0xC1}, u"?A"}};                    // shift-in is an ordinary byte
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const auto t = loadTable(c.ccsid, c.ccsid == 37 ? latin : mixed);
    const int srcLen = static_cast<int>(c.in.size());
    std::u16string out(c.in.size() + 2, u'#');
    EXPECT_EQ(t.convertEtoU(c.in.data(), out.data(), srcLen), static_cast<int>(c.out.size()));
    EXPECT_EQ(out.substr(0, c.out.size() + 2), c.out + u'\0' + u'#');
    EXPECT_EQ(t.convertEtoU(c.in.data(), nullptr, srcLen), static_cast<int>(c.out.size()));
  }
}

TEST(TranscoderBuffers, UtoEComposesAndWritesNoShiftBytesNorTerminator) {
  Entries withFF = latin;
  withFF.emplace_back(0xFF, 0x009F);
  struct Case { short ccsid; std::u16string in; Bytes out; };
  const Case cases[] = {
      {37, u"AB", {0xC1, 0xC2}}, {37, u"e\u0301", {0x51}},  // e + combining acute is e-acute
      {37, u"A\u009F", {0xC1, 0x6F}},                         // the character at 0xFF is written as ?
      {37, u"A\u4E00", {0xC1, 0x6F}}, {37, u"\u212B", {0x6F}},  // the Angstrom sign is not A-ring
      {930, u"\u4E00\u3000A\u4E01", {0x44, 0x81, 0x40, 0x40, 0xC1, 0x6F}},
      {930, u"\u4E00\u4E00", {0x44, 0x81, 0x44, 0x81}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const auto t = loadTable(c.ccsid, c.ccsid == 37 ? withFF : mixed);
    Bytes out(2 * c.in.size() + 2, 0xAA), expected = c.out;
    expected.resize(out.size(), 0xAA);
    EXPECT_EQ(t.convertUtoE(c.in.data(), out.data(), static_cast<int>(c.in.size())), static_cast<int>(c.out.size()));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(t.convertUtoE(c.in.c_str(), nullptr, 0), static_cast<int>(c.out.size())) << "terminated, counted";
  }
  const auto t = loadTable(37, withFF);
  EXPECT_EQ(t.UtoE(0x009F), 0xFF);
  EXPECT_EQ(t.convertUtoE(u"", nullptr, 0), 0);
  EXPECT_EQ(t.convertUtoE(nullptr, nullptr, 3), 0);
}

}  // namespace
