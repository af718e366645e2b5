// Where the translation tables come from: the converters of ICU and of the C library's iconv,
// asked code by code what they do in each direction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::mktables {

inline constexpr std::uint32_t noMapping = 0xFFFFFFFF;

// What one converter does with every code, in both directions, as far as a table can hold it:
// host codes are single bytes (0x00-0xFF) or, in a mixed CCSID, double-byte codes read in the
// shift-out state (lead * 256 + trail); the Unicode side is one BMP code unit. Mappings to or
// from anything else (supplementary characters, sequences) are left out.
struct CodeMaps {
  std::string source;                 // the converter's name, e.g. "ICU ibm-37"
  std::vector<std::uint32_t> toUnicode = std::vector<std::uint32_t>(0x10000, noMapping);    // by host code
  std::vector<std::uint32_t> fromUnicode = std::vector<std::uint32_t>(0x10000, noMapping);  // by code unit
};

// The ICU converter ibm-<ccsid>, with its fallbacks in both directions. A mixed CCSID must be a
// stateful EBCDIC converter. Empty when ICU has no such converter; throws std::runtime_error when
// it has one that does not behave as expected.
std::optional<CodeMaps> icuMaps(int ccsid, bool mixed);

// The iconv converter IBM<ccsid>, single-byte only. Empty when iconv does not know it.
std::optional<CodeMaps> iconvMaps(int ccsid);

// CCSID 924, which no converter here maps: the layout of CCSID 1047 in the Latin-9 repertoire,
// eight codes given the characters Latin-9 puts in place of Latin-1's and three characters moved.
// Empty when 1047 has no source either.
std::optional<CodeMaps> latin9Maps();

}  // namespace kwuni::mktables
