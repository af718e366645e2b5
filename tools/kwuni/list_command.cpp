// kwuni list CATALOGUE [LCID] [--json]: the rows of a catalogue (code pages, CCSIDs, NLVs,
// locales, calendars, number formats, date formats).

#include <kwuni/catalogue.h>
#include <kwuni/locales.h>

#include "tools/kwuni/command.h"
#include "tools/kwuni/locale_text.h"
#include "tools/kwuni/table_output.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

// The GDI character sets of the code pages that mix single and double bytes.
bool doubleByteCharset(int charset) {
  return charset == SHIFTJIS_CHARSET || charset == HANGEUL_CHARSET || charset == JOHAB_CHARSET ||
         charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

int CALLBACK collectText(const WCHAR* text, long list) {
  reinterpret_cast<std::vector<std::u16string>*>(list)->emplace_back(text);
  return 1;
}

// The keys a catalogue's enumeration offers, in its order.
template <typename Enumerate>
std::vector<std::u16string> offered(Enumerate enumerate) {
  std::vector<std::u16string> keys;
  enumerate(collectText, reinterpret_cast<long>(&keys));
  return keys;
}

struct CodePageCatalogue {
  int (*enumerate)(EnumTextProc, long, unsigned long);
  const WCHAR* (*describe)(int);
  int (*charset)(int);
};

Table codePages(std::string_view name, const CodePageCatalogue& catalogue) {
  auto codes = [&](unsigned long flags) {
    return offered([&](EnumTextProc proc, long list) { catalogue.enumerate(proc, list, flags); });
  };
  const auto plain = codes(CP_SUPPORTED);
  Table table{{{"CODE", "code"}, {"DESCRIPTION", "description"}, {"CHARSET", "charset", true}, {"DBCS", "dbcs"},
               {"", "pseudo"}},
              {}};
  for (const auto& key : codes(CP_SUPPORTED | KW_ENUM_SPECIAL)) {
    const int code = KW_StringToCP(key.c_str());
    const int charset = catalogue.charset(code);
    const bool dbcs = name == "ccsid" ? KW_IsDbcsECP(code) == 1 : doubleByteCharset(charset);
    const bool pseudo = std::find(plain.begin(), plain.end(), key) == plain.end();
    table.rows.push_back({numberCell(code), textCell(toUtf8(catalogue.describe(code))), numberCell(charset),
                          flagCell(dbcs), flagCell(pseudo, "(pseudo entry, offered only on request)", "")});
  }
  return table;
}

Table nlvs() {
  Table table{{{"NLV", "nlv"}, {"DESCRIPTION", "description"}, {"CHARSET", "charset", true}}, {}};
  for (const auto& key : offered([](EnumTextProc proc, long list) { KW_EnumNLVs(proc, list, 0); })) {
    const int nlv = KW_StringToNLV(key.c_str());
    table.rows.push_back({numberCell(nlv), textCell(toUtf8(KW_GetNLVDesc(nlv))), numberCell(KW_TranslateNLVInfo(nlv))});
  }
  return table;
}

Table locales() {
  Table table{{{"LCID", "lcid"}, {"NAME", "name"}, {"CCSID", "ccsid", true}, {"NLV", "nlv", true}, {"ENTRY", "entry"}},
              {}};
  for (const auto& key : offered([](EnumTextProc proc, long list) {
         KW_EnumSystemLocales(proc, list, LCID_SUPPORTED | KW_ENUM_SPECIAL);
       })) {
    const LCID lcid = KW_StringToLocale(key.c_str());
    const std::string entry = lcid == KW_ALL_LOCALES_ENTRY ? "all locales" : (lcid & 0xFC00) == 0xFC00 ? "group" : "locale";
    table.rows.push_back({{hexLcid(lcid), std::to_string(lcid)},
                          textCell(localeName(lcid)),
                          numberCell(localeNumber(lcid, LOCALE_IDEFAULTEBCDICCODEPAGE)),
                          numberCell(localeNumber(lcid, KW_LOCALE_INLV)),
                          textCell(entry)});
  }
  return table;
}

Table calendars(LCID locale) {
  Table table{{{"CALID", "calendar"}, {"DESCRIPTION", "description"}, {"CHARSET", "charset", true}, {"ERAS", "eras"}},
              {}};
  const auto ids = offered([locale](EnumTextProc, long list) {
    KW_EnumCalendarInfoEx(
        [](const WCHAR* id, CALID, long found) -> int { return collectText(id, found); }, locale, ENUM_ALL_CALENDARS,
        CAL_ICALINTVALUE, list);
  });
  for (const auto& key : ids) {
    const auto calendar = static_cast<CALID>(KW_StringToCalendar(key.c_str()));
    table.rows.push_back({numberCell(calendar), textCell(toUtf8(KW_GetCalendarDesc(calendar))),
                          numberCell(KW_TranslateCalendarInfo(calendar)), textCell(eraNames(locale, calendar))});
  }
  return table;
}

Table numberFormats(LCID locale) {
  Table table{{{"PATTERN", "pattern"}}, {}};
  for (const auto& pattern :
       offered([locale](EnumTextProc proc, long list) { KW_EnumNumericFormats(proc, locale, list); })) {
    table.rows.push_back({textCell(toUtf8(pattern.c_str()))});
  }
  return table;
}

Table dateFormats(LCID locale) {
  Table table{{{"KIND", "kind"}, {"FORMAT", "format"}}, {}};
  for (const auto& [kind, kindFlags] : dateFormatKinds) {
    const auto flags = kindFlags;  // a structured binding cannot be captured before C++20's fix in clang 16
    for (const auto& format : offered([&](EnumTextProc proc, long list) {
           KW_EnumDateFormats(proc, locale, flags, list);
         })) {
      table.rows.push_back({textCell(std::string(kind)), textCell(toUtf8(format.c_str()))});
    }
  }
  return table;
}

constexpr std::string_view catalogues = "ansi, oem, ccsid, nlv, locales, calendars, numformats or datefmts";

Table listing(std::string_view name, std::optional<LCID> locale) {
  const bool takesLocale = name == "calendars" || name == "numformats" || name == "datefmts";
  if (locale && !takesLocale) throw UsageError("list " + std::string(name) + " takes no locale");
  if (locale) requireListed(*locale);
  const LCID which = locale.value_or(KW_ALL_LOCALES);
  if (name == "ansi") return codePages(name, {KW_EnumANSICodePages, KW_GetACPDesc, KW_TranslateACPInfo});
  if (name == "oem") return codePages(name, {KW_EnumOEMCodePages, KW_GetOEMCPDesc, KW_TranslateOEMCPInfo});
  if (name == "ccsid") return codePages(name, {KW_EnumEBCDICCodePages, KW_GetECPDesc, KW_TranslateECPInfo});
  if (name == "nlv") return nlvs();
  if (name == "locales") return locales();
  if (name == "calendars") return calendars(which);
  if (name == "numformats") return numberFormats(which);
  if (name == "datefmts") return dateFormats(which);
  throw UsageError("unknown catalogue '" + std::string(name) + "' (expected " + std::string(catalogues) + ")");
}

}  // namespace

int listCommand(std::span<const std::string_view> args) {
  bool json = false;
  std::string_view catalogue;
  std::optional<LCID> locale;
  for (const auto arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg.starts_with("-")) {
      throw UsageError("unknown option '" + std::string(arg) + "' for list");
    } else if (catalogue.empty()) {
      catalogue = arg;
    } else if (!locale) {
      locale = parseLcid(arg);
    } else {
      throw UsageError("list takes one catalogue and at most one locale, got also '" + std::string(arg) + "'");
    }
  }
  if (catalogue.empty()) throw UsageError("list needs a catalogue: " + std::string(catalogues));
  const Table table = listing(catalogue, locale);
  json ? printJson(table) : printTable(table);
  return exitOk;
}

}  // namespace kwuni::cli
