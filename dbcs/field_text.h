// The text of a field, as a user reads it: its characters in order, each with the cell it stands
// in. Shift marks, empty cells and blanks (the space, which is also the second cell of every
// full-width character, and U+3000) are not text: the host rules write and take them away as
// runs open, close and fill. An edit of the field tells the truth when the text after it is the
// text before it with the typed character where the edit says it went and, at most, the
// characters of a few cells the edit was entitled to replace taken out; nothing else lost,
// duplicated, invented or moved out of order.
#pragma once

#include <kwuni/dbcs.h>

#include <vector>

namespace velmora {

class FieldText {
 public:
  explicit FieldText(const DBCSEditBuffer& field);

  static bool isText(WCHAR ch);

  // Cells, from first to last inclusive, whose characters an edit may take out of the text.
  struct Cells {
    int first;
    int last;
  };
  static constexpr Cells noCells{0, -1};

  // Whether `after` holds this text with the characters of a contiguous stretch of `losable`
  // cells taken out and, when typed is text, typed standing in cell `at` in their place.
  bool keptIn(const FieldText& after, int at, WCHAR typed, Cells losable) const;

 private:
  struct Character {
    int cell;
    WCHAR ch;
  };
  std::vector<Character> characters;
};

}  // namespace velmora
