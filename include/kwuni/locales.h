// National-language catalogues, continued: the locales kwuni offers (each with a display name, a
// default host CCSID and NLV), their number format patterns, the calendars of East Asian and Thai
// host dates, and date formats. Enumerations follow catalogue.h: EnumTextProc callbacks, the
// flags LCID_INSTALLED / LCID_SUPPORTED and KW_ENUM_SPECIAL.
//
// The locale list is built once, at the first call that needs it, from the locales the system
// supports (those with a Windows ANSI code page other than Hebrew and Arabic ones). It holds one
// record per locale, sorted by display name, headed by the pseudo entry "All Locales" (0xFFFF)
// and, before the locales of a language that has several, a group entry "Language (All)"
// (0xFC00 | language). Display names are the English "Language (Country)", or the language alone
// where it has one locale. Building is safe when several threads ask at once.
//
// Enumerations that take a locale or 0xFFFFFFFF (all locales) offer each distinct text once per
// call. Their state is the calling thread's, so threads may enumerate at the same time.
#pragma once

#include <kwuni/catalogue.h>
#include <kwuni/export.h>
#include <kwuni/win32.h>

// ---- Locales -----------------------------------------------------------------------------------

// Information types that the catalogue answers itself in KW_GetLocaleInfo.
constexpr LCTYPE KW_LOCALE_INLV = 0x01000001;           // default NLV, decimal
constexpr LCTYPE KW_LOCALE_SNUMBERFORMAT = 0x01000002;  // number format pattern, "#,##0;-#,##0"

// The id of the "All Locales" entry, and the all-locales argument of the enumerations.
constexpr LCID KW_ALL_LOCALES_ENTRY = 0xFFFF;
constexpr LCID KW_ALL_LOCALES = 0xFFFFFFFF;

// Offers the locale ids (lower-case hexadecimal, "409") in list order. Nothing without
// LCID_INSTALLED or LCID_SUPPORTED; pseudo entries only with KW_ENUM_SPECIAL. Returns 1.
KWUNI_API int KW_EnumSystemLocales(EnumTextProc proc, long value, unsigned long flags);

// The id of the locale with exactly this display name; 0xFFFF when none has it.
KWUNI_API LCID KW_GetLocaleCode(const WCHAR* displayName);

// Copies the display name ("All Locales" for an unlisted id) into count characters, the last
// of which becomes a terminator. Returns 1.
KWUNI_API int KW_GetLocaleDesc(LCID locale, WCHAR* buffer, int count);

// 0xFC00 | language for a listed locale (whether or not its group has an entry); else the id.
KWUNI_API LCID KW_GetLocaleGroup(LCID locale);

// One item of information about a locale. The catalogue answers LOCALE_SENGLANGUAGE (the display
// name), LOCALE_IDEFAULTEBCDICCODEPAGE, KW_LOCALE_INLV (listed locales only; 0 otherwise) and
// KW_LOCALE_SNUMBERFORMAT, with the text's length as the result; every other type is the
// system's GetLocaleInfo, whose result counts the terminator (0 and an empty buffer on failure).
KWUNI_API int KW_GetLocaleInfo(LCID locale, LCTYPE type, WCHAR* buffer, int count);

KWUNI_API LCID KW_GetSystemDefaultLCID();
KWUNI_API LCID KW_GetUserDefaultLCID();

// 1 when the list holds the id (pseudo entries included), else 0.
KWUNI_API int KW_IsLocale(LCID locale);

// 1 when LCID_INSTALLED or LCID_SUPPORTED is set and the list holds the id; 0 without them.
KWUNI_API int KW_IsValidLocale(LCID locale, unsigned long flags);

// Writes the id in lower-case hexadecimal ("409") with KW_CPToString's rules: the number of
// digits, count when they fill it exactly, -1 when they do not fit.
KWUNI_API int KW_LocaleToString(LCID locale, WCHAR* buffer, int count);

// Reads hexadecimal digits (either case) up to the first other character; 0 for empty text.
KWUNI_API LCID KW_StringToLocale(const WCHAR* text);

// ---- Number formats ----------------------------------------------------------------------------

// Offers the integer number format pattern of the locale, or each distinct pattern of every
// listed locale (KW_ALL_LOCALES), in list order. For one locale the result is the callback's (1
// for a repeat); over all locales 1, and a callback's 0 does not end the walk.
KWUNI_API int KW_EnumNumericFormats(EnumTextProc proc, LCID locale, long value);

// ---- Calendars ---------------------------------------------------------------------------------

// Calendar information types the catalogue answers, beside CAL_ICALINTVALUE, CAL_SCALNAME,
// CAL_IYEAROFFSETRANGE and CAL_SERASTRING.
constexpr CALTYPE KW_CAL_SERAABBREV = 0x1000;
constexpr CALTYPE KW_CAL_SERANAMELATIN = 0x1001;
constexpr CALTYPE KW_CAL_SERAABBREVLATIN = 0x1002;
constexpr CALTYPE KW_CAL_SYEARSUFFIX = 0x1003;
constexpr CALTYPE KW_CAL_SMONTHSUFFIX = 0x1004;
constexpr CALTYPE KW_CAL_SDAYSUFFIX = 0x1005;

using EnumCalendarInfoExProc = int(CALLBACK*)(const WCHAR* text, CALID calendar, long value);

// The system's calendar information (EnumCalendarInfo), passed through to the callback.
KWUNI_API int KW_EnumCalendarInfo(EnumTextProc proc, LCID locale, CALID calendar,
                                  LCTYPE type, long value);

// Offers the catalogue's text of the type for each era row of the calendar (ENUM_ALL_CALENDARS:
// every calendar) that belongs to the locale or to every locale (KW_ALL_LOCALES: to any).
// Returns 1 when complete, 0 when the callback stopped it or the catalogue does not answer the
// type.
KWUNI_API int KW_EnumCalendarInfoEx(EnumCalendarInfoExProc proc, LCID locale, CALID calendar,
                                    LCTYPE type, long value);

// Every text of the enumeration, one after another, each terminated, and one more terminator;
// when nothing is found, the calendar's own locale, then the Gregorian calendar of the locale
// and of en-US are tried. Texts that do not fit are cut. Returns the characters used, the last
// terminator included: 1 for an empty result. size must be at least 2.
KWUNI_API int KW_GetCalendarInfo(LCID locale, CALID calendar, LCTYPE type, WCHAR* buffer,
                                 int size);

// Display text of a calendar; "6 - Unsupported Calendar" for an unlisted id.
KWUNI_API const WCHAR* KW_GetCalendarDesc(CALID calendar);
// Calendar of the first row whose description equals the text, ignoring the case of A-Z; 0 if none.
KWUNI_API CALID KW_GetCalendarCode(const WCHAR* description);
KWUNI_API int KW_IsCalendar(CALID calendar);
KWUNI_API int KW_IsValidCalendar(CALID calendar, unsigned long flags);
// GDI character set of the era names; 0 for an unlisted calendar.
KWUNI_API int KW_TranslateCalendarInfo(CALID calendar);

// The calendar type of the system's and the user's locale; CAL_GREGORIAN when unknown.
KWUNI_API CALID KW_GetSystemDefaultCALID();
KWUNI_API CALID KW_GetUserDefaultCALID();

// Offers the date formats (DATE_SHORTDATE, DATE_LONGDATE, DATE_YEARMONTH) of the locale, or of
// every listed locale (KW_ALL_LOCALES), each distinct format once. For one locale the result is
// the system enumeration's; over all locales 1.
KWUNI_API int KW_EnumDateFormats(EnumTextProc proc, LCID locale, unsigned long flags, long value);
