#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "tests/dbcs/field_notation.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using kwuni::test::cells;
using kwuni::test::field;
using kwuni::test::notation;
using velmora::DBCSEditBuffer;
using velmora::DbcsType;
using enum velmora::DbcsType;

constexpr short japanese = 930;  // mixed: 漢 字 語 are double-byte and full width, A-Z and a-z single-byte
constexpr short unicode = 13488;
constexpr WCHAR SO = DBCSEditBuffer::shiftOut;
constexpr WCHAR SI = DBCSEditBuffer::shiftIn;

using EditBuffer = kwuni::test::BuildTables<>;

// ---- The model ---------------------------------------------------------------------------------

struct LoadCase {
  DbcsType type;
  const char* source;
  const char* loaded;
};

TEST_F(EditBuffer, LoadRepairsTheShiftStructure) {
  const LoadCase cases[] = {
      {DbcsOnly, "··········", "«········»"},
      {DbcsOpen, "··········", "··········"},
      {DbcsEither, "··········", "··········"},
      {DbcsPure, "··········", "··········"},
      {DbcsNone, "··········", "··········"},
      // Two full-width characters: the SO comes first, the SI from the null after them.
      {DbcsOpen, "漢 字 ··", "«漢 字 »"},
      {DbcsOpen, "漢 字 ·", "«漢 字 "},  // the run reaches the last cell without its SI
      {DbcsOnly, "漢 字 ·", "«漢 字»"},  // the SI is forced over the second half
      {DbcsOpen, "a«漢 b·", "a«漢 »b"},  // an SI before the single-byte b
      {DbcsOnly, "ab漢 字 ··", "«b«漢 字 »"},  // cell 0 forced to SO over the a
      {DbcsPure, "«漢 »··", "漢 ····"},  // no marks at all
      {DbcsOpen, "«»ab", "«»ab"},
      {DbcsOpen, "a»b«", "ab··"},  // an SI outside a run, a dangling SO
      {DbcsOpen, "««漢 »", "«漢 »·"},  // an SO inside a run
      {DbcsEither, "«漢 »a··»", "«漢 »a··»"},  // the a closes the run; the SI of cell 3 is dropped first
      {DbcsOpen, "a漢", "a·"},  // no room for the character after its SO
      {DbcsOpen, "漢 字 »", "«漢  »"},  // the last source cell is an SI: the run still ends
      {DbcsOpen, "«漢 ", "«漢 "},
  };
  for (const auto& c : cases) {
    const auto source = cells(c.source);
    DBCSEditBuffer buffer(japanese, c.type, source.data(), 0, static_cast<int>(source.size()));
    EXPECT_EQ(notation(buffer), c.loaded) << c.source << " as kind " << c.type;
    EXPECT_EQ(buffer.getLength(), static_cast<int>(source.size()));
  }
}

TEST_F(EditBuffer, LoadReadsFlaggedCellsAsEmptyAndCopiesSkippedCells) {
  const std::vector<DWORD> source = {0x80000000u | u'A', 0x40000000u | u'B', 0x00100000u | SO, u'C',
                                     0x00100000u | 0x6F22, u'D', 0x12340000u};
  DBCSEditBuffer buffer(japanese, DbcsOpen, source.data(), 0, static_cast<int>(source.size()));
  EXPECT_EQ(notation(buffer), "··«C漢D·");
  EXPECT_EQ(buffer.getDataLength(), 6);
  std::vector<DWORD> saved(7);
  buffer.save(saved.data(), 0, 7);
  EXPECT_EQ(saved[0], 0x80000000u) << "the cell is kept, its character read as 0";
  EXPECT_EQ(saved[2], 0x00100000u | SO) << "a skipped cell is copied whole";
  EXPECT_EQ(saved[6], 0x12340000u) << "cells after the data carry the last source cell's bits";
}

TEST_F(EditBuffer, LoadFromAnOffsetCarriesTheLastCellsBits) {
  const std::vector<DWORD> source = {u'x', 0x00AB0000u | u'a', 0x00CD0000u};
  DBCSEditBuffer buffer(japanese, DbcsNone, source.data(), 1, 2);
  std::vector<DWORD> saved(3, 0xFFFFFFFFu);
  buffer.save(saved.data(), 1, 5);  // writes only the two cells of the field
  EXPECT_EQ(saved, (std::vector<DWORD>{0xFFFFFFFFu, 0x00AB0000u | u'a', 0x00CD0000u}));
}

