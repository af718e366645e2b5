// Module instance handles and module file names. A handle is the address at which the module's
// image starts; any address inside a module leads to it.
#pragma once

#include <kwuni/win32.h>

namespace sys {

// The handle of the module that contains the address; nullptr for an address in no module.
HINSTANCE moduleContaining(const void* address);

// The module's file name as UTF-16, decoded from the UTF-8 path of the file. Returns the number
// of characters stored without the terminator. When the name does not fit, stores the first
// size - 1 characters and a terminator and returns size. Returns 0 for an unknown module or
// when size is 0.
DWORD GetModuleFileNameW(HINSTANCE module, LPWSTR fileName, DWORD size);

// The address of an exported symbol of the module; nullptr when it has none.
const void* moduleSymbol(HINSTANCE module, const char* symbol);

}  // namespace sys
