// GetVersionExW: which Windows family the library runs as. Off Windows the answer is the NT
// family, unless a test asks for the older 9x family so that its code paths run.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

namespace sys {

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};

// Fills the structure when its size field is set; FALSE when the size is not that of the structure.
BOOL GetVersionExW(OSVERSIONINFOW* info);

namespace testing {
// Reports the given platform family (VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT)
// from now on. Tests only.
void setPlatformId(DWORD platformId);
}  // namespace testing

}  // namespace sys
