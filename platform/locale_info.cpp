#include "platform/locale_info.h"

#include "platform/date_pictures.h"
#include "platform/locale.h"

#include <unicode/uchar.h>
#include <unicode/ucal.h>
#include <unicode/ucol.h>
#include <unicode/udat.h>
#include <unicode/udatpg.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The answers come from ICU's locale data (CLDR), converted to Windows notation. Where Windows
// answers differently for a common locale, the override table below gives its answer. Known
// differences that remain:
// - names follow CLDR apart from "&" and "SAR China" in English: "Norwegian Bokmål" for
//   Windows' "Norwegian (Bokmål)", "Congo - Kinshasa" for "Congo (DRC)"; native names of
//   Chinese use full-width parentheses;
// - month names are CLDR's stand-alone forms, in lower case in some languages (Russian, Polish)
//   where Windows capitalises them;
// - era strings are CLDR's abbreviations ("AD" for "A.D."), short and long alike but for Japan's;
// - calendar names are English for every locale, where Windows names some in the locale's
//   language;
// - LOCALE_IOPTIONALCALENDAR answers the first calendar of the locale's list, its default;
// - short and long dates of locales not in the table follow CLDR, e.g. pl-PL "d.MM.yyyy" for
//   "dd.MM.yyyy", and the Japanese era calendar's pictures have no space after the era;
// - the alternative date formats are our own choice beyond the default and those of en-US.

