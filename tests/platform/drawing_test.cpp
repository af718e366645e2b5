// The drawing services on Cairo and Pango: measuring, prefix handling, colours and clipping,
// character navigation, itemisation and break analysis, checked by geometry and by the Unicode
// break rules (ICU as the second opinion), with the fonts the tests pin.

#include "platform/device_context.h"
#include "platform/gdi.h"
#include "platform/uniscribe.h"
#include "tests/platform/image_support.h"

#include <gtest/gtest.h>
#include <unicode/ubrk.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using kwuni::test::count;
using kwuni::test::image;
using kwuni::test::ImageContext;
using kwuni::test::pixel;

int width(HDC dc, const std::u16string& text) {
  SIZE size{};
  EXPECT_TRUE(sys::GetTextExtentPointW(dc, text.data(), static_cast<int>(text.size()), &size));
  return size.cx;
}

TEST(Drawing, ContextsAndFontsRefuseBadSizes) {
  EXPECT_EQ(KW_CreateImageDC(0, 10), nullptr);
  EXPECT_EQ(KW_CreateImageDC(10, -1), nullptr);
  EXPECT_EQ(KW_CreateImageDC(40000, 10), nullptr);
  const ImageContext dc = image();
  EXPECT_FALSE(KW_SelectImageFont(dc.get(), "DejaVu Sans", 0));
  EXPECT_FALSE(KW_SelectImageFont(nullptr, "DejaVu Sans", 12));
  EXPECT_FALSE(KW_WriteImagePNG(dc.get(), "/nonexistent-directory/x.png"));
  KW_DeleteImageDC(nullptr);
}

TEST(Drawing, ExtentsGrowWithTheTextAndCountWhatFits) {
  const ImageContext dc = image();
  const std::u16string text = u"Wide words, narrow ones";
  std::vector<int> dx(text.size());
  int fit = -1;
  SIZE size{};
  ASSERT_TRUE(sys::GetTextExtentExPointW(dc.get(), text.data(), static_cast<int>(text.size()), 100, &fit, dx.data(),
                                         &size));
  for (std::size_t i = 1; i < dx.size(); ++i) EXPECT_GT(dx[i], dx[i - 1]) << i;
  EXPECT_EQ(dx.back(), size.cx);
  ASSERT_GT(fit, 0);
  EXPECT_LE(dx[static_cast<std::size_t>(fit) - 1], 100);
  EXPECT_GT(dx[static_cast<std::size_t>(fit)], 100);
  // The prefix measured alone is as wide as its advance.
  EXPECT_EQ(width(dc.get(), text.substr(0, 4)), dx[3]);

  TEXTMETRICW metrics{};
  ASSERT_TRUE(sys::GetTextMetricsW(dc.get(), &metrics));
  EXPECT_EQ(metrics.tmHeight, metrics.tmAscent + metrics.tmDescent);
  EXPECT_EQ(size.cy, metrics.tmHeight);
  EXPECT_GT(metrics.tmAveCharWidth, 0);
  EXPECT_GE(metrics.tmMaxCharWidth, metrics.tmAveCharWidth);
  EXPECT_FALSE(sys::GetTextExtentPointW(nullptr, text.data(), 1, &size));
  EXPECT_FALSE(sys::GetTextExtentPointW(dc.get(), text.data(), -1, &size));
}

// Complex scripts shape: marks take no room, ligatures and conjuncts are narrower than their
// parts, and every script finds a font that has its glyphs.
TEST(Drawing, ComplexScriptsShapeWithFontsThatHaveThem) {
  const ImageContext dc = image();
  struct Case { const char16_t* joined; const char16_t* first; const char16_t* second; };
  const Case narrower[] = {
      {u"\u0644\u0627", u"\u0644", u"\u0627"},          // Arabic lam-alef ligature
      {u"\u0915\u094D\u0937", u"\u0915\u094D", u"\u0937"},  // Devanagari conjunct ksha
  };
  for (const Case& c : narrower) {
    EXPECT_LT(width(dc.get(), c.joined), width(dc.get(), c.first) + width(dc.get(), c.second))
        << std::string(c.joined, c.joined + 1).size();
  }
  EXPECT_EQ(width(dc.get(), u"\u0E01\u0E35"), width(dc.get(), u"\u0E01"));  // Thai vowel above a consonant
  EXPECT_EQ(width(dc.get(), u"e\u0301"), width(dc.get(), u"e"));

  for (const char16_t* sample : {u"Latin Ελληνικά Кириллица", u"\u05E2\u05D1\u05E8\u05D9\u05EA \u0639\u0631\u0628\u064A",
                                 u"漢字かなカナ한글", u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22",
                                 u"\u0939\u093F\u0928\u094D\u0926\u0940"}) {
    const sys::LaidOutText laid(dc.get(), sample, {});
    EXPECT_EQ(pango_layout_get_unknown_glyphs_count(laid.layout()), 0) << laid.text().utf8();
  }
}

