// Small conversions between numbers, ASCII and wide text shared by the catalogues.
#pragma once

#include <kwuni/win32.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kwuni::catalogue {

// Stores "<value as signed decimal><suffix>" with a terminator in the buffer, cut to fit.
void formatUnlisted(int value, std::string_view suffix, WCHAR* buffer, std::size_t capacity);

// White space as the C locale's reader skips it: blank, tab, new-line, vertical tab, form feed, CR.
bool isSpace(WCHAR c);

// Writes the value's digits in the base (lower-case letters) into at most count characters: the
// number of digits when they and a terminator fit, count when the digits fill it exactly, -1 when
// they do not fit (the first count digits are written).
int writeNumber(std::uint32_t value, int base, WCHAR* buffer, int count);

// True when both terminated texts are equal, letters A-Z compared without regard to case.
bool equalIgnoringAsciiCase(const WCHAR* a, const WCHAR* b);

}  // namespace kwuni::catalogue