namespace sys {
namespace {

constexpr LCTYPE typeMask = ~LOCALE_NOUSEROVERRIDE;
constexpr CALTYPE calendarTypeMask = 0xFFFF;  // without CAL_NOUSEROVERRIDE and CAL_RETURN_NUMBER
constexpr LCID sublanguageShift = 10;

std::u16string ascii(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string decimal(long value) { return ascii(std::to_string(value)); }

// ICU's answers through a fixed buffer: functions of the form f(..., UChar* out, int32_t capacity, UErrorCode*).
template <typename Call>
std::u16string icuText(Call call) {
  std::array<UChar, 256> buffer{};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = call(buffer.data(), static_cast<int32_t>(buffer.size()), &status);
  if (U_FAILURE(status) || length <= 0) return {};
  return {buffer.data(), static_cast<std::size_t>(std::min<int32_t>(length, static_cast<int32_t>(buffer.size())))};
}

std::string withKeyword(const std::string& locale, const char* keyword, const char* value) {
  std::array<char, ULOC_FULLNAME_CAPACITY> buffer{};
  locale.copy(buffer.data(), buffer.size() - 1);
  UErrorCode status = U_ZERO_ERROR;
  uloc_setKeywordValue(keyword, value, buffer.data(), static_cast<int32_t>(buffer.size()), &status);
  return U_SUCCESS(status) ? std::string(buffer.data()) : locale;
}

// A locale as ICU names it ("zh_Hant_TW") with its parts.
struct Locale {
  LCID lcid = 0;
  std::string id;
  std::string language;
  std::string script;
  std::string country;
};

std::optional<Locale> localeOf(LCID lcid) {
  lcid = ConvertDefaultLocale(lcid);
  std::array<char, ULOC_FULLNAME_CAPACITY> name{};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = uloc_getLocaleForLCID(lcid, name.data(), static_cast<int32_t>(name.size()), &status);
  // For an LCID it does not know ICU names the language (0x0C11 is "ja"): take only exact answers.
  if (U_FAILURE(status) || length <= 0 || uloc_getLCID(name.data()) != lcid) return std::nullopt;
  Locale locale{lcid, name.data(), {}, {}, {}};
  std::array<char, ULOC_FULLNAME_CAPACITY> part{};
  status = U_ZERO_ERROR;
  uloc_getLanguage(name.data(), part.data(), static_cast<int32_t>(part.size()), &status);
  locale.language = part.data();
  uloc_getScript(name.data(), part.data(), static_cast<int32_t>(part.size()), &status);
  locale.script = part.data();
  uloc_getCountry(name.data(), part.data(), static_cast<int32_t>(part.size()), &status);
  locale.country = part.data();
  if (U_FAILURE(status) || locale.language.empty()) return std::nullopt;
  return locale;
}

// The Windows name: a BCP 47 tag that keeps the script except for Chinese ("zh-TW", "sr-Latn-RS").
std::string windowsName(const Locale& locale) {
  std::string name = locale.language;
  if (!locale.script.empty() && locale.language != "zh") name += "-" + locale.script;
  if (!locale.country.empty()) name += "-" + locale.country;
  return name;
}

// Windows' answers where ICU's data differ, by Windows name or by language.
struct Override {
  std::string_view locale;
  LCTYPE type;
  std::u16string_view text;
};

constexpr Override overrides[] = {
    {"ja", LOCALE_SCURRENCY, u"\u00A5"},
    {"ja", LOCALE_SLONGDATE, u"yyyy'年'M'月'd'日'"},
    {"zh", LOCALE_SLONGDATE, u"yyyy'年'M'月'd'日'"},
    {"th", LOCALE_SLONGDATE, u"d MMMM yyyy"},
    {"zh-TW", LOCALE_SCURRENCY, u"NT$"},
    {"ko", LOCALE_SSHORTDATE, u"yyyy-MM-dd"},
    {"ko", LOCALE_SLONGDATE, u"yyyy'년' M'월' d'일' dddd"},
    {"ar-SA", LOCALE_SSHORTDATE, u"dd/MM/yy"},
    {"ar-SA", LOCALE_SLONGDATE, u"dd/MMMM/yyyy"},
    {"es-ES", LOCALE_SSHORTDATE, u"dd/MM/yyyy"},
    {"nl-NL", LOCALE_SSHORTDATE, u"d-M-yyyy"},
};

std::optional<std::u16string> overrideOf(const Locale& locale, LCTYPE type) {
  const std::string name = windowsName(locale);
  for (const std::string_view key : {std::string_view(name), std::string_view(locale.language)}) {
    for (const auto& row : overrides) {
      if (row.locale == key && row.type == type) return std::u16string(row.text);
    }
  }
  return std::nullopt;
}

// International dialling codes by ISO 3166 country.
struct DiallingCode {
  std::string_view country;
  int code;
};

constexpr DiallingCode diallingCodes[] = {
    {"US", 1},   {"CA", 1},   {"PR", 1},   {"JM", 1},   {"TT", 1},   {"DO", 1},   {"EG", 20},  {"ZA", 27},
    {"GR", 30},  {"NL", 31},  {"BE", 32},  {"FR", 33},  {"ES", 34},  {"HU", 36},  {"IT", 39},  {"RO", 40},
    {"CH", 41},  {"AT", 43},  {"GB", 44},  {"DK", 45},  {"SE", 46},  {"NO", 47},  {"PL", 48},  {"DE", 49},
    {"PE", 51},  {"MX", 52},  {"CU", 53},  {"AR", 54},  {"BR", 55},  {"CL", 56},  {"CO", 57},  {"VE", 58},
    {"MY", 60},  {"AU", 61},  {"ID", 62},  {"PH", 63},  {"NZ", 64},  {"SG", 65},  {"TH", 66},  {"RU", 7},
    {"KZ", 7},   {"JP", 81},  {"KR", 82},  {"VN", 84},  {"CN", 86},  {"TR", 90},  {"IN", 91},  {"PK", 92},
    {"AF", 93},  {"LK", 94},  {"MM", 95},  {"IR", 98},  {"MA", 212}, {"DZ", 213}, {"TN", 216}, {"LY", 218},
    {"SN", 221}, {"ML", 223}, {"CI", 225}, {"NG", 234}, {"ET", 251}, {"KE", 254}, {"TZ", 255}, {"RW", 250},
    {"ZW", 263}, {"ER", 291}, {"PT", 351}, {"LU", 352}, {"IE", 353}, {"IS", 354}, {"AL", 355}, {"MT", 356},
    {"FI", 358}, {"BG", 359}, {"LT", 370}, {"LV", 371}, {"EE", 372}, {"MD", 373}, {"AM", 374}, {"BY", 375},
    {"MC", 377}, {"UA", 380}, {"RS", 381}, {"ME", 382}, {"HR", 385}, {"SI", 386}, {"BA", 387}, {"MK", 389},
    {"CZ", 420}, {"SK", 421}, {"LI", 423}, {"BZ", 501}, {"GT", 502}, {"SV", 503}, {"HN", 504}, {"NI", 505},
    {"CR", 506}, {"PA", 507}, {"BO", 591}, {"EC", 593}, {"PY", 595}, {"UY", 598}, {"BN", 673}, {"HK", 852},
    {"MO", 853}, {"KH", 855}, {"LA", 856}, {"BD", 880}, {"TW", 886}, {"MV", 960}, {"LB", 961}, {"JO", 962},
    {"SY", 963}, {"IQ", 964}, {"KW", 965}, {"SA", 966}, {"YE", 967}, {"OM", 968}, {"AE", 971}, {"IL", 972},
    {"BH", 973}, {"QA", 974}, {"BT", 975}, {"MN", 976}, {"NP", 977}, {"TJ", 992}, {"TM", 993}, {"AZ", 994},
    {"GE", 995}, {"KG", 996}, {"UZ", 998}, {"GL", 299}, {"FO", 298},
};

// Windows calendars and their ICU counterparts.
struct CalendarKind {
  CALID id;
  const char* icu;
  std::u16string_view name;
  std::u16string_view yearOffset;  // empty: one per era (Japan)
};

constexpr CalendarKind calendarKinds[] = {
    {CAL_GREGORIAN, "gregorian", u"Gregorian Calendar", u"0"},
    {CAL_GREGORIAN_US, "gregorian", u"Gregorian Calendar (U.S. English)", u"0"},
    {CAL_JAPAN, "japanese", u"Japanese Calendar", u""},
    {CAL_TAIWAN, "roc", u"Taiwan Calendar", u"1912"},
    {CAL_KOREA, "gregorian", u"Korean Tangun Era Calendar", u"-2333"},
    {CAL_HIJRI, "islamic", u"Hijri Calendar", u"0"},
    {CAL_THAI, "buddhist", u"Thai Buddhist Calendar", u"-543"},
    {CAL_HEBREW, "hebrew", u"Hebrew Calendar", u"0"},
    {CAL_UMALQURA, "islamic-umalqura", u"Um Al-Qura Calendar", u"0"},
};

const CalendarKind* calendarKind(CALID id) {
  const auto* found = std::find_if(std::begin(calendarKinds), std::end(calendarKinds),
                                   [id](const CalendarKind& kind) { return kind.id == id; });
  return found == std::end(calendarKinds) ? nullptr : found;
}

// The calendars of a locale, its default first; Gregorian alone for the rest.
struct LocaleCalendars {
  std::string_view language;
  std::string_view country;
  std::array<CALID, 3> calendars;  // 0 after the last
};

constexpr LocaleCalendars localeCalendars[] = {
    {"en", "US", {CAL_GREGORIAN, CAL_GREGORIAN_US, 0}}, {"ja", "JP", {CAL_GREGORIAN, CAL_JAPAN, 0}},
    {"zh", "TW", {CAL_GREGORIAN, CAL_TAIWAN, 0}},       {"ko", "KR", {CAL_GREGORIAN, CAL_KOREA, 0}},
    {"th", "TH", {CAL_THAI, CAL_GREGORIAN, 0}},         {"ar", "SA", {CAL_UMALQURA, CAL_HIJRI, CAL_GREGORIAN}},
    {"ar", "", {CAL_GREGORIAN, CAL_HIJRI, CAL_UMALQURA}}, {"he", "IL", {CAL_GREGORIAN, CAL_HEBREW, 0}},
};

std::vector<CALID> calendarsOf(const Locale& locale) {
  for (const auto& row : localeCalendars) {
    if (row.language != locale.language || (!row.country.empty() && row.country != locale.country)) continue;
    std::vector<CALID> ids;
    for (const CALID id : row.calendars) {
      if (id != 0) ids.push_back(id);
    }
    return ids;
  }
  return {CAL_GREGORIAN};
}

struct DateFormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};
using DateFormat = std::unique_ptr<UDateFormat, DateFormatCloser>;

std::string calendarLocale(const Locale& locale, const CalendarKind& calendar) {
  return withKeyword(locale.id, "calendar", calendar.icu);
}

DateFormat dateFormat(const std::string& locale, UDateFormatStyle date, UDateFormatStyle time) {
  UErrorCode status = U_ZERO_ERROR;
  DateFormat format(udat_open(time, date, locale.c_str(), nullptr, 0, nullptr, 0, &status));
  if (U_FAILURE(status)) return nullptr;
  return format;
}

std::u16string patternOf(const std::string& locale, UDateFormatStyle date, UDateFormatStyle time = UDAT_NONE) {
  const DateFormat format = dateFormat(locale, date, time);
  if (!format) return {};
  return icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
    return udat_toPattern(format.get(), FALSE, out, capacity, status);
  });
}

