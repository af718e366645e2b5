// Editing a field: insert, overwrite and remove a character, the free space at a position, and
// normalize, which removes what the field kind does not allow.

#include <kwuni/dbcs.h>

#include "dbcs/field_scan.h"
#include "dbcs/field_text.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

constexpr WCHAR shiftOut = DBCSEditBuffer::shiftOut;
constexpr WCHAR shiftIn = DBCSEditBuffer::shiftIn;
constexpr WCHAR space = DBCSEditBuffer::space;
constexpr WCHAR ideographicSpace = DBCSEditBuffer::ideographicSpace;
constexpr DWORD characterBits = 0x0000FFFF;

// Overwrites nest through blank fills (an overwrite fills the empty cells before it with
// overwrites of its own) and through the blanks that follow a moved SO. Real fields need two
// or three levels; deeper chains are refused.
constexpr int nestingLimit = 8;

}  // namespace

// One editing call on a field, with the walks it shares with the calls nested in it.
class FieldEdit {
 public:
  explicit FieldEdit(DBCSEditBuffer& f) : field(f), scan(f) {}

  // The calls of DBCSEditBuffer: each keeps its result only when it tells the truth about the
  // field's text (dbcs/field_text.h), and otherwise puts every cell back and returns -1.
  int insertTruthfully(int pos, WCHAR ch);
  int overwriteTruthfully(int pos, WCHAR ch);
  int removeTruthfully(int pos, bool shift);
  void normalize();

 private:
  template <class Edit, class Losable>
  int truthfully(WCHAR typed, Edit edit, Losable losable);

  // The steps the host rules give, which the calls above check and which nest in each other.
  int insert(int pos, WCHAR ch);
  int overwrite(int pos, WCHAR ch);
  int remove(int pos, bool shift);

  WCHAR at(int pos) const { return scan.at(pos); }
  int last() const { return field.length - 1; }
  DbcsType type() const { return field.type; }
  // DbcsOnly and DbcsEither fields keep their SI in the last cell.
  bool closedAtEnd() const { return type() == DbcsOnly || type() == DbcsEither; }
  bool inField(int pos) const { return pos >= 0 && pos < field.length; }

  void put(int pos, WCHAR ch);
  void putCell(int pos, DWORD cell);
  bool anyCharacter(int from, int to) const;
  void characters(std::vector<WCHAR>& out) const;
  bool unchanged(const std::vector<WCHAR>& before) const;

  int resolve(int pos, WCHAR ch, bool forOverwrite, bool& inside);
  void makeRoom(int e, int room);
  int insertShiftOut(int e, bool inside);
  int writeDoubleByte(int e, WCHAR ch, bool inside);
  int writeSingleByte(int e, WCHAR ch, bool inside);
  int overwriteOnce(int pos, WCHAR ch);
  int openOrExtendRun(int e, WCHAR ch, bool inside);
  int replaceShiftOut(int e, WCHAR ch);

  DBCSEditBuffer& field;
  FieldScan scan;
  int nesting = 0;
};

template <class Edit, class Losable>
int FieldEdit::truthfully(WCHAR typed, Edit edit, Losable losable) {
  const std::vector<DWORD> saved = field.cells;
  const FieldText before(field);
  const int result = edit();
  const bool truthful = result >= 0 ? before.keptIn(FieldText(field), result, typed, losable(result))
                                    : before.keptIn(FieldText(field), -1, 0, FieldText::noCells);
  if (truthful) return result;
  field.cells = saved;
  scan.touched(0);
  return -1;
}

// Inserting loses nothing.
int FieldEdit::insertTruthfully(int pos, WCHAR ch) {
  return truthfully(ch, [&] { return insert(pos, ch); }, [](int) { return FieldText::noCells; });
}

// An overwrite replaces what stood in the cells it writes: the character's own, the SO or SI
// before it and the cells after it that the host bytes of a wider or narrower character take.
int FieldEdit::overwriteTruthfully(int pos, WCHAR ch) {
  return truthfully(ch, [&] { return overwrite(pos, ch); }, [](int at) { return FieldText::Cells{at - 1, at + 2}; });
}

