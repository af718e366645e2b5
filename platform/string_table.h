// How a module carries a string table that LoadStringW can find: an exported, unmangled symbol
// naming a table of entries sorted by id.
#pragma once

#include <kwuni/win32.h>

#include <cstddef>

namespace sys {

struct StringTableEntry {
  UINT id;
  const WCHAR* text;
};

struct StringTable {
  const StringTableEntry* entries;
  std::size_t count;
};

// The symbol under which a module exports its StringTable.
inline constexpr const char* stringTableSymbol = "kw_string_table";

}  // namespace sys
