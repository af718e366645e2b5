#include "platform/module.h"

#include <dlfcn.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace sys {

HINSTANCE moduleContaining(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

DWORD GetModuleFileNameW(HINSTANCE module, LPWSTR fileName, DWORD size) {
  Dl_info info{};
  if (module == nullptr || fileName == nullptr || size == 0 || dladdr(module, &info) == 0 ||
      info.dli_fname == nullptr) {
    return 0;
  }
  const auto utf8Length = static_cast<int32_t>(std::strlen(info.dli_fname));
  std::vector<UChar> wide(static_cast<std::size_t>(utf8Length) + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  // Invalid UTF-8 in a file name is kept visible as U+FFFD rather than failing.
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, info.dli_fname,
                       utf8Length, 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return 0;
  const auto stored = static_cast<DWORD>(length) < size ? static_cast<DWORD>(length) : size - 1;
  std::memcpy(fileName, wide.data(), stored * sizeof(WCHAR));
  fileName[stored] = 0;
  return static_cast<DWORD>(length) < size ? stored : size;
}

const void* moduleSymbol(HINSTANCE module, const char* symbol) {
  Dl_info info{};
  if (module == nullptr || dladdr(module, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  if (void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
    const void* address = dlsym(handle, symbol);
    dlclose(handle);
    return address;
  }
  // The main program cannot be reopened by its file name; search the global scope instead and
  // keep the answer only when it lies in the module asked for.
  const void* address = dlsym(RTLD_DEFAULT, symbol);
  return moduleContaining(address) == module ? address : nullptr;
}

}  // namespace sys