std::u16string patternOfSkeleton(const std::string& locale, std::u16string_view skeleton) {
  UErrorCode status = U_ZERO_ERROR;
  UDateTimePatternGenerator* generator = udatpg_open(locale.c_str(), &status);
  if (U_FAILURE(status)) return {};
  std::u16string pattern = icuText([&](UChar* out, int32_t capacity, UErrorCode* error) {
    return udatpg_getBestPattern(generator, skeleton.data(), static_cast<int32_t>(skeleton.size()), out, capacity,
                                 error);
  });
  udatpg_close(generator);
  return pattern;
}

PictureStyle styleOf(const CalendarKind& calendar) { return {calendar.id == CAL_JAPAN, true}; }

// The default picture of one kind (LOCALE_SSHORTDATE, LOCALE_SLONGDATE, LOCALE_SYEARMONTH,
// LOCALE_SMONTHDAY) in one calendar of the locale; the table's answer for the default calendar.
std::u16string pictureOf(const Locale& locale, const CalendarKind& calendar, LCTYPE kind) {
  if (calendar.id == calendarsOf(locale).front()) {
    if (auto text = overrideOf(locale, kind)) return *text;
  }
  const std::string id = calendarLocale(locale, calendar);
  switch (kind) {
    case LOCALE_SSHORTDATE:
      return datePictureOf(patternOf(id, UDAT_SHORT), styleOf(calendar));
    case LOCALE_SLONGDATE:
      return datePictureOf(patternOf(id, UDAT_FULL), styleOf(calendar));
    case LOCALE_SYEARMONTH:
      return datePictureOf(patternOfSkeleton(id, u"yMMMM"), styleOf(calendar));
    default:
      return datePictureOf(patternOfSkeleton(id, u"MMMMd"), styleOf(calendar));
  }
}

