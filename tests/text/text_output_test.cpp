// Text output and measurement in every script-string family: line splitting at line ends and
// word breaks, block alignment, selections snapped to characters and highlighted across lines,
// checked by geometry and by the pixels drawn.

#include <kwuni/text.h>

#include "platform/gdi.h"
#include "tests/platform/image_support.h"
#include "tests/text/families.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using kwuni::test::count;
using kwuni::test::Family;

constexpr UINT calc = DT_CALCRECT | DT_NOPREFIX;

class TextOutput : public ::testing::TestWithParam<Family> {
 protected:
  void SetUp() override {
    sys::GetTextMetricsW(dc.get(), &metrics);
    lineHeight = extent(u"Ag").cy;
  }

  SIZE extent(const std::u16string& text, DWORD flags = 0) {
    SIZE size{-1, -1};
    EXPECT_EQ(KW_GetTextExtentPoint(dc.get(), text.c_str(), static_cast<int>(text.size()), &size, flags), 1);
    return size;
  }
  // The block the text takes in a rectangle of the given width, and what KW_DrawText answered.
  std::pair<RECT, int> block(const std::u16string& text, int width, UINT format = 0) {
    RECT rect{10, 20, 10 + width, 220};
    const int result = KW_DrawText(dc.get(), text.c_str(), -1, &rect, format | calc, 0, 0);
    return {rect, result};
  }
  int lines(int height) const { return (height + metrics.tmExternalLeading) / (lineHeight + metrics.tmExternalLeading); }
  // Highlighted pixels in a column range of one line of a block drawn at the top left.
  int highlighted(int left, int right, int line) {
    const int top = line * (lineHeight + metrics.tmExternalLeading);
    return count(dc.get(), RECT{left, top + 2, right, top + lineHeight - 2}, sys::GetSysColor(COLOR_HIGHLIGHT));
  }

  kwuni::test::FamilyScope family{GetParam()};
  kwuni::test::ImageContext dc = kwuni::test::image(400, 120, 20);
  TEXTMETRICW metrics{};
  int lineHeight = 0;
};

TEST_P(TextOutput, NothingToLayOut) {
  RECT rect{10, 20, 200, 100};
  EXPECT_EQ(KW_DrawText(dc.get(), nullptr, -1, &rect, DT_CALCRECT, 0, 0), 0);
  EXPECT_EQ(rect.right, 10);
  EXPECT_EQ(rect.bottom, 20);
  rect = RECT{10, 20, 200, 100};
  EXPECT_EQ(KW_DrawText(dc.get(), u"", -1, &rect, 0, 0, 0), 0);
  EXPECT_EQ(rect.right, 200);  // untouched without DT_CALCRECT
  EXPECT_EQ(KW_DrawText(dc.get(), u"text", 0, &rect, 0, 0, 0), 0);
  EXPECT_EQ(KW_TextOut(dc.get(), 0, 0, u"text", 0, 0, 0), 0);
  EXPECT_EQ(KW_TextOut(dc.get(), 0, 0, nullptr, 4, 0, 0), 0);
  EXPECT_EQ(count(dc.get(), RECT{0, 0, 400, 120}), 0);

  SIZE size{5, 5};
  EXPECT_EQ(KW_GetTextExtentPoint(dc.get(), u"text", 0, &size, 0), 1);
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 0);
  EXPECT_EQ(KW_GetTextExtentPoint(dc.get(), u"text", -1, &size, 0), 1);  // one NUL character
  EXPECT_EQ(size.cy, lineHeight);
  EXPECT_EQ(KW_GetTextExtentPoint(dc.get(), u"x", 1, nullptr, 0), 0);
}

TEST_P(TextOutput, HotKeysMeasureWithoutTheirAmpersand) {
  EXPECT_EQ(extent(u"&File", SSA_HOTKEY).cx, extent(u"File").cx);
  EXPECT_GT(extent(u"&File").cx, extent(u"File").cx);
}

