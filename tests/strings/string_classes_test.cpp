#include <kwuni/ebcdic.h>
#include <kwuni/strings.h>

#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string bytes(const char* text) { return text == nullptr ? "(null)" : std::string(text); }
std::u16string wide(const WCHAR* text) { return text == nullptr ? u"(null)" : std::u16string(text); }

// An en-US system (ANSI code page 1252, default CCSID 37) with the build's tables.
class Strings : public ::testing::Test {
 protected:
  void SetUp() override {
    sys::testing::setLocale("en_US");
    KW_SetUniBaseDirectory(KWUNI_BUILD_DIR);
  }
  void TearDown() override {
    KW_SetUniBaseDirectory(u"");
    velmora::EBCDICTranscoders::instance().clear();
    sys::testing::setLocale(nullptr);
  }
};

TEST_F(Strings, EmptyAndSizedStrings) {
  const AString none;
  EXPECT_EQ(static_cast<char*>(none), nullptr);
  EXPECT_EQ(none.length(), 0);
  char target[4] = "xyz";
  EXPECT_EQ(none.copy(target, 4), nullptr);
  EXPECT_EQ(bytes(target), "xyz");

  AString sized(16);
  ASSERT_NE(static_cast<char*>(sized), nullptr);
  EXPECT_EQ(bytes(sized), "");
  sized = "abc";
  EXPECT_EQ(bytes(sized), "abc");
  std::memcpy(static_cast<char*>(sized), "fifteen letters", 16);  // the reserve still holds 16
  EXPECT_EQ(sized.length(), 15);

  WString wideSized(8);
  wideSized = u"ab";
  std::memcpy(static_cast<WCHAR*>(wideSized), u"seven..", 16);
  EXPECT_EQ(wide(wideSized), u"seven..");
  EXPECT_EQ(static_cast<WCHAR*>(WString(0)), nullptr);
  EXPECT_EQ(static_cast<WCHAR*>(TString(-3)), nullptr);
}

TEST_F(Strings, OwnCodePageOfAnAString) {
  const std::pair<unsigned, unsigned> cases[] = {{0, 1252}, {437, 1252}, {1251, 1251}, {65001, 65001},
                                                 {65000, 65000}, {1200, 1200}, {37, 1252}};
  for (const auto& [given, own] : cases) EXPECT_EQ(AString(given).codePage(), own) << given;
}

