// The walks over a field that the edit buffer's operations repeat: the run mode at a position,
// the host bytes before it, the first empty cell, the free space. One FieldScan serves one call
// (and the calls nested in it): it finds the CCSID's table once and keeps what its walks found,
// so that asking the mode of every later cell, each time from cell 0, costs one walk in all.
// The caller reports every write through touched() or closedUp(), which forget what the write
// may have changed.
#pragma once

#include <kwuni/dbcs.h>

#include "ebcdic/host_lookup.h"

#include <vector>

namespace velmora {

class FieldScan {
 public:
  explicit FieldScan(const DBCSEditBuffer& field);

  bool doubleByte(WCHAR ch) const { return host.takesTwoBytes(ch); }
  bool fullWidth(WCHAR ch) const;
  bool unicodeCcsid() const { return unicode; }

  // The character of a cell; 0 outside the field.
  WCHAR at(int pos) const {
    return pos >= 0 && pos < field.length ? static_cast<WCHAR>(field.cells[static_cast<std::size_t>(pos)]) : 0;
  }

  // DBCSEditBuffer::getDbcsMode.
  bool mode(int& pos);

  // Whether the mode walk passes over pos as the second cell of a full-width character.
  bool secondCell(int pos);

  // Host bytes of the cells before pos: 2 for a double-byte character (the second cell of a
  // full-width one passed over), 1 for any other cell.
  int hostBytesBefore(int pos);

  // The first cell in [from, to), from at least 1, that a blank fill would fill: an empty cell,
  // or an SI in a DbcsOnly or DbcsPure field. `to` when there is none.
  int firstFillable(int from, int to);
  bool fillable(int pos) const;

  // DBCSEditBuffer::getFreeSpace.
  int freeSpace(int pos) const;

  // A write at pos.
  void touched(int pos);
  // The cells from pos + n up to end moved n places left and the n cells below end emptied.
  void closedUp(int pos, int n, int end);

 private:
  static constexpr signed char passedOver = -1;

  int stepMode(int i, bool& inside) const;
  void walkModes(int limit);

  const DBCSEditBuffer& field;
  kwuni::UnicodeToHost host;
  bool unicode;
  bool only;
  // modes[i] for i up to modesKnown: the mode when the walk reaches cell i, or passedOver.
  std::vector<signed char> modes;
  int modesKnown = 0;
  // bytes[i] for i up to bytesKnown: host bytes before cell i, or -1 where passed over.
  std::vector<int> bytes;
  int bytesKnown = 0;
  // No cell in [1, clean) is fillable.
  int clean = 1;
};

}  // namespace velmora
