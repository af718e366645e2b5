#include <kwuni/locales.h>

#include "catalogue/locale_list.h"
#include "platform/locale.h"
#include "platform/locale_info.h"
#include "platform/version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using kwuni::catalogue::localeList;

std::u16string text(const WCHAR* p) { return p == nullptr ? std::u16string() : std::u16string(p); }

int CALLBACK collect(const WCHAR* key, long list) {
  reinterpret_cast<std::vector<std::u16string>*>(list)->emplace_back(key);
  return 0;  // ignored by the locale enumeration
}

std::vector<std::u16string> enumerate(unsigned long flags) {
  std::vector<std::u16string> keys;
  EXPECT_EQ(KW_EnumSystemLocales(collect, reinterpret_cast<long>(&keys), flags), 1);
  return keys;
}

std::u16string description(LCID lcid) {
  WCHAR buffer[128];
  EXPECT_EQ(KW_GetLocaleDesc(lcid, buffer, 128), 1);
  return buffer;
}

// An NT-family system whose user and system locale is the one a test names; the list is built
// afresh under it.
class Locales : public ::testing::Test {
 protected:
  void SetUp() override { use("en_US"); }
  void TearDown() override {
    sys::testing::setLocale(nullptr);
    sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
    kwuni::catalogue::testing::rebuildLocaleList();
  }
  static void use(const char* locale) {
    sys::testing::setLocale(locale);
    kwuni::catalogue::testing::rebuildLocaleList();
  }
};

TEST_F(Locales, RealLocalesAreOfferedOnceSortedByDisplayName) {
  const auto keys = enumerate(LCID_SUPPORTED);
  ASSERT_GT(keys.size(), 50u);
  EXPECT_EQ(std::set<std::u16string>(keys.begin(), keys.end()).size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const LCID lcid = KW_StringToLocale(keys[i].c_str());
    EXPECT_NE(lcid & 0xFC00, 0xFC00u) << "a pseudo entry without KW_ENUM_SPECIAL";
    if (i > 0) {
      const auto before = description(KW_StringToLocale(keys[i - 1].c_str()));
      EXPECT_NE(sys::CompareStringW(LOCALE_USER_DEFAULT, 0, before.c_str(), -1, description(lcid).c_str(), -1),
                CSTR_GREATER_THAN);
    }
  }
  EXPECT_EQ(enumerate(LCID_INSTALLED), keys);
  EXPECT_TRUE(enumerate(0).empty());
  EXPECT_TRUE(enumerate(KW_ENUM_SPECIAL).empty());
}

TEST_F(Locales, PseudoEntriesLeadTheirGroups) {
  const auto keys = enumerate(LCID_SUPPORTED | KW_ENUM_SPECIAL);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.front(), u"ffff");
  const auto group = std::find(keys.begin(), keys.end(), u"fc09");
  ASSERT_NE(group, keys.end());
  const auto firstEnglish = std::find_if(keys.begin(), keys.end(), [](const std::u16string& k) {
    const LCID lcid = KW_StringToLocale(k.c_str());
    return (lcid & 0x3FF) == 9 && (lcid & 0xFC00) != 0xFC00;
  });
  EXPECT_EQ(group + 1, firstEnglish);
  EXPECT_EQ(description(0xFC09), u"English (All)");
  EXPECT_EQ(description(0xFFFF), u"All Locales");

  // Every group stands right before the locales of its language, and only where there are two
  // or more of them.
  const auto& list = localeList();
  for (std::size_t i = 1; i < list.size(); ++i) {
    if ((list[i].lcid & 0xFC00) != 0xFC00) continue;
    SCOPED_TRACE(list[i].lcid);
    ASSERT_LT(i + 2, list.size());
    EXPECT_EQ(list[i + 1].language, list[i].language);
    EXPECT_EQ(list[i + 2].language, list[i].language);
    EXPECT_EQ(list[i].countryName, u"All");
    EXPECT_EQ(list[i].ccsid, 0);
  }
}

