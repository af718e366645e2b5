#include "platform/locale_info.h"

#include "platform/locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The answer of GetLocaleInfoW, asked as a caller does: size first, then the text.
std::u16string info(LCID lcid, LCTYPE type) {
  const int needed = sys::GetLocaleInfoW(lcid, type, nullptr, 0);
  if (needed <= 0) return u"<none>";
  std::u16string text(static_cast<std::size_t>(needed), u'\0');
  EXPECT_EQ(sys::GetLocaleInfoW(lcid, type, text.data(), needed), needed);
  EXPECT_EQ(text.back(), u'\0');
  text.pop_back();
  return text;
}

std::vector<std::u16string> collected;

BOOL CALLBACK collect(LPWSTR text) {
  collected.emplace_back(text);
  return TRUE;
}

BOOL CALLBACK collectTwo(LPWSTR text) {
  collected.emplace_back(text);
  return collected.size() < 2 ? TRUE : FALSE;
}

class LocaleInfo : public ::testing::Test {
 protected:
  void SetUp() override { collected.clear(); }
  void TearDown() override { sys::testing::setLocale(nullptr); }
};

struct Answer {
  LCID lcid;
  LCTYPE type;
  std::u16string_view expected;
};

// Windows 10's answers.
constexpr Answer windowsAnswers[] = {
    {0x0409, LOCALE_ILANGUAGE, u"0409"},
    {0x0409, LOCALE_SLANGUAGE, u"English (United States)"},
    {0x0409, LOCALE_SENGLANGUAGE, u"English"},
    {0x0409, LOCALE_SENGCOUNTRY, u"United States"},
    {0x0409, LOCALE_SCOUNTRY, u"United States"},
    {0x0409, LOCALE_SNATIVELANGNAME, u"English"},
    {0x0409, LOCALE_ICOUNTRY, u"1"},
    {0x0409, LOCALE_IDEFAULTCODEPAGE, u"437"},
    {0x0409, LOCALE_IDEFAULTANSICODEPAGE, u"1252"},
    {0x0409, LOCALE_SDECIMAL, u"."},
    {0x0409, LOCALE_STHOUSAND, u","},
    {0x0409, LOCALE_SGROUPING, u"3;0"},
    {0x0409, LOCALE_ILZERO, u"1"},
    {0x0409, LOCALE_INEGNUMBER, u"1"},
    {0x0409, LOCALE_SCURRENCY, u"$"},
    {0x0409, LOCALE_SSHORTDATE, u"M/d/yyyy"},
    {0x0409, LOCALE_SLONGDATE, u"dddd, MMMM d, yyyy"},
    {0x0409, LOCALE_SYEARMONTH, u"MMMM yyyy"},
    {0x0409, LOCALE_SMONTHDAY, u"MMMM d"},
    {0x0409, LOCALE_SDATE, u"/"},
    {0x0409, LOCALE_STIME, u":"},
    {0x0409, LOCALE_S1159, u"AM"},
    {0x0409, LOCALE_S2359, u"PM"},
    {0x0409, LOCALE_SISO639LANGNAME, u"en"},
    {0x0409, LOCALE_SISO3166CTRYNAME, u"US"},
    {0x0409, LOCALE_SNAME, u"en-US"},
    {0x0409, LOCALE_ICALENDARTYPE, u"1"},
    {0x0409, LOCALE_SDAYNAME1, u"Monday"},
    {0x0409, LOCALE_SDAYNAME1 + 6, u"Sunday"},
    {0x0409, LOCALE_SABBREVDAYNAME1 + 2, u"Wed"},
    {0x0409, LOCALE_SMONTHNAME1, u"January"},
    {0x0409, LOCALE_SMONTHNAME1 + 11, u"December"},
    {0x0409, LOCALE_SABBREVMONTHNAME1 + 8, u"Sep"},
    {0x0407, LOCALE_SLANGUAGE, u"German (Germany)"},
    {0x0407, LOCALE_SNATIVELANGNAME, u"Deutsch"},
    {0x0407, LOCALE_SNATIVECTRYNAME, u"Deutschland"},
    {0x0407, LOCALE_ICOUNTRY, u"49"},
    {0x0407, LOCALE_IDEFAULTCODEPAGE, u"850"},
    {0x0407, LOCALE_IDEFAULTANSICODEPAGE, u"1252"},
    {0x0407, LOCALE_SDECIMAL, u","},
    {0x0407, LOCALE_STHOUSAND, u"."},
    {0x0407, LOCALE_SCURRENCY, u"€"},
    {0x0407, LOCALE_SSHORTDATE, u"dd.MM.yyyy"},
    {0x0407, LOCALE_SLONGDATE, u"dddd, d. MMMM yyyy"},
    {0x0407, LOCALE_SYEARMONTH, u"MMMM yyyy"},
    {0x0407, LOCALE_SDATE, u"."},
    {0x0407, LOCALE_SDAYNAME1, u"Montag"},
    {0x0407, LOCALE_SABBREVDAYNAME1, u"Mo"},
    {0x0407, LOCALE_SMONTHNAME1 + 2, u"März"},
    {0x0407, LOCALE_SNAME, u"de-DE"},
    {0x0411, LOCALE_ILANGUAGE, u"0411"},
    {0x0411, LOCALE_SLANGUAGE, u"Japanese (Japan)"},
    {0x0411, LOCALE_SENGLANGUAGE, u"Japanese"},
    {0x0411, LOCALE_SENGCOUNTRY, u"Japan"},
    {0x0411, LOCALE_SNATIVELANGNAME, u"日本語"},
    {0x0411, LOCALE_SNATIVECTRYNAME, u"日本"},
    {0x0411, LOCALE_ICOUNTRY, u"81"},
    {0x0411, LOCALE_IDEFAULTCODEPAGE, u"932"},
    {0x0411, LOCALE_IDEFAULTANSICODEPAGE, u"932"},
    {0x0411, LOCALE_SCURRENCY, u"¥"},
    {0x0411, LOCALE_SSHORTDATE, u"yyyy/MM/dd"},
    {0x0411, LOCALE_SLONGDATE, u"yyyy'年'M'月'd'日'"},
    {0x0411, LOCALE_SYEARMONTH, u"yyyy'年'M'月'"},
    {0x0411, LOCALE_SMONTHDAY, u"M'月'd'日'"},
    {0x0411, LOCALE_SISO639LANGNAME, u"ja"},
    {0x0411, LOCALE_SISO3166CTRYNAME, u"JP"},
    {0x0411, LOCALE_SNAME, u"ja-JP"},
    {0x0411, LOCALE_ICALENDARTYPE, u"1"},
    {0x0411, LOCALE_SDAYNAME1, u"月曜日"},
    {0x0411, LOCALE_SABBREVDAYNAME1 + 6, u"日"},
    {0x0411, LOCALE_SMONTHNAME1, u"1月"},
    {0x0401, LOCALE_SLANGUAGE, u"Arabic (Saudi Arabia)"},
    {0x0401, LOCALE_ICOUNTRY, u"966"},
    {0x0401, LOCALE_IDEFAULTCODEPAGE, u"720"},
    {0x0401, LOCALE_IDEFAULTANSICODEPAGE, u"1256"},
    {0x0401, LOCALE_SDECIMAL, u"."},
    {0x0401, LOCALE_STHOUSAND, u","},
    {0x0401, LOCALE_SSHORTDATE, u"dd/MM/yy"},
    {0x0401, LOCALE_SLONGDATE, u"dd/MMMM/yyyy"},
    {0x0401, LOCALE_ICALENDARTYPE, u"23"},
    {0x0401, LOCALE_SNAME, u"ar-SA"},
    {0x041E, LOCALE_ILANGUAGE, u"041e"},
    {0x041E, LOCALE_SLANGUAGE, u"Thai (Thailand)"},
    {0x041E, LOCALE_SNATIVELANGNAME, u"ไทย"},
    {0x041E, LOCALE_ICOUNTRY, u"66"},
    {0x041E, LOCALE_IDEFAULTCODEPAGE, u"874"},
    {0x041E, LOCALE_IDEFAULTANSICODEPAGE, u"874"},
    {0x041E, LOCALE_SCURRENCY, u"฿"},
    {0x041E, LOCALE_SSHORTDATE, u"d/M/yyyy"},
    {0x041E, LOCALE_SLONGDATE, u"d MMMM yyyy"},
    {0x041E, LOCALE_SYEARMONTH, u"MMMM yyyy"},
    {0x041E, LOCALE_ICALENDARTYPE, u"7"},
    {0x041E, LOCALE_IOPTIONALCALENDAR, u"7"},
    {0x041E, LOCALE_SMONTHNAME1, u"มกราคม"},
    {0x0404, LOCALE_SLANGUAGE, u"Chinese (Traditional, Taiwan)"},
    {0x0404, LOCALE_SENGLANGUAGE, u"Chinese (Traditional)"},
    {0x0404, LOCALE_SENGCOUNTRY, u"Taiwan"},
    {0x0404, LOCALE_SNATIVECTRYNAME, u"台灣"},
    {0x0404, LOCALE_ICOUNTRY, u"886"},
    {0x0404, LOCALE_IDEFAULTCODEPAGE, u"950"},
    {0x0404, LOCALE_SCURRENCY, u"NT$"},
    {0x0404, LOCALE_SSHORTDATE, u"yyyy/M/d"},
    {0x0404, LOCALE_SLONGDATE, u"yyyy'年'M'月'd'日'"},
    {0x0404, LOCALE_SYEARMONTH, u"yyyy'年'M'月'"},
    {0x0404, LOCALE_SNAME, u"zh-TW"},
    {0x0404, LOCALE_SISO3166CTRYNAME, u"TW"},
};

