// The calendar catalogue: the Gregorian calendar and the era calendars of Japanese, Korean,
// Taiwanese and Thai host dates, one row per era; and the date formats of the locales.

#include <kwuni/locales.h>
#include <kwuni/resources.h>

#include "catalogue/code_catalogue.h"
#include "catalogue/distinct_texts.h"
#include "catalogue/number_text.h"
#include "platform/locale_info.h"
#include "platform/resource.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

namespace kwuni::catalogue {
namespace {

struct CalendarRow {
  CALID calendar;
  UINT stringId;  // 0 for a row that continues the calendar before it
  LCID locale;    // 0: every locale
  const WCHAR* eraName;
  const WCHAR* eraAbbreviation;
  const WCHAR* eraNameLatin;
  const WCHAR* eraAbbreviationLatin;
  const WCHAR* yearSuffix;
  const WCHAR* monthSuffix;
  const WCHAR* daySuffix;
  int yearOffset;  // era year = Gregorian year + yearOffset
  int charset;     // GDI character set of the era names
};

// The Japanese eras stand newest first.
constexpr CalendarRow calendarRows[] = {
    {CAL_GREGORIAN, 6500, 0, u"CE", nullptr, u"AD", nullptr, nullptr, nullptr, nullptr, 0, 0},
    {CAL_GREGORIAN_US, 6501, 0x0411, u"CE", nullptr, u"AD", nullptr, nullptr, nullptr, nullptr, 0, 0},
    {CAL_JAPAN, 6502, 0x0411, u"平成", u"㍻", u"Heisei", u"H", u"年", u"月", u"日", -1988, 128},
    {CAL_JAPAN, 0, 0x0411, u"昭和", u"㍼", u"Showa", u"S", nullptr, nullptr, nullptr, -1925, 128},
    {CAL_JAPAN, 0, 0x0411, u"大正", u"㍽", u"Taisho", u"T", nullptr, nullptr, nullptr, -1911, 128},
    {CAL_JAPAN, 0, 0x0411, u"明治", u"㍾", u"Meiji", u"M", nullptr, nullptr, nullptr, -1867, 128},
    {CAL_GREGORIAN_US, 0, 0x0412, u"CE", nullptr, u"AD", nullptr, nullptr, nullptr, nullptr, 0, 0},
    {CAL_KOREA, 6503, 0x0412, u"단기", nullptr, u"Tangun", nullptr, u"년", u"월", u"일", 2333, 129},
    {CAL_GREGORIAN_US, 0, 0x0404, u"CE", nullptr, u"AD", nullptr, nullptr, nullptr, nullptr, 0, 0},
    {CAL_TAIWAN, 6504, 0x0404, u"中華民國", u"民國", nullptr, nullptr, u"年", u"月", u"日", -1911, 136},
    {CAL_THAI, 6505, 0x041E, u"พ.ศ.", nullptr, u"BE", nullptr, nullptr, nullptr, nullptr, 543, 222},
};

std::array<Description, std::size(calendarRows)> descriptions{};
std::array<WCHAR, 64> unlisted{};

const WCHAR* descriptionOf(const CalendarRow& row) {
  return descriptions[static_cast<std::size_t>(&row - calendarRows)].data();
}

// The texts come from the resource module once, at the first call that asks for them.
void loadDescriptions() {
  static std::once_flag loadOnce;
  std::call_once(loadOnce, [] {
    const HINSTANCE module = KW_GetKWRES();
    for (std::size_t i = 0; i < std::size(calendarRows); ++i) {
      if (calendarRows[i].stringId != 0) {
        sys::LoadStringW(module, calendarRows[i].stringId, descriptions[i].data(), descriptionSize);
      }
    }
  });
}

const CalendarRow* firstRow(CALID calendar) {
  const auto row = std::find_if(std::begin(calendarRows), std::end(calendarRows),
                                [calendar](const CalendarRow& r) { return r.calendar == calendar; });
  return row != std::end(calendarRows) ? row : nullptr;
}

bool servedByCatalogue(LCTYPE type) {
  return (type >= CAL_ICALINTVALUE && type <= CAL_SERASTRING) || (type >= KW_CAL_SERAABBREV && type <= KW_CAL_SDAYSUFFIX);
}

// The row's text of a type the catalogue serves; absent texts are empty.
std::u16string rowText(const CalendarRow& row, LCTYPE type) {
  auto text = [](const WCHAR* p) { return std::u16string(p != nullptr ? p : u""); };
  auto decimal = [](int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
  };
  switch (type) {
    case CAL_ICALINTVALUE: return decimal(static_cast<int>(row.calendar));
    case CAL_SCALNAME: return descriptionOf(row);
    case CAL_IYEAROFFSETRANGE: return decimal(row.yearOffset);
    case CAL_SERASTRING: return text(row.eraName);
    case KW_CAL_SERAABBREV: return text(row.eraAbbreviation);
    case KW_CAL_SERANAMELATIN: return text(row.eraNameLatin);
    case KW_CAL_SERAABBREVLATIN: return text(row.eraAbbreviationLatin);
    case KW_CAL_SYEARSUFFIX: return text(row.yearSuffix);
    case KW_CAL_SMONTHSUFFIX: return text(row.monthSuffix);
    default: return text(row.daySuffix);
  }
}

// The caller's callback and value while the system's calendar information is passed through;
// the calling thread's own, so that enumerations on other threads do not meet.
struct PassThrough {
  EnumTextProc proc;
  long value;
};
thread_local PassThrough passThrough{};

BOOL CALLBACK forwardCalendarText(LPWSTR text) {
  return passThrough.proc != nullptr ? passThrough.proc(text, passThrough.value) : TRUE;
}

// Texts gathered one after another into a buffer, each terminated; what no longer fits is cut.
struct Gathering {
  WCHAR* buffer;
  int capacity;
  int used;
};

int append(Gathering& g, const WCHAR* text) {
  const int length = static_cast<int>(std::char_traits<char16_t>::length(text));
  const int n = std::min(length + 1, g.capacity - g.used);
  if (n > 0) {
    std::copy_n(text, n - 1, g.buffer + g.used);
    g.buffer[g.used + n - 1] = 0;
    g.used += n;
  }
  return 1;
}

int CALLBACK appendText(const WCHAR* text, long value) { return append(*reinterpret_cast<Gathering*>(value), text); }

int CALLBACK appendRowText(const WCHAR* text, CALID, long value) {
  return append(*reinterpret_cast<Gathering*>(value), text);
}

// The characters used by every text of the enumeration, with one more terminator.
int gather(LCID locale, CALID calendar, LCTYPE type, WCHAR* buffer, int size) {
  Gathering g{buffer, size - 1, 0};
  const long value = reinterpret_cast<long>(&g);
  if (servedByCatalogue(type)) {
    KW_EnumCalendarInfoEx(appendRowText, locale, calendar, type, value);
  } else {
    KW_EnumCalendarInfo(appendText, locale, calendar, type, value);
  }
  return g.used + 1;
}

CALID defaultCalendar(LCID locale) {
  WCHAR text[81] = {};
  if (KW_GetLocaleInfo(locale, LOCALE_ICALENDARTYPE, text, 81) == 0) return CAL_GREGORIAN;
  return static_cast<CALID>(KW_StringToCP(text));
}

BOOL CALLBACK offerDateFormat(LPWSTR format) { return DistinctTexts::running().offer(format); }

int CALLBACK dateFormatsOfLocale(const WCHAR* locale, long flags) {
  return sys::EnumDateFormatsW(offerDateFormat, KW_StringToLocale(locale), static_cast<DWORD>(flags));
}

}  // namespace
}  // namespace kwuni::catalogue

