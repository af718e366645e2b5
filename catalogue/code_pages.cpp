// The ANSI, OEM and CCSID catalogues: each exported function is the engine's operation on one
// of them.

#include <kwuni/catalogue.h>

#include "catalogue/code_catalogue.h"
#include "catalogue/catalogue_rows.h"
#include "platform/locale.h"

#include <array>

namespace kwuni::catalogue {
namespace {

std::array<Description, std::size(ansiRows)> ansiDescriptions{};
std::array<Description, std::size(oemRows)> oemDescriptions{};
std::array<Description, std::size(ccsidRows)> ccsidDescriptions{};

CodeCatalogue ansiCatalogue(ansiRows, ansiDescriptions, {ansiPseudoCode, false, true, " - Unsupported code page"});
CodeCatalogue oemCatalogue(oemRows, oemDescriptions, {0, false, true, " - Unsupported code page"});
CodeCatalogue ccsidCatalogue(ccsidRows, ccsidDescriptions, {ccsidPseudoCode, false, true, " - Unsupported CCSID"});

CodeCatalogue& loaded(CodeCatalogue& catalogue) { return catalogue.loaded(); }

}  // namespace

const HostDefaults& hostDefaultsOf(int ansiCodePage) {
  for (const auto& row : hostDefaults) {
    if (row.ansiCodePage == ansiCodePage) return row;
  }
  return hostDefaults[std::size(hostDefaults) - 1];
}

}  // namespace kwuni::catalogue

using namespace kwuni::catalogue;

int KW_EnumANSICodePages(EnumTextProc proc, long value, unsigned long flags) {
  ansiCatalogue.enumerate(proc, value, flags);
  return 1;
}

int KW_EnumOEMCodePages(EnumTextProc proc, long value, unsigned long flags) {
  oemCatalogue.enumerate(proc, value, flags);
  return 1;
}

int KW_EnumEBCDICCodePages(EnumTextProc proc, long value, unsigned long flags) {
  ccsidCatalogue.enumerate(proc, value, flags);
  return 1;
}

const WCHAR* KW_GetACPDesc(int codePage) { return loaded(ansiCatalogue).description(codePage); }
const WCHAR* KW_GetOEMCPDesc(int codePage) { return loaded(oemCatalogue).description(codePage); }
const WCHAR* KW_GetECPDesc(int ccsid) { return loaded(ccsidCatalogue).description(ccsid); }

int KW_GetACPCode(const WCHAR* description) { return loaded(ansiCatalogue).codeOf(description); }
int KW_GetOEMCPCode(const WCHAR* description) { return loaded(oemCatalogue).codeOf(description); }
int KW_GetECPCode(const WCHAR* description) { return loaded(ccsidCatalogue).codeOf(description); }

int KW_GetACPCode(int charset) {
  if (charset == ANSI_CHARSET) return 0;
  for (const auto& row : ansiRows) {
    if (row.charset == charset) return row.code;
  }
  return 0;
}

int KW_IsACP(int codePage) { return loaded(ansiCatalogue).find(codePage) != nullptr ? 1 : 0; }
int KW_IsOEMCP(int codePage) { return loaded(oemCatalogue).find(codePage) != nullptr ? 1 : 0; }
int KW_IsECP(int ccsid) { return loaded(ccsidCatalogue).find(ccsid) != nullptr ? 1 : 0; }

int KW_IsDbcsECP(int ccsid) {
  const auto* row = loaded(ccsidCatalogue).find(ccsid);
  return row != nullptr ? row->isDbcs : 0;
}

int KW_IsValidACP(int codePage, unsigned long flags) { return loaded(ansiCatalogue).isValid(codePage, flags); }
int KW_IsValidOEMCP(int codePage, unsigned long flags) { return loaded(oemCatalogue).isValid(codePage, flags); }
int KW_IsValidECP(int ccsid, unsigned long flags) { return loaded(ccsidCatalogue).isValid(ccsid, flags); }

int KW_TranslateACPInfo(int codePage) { return loaded(ansiCatalogue).translate(codePage); }
int KW_TranslateOEMCPInfo(int codePage) { return loaded(oemCatalogue).translate(codePage); }
int KW_TranslateECPInfo(int ccsid) { return loaded(ccsidCatalogue).translate(ccsid); }

int KW_GetDefaultECP(int ansiCodePage) {
  if (ansiCodePage == 0) ansiCodePage = static_cast<int>(KW_GetACP());
  return hostDefaultsOf(ansiCodePage).ccsid;
}

int KW_GetCorrectedECP(int ccsid) {
  struct Correction {
    int from;
    int to;
  };
  static constexpr Correction corrected[] = {{833, 933}, {836, 935}, {290, 930}};
  for (const auto& c : corrected) {
    if (c.from == ccsid) return c.to;
  }
  return ccsid;
}

unsigned int KW_GetACP() { return sys::GetACP(); }
