#include <kwuni/locales.h>

#include "catalogue/locale_list.h"
#include "platform/locale.h"
#include "platform/version.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::u16string text(const WCHAR* p) { return p == nullptr ? std::u16string() : std::u16string(p); }

struct Offered {
  std::u16string text;
  CALID calendar;
  bool operator==(const Offered&) const = default;
};

int CALLBACK collectRow(const WCHAR* t, CALID calendar, long list) {
  reinterpret_cast<std::vector<Offered>*>(list)->push_back({t, calendar});
  return 1;
}

std::vector<Offered> rows(LCID locale, CALID calendar, CALTYPE type, int expected = 1) {
  std::vector<Offered> out;
  EXPECT_EQ(KW_EnumCalendarInfoEx(collectRow, locale, calendar, type, reinterpret_cast<long>(&out)), expected);
  return out;
}

int CALLBACK collectText(const WCHAR* t, long list) {
  reinterpret_cast<std::vector<std::u16string>*>(list)->emplace_back(t);
  return 1;
}

// The texts of a gathered buffer, each terminated, up to the final terminator.
std::vector<std::u16string> split(const WCHAR* buffer, int used) {
  std::vector<std::u16string> texts;
  for (int i = 0; i + 1 < used;) {
    texts.emplace_back(buffer + i);
    i += static_cast<int>(texts.back().size()) + 1;
  }
  return texts;
}

class Calendars : public ::testing::Test {
 protected:
  void SetUp() override {
    sys::testing::setLocale("en_US");
    kwuni::catalogue::testing::rebuildLocaleList();
  }
  void TearDown() override {
    sys::testing::setLocale(nullptr);
    sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
    kwuni::catalogue::testing::rebuildLocaleList();
  }
};

TEST_F(Calendars, EraRowsOfALocale) {
  const std::vector<Offered> eras = {{u"CE", 1}, {u"CE", 2}, {u"平成", 3}, {u"昭和", 3}, {u"大正", 3}, {u"明治", 3}};
  EXPECT_EQ(rows(0x0411, ENUM_ALL_CALENDARS, CAL_SERASTRING), eras);
  // Rows without a description (the older eras, the locales' own Gregorian rows) have no id.
  EXPECT_EQ(rows(0x0411, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE),
            (std::vector<Offered>{{u"1", 1}, {u"2", 2}, {u"3", 3}}));
  EXPECT_EQ(rows(0x0412, CAL_KOREA, KW_CAL_SERANAMELATIN), (std::vector<Offered>{{u"Tangun", 5}}));
  EXPECT_EQ(rows(0x0412, CAL_KOREA, CAL_IYEAROFFSETRANGE), (std::vector<Offered>{{u"2333", 5}}));
  EXPECT_EQ(rows(0x0404, CAL_TAIWAN, KW_CAL_SERANAMELATIN), (std::vector<Offered>{{u"", 4}}));
  EXPECT_EQ(rows(0x041E, CAL_THAI, CAL_IYEAROFFSETRANGE), (std::vector<Offered>{{u"543", 7}}));
  EXPECT_EQ(rows(LOCALE_USER_DEFAULT, ENUM_ALL_CALENDARS, CAL_SERASTRING), (std::vector<Offered>{{u"CE", 1}}));
  EXPECT_EQ(rows(KW_ALL_LOCALES, ENUM_ALL_CALENDARS, CAL_SERASTRING).size(), 11u);
  EXPECT_EQ(rows(0x0411, CAL_SSHORTDATE, CAL_SERASTRING).size(), 0u);  // no calendar 5 rows for Japan
  EXPECT_TRUE(rows(0x0411, ENUM_ALL_CALENDARS, CAL_SSHORTDATE, 0).empty());  // not the catalogue's type
  EXPECT_TRUE(rows(0x0411, ENUM_ALL_CALENDARS, 0, 0).empty());
}

TEST_F(Calendars, AStoppedEnumerationSaysSo) {
  int calls = 0;
  EXPECT_EQ(KW_EnumCalendarInfoEx([](const WCHAR*, CALID, long n) -> int { return ++*reinterpret_cast<int*>(n) < 2; },
                                  0x0411, ENUM_ALL_CALENDARS, CAL_SERASTRING, reinterpret_cast<long>(&calls)),
            0);
  EXPECT_EQ(calls, 2);
}

