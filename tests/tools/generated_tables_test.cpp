// The tables the build generates, read here byte by byte and compared with the converters they
// come from.

#include <kwuni/catalogue.h>

#include "tests/support.h"
#include "tools/kwuni/table_check.h"

#include <gtest/gtest.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t none = 0xFFFF;

std::string tablePath(int ccsid) { return std::string(KWUNI_TABLES_DIR) + "/E" + std::to_string(ccsid) + "U.KWX"; }

std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Both directions as a loader ends up with them: every entry applied in file order.
struct Loaded {
  std::vector<std::uint16_t> toUnicode = std::vector<std::uint16_t>(0x10000, none);
  std::vector<std::uint16_t> fromUnicode = std::vector<std::uint16_t>(0x10000, none);
};

Loaded load(int ccsid) {
  const auto bytes = readBytes(tablePath(ccsid));
  Loaded table;
  const auto word = [&](std::size_t at) { return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8); };
  if (bytes.size() < 2 || bytes.size() != 2 + 4 * std::size_t{word(0)}) {
    ADD_FAILURE() << tablePath(ccsid) << " is missing or holds " << bytes.size() << " bytes, not its count's";
    return table;
  }
  for (std::size_t at = 2; at < bytes.size(); at += 4) {
    table.toUnicode[word(at)] = word(at + 2);
    table.fromUnicode[word(at + 2)] = word(at);
  }
  return table;
}

// Every file in the folder loads without a warning: a catalogued name, a positive count and no
// bytes after the entries, no double-byte codes in a single-byte CCSID, no lead-byte marker.
TEST(GeneratedTables, LoadCleanlyWithinTheFormatsLimits) {
  for (const auto& file : std::filesystem::directory_iterator(KWUNI_TABLES_DIR)) {
    const std::string name = file.path().filename().string();
    SCOPED_TRACE(name);
    const auto bytes = readBytes(file.path().string());
    const auto check = kwuni::cli::checkTable(name, bytes);
    ASSERT_FALSE(check.error.has_value()) << *check.error;
    EXPECT_TRUE(check.warnings.empty()) << check.warnings.front();  // names, markers, lost entries, ...
    ASSERT_TRUE(check.name.has_value());

    const Loaded table = load(check.name->ccsid);
    EXPECT_EQ(table.fromUnicode[0xFFFE], none) << "a lead-byte marker";
    if (check.name->mixed) {
      EXPECT_EQ(table.toUnicode[0x0E], none) << "shift-out";
      EXPECT_EQ(table.toUnicode[0x0F], none) << "shift-in";
      EXPECT_EQ(table.toUnicode[0x4040], 0x3000) << "the double-byte space";
    }
  }
}

