#include "tools/kwuni/field_editor.h"

#include <kwuni/ebcdic.h>

#include "tools/kwuni/command.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kwuni::cli {

using velmora::DBCSEditBuffer;

FieldEditor::FieldEditor(short ccsid, velmora::DbcsType kind, int length) : field_(ccsid, kind) {
  const std::vector<DWORD> empty(static_cast<std::size_t>(length), 0);
  field_.load(empty.data(), 0, length);
  // An empty field holds no marks but the fixed ones of a DbcsOnly field (in a Unicode CCSID
  // load reads empty cells as double-byte characters and opens a run for them).
  if (kind != velmora::DbcsOnly) {
    for (int i = 0; i < length; ++i) field_.setChar(i, 0);
  }
}

// Cells the character at pos covers: 2 for a full-width one, else 1.
int FieldEditor::width(int pos) const {
  return KW_IsFullWidthChar(field_.getCcsid(), field_.getChar(pos)) ? 2 : 1;
}

void FieldEditor::type(WCHAR ch) {
  const int at = inserting_ ? field_.insert(cursor_, ch) : field_.overwrite(cursor_, ch);
  if (at < 0) {
    ++refused_;
    return;
  }
  cursor_ = std::min(at + (KW_IsFullWidthChar(field_.getCcsid(), ch) ? 2 : 1), field_.getLength() - 1);
}

void FieldEditor::moveLeft() {
  if (cursor_ == 0) return;
  int pos = cursor_ - 1;
  int resolved = pos;
  field_.getDbcsMode(resolved);
  if (resolved != pos && pos > 0) --pos;  // the second cell of a full-width character
  cursor_ = pos;
}

void FieldEditor::moveRight() { cursor_ = std::min(cursor_ + width(cursor_), field_.getLength() - 1); }

void FieldEditor::press(const Key& key) {
  switch (key.action) {
    case KeyAction::type: type(key.ch); break;
    case KeyAction::toggleInsert: inserting_ = !inserting_; break;
    case KeyAction::deleteHere:
      if (field_.remove(cursor_, true) < 0) ++refused_;
      break;
    case KeyAction::deleteBefore:
      if (cursor_ == 0) {
        ++refused_;
        break;
      }
      moveLeft();
      if (field_.remove(cursor_, true) < 0) ++refused_;
      break;
    case KeyAction::left: moveLeft(); break;
    case KeyAction::right: moveRight(); break;
    case KeyAction::home: cursor_ = 0; break;
    case KeyAction::end: cursor_ = std::min(field_.getDataLength(), field_.getLength() - 1); break;
  }
}

std::string FieldEditor::cells() const {
  std::u16string line;
  for (int i = 0; i < field_.getLength(); ++i) {
    const WCHAR c = field_.getChar(i);
    if (c == DBCSEditBuffer::shiftOut) {
      line += u'«';
    } else if (c == DBCSEditBuffer::shiftIn) {
      line += u'»';
    } else if (c == 0) {
      line += u'·';
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      line += u'�';  // a control character, shown in its one column
    } else {
      line += c;
      if (width(i) == 2 && field_.getChar(i + 1) == DBCSEditBuffer::space) ++i;
    }
  }
  return toUtf8(line.c_str());
}

std::string FieldEditor::hostBytes() const {
  const short ccsid = field_.getCcsid();
  std::string hex;
  auto byte = [&hex](unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    if (!hex.empty()) hex += ' ';
    hex += text;
  };
  for (int i = 0; i < field_.getLength(); ++i) {
    const WCHAR c = field_.getChar(i);
    if (c == DBCSEditBuffer::shiftOut) {
      byte(0x0E);
    } else if (c == DBCSEditBuffer::shiftIn) {
      byte(0x0F);
    } else if (c == 0) {
      byte(0x00);
    } else if (KW_IsDBCSChar(ccsid, c)) {
      const WORD code = UtoE(ccsid, c, nullptr);
      byte(code >> 8u);
      byte(code);
      if (width(i) == 2) ++i;
    } else {
      byte(UtoE(ccsid, c, nullptr));
    }
  }
  return hex;
}

}  // namespace kwuni::cli
