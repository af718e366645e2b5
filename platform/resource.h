// LoadStringW: the text of a string id from the string table of a module (see string_table.h).
#pragma once

#include <kwuni/win32.h>

namespace sys {

// Copies at most size - 1 characters of the string and a terminator into the buffer and returns
// the number of characters copied. Returns 0, with an empty buffer when size > 0, when the module
// has no string table or no string of that id.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size);

}  // namespace sys