TEST_F(EditBuffer, BadLoadsThrowAndLeaveTheBufferEmpty) {
  const auto source = cells("ab");
  DBCSEditBuffer buffer(japanese, DbcsOpen, source.data(), 0, 2);
  EXPECT_THROW(buffer.load(source.data(), 0, -1), std::length_error);
  EXPECT_EQ(buffer.getLength(), 0);
  EXPECT_THROW(DBCSEditBuffer(japanese, DbcsOpen, nullptr, 0, 3), std::invalid_argument);
  EXPECT_NO_THROW(buffer.load(nullptr, 0, 0));
}

TEST_F(EditBuffer, AnEmptyBufferAndOutOfRangePositions) {
  DBCSEditBuffer buffer(japanese, DbcsOpen);
  EXPECT_EQ(buffer.getLength(), 0);
  EXPECT_EQ(buffer.getDataLength(), 0);
  EXPECT_EQ(buffer.getChar(0), 0);
  buffer.setChar(0, u'a');  // ignored
  EXPECT_EQ(buffer.insert(0, u'a'), -1);
  EXPECT_EQ(buffer.overwrite(0, u'a'), -1);
  EXPECT_EQ(buffer.remove(0, true), -1);
  EXPECT_EQ(buffer.getFreeSpace(0), 0);
  buffer.normalize();
  buffer.save(nullptr, 0, 5);  // nothing to write
}

TEST_F(EditBuffer, SetCharKeepsTheCallersBitsAndTracksTheNullFlag) {
  const std::vector<DWORD> source = {0x80AB0000u | u'a', 0x00CD0000u | u'b'};
  DBCSEditBuffer buffer(japanese, DbcsNone, source.data(), 0, 2);
  buffer.setChar(0, u'z');
  buffer.setChar(1, 0);
  std::vector<DWORD> saved(2);
  buffer.save(saved.data(), 0, 2);
  EXPECT_EQ(saved[0], 0x00AB0000u | u'z') << "stale flag cleared";
  EXPECT_EQ(saved[1], 0x40CD0000u) << "null flag set";
  EXPECT_EQ(buffer[0], static_cast<unsigned long>(u'z'));
  buffer.setChar(1, u'y');
  buffer.save(saved.data(), 0, 2);
  EXPECT_EQ(saved[1], 0x00CD0000u | u'y');
}

TEST_F(EditBuffer, DataLengthCountsMarksAndSpaces) {
  EXPECT_EQ(field(japanese, DbcsOpen, "a«漢 »···").getDataLength(), 5);
  EXPECT_EQ(field(japanese, DbcsOpen, " ····").getDataLength(), 1);
  EXPECT_EQ(field(japanese, DbcsOpen, "·····").getDataLength(), 0);
  EXPECT_TRUE(field(japanese, DbcsPure, "··").isDbcsOnly());
  EXPECT_FALSE(field(japanese, DbcsEither, "··").isDbcsOnly());
}

struct ModeCase {
  short ccsid;
  DbcsType type;
  const char* cells;
  int pos;
  bool inside;
  int resolved;
};

TEST_F(EditBuffer, DbcsModeMovesOntoCharacterBoundaries) {
  const ModeCase cases[] = {
      {japanese, DbcsOnly, "«······»", 4, true, 3},  // even cells are second cells
      {japanese, DbcsOnly, "«······»", 3, true, 3},
      {japanese, DbcsOnly, "«······»", 0, false, 0},
      {japanese, DbcsOpen, "a«漢 »", 3, true, 4},  // the second cell: on to the next character
      {japanese, DbcsOpen, "a«漢 »", 5, false, 5},
      {japanese, DbcsOpen, "a«漢 »", 2, true, 2},
      {japanese, DbcsOpen, "a«漢 »", 1, false, 1},
      {japanese, DbcsPure, "······", 0, true, 0},
      {japanese, DbcsPure, "漢 ····", 2, true, 2},  // back to 1, then past the second cell
      {japanese, DbcsPure, "······", 2, true, 1},
      {japanese, DbcsOnly, "a·····", 1, true, 1},  // the first character of a DbcsOnly field opens the run
      {unicode, DbcsOnly, "«a·····»", 2, true, 2},  // no parity rule for a Unicode CCSID
      {unicode, DbcsOpen, "«a漢 »", 3, true, 4},
  };
  for (const auto& c : cases) {
    const auto buffer = field(c.ccsid, c.type, c.cells);
    int pos = c.pos;
    EXPECT_EQ(buffer.getDbcsMode(pos), c.inside) << c.cells << " at " << c.pos;
    EXPECT_EQ(pos, c.resolved) << c.cells << " at " << c.pos;
  }
}

