// Script strings in both families: passing through to the system's analysis, and the library's
// own character-by-character measuring (9x), with either source of logical attributes.

#include <kwuni/text.h>

#include "tests/text/families.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using kwuni::test::Family;

class ScriptStrings : public ::testing::TestWithParam<Family> {
 protected:
  void SetUp() override {
    family.emplace(GetParam());
    dc = KW_CreateImageDC(480, 64);
    ASSERT_NE(dc, nullptr);
    ASSERT_TRUE(KW_SelectImageFont(dc, "DejaVu Sans", 20));
  }
  void TearDown() override {
    for (void*& handle : handles) {
      if (handle != nullptr) KW_ScriptStringFree(&handle);
    }
    KW_DeleteImageDC(dc);
    family.reset();
  }

  void* analyse(const std::u16string& text, DWORD flags = SSA_BREAK | SSA_GLYPHS | SSA_FALLBACK) {
    void* handle = nullptr;
    EXPECT_GE(KW_ScriptStringAnalyse(dc, text.data(), static_cast<int>(text.size()), 0, -1, flags, 0, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, &handle),
              0);
    handles.push_back(handle);
    return handle;
  }
  static int x(void* handle, int cp, bool trailing) {
    int at = -100;
    EXPECT_EQ(KW_ScriptStringCPtoX(handle, cp, trailing ? 1 : 0, &at), S_OK);
    return at;
  }
  static std::pair<int, int> cp(void* handle, int xAt) {
    int position = -100, trailing = -100;
    EXPECT_EQ(KW_ScriptStringXtoCP(handle, xAt, &position, &trailing), S_OK);
    return {position, trailing};
  }

  std::optional<kwuni::test::FamilyScope> family;
  HDC dc = nullptr;
  std::vector<void*> handles;
};

TEST_P(ScriptStrings, LeftToRightEdgesGrowWithThePrefix) {
  const std::u16string text = u"Hello, wide world";
  void* handle = analyse(text);
  ASSERT_NE(handle, nullptr);
  int previous = 0;
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    const int leading = x(handle, i, false), trailing = x(handle, i, true);
    EXPECT_EQ(leading, previous) << i;
    EXPECT_GT(trailing, leading) << i;
    previous = trailing;
  }
  const SIZE* size = KW_ScriptString_pSize(handle);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->cx, previous);
  EXPECT_GT(size->cy, 10);
}

TEST_P(ScriptStrings, HitTestingInvertsTheEdges) {
  const std::u16string text = u"Lorem 日本語 ipsum";
  void* handle = analyse(text);
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    const int left = x(handle, i, false), right = x(handle, i, true);
    if (right - left < 2) continue;
    EXPECT_EQ(cp(handle, left + 1).first, i) << "just inside character " << i;
    EXPECT_EQ(cp(handle, right - 1).first, i) << "at the end of character " << i;
  }
  EXPECT_EQ(cp(handle, -1).first, -1);
  EXPECT_EQ(cp(handle, 10000).first, static_cast<int>(text.size()));
}

// Right-to-left text spans its logical width, every edge inside it (measured a prefix at a time,
// a prefix ends in a final form that the whole text may not have: only the last edge is the
// width); a ligature is narrower than its letters apart.
TEST_P(ScriptStrings, RightToLeftAndLigaturesMeasureAsShaped) {
  const std::u16string arabic = u"\u0645\u0631\u062D\u0628\u0627";
  void* handle = analyse(arabic);
  const int whole = KW_ScriptString_pSize(handle)->cx;
  EXPECT_GT(whole, 0);
  std::vector<int> edges;
  for (int i = 0; i < static_cast<int>(arabic.size()); ++i) {
    for (const bool trailing : {false, true}) edges.push_back(x(handle, i, trailing));
  }
  EXPECT_EQ(*std::min_element(edges.begin(), edges.end()), 0);
  if (GetParam() == Family::passThrough) {
    EXPECT_EQ(*std::max_element(edges.begin(), edges.end()), whole);
    EXPECT_EQ(x(handle, 0, false), whole);  // the first character leads on the right
  } else {
    EXPECT_EQ(edges.back(), whole);
  }

  const auto width = [this](const std::u16string& text) { return KW_ScriptString_pSize(analyse(text))->cx; };
  EXPECT_LT(width(u"\u0644\u0627"), width(u"\u0644") + width(u"\u0627"));
}

TEST_P(ScriptStrings, NoTextAnalysesOneNul) {
  void* handle = nullptr;
  EXPECT_GE(KW_ScriptStringAnalyse(dc, nullptr, 0, 0, -1, SSA_GLYPHS, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &handle),
            0);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(KW_ScriptString_pSize(handle), nullptr);
  EXPECT_EQ(KW_ScriptStringFree(&handle), S_OK);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(KW_ScriptStringFree(&handle), E_FAIL);
  EXPECT_EQ(KW_ScriptStringFree(nullptr), E_FAIL);
  int at = 0;
  EXPECT_EQ(KW_ScriptStringCPtoX(nullptr, 0, 0, &at), E_FAIL);
  EXPECT_EQ(KW_ScriptString_pLogAttr(nullptr), nullptr);
}

