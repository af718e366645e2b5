// The ANSI, OEM and CCSID catalogues. The three share one engine; each exported function is the
// engine's operation on one catalogue.

#include <kwuni/catalogue.h>
#include <kwuni/resources.h>

#include "catalogue/code_page_rows.h"
#include "catalogue/number_text.h"
#include "platform/locale.h"
#include "platform/resource.h"
#include "platform/version.h"

#include <array>
#include <mutex>
#include <string_view>

namespace kwuni::catalogue {
namespace {

constexpr int descriptionSize = 81;  // 80 characters and a terminator
constexpr int unlistedSize = 64;

using Description = std::array<WCHAR, descriptionSize>;

class CodePageCatalogue {
 public:
  CodePageCatalogue(std::span<const CodePageRow> rows, std::span<Description> descriptions,
                    int pseudoCode, std::string_view unlistedSuffix)
      : rows_(rows), descriptions_(descriptions), pseudoCode_(pseudoCode), unlistedSuffix_(unlistedSuffix) {}

  const CodePageRow* find(int code) const {
    for (const auto& row : rows_) {
      if (row.code == code) return &row;
    }
    return nullptr;
  }

  const WCHAR* description(int code) {
    if (const auto* row = find(code)) return descriptionOf(*row);
    formatUnlisted(code, unlistedSuffix_, unlisted_.data(), unlisted_.size());
    return unlisted_.data();
  }

  int codeOf(const WCHAR* text) const {
    if (text == nullptr) return 0;
    for (const auto& row : rows_) {
      if (equalIgnoringAsciiCase(text, descriptionOf(row))) return row.code;
    }
    return 0;
  }

  int translate(int code) const {
    const auto* row = find(code);
    if (row != nullptr && row->charset != DEFAULT_CHARSET) return row->charset;
    sys::CHARSETINFO info{};
    if (sys::TranslateCharsetInfo(sys::GetACP(), &info, sys::TCI_SRCCODEPAGE) == FALSE) return DEFAULT_CHARSET;
    return static_cast<int>(info.ciCharset);
  }

  int isValid(int code, unsigned long flags) const;

  void enumerate(EnumTextProc proc, long value, unsigned long flags) const {
    if ((flags & (CP_INSTALLED | CP_SUPPORTED)) == 0) return;
    const unsigned long test = (flags & CP_SUPPORTED) != 0 ? CP_SUPPORTED : CP_INSTALLED;
    for (const auto& row : rows_) {
      if (row.code == pseudoCode_ && (flags & KW_ENUM_SPECIAL) == 0) continue;
      if (isValid(row.code, test) != 1) continue;
      WCHAR key[16];
      KW_CPToString(row.code, key, 16);
      if (proc != nullptr) proc(key, value);
    }
  }

  void loadDescriptions(HINSTANCE module) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].stringId != 0) sys::LoadStringW(module, rows_[i].stringId, descriptions_[i].data(), descriptionSize);
    }
  }

 private:
  const WCHAR* descriptionOf(const CodePageRow& row) const {
    return descriptions_[static_cast<std::size_t>(&row - rows_.data())].data();
  }

  std::span<const CodePageRow> rows_;
  std::span<Description> descriptions_;
  int pseudoCode_;
  std::string_view unlistedSuffix_;
  std::array<WCHAR, unlistedSize> unlisted_{};
};

std::array<Description, std::size(ansiRows)> ansiDescriptions{};
std::array<Description, std::size(oemRows)> oemDescriptions{};
std::array<Description, std::size(ccsidRows)> ccsidDescriptions{};

CodePageCatalogue ansiCatalogue(ansiRows, ansiDescriptions, ansiPseudoCode, " - Unsupported code page");
CodePageCatalogue oemCatalogue(oemRows, oemDescriptions, 0, " - Unsupported code page");
CodePageCatalogue ccsidCatalogue(ccsidRows, ccsidDescriptions, ccsidPseudoCode, " - Unsupported CCSID");

// The texts come from the resource module once in the life of the process, at the first call
// that needs them; a text the module lacks stays empty.
CodePageCatalogue& loaded(CodePageCatalogue& catalogue) {
  static std::once_flag loadOnce;
  std::call_once(loadOnce, [] {
    const HINSTANCE module = KW_GetKWRES();
    oemCatalogue.loadDescriptions(module);
    ansiCatalogue.loadDescriptions(module);
    ccsidCatalogue.loadDescriptions(module);
  });
  return catalogue;
}

int CodePageCatalogue::isValid(int code, unsigned long flags) const {
  if (find(code) == nullptr) return 0;
  if ((flags & (CP_INSTALLED | CP_SUPPORTED)) == 0) return 1;
  sys::OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  sys::GetVersionExW(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return 1;
  // The older family displays a code page when its characters need only the ANSI character set
  // or the character set of the system's own code page.
  const int charset = translate(code);
  return charset == ANSI_CHARSET || charset == loaded(ansiCatalogue).translate(static_cast<int>(sys::GetACP())) ? 1 : 0;
}

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