// ICU's code unit for host bytes, or none.
std::uint16_t icuToUnicode(UConverter* cnv, const std::string& bytes) {
  std::array<UChar, 4> out{};
  UErrorCode status = U_ZERO_ERROR;
  const auto n = ucnv_toUChars(cnv, out.data(), 4, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  return U_SUCCESS(status) && n == 1 && !U16_IS_SURROGATE(out[0]) ? out[0] : none;
}

// ICU's host code for a code unit: one byte, or SO lead trail SI read as lead * 256 + trail.
std::uint16_t icuFromUnicode(UConverter* cnv, UChar unit) {
  std::array<char, 8> out{};
  UErrorCode status = U_ZERO_ERROR;
  const auto n = ucnv_fromUChars(cnv, out.data(), 8, &unit, 1, &status);
  if (U_FAILURE(status) || n == 0) return none;  // ICU drops unmapped default-ignorable characters
  const auto byte = [&](std::size_t i) { return static_cast<std::uint16_t>(static_cast<unsigned char>(out[i])); };
  if (n == 1) return byte(0);
  if (n == 4 && byte(0) == 0x0E && byte(3) == 0x0F) return static_cast<std::uint16_t>(byte(1) << 8 | byte(2));
  ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(unit) << " gives " << n << " bytes";
  return none;
}

class AgainstIcu : public ::testing::TestWithParam<int> {};

// Every host code reads as ICU reads it, one-way mappings included; a code ICU leaves unmapped
// stays unmapped (the library substitutes for it). Every code unit that ICU maps round trip maps
// both ways, and every other one that ICU maps only with its fallbacks maps to ICU's fallback.
TEST_P(AgainstIcu, EveryHostCodeAndEveryCodeUnit) {
  const int ccsid = GetParam();
  const bool mixed = KW_IsDbcsECP(ccsid) == 1;
  const auto cnv = kwuni::test::openIcu(ccsid, true);
  ASSERT_NE(cnv, nullptr);
  const Loaded table = load(ccsid);
  int mismatches = 0;
  const auto expectSame = [&](unsigned code, const std::string& bytes) {
    const auto expected = icuToUnicode(cnv.get(), bytes);
    if (table.toUnicode[code] != expected && ++mismatches <= 5) {
      ADD_FAILURE() << std::hex << "host 0x" << code << ": table U+" << table.toUnicode[code] << ", ICU U+" << expected;
    }
  };
  for (unsigned b = 0; b < 0x100; ++b) {
    if (!mixed || (b != 0x0E && b != 0x0F)) expectSame(b, std::string(1, static_cast<char>(b)));
  }
  for (unsigned lead = 0x40; mixed && lead < 0x100; ++lead) {
    for (unsigned trail = 0x40; trail < 0x100; ++trail) {
      expectSame(lead << 8 | trail, {'\x0E', static_cast<char>(lead), static_cast<char>(trail), '\x0F'});
    }
  }

  const auto roundTrip = kwuni::test::roundTripSet(cnv.get());
  int roundTrips = 0;
  for (UChar32 c = 0; c < 0xFFFE; ++c) {
    const auto u = static_cast<UChar>(c);
    if (U16_IS_SURROGATE(u)) continue;
    const bool both = uset_contains(roundTrip.get(), c);
    ucnv_setFallback(cnv.get(), !both);
    const std::uint16_t e = icuFromUnicode(cnv.get(), u);
    roundTrips += both;
    if ((table.fromUnicode[u] != e || (both && table.toUnicode[e] != u)) && ++mismatches <= 5) {
      ADD_FAILURE() << std::hex << "U+" << c << (both ? " (round trip)" : "") << ": table 0x" << table.fromUnicode[u]
                    << ", ICU 0x" << e;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(roundTrips, mixed ? 5000 : 250);
}

INSTANTIATE_TEST_SUITE_P(Ccsids, AgainstIcu, ::testing::Values(37, 500, 1047, 930, 939),
                         [](const ::testing::TestParamInfo<int>& param) { return std::to_string(param.param); });

// The code pages that only iconv knows: every byte as iconv reads it, every code unit back.
TEST(GeneratedTables, AgainstIconv) {
  for (const int ccsid : {256, 423, 880, 905}) {
    SCOPED_TRACE(ccsid);
    const auto cd = kwuni::test::openIconv("IBM" + std::to_string(ccsid));
    ASSERT_NE(cd, nullptr);
    const Loaded table = load(ccsid);
    int mapped = 0;
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::u16string wide = kwuni::test::iconvToWide(cd, std::string(1, static_cast<char>(b)));
      const std::uint16_t u = wide.size() == 1 ? wide[0] : none;
      EXPECT_EQ(table.toUnicode[b], u) << "byte " << b;
      if (u != none) {
        EXPECT_EQ(table.fromUnicode[u], b) << "U+" << std::hex << u;
        ++mapped;
      }
    }
    EXPECT_GT(mapped, 200);
  }
}

// CCSID 924 is CCSID 1047 in the Latin-9 repertoire: eleven codes differ, and its 256 characters
// are those of ISO 8859-15 (as iconv reads it), but for 0x1C, which every table reads as U+2013.
TEST(GeneratedTables, Latin9IsCcsid1047WithElevenCodesChanged) {
  const Loaded latin9 = load(924), base = load(1047);
  const std::array<std::pair<unsigned, std::uint16_t>, 11> changed = {{{0x9F, 0x20AC}, {0x6A, 0x0160}, {0xBB, 0x0161},
                                                                        {0xBE, 0x017D}, {0x9D, 0x017E}, {0xB7, 0x0152},
                                                                        {0xB8, 0x0153}, {0xB9, 0x0178}, {0x4A, 0x00DD},
                                                                        {0xB0, 0x00A2}, {0xBA, 0x00AC}}};
  std::vector<bool> isChanged(0x100, false);
  for (const auto& [code, unit] : changed) {
    EXPECT_EQ(latin9.toUnicode[code], unit) << "code " << code;
    EXPECT_EQ(latin9.fromUnicode[unit], code) << "U+" << std::hex << unit;
    isChanged[code] = true;
  }
  for (unsigned b = 0; b < 0x100; ++b) {
    if (!isChanged[b]) {
      EXPECT_EQ(latin9.toUnicode[b], base.toUnicode[b]) << "code " << b;
    }
  }
  const auto cd = kwuni::test::openIconv("ISO-8859-15");
  ASSERT_NE(cd, nullptr);
  std::vector<std::uint16_t> repertoire, ours;
  for (unsigned b = 0; b < 0x100; ++b) {
    const std::u16string wide = kwuni::test::iconvToWide(cd, std::string(1, static_cast<char>(b)));
    ASSERT_EQ(wide.size(), 1u);
    if (wide[0] != 0x1C) repertoire.push_back(wide[0]);
    if (b != 0x1C) ours.push_back(latin9.toUnicode[b]);
  }
  std::sort(repertoire.begin(), repertoire.end());
  std::sort(ours.begin(), ours.end());
  EXPECT_EQ(ours, repertoire);
}

}  // namespace
