// The edit buffer's cells: loading them with the shift structure repaired, saving them, the
// accessors and the run mode at a position.

#include <kwuni/dbcs.h>

#include "dbcs/field_scan.h"

#include <stdexcept>

namespace velmora {

namespace {

constexpr DWORD characterBits = 0x0000FFFF;

DWORD withCharacter(DWORD cell, WCHAR ch) { return (cell & ~characterBits) | ch; }

// The character load reads from a source cell: none when the null or stale flag is set.
WCHAR loadedCharacter(DWORD cell) {
  if (cell & (DBCSEditBuffer::nullFlag | DBCSEditBuffer::staleFlag)) return 0;
  return static_cast<WCHAR>(cell);
}

}  // namespace

DBCSEditBuffer::DBCSEditBuffer(short ccsid_, DbcsType type_) : ccsid(ccsid_), type(type_), length(0) {}

DBCSEditBuffer::DBCSEditBuffer(short ccsid_, DbcsType type_, const DWORD* src, int start, int count)
    : DBCSEditBuffer(ccsid_, type_) {
  load(src, start, count);
}

void DBCSEditBuffer::load(const DWORD* src, int start, int count) {
  if (count < 0) {
    clear();
    throw std::length_error("DBCSEditBuffer::load: negative count");
  }
  if (src == nullptr && count > 0) {
    clear();
    throw std::invalid_argument("DBCSEditBuffer::load: no source cells");
  }
  cells.assign(static_cast<std::size_t>(count), 0);
  length = count;
  if (count == 0) return;
  src += start;

  const FieldScan scan(*this);
  const bool pure = type == DbcsPure;
  const int last = count - 1;
  const bool closedBySourceEnd = loadedCharacter(src[last]) == shiftIn;
  auto cell = [this](int pos) -> DWORD& { return cells[static_cast<std::size_t>(pos)]; };
  auto eitherWithRun = [&] { return type == DbcsEither && getChar(0) == shiftOut; };

  bool inRun = pure;
  DWORD lastRead = 0;
  int k = 0;
  int j = 0;
  while (k < count && j < count) {
    const DWORD v = src[k];
    lastRead = v;
    cell(j) = v;
    if (!(v & skipFlag)) {
      const WCHAR c = loadedCharacter(v);
      if (c == shiftOut) {
        if (inRun || pure || (j != 0 && (type == DbcsOnly || type == DbcsEither))) {
          --j;  // dropped: the next cell overwrites it
        } else {
          inRun = true;
        }
      } else if (c == shiftIn) {
        if (!inRun || pure || (j != last && (type == DbcsOnly || eitherWithRun()))) {
          --j;  // dropped: the run goes on
        } else {
          inRun = false;
        }
      } else if (scan.doubleByte(c)) {
        if (!inRun) {
          setChar(j++, shiftOut);
          inRun = true;
        }
        const int width = scan.fullWidth(c) ? 2 : 1;
        if (count - j < width) break;
        cell(j) = withCharacter(v, c);
        if (width == 2) {
          cell(++j) = withCharacter(v, space);
          ++k;  // the second source cell is not read
        }
        if (!pure && j == last && closedBySourceEnd) {
          setChar(j - 1, space);
          setChar(j, shiftIn);
        }
      } else {
        if (inRun && !pure && !(c == 0 && (type == DbcsOnly || eitherWithRun()))) {
          setChar(j++, shiftIn);
          inRun = false;
        }
        if (j < count) cell(j) = withCharacter(v, c);
      }
    }
    ++k;
    ++j;
  }

  int end = std::min(j, count);
  if (end > 0 && getChar(end - 1) == shiftOut) --end;  // a dangling SO
  for (int i = end; i < count; ++i) cell(i) = withCharacter(lastRead, 0);

  if (type == DbcsOnly || eitherWithRun()) {
    setChar(0, shiftOut);
    setChar(last, shiftIn);
  }
}

void DBCSEditBuffer::save(DWORD* dst, int start, int count) const {
  const int n = std::min(count, length);
  if (n <= 0) return;
  if (dst == nullptr) throw std::invalid_argument("DBCSEditBuffer::save: no target cells");
  std::copy(cells.begin(), cells.begin() + n, dst + start);
}

void DBCSEditBuffer::clear() {
  cells.clear();
  length = 0;
}

unsigned long DBCSEditBuffer::operator[](int pos) const { return getChar(pos); }

WCHAR DBCSEditBuffer::getChar(int pos) const {
  if (pos < 0 || pos >= length) return 0;
  return static_cast<WCHAR>(cells[static_cast<std::size_t>(pos)]);
}

void DBCSEditBuffer::setChar(int pos, WCHAR ch) {
  if (pos < 0 || pos >= length) return;
  DWORD& cell = cells[static_cast<std::size_t>(pos)];
  cell = withCharacter(cell, ch) & ~staleFlag;
  if (ch == 0) {
    cell |= nullFlag;
  } else {
    cell &= ~nullFlag;
  }
}

int DBCSEditBuffer::getDataLength() const {
  int n = length;
  while (n > 0 && static_cast<WCHAR>(cells[static_cast<std::size_t>(n) - 1]) == 0) --n;
  return n;
}

bool DBCSEditBuffer::isDbcsOnly() const { return type == DbcsOnly || type == DbcsPure; }

bool DBCSEditBuffer::getDbcsMode(int& pos) const {
  FieldScan scan(*this);
  return scan.mode(pos);
}

}  // namespace velmora
