#include "platform/version.h"

#include <atomic>

namespace sys {
namespace {
std::atomic<DWORD> reportedPlatform{VER_PLATFORM_WIN32_NT};
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) return FALSE;
  const DWORD platform = reportedPlatform.load();
  const bool nt = platform == VER_PLATFORM_WIN32_NT;
  *info = OSVERSIONINFOW{};
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  info->dwMajorVersion = nt ? 10 : 4;
  info->dwMinorVersion = nt ? 0 : 90;
  info->dwBuildNumber = nt ? 19045 : 3000;
  info->dwPlatformId = platform;
  return TRUE;
}

namespace testing {
void setPlatformId(DWORD platformId) { reportedPlatform.store(platformId); }
}  // namespace testing

}  // namespace sys
