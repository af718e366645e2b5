// mktables: writes the translation table E<ccsid>U.KWX of every EBCDIC CCSID of the catalogue
// into a directory, from ICU's converters and, for code pages ICU lacks, iconv's.
//
// A table is a little-endian int16 count followed by (host code, UTF-16 unit) pairs of uint16,
// and a loader applies its entries in order, each in both directions. So one-way mappings come
// first and round trips last: where a one-way entry claims a code or a unit that also has a
// round trip, the round trip overwrites it.

#include "catalogue/catalogue_rows.h"
#include "tools/mktables/mapping_sources.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kwuni::mktables {
namespace {

constexpr int unicodeCcsid = 13488;  // Unicode passes through: no table
constexpr int latin9Ccsid = 924;     // derived from CCSID 1047
constexpr std::size_t maxEntries = 32767;

struct Entry {
  std::uint16_t code;
  std::uint16_t unit;
};

struct Table {
  std::vector<Entry> entries;
  std::size_t oneWay = 0;
  std::size_t doubleByte = 0;
};

Table tableOf(const CodeMaps& maps) {
  std::vector<Entry> toUnicodeOnly, fromUnicodeOnly, roundTrips;
  for (std::uint32_t e = 0; e < 0x10000; ++e) {
    const std::uint32_t u = maps.toUnicode[e];
    if (u == noMapping) continue;
    (maps.fromUnicode[u] == e ? roundTrips : toUnicodeOnly).push_back({static_cast<std::uint16_t>(e),
                                                                        static_cast<std::uint16_t>(u)});
  }
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const std::uint32_t e = maps.fromUnicode[u];
    if (e == noMapping || maps.toUnicode[e] == u) continue;
    fromUnicodeOnly.push_back({static_cast<std::uint16_t>(e), static_cast<std::uint16_t>(u)});
  }
  Table table;
  table.oneWay = toUnicodeOnly.size() + fromUnicodeOnly.size();
  for (const auto* part : {&toUnicodeOnly, &fromUnicodeOnly, &roundTrips}) {
    table.entries.insert(table.entries.end(), part->begin(), part->end());
  }
  for (const auto& entry : table.entries) {
    if (entry.unit >= 0xFFFE) throw std::logic_error("a table entry holds U+FFFE or U+FFFF");
    if (entry.code > 0xFF) ++table.doubleByte;
  }
  return table;
}

// The codes and units that a loader of the table ends up mapping differently from the source,
// mapping where the source does not included: an entry always sets both directions.
struct Disagreements {
  std::size_t toUnicode = 0;
  std::size_t fromUnicode = 0;
};

Disagreements disagreements(const Table& table, const CodeMaps& maps) {
  std::vector<std::uint32_t> toUnicode(0x10000, noMapping), fromUnicode(0x10000, noMapping);
  for (const auto& entry : table.entries) {
    toUnicode[entry.code] = entry.unit;
    fromUnicode[entry.unit] = entry.code;
  }
  Disagreements d;
  for (std::size_t i = 0; i < 0x10000; ++i) {
    d.toUnicode += toUnicode[i] != maps.toUnicode[i];
    d.fromUnicode += fromUnicode[i] != maps.fromUnicode[i];
  }
  return d;
}

std::vector<char> encode(const Table& table) {
  std::vector<char> bytes;
  bytes.reserve(2 + 4 * table.entries.size());
  const auto put = [&](std::uint16_t v) {
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>(v >> 8));
  };
  put(static_cast<std::uint16_t>(table.entries.size()));
  for (const auto& entry : table.entries) {
    put(entry.code);
    put(entry.unit);
  }
  return bytes;
}

bool sameContents(const std::filesystem::path& file, const std::vector<char>& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::vector<char> old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return old == bytes;
}

// Replaces the file as a whole, so that no reader sees half a table. An unchanged table keeps
// its file and time stamp.
void writeFile(const std::filesystem::path& file, const std::vector<char>& bytes) {
  if (sameContents(file, bytes)) return;
  auto temporary = file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::filesystem::rename(temporary, file);
}

std::string fileName(int ccsid) {
  // Built piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on a chain of + here.
  std::string name = "E";
  name += std::to_string(ccsid);
  name += "U.KWX";
  return name;
}

constexpr const char* usage = "usage: mktables [--verbose] OUTPUT-DIRECTORY\n";

int run(int argc, char** argv) {
  bool verbose = false;
  std::filesystem::path outDir;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--verbose" || arg == "-v") {
      verbose = true;
    } else if (arg == "--help") {
      std::fputs(usage, stdout);
      return 0;
    } else if (arg.starts_with("-") || !outDir.empty()) {
      std::fprintf(stderr, "mktables: unexpected argument '%s'\n%s", argv[i], usage);
      return 2;
    } else {
      outDir = arg;
    }
  }
  if (outDir.empty()) {
    std::fprintf(stderr, "mktables: no output directory given\n%s", usage);
    return 2;
  }
  std::filesystem::create_directories(outDir);

  std::string leftOut;
  int written = 0;
  for (const auto& row : kwuni::catalogue::ccsidRows) {
    if (row.code == unicodeCcsid) continue;
    const bool mixed = row.isDbcs == 1;
    auto maps = icuMaps(row.code, mixed);
    if (!maps && !mixed) maps = iconvMaps(row.code);
    if (!maps && row.code == latin9Ccsid) maps = latin9Maps();
    const auto file = outDir / fileName(row.code);
    if (!maps) {
      std::filesystem::remove(file);  // a table from an earlier build must not outlive its source
      leftOut += (leftOut.empty() ? "" : ", ") + std::to_string(row.code);
      continue;
    }
    const Table table = tableOf(*maps);
    if (table.entries.size() > maxEntries) {
      throw std::runtime_error(fileName(row.code) + " would need " + std::to_string(table.entries.size()) +
                               " entries (" + maps->source + "), more than the 32767 a table holds");
    }
    writeFile(file, encode(table));
    ++written;
    const auto d = disagreements(table, *maps);
    if (verbose) {
      std::printf("mktables: %-10s %5zu entries (%zu double-byte, %zu one-way) from %s\n", fileName(row.code).c_str(),
                  table.entries.size(), table.doubleByte, table.oneWay, maps->source.c_str());
    }
    // One-way mappings that meet each other can leave the table short of its source.
    if (d.toUnicode + d.fromUnicode > 0) {
      std::printf("mktables: note: %s maps %zu host codes and %zu code units otherwise than %s\n",
                  fileName(row.code).c_str(), d.toUnicode, d.fromUnicode, maps->source.c_str());
    }
  }
  std::printf("mktables: wrote %d tables to %s", written, outDir.string().c_str());
  if (!leftOut.empty()) std::printf("; no mapping source for CCSID %s, left out", leftOut.c_str());
  std::printf("\n");
  return 0;
}

}  // namespace
}  // namespace kwuni::mktables

int main(int argc, char** argv) {
  try {
    return kwuni::mktables::run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mktables: %s\n", e.what());
    return 1;
  }
}
