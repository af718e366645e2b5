#include "platform/fold.h"

#include <gtest/gtest.h>
#include <unicode/unorm2.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

std::u16string fold(const std::u16string& text) {
  const int size = static_cast<int>(text.size());
  const int needed = sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), size, nullptr, 0);
  std::u16string folded(static_cast<std::size_t>(needed), u'\0');
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), size, folded.data(), needed), needed);
  return folded;
}

std::u16string normalize(const std::u16string& text, bool decompose = false) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* normalizer = decompose ? unorm2_getNFDInstance(&status) : unorm2_getNFCInstance(&status);
  std::u16string out(text.size() * 4 + 8, u'\0');
  out.resize(static_cast<std::size_t>(unorm2_normalize(normalizer, text.data(), static_cast<int32_t>(text.size()),
                                                       out.data(), static_cast<int32_t>(out.size()), &status)));
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  return out;
}

std::string hex(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (const char16_t c : text) out.append(unit, static_cast<std::size_t>(std::snprintf(unit, 8, "%04X ", c + 0u)));
  return out;
}

// Random text of 1 to maxLength code points from the pool; a pool entry may be a lone surrogate.
std::u16string randomText(std::mt19937& random, const std::u32string& pool, int maxLength) {
  std::u16string text;
  for (int n = std::uniform_int_distribution<int>(1, maxLength)(random); n > 0; --n) {
    const char32_t c = pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    if (c > 0xFFFF) text += static_cast<char16_t>(0xD7C0 + (c >> 10));
    text += static_cast<char16_t>(c > 0xFFFF ? 0xDC00 + (c & 0x3FF) : c);
  }
  return text;
}

// Unlike NFC, the fold replaces no single character: singletons, composition exclusions and a
// precomposed letter followed by a mark that sorts before its own stay as they are.
TEST(Fold, ComposesWhatFollowsAStarterAndKeepsEverythingElse) {
  struct Case { const char* name; std::u16string text, folded; };
  const Case cases[] = {
      {"plain", u"Host data 123", u"Host data 123"}, {"acute", u"e\u0301", u"\u00E9"},
      {"in text", u"cafe\u0301 nai\u0308ve", u"caf\u00E9 na\u00EFve"}, {"reordered", u"A\u0323\u0302", u"\u1EAC"},
      {"reordered other way", u"A\u0302\u0323", u"\u1EAC"}, {"second mark stays", u"A\u0301\u0301", u"\u00C1\u0301"},
      {"composes twice", u"a\u0302\u0301", u"\u1EA5"}, {"blocked by equal class", u"a\u0350\u0301", u"a\u0350\u0301"},
      {"lower class does not block", u"a\u0316\u0301", u"\u00E1\u0316"},
      {"ogonek then acute", u"a\u0328\u0301", u"\u0105\u0301"}, {"no composite", u"x\u0301", u"x\u0301"},
      {"leading mark", u"\u0301a", u"\u0301a"}, {"only marks", u"\u0301\u0308", u"\u0301\u0308"},
      {"Hangul LVT", u"\u1100\u1161\u11A8", u"\uAC01"}, {"Hangul LV", u"\u1100\u1161", u"\uAC00"},
      {"Hangul syllable and T", u"\uAC00\u11A8", u"\uAC01"}, {"Hangul LVT and T", u"\uAC01\u11A8", u"\uAC01\u11A8"},
      {"Hangul blocked by a mark", u"\u1100\u0301\u1161", u"\u1100\u0301\u1161"},
      {"supplementary pair", u"\U00011099\U000110BA", u"\U0001109A"},
      {"supplementary vowel", u"\U00011131\U00011127", u"\U0001112E"},
      {"supplementary mark reordered", u"a\u0301\U00010A0D", u"\u00E1\U00010A0D"},
      {"Angstrom stays", u"\u212B", u"\u212B"}, {"Ohm stays", u"\u2126", u"\u2126"},
      {"tone mark stays", u"\u0340", u"\u0340"}, {"Angstrom takes no mark", u"\u212B\u0301", u"\u212B\u0301"},
      {"compatibility ideograph stays", u"\uF929", u"\uF929"}, {"excluded composite stays", u"\u0958", u"\u0958"},
      {"excluded pair stays", u"\u0915\u093C", u"\u0915\u093C"},
      {"dialytika tonos stays", u"\u03B9\u0344", u"\u03B9\u0344"},
      {"precomposed not decomposed", u"\u00E9\u0323", u"\u00E9\u0323"},
      {"lone surrogates", u"e\xD800\u0301\xDC00", u"e\xD800\u0301\xDC00"},
      {"embedded NUL", std::u16string(u"e\0e\u0301", 4), std::u16string(u"e\0\u00E9", 3)}};
  for (const auto& c : cases) EXPECT_EQ(hex(fold(c.text)), hex(c.folded)) << c.name;
}

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
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = randomText(random, pool, 12);
    ASSERT_EQ(hex(fold(text)), hex(normalize(text))) << "source " << hex(text);
  }
}

TEST(Fold, NeverLengthensAndKeepsCanonicalEquivalence) {
  // Anything goes here: precomposed letters, singletons, exclusions, lone surrogates.
  const std::u32string pool(U"aeA\u00E9\u00C5\u212B\u2126\uF929\u0958\u0915\u093C\u0344\u0340\u0301\u0308\u0323"
                            U"\u0316\u05B0\u0591\u1100\u1161\u11A8\uAC00\xD804\xDC99\xDCBA\xD800\0",
                            28);
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = randomText(random, pool, 16), folded = fold(text);
    ASSERT_LE(folded.size(), text.size()) << hex(text);
    ASSERT_EQ(normalize(folded, true), normalize(text, true)) << hex(text);
    ASSERT_EQ(fold(folded), folded) << "folding twice changes " << hex(text);
  }
}

TEST(Fold, LengthRulesAndBadArguments) {
  const std::u16string text = u"e\u0301x";
  // With dstLen 0 only the length is reported, and nothing is written.
  WCHAR out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), 3, out, 0), 2);
  EXPECT_EQ(out[0], u'#');
  // srcLen -1 folds the terminator too, and counts it.
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.c_str(), -1, nullptr, 0), 3);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.c_str(), -1, out, 4), 3);
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"\u00E9x\0#", 4));
  // A buffer one short fails and writes nothing, for composed and plain text alike.
  for (const std::u16string& source : {text, std::u16string(u"plain")}) {
    std::u16string guard(8, u'#');
    const int size = static_cast<int>(source.size());
    const int needed = sys::FoldStringW(sys::MAP_PRECOMPOSED, source.data(), size, nullptr, 0);
    EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, source.data(), size, guard.data(), needed - 1), 0);
    EXPECT_EQ(guard, u"########");
  }
  // Folding in place is allowed.
  std::u16string inPlace = u"o\u0308o\u0308";
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, inPlace.data(), 4, inPlace.data(), 4), 2);
  EXPECT_EQ(inPlace.substr(0, 2), u"\u00F6\u00F6");

  EXPECT_EQ(sys::FoldStringW(0, text.data(), 2, out, 4), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED | 0x40, text.data(), 2, out, 4), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, nullptr, 2, out, 4), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), 0, out, 4), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), -2, out, 4), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), 2, out, -1), 0);
  EXPECT_EQ(sys::FoldStringW(sys::MAP_PRECOMPOSED, text.data(), 2, nullptr, 4), 0);
}

}  // namespace
