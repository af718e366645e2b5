#include "catalogue/number_formats.h"

#include <kwuni/locales.h>

#include "catalogue/distinct_texts.h"

#include <algorithm>
#include <string>

namespace kwuni::catalogue {
namespace {

// A text of the locale's information; empty when it cannot be read.
std::u16string localeText(LCID locale, LCTYPE type) {
  std::u16string text(256, u'\0');
  KW_GetLocaleInfo(locale, type, text.data(), 256);
  text.resize(std::char_traits<char16_t>::length(text.c_str()));
  return text;
}

std::u16string pattern(LCID locale) {
  const int leadingZero = KW_StringToCP(localeText(locale, LOCALE_ILZERO).c_str());
  const int negativeMode = KW_StringToCP(localeText(locale, LOCALE_INEGNUMBER).c_str());
  const std::u16string positive = u"#" + localeText(locale, LOCALE_STHOUSAND) + (leadingZero != 0 ? u"##0" : u"###");
  switch (negativeMode) {
    case 0: return positive + u";(" + positive + u")";  // (1,234)
    case 2: return positive + u";- " + positive;        // - 1,234
    case 3: return positive + u";" + positive + u"-";   // 1,234-
    case 4: return positive + u";" + positive + u" -";  // 1,234 -
    default: return positive + u";-" + positive;        // -1,234
  }
}

int CALLBACK numberFormatOfLocale(const WCHAR* locale, long) {
  WCHAR text[64];
  numberFormat(KW_StringToLocale(locale), text, 64);
  return DistinctTexts::running().offer(text);
}

}  // namespace

int numberFormat(LCID locale, WCHAR* buffer, int count) {
  const std::u16string text = pattern(locale);
  if (buffer != nullptr && count > 0) {
    const auto length = std::min(text.size(), static_cast<std::size_t>(count - 1));
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = 0;
  }
  return static_cast<int>(text.size());
}

}  // namespace kwuni::catalogue

int KW_EnumNumericFormats(EnumTextProc proc, LCID locale, long value) {
  kwuni::catalogue::DistinctTexts texts(proc, value);
  return texts.forLocales(locale, kwuni::catalogue::numberFormatOfLocale, 0);
}
