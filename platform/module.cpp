#include "platform/module.h"

#include <dlfcn.h>
#include <unicode/ustring.h>

#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace sys {
namespace {

// The module's file as a full path. The loader names the main program as it was started
// ("./kwuni"), which stops being right once the process changes directory; the kernel keeps
// its full path.
std::string fullPath(const Dl_info& info) {
  if (info.dli_fname[0] == '/') return info.dli_fname;
  Dl_info program{};
  if (dladdr(reinterpret_cast<const void*>(getauxval(AT_PHDR)), &program) != 0 &&
      program.dli_fbase == info.dli_fbase) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof path) return std::string(path, static_cast<std::size_t>(length));
  }
  if (char* resolved = realpath(info.dli_fname, nullptr)) {
    std::string path(resolved);
    std::free(resolved);
    return path;
  }
  return info.dli_fname;
}

}  // namespace

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
  const std::string path = fullPath(info);
  const auto utf8Length = static_cast<int32_t>(path.size());
  std::vector<UChar> wide(static_cast<std::size_t>(utf8Length) + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  // Invalid UTF-8 in a file name is kept visible as U+FFFD rather than failing.
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, path.data(),
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
