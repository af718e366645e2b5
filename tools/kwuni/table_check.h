// Reading a translation table file the way the library loads it, and saying what is wrong with
// it: the one fault that stops it loading (too short for its count) and the oddities that load
// but are probably not meant.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kwuni::cli {

// The CCSID a table file name stands for: E<ccsid>U.KWX for a catalogued CCSID, A<n>U.KWX for
// any other number, as the library forms them. Empty for any other name.
struct TableName {
  int ccsid;
  bool catalogued;  // E<ccsid>U.KWX with a catalogued CCSID
  bool mixed;       // and that CCSID mixes single and double bytes
};
std::optional<TableName> parseTableName(std::string_view fileName);

struct TableCheck {
  std::optional<TableName> name;
  int count = 0;                // the count field, signed, as stored
  std::size_t entries = 0;      // entries the library reads
  std::size_t singleByte = 0;   // entries with a code below 0x100
  std::size_t doubleByte = 0;
  std::size_t oneWay = 0;       // entries whose value the code loses to a later entry but that
                                // still map their code unit back to the code
  std::optional<std::string> error;   // the library refuses the file
  std::vector<std::string> warnings;  // it loads, but probably not as meant
};

// Checks the bytes of a table file; the name's last path component decides the CCSID.
TableCheck checkTable(std::string_view fileName, std::span<const unsigned char> bytes);

}  // namespace kwuni::cli
