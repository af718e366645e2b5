// Break procedures in every script-string family, with an analysis's attributes and without
// (character navigation and character types): tables of (text, position, action, expected), and
// line breaks checked against measured words.

#include <kwuni/text.h>

#include "tests/platform/image_support.h"
#include "tests/text/families.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using kwuni::test::Family;

constexpr int left = KW_BREAK_LEFT;
constexpr int right = KW_BREAK_RIGHT;
constexpr int at = KW_BREAK_AT;

class BreakProcedures : public ::testing::TestWithParam<Family> {
 protected:
  void TearDown() override {
    if (analysis != nullptr) KW_ScriptStringFree(&analysis);
  }

  // The handle a procedure gets: an analysis of the text, or none.
  void*& handleFor(const std::u16string& text, bool analysed) {
    if (analysis != nullptr) KW_ScriptStringFree(&analysis);
    none = nullptr;
    if (!analysed) return none;
    const int n = static_cast<int>(text.size());
    EXPECT_EQ(KW_ScriptStringAnalyse(dc.get(), text.c_str(), n, n * 3 / 2 + 1, -1,
                                     SSA_BREAK | SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, &analysis),
              S_OK);
    EXPECT_NE(KW_ScriptString_pLogAttr(analysis), nullptr);
    return analysis;
  }
  int width(const std::u16string& text) {
    SIZE size{};
    KW_GetTextExtentPoint(dc.get(), text.c_str(), static_cast<int>(text.size()), &size, 0);
    return size.cx;
  }

  kwuni::test::FamilyScope family{GetParam()};
  kwuni::test::ImageContext dc = kwuni::test::image(400, 60, 20);
  void* analysis = nullptr;
  void* none = nullptr;
};

struct Case {
  std::u16string text;
  int position;
  int action;
  int withAttributes;
  int withoutAttributes;
};

TEST_P(BreakProcedures, CharacterBoundaries) {
  const Case cases[] = {
      {u"ab cd", 0, right, 1, 1},
      {u"ab cd", 4, right, 5, 4},  // from the last character: the end, or back where it was
      {u"ab cd", 5, right, 5, 5},
      {u"ab cd", 3, left, 2, 2},
      {u"ab cd", 0, left, 0, 0},
      {u"ab cd", -1, left, -1, -1},
      {u"ab cd", 3, at, 3, 3},
      {u"ab cd", 2, 7, 2, 2},  // an unknown action
      {u"ab cd", -1, right, 0, -1},
      {u"ab cd", -9, right, 0, -9},
      {u"ab cd", 9, left, 9, 9},
      {u"ab cd", 5, at, 5, 5},
      {u"ab cd", -2, at, -2, -2},
      {u"e\u0301x", 0, right, 2, 2},
      {u"e\u0301x", 2, left, 0, 0},
      {u"e\u0301x", 1, at, 0, 1},  // on the accent: back to its base, or, without attributes, no move
      {u"\U0001F600a", 0, right, 2, 2},
      {u"\U0001F600a", 1, at, 0, 1},
      {u"\U0001F600a", 2, left, 0, 0},
  };
  for (const bool analysed : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << (analysed ? " analysed" : " plain"));
      void*& handle = handleFor(c.text, analysed);
      EXPECT_EQ(KW_CharBreakProc(handle, c.text.c_str(), c.position, static_cast<int>(c.text.size()), c.action),
                analysed ? c.withAttributes : c.withoutAttributes);
    }
  }
}

TEST_P(BreakProcedures, WordBoundaries) {
  const Case cases[] = {
      {u"ab cd", 0, right, 3, 3},
      {u"ab cd", 3, right, 3, 3},  // inside the last word: no move to the end
      {u"ab  cd ef", 0, right, 4, 4},
      {u"12.5 x", 0, right, 5, 5},  // a decimal number is one word
      {u"f(x) y", 0, right, 5, 5},  // and so is a call
      {u"ab\ncd", 0, right, 2, 3},  // a line end ends the word; without attributes it is a delimiter
      {u"ab\ncd", 2, right, 2, 2},
      {u"ab cd", 1, left, 0, 0},  // inside the first word
      {u"ab cd", 5, left, 3, 3},
      {u"ab  cd", 6, left, 4, 4},
      {u"ab cd", 3, left, 0, 0},
      {u"ab cd", 4, left, 0, 0},  // the white space before the word is skipped first
      {u"ab cd", 0, left, 0, 0},
      {u"ab cd", 2, 9, 2, 2},
      {u"ab cd", -3, right, -3, -3},
      {u"ab cd", 9, left, 9, 9},
      {u"ab cd", -3, left, -3, -3},
  };
  for (const bool analysed : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << (analysed ? " analysed" : " plain"));
      void*& handle = handleFor(c.text, analysed);
      EXPECT_EQ(KW_WordBreakProc(handle, c.text.c_str(), c.position, static_cast<int>(c.text.size()), c.action),
                analysed ? c.withAttributes : c.withoutAttributes);
    }
  }
}

TEST_P(BreakProcedures, DelimitersAndEmptyText) {
  struct Delimiter { std::u16string text; int position; bool delimiter; };
  const Delimiter cases[] = {{u" ", 0, true},     {u"a b", 0, false}, {u"a b", 1, true},
                             {u"a\tb", 1, true}, {u"ab", 2, false},  {u"ab", -1, false}};
  for (const bool analysed : {true, false}) {
    for (const Delimiter& c : cases) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << (analysed ? " analysed" : " plain"));
      void*& handle = handleFor(c.text, analysed);
      const int answer = KW_WordBreakProc(handle, c.text.c_str(), c.position, -1, at);
      EXPECT_EQ(answer != 0, c.delimiter);
      if (analysed) {
        EXPECT_EQ(answer, c.delimiter ? 1 : 0);
      }
    }
  }
  // No text: every procedure gives the position back.
  void* handle = nullptr;
  EXPECT_EQ(KW_CharBreakProc(handle, u"", 3, -1, right), 3);
  EXPECT_EQ(KW_WordBreakProc(handle, u"abc", 1, 0, right), 1);
  EXPECT_EQ(KW_LineBreakProc(handle, u"", 0, -1, dc.get(), 100, 0), 0);
  EXPECT_EQ(KW_EditLineBreakProc(handle, u"abc", 2, 0, dc.get(), 100, 0), 2);
  EXPECT_EQ(KW_CharBreakProc(handle, nullptr, 4, 3, right), 4);
}