// A date symbol of a calendar (udat_getSymbols), empty when there is none.
std::u16string dateSymbol(const Locale& locale, const CalendarKind& calendar, UDateFormatSymbolType type,
                          int32_t index) {
  const DateFormat format = dateFormat(calendarLocale(locale, calendar), UDAT_SHORT, UDAT_NONE);
  if (!format || index >= udat_countSymbols(format.get(), type)) return {};
  return icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
    return udat_getSymbols(format.get(), type, index, out, capacity, status);
  });
}

// Windows numbers days from Monday, ICU from Sunday (1).
int32_t icuWeekday(unsigned mondayBased) { return static_cast<int32_t>((mondayBased + 1) % 7 + 1); }

std::vector<std::u16string> eraTexts(const Locale& locale, const CalendarKind& calendar, UDateFormatSymbolType type) {
  const DateFormat format = dateFormat(calendarLocale(locale, calendar), UDAT_SHORT, UDAT_NONE);
  if (!format) return {};
  const int32_t count = udat_countSymbols(format.get(), type);
  const auto symbol = [&](int32_t index) {
    return icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
      return udat_getSymbols(format.get(), type, index, out, capacity, status);
    });
  };
  if (calendar.id != CAL_JAPAN) return {symbol(count - 1)};  // the current era alone
  // The eras since the calendar's adoption (Meiji, 1868), newest first.
  std::vector<std::u16string> eras;
  UErrorCode status = U_ZERO_ERROR;
  UCalendar* japanese = ucal_open(nullptr, 0, "ja@calendar=japanese", UCAL_DEFAULT, &status);
  for (int32_t era = count - 1; era >= 0 && U_SUCCESS(status); --era) {
    ucal_clear(japanese);
    ucal_set(japanese, UCAL_ERA, era);
    ucal_set(japanese, UCAL_YEAR, 1);
    if (ucal_get(japanese, UCAL_EXTENDED_YEAR, &status) < 1868) break;
    eras.push_back(symbol(era));
  }
  ucal_close(japanese);
  return eras;
}

std::vector<std::u16string> japaneseEraYears() {
  std::vector<std::u16string> years;
  UErrorCode status = U_ZERO_ERROR;
  UCalendar* japanese = ucal_open(nullptr, 0, "ja@calendar=japanese", UCAL_DEFAULT, &status);
  const int32_t count = U_SUCCESS(status) ? ucal_getLimit(japanese, UCAL_ERA, UCAL_MAXIMUM, &status) : -1;
  for (int32_t era = count; era >= 0 && U_SUCCESS(status); --era) {
    ucal_clear(japanese);
    ucal_set(japanese, UCAL_ERA, era);
    ucal_set(japanese, UCAL_YEAR, 1);
    const int32_t year = ucal_get(japanese, UCAL_EXTENDED_YEAR, &status);
    if (year < 1868) break;
    years.push_back(decimal(year));
  }
  ucal_close(japanese);
  return years;
}

// The texts of one calendar item; empty for an item this layer does not know.
std::vector<std::u16string> calendarTexts(const Locale& locale, const CalendarKind& calendar, CALTYPE type) {
  constexpr unsigned days = 7;
  constexpr unsigned months = 12;
  if (type >= CAL_SDAYNAME1 && type < CAL_SDAYNAME1 + days) {
    return {dateSymbol(locale, calendar, UDAT_STANDALONE_WEEKDAYS, icuWeekday(type - CAL_SDAYNAME1))};
  }
  if (type >= CAL_SABBREVDAYNAME1 && type < CAL_SABBREVDAYNAME1 + days) {
    return {dateSymbol(locale, calendar, UDAT_STANDALONE_SHORT_WEEKDAYS, icuWeekday(type - CAL_SABBREVDAYNAME1))};
  }
  if (type >= CAL_SMONTHNAME1 && type < CAL_SMONTHNAME1 + months) {
    return {dateSymbol(locale, calendar, UDAT_STANDALONE_MONTHS, static_cast<int32_t>(type - CAL_SMONTHNAME1))};
  }
  if (type >= CAL_SABBREVMONTHNAME1 && type < CAL_SABBREVMONTHNAME1 + months) {
    return {dateSymbol(locale, calendar, UDAT_STANDALONE_SHORT_MONTHS,
                       static_cast<int32_t>(type - CAL_SABBREVMONTHNAME1))};
  }
  switch (type) {
    case CAL_ICALINTVALUE:
      return {decimal(calendar.id)};
    case CAL_SCALNAME:
      return {std::u16string(calendar.name)};
    case CAL_IYEAROFFSETRANGE:
      if (calendar.yearOffset.empty()) return japaneseEraYears();
      return {std::u16string(calendar.yearOffset)};
    case CAL_SERASTRING:
      return eraTexts(locale, calendar, UDAT_ERAS);
    case CAL_SABBREVERASTRING: {
      // Windows shortens the Japanese eras to their first character (令和: 令).
      std::vector<std::u16string> eras = eraTexts(locale, calendar, UDAT_ERAS);
      if (calendar.id == CAL_JAPAN && locale.language == "ja") {
        for (auto& era : eras) era.resize(std::min<std::size_t>(era.size(), 1));
      }
      return eras;
    }
    case CAL_SSHORTDATE:
      return {pictureOf(locale, calendar, LOCALE_SSHORTDATE)};
    case CAL_SLONGDATE:
      return {pictureOf(locale, calendar, LOCALE_SLONGDATE)};
    case CAL_SYEARMONTH:
      return {pictureOf(locale, calendar, LOCALE_SYEARMONTH)};
    case CAL_SMONTHDAY:
      return {pictureOf(locale, calendar, LOCALE_SMONTHDAY)};
    default:
      return {};
  }
}

