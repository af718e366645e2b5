// The library's module handle and the process-wide base directory under which the registry
// looks for Tables/.

#include <kwuni/ebcdic.h>

#include "platform/module.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Empty means no base directory is set: the registry then uses the library's own directory.
std::u16string uniBaseDirectory;

}  // namespace

HINSTANCE KW_GetKWUNI() { return sys::moduleContaining(reinterpret_cast<const void*>(&KW_GetKWUNI)); }

bool KW_GetUniBaseDirectory(WCHAR* dest, unsigned int capacity) {
  if (dest == nullptr) throw std::invalid_argument("pszDest");
  if (capacity == 0) return !uniBaseDirectory.empty();
  const std::size_t n = std::min<std::size_t>(uniBaseDirectory.size(), capacity - 1);
  std::copy_n(uniBaseDirectory.data(), n, dest);
  dest[n] = 0;
  return !uniBaseDirectory.empty();
}

void KW_SetUniBaseDirectory(const WCHAR* directory) {
  uniBaseDirectory = directory != nullptr ? directory : u"";
}
