#include "platform/locale.h"

#include <unicode/uloc.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

namespace sys {
namespace {

constexpr LCID englishUnitedStates = 0x0409;
constexpr LCID sublanguageMask = 0xFC00;  // the country part of a language id; 0 for a neutral one

// Windows ANSI and OEM code pages by language (ISO 639), script and country; an empty script or
// country matches every one, and the first row that matches wins, so the specific rows come
// first. Languages without a row take the code pages of their script (scriptCodePages).
struct CodePageRule {
  std::string_view language;
  std::string_view script;
  std::string_view country;
  UINT ansi;
  UINT oem;
};

constexpr CodePageRule codePageRules[] = {
    // English keeps the United States' OEM code page in a few countries and uses 850 elsewhere.
    {"en", "", "US", 1252, 437},
    {"en", "", "ZA", 1252, 437},
    {"en", "", "PH", 1252, 437},
    {"en", "", "ZW", 1252, 437},
    {"en", "", "IN", 1252, 437},
    {"en", "", "MY", 1252, 437},
    {"en", "", "SG", 1252, 437},
    {"ja", "", "", 932, 932},
    {"zh", "Hant", "", 950, 950},
    {"zh", "", "", 936, 936},
    {"ko", "", "", 949, 949},
    {"vi", "", "", 1258, 1258},
    {"tr", "", "", 1254, 857},
    {"az", "Latn", "", 1254, 857},
    {"uz", "Latn", "", 1254, 857},
    {"et", "", "", 1257, 775},
    {"lv", "", "", 1257, 775},
    {"lt", "", "", 1257, 775},
    {"cs", "", "", 1250, 852},
    {"sk", "", "", 1250, 852},
    {"pl", "", "", 1250, 852},
    {"hu", "", "", 1250, 852},
    {"hr", "", "", 1250, 852},
    {"sl", "", "", 1250, 852},
    {"ro", "", "", 1250, 852},
    {"sq", "", "", 1250, 852},
    {"hsb", "", "", 1250, 852},
    {"dsb", "", "", 1250, 852},
    {"sr", "Latn", "", 1250, 852},
    {"bs", "Latn", "", 1250, 852},
    {"sr", "Cyrl", "", 1251, 855},
    {"bs", "Cyrl", "", 1251, 855},
};

struct ScriptCodePages {
  std::string_view script;
  LocaleCodePages pages;
};

constexpr LocaleCodePages westernEurope{1252, 850, false};

// Scripts without a row here have no Windows code page.
constexpr ScriptCodePages scriptCodePages[] = {
    {"Latn", westernEurope},
    {"Cyrl", {1251, 866, false}},
    {"Arab", {1256, 720, false}},
    {"Hebr", {1255, 862, false}},
    {"Grek", {1253, 737, false}},
    {"Thai", {874, 874, false}},
};

constexpr LocaleCodePages unicodeOnly{westernEurope.ansi, westernEurope.oem, true};

// An ICU locale id for a POSIX one: "sr_RS.UTF-8@latin" becomes "sr_Latn_RS"; "C" and "POSIX"
// become "en_US".
std::string icuLocaleId(std::string_view posix) {
  std::string_view modifier;
  if (const auto at = posix.find('@'); at != std::string_view::npos) {
    modifier = posix.substr(at + 1);
    posix = posix.substr(0, at);
  }
  if (const auto dot = posix.find('.'); dot != std::string_view::npos) posix = posix.substr(0, dot);
  if (posix.empty() || posix == "C" || posix == "POSIX") return "en_US";

  std::string id(posix);
  const char* script = modifier == "latin" ? "Latn" : modifier == "cyrillic" ? "Cyrl" : nullptr;
  if (script != nullptr) {
    const auto underscore = id.find('_');
    const std::string tail = underscore == std::string::npos ? "" : id.substr(underscore);
    id = id.substr(0, underscore) + "_" + script + tail;
  }
  return id;
}

const char* environmentLocale(const char* category) {
  for (const char* name : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace

LocaleCodePages codePagesOfLocale(const char* localeId) {
  char likely[ULOC_FULLNAME_CAPACITY] = {};
  char language[ULOC_LANG_CAPACITY] = {};
  char script[ULOC_SCRIPT_CAPACITY] = {};
  char country[ULOC_COUNTRY_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const std::string id = icuLocaleId(localeId == nullptr ? "" : localeId);
  uloc_addLikelySubtags(id.c_str(), likely, sizeof likely, &status);
  uloc_getLanguage(likely, language, sizeof language, &status);
  uloc_getScript(likely, script, sizeof script, &status);
  uloc_getCountry(likely, country, sizeof country, &status);
  if (U_FAILURE(status)) return westernEurope;
  const auto matches = [](std::string_view rule, const char* value) { return rule.empty() || rule == value; };
  for (const auto& rule : codePageRules) {
    if (rule.language == language && matches(rule.script, script) && matches(rule.country, country)) {
      return {rule.ansi, rule.oem, false};
    }
  }
  for (const auto& row : scriptCodePages) {
    if (row.script == script) return row.pages;
  }
  return unicodeOnly;
}

LCID lcidOfLocale(const char* localeId) {
  const std::string id = icuLocaleId(localeId == nullptr ? "" : localeId);
  // Windows names a locale with its likely script and country ("sr_RS" is Serbian in Cyrillic,
  // "de" is German in Germany); ICU's table knows some with the script and the rest without.
  char likely[ULOC_FULLNAME_CAPACITY] = {};
  char language[ULOC_LANG_CAPACITY] = {};
  char country[ULOC_COUNTRY_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_addLikelySubtags(id.c_str(), likely, sizeof likely, &status);
  uloc_getLanguage(likely, language, sizeof language, &status);
  uloc_getCountry(likely, country, sizeof country, &status);
  if (U_FAILURE(status)) return uloc_getLCID(id.c_str());
  // ICU answers a language's neutral LCID for forms it does not know; prefer a specific answer.
  LCID neutral = 0;
  for (const std::string& candidate : {std::string(likely), std::string(language) + "_" + country, id}) {
    const LCID lcid = uloc_getLCID(candidate.c_str());
    if ((lcid & sublanguageMask) != 0) return lcid;
    if (neutral == 0) neutral = lcid;
  }
  return neutral;
}

namespace {

// What the process's locales answer, worked out once: from the environment at the first
// question, or from the test hook's locale.
struct ProcessLocales {
  LocaleCodePages pages;  // of the system locale, the locale of non-Unicode text (LC_CTYPE)
  LCID systemLcid;
  LCID userLcid;  // the locale of the user's messages and formats (LC_MESSAGES)
};

ProcessLocales resolve(const char* systemLocale, const char* userLocale) {
  const auto orEnglish = [](LCID lcid) { return lcid != 0 ? lcid : englishUnitedStates; };
  return {codePagesOfLocale(systemLocale), orEnglish(lcidOfLocale(systemLocale)),
          orEnglish(lcidOfLocale(userLocale))};
}

std::mutex localeMutex;
std::optional<ProcessLocales> resolvedLocales;

ProcessLocales processLocales() {
  const std::lock_guard lock(localeMutex);
  if (!resolvedLocales) resolvedLocales = resolve(environmentLocale("LC_CTYPE"), environmentLocale("LC_MESSAGES"));
  return *resolvedLocales;
}

}  // namespace

UINT GetACP() { return processLocales().pages.ansi; }

UINT GetOEMCP() { return processLocales().pages.oem; }

LCID GetSystemDefaultLCID() { return processLocales().systemLcid; }

LCID GetUserDefaultLCID() { return processLocales().userLcid; }

LCID ConvertDefaultLocale(LCID locale) {
  constexpr LCID systemDefault = 0x0800;
  constexpr LCID userDefault = 0x0400;
  if (locale == systemDefault) return GetSystemDefaultLCID();
  if (locale == userDefault || locale == 0) return GetUserDefaultLCID();
  if ((locale & sublanguageMask) != 0) return locale;  // already names a country
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(locale, name, sizeof name, &status);
  if (U_FAILURE(status)) return locale;
  const LCID primary = lcidOfLocale(name);
  return primary != 0 ? primary : locale;
}

BOOL TranslateCharsetInfo(UINT source, CHARSETINFO* info, DWORD flags) {
  struct Pair {
    UINT codePage;
    UINT charset;
  };
  static constexpr Pair pairs[] = {
      {1252, ANSI_CHARSET},        {1250, EASTEUROPE_CHARSET}, {1251, RUSSIAN_CHARSET},
      {1253, GREEK_CHARSET},       {1254, TURKISH_CHARSET},    {1255, HEBREW_CHARSET},
      {1256, ARABIC_CHARSET},      {1257, BALTIC_CHARSET},     {1258, VIETNAMESE_CHARSET},
      {874, THAI_CHARSET},         {932, SHIFTJIS_CHARSET},    {936, GB2312_CHARSET},
      {949, HANGEUL_CHARSET},      {950, CHINESEBIG5_CHARSET}, {1361, JOHAB_CHARSET},
  };
  if (info == nullptr || (flags != TCI_SRCCODEPAGE && flags != TCI_SRCCHARSET)) return FALSE;
  for (const auto& pair : pairs) {
    if ((flags == TCI_SRCCODEPAGE ? pair.codePage : pair.charset) == source) {
      *info = CHARSETINFO{pair.charset, pair.codePage, {}};
      return TRUE;
    }
  }
  return FALSE;
}

namespace testing {
void setLocale(const char* posixLocale) {
  const std::lock_guard lock(localeMutex);
  if (posixLocale == nullptr) {
    resolvedLocales.reset();  // back to the environment at the next question
  } else {
    resolvedLocales = resolve(posixLocale, posixLocale);
  }
}
}  // namespace testing

}  // namespace sys