// A removal takes out its own character; the SO of a DbcsEither field takes the whole field.
int FieldEdit::removeTruthfully(int pos, bool shift) {
  const bool clearsField = type() == DbcsEither && at(pos) == shiftOut;
  const FieldText::Cells losable = clearsField ? FieldText::Cells{0, last()} : FieldText::Cells{pos, pos};
  return truthfully(0, [&] { return remove(pos, shift); }, [losable](int) { return losable; });
}

void FieldEdit::put(int pos, WCHAR ch) {
  if (!inField(pos)) return;
  field.setChar(pos, ch);
  scan.touched(pos);
}

void FieldEdit::putCell(int pos, DWORD cell) {
  if (!inField(pos)) return;
  field.cells[static_cast<std::size_t>(pos)] = cell;
  scan.touched(pos);
}

bool FieldEdit::anyCharacter(int from, int to) const {
  for (int i = std::max(from, 0); i < std::min(to, field.length); ++i) {
    if (at(i) != 0) return true;
  }
  return false;
}

void FieldEdit::characters(std::vector<WCHAR>& out) const {
  out.resize(field.cells.size());
  std::transform(field.cells.begin(), field.cells.end(), out.begin(),
                 [](DWORD cell) { return static_cast<WCHAR>(cell); });
}

bool FieldEdit::unchanged(const std::vector<WCHAR>& before) const {
  return std::equal(field.cells.begin(), field.cells.end(), before.begin(), before.end(),
                    [](DWORD cell, WCHAR ch) { return static_cast<WCHAR>(cell) == ch; });
}

// Resolves the position asked for onto a character boundary and fills the empty cells before
// it with blanks. Returns the position, with the mode there in `inside`, or -1.
int FieldEdit::resolve(int pos, WCHAR ch, bool forOverwrite, bool& inside) {
  if (!inField(pos)) return -1;
  int e = pos;
  inside = scan.mode(e);
  if (inside && e != pos && at(pos) != 0) return -1;

  int i = 0;
  while (i < e) {
    if (i == 0) {
      const WCHAR c = at(0);
      const bool empty = c == 0 || (field.isDbcsOnly() && c == shiftIn && forOverwrite);
      if (!empty) {
        i = 1;
        continue;
      }
    } else {
      i = scan.firstFillable(i, e);
      if (i >= e) break;
    }
    if (scan.secondCell(i)) {
      put(i, space);  // the second cell of a full-width character
      ++i;
      continue;
    }
    int j = i;
    bool blankInside = scan.mode(j);
    if (i == 0 && type() == DbcsEither && scan.fullWidth(ch)) blankInside = true;
    const int written = overwrite(j, blankInside ? ideographicSpace : space);
    if (written < 0) return -1;
    i = std::max(written + (blankInside ? 2 : 1), i + 1);
    inside = blankInside;
    e = std::max(e, i);
  }
  return e < field.length ? e : -1;
}

// Moves the cells from e on right by room. The SI closing the field stays in the last cell, and
// an empty run at the very end gives up its cells.
void FieldEdit::makeRoom(int e, int room) {
  int lastMovable = last();
  if (at(last()) == shiftIn) {
    if (last() >= 1 && at(last() - 1) == shiftOut) {
      put(last() - 1, 0);
    } else {
      --lastMovable;
    }
  }
  if (lastMovable >= e + room) {
    const auto begin = field.cells.begin();
    std::copy_backward(begin + e, begin + lastMovable - room + 1, begin + lastMovable + 1);
  }
  scan.touched(e);
}