TEST_F(EditBuffer, DbcsModePassesOverSkippedCells) {
  const std::vector<DWORD> source = {DBCSEditBuffer::skipFlag | SO, u'a', u'b'};
  const DBCSEditBuffer buffer(japanese, DbcsOpen, source.data(), 0, 3);
  EXPECT_EQ(notation(buffer), "«ab");
  int pos = 2;
  EXPECT_FALSE(buffer.getDbcsMode(pos)) << "the skipped SO opens no run";
}

// ---- Editing -----------------------------------------------------------------------------------

enum class Op { insert, overwrite, removeShift, removeBlank, freeSpace, normalize };

struct EditCase {
  short ccsid;
  DbcsType type;
  const char* before;
  Op op;
  int pos;
  char16_t ch;
  int result;
  const char* after;
};

const char* opName(Op op) {
  switch (op) {
    case Op::insert: return "insert";
    case Op::overwrite: return "overwrite";
    case Op::removeShift: return "remove(shift)";
    case Op::removeBlank: return "remove(blank)";
    case Op::freeSpace: return "getFreeSpace";
    case Op::normalize: return "normalize";
  }
  return "?";
}

int apply(DBCSEditBuffer& buffer, const EditCase& c) {
  switch (c.op) {
    case Op::insert: return buffer.insert(c.pos, c.ch);
    case Op::overwrite: return buffer.overwrite(c.pos, c.ch);
    case Op::removeShift: return buffer.remove(c.pos, true);
    case Op::removeBlank: return buffer.remove(c.pos, false);
    case Op::freeSpace: return buffer.getFreeSpace(c.pos);
    case Op::normalize: buffer.normalize(); return 0;
  }
  return -2;
}

void check(const EditCase& c) {
  auto buffer = field(c.ccsid, c.type, c.before);
  const int result = apply(buffer, c);
  EXPECT_EQ(result, c.result) << opName(c.op) << " at " << c.pos << " in " << c.before;
  EXPECT_EQ(notation(buffer), c.after) << opName(c.op) << " at " << c.pos << " in " << c.before;
}

constexpr char16_t X = u'漢';
constexpr char16_t Y = u'字';

