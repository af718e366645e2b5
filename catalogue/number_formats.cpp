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
  // Appended piece by piece: g++ -O3 warns wrongly about a chain of concatenations.
  std::u16string positive = u"#";
  positive.append(localeText(locale, LOCALE_STHOUSAND)).append(leadingZero != 0 ? u"##0" : u"###");
  struct Negative {
    const char16_t* before;
    const char16_t* after;
  };
  static constexpr Negative negatives[] = {
      {u"(", u")"},  // (1,234)
      {u"-", u""},   // -1,234
      {u"- ", u""},  // - 1,234
      {u"", u"-"},   // 1,234-
      {u"", u" -"},  // 1,234 -
  };
  const Negative& n = negativeMode >= 0 && negativeMode <= 4 ? negatives[negativeMode] : negatives[1];
  std::u16string text = positive;
  text.append(u";").append(n.before).append(positive).append(n.after);
  return text;
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
