// DBCS field editing: which characters take two bytes on the host, which take two display
// cells, how many host bytes a string needs, and the edit buffer that holds a host input field
// to the rules of its kind while the user types into it. The values 0xFFFF and 0xFFFE are the
// edit buffer's shift marks and always count as single-byte, half-width.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

#include <vector>

// True for the Unicode CCSIDs 1200 and 13488.
KWUNI_API bool KW_IsUnicodeCodePage(int ccsid);

// True when the character has a two-byte host code in the CCSID; in a Unicode CCSID every
// character but the shift marks does. A CCSID whose table is missing or damaged answers false.
KWUNI_API bool KW_IsDBCSChar(int ccsid, WCHAR ch);

// True when the character is double-byte and drawn in two cells. Every double-byte host
// character is; in a Unicode CCSID the Latin, Greek, Cyrillic, Thai and half-width forms are not.
KWUNI_API bool KW_IsFullWidthChar(int ccsid, WCHAR ch);

// Host bytes of the terminated, precomposed string: two per double-byte character, one per
// other character except CR and LF, which take none; with countShifts, also one shift-out and
// one shift-in per double-byte run (never in a Unicode CCSID). 0 for null or empty text.
KWUNI_API int KW_DBCSLen(int ccsid, const WCHAR* text, bool countShifts);

// ---- Edit buffer -------------------------------------------------------------------------------

namespace velmora {

// The kind of a host input field: where double-byte text may stand in it.
enum DbcsType : int {
  DbcsOnly = 0x00,    // SO in cell 0, SI in the last cell, double-byte characters and blanks between
  DbcsPure = 0x20,    // double-byte characters only, no shift marks: the whole field is one run
  DbcsEither = 0x40,  // either all double-byte (SO in cell 0, SI in the last cell) or all single-byte
  DbcsOpen = 0x80,    // single-byte text with double-byte runs in it, every run between SO and SI
  DbcsNone = 0xFF,    // single-byte characters only, no shift marks
};

// One host input field while the user edits it, one cell per byte of the field on the host: a
// full-width character takes its own cell and the next one, which holds a space (0x0020), and
// the shift-out and shift-in bytes that bracket a double-byte run take a cell each.
//
// A cell is 32 bits:
//   bits 0-15   the character (one UTF-16 unit), or 0 for an empty cell
//   bit 20      skip: load copies the cell without reading it and getDbcsMode passes over it
//   bit 30      null: set exactly when the character is 0 (by setChar)
//   bit 31      stale: cleared by setChar; load reads a cell with bit 30 or 31 set as empty
//   other bits  the caller's (display attributes, say), carried along unchanged
// In the character bits 0xFFFF is shift-out (SO) and 0xFFFE shift-in (SI); they are marks of the
// buffer, not the host bytes 0x0E and 0x0F. U+3000 is the double-byte blank.
//
// Whether a character is double-byte, and whether it takes two cells, is KW_IsDBCSChar and
// KW_IsFullWidthChar under the field's CCSID. In an EBCDIC CCSID every double-byte character
// takes two cells. In the Unicode CCSIDs 1200 and 13488 every character but the marks counts as
// double-byte (the empty character and the space included), and the ones drawn half-width (Latin,
// Greek, Cyrillic, Thai, the half-width forms) take a single cell. So load, meeting an empty cell
// outside a run, opens a run for it: an empty field of these CCSIDs is made by loading it and then
// clearing its cells with setChar.
//
// Editing results are positions: where the character went, which may lie right of the one asked
// for (after an SO found there, or after blanks written into the empty cells before it), or -1
// when the field refuses. A refusal may leave those blank fills in place and changes nothing
// else. Nothing is ever written outside the field. The editing calls throw nothing of their
// own; load throws for a negative count or missing source cells, save for missing target cells.
//
// An edit never misstates the text, that is the characters other than marks, empty cells and
// blanks (spaces, U+3000): an insert keeps every character and puts the typed one at the position
// it returns; a removal takes out its own character only (the SO of a DbcsEither field takes the
// whole field along); an overwrite replaces what stood in the cells it writes, its own, the SO or
// SI before them and the cell after them that a wider or narrower character's host bytes take.
// An edit whose steps would lose, duplicate, invent or reorder anything else is undone, blank
// fills included, and refused with -1; normalize moves on past such a removal or blank.
//
// The host rules keep a field in shape through ordinary typing. A few edits, done as the rules
// say, can leave it out of step, and normalize tidies it afterwards: overwriting with SO or SI
// (written wherever asked), inserting SI, removing a mark or an empty cell without shift, a
// single-byte character put over or before the SO of a DbcsEither field, a double-byte one put
// over the cell just before a run's SO, inserts whose room check misses an empty SO, SI pair or
// cuts the last full-width character of a field at its end or its SI, and, in the Unicode
// CCSIDs, edits where one-cell characters or spaces meet two-cell blanks and runs.
//
// Layouts chosen where the host rules leave a choice:
//  - Inserting an SO opens an empty run: outside a run of a DbcsOpen field it writes SO, SI and
//    returns the SO's position; at cell 0 of an empty DbcsEither field (or a DbcsOnly field that
//    lost its SO) it writes SO there and SI in the last cell. Inside a run it changes nothing and
//    returns the position. An SO anywhere else in a field with fixed marks is refused.
//  - A double-byte character that takes one cell (Unicode CCSIDs) is inserted into exactly the
//    cells made for it: its run's SI, when one is written, goes in the very next cell. Overwrite
//    follows the same rule when it replaces a character inside a run; when it opens or extends
//    a run with such a character it writes a space after it, which in these CCSIDs is itself a
//    double-byte character of the run.
//  - An empty cell that is the second cell of a full-width character, met while blanks are
//    written before an insertion or an overwrite, gets its space directly instead of a blank of
//    its own (which would be asked to start on that same cell again and again). Any other chain
//    of nested fills deeper than a few levels is refused with -1.
//  - A search that the rules restart one cell further on (after an SO or SI found at the
//    position) and that does not move right any more is refused with -1.
//  - Overwriting inside a run with an SO, like any character but SI, needs a cell after the SI
//    written before it; in the run's last cell it is refused.
//  - normalize moves on from a cell whose removal leaves every character as it was (an SI that
//    the removal puts straight back to close the run before it, or a cell past the SI that stays
//    in the last cell, over which nothing closes up).
//
// Use an object from one thread at a time; it takes no lock.
class KWUNI_API DBCSEditBuffer {
 public:
  static constexpr WCHAR shiftOut = 0xFFFF;
  static constexpr WCHAR shiftIn = 0xFFFE;
  static constexpr WCHAR space = 0x0020;
  static constexpr WCHAR ideographicSpace = 0x3000;
  static constexpr DWORD skipFlag = 0x00100000;
  static constexpr DWORD nullFlag = 0x40000000;
  static constexpr DWORD staleFlag = 0x80000000;

