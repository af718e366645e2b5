// The system's locale and code pages, taken from the POSIX locale environment (LC_ALL, then
// LC_CTYPE and LC_MESSAGES, then LANG). "C", "POSIX" and an empty environment mean English (United
// States), LCID 0x0409. The Windows ANSI and OEM code pages of a locale come from a table of our
// own keyed by language, script and country, which the locale catalogue reuses.
#pragma once

#include <kwuni/win32.h>

#include <string>

namespace sys {

// The Windows code pages that go with a locale. Windows writes some languages (Hindi, Georgian,
// Armenian, ...) in Unicode only and names no code page for them (ANSI 0, OEM 1 in its locale
// information); those carry unicodeOnly and 1252/850, which the process uses instead.
struct LocaleCodePages {
  UINT ansi;
  UINT oem;
  bool unicodeOnly;
};

// The code pages of a locale given by an ICU or POSIX locale id ("ja_JP", "sr_RS@latin", "zh-Hant");
// 1252/850 for ids it cannot parse.
LocaleCodePages codePagesOfLocale(const char* localeId);

// The LCID of a locale id; 0 when ICU knows none for it.
LCID lcidOfLocale(const char* localeId);

UINT GetACP();
UINT GetOEMCP();
LCID GetSystemDefaultLCID();
LCID GetUserDefaultLCID();

// LOCALE_SYSTEM_DEFAULT (0x0800) and LOCALE_USER_DEFAULT (0x0400) become the default LCIDs;
// LOCALE_NEUTRAL (0) the user's; a language-only id its primary locale; other ids stay.
LCID ConvertDefaultLocale(LCID locale);

// GDI character set of a Windows code page, as TranslateCharsetInfo with TCI_SRCCODEPAGE.
constexpr DWORD TCI_SRCCHARSET = 1;
constexpr DWORD TCI_SRCCODEPAGE = 2;

struct FONTSIGNATURE {
  DWORD fsUsb[4];
  DWORD fsCsb[2];
};

struct CHARSETINFO {
  UINT ciCharset;
  UINT ciACP;
  FONTSIGNATURE fs;
};

// source is a code page (TCI_SRCCODEPAGE) or a character set (TCI_SRCCHARSET); FALSE when the
// value is not one of the Windows ANSI code pages or their character sets.
BOOL TranslateCharsetInfo(UINT source, CHARSETINFO* info, DWORD flags);

namespace testing {
// Makes the system and user locale the given POSIX locale id ("ja_JP.UTF-8") instead of the
// environment's; nullptr returns to the environment. Tests only.
void setLocale(const char* posixLocale);
}  // namespace testing

}  // namespace sys