TEST_F(LocaleInfo, AnswersAsWindows) {
  for (const auto& row : windowsAnswers) {
    EXPECT_EQ(utf8(info(row.lcid, row.type)), utf8(std::u16string(row.expected)))
        << std::hex << "lcid 0x" << row.lcid << " type 0x" << row.type;
  }
}
TEST_F(LocaleInfo, BufferSizes) {
  const int needed = sys::GetLocaleInfoW(0x0411, LOCALE_SNAME, nullptr, 0);
  ASSERT_EQ(needed, 6);  // "ja-JP" and its terminator
  std::u16string buffer(8, u'#');
  EXPECT_EQ(sys::GetLocaleInfoW(0x0411, LOCALE_SNAME, buffer.data(), needed - 1), 0);
  EXPECT_EQ(sys::GetLocaleInfoW(0x0411, LOCALE_SNAME, buffer.data(), needed), needed);
  EXPECT_EQ(buffer, std::u16string(u"ja-JP\0##", 8));
  EXPECT_EQ(sys::GetLocaleInfoW(0x0411, LOCALE_SNAME | LOCALE_NOUSEROVERRIDE, buffer.data(), 8), needed);
  EXPECT_EQ(sys::GetLocaleInfoW(0x0411, LOCALE_SNAME, buffer.data(), -1), 0);
  EXPECT_EQ(sys::GetLocaleInfoW(0x0411, 0x7777, buffer.data(), 8), 0);
  EXPECT_EQ(sys::GetLocaleInfoW(0x7C7C, LOCALE_SNAME, buffer.data(), 8), 0);
  EXPECT_EQ(sys::GetLocaleInfoW(0x0C11, LOCALE_SNAME, buffer.data(), 8), 0);  // no such Japanese locale
  EXPECT_EQ(info(0x0009, LOCALE_SNAME), u"en-US");  // a neutral LCID answers for its primary locale
}