  // An empty buffer (length 0) for the CCSID and field kind.
  DBCSEditBuffer(short ccsid, DbcsType type);

  // The same, then load(cells, start, count).
  DBCSEditBuffer(short ccsid, DbcsType type, const DWORD* cells, int start, int count);

  // Replaces the contents with count cells read from src[start] on, repairing the shift
  // structure for the field kind: an SO is written before a double-byte character found outside
  // a run, an SI before a single-byte character (or an empty cell, except in a run that spans the
  // field) found inside one, and marks that the kind does not allow where they stand are dropped.
  // The second source cell of a full-width character is not read: it becomes a space. Data that
  // no longer fits is cut; the cells after the data are empty and carry the upper bits of the
  // last source cell read. A DbcsOnly field, and a DbcsEither field whose data begins with SO,
  // then gets SO in cell 0 and SI in the last cell. A negative count throws std::length_error
  // and leaves the buffer empty; a null src with a positive count throws std::invalid_argument.
  void load(const DWORD* src, int start, int count);

  // Copies min(count, length) cells, whole, to dst[start] on.
  void save(DWORD* dst, int start, int count) const;

  // Removes every cell: the length becomes 0.
  void clear();

  // The character of a cell, zero-extended (not the whole cell). Positions outside the field
  // read as 0, and setChar ignores them.
  unsigned long operator[](int pos) const;
  WCHAR getChar(int pos) const;

  // Sets the character bits, keeps bits 16-29, clears the stale flag and sets the null flag
  // exactly when ch is 0.
  void setChar(int pos, WCHAR ch);

  // Cells up to and including the last one whose character is not 0.
  int getDataLength() const;

  int getLength() const { return length; }
  short getCcsid() const { return ccsid; }
  DbcsType getType() const { return type; }

  // True for DbcsOnly and DbcsPure.
  bool isDbcsOnly() const;

  // Whether a character typed at pos falls inside a double-byte run. Moves pos onto a character
  // boundary: forward from the second cell of a full-width character, and, in a DbcsOnly or
  // DbcsPure field of an EBCDIC CCSID, back from an even position (characters there start on odd
  // cells, after the SO).
  bool getDbcsMode(int& pos) const;

  // Puts ch at pos pushing the rest of the field right, after filling the empty cells before
  // pos with blanks (U+3000 inside a run, a space outside). Returns the position of ch or -1:
  // a position outside the field or on the second cell of a character, a character the field
  // kind does not take there, or too little free space.
  int insert(int pos, WCHAR ch);

  // Puts ch in place of the character at pos (after the same blank fill), opening, extending,
  // splitting or joining runs as the character needs. Returns its position or -1, as insert.
  int overwrite(int pos, WCHAR ch);

  // Removes the character at pos (both cells of a full-width one; an empty run together with its
  // SO; an SI together with the SO that follows it, joining two runs). With shift the rest of
  // the field closes up (the fixed SI of a DbcsOnly or DbcsEither field stays) and empty cells
  // enter at its end; without, the character becomes a blank. Then, if the data now ends inside
  // a run, an SI follows it. Returns pos, or -1 for a position outside the field or on the
  // second cell of a character, and for a mark the field kind must keep.
  int remove(int pos, bool shift);

  // Cells an insertion at pos may use: the length minus the used extent (counting the SIs the
  // runs need), or minus pos when that is further right. Negative when the contents overflow.
  int getFreeSpace(int pos) const;

  // Enforces the field kind on the contents: misplaced marks and characters are removed (the
  // field closing up over them), an empty cell with data after it becomes a blank, and in a
  // DbcsOnly or DbcsPure field of an EBCDIC CCSID two spaces in a row become one U+3000.
  void normalize();

 private:
  friend class FieldScan;  // the walks the operations share, dbcs/field_scan.h
  friend class FieldEdit;  // the editing operations, dbcs/edit_buffer_editing.cpp

  short ccsid;
  DbcsType type;
  int length;
  std::vector<DWORD> cells;
};

}  // namespace velmora
