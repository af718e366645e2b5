// Builds translation table streams byte by byte for the tests.
#pragma once

#include <kwuni/win32.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kwuni::test {

using Entries = std::vector<std::pair<WORD, WORD>>;  // (EBCDIC code, UTF-16 code unit)

inline void appendWord(std::string& bytes, WORD value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>(value >> 8);
}

// The table with the given count word, followed by the entries (which may disagree with it).
inline std::string tableBytes(std::int16_t count, const Entries& entries) {
  std::string bytes;
  appendWord(bytes, static_cast<WORD>(count));
  for (const auto& [code, ch] : entries) {
    appendWord(bytes, code);
    appendWord(bytes, ch);
  }
  return bytes;
}

inline std::string tableBytes(const Entries& entries) {
  return tableBytes(static_cast<std::int16_t>(entries.size()), entries);
}

}  // namespace kwuni::test