struct NumberFormatCloser {
  void operator()(UNumberFormat* format) const { unum_close(format); }
};
using NumberFormat = std::unique_ptr<UNumberFormat, NumberFormatCloser>;

// Windows gives the conventions of Latin digits, whatever digits the locale writes.
NumberFormat numberFormat(const Locale& locale, UNumberFormatStyle style) {
  UErrorCode status = U_ZERO_ERROR;
  const std::string id = withKeyword(locale.id, "numbers", "latn");
  NumberFormat format(unum_open(style, nullptr, 0, id.c_str(), nullptr, &status));
  if (U_FAILURE(status)) return nullptr;
  return format;
}

std::u16string numberSymbol(const Locale& locale, UNumberFormatStyle style, UNumberFormatSymbol symbol) {
  const NumberFormat format = numberFormat(locale, style);
  if (!format) return {};
  return icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
    return unum_getSymbol(format.get(), symbol, out, capacity, status);
  });
}

std::u16string withoutBidiMarks(std::u16string text) {
  std::erase_if(text, [](char16_t c) { return c == 0x200E || c == 0x200F || c == 0x061C; });
  return text;
}

std::u16string grouping(const Locale& locale) {
  const NumberFormat format = numberFormat(locale, UNUM_DECIMAL);
  if (!format || unum_getAttribute(format.get(), UNUM_GROUPING_USED) == 0) return u"0";
  const int32_t primary = unum_getAttribute(format.get(), UNUM_GROUPING_SIZE);
  const int32_t secondary = unum_getAttribute(format.get(), UNUM_SECONDARY_GROUPING_SIZE);
  std::u16string text = decimal(primary);
  if (secondary > 0 && secondary != primary) text += u';' + decimal(secondary);
  return text + u";0";
}

// LOCALE_INEGNUMBER: 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -".
std::u16string negativeNumberMode(const Locale& locale) {
  const NumberFormat format = numberFormat(locale, UNUM_DECIMAL);
  if (!format) return u"1";
  const auto attribute = [&](UNumberFormatTextAttribute which) {
    return withoutBidiMarks(icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
      return unum_getTextAttribute(format.get(), which, out, capacity, status);
    }));
  };
  const std::u16string prefix = attribute(UNUM_NEGATIVE_PREFIX);
  const std::u16string suffix = attribute(UNUM_NEGATIVE_SUFFIX);
  if (prefix.find(u'(') != std::u16string::npos) return u"0";
  if (prefix.empty() && !suffix.empty()) return suffix.front() == u' ' ? u"4" : u"3";
  return prefix.size() > 1 && prefix.back() == u' ' ? u"2" : u"1";
}

// The first separator of a picture's fields, as LOCALE_SDATE and LOCALE_STIME answer it.
std::u16string separatorOf(std::u16string_view picture, std::u16string_view fields) {
  const auto first = picture.find_first_of(fields);
  if (first == std::u16string_view::npos) return {};
  const auto start = picture.find_first_not_of(fields, first);
  if (start == std::u16string_view::npos) return {};
  const auto end = picture.find_first_of(fields, start);
  return std::u16string(picture.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
}

// English names as Windows writes them: "Bosnia and Herzegovina" where CLDR has "&", "Hong Kong
// SAR" without CLDR's "China".
std::u16string windowsEnglish(std::u16string name, const std::string& inLocale) {
  if (inLocale != "en") return name;
  static constexpr std::pair<std::u16string_view, std::u16string_view> replacements[] = {
      {u" & ", u" and "}, {u" SAR China", u" SAR"}};
  for (const auto& [from, to] : replacements) {
    for (auto at = name.find(from); at != std::u16string::npos; at = name.find(from, at + to.size())) {
      name.replace(at, from.size(), to);
    }
  }
  return name;
}

std::u16string displayName(const std::string& id, const std::string& inLocale) {
  return windowsEnglish(icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
                          return uloc_getDisplayName(id.c_str(), inLocale.c_str(), out, capacity, status);
                        }),
                        inLocale);
}

