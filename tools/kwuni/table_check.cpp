#include "tools/kwuni/table_check.h"

#include <kwuni/catalogue.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace kwuni::cli {
namespace {

constexpr std::uint16_t leadByteMarker = 0xFFFE;
constexpr std::uint16_t noMapping = 0xFFFF;

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

std::string code(unsigned value) { return "0x" + hex(value); }
std::string unit(unsigned value) { return "U+" + hex(value); }

std::string entries(std::size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

std::string andMore(std::size_t total) {
  return total > 1 ? " (and " + std::to_string(total - 1) + " more)" : "";
}

// How many entries show a fault, and the first of them.
struct Tally {
  std::size_t count = 0;
  std::size_t first = 0;
  void note(std::size_t i) {
    if (count++ == 0) first = i;
  }
};

std::uint16_t read16(std::span<const unsigned char> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

}  // namespace

std::optional<TableName> parseTableName(std::string_view fileName) {
  const auto slash = fileName.find_last_of('/');
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  constexpr std::string_view suffix = "U.KWX";
  if (fileName.size() < 1 + suffix.size() || !fileName.ends_with(suffix)) return std::nullopt;
  const char letter = fileName.front();
  const std::string_view number = fileName.substr(1, fileName.size() - 1 - suffix.size());
  // The library writes the number with %d: no plus sign, no leading zeros.
  if ((letter != 'E' && letter != 'A') || number.empty() || number.front() == '+' ||
      (number.size() > 1 && number.front() == '0') || number.starts_with("-0")) {
    return std::nullopt;
  }
  int ccsid = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), ccsid);
  if (ec != std::errc() || end != number.data() + number.size() || ccsid < std::numeric_limits<short>::min() ||
      ccsid > std::numeric_limits<short>::max()) {
    return std::nullopt;
  }
  const bool catalogued = KW_IsECP(ccsid) != 0;
  // The library asks for E<n> exactly when n is catalogued, and for A<n> otherwise.
  if ((letter == 'E') != catalogued) return std::nullopt;
  return TableName{ccsid, catalogued, catalogued && KW_IsDbcsECP(ccsid) == 1};
}

TableCheck checkTable(std::string_view fileName, std::span<const unsigned char> bytes) {
  TableCheck check;
  check.name = parseTableName(fileName);
  if (bytes.size() < 2) {
    check.error = bytes.empty() ? "truncated: the file is empty, not even the entry count is there"
                                : "truncated: 1 of 2 bytes, the data ends inside the entry count";
    return check;
  }
  check.count = static_cast<std::int16_t>(read16(bytes, 0));
  const std::size_t announced = check.count > 0 ? static_cast<std::size_t>(check.count) : 0;
  const std::size_t needed = 2 + 4 * announced;
  if (bytes.size() < needed) {
    const std::size_t complete = (bytes.size() - 2) / 4;
    const bool inside = (bytes.size() - 2) % 4 != 0;
    check.error = "truncated: the count announces " + entries(announced) + " but the data ends " +
                  (inside ? "inside" : "before") + " entry " + std::to_string(complete + 1) + " (" +
                  std::to_string(bytes.size()) + " of " + std::to_string(needed) + " bytes)";
    return check;
  }
  check.entries = announced;

  if (!check.name) {
    check.warnings.push_back("the name matches no catalogued CCSID (the library reads E<ccsid>U.KWX)");
  } else if (!check.name->catalogued) {
    check.warnings.push_back("the name matches no catalogued CCSID; the library reads it only for the number " +
                             std::to_string(check.name->ccsid));
  }
  if (check.count == 0) check.warnings.push_back("the count is 0: the table maps nothing");
  if (check.count < 0) {
    check.warnings.push_back("the count is negative (" + std::to_string(check.count) + ", " +
                             code(read16(bytes, 0)) + "): the table maps nothing");
  }
  if (bytes.size() > needed) {
    const std::size_t extra = bytes.size() - needed;
    check.warnings.push_back(std::to_string(extra) + (extra == 1 ? " byte" : " bytes") + " after the " +
                             (announced > 0 ? "last entry" : "count") + (extra == 1 ? " is" : " are") + " ignored");
  }

  // The last entry for a code decides its Unicode value, the last entry for a code unit decides
  // its host code: an earlier entry may keep one direction (a one-way mapping) or none.
  std::vector<std::int32_t> lastForCode(0x10000, -1), lastForUnit(0x10000, -1);
  const auto entryAt = [&](std::size_t i) { return std::pair{read16(bytes, 2 + 4 * i), read16(bytes, 4 + 4 * i)}; };
  const auto where = [&](const Tally& t) {
    return "in " + entries(t.count) + ", first " + code(entryAt(t.first).first) + " in entry " +
           std::to_string(t.first + 1);
  };
  Tally markers, noValue, foreign, lost;
  const bool mixed = check.name && check.name->mixed;
  for (std::size_t i = 0; i < announced; ++i) {
    const auto [e, u] = entryAt(i);
    (e > 0xFF ? check.doubleByte : check.singleByte) += 1;
    if (u == leadByteMarker) markers.note(i);
    if (u == noMapping) noValue.note(i);
    if (e > 0xFF && !mixed) foreign.note(i);
    lastForCode[e] = lastForUnit[u] = static_cast<std::int32_t>(i);
  }
  for (std::size_t i = 0; i < announced; ++i) {
    const auto [e, u] = entryAt(i);
    const bool decidesCode = lastForCode[e] == static_cast<std::int32_t>(i);
    const bool decidesUnit = lastForUnit[u] == static_cast<std::int32_t>(i);
    if (decidesCode != decidesUnit) ++check.oneWay;
    if (!decidesCode && !decidesUnit && entryAt(static_cast<std::size_t>(lastForCode[e])).second != u) lost.note(i);
  }
  if (lost.count > 0) {
    const auto [e, u] = entryAt(lost.first);
    const auto later = static_cast<std::size_t>(lastForCode[e]);
    check.warnings.push_back("EBCDIC code " + code(e) + " is given " + unit(u) + " in entry " +
                             std::to_string(lost.first + 1) + " and " + unit(entryAt(later).second) + " in entry " +
                             std::to_string(later + 1) + andMore(lost.count) +
                             "; the earlier entry is overwritten in both directions");
  }
  if (markers.count > 0) {
    check.warnings.push_back("the lead-byte marker U+FFFE " + where(markers) + "; shift-out/shift-in data needs none");
  }
  if (noValue.count > 0) {
    check.warnings.push_back("U+FFFF, which reads as no mapping, " + where(noValue));
  }
  if (foreign.count > 0) {
    const std::string ccsid = check.name ? "CCSID " + std::to_string(check.name->ccsid) : "the file's CCSID";
    check.warnings.push_back("double-byte codes " + where(foreign) + ", but " + ccsid + " is single-byte");
  }
  return check;
}

}  // namespace kwuni::cli