TEST_F(Strings, NarrowTextIsReadAsHostDataUnlessUtfOrAnsi) {
  struct Case {
    unsigned own;
    const char* text;
    unsigned source;
    std::string expected;
  };
  const Case cases[] = {
      {0, "\xC1\x81\xE9", 0, "\xC1\x81\xE9"},    // the ANSI code page: copied unchanged
      {0, "\xC1\x81\xBA", 37, "Aa["},            // CCSID 37
      {0, "\xC1\x81\xAD", 1047, "Aa["},          // CCSID 1047 puts '[' elsewhere
      {0, "\xC1\x81\xBA", 1252, "Aa["},          // not a CCSID: the default one, 37
      {0, "\xC1\x81\xBA", 2, "Aa["},             // 2: the default CCSID
      {65001, "\xC1", 37, "A"},
      {65001, "\xC3\xA9", 65001, "\xC3\xA9"},    // same code page: copied
      {0, "caf\xC3\xA9", 65001, "caf\xE9"},      // UTF-8 read, written in 1252
      {65001, "+ZeVnLIqe-", 65000, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      {65000, "\xE6\x97\xA5", 65001, "+ZeU-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.own) + " from " + std::to_string(c.source) + ": " + c.text);
    EXPECT_EQ(bytes(AString(c.own, c.text, -1, c.source)), c.expected);
  }
  EXPECT_EQ(bytes(AString("\xC1\xC2\xC3", 2, 37)), "AB");
  EXPECT_EQ(bytes(AString('\xC1', 37u)), "A");
  EXPECT_EQ(bytes(AString(static_cast<const char*>(nullptr), 3, 0)), "(null)");
}

TEST_F(Strings, WideTextInTheStringsCodePage) {
  EXPECT_EQ(bytes(AString(65001u, u"\u00E9", -1, nullptr, nullptr)), "\xC3\xA9");
  EXPECT_EQ(bytes(AString(65000u, u"日本語", -1, nullptr, nullptr)), "+ZeVnLIqe-");
  EXPECT_EQ(bytes(AString(1251u, u"Жук", -1, nullptr, nullptr)), "\xC6\xF3\xEA");
  EXPECT_EQ(bytes(AString(u"abcdef", 3, nullptr, nullptr)), "abc");
  EXPECT_EQ(bytes(AString(u'\u20AC', nullptr, nullptr)), "\x80");
  int used = 0;
  EXPECT_EQ(bytes(AString(u"a日", -1, "#", &used)), "a#");
  EXPECT_EQ(used, 1);
  // A U+0000 ends UTF-8 text; other code pages keep the length asked for.
  EXPECT_EQ(AString(65001u, u"a\0b", 3, nullptr, nullptr).length(), 1);
  EXPECT_EQ(AString(1252u, u"", 0, nullptr, nullptr).length(), 0);
}

TEST_F(Strings, WStringReadsEveryKindOfCodePage) {
  struct Case {
    const char* text;
    unsigned codePage;
    std::u16string expected;
  };
  const Case cases[] = {
      {"caf\xE9", 0, u"café"},           {"caf\xE9", 1252, u"café"},      {"\xC6\xF3\xEA", 1251, u"Жук"},
      {"\xC1\x81\xBA", 37, u"Aa["},      {"\xC1\x81\xBA", 2, u"Aa["},     {"\xC3\xA9", 65001, u"é"},
      {"+ZeVnLIqe-", 65000, u"日本語"},  {"abc", 437, u"(null)"},         {"abc", 1255, u"(null)"},
      {"\xF0\x9F\x98\x80", 65001, u"\U0001F600"},
  };
  for (const auto& c : cases) EXPECT_EQ(wide(WString(c.text, -1, c.codePage)), c.expected) << c.codePage;
  EXPECT_EQ(wide(WString('\xE9', 0)), u"é");
  EXPECT_EQ(wide(WString(u"abc", 2)), u"ab");
  EXPECT_EQ(wide(WString(u'x')), u"x");
  WString assigned;
  assigned = "\xE9t\xE9";
  EXPECT_EQ(wide(assigned), u"été");
  assigned = static_cast<const char*>(nullptr);
  EXPECT_EQ(static_cast<WCHAR*>(assigned), nullptr);
}

TEST_F(Strings, TStringReadsTheAnsiCodePage) {
  EXPECT_EQ(wide(TString("caf\xE9", -1)), u"café");
  EXPECT_EQ(wide(TString('\x80')), u"€");
  EXPECT_EQ(wide(TString(u"abc", -1, "?", nullptr)), u"abc");
  EXPECT_EQ(wide(TString(u'\u65E5', nullptr, nullptr)), u"日");
  sys::testing::setLocale("ru_RU");
  EXPECT_EQ(wide(TString("\xC6", 1)), u"Ж");
  TString t;
  t = "\xF3";
  EXPECT_EQ(wide(t), u"у");
}

TEST_F(Strings, CopyIsABoundedCopy) {
  const AString text("abcdef", -1, 0);
  char target[8] = "xy";
  std::memset(target + 3, '#', 5);
  EXPECT_EQ(text.copy(target, -1), target);  // the target's own text decides: 2 + 1
  EXPECT_EQ(std::string(target, 8), std::string("abc#####", 8));
  EXPECT_EQ(text.copy(target, 8), target);
  EXPECT_EQ(std::string(target, 8), std::string("abcdef\0\0", 8));
  EXPECT_EQ(text.copy(nullptr, 4), nullptr);

  const TString t(u"hello", -1, nullptr, nullptr);
  WCHAR w[6] = u"ab";
  w[3] = u'#';
  t.copy(w, -1);
  EXPECT_EQ(std::u16string(w, 4), std::u16string(u"hel#", 4));
  const WString s(u"hi", -1);
  WCHAR w2[5] = u"wxyz";
  s.copy(w2, 4);
  EXPECT_EQ(std::u16string(w2, 4), std::u16string(u"hi\0\0", 4));
}

TEST_F(Strings, AStringAssignedItsOwnText) {
  AString s(65001u, u"日本", -1, nullptr, nullptr);
  s = static_cast<const char*>(AString("x", -1, 0));
  EXPECT_EQ(bytes(s), "x");
  AString same("same text", -1, 0);
  same = static_cast<const char*>(same);
  EXPECT_EQ(bytes(same), "same text");
  WString w(u"self", -1);
  w = static_cast<const WCHAR*>(w);
  EXPECT_EQ(wide(w), u"self");
}

}  // namespace