TEST_F(EditBuffer, Insert) {
  const EditCase cases[] = {
      {japanese, DbcsOpen, "··········", Op::insert, 0, u'a', 0, "a·········"},
      {japanese, DbcsOpen, "a·········", Op::insert, 1, X, 2, "a«漢 »·····"},
      {japanese, DbcsOpen, "a«漢 »·····", Op::freeSpace, 0, 0, 5, "a«漢 »·····"},
      {japanese, DbcsOpen, "a·········", Op::insert, 0, u'b', 0, "ba········"},
      // A run of two full-width characters with two cells to spare.
      {japanese, DbcsOpen, "ab«漢 字 »cd··", Op::insert, 3, u'e', -1, "ab«漢 字 »cd··"},  // SI, e, SO: 3 cells
      {japanese, DbcsOpen, "ab«漢 字 »cd··", Op::insert, 7, X, 7, "ab«漢 字 漢 »cd"},  // at the SI: into the run
      {japanese, DbcsOpen, "ab«漢 字 »cd··", Op::insert, 8, X, -1, "ab«漢 字 »cd··"},  // SO, X, SI: 4 cells
      {japanese, DbcsOpen, "ab«漢 字 »cd···", Op::insert, 3, u'e', 4, "ab«»e«漢 字 »cd"},  // splits the run
      {japanese, DbcsOpen, "ab«漢 字 »cd··", Op::insert, 2, X, 3, "ab«漢 漢 字 »cd"},  // after the SO
      {japanese, DbcsOpen, "ab«漢 字 »cd··", Op::insert, 4, X, -1, "ab«漢 字 »cd··"},  // a second cell
      {japanese, DbcsOpen, "a·····", Op::insert, 3, u'b', 3, "a  b··"},  // spaces fill the gap
      {japanese, DbcsOpen, "«漢 »····", Op::insert, 6, u'b', 6, "«漢 »  b·"},
      {japanese, DbcsOpen, "a·«»", Op::insert, 0, u'b', 0, "ba··"},  // an empty run at the end gives way
      {japanese, DbcsEither, "········", Op::insert, 0, X, 1, "«漢 ····»"},
      {japanese, DbcsEither, "ab······", Op::insert, 0, X, -1, "ab······"},
      {japanese, DbcsEither, "ab······", Op::insert, 5, X, -1, "ab   ···"},  // the fill stays
      {japanese, DbcsEither, "«漢 ····»", Op::insert, 3, u'a', -1, "«漢 ····»"},
      {japanese, DbcsEither, "········", Op::insert, 0, u'a', 0, "a·······"},
      {japanese, DbcsOnly, "«······»", Op::insert, 1, X, 1, "«漢 ····»"},
      {japanese, DbcsOnly, "«漢 ····»", Op::insert, 4, Y, 3, "«漢 字 ··»"},
      {japanese, DbcsOnly, "«漢 ····»", Op::insert, 1, Y, 1, "«字 漢 ··»"},
      {japanese, DbcsOnly, "«漢 ····»", Op::insert, 3, u'a', -1, "«漢 ····»"},
      {japanese, DbcsOnly, "«漢 字 漢 »", Op::insert, 1, Y, -1, "«漢 字 漢 »"},  // full
      {japanese, DbcsOnly, "«漢 ····»", Op::insert, 5, Y, 5, "«漢 　 字 »"},  // a double-byte blank fills the gap
      {japanese, DbcsPure, "········", Op::insert, 1, X, 2, "　 漢 ····"},
      {japanese, DbcsPure, "漢 ······", Op::insert, 4, Y, 4, "漢 　 字 ··"},
      {japanese, DbcsPure, "········", Op::insert, 0, u'a', -1, "········"},
      {japanese, DbcsNone, "········", Op::insert, 0, X, -1, "········"},
      {japanese, DbcsNone, "ab······", Op::insert, 1, u'c', 1, "acb·····"},
      {japanese, DbcsOpen, "abcd", Op::insert, 0, u'e', -1, "abcd"},  // no room
      {japanese, DbcsOpen, "abc·", Op::insert, 4, u'e', -1, "abc·"},  // past the end
      {japanese, DbcsOpen, "abc·", Op::insert, -1, u'e', -1, "abc·"},
      // Shift-out: opens an empty run, or changes nothing inside one.
      {japanese, DbcsOpen, "ab····", Op::insert, 1, SO, 1, "a«»b··"},
      {japanese, DbcsOpen, "a«漢 »··", Op::insert, 2, SO, 2, "a«漢 »··"},
      {japanese, DbcsOpen, "a«漢 »··", Op::insert, 1, SO, 1, "a«漢 »··"},
      {japanese, DbcsEither, "······", Op::insert, 0, SO, 0, "«····»"},
      {japanese, DbcsNone, "······", Op::insert, 0, SO, -1, "······"},
      {japanese, DbcsOpen, "abc·", Op::insert, 0, SO, -1, "abc·"},
      // Shift-in at an SI is found there; a single-byte character goes after it.
      {japanese, DbcsOpen, "«漢 »··", Op::insert, 3, SI, 3, "«漢 »··"},
      {japanese, DbcsOpen, "«漢 »··", Op::insert, 3, u'a', 4, "«漢 »a·"},
  };
  for (const auto& c : cases) check(c);
}