TEST_F(Locales, CatalogueAnswersAndTheirBuffers) {
  struct Case {
    LCID lcid;
    LCTYPE type;
    int result;
    std::u16string answer;
  };
  const Case cases[] = {
      {0x0411, LOCALE_IDEFAULTEBCDICCODEPAGE, 3, u"930"}, {0x0411, KW_LOCALE_INLV, 4, u"2962"},
      {0x0411, LOCALE_SENGLANGUAGE, 16, u"Japanese (Japan)"}, {0x0809, LOCALE_IDEFAULTEBCDICCODEPAGE, 3, u"285"},
      {0x0407, KW_LOCALE_INLV, 4, u"2929"},  {0x041E, LOCALE_IDEFAULTEBCDICCODEPAGE, 3, u"838"},
      {0x0439, LOCALE_IDEFAULTEBCDICCODEPAGE, 0, u"untouched"},  // Unicode only: not listed
      {0x0401, KW_LOCALE_INLV, 0, u"untouched"},                  // Arabic code page: not listed
      {LOCALE_USER_DEFAULT, LOCALE_IDEFAULTEBCDICCODEPAGE, 2, u"37"},
      {LOCALE_SYSTEM_DEFAULT, KW_LOCALE_INLV, 4, u"2924"},
      {0x0409, KW_LOCALE_SNUMBERFORMAT, 12, u"#,##0;-#,##0"},
      {0x0407, KW_LOCALE_SNUMBERFORMAT, 12, u"#.##0;-#.##0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lcid) + "/" + std::to_string(c.type));
    std::u16string buffer = u"untouched";
    buffer.push_back(0);
    buffer.resize(32, u'#');
    EXPECT_EQ(KW_GetLocaleInfo(c.lcid, c.type, buffer.data(), 32), c.result);
    EXPECT_EQ(text(buffer.c_str()), c.answer);
  }
  // The catalogue's answers are cut to count - 1 characters and terminated.
  WCHAR small[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(KW_GetLocaleInfo(0x0411, KW_LOCALE_INLV, small, 3), 2);
  EXPECT_EQ(text(small), u"29");
  // Everything else is the system's: its count includes the terminator.
  WCHAR name[64];
  EXPECT_EQ(KW_GetLocaleInfo(0x0411, LOCALE_SISO639LANGNAME, name, 64), 3);
  EXPECT_EQ(text(name), u"ja");
  name[0] = u'#';
  EXPECT_EQ(KW_GetLocaleInfo(0x0411, 0x7FFF, name, 64), 0);
  EXPECT_EQ(name[0], 0);
}

TEST_F(Locales, SeparatorsTheOlderFamilyCannotWrite) {
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  WCHAR symbol[16];
  EXPECT_EQ(KW_GetLocaleInfo(0x0409, LOCALE_SCURRENCY, symbol, 16), 2);  // "$" in code page 1252
  EXPECT_EQ(KW_GetLocaleInfo(0x0419, LOCALE_SCURRENCY, symbol, 16), 0);  // the rouble sign is not
  EXPECT_EQ(symbol[0], 0);
}

TEST_F(Locales, NamesCodesAndGroups) {
  EXPECT_EQ(KW_GetLocaleCode(u"All Locales"), 0xFFFFu);
  EXPECT_EQ(KW_GetLocaleCode(u"Japanese (Japan)"), 0x0411u);
  EXPECT_EQ(KW_GetLocaleCode(u"japanese (japan)"), 0xFFFFu);  // case matters
  EXPECT_EQ(KW_GetLocaleCode(u"English (All)"), 0xFC09u);
  EXPECT_EQ(KW_GetLocaleCode(nullptr), 0xFFFFu);
  EXPECT_EQ(description(0x0409), u"English (United States)");
  EXPECT_EQ(description(0x12345), u"All Locales");

  EXPECT_EQ(KW_GetLocaleGroup(0x0809), 0xFC09u);
  EXPECT_EQ(KW_GetLocaleGroup(0x0411), 0xFC11u);  // no group entry, still its group id
  EXPECT_EQ(KW_GetLocaleGroup(0x040D), 0x040Du);  // Hebrew is not listed
  EXPECT_EQ(KW_IsLocale(0xFC09), 1);
  EXPECT_EQ(KW_IsLocale(0x0401), 0);
  EXPECT_EQ(KW_IsValidLocale(0x0409, 0), 0);
  EXPECT_EQ(KW_IsValidLocale(0x0409, LCID_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidLocale(0xFFFF, LCID_SUPPORTED), 1);

  // A display name is cut to fit, the rest of the buffer cleared and the last character ended.
  WCHAR cut[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
  EXPECT_EQ(KW_GetLocaleDesc(0x0411, cut, 6), 1);
  EXPECT_EQ(text(cut), u"Japan");
  WCHAR wide[24];
  std::fill(std::begin(wide), std::end(wide), u'#');
  KW_GetLocaleDesc(0xFFFF, wide, 24);
  EXPECT_TRUE(std::all_of(wide + 11, wide + 24, [](WCHAR c) { return c == 0; }));
}

TEST_F(Locales, AnotherUsersLanguageNamesLocalesInEnglishAlone) {
  use("de_DE");
  EXPECT_EQ(description(0x0411), u"Japanese");  // one Japanese locale: the language alone
  EXPECT_EQ(description(0x0407), u"German (Germany)");
  EXPECT_EQ(description(0xFC07), u"German (All)");
  EXPECT_EQ(KW_GetLocaleCode(u"Japanese"), 0x0411u);
}

TEST_F(Locales, TheOlderFamilyListsEnglishAndTheSystemCodePagesLocales) {
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  use("en_US");
  EXPECT_EQ(KW_IsLocale(0x0409), 1);
  EXPECT_EQ(KW_IsLocale(0x0407), 1);  // code page 1252 too
  EXPECT_EQ(KW_IsLocale(0x0411), 0);
  EXPECT_EQ(KW_IsLocale(0x0419), 0);
  use("ru_RU");
  EXPECT_EQ(KW_IsLocale(0x0419), 1);
  EXPECT_EQ(KW_IsLocale(0x0809), 1);  // every English locale
  EXPECT_EQ(KW_IsLocale(0x0407), 0);
}

TEST_F(Locales, LocaleIdsAsText) {
  const std::pair<std::u16string, LCID> readings[] = {
      {u"0409", 0x409}, {u"40g", 0x410}, {u"409 ", 0x409}, {u"", 0}, {u"-1", 0},
      {u"FC09", 0xFC09}, {u"ffff", 0xFFFF}, {u"100000000", 0}, {u"x1", 0x211}};  // any letter counts on from a
  for (const auto& [input, lcid] : readings) EXPECT_EQ(KW_StringToLocale(input.c_str()), lcid) << lcid;
  EXPECT_EQ(KW_StringToLocale(nullptr), 0u);

  WCHAR buffer[16];
  EXPECT_EQ(KW_LocaleToString(0x0409, buffer, 16), 3);
  EXPECT_EQ(text(buffer), u"409");
  EXPECT_EQ(KW_LocaleToString(0xFFFFFFFF, buffer, 16), 8);
  EXPECT_EQ(text(buffer), u"ffffffff");
  EXPECT_EQ(KW_LocaleToString(0xFC09, buffer, 3), -1);
  EXPECT_EQ(KW_LocaleToString(0xFC09, buffer, 4), 4);
}

TEST_F(Locales, ReleasedListStaysEmpty) {
  ASSERT_EQ(KW_IsLocale(0x0409), 1);
  kwuni::catalogue::releaseLocaleList();
  kwuni::catalogue::releaseLocaleList();
  EXPECT_EQ(KW_IsLocale(0x0409), 0);
  EXPECT_TRUE(enumerate(LCID_SUPPORTED | KW_ENUM_SPECIAL).empty());
  EXPECT_EQ(description(0x0409), u"All Locales");
  EXPECT_EQ(KW_GetLocaleInfo(0x0411, KW_LOCALE_INLV, nullptr, 0), 0);
}

TEST_F(Locales, ThreadsAskingFirstGetOneList) {
  std::vector<LCID> found(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < found.size(); ++i) {
    threads.emplace_back([&found, i] { found[i] = KW_GetLocaleCode(u"Japanese (Japan)"); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(std::count(found.begin(), found.end(), 0x0411u), 8);
}

// ---- Number formats ----------------------------------------------------------------------------

int CALLBACK collectAndStop(const WCHAR* pattern, long list) {
  reinterpret_cast<std::vector<std::u16string>*>(list)->emplace_back(pattern);
  return 0;
}

TEST_F(Locales, NumberFormatsOfAllLocalesComeOnceInListOrder) {
  std::vector<std::u16string> patterns;
  // A callback's 0 does not end the walk over the locales.
  EXPECT_EQ(KW_EnumNumericFormats(collectAndStop, KW_ALL_LOCALES, reinterpret_cast<long>(&patterns)), 1);
  ASSERT_GT(patterns.size(), 1u);
  EXPECT_EQ(std::set<std::u16string>(patterns.begin(), patterns.end()).size(), patterns.size());
  WCHAR first[64];
  KW_GetLocaleInfo(localeList()[1].lcid, KW_LOCALE_SNUMBERFORMAT, first, 64);
  EXPECT_EQ(patterns.front(), first);
  for (const auto& p : patterns) {
    EXPECT_EQ(p.front(), u'#');
    EXPECT_NE(p.find(u';'), std::u16string::npos);
  }

  std::vector<std::u16string> one;
  EXPECT_EQ(KW_EnumNumericFormats(collectAndStop, 0x0409, reinterpret_cast<long>(&one)), 0);
  EXPECT_EQ(one, std::vector<std::u16string>{u"#,##0;-#,##0"});
}

TEST_F(Locales, NumberFormatFitsItsBuffer) {
  WCHAR small[5];
  EXPECT_EQ(KW_GetLocaleInfo(0x0409, KW_LOCALE_SNUMBERFORMAT, small, 5), 12);
  EXPECT_EQ(text(small), u"#,##");
}

}  // namespace
