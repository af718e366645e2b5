// The locale catalogue: the list of locales with their display names and host defaults, and the
// locale functions of <kwuni/locales.h>.

#include <kwuni/locales.h>

#include "catalogue/catalogue_rows.h"
#include "catalogue/locale_list.h"
#include "catalogue/number_formats.h"
#include "catalogue/number_text.h"
#include "platform/code_page_conversion.h"
#include "platform/locale.h"
#include "platform/locale_info.h"
#include "platform/version.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

namespace kwuni::catalogue {
namespace {

// The host defaults of particular locales, asked before those of their ANSI code page. A 0
// stands for the usual CCSID 37 and NLV 2924.
struct LocaleDefaults {
  LCID lcid;
  int ccsid;
  int nlv;
};

constexpr LocaleDefaults localeHostDefaults[] = {
    {0x0439, 0, 0}, {0x044E, 0, 0}, {0x044F, 0, 0},
    {0x0436, 37, 2924}, {0x0C09, 37, 2924}, {0x1009, 37, 2924}, {0x1409, 37, 2924},
    {0x1C09, 37, 2924}, {0x0409, 37, 2924}, {0x0421, 37, 2924}, {0x043E, 37, 2924},
    {0x083E, 37, 2924},
    {0x0416, 37, 2980},
    {0x0406, 277, 2926}, {0x0438, 277, 2926},
    {0x0414, 277, 2933}, {0x0814, 277, 2933},
    {0x041D, 278, 2937},
    {0x2C0A, 284, 2931}, {0x400A, 284, 2931}, {0x340A, 284, 2931}, {0x240A, 284, 2931},
    {0x140A, 284, 2931}, {0x1C0A, 284, 2931}, {0x300A, 284, 2931}, {0x440A, 284, 2931},
    {0x100A, 284, 2931}, {0x480A, 284, 2931}, {0x080A, 284, 2931}, {0x4C0A, 284, 2931},
    {0x180A, 284, 2931}, {0x3C0A, 284, 2931}, {0x280A, 284, 2931}, {0x500A, 284, 2931},
    {0x380A, 284, 2931}, {0x200A, 284, 2931},
    {0x0809, 285, 2924},
    {0x1401, 420, 2954}, {0x3C01, 420, 2954}, {0x0C01, 420, 2954}, {0x0801, 420, 2954},
    {0x2C01, 420, 2954}, {0x3401, 420, 2954}, {0x3001, 420, 2954}, {0x1001, 420, 2954},
    {0x1801, 420, 2954}, {0x2001, 420, 2954}, {0x4001, 420, 2954}, {0x0401, 420, 2954},
    {0x2801, 420, 2954}, {0x1C01, 420, 2954}, {0x3801, 420, 2954}, {0x2401, 420, 2954},
    {0x0465, 420, 2954}, {0x0820, 420, 2954}, {0x0420, 420, 2954},
    {0x040D, 424, 2961},
    {0x042B, 500, 2924}, {0x2809, 500, 2924}, {0x2409, 500, 2924}, {0x2009, 500, 2924},
    {0x3409, 500, 2924}, {0x2C09, 500, 2924}, {0x3009, 500, 2924}, {0x0437, 500, 2924},
    {0x0443, 500, 2924},
    {0x1407, 500, 2939}, {0x0807, 500, 2939},
    {0x100C, 500, 2940},
    {0x0810, 500, 2942},
    {0x0C0C, 500, 2981},
    {0x041C, 500, 2995},
    {0x041E, 838, 2972},
    {0x0424, 870, 2911},
    {0x041A, 870, 2912},
    {0x081A, 870, 2924},
    {0x0405, 870, 2975},
    {0x040E, 870, 2976},
    {0x0415, 870, 2978},
    {0x0418, 870, 2992},
    {0x041B, 870, 2994},
    {0x040F, 871, 2958},
    {0x0408, 875, 2957},
    {0x082C, 880, 2979}, {0x043F, 880, 2979}, {0x0450, 880, 2979}, {0x0444, 880, 2979},
    {0x0843, 880, 2979},
    {0x0411, 930, 2962},
    {0x0412, 933, 2986},
    {0x0804, 935, 2989}, {0x1004, 935, 2989},
    {0x0C04, 937, 2987}, {0x1404, 937, 2987}, {0x0404, 937, 2987},
    {0x042F, 1025, 2913},
    {0x0C1A, 1025, 2914},
    {0x0402, 1025, 2974},
    {0x0423, 1025, 2979}, {0x0419, 1025, 2979}, {0x0422, 1025, 2979},
    {0x042C, 1026, 2956}, {0x041F, 1026, 2956},
    {0x0429, 1097, 2998},
    {0x0427, 1112, 2903},
    {0x0426, 1112, 2904},
    {0x0425, 1122, 2902},
    {0x042A, 1130, 2905},
    {0x0413, 1140, 2923},
    {0x0C07, 1141, 2929}, {0x0407, 1141, 2929},
    {0x040B, 1143, 2925},
    {0x081D, 1143, 2937},
    {0x0410, 1144, 2932},
    {0x042D, 1145, 2931}, {0x0403, 1145, 2931}, {0x0456, 1145, 2931}, {0x0C0A, 1145, 2931},
    {0x040A, 1145, 2931},
    {0x1809, 1146, 2924}, {0x083C, 1146, 2924},
    {0x040C, 1147, 2928},
    {0x0816, 1148, 2922},
    {0x1007, 1148, 2939},
    {0x140C, 1148, 2940}, {0x180C, 1148, 2940},
    {0x0813, 1148, 2963},
    {0x080C, 1148, 2966},
};

constexpr const char16_t* allLocalesName = u"All Locales";
constexpr LCID groupBits = 0xFC00;  // all six sublanguage bits: a pseudo entry
constexpr WORD englishLanguage = 9;
constexpr WORD pseudoSublanguage = 63;

WORD languageOf(LCID lcid) { return static_cast<WORD>(lcid & 0x3FF); }
WORD sublanguageOf(LCID lcid) { return static_cast<WORD>((lcid & 0xFFFF) >> 10); }

bool ntFamily() {
  sys::OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  sys::GetVersionExW(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A text of the system's locale information: one call for its length, one into a text of it.
std::u16string localeText(LCID lcid, LCTYPE type) {
  const int needed = sys::GetLocaleInfoW(lcid, type, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string text(static_cast<std::size_t>(needed), u'\0');
  const int written = sys::GetLocaleInfoW(lcid, type, text.data(), needed);
  text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
  return text;
}

// The locales the system supports, gathered while the list is built (under the build lock).
std::vector<LCID>* gathering = nullptr;

BOOL CALLBACK gatherLocale(LPWSTR text) {
  gathering->push_back(KW_StringToLocale(text));
  return TRUE;
}

LocaleRecord recordFor(LCID lcid, int ansiCodePage) {
  int ccsid = 0;
  int nlv = 0;
  const auto own = std::find_if(std::begin(localeHostDefaults), std::end(localeHostDefaults),
                                [lcid](const LocaleDefaults& d) { return d.lcid == lcid; });
  if (own != std::end(localeHostDefaults)) {
    ccsid = own->ccsid;
    nlv = own->nlv;
  } else {
    const HostDefaults& byCodePage = hostDefaultsOf(ansiCodePage);
    ccsid = byCodePage.ccsid;
    nlv = byCodePage.nlv;
  }
  return {lcid, languageOf(lcid), sublanguageOf(lcid), {}, {}, {}, ccsid != 0 ? ccsid : 37, nlv != 0 ? nlv : 2924};
}

// The supported locales that have a Windows ANSI code page other than the Hebrew and Arabic
// ones, each language and sublanguage once, ordered by them.
std::vector<LocaleRecord> supportedLocales() {
  std::vector<LCID> system;
  gathering = &system;
  sys::EnumSystemLocalesW(gatherLocale, LCID_SUPPORTED);
  gathering = nullptr;

  std::vector<LocaleRecord> records;
  for (const LCID lcid : system) {
    WCHAR text[256] = {};
    sys::GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE, text, 256);
    const int ansiCodePage = KW_StringToCP(text);
    if (ansiCodePage == 0 || ansiCodePage == 1255 || ansiCodePage == 1256) continue;
    if (languageOf(lcid) != englishLanguage && !ntFamily() && ansiCodePage != static_cast<int>(sys::GetACP())) {
      continue;
    }
    const auto place = std::find_if(records.begin(), records.end(), [lcid](const LocaleRecord& r) {
      return r.language > languageOf(lcid) || (r.language == languageOf(lcid) && r.sublanguage >= sublanguageOf(lcid));
    });
    if (place != records.end() && place->language == languageOf(lcid) && place->sublanguage == sublanguageOf(lcid)) {
      continue;
    }
    records.insert(place, recordFor(lcid, ansiCodePage));
  }
  return records;
}

// Names in English: "Language (Country)" as the language name for an English-speaking user,
// otherwise the language alone; the country joins it where a language has several locales.
void nameLocales(std::vector<LocaleRecord>& records) {
  const bool englishUser = languageOf(sys::GetUserDefaultLCID()) == englishLanguage;
  const LCTYPE languageType = englishUser ? LOCALE_SLANGUAGE : LOCALE_SENGLANGUAGE;
  const LCTYPE countryType = englishUser ? LOCALE_SCOUNTRY : LOCALE_SENGCOUNTRY;
  for (auto run = records.begin(); run != records.end();) {
    const auto end = std::find_if(run, records.end(), [&](const LocaleRecord& r) { return r.language != run->language; });
    bool duplicates = false;
    for (auto r = run; r != end; ++r) {
      r->languageName = localeText(r->lcid, languageType);
      r->countryName = localeText(r->lcid, countryType);
      duplicates = duplicates || std::any_of(run, r, [&](const LocaleRecord& o) { return o.languageName == r->languageName; });
    }
    for (auto r = run; r != end; ++r) {
      r->displayName = duplicates ? r->languageName + u" (" + r->countryName + u")" : r->languageName;
    }
    run = end;
  }
}

// Each record goes before the first one whose name it does not exceed in the user's collation.
std::vector<LocaleRecord> sortedByName(std::vector<LocaleRecord> records) {
  std::vector<LocaleRecord> sorted;
  sorted.reserve(records.size() + 1);
  for (auto& record : records) {
    const auto place = std::partition_point(sorted.begin(), sorted.end(), [&](const LocaleRecord& r) {
      return sys::CompareStringW(LOCALE_USER_DEFAULT, 0, record.displayName.c_str(), -1, r.displayName.c_str(), -1) ==
             CSTR_GREATER_THAN;
    });
    sorted.insert(place, std::move(record));
  }
  return sorted;
}

// The language name without its country: up to the last "(", white space before it removed.
std::u16string groupLanguageName(const std::u16string& languageName) {
  const auto open = languageName.rfind(u'(');
  if (open == std::u16string::npos) return languageName;
  std::u16string name = languageName.substr(0, open);
  if (name.empty()) return name;
  std::vector<WORD> types(name.size());
  sys::GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, name.c_str(), static_cast<int>(name.size()), types.data());
  std::size_t length = name.size();
  while (length > 0 && (types[length - 1] & C1_SPACE) != 0) --length;
  name.resize(length);
  return name;
}

LocaleRecord pseudoEntry(LCID lcid, std::u16string languageName, std::u16string countryName,
                         std::u16string displayName) {
  return {lcid, languageOf(lcid), pseudoSublanguage, std::move(languageName), std::move(countryName),
          std::move(displayName), 0, 0};
}

// "All Locales" first, then a group entry before the locales of each language that has several.
std::vector<LocaleRecord> withPseudoEntries(std::vector<LocaleRecord> records) {
  std::vector<LocaleRecord> list;
  list.reserve(records.size() * 2 + 1);
  list.push_back(pseudoEntry(KW_ALL_LOCALES_ENTRY, {}, {}, allLocalesName));
  for (auto run = records.begin(); run != records.end();) {
    const auto end = std::find_if(run, records.end(), [&](const LocaleRecord& r) { return r.language != run->language; });
    if (end - run >= 2) {
      std::u16string language = groupLanguageName(run->languageName);
      std::u16string display = language + u" (All)";
      list.push_back(pseudoEntry(run->language | groupBits, std::move(language), u"All", std::move(display)));
    }
    list.insert(list.end(), std::make_move_iterator(run), std::make_move_iterator(end));
    run = end;
  }
  return list;
}

std::vector<LocaleRecord> buildList() {
  std::vector<LocaleRecord> records = supportedLocales();
  nameLocales(records);
  return withPseudoEntries(sortedByName(std::move(records)));
}

// The list lives until the library's unload step releases its records: it is never destroyed
// as a static object, so the unload step may come before or after the statics go.
struct LocaleListState {
  std::mutex mutex;
  std::atomic<bool> built{false};
  std::vector<LocaleRecord> records;
};
LocaleListState& state() {
  static auto* const everything = new LocaleListState;
  return *everything;
}

const LocaleRecord* find(LCID lcid) {
  const auto& records = localeList();
  const auto found = std::find_if(records.begin(), records.end(), [lcid](const LocaleRecord& r) { return r.lcid == lcid; });
  return found != records.end() ? &*found : nullptr;
}

// Copies at most count - 1 characters and a terminator; the length copied.
int copyAnswer(const std::u16string& answer, WCHAR* buffer, int count) {
  if (buffer == nullptr || count <= 0) return 0;
  const auto length = std::min(answer.size(), static_cast<std::size_t>(count - 1));
  std::copy_n(answer.begin(), length, buffer);
  buffer[length] = 0;
  return static_cast<int>(length);
}

}  // namespace

const std::vector<LocaleRecord>& localeList() {
  LocaleListState& s = state();
  if (!s.built.load(std::memory_order_acquire)) {
    const std::lock_guard lock(s.mutex);
    if (!s.built.load(std::memory_order_relaxed)) {
      s.records = buildList();
      s.built.store(true, std::memory_order_release);
    }
  }
  return s.records;
}

void releaseLocaleList() {
  LocaleListState& s = state();
  const std::lock_guard lock(s.mutex);
  std::vector<LocaleRecord>().swap(s.records);
  s.built.store(true, std::memory_order_release);
}

namespace testing {
void rebuildLocaleList() {
  LocaleListState& s = state();
  const std::lock_guard lock(s.mutex);
  s.records.clear();
  s.built.store(false, std::memory_order_release);
}
}  // namespace testing

}  // namespace kwuni::catalogue

using kwuni::catalogue::find;
using kwuni::catalogue::localeList;

int KW_EnumSystemLocales(EnumTextProc proc, long value, unsigned long flags) {
  if ((flags & (LCID_INSTALLED | LCID_SUPPORTED)) == 0) return 1;
  const unsigned long test = (flags & LCID_SUPPORTED) != 0 ? LCID_SUPPORTED : LCID_INSTALLED;
  for (const auto& record : localeList()) {
    if ((record.lcid & kwuni::catalogue::groupBits) == kwuni::catalogue::groupBits && (flags & KW_ENUM_SPECIAL) == 0) {
      continue;
    }
    if (KW_IsValidLocale(record.lcid, test) != 1) continue;
    WCHAR key[16];
    KW_LocaleToString(record.lcid, key, 16);
    if (proc != nullptr) proc(key, value);
  }
  return 1;
}

LCID KW_GetLocaleCode(const WCHAR* displayName) {
  if (displayName == nullptr) return KW_ALL_LOCALES_ENTRY;
  for (const auto& record : localeList()) {
    if (record.displayName == displayName) return record.lcid;
  }
  return KW_ALL_LOCALES_ENTRY;
}

int KW_GetLocaleDesc(LCID locale, WCHAR* buffer, int count) {
  const auto* record = find(locale);
  const std::u16string name = record != nullptr ? record->displayName : kwuni::catalogue::allLocalesName;
  if (buffer != nullptr && count >= 1) {
    const auto n = static_cast<std::size_t>(count);
    std::fill_n(buffer, n, WCHAR{0});
    std::copy_n(name.begin(), std::min(name.size(), n), buffer);
    buffer[n - 1] = 0;
  }
  return 1;
}

LCID KW_GetLocaleGroup(LCID locale) {
  return find(locale) != nullptr ? (locale & 0xFFFF) | kwuni::catalogue::groupBits : locale;
}

int KW_GetLocaleInfo(LCID locale, LCTYPE type, WCHAR* buffer, int count) {
  if (type == LOCALE_SENGLANGUAGE || type == LOCALE_IDEFAULTEBCDICCODEPAGE || type == KW_LOCALE_INLV) {
    if (locale == LOCALE_SYSTEM_DEFAULT || locale == LOCALE_USER_DEFAULT) locale = sys::ConvertDefaultLocale(locale);
    const auto* record = find(locale);
    if (record == nullptr) return 0;
    if (type == LOCALE_SENGLANGUAGE) return kwuni::catalogue::copyAnswer(record->displayName, buffer, count);
    std::u16string digits(16, u'\0');
    digits.resize(static_cast<std::size_t>(KW_CPToString(type == KW_LOCALE_INLV ? record->nlv : record->ccsid, digits.data(), 16)));
    return kwuni::catalogue::copyAnswer(digits, buffer, count);
  }
  if (type == KW_LOCALE_SNUMBERFORMAT) return kwuni::catalogue::numberFormat(locale, buffer, count);

  const int result = sys::GetLocaleInfoW(locale, type, buffer, count);
  if (result == 0) {
    if (buffer != nullptr && count > 0) buffer[0] = 0;
    return 0;
  }
  // The older family shows these only when the system code page can write them.
  if ((type == LOCALE_SDECIMAL || type == LOCALE_STHOUSAND || type == LOCALE_SCURRENCY) &&
      !kwuni::catalogue::ntFamily() && buffer != nullptr && count > 0) {
    BOOL usedDefault = FALSE;
    sys::WideCharToMultiByte(CP_ACP, 0, buffer, -1, nullptr, 0, nullptr, &usedDefault);
    if (usedDefault != FALSE) {
      buffer[0] = 0;
      return 0;
    }
  }
  return result;
}

LCID KW_GetSystemDefaultLCID() { return sys::GetSystemDefaultLCID(); }

LCID KW_GetUserDefaultLCID() { return sys::GetUserDefaultLCID(); }

int KW_IsLocale(LCID locale) { return find(locale) != nullptr ? 1 : 0; }

int KW_IsValidLocale(LCID locale, unsigned long flags) {
  if ((flags & (LCID_INSTALLED | LCID_SUPPORTED)) == 0) return 0;
  return KW_IsLocale(locale);
}

int KW_LocaleToString(LCID locale, WCHAR* buffer, int count) {
  return kwuni::catalogue::writeNumber(static_cast<std::uint32_t>(locale), 16, buffer, count);
}

LCID KW_StringToLocale(const WCHAR* text) {
  if (text == nullptr || *text == 0) return 0;
  const std::u16string_view view(text);
  std::vector<WORD> types(view.size());
  if (sys::GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, text, static_cast<int>(view.size()), types.data()) == FALSE) {
    return 0;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < view.size(); ++i) {
    const std::uint32_t c = view[i];
    std::uint32_t digit = 0;
    if ((types[i] & C1_DIGIT) != 0) {
      digit = c - 48;
    } else if ((types[i] & C1_UPPER) != 0) {
      digit = c - 55;
    } else if ((types[i] & C1_LOWER) != 0) {
      digit = c - 87;
    } else {
      break;
    }
    value = value * 16 + digit;
  }
  return value;
}