TEST_F(LocaleInfo, DefaultLocalesFollowTheProcess) {
  sys::testing::setLocale("ja_JP.UTF-8");
  EXPECT_EQ(info(LOCALE_USER_DEFAULT, LOCALE_SNAME), u"ja-JP");
  EXPECT_EQ(info(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE), u"932");
  sys::testing::setLocale("de_DE");
  EXPECT_EQ(info(LOCALE_USER_DEFAULT, LOCALE_SNAME), u"de-DE");
}

TEST_F(LocaleInfo, CodePagesByCountryAndUnicodeOnlyLocales) {
  const Answer rows[] = {
      {0x0809, LOCALE_IDEFAULTCODEPAGE, u"850"},  {0x0C09, LOCALE_IDEFAULTCODEPAGE, u"850"},
      {0x1009, LOCALE_IDEFAULTCODEPAGE, u"850"},  {0x1C09, LOCALE_IDEFAULTCODEPAGE, u"437"},
      {0x0C0C, LOCALE_IDEFAULTCODEPAGE, u"850"},  {0x0439, LOCALE_IDEFAULTCODEPAGE, u"1"},
      {0x0439, LOCALE_IDEFAULTANSICODEPAGE, u"0"}, {0x0437, LOCALE_IDEFAULTANSICODEPAGE, u"0"},
      {0x042B, LOCALE_IDEFAULTCODEPAGE, u"1"},    {0x0419, LOCALE_IDEFAULTCODEPAGE, u"866"},
      {0x241A, LOCALE_IDEFAULTANSICODEPAGE, u"1250"}, {0x0439, LOCALE_SGROUPING, u"3;2;0"},
      {0x4009, LOCALE_SGROUPING, u"3;2;0"},       {0x040C, LOCALE_STHOUSAND, u"\u202F"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(utf8(info(row.lcid, row.type)), utf8(std::u16string(row.expected))) << std::hex << row.lcid;
  }
  // The process still gets a code page to convert with.
  sys::testing::setLocale("hi_IN");
  EXPECT_EQ(sys::GetACP(), 1252u);
  EXPECT_EQ(sys::GetOEMCP(), 850u);
  sys::testing::setLocale("en_GB");
  EXPECT_EQ(sys::GetOEMCP(), 850u);
}

TEST_F(LocaleInfo, EnumeratesSpecificLocalesOnceInOrder) {
  ASSERT_EQ(sys::EnumSystemLocalesW(collect, LCID_SUPPORTED), TRUE);
  ASSERT_GT(collected.size(), 150u);
  std::vector<unsigned long> lcids;
  for (const auto& text : collected) {
    ASSERT_EQ(text.size(), 8u);
    for (const char16_t c : text) EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << utf8(text);
    lcids.push_back(std::stoul(utf8(text), nullptr, 16));
  }
  for (std::size_t i = 1; i < lcids.size(); ++i) EXPECT_LT(lcids[i - 1], lcids[i]);
  for (const auto lcid : lcids) {
    EXPECT_NE(lcid >> 10, 0u) << std::hex << lcid;
    EXPECT_GT(sys::GetLocaleInfoW(static_cast<LCID>(lcid), LOCALE_SNAME, nullptr, 0), 1) << std::hex << lcid;
  }
  const auto has = [&lcids](unsigned long lcid) { return std::find(lcids.begin(), lcids.end(), lcid) != lcids.end(); };
  EXPECT_TRUE(has(0x0409));
  EXPECT_TRUE(has(0x0411));
  EXPECT_TRUE(has(0x0809));
  EXPECT_FALSE(has(0x0009));
  EXPECT_EQ(sys::EnumSystemLocalesW(nullptr, LCID_INSTALLED), FALSE);
  collected.clear();
  EXPECT_EQ(sys::EnumSystemLocalesW(collectTwo, LCID_INSTALLED), TRUE);
  EXPECT_EQ(collected.size(), 2u);
}

TEST_F(LocaleInfo, ComparesByCollation) {
  struct Case { LCID lcid; DWORD flags; std::u16string_view a, b; int expected; };
  const Case cases[] = {
      {0x0409, 0, u"apple", u"Banana", CSTR_LESS_THAN},
      {0x0409, 0, u"b", u"a", CSTR_GREATER_THAN},
      {0x0409, 0, u"abc", u"ABC", CSTR_LESS_THAN},
      {0x0409, NORM_IGNORECASE, u"abc", u"ABC", CSTR_EQUAL},
      {0x0409, NORM_IGNORECASE, u"résumé", u"RESUME", CSTR_GREATER_THAN},
      {0x0409, NORM_IGNORENONSPACE | NORM_IGNORECASE, u"résumé", u"RESUME", CSTR_EQUAL},
      {0x0407, 0, u"Äpfel", u"Birne", CSTR_LESS_THAN},
      {0x041D, 0, u"ö", u"z", CSTR_GREATER_THAN},  // Swedish sorts ö after z
      {0x0409, 0, u"", u"a", CSTR_LESS_THAN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sys::CompareStringW(c.lcid, c.flags, c.a.data(), static_cast<int>(c.a.size()), c.b.data(),
                                  static_cast<int>(c.b.size())),
              c.expected)
        << utf8(std::u16string(c.a)) << " / " << utf8(std::u16string(c.b));
  }
  EXPECT_EQ(sys::CompareStringW(0x0409, 0, u"abc", -1, u"abcd", 3), CSTR_EQUAL);
  EXPECT_EQ(sys::CompareStringW(0x0409, 0, nullptr, -1, u"a", -1), 0);
  EXPECT_EQ(sys::CompareStringW(0x0409, 0, u"a", -2, u"a", -1), 0);
}

TEST_F(LocaleInfo, ClassifiesCharacters) {
  const std::u16string text = u"Aa5 \t,\x01\u00A0\u3000\u0661\u00E9\u0301$\uFFFFf";
  const WORD expected[] = {
      C1_UPPER | C1_ALPHA | C1_XDIGIT | C1_DEFINED,
      C1_LOWER | C1_ALPHA | C1_XDIGIT | C1_DEFINED,
      C1_DIGIT | C1_XDIGIT | C1_DEFINED,
      C1_SPACE | C1_BLANK | C1_DEFINED,
      C1_SPACE | C1_BLANK | C1_CNTRL | C1_DEFINED,
      C1_PUNCT | C1_DEFINED,
      C1_CNTRL | C1_DEFINED,
      C1_SPACE | C1_BLANK | C1_DEFINED,
      C1_SPACE | C1_BLANK | C1_DEFINED,
      C1_DIGIT | C1_DEFINED,
      C1_LOWER | C1_ALPHA | C1_DEFINED,
      C1_ALPHA | C1_DEFINED,
      C1_PUNCT | C1_DEFINED,
      0,
      C1_LOWER | C1_ALPHA | C1_XDIGIT | C1_DEFINED,
  };
  ASSERT_EQ(text.size(), std::size(expected));
  std::vector<WORD> types(text.size() + 1, 0xFFFF);
  ASSERT_EQ(sys::GetStringTypeExW(0x0409, CT_CTYPE1, text.data(), static_cast<int>(text.size()), types.data()), TRUE);
  for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(types[i], expected[i]) << "at " << i;
  EXPECT_EQ(types.back(), 0xFFFF);  // nothing past the length
  ASSERT_EQ(sys::GetStringTypeExW(0x0409, CT_CTYPE1, u"a", -1, types.data()), TRUE);
  EXPECT_EQ(types[1], C1_CNTRL | C1_DEFINED);  // the terminator
  EXPECT_EQ(sys::GetStringTypeExW(0x0409, 2, u"a", 1, types.data()), FALSE);
  EXPECT_EQ(sys::GetStringTypeExW(0x0409, CT_CTYPE1, nullptr, 1, types.data()), FALSE);
}

TEST_F(LocaleInfo, CalendarsOfJapan) {
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"1", u"3"}));
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, ENUM_ALL_CALENDARS, CAL_SCALNAME), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"Gregorian Calendar", u"Japanese Calendar"}));
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_JAPAN, CAL_SERASTRING), TRUE);
  ASSERT_GE(collected.size(), 5u);
  EXPECT_EQ(utf8(collected[0]), "令和");
  EXPECT_EQ(utf8(collected[1]), "平成");
  EXPECT_EQ(utf8(collected[4]), "明治");
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_JAPAN, CAL_SABBREVERASTRING), TRUE);
  EXPECT_EQ(utf8(collected[0]), "令");
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_JAPAN, CAL_IYEAROFFSETRANGE), TRUE);
  ASSERT_GE(collected.size(), 5u);
  EXPECT_EQ(collected[0], u"2019");
  EXPECT_EQ(collected[3], u"1912");
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_GREGORIAN, CAL_SSHORTDATE), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"yyyy/MM/dd"}));
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_JAPAN, CAL_SLONGDATE), TRUE);
  ASSERT_EQ(collected.size(), 1u);
  EXPECT_NE(collected[0].find(u"gg"), std::u16string::npos) << utf8(collected[0]);
  EXPECT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, 99, CAL_SSHORTDATE), FALSE);
  EXPECT_EQ(sys::EnumCalendarInfoW(collect, 0x0411, CAL_JAPAN, 0x7777), FALSE);
  EXPECT_EQ(sys::EnumCalendarInfoW(nullptr, 0x0411, CAL_JAPAN, CAL_SCALNAME), FALSE);
}