int FieldEdit::insert(int pos, WCHAR ch) {
  int p = pos;
  int previous = -1;
  for (;;) {
    bool inside = false;
    const int e = resolve(p, ch, false, inside);
    if (e <= previous) return -1;  // includes -1; a restart must move right
    previous = e;
    const WCHAR first = at(0);
    const WCHAR current = at(e);
    const bool doubleByte = scan.doubleByte(ch);
    int room = 0;
    if (doubleByte || ch == shiftOut) {
      if (type() == DbcsNone) return -1;
      if (type() == DbcsEither && first != shiftOut && first != 0) return -1;  // single-byte text
      if (current == shiftOut) {
        if (ch == shiftOut) return e;
        p = e + 1;  // the character goes after the SO
        continue;
      }
      if (ch == shiftOut) return insertShiftOut(e, inside);
      room = (scan.fullWidth(ch) ? 2 : 1) + (inside ? 0 : 2);
    } else {
      if (field.isDbcsOnly()) return -1;
      if (type() == DbcsEither && e > 0 && first == shiftOut) return -1;
      if (current == shiftIn) {
        if (ch == shiftIn) return e;
        p = e + 1;  // the character goes after the SI
        continue;
      }
      room = inside ? 3 : 1;
    }
    if (room > scan.freeSpace(e)) return -1;
    makeRoom(e, room);
    return doubleByte ? writeDoubleByte(e, ch, inside) : writeSingleByte(e, ch, inside);
  }
}

// An inserted SO opens an empty run: SO, SI in a DbcsOpen field; in a field whose marks stand
// in cell 0 and the last cell, only at cell 0.
int FieldEdit::insertShiftOut(int e, bool inside) {
  if (inside) return e;
  if (type() == DbcsOpen) {
    if (scan.freeSpace(e) < 2) return -1;
    makeRoom(e, 2);
    put(e, shiftOut);
    put(e + 1, shiftIn);
    return e;
  }
  if (closedAtEnd() && e == 0) {
    if (scan.freeSpace(e) < 2) return -1;
    makeRoom(e, 1);
    put(0, shiftOut);
    put(last(), shiftIn);
    return 0;
  }
  return -1;
}

int FieldEdit::writeDoubleByte(int e, WCHAR ch, bool inside) {
  if (!inside) put(e++, shiftOut);
  put(e, ch);
  const int width = scan.fullWidth(ch) ? 2 : 1;
  if (width == 2) put(e + 1, space);
  if (type() == DbcsOpen && (!inside || at(e + width) == 0)) put(e + width, shiftIn);
  if (closedAtEnd()) put(last(), shiftIn);
  return e;
}

int FieldEdit::writeSingleByte(int e, WCHAR ch, bool inside) {
  if (inside) put(e++, shiftIn);
  put(e, ch);
  if (inside) put(e + 1, shiftOut);  // the run goes on after the character
  return e;
}

int FieldEdit::overwrite(int pos, WCHAR ch) {
  if (nesting >= nestingLimit) return -1;
  ++nesting;
  const int result = overwriteOnce(pos, ch);
  --nesting;
  return result;
}

int FieldEdit::overwriteOnce(int pos, WCHAR ch) {
  int p = pos;
  int previous = -1;
  for (;;) {
    bool inside = false;
    int e = resolve(p, ch, true, inside);
    if (e <= previous) return -1;  // includes -1; a restart must move right
    previous = e;
    const int freeRoom = field.length - scan.hostBytesBefore(e);
    const WCHAR first = at(0);
    const WCHAR current = at(e);

    if (scan.doubleByte(ch)) {
      if (type() == DbcsNone) return -1;
      if (type() == DbcsEither && first != shiftOut && first != 0) return -1;
      if (current == shiftOut) {
        p = e + 1;
        continue;
      }
      const int width = scan.fullWidth(ch) ? 2 : 1;
      const int required = type() == DbcsPure ? width : inside ? 3 : 4;
      if (freeRoom < required) return -1;
      if (!inside || current == shiftIn) return openOrExtendRun(e, ch, inside);
      put(e, ch);
      if (width == 2) put(e + 1, space);
      if (type() == DbcsOpen && at(e + width) == 0) put(e + width, shiftIn);
      if (closedAtEnd()) put(last(), shiftIn);
      return e;
    }

    if (ch != shiftOut && ch != shiftIn) {
      if (field.isDbcsOnly()) return -1;
      if (type() == DbcsEither && e > 0 && first == shiftOut) return -1;
    }
    if (current == shiftIn) {
      if (ch == shiftIn) return e;
      p = e + 1;
      continue;
    }
    // Inside a run the character needs a cell after the SI written before it (an SO too, which
    // otherwise would be placed past the field's end).
    if (inside && ch != shiftIn && field.length - e < 2) return -1;
    if (current == shiftOut) return replaceShiftOut(e, ch);
    if (!inside) {
      put(e, ch);
      return e;
    }
    if (ch == shiftIn) {
      put(e, shiftIn);
      if (e != last() && at(e + 1) != 0) put(e + 1, space);
      return e;
    }
    // A single-byte character (or SO) splits the run: SI, the character, a space, SO.
    put(e++, shiftIn);
    put(e, ch);
    const WCHAR next = at(e + 1);
    put(e + 1, space);
    if (e < field.length - 2 && next != shiftIn) put(e + 2, shiftOut);
    return e;
  }
}