TEST_F(Calendars, GatheredInformationWithItsFallbacks) {
  struct Case {
    LCID locale;
    CALID calendar;
    CALTYPE type;
    int size;
    int used;
    std::vector<std::u16string> texts;
  };
  const Case cases[] = {
      {0x0411, CAL_JAPAN, CAL_SERASTRING, 64, 13, {u"平成", u"昭和", u"大正", u"明治"}},
      // Nothing for en-US: the Japanese calendar's own locale answers.
      {0x0409, CAL_JAPAN, KW_CAL_SYEARSUFFIX, 64, 6, {u"年", u"", u"", u""}},
      {0x0411, CAL_JAPAN, CAL_SERASTRING, 4, 4, {u"平成"}},  // what no longer fits is cut
      {0x0411, CAL_JAPAN, CAL_SERASTRING, 3, 3, {u"平"}},
      {0x0412, 9, CAL_SERASTRING, 64, 4, {u"CE"}},          // unlisted calendar: Gregorian of the locale
      {0x0409, CAL_THAI, KW_CAL_SDAYSUFFIX, 64, 2, {u""}},  // the Thai row has no suffix: one empty text
      {0x0411, CAL_GREGORIAN, CAL_SSHORTDATE, 64, 12, {u"yyyy/MM/dd"}},  // the system's answer
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.locale) + "/" + std::to_string(c.calendar) + "/" + std::to_string(c.type));
    std::vector<WCHAR> buffer(static_cast<std::size_t>(c.size), u'#');
    const int used = KW_GetCalendarInfo(c.locale, c.calendar, c.type, buffer.data(), c.size);
    EXPECT_EQ(used, c.used);
    EXPECT_EQ(split(buffer.data(), used), c.texts);
    EXPECT_EQ(buffer[static_cast<std::size_t>(used) - 1], 0);
  }
  WCHAR one[1] = {u'#'};
  EXPECT_EQ(KW_GetCalendarInfo(0x0411, CAL_JAPAN, CAL_SERASTRING, one, 1), 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(KW_GetCalendarInfo(0x0411, CAL_JAPAN, CAL_SERASTRING, nullptr, 8), 0);
}

TEST_F(Calendars, DescriptionsCodesAndValidity) {
  EXPECT_EQ(text(KW_GetCalendarDesc(6)), u"6 - Unsupported Calendar");
  for (const CALID id : {1u, 2u, 3u, 4u, 5u, 7u}) {
    SCOPED_TRACE(id);
    const std::u16string description = text(KW_GetCalendarDesc(id));
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(KW_GetCalendarCode(description.c_str()), id);
    EXPECT_EQ(KW_IsCalendar(id), 1);
    EXPECT_EQ(KW_IsValidCalendar(id, CP_INSTALLED), 1);
  }
  EXPECT_EQ(KW_GetCalendarCode(u"no such calendar"), 0u);
  EXPECT_EQ(KW_IsCalendar(6), 0);
  EXPECT_EQ(KW_TranslateCalendarInfo(3), 128);
  EXPECT_EQ(KW_TranslateCalendarInfo(1), 0);
  EXPECT_EQ(KW_TranslateCalendarInfo(6), 0);
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(KW_IsValidCalendar(3, CP_INSTALLED), 0);
  EXPECT_EQ(KW_IsValidCalendar(3, 0), 1);
  EXPECT_EQ(KW_IsValidCalendar(1, CP_SUPPORTED), 1);
  // Rows the system cannot display are left out of an enumeration.
  EXPECT_EQ(rows(0x0411, ENUM_ALL_CALENDARS, CAL_SERASTRING), (std::vector<Offered>{{u"CE", 1}, {u"CE", 2}}));
}

TEST_F(Calendars, DefaultCalendarsFollowTheLocale) {
  EXPECT_EQ(KW_GetSystemDefaultCALID(), CAL_GREGORIAN);
  sys::testing::setLocale("th_TH");
  EXPECT_EQ(KW_GetSystemDefaultCALID(), CAL_THAI);
  EXPECT_EQ(KW_GetUserDefaultCALID(), CAL_THAI);
}

TEST_F(Calendars, SystemCalendarInformationPassesThrough) {
  std::vector<std::u16string> ids;
  EXPECT_EQ(KW_EnumCalendarInfo(collectText, 0x0411, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE, reinterpret_cast<long>(&ids)),
            1);
  EXPECT_EQ(ids, (std::vector<std::u16string>{u"1", u"3"}));
}

TEST_F(Calendars, DateFormatsComeOncePerCall) {
  std::vector<std::u16string> american;
  EXPECT_EQ(KW_EnumDateFormats(collectText, 0x0409, DATE_SHORTDATE, reinterpret_cast<long>(&american)), 1);
  ASSERT_FALSE(american.empty());
  EXPECT_EQ(american.front(), u"M/d/yyyy");

  std::vector<std::u16string> all;
  EXPECT_EQ(KW_EnumDateFormats(collectText, KW_ALL_LOCALES, DATE_SHORTDATE, reinterpret_cast<long>(&all)), 1);
  EXPECT_EQ(std::set<std::u16string>(all.begin(), all.end()).size(), all.size());
  EXPECT_GT(all.size(), american.size());
  EXPECT_NE(std::find(all.begin(), all.end(), u"yyyy/MM/dd"), all.end());

  // A callback's 0 ends one locale's formats.
  std::vector<std::u16string> first;
  EXPECT_EQ(KW_EnumDateFormats([](const WCHAR* f, long list) -> int { return collectText(f, list) - 1; }, 0x0409,
                               DATE_SHORTDATE, reinterpret_cast<long>(&first)),
            1);
  EXPECT_EQ(first.size(), 1u);
}

}  // namespace