TEST_F(EditBuffer, Overwrite) {
  const EditCase cases[] = {
      {japanese, DbcsOpen, "abcdef", Op::overwrite, 1, X, 2, "a«漢 »f"},  // four cells
      {japanese, DbcsOpen, "ab«字 »·", Op::overwrite, 0, X, 1, "«漢 字 »·"},  // joins the run
      {japanese, DbcsOpen, "ab«字 »··", Op::overwrite, 1, X, 2, "a«漢 » ··"},
      // The SI written after the character would empty the cells of the run's next character.
      {japanese, DbcsOpen, "ab«字 漢 »", Op::overwrite, 1, X, -1, "ab«字 漢 »"},
      {japanese, DbcsOpen, "«漢 »···", Op::overwrite, 3, Y, 3, "«漢 字 »·"},  // extends the run
      {japanese, DbcsOpen, "«漢 »«字 »", Op::overwrite, 3, Y, 3, "«漢 字 字 »"},  // and joins the next
      {japanese, DbcsOpen, "«漢 字 »ab", Op::overwrite, 3, X, 3, "«漢 漢 »ab"},
      {japanese, DbcsOpen, "«漢 字 »ab", Op::overwrite, 1, u'c', 2, "«»c «»ab"},  // SI, c, space, SO
      {japanese, DbcsOpen, "«漢 »ab", Op::overwrite, 0, X, 1, "«漢 »ab"},  // after the SO
      {japanese, DbcsOpen, "a«漢 字 »b", Op::overwrite, 1, u'c', 1, "ac «字 »b"},  // the SO moves
      {japanese, DbcsOpen, "a«漢 »b", Op::overwrite, 1, u'c', 1, "ac «»b"},
      {japanese, DbcsOpen, "«漢 »ab", Op::overwrite, 3, u'c', 4, "«漢 »cb"},  // after the SI
      {japanese, DbcsOpen, "abc", Op::overwrite, 1, u'z', 1, "azc"},
      {japanese, DbcsOpen, "ab··", Op::overwrite, 3, u'z', 3, "ab z"},
      {japanese, DbcsOpen, "abc", Op::overwrite, 1, X, -1, "abc"},  // four cells needed
      {japanese, DbcsOpen, "«漢 »", Op::overwrite, 1, u'a', 2, "«»a "},  // no room left for the SO
      {japanese, DbcsOnly, "«漢 字 »", Op::overwrite, 3, X, 3, "«漢 漢 »"},
      {japanese, DbcsOnly, "«漢 字 »", Op::overwrite, 1, u'a', -1, "«漢 字 »"},
      {japanese, DbcsOnly, "«····»", Op::overwrite, 3, X, 3, "«　 漢 »"},
      {japanese, DbcsEither, "······", Op::overwrite, 0, X, 1, "«漢 ··»"},
      {japanese, DbcsEither, "ab····", Op::overwrite, 3, X, -1, "ab ···"},
      {japanese, DbcsEither, "«漢 ··»", Op::overwrite, 3, u'a', -1, "«漢 ··»"},
      {japanese, DbcsPure, "漢 字 ", Op::overwrite, 2, X, 2, "漢 漢 "},
      {japanese, DbcsPure, "漢 字 ", Op::overwrite, 1, X, -1, "漢 字 "},  // a second cell
      {japanese, DbcsNone, "abc", Op::overwrite, 0, X, -1, "abc"},
      {japanese, DbcsNone, "abc", Op::overwrite, 3, u'a', -1, "abc"},
  };
  for (const auto& c : cases) check(c);
}

TEST_F(EditBuffer, Remove) {
  const EditCase cases[] = {
      {japanese, DbcsOpen, "a«漢 »b··", Op::removeShift, 2, 0, 2, "a«»b····"},  // the run stays, empty
      {japanese, DbcsOpen, "a«»b····", Op::removeShift, 1, 0, 1, "ab······"},  // then goes with its SO
      {japanese, DbcsOpen, "a«漢 »b··", Op::removeShift, 1, 0, -1, "a«漢 »b··"},  // the run holds a character
      {japanese, DbcsOpen, "«漢 »«字 »", Op::removeShift, 3, 0, 3, "«漢 字 »··"},  // two runs join
      {japanese, DbcsOpen, "«漢 »ab", Op::removeShift, 3, 0, -1, "«漢 »ab"},
      {japanese, DbcsOpen, "a«漢 »b··", Op::removeShift, 3, 0, -1, "a«漢 »b··"},  // a second cell
      {japanese, DbcsOpen, "abc", Op::removeShift, 0, 0, 0, "bc·"},
      {japanese, DbcsOpen, "abc", Op::removeShift, 3, 0, -1, "abc"},
      {japanese, DbcsOpen, "«漢 字 ", Op::removeShift, 3, 0, 3, "«漢 »·"},  // the open run is closed
      {japanese, DbcsOnly, "«漢 字 »", Op::removeShift, 0, 0, -1, "«漢 字 »"},
      {japanese, DbcsOnly, "«漢 字 »", Op::removeShift, 5, 0, -1, "«漢 字 »"},
      {japanese, DbcsOnly, "«漢 字 »", Op::removeShift, 2, 0, -1, "«漢 字 »"},
      {japanese, DbcsOnly, "«漢 字 »", Op::removeShift, 1, 0, 1, "«字 ··»"},
      {japanese, DbcsEither, "«漢 ··»", Op::removeShift, 1, 0, 1, "«····»"},
      {japanese, DbcsEither, "«····»", Op::removeShift, 0, 0, 0, "······"},  // the whole field empties
      {japanese, DbcsEither, "«漢 ··»", Op::removeShift, 0, 0, -1, "«漢 ··»"},
      {japanese, DbcsEither, "«漢 ··»", Op::removeShift, 5, 0, -1, "«漢 ··»"},
      {japanese, DbcsOpen, "a«漢 »b", Op::removeBlank, 2, 0, 2, "a«　 »b"},
      {japanese, DbcsOpen, "a«漢 »b", Op::removeBlank, 5, 0, 5, "a«漢 » "},
  };
  for (const auto& c : cases) check(c);
}