std::u16string countryName(const Locale& locale, const std::string& inLocale) {
  return windowsEnglish(icuText([&](UChar* out, int32_t capacity, UErrorCode* status) {
                          return uloc_getDisplayCountry(locale.id.c_str(), inLocale.c_str(), out, capacity, status);
                        }),
                        inLocale);
}

// The language with its script where the LCID names one: "Chinese (Traditional)", "Serbian (Latin)".
std::u16string languageName(const Locale& locale, const std::string& inLocale) {
  return displayName(locale.script.empty() ? locale.language : locale.language + "_" + locale.script, inLocale);
}

std::u16string hex(LCID value, int digits, bool upper) {
  static constexpr char upperDigits[] = "0123456789ABCDEF";
  static constexpr char lowerDigits[] = "0123456789abcdef";
  std::u16string text(static_cast<std::size_t>(digits), u'0');
  for (auto it = text.rbegin(); it != text.rend(); ++it, value >>= 4) {
    *it = static_cast<char16_t>((upper ? upperDigits : lowerDigits)[value & 0xF]);
  }
  return text;
}

std::optional<std::u16string> localeText(const Locale& locale, LCTYPE type) {
  const CalendarKind& calendar = *calendarKind(calendarsOf(locale).front());
  if (const auto text = overrideOf(locale, type)) return text;
  // The day and month names share the calendar's items, in the same order,
  if (type >= LOCALE_SDAYNAME1 && type < LOCALE_SABBREVMONTHNAME1 + 12) {
    // but for the thirteenth month, which the calendar items keep before the abbreviated months.
    const CALTYPE item = type - LOCALE_SDAYNAME1 + CAL_SDAYNAME1 + (type >= LOCALE_SABBREVMONTHNAME1 ? 1 : 0);
    return calendarTexts(locale, calendar, item).front();
  }
  const std::string english = "en";
  switch (type) {
    case LOCALE_ILANGUAGE:
      return hex(locale.lcid & 0xFFFF, 4, false);
    case LOCALE_SLANGUAGE:
      return displayName(locale.id, english);
    case LOCALE_SENGLANGUAGE:
      return languageName(locale, english);
    case LOCALE_SNATIVELANGNAME:
      return languageName(locale, locale.id);
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY:
      return countryName(locale, english);
    case LOCALE_SNATIVECTRYNAME:
      return countryName(locale, locale.id);
    case LOCALE_ICOUNTRY: {
      const auto* row = std::find_if(std::begin(diallingCodes), std::end(diallingCodes),
                                     [&](const DiallingCode& code) { return code.country == locale.country; });
      if (row == std::end(diallingCodes)) return std::nullopt;
      return decimal(row->code);
    }
    case LOCALE_IDEFAULTCODEPAGE:
    case LOCALE_IDEFAULTANSICODEPAGE: {
      const LocaleCodePages pages = codePagesOfLocale(locale.id.c_str());
      if (pages.unicodeOnly) return type == LOCALE_IDEFAULTCODEPAGE ? u"1" : u"0";
      return decimal(type == LOCALE_IDEFAULTCODEPAGE ? pages.oem : pages.ansi);
    }
    case LOCALE_SDECIMAL:
      return numberSymbol(locale, UNUM_DECIMAL, UNUM_DECIMAL_SEPARATOR_SYMBOL);
    case LOCALE_STHOUSAND:
      return numberSymbol(locale, UNUM_DECIMAL, UNUM_GROUPING_SEPARATOR_SYMBOL);
    case LOCALE_SGROUPING:
      return grouping(locale);
    case LOCALE_ILZERO: {
      const NumberFormat format = numberFormat(locale, UNUM_DECIMAL);
      return format && unum_getAttribute(format.get(), UNUM_MIN_INTEGER_DIGITS) > 0 ? u"1" : u"0";
    }
    case LOCALE_INEGNUMBER:
      return negativeNumberMode(locale);
    case LOCALE_SPOSITIVESIGN:
      return std::u16string();  // Windows writes no sign before a positive number
    case LOCALE_SNEGATIVESIGN:
      return withoutBidiMarks(numberSymbol(locale, UNUM_DECIMAL, UNUM_MINUS_SIGN_SYMBOL));
    case LOCALE_SCURRENCY:
      return numberSymbol(locale, UNUM_CURRENCY, UNUM_CURRENCY_SYMBOL);
    case LOCALE_SSHORTDATE:
    case LOCALE_SLONGDATE:
    case LOCALE_SYEARMONTH:
    case LOCALE_SMONTHDAY:
      return pictureOf(locale, calendar, type);
    case LOCALE_SDATE:
      return separatorOf(pictureOf(locale, calendar, LOCALE_SSHORTDATE), u"dMyg");
    case LOCALE_STIME:
      return separatorOf(withoutBidiMarks(patternOf(locale.id, UDAT_NONE, UDAT_SHORT)), u"Hhmsk");
    case LOCALE_S1159:
      return dateSymbol(locale, calendar, UDAT_AM_PMS, 0);
    case LOCALE_S2359:
      return dateSymbol(locale, calendar, UDAT_AM_PMS, 1);
    case LOCALE_SISO639LANGNAME:
      return ascii(locale.language);
    case LOCALE_SISO3166CTRYNAME:
      return ascii(locale.country);
    case LOCALE_SNAME:
      return ascii(windowsName(locale));
    case LOCALE_ICALENDARTYPE:
    case LOCALE_IOPTIONALCALENDAR:
      return decimal(calendar.id);
    default:
      return std::nullopt;
  }
}