TEST(Drawing, RightToLeftTextLeadsOnTheRight) {
  const ImageContext dc = image();
  const std::u16string hebrew = u"\u05E9\u05DC\u05D5\u05DD";
  const sys::LaidOutText laid(dc.get(), hebrew, {});
  EXPECT_EQ(laid.edge(0, false), laid.width());
  EXPECT_EQ(laid.edge(3, true), 0);
  for (int i = 1; i < 4; ++i) EXPECT_LT(laid.edge(i, false), laid.edge(i - 1, false)) << i;
}

TEST(Drawing, PrefixesHideAmpersandsAndUnderline) {
  const ImageContext dc = image();
  RECT plain{0, 0, 0, 0}, prefixed{0, 0, 0, 0}, doubled{0, 0, 0, 0}, single{0, 0, 0, 0};
  const UINT calc = DT_SINGLELINE | DT_NOCLIP | DT_EXTERNALLEADING | DT_CALCRECT;
  sys::DrawTextW(dc.get(), u"File", 4, &plain, calc | DT_NOPREFIX);
  sys::DrawTextW(dc.get(), u"&File", 5, &prefixed, calc);
  sys::DrawTextW(dc.get(), u"a&&b", 4, &doubled, calc);
  sys::DrawTextW(dc.get(), u"a&b", 3, &single, calc | DT_NOPREFIX);
  EXPECT_EQ(prefixed.right, plain.right);
  EXPECT_EQ(doubled.right, single.right);
  TEXTMETRICW metrics{};
  sys::GetTextMetricsW(dc.get(), &metrics);
  EXPECT_EQ(plain.bottom, metrics.tmHeight + metrics.tmExternalLeading);

  // The underline of the hot key F lies below the baseline, under the F only.
  RECT box{10, 10, 200, 50};
  sys::DrawTextW(dc.get(), u"&File", 5, &box, DT_SINGLELINE | DT_NOCLIP | DT_EXTERNALLEADING);
  const int f = width(dc.get(), u"F");
  const int below = 10 + metrics.tmAscent + 1;
  EXPECT_GT(count(dc.get(), {10, below, 10 + f, 10 + metrics.tmHeight}), 0);
  EXPECT_EQ(count(dc.get(), {10 + f + 2, below, 10 + plain.right, 10 + metrics.tmHeight}), 0);
}

