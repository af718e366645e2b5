// The NLV catalogue: the host's national language versions that kwuni offers.

#include <kwuni/catalogue.h>

#include "catalogue/code_catalogue.h"
#include "catalogue/catalogue_rows.h"

#include <array>

namespace kwuni::catalogue {
namespace {

std::array<Description, std::size(nlvRows)> nlvDescriptions{};

// No pseudo entries; without flags an enumeration offers every NLV; an unlisted NLV has no
// character set.
CodeCatalogue nlvCatalogue(nlvRows, nlvDescriptions, {0, true, false, " - Unsupported NLV"});

}  // namespace
}  // namespace kwuni::catalogue

using kwuni::catalogue::nlvCatalogue;

int KW_EnumNLVs(EnumTextProc proc, long value, unsigned long flags) {
  nlvCatalogue.enumerate(proc, value, flags);
  return 1;
}

const WCHAR* KW_GetNLVDesc(int nlv) { return nlvCatalogue.loaded().description(nlv); }

int KW_GetNLVCode(const WCHAR* description) { return nlvCatalogue.loaded().codeOf(description); }

int KW_IsNLV(int nlv) { return nlvCatalogue.loaded().find(nlv) != nullptr ? 1 : 0; }

int KW_IsValidNLV(int nlv, unsigned long flags) { return nlvCatalogue.loaded().isValid(nlv, flags); }

int KW_TranslateNLVInfo(int nlv) { return nlvCatalogue.loaded().translate(nlv); }

int KW_GetDefaultNLV(int ansiCodePage) {
  if (ansiCodePage == 0) ansiCodePage = static_cast<int>(KW_GetACP());
  return kwuni::catalogue::hostDefaultsOf(ansiCodePage).nlv;
}