// A double-byte character written outside a run (with a new SO before it) or over the SI of
// the run it extends. In a DbcsOpen field the run's SI follows it, joining a run that starts
// right after.
int FieldEdit::openOrExtendRun(int e, WCHAR ch, bool inside) {
  if (!inside) put(e++, shiftOut);
  put(e, ch);
  const bool joining = at(e + 1) == shiftOut;
  put(e + 1, space);
  if (type() == DbcsOpen && !joining) {
    const WCHAR replaced = at(e + 2);
    put(e + 2, shiftIn);
    const int rest = field.length - e;
    if (rest >= 4) {
      if (at(e + 3) == shiftIn) {
        put(e + 3, space);
      } else if (replaced == shiftOut) {
        put(e + 3, space);
        if (rest >= 5) put(e + 4, shiftOut);
      }
      bool laterShiftOut = false;
      for (int i = e + 2; i < last() && !laterShiftOut; ++i) laterShiftOut = at(i) == shiftOut;
      if (at(last()) == shiftIn && !laterShiftOut && at(e + 4) == space) {
        put(e + 3, space);
        put(e + 4, shiftOut);
      }
    }
  }
  if (closedAtEnd()) put(last(), shiftIn);
  return e;
}

// A character over a run's SO: the SO moves right onto the boundary that the run's host bytes
// allow, and the cells of the run that are now out of step become double-byte blanks.
int FieldEdit::replaceShiftOut(int e, WCHAR ch) {
  if (ch == shiftOut) return e;
  put(e, ch);
  const WCHAR next = at(e + 1);
  put(e + 1, space);
  if (e >= field.length - 2 || next == shiftIn) return e;

  int bytes = 0;
  for (int i = e; i < field.length; ++i) {
    const WCHAR c = at(i);
    if (c == shiftIn) {
      bytes += 1;
      break;
    }
    if (scan.doubleByte(c)) {
      bytes += 2;
      if (scan.fullWidth(c)) ++i;
    } else {
      bytes += 1;
    }
  }
  const int newShiftOut = e + (bytes % 2 == 1 ? 1 : 2);
  put(newShiftOut, shiftOut);

  for (int j = newShiftOut + 1; j < field.length;) {
    int k = j;
    const bool inside = scan.mode(k);
    if (inside && at(k) == space) overwrite(k, ideographicSpace);
    j = std::max(k + (inside ? 2 : 1), j + 1);
  }
  return e;
}