using namespace kwuni::catalogue;

int KW_EnumCalendarInfo(EnumTextProc proc, LCID locale, CALID calendar, LCTYPE type,
                        long value) {
  const PassThrough interrupted = passThrough;
  passThrough = {proc, value};
  const BOOL result = sys::EnumCalendarInfoW(forwardCalendarText, locale, calendar, type);
  passThrough = interrupted;
  return result;
}

int KW_EnumCalendarInfoEx(EnumCalendarInfoExProc proc, LCID locale, CALID calendar,
                          LCTYPE type, long value) {
  loadDescriptions();
  if (!servedByCatalogue(type)) return 0;
  for (const auto& row : calendarRows) {
    if (KW_IsValidCalendar(row.calendar, CP_INSTALLED) == 0) continue;
    if ((type == CAL_ICALINTVALUE || type == CAL_SCALNAME) && *descriptionOf(row) == 0) continue;
    if (locale != KW_ALL_LOCALES && row.locale != 0 && row.locale != locale) continue;
    if (calendar != ENUM_ALL_CALENDARS && calendar != row.calendar) continue;
    if (proc != nullptr && proc(rowText(row, type).c_str(), row.calendar, value) == 0) return 0;
  }
  return 1;
}

int KW_GetCalendarInfo(LCID locale, CALID calendar, LCTYPE type, WCHAR* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  int used = gather(locale, calendar, type, buffer, size);
  if (used <= 1) {
    const CalendarRow* row = firstRow(calendar);
    used = gather(row != nullptr ? row->locale : 0x0409, calendar, type, buffer, size);
    if (used <= 1) used = gather(locale, CAL_GREGORIAN, type, buffer, size);
    if (used <= 1) used = gather(0x0409, CAL_GREGORIAN, type, buffer, size);
  }
  buffer[used - 1] = 0;
  return used;
}

const WCHAR* KW_GetCalendarDesc(CALID calendar) {
  loadDescriptions();
  if (const CalendarRow* row = firstRow(calendar)) return descriptionOf(*row);
  formatUnlisted(static_cast<int>(calendar), " - Unsupported Calendar", unlisted.data(), unlisted.size());
  return unlisted.data();
}

CALID KW_GetCalendarCode(const WCHAR* description) {
  loadDescriptions();
  if (description == nullptr) return 0;
  for (const auto& row : calendarRows) {
    if (equalIgnoringAsciiCase(description, descriptionOf(row))) return row.calendar;
  }
  return 0;
}

int KW_IsCalendar(CALID calendar) {
  loadDescriptions();
  return firstRow(calendar) != nullptr ? 1 : 0;
}

int KW_IsValidCalendar(CALID calendar, unsigned long flags) {
  if (KW_IsCalendar(calendar) == 0) return 0;
  return displayable(KW_TranslateCalendarInfo(calendar), flags);
}

int KW_TranslateCalendarInfo(CALID calendar) {
  loadDescriptions();
  const CalendarRow* row = firstRow(calendar);
  return row != nullptr ? row->charset : 0;
}

CALID KW_GetSystemDefaultCALID() { return defaultCalendar(KW_GetSystemDefaultLCID()); }

CALID KW_GetUserDefaultCALID() { return defaultCalendar(KW_GetUserDefaultLCID()); }

int KW_EnumDateFormats(EnumTextProc proc, LCID locale, unsigned long flags, long value) {
  DistinctTexts texts(proc, value);
  return texts.forLocales(locale, dateFormatsOfLocale, static_cast<long>(flags));
}
