// The locale list behind the locale functions of <kwuni/locales.h>: built once from the locales
// the system supports, released when the library is unloaded.
#pragma once

#include <kwuni/win32.h>

#include <string>
#include <vector>

namespace kwuni::catalogue {

struct LocaleRecord {
  LCID lcid;
  WORD language;     // lcid & 0x3FF
  WORD sublanguage;  // (lcid & 0xFFFF) >> 10; 63 in the pseudo entries
  std::u16string languageName;
  std::u16string countryName;  // "All" in group entries
  std::u16string displayName;
  int ccsid;  // default host code page; 0 in pseudo entries
  int nlv;    // default NLV; 0 in pseudo entries
};

// The list, built at the first call. It does not change until released.
const std::vector<LocaleRecord>& localeList();

// Frees every record. The list stays empty afterwards: it is not built again. Safe to call
// more than once.
void releaseLocaleList();

namespace testing {
// Forgets the list so that the next call builds it again, under the locale a test has set.
void rebuildLocaleList();
}  // namespace testing

}  // namespace kwuni::catalogue