TEST_F(EditBuffer, RemoveWithoutShiftWritesWholeCells) {
  const std::vector<DWORD> source = {0x00AB0000u | SO, 0x00AB0000u | X, 0x00AB0000u | u' ', 0x00AB0000u | SI,
                                     0x00CD0000u | u'b'};
  DBCSEditBuffer buffer(japanese, DbcsOpen, source.data(), 0, 5);
  ASSERT_EQ(buffer.remove(1, false), 1);
  ASSERT_EQ(buffer.remove(4, false), 4);
  std::vector<DWORD> saved(5);
  buffer.save(saved.data(), 0, 5);
  EXPECT_EQ(saved, (std::vector<DWORD>{0x00AB0000u | SO, 0x3000, 0x0020, 0x00AB0000u | SI, 0x0020}));
}

TEST_F(EditBuffer, RemoveWithShiftFillsTheEndWithTheRemovedCellsBits) {
  const std::vector<DWORD> source = {u'a', 0x00AB0000u | u'b', u'c'};
  DBCSEditBuffer buffer(japanese, DbcsNone, source.data(), 0, 3);
  ASSERT_EQ(buffer.remove(1, true), 1);
  std::vector<DWORD> saved(3);
  buffer.save(saved.data(), 0, 3);
  EXPECT_EQ(saved, (std::vector<DWORD>{u'a', u'c', 0x00AB0000u}));
}

TEST_F(EditBuffer, FreeSpace) {
  const EditCase cases[] = {
      {japanese, DbcsOpen, "··········", Op::freeSpace, 0, 0, 10, "··········"},
      {japanese, DbcsOpen, "··········", Op::freeSpace, 4, 0, 6, "··········"},
      {japanese, DbcsOpen, "ab«漢 »····", Op::freeSpace, 0, 0, 4, "ab«漢 »····"},
      {japanese, DbcsOpen, "ab«漢 ", Op::freeSpace, 0, 0, -1, "ab«漢 "},  // the run still needs its SI
      {japanese, DbcsOpen, "a«»······", Op::freeSpace, 0, 0, 8, "a«»······"},  // an empty run counts nothing
      {japanese, DbcsOnly, "«······»", Op::freeSpace, 1, 0, 6, "«······»"},
      {japanese, DbcsOnly, "«漢 　 ··»", Op::freeSpace, 1, 0, 4, "«漢 　 ··»"},  // blanks are free
      {japanese, DbcsPure, "漢 ······", Op::freeSpace, 0, 0, 6, "漢 ······"},
  };
  for (const auto& c : cases) check(c);
}

