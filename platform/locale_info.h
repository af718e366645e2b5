// The locale services of the system, answered as current Windows (10 and 11) answers them for
// the same LCID, in Windows notation, from ICU's locale data and small tables of our own where
// Windows and ICU differ. Texts are UTF-16.
#pragma once

#include <kwuni/win32.h>

namespace sys {

// Callbacks of the enumerations: each gets one text (a locale as eight hexadecimal digits,
// "00000409"; a calendar text; a date format) and returns TRUE to go on, FALSE to stop.
using LOCALE_ENUMPROCW = BOOL(CALLBACK*)(LPWSTR text);
using CALINFO_ENUMPROCW = BOOL(CALLBACK*)(LPWSTR text);
using DATEFMT_ENUMPROCW = BOOL(CALLBACK*)(LPWSTR format);

// Offers every specific locale that has an LCID once (no neutral ones), in ascending LCID order.
// LCID_INSTALLED and LCID_SUPPORTED offer the same set. FALSE for a null callback.
BOOL EnumSystemLocalesW(LOCALE_ENUMPROCW proc, DWORD flags);

// One item of information about a locale (LOCALE_USER_DEFAULT and LOCALE_SYSTEM_DEFAULT
// accepted). With count 0 returns the characters the answer needs, terminator included, and
// writes nothing; otherwise writes the answer and a terminator and returns the same count, or 0
// when it does not fit. 0 for an unknown locale or information type.
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int count);

// Compares two texts by the locale's collation; a length of -1 means terminated. CSTR_LESS_THAN,
// CSTR_EQUAL or CSTR_GREATER_THAN; 0 for a null text. NORM_IGNORECASE compares without case.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR text1, int length1, LPCWSTR text2, int length2);

// The CT_CTYPE1 classes (C1_*) of each character of the text (length -1: terminated) into
// types, one WORD per UTF-16 unit. FALSE for another information type or a null argument.
BOOL GetStringTypeExW(LCID locale, DWORD infoType, LPCWSTR text, int length, WORD* types);

// Offers the calendar texts of one item (CAL_ICALINTVALUE, CAL_SCALNAME, CAL_IYEAROFFSETRANGE,
// CAL_SERASTRING, CAL_SABBREVERASTRING, CAL_SSHORTDATE, CAL_SLONGDATE, CAL_SYEARMONTH,
// CAL_SMONTHDAY, day and month names) for one calendar of the locale or, with
// ENUM_ALL_CALENDARS, for each calendar the locale uses (its default first, then its optional
// ones). FALSE for an unknown locale, calendar or type, or a null callback.
BOOL EnumCalendarInfoW(CALINFO_ENUMPROCW proc, LCID locale, CALID calendar, CALTYPE type);

// Offers the locale's date formats of one kind (DATE_SHORTDATE, DATE_LONGDATE, DATE_YEARMONTH,
// DATE_MONTHDAY) as Windows pictures ("yyyy/MM/dd", "dddd, MMMM d, yyyy"), the default first.
BOOL EnumDateFormatsW(DATEFMT_ENUMPROCW proc, LCID locale, DWORD flags);

}  // namespace sys
