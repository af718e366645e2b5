// The editor behind `kwuni field`: one host input field, a cursor and the insert/overwrite mode,
// driven by keys from the terminal or from a script.
#pragma once

#include <kwuni/dbcs.h>

#include <string>

namespace kwuni::cli {

enum class KeyAction { type, toggleInsert, deleteHere, deleteBefore, left, right, home, end };

struct Key {
  KeyAction action;
  WCHAR ch = 0;  // for type
};

class FieldEditor {
 public:
  // An empty field of the CCSID and kind; the cursor on its first cell, overwriting.
  FieldEditor(short ccsid, velmora::DbcsType kind, int length);

  // Applies one key; a key the field refuses (no room, the wrong kind of character for the
  // field, a mark the field must keep) changes nothing and is counted.
  void press(const Key& key);

  // The cells as one line: SO as «, SI as », an empty cell as ·; a full-width character covers
  // its second cell, so that each cell takes one terminal column.
  std::string cells() const;

  // The field as host bytes in hex: 0E and 0F for the marks, 00 for an empty cell, two bytes for
  // a double-byte character.
  std::string hostBytes() const;

  int cursor() const { return cursor_; }
  bool inserting() const { return inserting_; }
  int freeSpace() const { return field_.getFreeSpace(cursor_); }
  int refused() const { return refused_; }

 private:
  void type(WCHAR ch);
  void moveLeft();
  void moveRight();
  int width(int pos) const;

  velmora::DBCSEditBuffer field_;
  int cursor_ = 0;
  bool inserting_ = false;
  int refused_ = 0;
};

}  // namespace kwuni::cli