// Line breaks: trailing spaces overhanging; at a line end; and, when no word fits, after the
// characters that fit (edit) or one before the last that fits (layout).
TEST_P(BreakProcedures, LineBreaks) {
  const std::u16string words = u"alpha     beta gamma";
  const std::u16string word = u"abcdefgh";
  struct LineCase {
    const std::u16string* text;
    int start;
    int width;
    int edit;
    int layout;
  };
  const LineCase cases[] = {
      {&words, 0, width(u"alpha") + 1, 10, 10},  // the spaces overhang
      {&word, 0, width(u"abcd") + width(u"e") / 2, 4, 3},
      {&word, 0, width(u"a") + 1, 1, 1},
      {&word, 0, 0, 1, 0},  // nothing fits: the edit line still takes one character
      {&word, 8, 100, 8, 8},
  };
  for (const bool analysed : {true, false}) {
    for (const LineCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << (analysed ? " analysed" : " plain"));
      const std::u16string& text = *c.text;
      void*& handle = handleFor(text, analysed);
      const int length = static_cast<int>(text.size());
      EXPECT_EQ(KW_EditLineBreakProc(handle, text.c_str(), c.start, length, dc.get(), c.width, 0), c.edit);
      EXPECT_EQ(KW_LineBreakProc(handle, text.c_str(), c.start, length, dc.get(), c.width, 0), c.layout);
    }
    // A text that starts with a line end. Without attributes a CR LF reads as a run of
    // delimiters that the word procedure steps over, so only a lone line end is seen there.
    for (const std::u16string text : {u"\nab", u"\r\nab"}) {
      if (!analysed && text[1] == u'\n') continue;
      void*& handle = handleFor(text, analysed);
      EXPECT_EQ(KW_EditLineBreakProc(handle, text.c_str(), 0, -1, dc.get(), 100, 0), 0);
      EXPECT_EQ(KW_LineBreakProc(handle, text.c_str(), 0, -1, dc.get(), 100, 0), 0);
    }
    const std::u16string pair = u"\U0001F600\U0001F600";  // one character is two units
    EXPECT_EQ(KW_EditLineBreakProc(handleFor(pair, analysed), pair.c_str(), 0, -1, dc.get(), 0, 0), 2);
    const std::u16string lines = u"ab cd\r\nef";
    void*& handle = handleFor(lines, analysed);
    EXPECT_EQ(KW_LineBreakProc(handle, lines.c_str(), 0, -1, dc.get(), 1000, 0), analysed ? 5 : 9);
    EXPECT_EQ(KW_EditLineBreakProc(handle, lines.c_str(), 7, -1, dc.get(), 1000, 0), 9);
    for (const int start : {-4, 12}) {
      EXPECT_EQ(KW_EditLineBreakProc(handle, lines.c_str(), start, -1, dc.get(), 1000, 0), start);
      EXPECT_EQ(KW_LineBreakProc(handle, lines.c_str(), start, -1, dc.get(), 1000, 0), start);
    }
  }
}

// Walking a paragraph line by line at widths no narrower than its widest word: every line moves
// on, ends after a word and its spaces, fits once those spaces are dropped, and is greedy (the
// next word would not have fitted).
TEST_P(BreakProcedures, LinesFitGreedily) {
  const std::u16string text = u"The quick brown fox  jumps over 12.5 lazy f(x) dogs";
  const int n = static_cast<int>(text.size());
  const auto trimmed = [&text](int from, int to) {
    while (to > from && text[static_cast<std::size_t>(to - 1)] == u' ') --to;
    return text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  };
  const auto wordEnd = [&](int from) {  // the end of the word at from, spaces after it included
    while (from < n && text[static_cast<std::size_t>(from)] != u' ') ++from;
    while (from < n && text[static_cast<std::size_t>(from)] == u' ') ++from;
    return from;
  };
  int widest = 0;
  for (int from = 0; from < n;) {
    const int to = wordEnd(from);
    widest = std::max(widest, width(trimmed(from, to)));
    from = to;
  }
  for (const bool analysed : {true, false}) {
    for (const int w : {widest, widest + width(u" fox"), width(u"The quick brown fox  ") + 3}) {
      for (const auto proc : {KW_LineBreakProc, KW_EditLineBreakProc}) {
        SCOPED_TRACE(testing::Message() << "width " << w << (analysed ? " analysed" : " plain")
                                        << (proc == KW_LineBreakProc ? " layout" : " edit"));
        void*& handle = handleFor(text, analysed);
        int lines = 0;
        for (int start = 0; start < n && lines < n; ++lines) {
          const int next = proc(handle, text.c_str(), start, n, dc.get(), w, 0);
          ASSERT_GT(next, start);
          ASSERT_LE(next, n);
          EXPECT_EQ(next, wordEnd(next == n ? n : next - 1));
          EXPECT_LE(width(trimmed(start, next)), w);
          if (next < n) {
            EXPECT_GT(width(trimmed(start, wordEnd(next))), w);
          }
          start = next;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, BreakProcedures, kwuni::test::allFamilies, kwuni::test::familyName);

}  // namespace
