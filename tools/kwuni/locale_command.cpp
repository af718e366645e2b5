// kwuni locale LCID [--json]: everything the catalogues know about one locale.

#include <kwuni/catalogue.h>
#include <kwuni/locales.h>

#include "tools/kwuni/command.h"
#include "tools/kwuni/locale_text.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

struct Calendar {
  CALID id;
  std::string description;
  std::string eras;
};

struct LocaleReport {
  LCID lcid;
  std::string name;
  LCID group;
  std::optional<std::string> groupName;  // when the group has an entry of its own
  int ccsid;
  std::string ccsidDescription;
  int nlv;
  std::string nlvDescription;
  std::string numberFormat;
  CALID defaultCalendar;
  std::vector<Calendar> calendars;
  std::vector<std::pair<std::string_view, std::vector<std::string>>> dateFormats;
};

std::vector<std::string> texts(const std::vector<std::u16string>& list) {
  std::vector<std::string> out;
  for (const auto& t : list) out.push_back(toUtf8(t.c_str()));
  return out;
}

int CALLBACK collectText(const WCHAR* text, long list) {
  reinterpret_cast<std::vector<std::u16string>*>(list)->emplace_back(text);
  return 1;
}

int CALLBACK collectCalendar(const WCHAR*, CALID id, long list) {
  reinterpret_cast<std::vector<CALID>*>(list)->push_back(id);
  return 1;
}

LocaleReport report(LCID lcid) {
  LocaleReport r{};
  r.lcid = lcid;
  r.name = localeName(lcid);
  r.group = KW_GetLocaleGroup(lcid);
  if (KW_IsLocale(r.group) == 1 && r.group != lcid) r.groupName = localeName(r.group);
  r.ccsid = localeNumber(lcid, LOCALE_IDEFAULTEBCDICCODEPAGE);
  r.ccsidDescription = toUtf8(KW_GetECPDesc(r.ccsid));
  r.nlv = localeNumber(lcid, KW_LOCALE_INLV);
  r.nlvDescription = toUtf8(KW_GetNLVDesc(r.nlv));
  WCHAR pattern[64] = {};
  KW_GetLocaleInfo(lcid, KW_LOCALE_SNUMBERFORMAT, pattern, 64);
  r.numberFormat = toUtf8(pattern);
  WCHAR calendarType[16] = {};
  r.defaultCalendar = KW_GetLocaleInfo(lcid, LOCALE_ICALENDARTYPE, calendarType, 16) != 0
                          ? static_cast<CALID>(KW_StringToCalendar(calendarType))
                          : CAL_GREGORIAN;
  std::vector<CALID> ids;
  KW_EnumCalendarInfoEx(collectCalendar, lcid, ENUM_ALL_CALENDARS, CAL_ICALINTVALUE, reinterpret_cast<long>(&ids));
  for (const CALID id : ids) r.calendars.push_back({id, toUtf8(KW_GetCalendarDesc(id)), eraNames(lcid, id)});
  for (const auto& [kind, flags] : dateFormatKinds) {
    std::vector<std::u16string> formats;
    KW_EnumDateFormats(collectText, lcid, flags, reinterpret_cast<long>(&formats));
    r.dateFormats.emplace_back(kind, texts(formats));
  }
  return r;
}

std::string joined(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : std::string(separator)) + item;
  return out;
}

void printText(const LocaleReport& r) {
  std::printf("locale            %s\n", hexLcid(r.lcid).c_str());
  std::printf("name              %s\n", r.name.c_str());
  std::printf("group             %s%s\n", hexLcid(r.group).c_str(),
              r.groupName ? ("  " + *r.groupName).c_str() : "  (no group entry: the language's only locale)");
  std::printf("host code page    %d  %s\n", r.ccsid, r.ccsidDescription.c_str());
  std::printf("NLV               %d  %s\n", r.nlv, r.nlvDescription.c_str());
  std::printf("number format     %s\n", r.numberFormat.c_str());
  std::printf("calendar type     %u\n", static_cast<unsigned>(r.defaultCalendar));
  for (const auto& c : r.calendars) {
    std::printf("calendar          %s%s\n", c.description.c_str(), c.eras.empty() ? "" : ("  eras: " + c.eras).c_str());
  }
  for (const auto& [kind, formats] : r.dateFormats) {
    std::printf("%-17s %s\n", (std::string(kind) + " dates").c_str(), joined(formats, "  |  ").c_str());
  }
}

std::string jsonList(const std::vector<std::string>& items) {
  std::vector<std::string> quoted;
  for (const auto& item : items) quoted.push_back(jsonString(item));
  // Appended rather than "[" + ... + "]", which GCC 12 at -O3 mistakes for an overlapping copy.
  std::string list = "[";
  list += joined(quoted, ", ");
  list += ']';
  return list;
}

void printJson(const LocaleReport& r) {
  std::printf("{\n  \"lcid\": %u,\n  \"name\": %s,\n  \"group\": %u,\n  \"groupName\": %s,\n",
              static_cast<unsigned>(r.lcid), jsonString(r.name).c_str(), static_cast<unsigned>(r.group),
              r.groupName ? jsonString(*r.groupName).c_str() : "null");
  std::printf("  \"ccsid\": %d,\n  \"ccsidDescription\": %s,\n  \"nlv\": %d,\n  \"nlvDescription\": %s,\n", r.ccsid,
              jsonString(r.ccsidDescription).c_str(), r.nlv, jsonString(r.nlvDescription).c_str());
  std::printf("  \"numberFormat\": %s,\n  \"calendarType\": %u,\n  \"calendars\": [", jsonString(r.numberFormat).c_str(),
              static_cast<unsigned>(r.defaultCalendar));
  for (std::size_t i = 0; i < r.calendars.size(); ++i) {
    const auto& c = r.calendars[i];
    std::printf("%s{\"calendar\": %u, \"description\": %s, \"eras\": %s}", i > 0 ? ", " : "",
                static_cast<unsigned>(c.id), jsonString(c.description).c_str(), jsonString(c.eras).c_str());
  }
  std::printf("],\n  \"dateFormats\": {");
  for (std::size_t i = 0; i < r.dateFormats.size(); ++i) {
    std::printf("%s%s: %s", i > 0 ? ", " : "", jsonString(r.dateFormats[i].first).c_str(),
                jsonList(r.dateFormats[i].second).c_str());
  }
  std::printf("}\n}\n");
}

}  // namespace

int localeCommand(std::span<const std::string_view> args) {
  bool json = false;
  std::optional<LCID> lcid;
  for (const auto arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg.starts_with("-")) {
      throw UsageError("unknown option '" + std::string(arg) + "' for locale");
    } else if (!lcid) {
      lcid = parseLcid(arg);
    } else {
      throw UsageError("locale takes one locale id, got also '" + std::string(arg) + "'");
    }
  }
  if (!lcid) throw UsageError("locale needs a locale id, for example 0x0411");
  requireListed(*lcid);
  const LocaleReport r = report(*lcid);
  json ? printJson(r) : printText(r);
  return exitOk;
}

}  // namespace kwuni::cli
