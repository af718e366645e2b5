// What the list and locale commands say about a locale: its id as the tool reads and writes it
// (hexadecimal, "0x0411"), its name, its catalogue numbers, its calendars' eras, its date formats.
#pragma once

#include <kwuni/win32.h>

#include <string>
#include <string_view>
#include <utility>

namespace kwuni::cli {

// "0x0411", "0411" or "411"; a UsageError for anything else.
LCID parseLcid(std::string_view text);

// A Failure unless the locale catalogue lists the locale.
void requireListed(LCID lcid);

std::string hexLcid(LCID lcid);
std::string localeName(LCID lcid);
// A number the catalogue answers for the locale (LOCALE_IDEFAULTEBCDICCODEPAGE, KW_LOCALE_INLV).
int localeNumber(LCID lcid, LCTYPE type);
// The distinct era names of the calendar for the locale, "平成, 昭和, 大正, 明治".
std::string eraNames(LCID locale, CALID calendar);

// The kinds of date format the tool lists, with their names.
inline constexpr std::pair<std::string_view, DWORD> dateFormatKinds[] = {
    {"short", DATE_SHORTDATE}, {"long", DATE_LONGDATE}, {"year-month", DATE_YEARMONTH}};

}  // namespace kwuni::cli
