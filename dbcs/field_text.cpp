#include "dbcs/field_text.h"

#include <algorithm>

namespace velmora {

FieldText::FieldText(const DBCSEditBuffer& field) {
  for (int i = 0; i < field.getLength(); ++i) {
    const WCHAR c = field.getChar(i);
    if (isText(c)) characters.push_back({i, c});
  }
}

bool FieldText::isText(WCHAR ch) {
  return ch != 0 && ch != DBCSEditBuffer::space && ch != DBCSEditBuffer::ideographicSpace &&
         ch != DBCSEditBuffer::shiftOut && ch != DBCSEditBuffer::shiftIn;
}

bool FieldText::keptIn(const FieldText& after, int at, WCHAR typed, Cells losable) const {
  // The text after the edit, the typed character taken out of it again.
  std::vector<WCHAR> kept;
  kept.reserve(after.characters.size());
  std::size_t typedIndex = 0;
  bool typedFound = !isText(typed);
  for (const Character& c : after.characters) {
    if (!typedFound && c.cell == at) {
      if (c.ch != typed) return false;
      typedIndex = kept.size();
      typedFound = true;
      continue;
    }
    kept.push_back(c.ch);
  }
  if (!typedFound || kept.size() > characters.size()) return false;

  // kept must be this text with `lost` characters taken out at some index k: the first k agree
  // and the rest agree shifted by `lost`. The valid k form a range; the typed character fixes k.
  const std::size_t lost = characters.size() - kept.size();
  std::size_t prefix = 0;
  while (prefix < kept.size() && kept[prefix] == characters[prefix].ch) ++prefix;
  std::size_t suffix = 0;
  while (suffix < kept.size() && kept[kept.size() - 1 - suffix] == characters[characters.size() - 1 - suffix].ch) {
    ++suffix;
  }
  const std::size_t lowest = kept.size() - suffix;
  const std::size_t highest = prefix;
  if (lowest > highest) return false;
  auto losableFrom = [&](std::size_t k) {
    if (lost == 0) return true;
    return characters[k].cell >= losable.first && characters[k + lost - 1].cell <= losable.last;
  };
  if (isText(typed)) return typedIndex >= lowest && typedIndex <= highest && losableFrom(typedIndex);
  for (std::size_t k = lowest; k <= highest; ++k) {
    if (losableFrom(k)) return true;
  }
  return false;
}

}  // namespace velmora
