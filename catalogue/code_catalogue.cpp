#include "catalogue/code_catalogue.h"

#include <kwuni/resources.h>

#include "catalogue/number_text.h"
#include "platform/locale.h"
#include "platform/resource.h"
#include "platform/version.h"

namespace kwuni::catalogue {

int displayable(int charset, unsigned long flags) {
  if ((flags & (CP_INSTALLED | CP_SUPPORTED)) == 0) return 1;
  sys::OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  sys::GetVersionExW(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return 1;
  return charset == ANSI_CHARSET || charset == KW_TranslateACPInfo(static_cast<int>(KW_GetACP())) ? 1 : 0;
}

CodeCatalogue& CodeCatalogue::loaded() {
  std::call_once(loadOnce_, [this] {
    const HINSTANCE module = KW_GetKWRES();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].stringId != 0) sys::LoadStringW(module, rows_[i].stringId, descriptions_[i].data(), descriptionSize);
    }
  });
  return *this;
}

const CodeRow* CodeCatalogue::find(int code) const {
  for (const auto& row : rows_) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

const WCHAR* CodeCatalogue::description(int code) {
  if (const auto* row = find(code)) return descriptionOf(*row);
  formatUnlisted(code, rules_.unlistedSuffix, unlisted_.data(), unlisted_.size());
  return unlisted_.data();
}

int CodeCatalogue::codeOf(const WCHAR* text) const {
  if (text == nullptr) return 0;
  for (const auto& row : rows_) {
    if (equalIgnoringAsciiCase(text, descriptionOf(row))) return row.code;
  }
  return 0;
}

int CodeCatalogue::translate(int code) const {
  const auto* row = find(code);
  if (!rules_.systemCharsetDefault) return row != nullptr ? row->charset : 0;
  if (row != nullptr && row->charset != DEFAULT_CHARSET) return row->charset;
  sys::CHARSETINFO info{};
  if (sys::TranslateCharsetInfo(sys::GetACP(), &info, sys::TCI_SRCCODEPAGE) == FALSE) return DEFAULT_CHARSET;
  return static_cast<int>(info.ciCharset);
}

int CodeCatalogue::isValid(int code, unsigned long flags) const {
  if (find(code) == nullptr) return 0;
  return displayable(translate(code), flags);
}

void CodeCatalogue::enumerate(EnumTextProc proc, long value, unsigned long flags) const {
  const bool tested = (flags & (CP_INSTALLED | CP_SUPPORTED)) != 0;
  if (!tested && !rules_.offersAllUnflagged) return;
  const unsigned long test = (flags & CP_SUPPORTED) != 0 ? CP_SUPPORTED : CP_INSTALLED;
  for (const auto& row : rows_) {
    if (rules_.pseudoCode != 0 && row.code == rules_.pseudoCode && (flags & KW_ENUM_SPECIAL) == 0) continue;
    if (tested && isValid(row.code, test) != 1) continue;
    WCHAR key[16];
    KW_CPToString(row.code, key, 16);
    if (proc != nullptr) proc(key, value);
  }
}

const WCHAR* CodeCatalogue::descriptionOf(const CodeRow& row) const {
  return descriptions_[static_cast<std::size_t>(&row - rows_.data())].data();
}

}  // namespace kwuni::catalogue
