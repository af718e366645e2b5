// Random edits of fields of every kind, checking after each one that the field still keeps the
// host rules of its kind.

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "tests/dbcs/field_notation.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kwuni::test::notation;
using velmora::DBCSEditBuffer;
using velmora::DbcsType;
using enum velmora::DbcsType;

constexpr WCHAR SO = DBCSEditBuffer::shiftOut;
constexpr WCHAR SI = DBCSEditBuffer::shiftIn;

enum class Op { insert, overwrite, removeShift, removeBlank, normalize };

struct Edit {
  Op op;
  int pos;
  WCHAR ch;
};

std::string describe(const Edit& e) {
  static const char* names[] = {"insert", "overwrite", "remove(shift)", "remove(blank)", "normalize"};
  std::ostringstream out;
  out << names[static_cast<int>(e.op)] << "(" << e.pos;
  if (e.op == Op::insert || e.op == Op::overwrite) {
    out << ", U+" << std::hex << std::uppercase << static_cast<unsigned>(e.ch);
  }
  return out.str() + ")";
}

int apply(DBCSEditBuffer& f, const Edit& e) {
  switch (e.op) {
    case Op::insert: return f.insert(e.pos, e.ch);
    case Op::overwrite: return f.overwrite(e.pos, e.ch);
    case Op::removeShift: return f.remove(e.pos, true);
    case Op::removeBlank: return f.remove(e.pos, false);
    case Op::normalize: f.normalize(); return 0;
  }
  return -2;
}

std::vector<WCHAR> characters(const DBCSEditBuffer& f) {
  std::vector<WCHAR> out;
  for (int i = 0; i < f.getLength(); ++i) out.push_back(f.getChar(i));
  return out;
}

constexpr const char* cutCharacter = "a full-width character without its second cell";

// What is wrong with the field for its kind, or "".
std::string brokenRule(const DBCSEditBuffer& f) {
  const int n = f.getLength();
  const DbcsType type = f.getType();
  const bool first = n > 0 && f.getChar(0) == SO;
  bool inRun = type == DbcsPure;
  for (int i = 0; i < n; ++i) {
    const WCHAR c = f.getChar(i);
    if (c == SO || c == SI) {
      if (type == DbcsPure || type == DbcsNone) return "a shift mark in a field without marks";
      if (type == DbcsOnly || (type == DbcsEither && first)) {
        if ((c == SO && i != 0) || (c == SI && i != n - 1)) return "a shift mark away from its fixed cell";
      }
      if (type == DbcsEither && !first) return "a shift mark in a single-byte either field";
      if ((c == SO) == inRun) return c == SO ? "a nested SO" : "an SI outside a run";
      inRun = c == SO;
      continue;
    }
    if (c == 0 || c == u' ') continue;  // empty cells and the second cells of full-width characters
    const bool doubleByte = KW_IsDBCSChar(f.getCcsid(), c);
    if (doubleByte && !inRun) return "a double-byte character outside a run";
    if (!doubleByte && inRun) return "a single-byte character inside a run";
    if (doubleByte && KW_IsFullWidthChar(f.getCcsid(), c)) {
      const WCHAR second = f.getChar(i + 1);
      if (i + 1 >= n || second == SO || second == SI) return cutCharacter;
      ++i;
    }
  }
  if (type == DbcsOnly && (n < 2 || f.getChar(0) != SO || f.getChar(n - 1) != SI)) return "the fixed marks moved";
  if (type == DbcsEither && first && f.getChar(n - 1) != SI) return "the fixed SI moved";
  if (inRun && type != DbcsPure) return "a run without its SI";
  return "";
}

std::string roundTrip(const DBCSEditBuffer& f) {
  std::vector<DWORD> saved(static_cast<std::size_t>(f.getLength()));
  f.save(saved.data(), 0, f.getLength());
  const DBCSEditBuffer again(f.getCcsid(), f.getType(), saved.data(), 0, f.getLength());
  return characters(again) == characters(f) ? "" : "save and load gave " + notation(again);
}

