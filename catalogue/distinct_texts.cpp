#include "catalogue/distinct_texts.h"

#include <kwuni/locales.h>

namespace kwuni::catalogue {
namespace {
thread_local DistinctTexts* innermost = nullptr;
}  // namespace

DistinctTexts::DistinctTexts(EnumTextProc proc, long value) : proc_(proc), value_(value), interrupted_(innermost) {
  innermost = this;
}

DistinctTexts::~DistinctTexts() { innermost = interrupted_; }

DistinctTexts& DistinctTexts::running() { return *innermost; }

int DistinctTexts::offer(const WCHAR* text) {
  if (text == nullptr || !offered_.emplace(text).second) return 1;
  return proc_ != nullptr ? proc_(text, value_) : 1;
}

int DistinctTexts::forLocales(LCID locale, EnumTextProc perLocale, long stepValue) {
  if (locale == KW_ALL_LOCALES) {
    KW_EnumSystemLocales(perLocale, stepValue, LCID_SUPPORTED);
    return 1;
  }
  WCHAR id[16];
  KW_LocaleToString(locale, id, 16);
  return perLocale(id, stepValue);
}

}  // namespace kwuni::catalogue