TEST_F(EditBuffer, Normalize) {
  const EditCase cases[] = {
      {japanese, DbcsOpen, "a·b", Op::normalize, 0, 0, 0, "a b"},
      {japanese, DbcsOpen, "a··", Op::normalize, 0, 0, 0, "a··"},
      {japanese, DbcsOpen, "a«»b", Op::normalize, 0, 0, 0, "a«»b"},
      {japanese, DbcsOpen, "«漢 ··字 »", Op::normalize, 0, 0, 0, "«漢 　 字 »"},
      {japanese, DbcsOnly, "«  漢 »", Op::normalize, 0, 0, 0, "«　 漢 »"},
      {japanese, DbcsNone, "a«漢 »b", Op::normalize, 0, 0, 0, "ab····"},
      {japanese, DbcsEither, "a«漢 »··", Op::normalize, 0, 0, 0, "·······"},
      {japanese, DbcsEither, "«漢 a··»", Op::normalize, 0, 0, 0, "«漢 ···»"},
      {japanese, DbcsPure, "«漢 »字 ", Op::normalize, 0, 0, 0, "漢 字 ··"},
      {japanese, DbcsOpen, "a»b«c", Op::normalize, 0, 0, 0, "ab«»·"},  // the run of c is closed, then c goes
  };
  for (const auto& c : cases) check(c);
}

// Fields that send the steps round in circles: each gets an answer.
TEST_F(EditBuffer, CircularCasesEnd) {
  const EditCase cases[] = {
      // The empty second cell of a full-width character gets its space; it is not filled with a
      // blank of its own (which would be asked to start on the cell after it, again and again).
      {unicode, DbcsOpen, "«　······", Op::insert, 4, X, 5, "«　 　 漢 »"},
      {japanese, DbcsOpen, "«漢······", Op::insert, 4, Y, 5, "«漢 　 字 »"},
      {japanese, DbcsOpen, "«漢······", Op::overwrite, 4, Y, 5, "«漢 　 字 »"},
      // After the SO the search starts again one cell on, which the DbcsPure parity rule moves
      // straight back onto the SO.
      {japanese, DbcsPure, "a«····", Op::insert, 1, X, -1, "a«····"},
      {japanese, DbcsPure, "a«····", Op::overwrite, 1, X, -1, "a«····"},
      // Nothing closes up over the last cell of a DbcsOnly field: the removal is refused and
      // normalize moves on.
      {japanese, DbcsOnly, "«漢 字 «", Op::normalize, 0, 0, 0, "«漢 字 «"},
  };
  for (const auto& c : cases) check(c);
}

// Where the steps would lose a character already in the field or the one typed, the edit is
// refused and the field left as it was, blank fills included.
TEST_F(EditBuffer, EditsThatWouldLoseTextAreRefused) {
  const EditCase cases[] = {
      // The blank filled before the position takes the cell the character was to go in.
      {unicode, DbcsOnly, "«Ａ 　 ··»", Op::insert, 6, u'A', -1, "«Ａ 　 ··»"},
      {unicode, DbcsOnly, "«　 　 ··»", Op::insert, 7, u'é', -1, "«　 　 ··»"},
      // A full-width character cut by the field's end or its SI takes only its own cell along.
      {unicode, DbcsPure, "　 　 あ €　", Op::removeShift, 7, 0, 7, "　 　 あ €·"},
      {japanese, DbcsOnly, "«漢 字 漢»", Op::removeShift, 5, 0, 5, "«漢 字 ·»"},
      // A blank of normalize that would take the next cell of a run from its character.
      {unicode, DbcsOpen, "«·A»", Op::normalize, 0, 0, 0, "«·A»"},
  };
  for (const auto& c : cases) check(c);
}

// Unicode fields: every character is double-byte, and the half-width ones take one cell.
TEST_F(EditBuffer, UnicodeFields) {
  const EditCase cases[] = {
      {unicode, DbcsOpen, "······", Op::insert, 0, u'a', 1, "«a»···"},
      {unicode, DbcsOpen, "«a»···", Op::insert, 2, u'b', 2, "«ab»··"},
      {unicode, DbcsOpen, "«a»···", Op::insert, 2, X, 2, "«a漢 »·"},
      {unicode, DbcsOpen, "«ab»··", Op::overwrite, 1, u'c', 1, "«cb»··"},
      {unicode, DbcsOpen, "«ab»··", Op::overwrite, 3, u'c', -1, "«ab»··"},  // 5 host bytes before it
      {unicode, DbcsOpen, "«ab»····", Op::overwrite, 3, u'c', 3, "«abc »··"},  // a space after it
      {unicode, DbcsNone, "······", Op::insert, 0, u'a', -1, "······"},
      {unicode, DbcsPure, "······", Op::insert, 2, u'a', 2, "　 a···"},
      {unicode, DbcsOpen, "«ab»··", Op::removeShift, 1, 0, 1, "«b»···"},
  };
  for (const auto& c : cases) check(c);
}

}  // namespace