// Line ends: CR, LF, CR LF and LF CR each end one line; an empty line has a height, and so has
// the empty line after a final line end.
TEST_P(TextOutput, LineEndsSplitLines) {
  struct Case { std::u16string text; int lines; };
  const Case cases[] = {
      {u"ab", 1},          {u"ab\r\ncd", 2},     {u"ab\n\rcd", 2},   {u"ab\ncd", 2},
      {u"ab\rcd", 2},      {u"ab\n\ncd", 3},     {u"ab\r\rcd", 3},   {u"ab\r\n\r\ncd", 3},
      {u"\nab", 2},        {u"ab\n", 2},         {u"\r\n\r\n", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const auto [rect, height] = block(c.text, 300);
    EXPECT_EQ(height, rect.bottom - rect.top);
    EXPECT_EQ(height, c.lines * lineHeight + (c.lines - 1) * metrics.tmExternalLeading);
  }
  EXPECT_EQ(block(u"ab\r\ncd\nef", 300, DT_SINGLELINE).second, lineHeight);
}

// Lines break after whole words where the line break procedure says; the block is as wide as the
// widest line.
TEST_P(TextOutput, WrapsAtTheLineBreaks) {
  const std::u16string text = u"alpha beta gamma";
  const int width = extent(u"alpha beta").cx + 3;
  const auto [rect, height] = block(text, width);
  EXPECT_EQ(lines(height), 2);
  EXPECT_GE(rect.right - rect.left, extent(u"alpha beta").cx);  // the first line's space may overhang
  EXPECT_LE(rect.right - rect.left, extent(u"alpha beta ").cx);

  void* none = nullptr;
  const int first = KW_LineBreakProc(none, text.c_str(), 0, static_cast<int>(text.size()), dc.get(), width, 0);
  EXPECT_EQ(first, 11);  // "alpha beta " | "gamma"
  EXPECT_EQ(lines(block(text, 10000).second), 1);
  EXPECT_EQ(lines(block(u"a a a a", extent(u"a").cx + 1).second), 4);  // one word a line
  // Where not even one character fits, the line takes the rest of the text.
  EXPECT_EQ(lines(block(u"a a a a", 1).second), 1);
}

TEST_P(TextOutput, AlignsTheBlockInTheRectangle) {
  const std::u16string text = u"centre";
  const int w = extent(text).cx;
  const auto [left, hl] = block(text, 300);
  EXPECT_EQ(left.left, 10);
  EXPECT_EQ(left.right, 10 + w);
  EXPECT_EQ(hl, lineHeight);
  const auto [right, hr] = block(text, 300, DT_RIGHT);
  EXPECT_EQ(right.right, 310);
  EXPECT_EQ(right.left, 310 - w);
  const auto [centre, hc] = block(text, 300, DT_CENTER);
  EXPECT_EQ(centre.left, 300 / 2 - w / 2 + 10);
  // Vertical placement answers the text's offset in the rectangle it was given.
  const auto [bottom, hb] = block(text, 300, DT_BOTTOM | DT_SINGLELINE);
  EXPECT_EQ(bottom.bottom - bottom.top, lineHeight);
  EXPECT_EQ(bottom.bottom, 220);
  EXPECT_EQ(hb, 0);  // the rectangle now is the block
  RECT rect{0, 0, 300, 100};
  EXPECT_EQ(KW_DrawText(dc.get(), text.c_str(), -1, &rect, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, 0, 0),
            50 - lineHeight / 2);
  EXPECT_EQ(KW_DrawText(dc.get(), text.c_str(), -1, &rect, DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX, 0, 0),
            100 - lineHeight);
}

// What is drawn stays inside the block DT_CALCRECT gives, for every alignment.
TEST_P(TextOutput, InkStaysInsideTheBlock) {
  const std::u16string text = u"Kanji 漢字 and عربي\nsecond line";
  for (const UINT align : {DT_LEFT, DT_CENTER, DT_RIGHT}) {
    kwuni::test::ImageContext page = kwuni::test::image(400, 120, 20);
    RECT box{0, 0, 400, 120};
    KW_DrawText(page.get(), text.c_str(), -1, &box, align | calc, 0, 0);
    RECT draw{0, 0, 400, 120};
    KW_DrawText(page.get(), text.c_str(), -1, &draw, align | DT_NOPREFIX, 0, 0);
    const int all = count(page.get(), RECT{0, 0, 400, 120});
    EXPECT_GT(all, 100) << align;
    EXPECT_EQ(count(page.get(), RECT{box.left - 1, box.top, box.right + 2, box.bottom + 1}), all) << align;
  }
}

// Selections come in either order, snap to character boundaries and cover what they select.
TEST_P(TextOutput, SelectionsHighlightWhatTheySelect) {
  const std::u16string text = u"He\u0301llo world";  // e and a combining acute: one character
  RECT rect{0, 0, 400, 120};
  ASSERT_GT(KW_DrawText(dc.get(), text.c_str(), -1, &rect, DT_NOPREFIX, 6, 2), 0);
  const int before = extent(u"H").cx;
  const int from = extent(u"He\u0301").cx;
  const int to = extent(u"He\u0301llo").cx;
  EXPECT_EQ(highlighted(1, before - 1, 0), 0);
  EXPECT_GT(highlighted(before + 1, from - 1, 0), 0);  // the start, on the accent, snapped back to the é
  EXPECT_GT(highlighted(from + 1, to - 1, 0), 0);
  EXPECT_EQ(highlighted(to + 1, to + 20, 0), 0);

  kwuni::test::ImageContext page = kwuni::test::image(400, 120, 20);
  const int end = extent(u"Hel").cx;
  EXPECT_EQ(KW_TextOut(page.get(), 0, 0, u"Hello", 5, 3, 1), 1);
  EXPECT_GT(count(page.get(), RECT{before + 1, 2, end - 1, lineHeight - 2}, sys::GetSysColor(COLOR_HIGHLIGHT)), 0);
  EXPECT_EQ(count(page.get(), RECT{end + 1, 2, end + 30, lineHeight - 2}, sys::GetSysColor(COLOR_HIGHLIGHT)), 0);
}

// The tail of the first line and the head of the second. Measuring a character at a time, the
// highlight takes the rectangle's full height, so there only columns tell the lines apart.
TEST_P(TextOutput, SelectionsSpanLines) {
  const std::u16string text = u"alpha beta";
  const int width = extent(u"alpha ").cx + 2;  // "alpha " | "beta"
  RECT rect{0, 0, width, 120};
  ASSERT_EQ(lines(KW_DrawText(dc.get(), text.c_str(), -1, &rect, DT_NOPREFIX, 3, 8)), 2);
  EXPECT_GT(highlighted(extent(u"alp").cx + 1, extent(u"alpha").cx - 1, 0), 0);
  EXPECT_GT(highlighted(1, extent(u"be").cx - 1, 1), 0);
  const int right = std::max(extent(u"alpha ").cx, extent(u"bet").cx);
  EXPECT_EQ(highlighted(right + 1, right + 20, 0) + highlighted(right + 1, right + 20, 1), 0);
  if (GetParam() == Family::passThrough) {
    EXPECT_EQ(highlighted(1, extent(u"alp").cx - 1, 0), 0);
    EXPECT_EQ(highlighted(extent(u"bet").cx + 1, extent(u"beta").cx + 10, 1), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, TextOutput, kwuni::test::allFamilies, kwuni::test::familyName);

}  // namespace