TEST_F(LocaleInfo, CalendarsOfThailand) {
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x041E, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"7", u"1"}));
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x041E, CAL_THAI, CAL_IYEAROFFSETRANGE), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"-543"}));
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collect, 0x041E, ENUM_ALL_CALENDARS, CAL_SMONTHNAME1), TRUE);
  ASSERT_EQ(collected.size(), 2u);
  EXPECT_EQ(utf8(collected[0]), "มกราคม");
  collected.clear();
  ASSERT_EQ(sys::EnumCalendarInfoW(collectTwo, 0x0401, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE), TRUE);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"23", u"6"}));  // stopped after two
}

TEST_F(LocaleInfo, DateFormats) {
  ASSERT_EQ(sys::EnumDateFormatsW(collect, 0x0409, DATE_SHORTDATE), TRUE);
  ASSERT_GE(collected.size(), 7u);
  EXPECT_EQ(collected[0], u"M/d/yyyy");
  for (const auto* expected : {u"M/d/yy", u"MM/dd/yy", u"MM/dd/yyyy", u"yy/MM/dd", u"yyyy-MM-dd", u"dd-MMM-yy"}) {
    EXPECT_NE(std::find(collected.begin(), collected.end(), expected), collected.end()) << utf8(expected);
  }
  for (std::size_t i = 0; i < collected.size(); ++i) {
    EXPECT_EQ(std::count(collected.begin(), collected.end(), collected[i]), 1) << utf8(collected[i]);
  }
  collected.clear();
  ASSERT_EQ(sys::EnumDateFormatsW(collect, 0x0411, DATE_LONGDATE), TRUE);
  ASSERT_FALSE(collected.empty());
  EXPECT_EQ(utf8(collected[0]), "yyyy'年'M'月'd'日'");
  collected.clear();
  ASSERT_EQ(sys::EnumDateFormatsW(collect, 0x041E, DATE_SHORTDATE), TRUE);
  ASSERT_FALSE(collected.empty());
  EXPECT_EQ(collected[0], u"d/M/yyyy");
  collected.clear();
  ASSERT_EQ(sys::EnumDateFormatsW(collect, 0x0411, DATE_YEARMONTH), TRUE);
  EXPECT_EQ(utf8(collected.at(0)), "yyyy'年'M'月'");
  collected.clear();
  ASSERT_EQ(sys::EnumDateFormatsW(collectTwo, 0x0409, DATE_SHORTDATE), TRUE);
  EXPECT_EQ(collected.size(), 2u);
  EXPECT_EQ(sys::EnumDateFormatsW(collect, 0x0409, 0x4000), FALSE);
  EXPECT_EQ(sys::EnumDateFormatsW(nullptr, 0x0409, DATE_SHORTDATE), FALSE);
}

}  // namespace
