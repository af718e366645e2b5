#include "tools/kwuni/table_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kwuni::cli::checkTable;
using kwuni::cli::parseTableName;
using Bytes = std::vector<unsigned char>;

TEST(TableName, OnlyTheNamesTheLibraryForms) {
  struct Case { const char* name; int ccsid; bool catalogued, mixed; };
  for (const auto& c : {Case{"E37U.KWX", 37, true, false}, Case{"E930U.KWX", 930, true, true},
                        Case{"some/dir/E1399U.KWX", 1399, true, true}, Case{"E13488U.KWX", 13488, true, false},
                        Case{"A1252U.KWX", 1252, false, false}, Case{"A-1U.KWX", -1, false, false},
                        Case{"A-32768U.KWX", -32768, false, false}, Case{"A32767U.KWX", 32767, false, false}}) {
    const auto name = parseTableName(c.name);
    ASSERT_TRUE(name.has_value()) << c.name;
    EXPECT_EQ(name->ccsid, c.ccsid) << c.name;
    EXPECT_EQ(name->catalogued, c.catalogued) << c.name;
    EXPECT_EQ(name->mixed, c.mixed) << c.name;
  }
  // The library asks for A1252U.KWX (not catalogued) and for E37U.KWX (catalogued).
  for (const char* name : {"E1252U.KWX", "A37U.KWX", "E037U.KWX", "E+37U.KWX", "A-0U.KWX", "A32768U.KWX", "e37u.kwx",
                           "E37U.kwx", "E37U.KWX.bak", "E 37U.KWX", "EU.KWX", "U.KWX", ""}) {
    EXPECT_FALSE(parseTableName(name).has_value()) << name;
  }
}

TEST(TableCheck, ErrorsWarningsAndCounts) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* error;  // part of the error, or null when the file loads
    std::size_t entries, singleByte, doubleByte, oneWay;
    std::vector<const char*> warnings;  // a part of each warning, in order
    const char* file = "E37U.KWX";
  };
  const Case cases[] = {
      {"two entries", {2, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x42, 0}, nullptr, 2, 2, 0, 0, {}},
      {"empty", {}, "the file is empty", 0, 0, 0, 0, {}},
      {"half a count", {1}, "inside the entry count", 0, 0, 0, 0, {}},
      {"one entry short", {2, 0, 0xC1, 0, 0x41, 0},
       "announces 2 entries but the data ends before entry 2 (6 of 10 bytes)", 0, 0, 0, 0, {}},
      {"cut inside an entry", {2, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x42}, "ends inside entry 2 (9 of 10 bytes)", 0, 0, 0,
       0, {}},
      {"largest count, no data", {0xFF, 0x7F},
       "announces 32767 entries but the data ends before entry 1 (2 of 131070 bytes)", 0, 0, 0, 0, {}},
      {"zero count", {0, 0}, nullptr, 0, 0, 0, 0, {"the count is 0"}},
      {"negative count", {0, 0x80, 0xC1, 0, 0x41, 0}, nullptr, 0, 0, 0, 0,
       {"negative (-32768, 0x8000)", "4 bytes after the count are ignored"}},
      {"trailing byte", {1, 0, 0xC1, 0, 0x41, 0, 7}, nullptr, 1, 1, 0, 0, {"1 byte after the last entry is ignored"}},
      {"same entry twice", {2, 0, 0xC1, 0, 0x41, 0, 0xC1, 0, 0x41, 0}, nullptr, 2, 2, 0, 0, {}},
      {"fallback before its round trip", {2, 0, 0xC1, 0, 0x21, 0xFF, 0xC1, 0, 0x41, 0}, nullptr, 2, 2, 0, 1, {}},
      {"earlier value lost both ways", {3, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x41, 0, 0xC1, 0, 0x42, 0}, nullptr, 3, 3, 0,
       0, {"EBCDIC code 0x00C1 is given U+0041 in entry 1 and U+0042 in entry 3; the earlier"}},
      {"two codes lost",
       {6, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x41, 0, 0xC1, 0, 0x42, 0,  //
        0xC3, 0, 0x43, 0, 0xC4, 0, 0x43, 0, 0xC3, 0, 0x44, 0},
       nullptr, 6, 6, 0, 0, {"0x00C1 is given U+0041 in entry 1 and U+0042 in entry 3 (and 1 more)"}},
      {"lead-byte marker", {2, 0, 0x0E, 0, 0xFE, 0xFF, 0x40, 0x40, 0, 0x30}, nullptr, 2, 1, 1, 0,
       {"lead-byte marker U+FFFE in 1 entry, first 0x000E in entry 1"}, "E930U.KWX"},
      {"U+FFFF", {2, 0, 0xC1, 0, 0xFF, 0xFF, 0xC2, 0, 0xFF, 0xFF}, nullptr, 2, 2, 0, 1,
       {"U+FFFF, which reads as no mapping, in 2 entries, first 0x00C1 in entry 1"}},
      {"double-byte in single-byte", {2, 0, 0xC1, 0, 0x41, 0, 0x40, 0x40, 0, 0x30}, nullptr, 2, 1, 1, 0,
       {"double-byte codes in 1 entry, first 0x4040 in entry 2, but CCSID 37 is single-byte"}},
      {"double-byte, unknown name", {1, 0, 0x40, 0x40, 0, 0x30}, nullptr, 1, 0, 1, 0,
       {"matches no catalogued CCSID", "but the file's CCSID is single-byte"}, "table.KWX"},
      {"number outside the catalogue", {1, 0, 0xC1, 0, 0x41, 0}, nullptr, 1, 1, 0, 0, {"only for the number 1252"},
       "A1252U.KWX"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto check = checkTable(c.file, c.bytes);
    const std::string error = check.error.value_or("");
    ASSERT_EQ(check.error.has_value(), c.error != nullptr) << error;
    EXPECT_NE(error.find(c.error != nullptr ? c.error : ""), std::string::npos) << error;
    EXPECT_EQ(std::vector({check.entries, check.singleByte, check.doubleByte, check.oneWay}),
              std::vector({c.entries, c.singleByte, c.doubleByte, c.oneWay}));
    ASSERT_EQ(check.warnings.size(), c.warnings.size());
    for (std::size_t i = 0; i < c.warnings.size(); ++i) {
      EXPECT_NE(check.warnings[i].find(c.warnings[i]), std::string::npos) << check.warnings[i];
    }
  }
}

// Any bytes give an answer: an error only when the data ends inside the announced entries.
TEST(TableCheck, EveryLengthOfATruncatedTable) {
  const Bytes full = {3, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x42, 0, 0xC3, 0, 0x43, 0, 0xFF};
  for (std::size_t n = 0; n <= full.size(); ++n) {
    const auto check = checkTable("E37U.KWX", std::span(full).first(n));
    EXPECT_EQ(check.error.has_value(), n < 14) << n;
    EXPECT_EQ(check.warnings.size(), n == 15 ? 1u : 0u) << n;
  }
}

}  // namespace