int answer(const std::u16string& text, LPWSTR data, int count) {
  const auto needed = static_cast<int>(text.size() + 1);
  if (count == 0) return needed;
  if (count < needed || data == nullptr) return 0;
  std::copy(text.begin(), text.end(), data);
  data[text.size()] = u'\0';
  return needed;
}

const std::vector<LCID>& systemLocales() {
  static const std::vector<LCID> lcids = [] {
    std::set<LCID> found;
    const int32_t count = uloc_countAvailable();
    for (int32_t i = 0; i < count; ++i) {
      const LCID lcid = lcidOfLocale(uloc_getAvailable(i));
      // Specific locales only, each one ICU can name again with its country: the script forms
      // without one (0x7C68, Hausa in Latin) are neutral in Windows too.
      if ((lcid >> sublanguageShift) == 0 || (lcid & 0x3FF) == 0 || lcid > 0xFFFF) continue;
      const auto locale = localeOf(lcid);
      if (locale && !locale->country.empty()) found.insert(lcid);
    }
    return std::vector<LCID>(found.begin(), found.end());
  }();
  return lcids;
}

BOOL offer(BOOL(CALLBACK* proc)(LPWSTR), std::u16string text) { return proc(text.data()); }

struct CollatorCloser {
  void operator()(UCollator* collator) const { ucol_close(collator); }
};

// Collators by locale and comparison flags, opened once each; ucol_strcoll on a shared collator
// is safe from any thread.
const UCollator* collatorOf(const Locale& locale, DWORD flags) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, DWORD>, std::unique_ptr<UCollator, CollatorCloser>> collators;
  const std::lock_guard lock(mutex);
  auto& slot = collators[{locale.id, flags}];
  if (!slot) {
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(ucol_open(locale.id.c_str(), &status));
    if (U_FAILURE(status)) return nullptr;
    if ((flags & NORM_IGNORENONSPACE) != 0) {
      ucol_setStrength(slot.get(), UCOL_PRIMARY);
      if ((flags & NORM_IGNORECASE) == 0) ucol_setAttribute(slot.get(), UCOL_CASE_LEVEL, UCOL_ON, &status);
    } else if ((flags & NORM_IGNORECASE) != 0) {
      ucol_setStrength(slot.get(), UCOL_SECONDARY);
    }
    if ((flags & NORM_IGNORESYMBOLS) != 0) ucol_setAttribute(slot.get(), UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
    if (U_FAILURE(status)) slot.reset();
  }
  return slot.get();
}

// The CT_CTYPE1 classes of one UTF-16 unit, as Windows gives them.
WORD characterType(char16_t unit) {
  const UChar32 c = unit;
  const auto category = static_cast<UCharCategory>(u_charType(c));
  const uint32_t mask = U_MASK(category);
  WORD types = category == U_UNASSIGNED ? WORD{0} : C1_DEFINED;
  if (category == U_UPPERCASE_LETTER || category == U_TITLECASE_LETTER) types |= C1_UPPER;
  if (category == U_LOWERCASE_LETTER) types |= C1_LOWER;
  if (category == U_DECIMAL_DIGIT_NUMBER) types |= C1_DIGIT;
  if (u_isUWhiteSpace(c)) types |= C1_SPACE;
  if ((mask & (U_GC_P_MASK | U_GC_S_MASK)) != 0) types |= C1_PUNCT;
  if (category == U_CONTROL_CHAR) types |= C1_CNTRL;
  if (u_isblank(c)) types |= C1_BLANK;
  if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')) types |= C1_XDIGIT;
  if ((mask & (U_GC_L_MASK | U_GC_M_MASK)) != 0) types |= C1_ALPHA;
  return types;
}

// The formats EnumDateFormatsW offers after the default, Windows' own where we know them.
struct AlternativeFormats {
  std::string_view locale;
  DWORD kind;
  std::array<std::u16string_view, 6> formats;
};

constexpr AlternativeFormats alternativeFormats[] = {
    {"en-US", DATE_SHORTDATE, {u"M/d/yy", u"MM/dd/yy", u"MM/dd/yyyy", u"yy/MM/dd", u"yyyy-MM-dd", u"dd-MMM-yy"}},
    {"en-US", DATE_LONGDATE, {u"MMMM d, yyyy", u"dddd, d MMMM, yyyy", u"d MMMM, yyyy", u"", u"", u""}},
};

