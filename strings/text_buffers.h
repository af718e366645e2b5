// The buffers of the string classes: allocated with new[], terminated, at least as large as the
// string's reserve; and the conversions that fill them.
#pragma once

#include <kwuni/win32.h>

#include <algorithm>
#include <cstring>

namespace kwuni::strings {

template <typename Char>
int textLength(const Char* text) {
  if (text == nullptr) return 0;
  const Char* end = text;
  while (*end != 0) ++end;
  return static_cast<int>(end - text);
}

// A buffer of max(reserve, length + 1) characters holding the first length characters of text.
template <typename Char>
Char* copyOf(const Char* text, int length, int reserve) {
  Char* buffer = new Char[static_cast<std::size_t>(std::max(reserve, length + 1))];
  std::copy_n(text, length, buffer);
  buffer[length] = 0;
  return buffer;
}

// The old buffer goes only once the new one exists.
template <typename Char>
void replace(Char*& data, Char* fresh) {
  delete[] data;
  data = fresh;
}

// As strncpy and wcsncpy: count characters of data into target, zero-filled after the text, no
// terminator when the text has count characters or more. A negative count stands for the
// length of the text now in target, plus one.
template <typename Char>
Char* boundedCopy(const Char* data, Char* target, int count) {
  if (target == nullptr || data == nullptr) return nullptr;
  if (count < 0) count = textLength(target) + 1;
  const auto n = static_cast<std::size_t>(count);
  const auto length = std::min(n, static_cast<std::size_t>(textLength(data)));
  std::copy_n(data, length, target);
  std::fill(target + length, target + n, Char{0});
  return target;
}

// Narrow text in a Windows code page (CP_ACP too) or an EBCDIC CCSID as UTF-16.
WCHAR* wideFromCodePage(const char* s, int len, UINT codePage, int reserve);
WCHAR* wideFromCcsid(const char* s, int len, int ccsid, int reserve);

// UTF-16 text in a Windows code page.
char* narrowFromWide(const WCHAR* ws, int len, UINT codePage, int reserve, const char* defChar, int* usedDefault);

}  // namespace kwuni::strings