TEST(Drawing, ColoursBrushesAndClipping) {
  const ImageContext dc = image(100, 40);
  EXPECT_EQ(sys::SetTextColor(dc.get(), RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(sys::SetTextColor(dc.get(), RGB(0, 0, 0)), RGB(1, 2, 3));
  EXPECT_EQ(sys::SetBkColor(dc.get(), RGB(9, 9, 9)), RGB(255, 255, 255));
  EXPECT_EQ(sys::GetBkColor(dc.get()), RGB(9, 9, 9));
  EXPECT_NE(sys::GetSysColor(COLOR_HIGHLIGHT), sys::GetSysColor(COLOR_HIGHLIGHTTEXT));

  HRGN saved = sys::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(sys::GetClipRgn(dc.get(), saved), 0);  // no clipping yet
  const RECT clipBox{10, 10, 30, 30};
  HRGN clip = sys::CreateRectRgnIndirect(&clipBox);
  EXPECT_EQ(sys::SelectClipRgn(dc.get(), clip), SIMPLEREGION);
  EXPECT_EQ(sys::GetClipRgn(dc.get(), saved), 1);

  HBRUSH red = sys::CreateSolidBrush(RGB(255, 0, 0));
  const RECT all{0, 0, 100, 40};
  EXPECT_EQ(sys::FillRect(dc.get(), &all, red), 1);
  EXPECT_EQ(pixel(dc.get(), 15, 15), RGB(255, 0, 0));
  EXPECT_EQ(pixel(dc.get(), 5, 5), RGB(255, 255, 255));  // outside the clip
  EXPECT_EQ(sys::SelectClipRgn(dc.get(), nullptr), SIMPLEREGION);
  EXPECT_EQ(sys::GetClipRgn(dc.get(), saved), 0);
  EXPECT_EQ(sys::FillRect(dc.get(), &all, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)), 1);
  EXPECT_EQ(pixel(dc.get(), 5, 5), sys::GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(sys::FillRect(dc.get(), &all, clip), 0);  // a region is no brush
  for (HGDIOBJ object : {saved, clip, red}) EXPECT_TRUE(sys::DeleteObject(object));
  EXPECT_FALSE(sys::DeleteObject(nullptr));
}

// CharNextW and CharPrevW step over user-perceived characters.
TEST(Drawing, CharacterNavigationStepsOverClusters) {
  struct Case { std::u16string text; std::vector<int> stops; };
  const Case cases[] = {
      {u"abc", {0, 1, 2, 3}},
      {u"e\u0301x", {0, 2, 3}},               // base and combining mark
      {u"\U0001F600a", {0, 2, 3}},            // surrogate pair
      {u"\u1100\u1161\u11A8x", {0, 3, 4}},  // conjoining jamo syllable
      {u"\r\nx", {0, 2, 3}},
      {u"", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const LPCWSTR start = c.text.c_str();
    std::vector<int> forward{0};
    for (LPCWSTR at = start; *at != 0;) forward.push_back(static_cast<int>((at = sys::CharNextW(at)) - start));
    EXPECT_EQ(forward, c.stops);
    std::vector<int> backward{static_cast<int>(c.text.size())};
    for (LPCWSTR at = start + c.text.size(); at > start;) {
      backward.push_back(static_cast<int>((at = sys::CharPrevW(start, at)) - start));
    }
    EXPECT_EQ(std::vector<int>(backward.rbegin(), backward.rend()), c.stops);
    EXPECT_EQ(sys::CharNextW(start + c.text.size()), start + c.text.size());  // at the NUL it stays
    EXPECT_EQ(sys::CharPrevW(start, start), start);
  }
}

TEST(Drawing, ItemsFollowScriptAndDirection) {
  const std::u16string text = u"abc \u05D0\u05D1 12 \u0645\u0631";
  std::vector<SCRIPT_ITEM> items(16);
  int count = 0;
  ASSERT_EQ(sys::ScriptItemize(text.data(), static_cast<int>(text.size()), 16, nullptr, nullptr, items.data(), &count),
            S_OK);
  ASSERT_GE(count, 3);
  EXPECT_EQ(items[0].iCharPos, 0);
  EXPECT_EQ(items[0].a.fRTL, 0);
  EXPECT_EQ(items[static_cast<std::size_t>(count)].iCharPos, static_cast<int>(text.size()));
  bool hebrewRightToLeft = false;
  for (int k = 0; k < count; ++k) {
    const SCRIPT_ITEM& item = items[static_cast<std::size_t>(k)];
    EXPECT_LT(item.iCharPos, items[static_cast<std::size_t>(k) + 1].iCharPos);
    if (item.iCharPos == 4) hebrewRightToLeft = item.a.fRTL != 0;
  }
  EXPECT_TRUE(hebrewRightToLeft);
  EXPECT_EQ(sys::ScriptItemize(text.data(), static_cast<int>(text.size()), 2, nullptr, nullptr, items.data(), &count),
            E_OUTOFMEMORY);
  EXPECT_EQ(sys::ScriptItemize(text.data(), 0, 16, nullptr, nullptr, items.data(), &count), E_INVALIDARG);
}

// The positions ICU's break iterator of the kind gives inside the text (0 and the end excluded).
std::vector<int> icuBreaks(UBreakIteratorType kind, const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> it(
      ubrk_open(kind, "en", text.data(), static_cast<int32_t>(text.size()), &status), ubrk_close);
  std::vector<int> result;
  for (int32_t at = ubrk_first(it.get()); (at = ubrk_next(it.get())) != UBRK_DONE;) {
    if (at < static_cast<int32_t>(text.size())) result.push_back(at);
  }
  return result;
}

// Line-break and caret positions agree with the Unicode rules; white space and word starts as
// tabled.
TEST(Drawing, BreakAttributesFollowTheUnicodeRules) {
  struct Case { std::u16string text; const char* whiteSpace; const char* wordStop; };
  const Case cases[] = {
      {u"ab cd", "  x  ", "x  x "},
      {u"one, two-three", "    x         ", "x    x   x    "},
      {u"e\u0301t\u00E9 \U0001F600!", "    x   ", "x       "},
      {u"漢字かな", "    ", "x x "},
      {u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD", "    x    ", "x    x   "},
      {u"12.5 (x)", "    x   ", "x     x "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const int n = static_cast<int>(c.text.size());
    SCRIPT_ANALYSIS analysis{};
    std::vector<SCRIPT_LOGATTR> attrs(static_cast<std::size_t>(n));
    ASSERT_EQ(sys::ScriptBreak(c.text.data(), n, &analysis, attrs.data()), S_OK);
    std::vector<int> soft, stops;
    std::string white, word;
    for (int i = 0; i < n; ++i) {
      const SCRIPT_LOGATTR& a = attrs[static_cast<std::size_t>(i)];
      if (a.fSoftBreak) soft.push_back(i);
      if (a.fCharStop && i > 0) stops.push_back(i);
      white += a.fWhiteSpace ? 'x' : ' ';
      word += a.fWordStop ? 'x' : ' ';
    }
    EXPECT_EQ(soft, icuBreaks(UBRK_LINE, c.text));
    EXPECT_EQ(stops, icuBreaks(UBRK_CHARACTER, c.text));
    EXPECT_EQ(white, std::string(c.whiteSpace));
    EXPECT_EQ(word, c.wordStop);
  }
}

}  // namespace