int FieldEdit::remove(int pos, bool shift) {
  if (!inField(pos)) return -1;
  int e = pos;
  const bool inside = scan.mode(e);
  if (e != pos) return -1;  // the second cell of a character

  const WCHAR c = at(pos);
  const WCHAR first = at(0);
  const bool hasNext = pos < last();
  const WCHAR next = at(pos + 1);
  if (c == shiftOut) {
    if (type() == DbcsOnly && pos == 0) return -1;
    if (type() == DbcsEither && pos == 0 && anyCharacter(1, last())) return -1;
    if (type() == DbcsOpen && hasNext && next != shiftIn && next != 0) return -1;  // a run with characters
  }
  if (c == shiftIn) {
    if (pos == last() && (type() == DbcsOnly || (type() == DbcsEither && first == shiftOut))) return -1;
    const bool freeMarks = type() == DbcsOpen || type() == DbcsNone;
    if (inside && freeMarks && hasNext && next != shiftOut) return -1;  // only to join two runs
  }

  const bool wholeField = c == shiftOut && type() == DbcsEither;
  int n = 1;
  if (wholeField) {
    n = field.length;
  } else if (c == shiftOut || c == shiftIn) {
    n = hasNext && (next == shiftOut || next == shiftIn) ? 2 : 1;
  } else if (scan.fullWidth(c)) {
    n = 2;
  }

  if (shift) {
    int end = field.length;
    if (type() == DbcsOnly || (type() == DbcsEither && pos > 0 && first == shiftOut)) end = last();
    if (pos >= end) return -1;  // the fixed SI's cell: nothing closes up over it
    if (!wholeField) n = std::min(n, end - pos);  // a character cut by the field's end or its SI
    const DWORD removed = field.cells[static_cast<std::size_t>(pos)];
    auto begin = field.cells.begin();
    if (pos + n < end) std::copy(begin + pos + n, begin + end, begin + pos);
    std::fill(begin + std::max(end - n, 0), begin + std::max(end, 0), removed & ~characterBits);
    scan.closedUp(pos, n, end);
  } else if (inside) {
    putCell(pos, ideographicSpace);
    putCell(pos + 1, space);
  } else {
    putCell(pos, space);
  }

  if (!field.isDbcsOnly()) {
    int q = field.getDataLength();
    if (scan.mode(q) && q < field.length) put(q, shiftIn);  // close a run left open at the end
  }
  return pos;
}

void FieldEdit::normalize() {
  std::vector<WCHAR> before;
  bool inRun = type() == DbcsPure;
  int i = 0;
  while (i < field.length) {
    const WCHAR c = at(i);
    const WCHAR first = at(0);
    const bool fixedEnd = type() == DbcsOnly || (type() == DbcsEither && first == shiftOut);
    if (c == 0) {
      if (anyCharacter(i + 1, fixedEnd ? last() : field.length)) {
        const WCHAR blank = inRun ? ideographicSpace : space;
        truthfully(blank, [&] { return overwrite(i, blank); }, [](int) { return FieldText::noCells; });
      }
      return;
    }
    const bool marksAllowed = type() != DbcsPure && type() != DbcsNone;
    const bool fixedMarks = type() == DbcsOnly || type() == DbcsEither;
    bool stays = false;
    int width = 1;
    if (c == space) {
      if (field.isDbcsOnly() && !scan.unicodeCcsid() && i < last() && at(i + 1) == space) {
        put(i, ideographicSpace);
        i += 2;
        continue;
      }
      stays = true;
    } else if (c == shiftIn) {
      stays = marksAllowed && inRun && (!fixedMarks || i == last());
      if (stays) inRun = false;
    } else if (c == shiftOut) {
      stays = marksAllowed && !inRun && (!fixedMarks || i == 0);
      if (stays) inRun = true;
    } else if (scan.doubleByte(c)) {
      stays = inRun && type() != DbcsNone && !(type() == DbcsEither && i > 0 && first != shiftOut);
      if (stays && scan.fullWidth(c)) width = 2;
    } else {
      stays = !inRun && !field.isDbcsOnly() && !(type() == DbcsEither && i > 0 && first == shiftOut);
    }
    if (stays) {
      i += width;
      continue;
    }
    // Removed, the same cell is examined again; refused, the walk moves on. A removal that
    // leaves every character as it was (an SI taken out and put back to close the run before
    // it, or nothing to close up over the last cell) would be repeated for ever: the walk moves
    // on too.
    characters(before);
    if (removeTruthfully(i, true) < 0 || unchanged(before)) ++i;
  }
}

int DBCSEditBuffer::insert(int pos, WCHAR ch) { return FieldEdit(*this).insertTruthfully(pos, ch); }

int DBCSEditBuffer::overwrite(int pos, WCHAR ch) { return FieldEdit(*this).overwriteTruthfully(pos, ch); }

int DBCSEditBuffer::remove(int pos, bool shift) { return FieldEdit(*this).removeTruthfully(pos, shift); }

int DBCSEditBuffer::getFreeSpace(int pos) const { return FieldScan(*this).freeSpace(pos); }

void DBCSEditBuffer::normalize() { FieldEdit(*this).normalize(); }

}  // namespace velmora
