#include "tools/kwuni/table_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using kwuni::cli::checkTable;
using kwuni::cli::parseTableName;

struct NameCase {
  const char* name;
  std::optional<int> ccsid;  // empty: no name the library forms
  bool catalogued;
  bool mixed;
};

TEST(TableName, OnlyTheNamesTheLibraryForms) {
  const NameCase cases[] = {
      {"E37U.KWX", 37, true, false},
      {"E930U.KWX", 930, true, true},
      {"some/dir/E1399U.KWX", 1399, true, true},
      {"E13488U.KWX", 13488, true, false},
      {"A1252U.KWX", 1252, false, false},
      {"A-1U.KWX", -1, false, false},
      {"A-32768U.KWX", -32768, false, false},
      {"A32767U.KWX", 32767, false, false},
      {"E1252U.KWX", {}, false, false},  // not catalogued: the library asks for A1252U.KWX
      {"A37U.KWX", {}, false, false},    // catalogued: the library asks for E37U.KWX
      {"E037U.KWX", {}, false, false},
      {"E+37U.KWX", {}, false, false},
      {"A-0U.KWX", {}, false, false},
      {"A32768U.KWX", {}, false, false},
      {"e37u.kwx", {}, false, false},
      {"E37U.kwx", {}, false, false},
      {"E37U.KWX.bak", {}, false, false},
      {"E 37U.KWX", {}, false, false},
      {"EU.KWX", {}, false, false},
      {"U.KWX", {}, false, false},
      {"", {}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto name = parseTableName(c.name);
    ASSERT_EQ(name.has_value(), c.ccsid.has_value());
    if (!name) continue;
    EXPECT_EQ(name->ccsid, *c.ccsid);
    EXPECT_EQ(name->catalogued, c.catalogued);
    EXPECT_EQ(name->mixed, c.mixed);
  }
}

using Bytes = std::vector<unsigned char>;

struct CheckCase {
  const char* what;
  const char* file;
  Bytes bytes;
  const char* error;  // part of the error, or null when the file loads
  std::size_t entries, singleByte, doubleByte, oneWay;
  std::vector<const char*> warnings;  // a part of each warning, in order
};

TEST(TableCheck, ErrorsWarningsAndCounts) {
  const CheckCase cases[] = {
      {"two entries", "E37U.KWX", {2, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x42, 0}, nullptr, 2, 2, 0, 0, {}},
      {"empty", "E37U.KWX", {}, "the file is empty", 0, 0, 0, 0, {}},
      {"half a count", "E37U.KWX", {1}, "inside the entry count", 0, 0, 0, 0, {}},
      {"one entry short", "E37U.KWX", {2, 0, 0xC1, 0, 0x41, 0},
       "announces 2 entries but the data ends before entry 2 (6 of 10 bytes)", 0, 0, 0, 0, {}},
      {"cut inside an entry", "E37U.KWX", {2, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x42},
       "ends inside entry 2 (9 of 10 bytes)", 0, 0, 0, 0, {}},
      {"largest count, no data", "E37U.KWX", {0xFF, 0x7F},
       "announces 32767 entries but the data ends before entry 1 (2 of 131070 bytes)", 0, 0, 0, 0, {}},
      {"zero count", "E37U.KWX", {0, 0}, nullptr, 0, 0, 0, 0, {"the count is 0"}},
      {"negative count", "E37U.KWX", {0, 0x80, 0xC1, 0, 0x41, 0}, nullptr, 0, 0, 0, 0,
       {"negative (-32768, 0x8000)", "4 bytes after the count are ignored"}},
      {"trailing byte", "E37U.KWX", {1, 0, 0xC1, 0, 0x41, 0, 7}, nullptr, 1, 1, 0, 0,
       {"1 byte after the last entry is ignored"}},
      {"same entry twice", "E37U.KWX", {2, 0, 0xC1, 0, 0x41, 0, 0xC1, 0, 0x41, 0}, nullptr, 2, 2, 0, 0, {}},
      {"fallback before its round trip", "E37U.KWX", {2, 0, 0xC1, 0, 0x21, 0xFF, 0xC1, 0, 0x41, 0}, nullptr, 2, 2, 0,
       1, {}},
      {"earlier value lost both ways", "E37U.KWX",
       {3, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x41, 0, 0xC1, 0, 0x42, 0}, nullptr, 3, 3, 0, 0,
       {"EBCDIC code 0x00C1 is given U+0041 in entry 1 and U+0042 in entry 3; the earlier"}},
      {"two codes lost", "E37U.KWX",
       {6, 0, 0xC1, 0, 0x41, 0, 0xC2, 0, 0x41, 0, 0xC1, 0, 0x42, 0,  //
        0xC3, 0, 0x43, 0, 0xC4, 0, 0x43, 0, 0xC3, 0, 0x44, 0},
       nullptr, 6, 6, 0, 0, {"0x00C1 is given U+0041 in entry 1 and U+0042 in entry 3 (and 1 more)"}},
      {"lead-byte marker", "E930U.KWX", {2, 0, 0x0E, 0, 0xFE, 0xFF, 0x40, 0x40, 0, 0x30}, nullptr, 2, 1, 1, 0,
       {"lead-byte marker U+FFFE in 1 entry, first 0x000E in entry 1"}},
      {"U+FFFF", "E37U.KWX", {2, 0, 0xC1, 0, 0xFF, 0xFF, 0xC2, 0, 0xFF, 0xFF}, nullptr, 2, 2, 0, 1,
       {"U+FFFF, which reads as no mapping, in 2 entries, first 0x00C1 in entry 1"}},
      {"double-byte in single-byte", "E37U.KWX", {2, 0, 0xC1, 0, 0x41, 0, 0x40, 0x40, 0, 0x30}, nullptr, 2, 1, 1, 0,
       {"double-byte codes in 1 entry, first 0x4040 in entry 2, but CCSID 37 is single-byte"}},
      {"double-byte, unknown name", "table.KWX", {1, 0, 0x40, 0x40, 0, 0x30}, nullptr, 1, 0, 1, 0,
       {"matches no catalogued CCSID", "but the file's CCSID is single-byte"}},
      {"number outside the catalogue", "A1252U.KWX", {1, 0, 0xC1, 0, 0x41, 0}, nullptr, 1, 1, 0, 0,
       {"only for the number 1252"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto check = checkTable(c.file, c.bytes);
    if (c.error != nullptr) {
      ASSERT_TRUE(check.error.has_value());
      EXPECT_NE(check.error->find(c.error), std::string::npos) << *check.error;
    } else {
      EXPECT_FALSE(check.error.has_value()) << *check.error;
    }
    EXPECT_EQ(check.entries, c.entries);
    EXPECT_EQ(check.singleByte, c.singleByte);
    EXPECT_EQ(check.doubleByte, c.doubleByte);
    EXPECT_EQ(check.oneWay, c.oneWay);
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
    SCOPED_TRACE(n);
    const auto check = checkTable("E37U.KWX", std::span(full).first(n));
    EXPECT_EQ(check.error.has_value(), n < 14);
    EXPECT_EQ(check.warnings.size(), n == 15 ? 1u : 0u);
  }
}

}  // namespace