// The locale's date formats of one kind, the default first, each once.
std::vector<std::u16string> dateFormatsOf(const Locale& locale, DWORD kind) {
  const CalendarKind& calendar = *calendarKind(calendarsOf(locale).front());
  const std::string id = calendarLocale(locale, calendar);
  const PictureStyle style = styleOf(calendar);
  std::vector<std::u16string> formats;
  const auto add = [&formats](std::u16string format) {
    if (!format.empty() && std::find(formats.begin(), formats.end(), format) == formats.end()) {
      formats.push_back(std::move(format));
    }
  };
  switch (kind) {
    case DATE_SHORTDATE:
      add(pictureOf(locale, calendar, LOCALE_SSHORTDATE));
      add(datePictureOf(patternOf(id, UDAT_SHORT), {style.keepEra, false}));
      add(datePictureOf(patternOfSkeleton(id, u"yMMdd"), style));
      break;
    case DATE_LONGDATE:
      add(pictureOf(locale, calendar, LOCALE_SLONGDATE));
      add(datePictureOf(patternOf(id, UDAT_LONG), style));
      add(datePictureOf(patternOf(id, UDAT_FULL), style));
      break;
    case DATE_YEARMONTH:
      add(pictureOf(locale, calendar, LOCALE_SYEARMONTH));
      add(datePictureOf(patternOfSkeleton(id, u"yMMM"), style));
      break;
    case DATE_MONTHDAY:
      add(pictureOf(locale, calendar, LOCALE_SMONTHDAY));
      add(datePictureOf(patternOfSkeleton(id, u"MMMd"), style));
      break;
    default:
      return {};
  }
  const std::string name = windowsName(locale);
  for (const auto& row : alternativeFormats) {
    if (row.locale != name || row.kind != kind) continue;
    for (const auto format : row.formats) add(std::u16string(format));
  }
  return formats;
}

}  // namespace

BOOL EnumSystemLocalesW(LOCALE_ENUMPROCW proc, DWORD /*flags*/) {
  if (proc == nullptr) return FALSE;
  for (const LCID lcid : systemLocales()) {
    if (offer(proc, hex(lcid, 8, true)) == FALSE) break;
  }
  return TRUE;
}

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int count) {
  if (count < 0) return 0;
  const auto resolved = localeOf(locale);
  if (!resolved) return 0;
  const auto text = localeText(*resolved, type & typeMask);
  return text ? answer(*text, data, count) : 0;
}

BOOL EnumCalendarInfoW(CALINFO_ENUMPROCW proc, LCID locale, CALID calendar, CALTYPE type) {
  const auto resolved = localeOf(locale);
  if (proc == nullptr || !resolved) return FALSE;
  const std::vector<CALID> own = calendarsOf(*resolved);
  std::vector<CALID> chosen = own;
  if (calendar != ENUM_ALL_CALENDARS) {
    if (calendarKind(calendar) == nullptr) return FALSE;
    chosen = {calendar};
  }
  std::vector<std::vector<std::u16string>> texts;
  for (const CALID id : chosen) {
    texts.push_back(calendarTexts(*resolved, *calendarKind(id), type & calendarTypeMask));
    if (texts.back().empty()) return FALSE;
  }
  for (auto& perCalendar : texts) {
    for (auto& text : perCalendar) {
      if (offer(proc, text) == FALSE) return TRUE;
    }
  }
  return TRUE;
}

int CompareStringW(LCID locale, DWORD flags, LPCWSTR text1, int length1, LPCWSTR text2, int length2) {
  if (text1 == nullptr || text2 == nullptr || length1 < -1 || length2 < -1) return 0;
  const auto resolved = localeOf(locale);
  if (!resolved) return 0;
  const UCollator* collator = collatorOf(*resolved, flags & (NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS));
  if (collator == nullptr) return 0;
  switch (ucol_strcoll(collator, text1, length1, text2, length2)) {
    case UCOL_LESS:
      return CSTR_LESS_THAN;
    case UCOL_EQUAL:
      return CSTR_EQUAL;
    default:
      return CSTR_GREATER_THAN;
  }
}

BOOL GetStringTypeExW(LCID /*locale*/, DWORD infoType, LPCWSTR text, int length, WORD* types) {
  if (infoType != CT_CTYPE1 || text == nullptr || types == nullptr || length < -1) return FALSE;
  // A terminated text is classified with its terminator.
  const std::size_t count = length == -1 ? std::u16string_view(text).size() + 1 : static_cast<std::size_t>(length);
  std::transform(text, text + count, types, characterType);
  return TRUE;
}

BOOL EnumDateFormatsW(DATEFMT_ENUMPROCW proc, LCID locale, DWORD flags) {
  const auto resolved = localeOf(locale);
  if (proc == nullptr || !resolved) return FALSE;
  const std::vector<std::u16string> formats = dateFormatsOf(*resolved, flags);
  if (formats.empty()) return FALSE;
  for (const auto& format : formats) {
    if (offer(proc, format) == FALSE) break;
  }
  return TRUE;
}

}  // namespace sys
