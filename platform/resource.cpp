#include "platform/resource.h"

#include "platform/module.h"
#include "platform/string_table.h"

#include <algorithm>
#include <iterator>

namespace sys {

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = 0;
  const auto* table = static_cast<const StringTable*>(moduleSymbol(module, stringTableSymbol));
  if (table == nullptr) return 0;
  const auto* end = table->entries + table->count;
  const auto* entry = std::lower_bound(table->entries, end, id,
                                       [](const StringTableEntry& e, UINT key) { return e.id < key; });
  if (entry == end || entry->id != id || entry->text == nullptr) return 0;
  int copied = 0;
  for (const WCHAR* p = entry->text; *p != 0 && copied < size - 1; ++p) buffer[copied++] = *p;
  buffer[copied] = 0;
  return copied;
}

}  // namespace sys
