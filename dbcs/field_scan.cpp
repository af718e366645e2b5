#include "dbcs/field_scan.h"

#include "dbcs/classification.h"

#include <algorithm>

namespace velmora {

namespace {
constexpr WCHAR shiftOut = DBCSEditBuffer::shiftOut;
constexpr WCHAR shiftIn = DBCSEditBuffer::shiftIn;
}  // namespace

FieldScan::FieldScan(const DBCSEditBuffer& f)
    : field(f),
      host(kwuni::unicodeToHostLookup(f.ccsid)),
      unicode(KW_IsUnicodeCodePage(f.ccsid)),
      only(f.isDbcsOnly()) {}

bool FieldScan::fullWidth(WCHAR ch) const { return kwuni::takesTwoCells(host, unicode, ch); }

// One step of the mode walk from cell i: the cell after it, or the one after its second cell.
int FieldScan::stepMode(int i, bool& inside) const {
  const DWORD cell = field.cells[static_cast<std::size_t>(i)];
  if (cell & DBCSEditBuffer::skipFlag) return i + 1;
  const auto c = static_cast<WCHAR>(cell);
  if (c == shiftOut) {
    inside = true;
  } else if (c == shiftIn) {
    inside = false;
  } else {
    if (!inside && only && i == 0) inside = true;
    if (fullWidth(c)) return i + 2;
  }
  return i + 1;
}

// Walks from the last known boundary at or below limit until the walk reaches or passes limit.
void FieldScan::walkModes(int limit) {
  if (modes.empty()) {
    modes.assign(static_cast<std::size_t>(field.length) + 2, 0);
    modes[0] = field.type == DbcsPure ? 1 : 0;
    modesKnown = 0;
  }
  int i = std::min(modesKnown, limit);
  while (modes[static_cast<std::size_t>(i)] == passedOver) --i;
  bool inside = modes[static_cast<std::size_t>(i)] == 1;
  while (i < limit) {
    const int next = stepMode(i, inside);
    if (next > i + 1) modes[static_cast<std::size_t>(i) + 1] = passedOver;
    modes[static_cast<std::size_t>(next)] = inside ? 1 : 0;
    i = next;
  }
  modesKnown = std::max(modesKnown, i);
}

bool FieldScan::mode(int& pos) {
  if (!unicode && only && pos > 0 && pos % 2 == 0) --pos;
  const int limit = std::clamp(pos, 0, field.length);
  walkModes(limit);
  // The walk stops on the first boundary at or past limit.
  int stop = limit;
  if (modes[static_cast<std::size_t>(stop)] == passedOver) ++stop;
  if (stop > pos) ++pos;
  return modes[static_cast<std::size_t>(stop)] == 1;
}

bool FieldScan::secondCell(int pos) {
  if (pos <= 0 || pos >= field.length) return false;
  walkModes(pos);
  return modes[static_cast<std::size_t>(pos)] == passedOver;
}

int FieldScan::hostBytesBefore(int pos) {
  const int limit = std::clamp(pos, 0, field.length);
  if (bytes.empty()) {
    bytes.assign(static_cast<std::size_t>(field.length) + 2, 0);
    bytesKnown = 0;
  }
  int i = std::min(bytesKnown, limit);
  while (bytes[static_cast<std::size_t>(i)] < 0) --i;
  int n = bytes[static_cast<std::size_t>(i)];
  while (i < limit) {
    const WCHAR c = at(i);
    if (doubleByte(c)) {
      n += 2;
      if (fullWidth(c)) bytes[static_cast<std::size_t>(++i)] = -1;
    } else {
      n += 1;
    }
    bytes[static_cast<std::size_t>(++i)] = n;
  }
  bytesKnown = std::max(bytesKnown, i);
  return n;
}

bool FieldScan::fillable(int pos) const {
  const WCHAR c = at(pos);
  return c == 0 || (only && c == shiftIn);
}

int FieldScan::firstFillable(int from, int to) {
  from = std::max(from, 1);
  to = std::min(to, field.length);
  while (clean < from && clean < to && !fillable(clean)) ++clean;
  if (clean >= from) {
    while (clean < to && !fillable(clean)) ++clean;
    return std::max(clean, from);
  }
  int i = from;
  while (i < to && !fillable(i)) ++i;
  return std::max(i, from);
}

int FieldScan::freeSpace(int pos) const {
  const DbcsType type = field.type;
  int used = 0;
  bool inRun = false;
  bool runSeen = false;
  for (int i = 0; i < field.length; ++i) {
    const WCHAR c = at(i);
    if (c == 0 || c == DBCSEditBuffer::space) continue;
    if (c == DBCSEditBuffer::ideographicSpace && only) {
      ++i;
    } else if (c == shiftOut) {
      inRun = true;
      if (type == DbcsOnly && i == 0) {
        used += 1;
        runSeen = true;
      }
    } else if (c == shiftIn && type != DbcsPure) {
      inRun = false;
      if (runSeen) used += 1;
      runSeen = false;
    } else if (doubleByte(c)) {
      used = i + 2;
      if (fullWidth(c)) ++i;
      if (type != DbcsPure) runSeen = true;
    } else {
      used = i + 1;
    }
  }
  if (type != DbcsPure && inRun) used += 1;
  return field.length - std::max(used, pos);
}

void FieldScan::touched(int pos) {
  modesKnown = std::min(modesKnown, pos);
  bytesKnown = std::min(bytesKnown, pos);
  clean = std::min(clean, std::max(pos, 1));
}

void FieldScan::closedUp(int pos, int n, int end) {
  const int low = std::min(pos, std::max(end - n, 0));
  // Cells that leave the mode walk where it was (whole characters, no mark that changes the
  // mode) let the walk's later results move left with the cells instead of being walked again.
  const auto p = static_cast<std::size_t>(pos);
  const auto k = static_cast<std::size_t>(n);
  if (low == pos && !modes.empty() && modesKnown >= pos + n && modes[p] != passedOver &&
      modes[p + k] == modes[p] && !(only && pos == 0)) {
    const int top = std::min(modesKnown, end) - n;
    std::copy(modes.begin() + static_cast<std::ptrdiff_t>(pos + n), modes.begin() + top + n + 1,
              modes.begin() + pos);
    modesKnown = top;
  } else {
    modesKnown = std::min(modesKnown, low);
  }
  bytesKnown = std::min(bytesKnown, low);
  clean = std::min(clean, std::max(low, 1));
}

}  // namespace velmora
