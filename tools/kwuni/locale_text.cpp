#include "tools/kwuni/locale_text.h"

#include <kwuni/locales.h>

#include "tools/kwuni/command.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace kwuni::cli {

LCID parseLcid(std::string_view text) {
  std::string_view digits = text;
  if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2);
  LCID lcid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), lcid, 16);
  if (digits.empty() || digits.size() > 8 || error != std::errc() || end != digits.data() + digits.size()) {
    throw UsageError("'" + std::string(text) + "' is not a locale id (hexadecimal, for example 0x0411)");
  }
  return lcid;
}

void requireListed(LCID lcid) {
  if (KW_IsLocale(lcid) == 0) {
    throw Failure("locale " + hexLcid(lcid) + " is not in the catalogue ('kwuni list locales' shows those that are)");
  }
}

std::string hexLcid(LCID lcid) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(lcid));
  return text;
}

std::string localeName(LCID lcid) {
  WCHAR name[128];
  KW_GetLocaleDesc(lcid, name, 128);
  return toUtf8(name);
}

int localeNumber(LCID lcid, LCTYPE type) {
  WCHAR digits[16] = {};
  KW_GetLocaleInfo(lcid, type, digits, 16);
  return KW_StringToCP(digits);
}

std::string eraNames(LCID locale, CALID calendar) {
  WCHAR buffer[512];
  const int used = KW_GetCalendarInfo(locale, calendar, CAL_SERASTRING, buffer, 512);
  std::vector<std::u16string> eras;
  std::string joined;
  for (int i = 0; i + 1 < used;) {
    std::u16string era(buffer + i);
    i += static_cast<int>(era.size()) + 1;
    if (era.empty() || std::find(eras.begin(), eras.end(), era) != eras.end()) continue;
    joined += (eras.empty() ? "" : ", ") + toUtf8(era.c_str());
    eras.push_back(std::move(era));
  }
  return joined;
}

}  // namespace kwuni::cli
