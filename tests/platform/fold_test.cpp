#include "platform/fold.h"

#include <gtest/gtest.h>
#include <unicode/unorm2.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::u16string fold(const std::u16string& text) {
  const int size = static_cast<int>(text.size());
  const int needed = sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), size, nullptr, 0);
  std::u16string folded(static_cast<std::size_t>(needed), u'\0');
  const int written =
      sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), size, folded.data(), needed);
  EXPECT_EQ(written, needed);
  return folded;
}

std::u16string normalize(const UNormalizer2* normalizer, const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::u16string out(text.size() * 4 + 8, u'\0');
  const int32_t length =
      unorm2_normalize(normalizer, text.data(), static_cast<int32_t>(text.size()), out.data(),
                       static_cast<int32_t>(out.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

const UNormalizer2* nfc() {
  UErrorCode status = U_ZERO_ERROR;
  return unorm2_getNFCInstance(&status);
}

const UNormalizer2* nfd() {
  UErrorCode status = U_ZERO_ERROR;
  return unorm2_getNFDInstance(&status);
}

std::string hex(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (const char16_t c : text) {
    std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

struct FoldCase {
  const char* name;
  std::u16string text;
  std::u16string folded;
};

class Folds : public ::testing::TestWithParam<FoldCase> {};

TEST_P(Folds, ComposesWhatFollowsAStarterAndKeepsEverythingElse) {
  const auto& c = GetParam();
  EXPECT_EQ(hex(fold(c.text)), hex(c.folded));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Folds,
    ::testing::Values(
        FoldCase{"plain", u"Host data 123", u"Host data 123"},
        FoldCase{"acute", u"e\u0301", u"\u00E9"},
        FoldCase{"inText", u"cafe\u0301 nai\u0308ve", u"caf\u00E9 na\u00EFve"},
        FoldCase{"reordered", u"A\u0323\u0302", u"\u1EAC"},
        FoldCase{"reorderedOtherWay", u"A\u0302\u0323", u"\u1EAC"},
        FoldCase{"secondMarkStays", u"A\u0301\u0301", u"\u00C1\u0301"},
        FoldCase{"composesTwice", u"a\u0302\u0301", u"\u1EA5"},
        FoldCase{"blockedByEqualClass", u"a\u0350\u0301", u"a\u0350\u0301"},
        FoldCase{"lowerClassDoesNotBlock", u"a\u0316\u0301", u"\u00E1\u0316"},
        FoldCase{"ogonekThenAcute", u"a\u0328\u0301", u"\u0105\u0301"},
        FoldCase{"noComposite", u"x\u0301", u"x\u0301"},
        FoldCase{"leadingMark", u"\u0301a", u"\u0301a"},
        FoldCase{"onlyMarks", u"\u0301\u0308", u"\u0301\u0308"},
        FoldCase{"hangulLVT", u"\u1100\u1161\u11A8", u"\uAC01"},
        FoldCase{"hangulLV", u"\u1100\u1161", u"\uAC00"},
        FoldCase{"hangulSyllableAndT", u"\uAC00\u11A8", u"\uAC01"},
        FoldCase{"hangulLVTandT", u"\uAC01\u11A8", u"\uAC01\u11A8"},
        FoldCase{"hangulBlockedByMark", u"\u1100\u0301\u1161", u"\u1100\u0301\u1161"},
        FoldCase{"supplementaryPair", u"\U00011099\U000110BA", u"\U0001109A"},
        FoldCase{"supplementaryVowel", u"\U00011131\U00011127", u"\U0001112E"},
        FoldCase{"supplementaryMarkReordered", u"a\u0301\U00010A0D", u"\u00E1\U00010A0D"},
        FoldCase{"angstromStays", u"\u212B", u"\u212B"},
        FoldCase{"angstromTakesNoMark", u"\u212B\u0301", u"\u212B\u0301"},
        FoldCase{"compatibilityIdeographStays", u"\uF929", u"\uF929"},
        FoldCase{"excludedCompositeStays", u"\u0958", u"\u0958"},
        FoldCase{"excludedPairStays", u"\u0915\u093C", u"\u0915\u093C"},
        FoldCase{"dialytikaTonosStays", u"\u03B9\u0344", u"\u03B9\u0344"},
        FoldCase{"precomposedNotDecomposed", u"\u00E9\u0323", u"\u00E9\u0323"},
        FoldCase{"loneSurrogates", u"e\xD800\u0301\xDC00", u"e\xD800\u0301\xDC00"},
        FoldCase{"embeddedNul", std::u16string(u"e\0e\u0301", 4), std::u16string(u"e\0\u00E9", 3)}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Fold, AgreesWithNfcOnTextWithoutDecomposableCharacters) {
  // Base letters, Hangul jamo and syllables, and marks that none of them decompose into: NFC
  // replaces none of these, so on such text composing without decomposing is exactly NFC. The
  // marks of class 220 that compose with nothing keep every mark run without a composable mark
  // in canonical order already.
  const std::u32string pool =
      U"aeouAOcnszx \u00F8\u0142"                                      // letters
      U"\u1100\u1112\u1161\u1175\u11A8\u11C2\uAC00\uAC01"              // Hangul
      U"\u0300\u0301\u0302\u0303\u0308\u030A\u030C\u0323\u0327\u0328"  // composable marks
      U"\u031B\u0331\u0345"                                            // more of them
      U"\u0316\u0317\U00010A0D"                                        // class 220, inert
      U"\U00011099\U000110BA\U00011131\U00011127";                     // beyond the BMP
  std::mt19937 random(20240601);
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int i = 0; i < 20000; ++i) {
    std::u16string text;
    for (int n = length(random); n > 0; --n) {
      const char32_t c = pool[pick(random)];
      if (c > 0xFFFF) {
        text += static_cast<char16_t>(0xD7C0 + (c >> 10));
        text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      } else {
        text += static_cast<char16_t>(c);
      }
    }
    ASSERT_EQ(hex(fold(text)), hex(normalize(nfc(), text))) << "source " << hex(text);
  }
}

TEST(Fold, KeepsWhatNfcWouldReplace) {
  // Singletons, composition exclusions and a precomposed letter with a mark that sorts before
  // its own: NFC changes each, the fold keeps each.
  for (const std::u16string text : {u"\u212B", u"\u2126", u"\uF929", u"\u0958", u"\u0340",
                                    u"\u03B9\u0344", u"\u212B\u0301", u"\u00E9\u0323"}) {
    EXPECT_NE(normalize(nfc(), text), text) << hex(text);
    EXPECT_EQ(fold(text), text) << hex(text);
  }
}

TEST(Fold, NeverLengthensAndKeepsCanonicalEquivalence) {
  // Anything goes here: precomposed letters, singletons, exclusions, lone surrogates.
  const std::u16string pool(
      u"aeA\u00E9\u00C5\u212B\u2126\uF929\u0958\u0915\u093C\u0344\u0340\u0301\u0308\u0323"
      u"\u0316\u05B0\u0591\u1100\u1161\u11A8\uAC00\xD804\xDC99\xDCBA\xD800\0",
      28);
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::uniform_int_distribution<int> length(1, 16);
  for (int i = 0; i < 20000; ++i) {
    std::u16string text;
    for (int n = length(random); n > 0; --n) text += pool[pick(random)];
    const std::u16string folded = fold(text);
    ASSERT_LE(folded.size(), text.size()) << hex(text);
    ASSERT_EQ(normalize(nfd(), folded), normalize(nfd(), text)) << hex(text);
    ASSERT_EQ(fold(folded), folded) << "folding twice changes " << hex(text);
  }
}

TEST(Fold, LengthRules) {
  const std::u16string text = u"e\u0301x";
  // With dstLen 0 only the length is reported, and nothing is written.
  WCHAR untouched[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), 3, untouched, 0), 2);
  EXPECT_EQ(untouched[0], u'#');

  // srcLen -1 folds the terminator too, and counts it.
  WCHAR out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.c_str(), -1, nullptr, 0), 3);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.c_str(), -1, out, 4), 3);
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"\u00E9x\0#", 4));

  // A buffer one short fails and writes nothing, for composed and plain text alike.
  for (const std::u16string& source : {text, std::u16string(u"plain")}) {
    WCHAR guard[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    const int size = static_cast<int>(source.size());
    const int needed = sys::FoldStringW(sys::MAP_PRECOMPOSED, source.data(), size, nullptr, 0);
    EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, source.data(), size, guard, needed - 1), 0);
    EXPECT_EQ(std::u16string(guard, 8), u"########");
  }

  // Folding in place is allowed.
  std::u16string inPlace = u"o\u0308o\u0308";
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, inPlace.data(), 4, inPlace.data(), 4), 2);
  EXPECT_EQ(inPlace.substr(0, 2), u"\u00F6\u00F6");
}

TEST(Fold, RefusesBadArguments) {
  WCHAR out[8];
  const WCHAR* text = u"e\u0301";
  EXPECT_EQ(sys::FoldStringW(0, text, 2, out, 8), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED | 0x40, text, 2, out, 8), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, nullptr, 2, out, 8), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text, 0, out, 8), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text, -2, out, 8), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text, 2, out, -1), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text, 2, nullptr, 8), 0);
}

}  // namespace
