// The library's entry function: what it does when loaded into a process and unloaded from it.
#pragma once

#include <kwuni/win32.h>

namespace kwuni {

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// Attach readies the script-string functions (InitComplex); detach releases the locale list;
// thread notifications do nothing. Always TRUE. The shared library's constructor and destructor
// call it.
BOOL libraryEntry(HINSTANCE module, DWORD reason, void* reserved);

}  // namespace kwuni