TEST_P(ScriptStrings, LogicalAttributesFollowTheBreakRules) {
  const std::u16string text = u"ab cd";
  void* handle = analyse(text);
  const SCRIPT_LOGATTR* attributes = KW_ScriptString_pLogAttr(handle);
  ASSERT_NE(attributes, nullptr);
  const bool wordStop[] = {true, false, false, true, false};
  const bool whiteSpace[] = {false, false, true, false, false};
  const bool softBreak[] = {false, false, false, true, false};
  for (std::size_t i = 0; i < text.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(attributes[i].fWordStop != 0, wordStop[i]);
    EXPECT_EQ(attributes[i].fWhiteSpace != 0, whiteSpace[i]);
    EXPECT_EQ(attributes[i].fSoftBreak != 0, softBreak[i]);
    EXPECT_NE(attributes[i].fCharStop, 0);
  }
}

TEST_P(ScriptStrings, DrawsMixedScriptsWithASelection) {
  const std::u16string text = u"Kanji 漢字 and عربي";
  void* handle = analyse(text);
  RECT box{0, 0, 480, 64};
  EXPECT_EQ(KW_ScriptStringOut(handle, 4, 8, ETO_OPAQUE | ETO_CLIPPED, &box, 2, 9, 0), S_OK);
  EXPECT_EQ(KW_ScriptStringOut(handle, 4, 8, 0, nullptr, 0, 0, 1), S_OK);
  const std::string path = ::testing::TempDir() + "script_strings_" + kwuni::test::familyName({GetParam(), 0}) + ".png";
  EXPECT_TRUE(KW_WriteImagePNG(dc, path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Families, ScriptStrings, kwuni::test::allFamilies, kwuni::test::familyName);

// ---- The library's own measuring -------------------------------------------------------------

class OwnMeasuring : public ScriptStrings {};

TEST_P(OwnMeasuring, HotKeyAmpersandsTakeNoRoom) {
  void* file = analyse(u"&File", SSA_HOTKEY);
  void* letter = analyse(u"F", 0);
  EXPECT_EQ(x(file, 0, true), 0);
  EXPECT_EQ(x(file, 1, true), x(letter, 0, true));
  EXPECT_EQ(x(file, 0, false), 0);
  EXPECT_EQ(x(file, 1, false), 0);
  void* doubled = analyse(u"a&&b", SSA_HOTKEY);
  void* shown = analyse(u"a&b", 0);
  EXPECT_EQ(x(doubled, 1, true), x(doubled, 0, true));  // the first "&" shares the a's edge
  EXPECT_EQ(x(doubled, 2, true), x(shown, 1, true));
  EXPECT_EQ(KW_ScriptString_pSize(doubled)->cx, KW_ScriptString_pSize(shown)->cx);
}

TEST_P(OwnMeasuring, PasswordsShowTheirFirstCharacter) {
  const std::u16string star = u"*";
  void* handle = nullptr;
  ASSERT_GE(KW_ScriptStringAnalyse(dc, star.data(), 5, 0, -1, SSA_PASSWORD, 0, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &handle),
            0);
  handles.push_back(handle);
  void* five = analyse(u"*****", 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(x(handle, i, true), x(five, i, true)) << i;
  EXPECT_EQ(cp(handle, 1).second, 0);
}

TEST_P(OwnMeasuring, PositionsOutsideTheTextAreClamped) {
  void* handle = analyse(u"abc", 0);
  EXPECT_EQ(x(handle, -5, false), 0);
  EXPECT_EQ(x(handle, 99, true), KW_ScriptString_pSize(handle)->cx);
}

INSTANTIATE_TEST_SUITE_P(Families, OwnMeasuring,
                         ::testing::Values(Family::ownWithPlatformAttributes, Family::ownWithOwnAttributes),
                         kwuni::test::familyName);

// Attributes come from where the switch said when the analysis was made, read by the switch now.
TEST(ScriptStringSwitch, AttributesFollowTheSwitchAtEachCall) {
  KW_SetScriptPlatformForTesting(VER_PLATFORM_WIN32_WINDOWS);
  HDC dc = KW_CreateImageDC(100, 40);
  KW_SelectImageFont(dc, "DejaVu Sans", 12);
  UseScriptStringAnalyseUnderWin9x(false);
  void* own = nullptr;
  KW_ScriptStringAnalyse(dc, u"ab", 2, 0, -1, SSA_BREAK, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &own);
  EXPECT_NE(KW_ScriptString_pLogAttr(own), nullptr);
  UseScriptStringAnalyseUnderWin9x(true);
  EXPECT_EQ(KW_ScriptString_pLogAttr(own), nullptr);  // no system analysis behind it
  void* system = nullptr;
  KW_ScriptStringAnalyse(dc, u"ab", 2, 0, -1, SSA_BREAK, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &system);
  EXPECT_NE(KW_ScriptString_pLogAttr(system), nullptr);
  UseScriptStringAnalyseUnderWin9x(false);
  EXPECT_EQ(KW_ScriptString_pLogAttr(system), nullptr);  // made without attributes of its own
  UseScriptStringAnalyseUnderWin9x(true);
  KW_ScriptStringFree(&own);
  KW_ScriptStringFree(&system);
  KW_DeleteImageDC(dc);
  KW_SetScriptPlatformForTesting(VER_PLATFORM_WIN32_NT);
}

}  // namespace
