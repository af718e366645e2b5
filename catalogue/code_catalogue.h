// The engine of the fixed catalogues of numbered codes (ANSI and OEM code pages, CCSIDs, NLVs):
// rows searched in their order, display texts loaded once from the resource module, the GDI
// character set of a code, validity on the running system, and enumeration.
#pragma once

#include <kwuni/catalogue.h>

#include <array>
#include <mutex>
#include <span>
#include <string_view>

namespace kwuni::catalogue {

struct CodeRow {
  UINT stringId;  // description in the resource module; 0 for none
  int code;       // code page, CCSID or NLV
  int charset;    // GDI character set; DEFAULT_CHARSET stands for the system code page's
  int isDbcs;     // 1 for a mixed single/double-byte code page
};

// Where the catalogues differ.
struct CatalogueRules {
  int pseudoCode;             // offered only with KW_ENUM_SPECIAL; 0 for none
  bool offersAllUnflagged;    // an enumeration without CP_INSTALLED or CP_SUPPORTED offers every row
  bool systemCharsetDefault;  // unlisted codes and DEFAULT_CHARSET rows translate to the system's set
  std::string_view unlistedSuffix;  // " - Unsupported CCSID"
};

inline constexpr int descriptionSize = 81;  // 80 characters and a terminator
using Description = std::array<WCHAR, descriptionSize>;

// 1 when a code displayed with the character set passes the validity test of the flags: always
// without CP_INSTALLED and CP_SUPPORTED and on the NT family; on the older family when the set is
// ANSI_CHARSET or the system code page's.
int displayable(int charset, unsigned long flags);

class CodeCatalogue {
 public:
  CodeCatalogue(std::span<const CodeRow> rows, std::span<Description> descriptions, CatalogueRules rules)
      : rows_(rows), descriptions_(descriptions), rules_(rules) {}

  // The texts come from the resource module once in the life of the process, at the first call
  // that asks for them; a text the module lacks stays empty.
  CodeCatalogue& loaded();

  const CodeRow* find(int code) const;
  const WCHAR* description(int code);
  // Code of the first row whose description equals the text, ignoring the case of A-Z; 0 if none.
  int codeOf(const WCHAR* text) const;
  int translate(int code) const;
  int isValid(int code, unsigned long flags) const;
  void enumerate(EnumTextProc proc, long value, unsigned long flags) const;

 private:
  const WCHAR* descriptionOf(const CodeRow& row) const;

  std::span<const CodeRow> rows_;
  std::span<Description> descriptions_;
  CatalogueRules rules_;
  std::once_flag loadOnce_;
  std::array<WCHAR, 64> unlisted_{};
};

}  // namespace kwuni::catalogue
