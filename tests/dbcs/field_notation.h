// Edit buffer fields written as text, one character a cell: « is SO, » SI, · an empty cell, and
// every other character stands for itself (a full-width character is followed by the space of
// its second cell).
#pragma once

#include <kwuni/dbcs.h>

#include <string>
#include <string_view>
#include <vector>

namespace kwuni::test {

inline std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1Fu : extra == 2 ? b & 0x0Fu : b & 0x07u;
    for (int k = 1; k <= extra; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3Fu);
    }
    i += static_cast<std::size_t>(extra) + 1;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

inline std::string utf8(char16_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

inline char16_t cellCharacter(char16_t c) {
  if (c == u'«') return velmora::DBCSEditBuffer::shiftOut;
  if (c == u'»') return velmora::DBCSEditBuffer::shiftIn;
  if (c == u'·') return 0;
  return c;
}

// The cells of a notation, characters only.
inline std::vector<DWORD> cells(std::string_view notation) {
  std::vector<DWORD> out;
  for (const char16_t c : utf16(notation)) out.push_back(cellCharacter(c));
  return out;
}

// A field holding exactly the cells written (set one by one, not repaired by load).
inline velmora::DBCSEditBuffer field(short ccsid, velmora::DbcsType type, std::string_view notation) {
  const auto content = cells(notation);
  const std::vector<DWORD> empty(content.size(), 0);
  velmora::DBCSEditBuffer buffer(ccsid, type, empty.data(), 0, static_cast<int>(empty.size()));
  for (std::size_t i = 0; i < content.size(); ++i) {
    buffer.setChar(static_cast<int>(i), static_cast<WCHAR>(content[i]));
  }
  return buffer;
}

inline std::string notation(const velmora::DBCSEditBuffer& buffer) {
  std::string out;
  for (int i = 0; i < buffer.getLength(); ++i) {
    const WCHAR c = buffer.getChar(i);
    if (c == velmora::DBCSEditBuffer::shiftOut) {
      out += "«";
    } else if (c == velmora::DBCSEditBuffer::shiftIn) {
      out += "»";
    } else {
      out += c == 0 ? "·" : utf8(c);
    }
  }
  return out;
}

}  // namespace kwuni::test
