#include "strings/text_buffers.h"

#include <kwuni/ebcdic.h>

#include "platform/code_page_conversion.h"

namespace kwuni::strings {

WCHAR* wideFromCodePage(const char* s, int len, UINT codePage, int reserve) {
  const int n = len > 0 ? sys::MultiByteToWideChar(codePage, 0, s, len, nullptr, 0) : 0;
  WCHAR* buffer = new WCHAR[static_cast<std::size_t>(std::max(reserve, n + 1))];
  if (n > 0) sys::MultiByteToWideChar(codePage, 0, s, len, buffer, n);
  buffer[n] = 0;
  return buffer;
}

WCHAR* wideFromCcsid(const char* s, int len, int ccsid, int reserve) {
  const auto* bytes = reinterpret_cast<const BYTE*>(s);
  const auto host = static_cast<short>(ccsid);
  const int n = len > 0 ? TConvertEtoU(host, bytes, nullptr, len) : 0;
  WCHAR* buffer = new WCHAR[static_cast<std::size_t>(std::max(reserve, n + 1))];
  if (n > 0) {
    try {
      TConvertEtoU(host, bytes, buffer, len);
    } catch (...) {
      delete[] buffer;
      throw;
    }
  }
  buffer[n] = 0;
  return buffer;
}

char* narrowFromWide(const WCHAR* ws, int len, UINT codePage, int reserve, const char* defChar, int* usedDefault) {
  const int n = len > 0 ? sys::WideCharToMultiByte(codePage, 0, ws, len, nullptr, 0, nullptr, nullptr) : 0;
  char* buffer = new char[static_cast<std::size_t>(std::max(reserve, n + 1))];
  if (n > 0) sys::WideCharToMultiByte(codePage, 0, ws, len, buffer, n, defChar, usedDefault);
  buffer[n] = 0;
  return buffer;
}

}  // namespace kwuni::strings
