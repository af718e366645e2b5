// An enumeration of texts over one locale or over every locale of the list that offers each
// distinct text once to the caller's callback (number formats, date formats). The running
// enumeration is the calling thread's own; one started inside a callback interrupts it until
// it ends.
#pragma once

#include <kwuni/catalogue.h>

#include <string>
#include <unordered_set>

namespace kwuni::catalogue {

class DistinctTexts {
 public:
  DistinctTexts(EnumTextProc proc, long value);
  ~DistinctTexts();
  DistinctTexts(const DistinctTexts&) = delete;
  DistinctTexts& operator=(const DistinctTexts&) = delete;

  // The innermost enumeration running on this thread.
  static DistinctTexts& running();

  // Gives a text not offered before in this enumeration to the callback and returns its result;
  // 1 for a repeat.
  int offer(const WCHAR* text);

  // perLocale(the locale's id as text, stepValue) for one locale, with its result; for
  // KW_ALL_LOCALES, for every listed real locale in list order, with the result 1.
  int forLocales(LCID locale, EnumTextProc perLocale, long stepValue);

 private:
  EnumTextProc proc_;
  long value_;
  std::unordered_set<std::u16string> offered_;
  DistinctTexts* interrupted_;
};

}  // namespace kwuni::catalogue