// A refused edit may fill empty cells with blanks and change nothing else.
std::string refusalDamage(const std::vector<WCHAR>& before, const DBCSEditBuffer& f) {
  for (int i = 0; i < f.getLength(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (before[k] != 0 && f.getChar(i) != before[k]) return "a refusal changed cell " + std::to_string(i);
  }
  return "";
}

// ---- The text: what the user reads, without marks, empty cells and blanks ----------------------

bool isText(WCHAR c) { return c != 0 && c != u' ' && c != 0x3000 && c != SO && c != SI; }

std::u16string text(const DBCSEditBuffer& f) {
  std::u16string out;
  for (const WCHAR c : characters(f)) {
    if (isText(c)) out += c;
  }
  return out;
}

// Text characters in the cells before pos.
std::size_t textBefore(const DBCSEditBuffer& f, int pos) {
  std::size_t n = 0;
  for (int i = 0; i < pos; ++i) {
    if (isText(f.getChar(i))) ++n;
  }
  return n;
}

// Whether `shorter` is `longer` with at most `most` characters taken out at index `at`.
bool cutAt(const std::u16string& longer, const std::u16string& shorter, std::size_t at, std::size_t most) {
  if (shorter.size() > longer.size() || longer.size() - shorter.size() > most || at > shorter.size()) return false;
  const std::size_t lost = longer.size() - shorter.size();
  return longer.compare(0, at, shorter, 0, at) == 0 && longer.compare(at + lost, std::u16string::npos, shorter, at) == 0;
}

bool cutSomewhere(const std::u16string& longer, const std::u16string& shorter, std::size_t most) {
  for (std::size_t at = 0; at <= shorter.size(); ++at) {
    if (cutAt(longer, shorter, at, most)) return true;
  }
  return false;
}

bool subsequence(const std::u16string& of, const std::u16string& part) {
  std::size_t k = 0;
  for (const char16_t c : of) {
    if (k < part.size() && part[k] == c) ++k;
  }
  return k == part.size();
}

// An overwrite replaces what the cells it writes held: SO or SI, the character, its second cell
// and the cell after (the host bytes of a narrower or wider character): at most four characters.
constexpr std::size_t overwriteReplacesAtMost = 4;

// How the edit misrepresented the text, or "": a character lost, duplicated, invented or moved,
// or the typed one not at the position returned.
std::string textDamage(const std::u16string& before, WCHAR removed, const DBCSEditBuffer& f, const Edit& e,
                       int result) {
  std::u16string after = text(f);
  if (result < 0) return after == before ? "" : "a refusal changed the text";
  if (e.op == Op::normalize) return subsequence(before, after) ? "" : "normalize invented or moved text";
  if (e.op == Op::removeShift || e.op == Op::removeBlank) {
    if (removed == SO && f.getType() == DbcsEither && after.empty()) return "";  // the SO takes the field along
    const bool ok = isText(removed) ? cutSomewhere(before, after, 1) && after.size() + 1 == before.size()
                                    : after == before;
    return ok ? "" : "the removal changed other text";
  }
  const bool typed = isText(e.ch);
  std::size_t at = 0;
  if (typed) {
    if (f.getChar(result) != e.ch) return "the typed character is not at the position returned";
    at = textBefore(f, result);
    after.erase(at, 1);
  }
  const std::size_t most = e.op == Op::insert ? 0 : overwriteReplacesAtMost;
  const bool ok = typed ? cutAt(before, after, at, most) : cutSomewhere(before, after, most);
  return ok ? "" : "the edit lost, invented or moved text";
}

bool holdsEmptyRun(const DBCSEditBuffer& f) {
  for (int i = 0; i + 1 < f.getLength(); ++i) {
    if (f.getChar(i) == SO && f.getChar(i + 1) == SI) return true;
  }
  return false;
}

// A space standing as a character of its own inside a run (not the second cell of a full-width
// character): in a Unicode CCSID a space is a one-cell double-byte character.
bool spaceInRun(const DBCSEditBuffer& f) {
  bool inRun = f.getType() == DbcsPure;
  for (int i = 0; i < f.getLength(); ++i) {
    const WCHAR c = f.getChar(i);
    if (c == SO || c == SI) {
      inRun = c == SO;
    } else if (c == u' ' && inRun) {
      return true;
    } else if (KW_IsFullWidthChar(f.getCcsid(), c)) {
      ++i;
    }
  }
  return false;
}

bool emptyCellBefore(const DBCSEditBuffer& f, int pos) {
  for (int i = 0; i < pos && i < f.getLength(); ++i) {
    if (f.getChar(i) == 0) return true;
  }
  return false;
}

// Edits whose result, the host rules followed step by step, may break the rules of the field
// kind while keeping its text: their text is checked like every other edit's, and the field is
// then put back, so that later edits start from a field in shape. (Edits that would lose or
// invent text are refused by the buffer and need no exception here.)
bool corner(const DBCSEditBuffer& f, const Edit& e) {
  const short ccsid = f.getCcsid();
  const DbcsType type = f.getType();
  const WCHAR at = f.getChar(e.pos);
  const WCHAR next = f.getChar(e.pos + 1);
  const bool insert = e.op == Op::insert;
  const bool overwrite = e.op == Op::overwrite;
  const bool typed = insert || overwrite;
  const bool unicode = KW_IsUnicodeCodePage(ccsid);
  const bool doubleByte = KW_IsDBCSChar(ccsid, e.ch);
  int pos = e.pos;
  const bool inRun = e.pos >= 0 && e.pos < f.getLength() && f.getDbcsMode(pos);
  const WCHAR replaced = at == SO ? next : at;  // an overwrite asked at an SO goes after it

  // Overwrite writes SO or SI wherever it is asked to, in any kind of field.
  if (overwrite && (e.ch == SO || e.ch == SI)) return true;
  // An inserted SI is written as SI, SI, SO inside a run and stands alone outside one.
  if (insert && e.ch == SI) return true;
  // Removing a mark without shift blanks it and leaves its partner.
  if (e.op == Op::removeBlank && (at == SO || at == SI)) return true;
  // Removing an empty cell without shift blanks it: text may then start past cell 0, or a run hold a gap.
  if (e.op == Op::removeBlank && at == 0) return true;
  // Removing a one-cell character of a run (Unicode) without shift writes a two-cell U+3000 over the next cell.
  if (e.op == Op::removeBlank && inRun && !KW_IsFullWidthChar(ccsid, at)) return true;
  // A single-byte character over the SO of a DbcsEither field moves the SO right, as in a DbcsOpen field.
  if (overwrite && type == DbcsEither && at == SO && !doubleByte) return true;
  // A single-byte character inserted at cell 0 of a double-byte DbcsEither field goes before its SO.
  if (insert && type == DbcsEither && e.pos == 0 && at == SO && !doubleByte) return true;
  // A double-byte character over the cell before a run's SO leaves the rest of that run without an SO.
  if (overwrite && doubleByte && next == SO && at != SO && at != SI) return true;
  // The room check of an insert counts nothing for an empty SO, SI pair, which the move then splits.
  if (insert && holdsEmptyRun(f)) return true;
  // A full-width character over a one-cell one (Unicode CCSIDs) takes the next cell too, whatever it holds.
  if (overwrite && KW_IsFullWidthChar(ccsid, e.ch) && replaced != 0 && replaced != SO && replaced != SI &&
      !KW_IsFullWidthChar(ccsid, replaced)) {
    return true;
  }
  // The room check of an insert counts spaces as free, so spaces inside a run (Unicode) let it push the SI out.
  if (insert && unicode && spaceInRun(f)) return true;
  // Spaces are double-byte in a Unicode CCSID: blank fills before the position open runs the edit does not see.
  if (typed && unicode && type != DbcsPure && emptyCellBefore(f, e.pos)) return true;
  return false;
}

// The room checks count cells, not whole characters: an insert or overwrite may cut the last
// full-width character of the field by the field's end or by the SI after it.
bool cutAtTheEnd(const Edit& e, const std::string& broken) {
  return (e.op == Op::insert || e.op == Op::overwrite) && broken == cutCharacter;
}

// In a Unicode CCSID the empty character is double-byte too, so load opens a run for an empty
// cell found outside one: such fields do not come back from save and load unchanged.
bool emptyCellOutsideRun(const DBCSEditBuffer& f) {
  if (!KW_IsUnicodeCodePage(f.getCcsid())) return false;
  bool inRun = f.getType() == DbcsPure;
  for (int i = 0; i < f.getLength(); ++i) {
    const WCHAR c = f.getChar(i);
    if (c == SO || c == SI) {
      inRun = c == SO;
    } else if (!inRun) {
      return true;
    }
  }
  return false;
}

// An empty field of the kind: loaded from empty cells, then, where load opened a run for them
// (Unicode CCSIDs), emptied again.
DBCSEditBuffer emptyField(short ccsid, DbcsType type, int length) {
  const std::vector<DWORD> empty(static_cast<std::size_t>(length), 0);
  DBCSEditBuffer f(ccsid, type, empty.data(), 0, length);
  if (type != DbcsOnly) {
    for (int i = 0; i < length; ++i) f.setChar(i, 0);
  }
  return f;
}

using RandomEdits = kwuni::test::BuildTables<::testing::TestWithParam<std::tuple<short, DbcsType>>>;

TEST_P(RandomEdits, KeepTheFieldConsistent) {
  const auto [ccsid, type] = GetParam();
  std::mt19937 random(20240607u + static_cast<unsigned>(ccsid) * 7u + static_cast<unsigned>(type));
  // Single-byte, full-width double-byte, the blanks, the marks; for 13488 also one-cell
  // double-byte characters (there every character is double-byte).
  const std::vector<WCHAR> pool = {u'A', u'b', u'7', u' ', u'漢', u'字', 0x3000, SO, SI, 0x0104, 0xFF76};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

  constexpr int fields = 60;
  constexpr int editsPerField = 80;
  int checked = 0;
  for (int round = 0; round < fields; ++round) {
    const int length = 2 + pick(30);
    DBCSEditBuffer f = emptyField(ccsid, type, length);
    for (int k = 0; k < editsPerField; ++k) {
      const WCHAR ch = pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
      const Edit edit{static_cast<Op>(pick(5)), pick(length + 2) - 1, ch};
      const bool unusual = corner(f, edit);
      const DBCSEditBuffer before = f;
      const std::u16string textWas = text(f);
      const WCHAR removed = edit.pos >= 0 && edit.pos < length ? f.getChar(edit.pos) : 0;
      const int result = apply(f, edit);
      const std::string context = "CCSID " + std::to_string(ccsid) + " kind " + std::to_string(type) + ": " +
                                  notation(before) + " " + describe(edit) + " = " + std::to_string(result) +
                                  " -> " + notation(f);
      ASSERT_EQ(f.getLength(), length) << context;
      ASSERT_TRUE(result == -1 || (result >= 0 && result < length)) << context;
      if (result == -1) {
        ASSERT_EQ(refusalDamage(characters(before), f), "") << context;
      }
      ASSERT_EQ(textDamage(textWas, removed, f, edit, result), "") << context;
      ++checked;
      const std::string broken = brokenRule(f);
      if (unusual || cutAtTheEnd(edit, broken)) {
        f = before;
        continue;
      }
      ASSERT_EQ(broken, "") << context;
      if (!emptyCellOutsideRun(f)) {
        ASSERT_EQ(roundTrip(f), "") << context;
      }
    }
  }
  EXPECT_GT(checked, fields * editsPerField / 4);
}

// Fields of arbitrary contents, marks anywhere, halves of characters, flags set: every edit ends
// with an answer, stays in the field and keeps its length.
TEST_P(RandomEdits, ArbitraryContentsGetAnAnswer) {
  const auto [ccsid, type] = GetParam();
  std::mt19937 random(99u + static_cast<unsigned>(ccsid) + static_cast<unsigned>(type));
  const std::vector<WCHAR> pool = {0, 0, u' ', u'A', u'漢', 0x3000, SO, SO, SI, SI, 0x0104};
  const std::vector<DWORD> flags = {0, 0, 0, DBCSEditBuffer::skipFlag, DBCSEditBuffer::nullFlag,
                                    DBCSEditBuffer::staleFlag, 0x00050000u};
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  for (int round = 0; round < 400; ++round) {
    const int length = static_cast<int>(pick(24));
    std::vector<DWORD> cells(static_cast<std::size_t>(length));
    for (auto& cell : cells) cell = pool[pick(pool.size())] | flags[pick(flags.size())];
    DBCSEditBuffer f(ccsid, type, cells.data(), 0, length);
    for (std::size_t i = 0; i < cells.size(); ++i) f.setChar(static_cast<int>(i), static_cast<WCHAR>(cells[i]));
    for (int k = 0; k < 12; ++k) {
      const Edit edit{static_cast<Op>(pick(5)), static_cast<int>(pick(static_cast<std::size_t>(length) + 3)) - 1,
                      pool[pick(pool.size())]};
      const int result = apply(f, edit);
      ASSERT_EQ(f.getLength(), length);
      ASSERT_TRUE(result >= -1 && result < std::max(length, 1)) << describe(edit) << " = " << result;
      int pos = static_cast<int>(pick(static_cast<std::size_t>(length) + 2)) - 1;
      f.getDbcsMode(pos);
      f.getFreeSpace(pos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RandomEdits,
                         ::testing::Combine(::testing::Values(short{930}, short{13488}),
                                            ::testing::Values(DbcsOnly, DbcsPure, DbcsEither, DbcsOpen, DbcsNone)));

}  // namespace
